// The ball maze: the game's global objects, its rules and the functions the
// engine and the buttons call. The engine reaches the game through the hooks
// of engine/app/game_hooks.h, defined by the game library.
//
// Scene coordinates: the scene is the main window's client area, 800 x 600
// pels (game/scene.h); the mouse is taken relative to its origin.
#pragma once

#include <cstdint>

#include "engine/app/game_hooks.h"
#include "engine/img_row.h"
#include "engine/sprs.h"
#include "engine/text.h"
#include "game/anim_sprite.h"
#include "game/game_music.h"
#include "game/image_button.h"
#include "game/scene.h"
#include "img/Image.h"
#include "talvo/Ptr.h"
#include "talvo/Stopwatch.h"

// The scene's size.
constexpr int gameSceneW = 800;
constexpr int gameSceneH = 600;

// The global objects, in the order they are built (and destroyed in
// reverse: gameSprites first, gameBkg last).
extern talvo::Stopwatch gameWatch;    // the current run's time
extern AnimSprite gameBkg;            // "bkg"
extern AnimSprite gameCursor;         // "cursor": follows the mouse once a run has ended
extern AnimSprite gameOverBanner;     // "game_over"
extern AnimSprite gameWinBanner;      // "game_win"
extern imgRowCTy gameOutputImage;     // the scene as the shared image receives it (share_image)
extern talvo::Ptr<AnimSprite> gameBall;  // "ball", from pre-init to shutdown
extern sprDfStrCTy gameScore;         // "score": the run's time in tenths of a second
extern sprDfStrCTy gameHighscore;     // "highscore": best_result in tenths
extern AnimSprite gameInfoPage;       // never loaded
extern GameMusic gameMusic;
extern QuitButton gameButExit;        // "but_exit"
extern NewGameButton gameButNew;      // "but_new"
extern ShowInfoButton gameButShowInfo;  // never loaded
extern HideInfoButton gameButHideInfo;  // never loaded
extern talvo::g::ImageRow gameMask;   // "data/mask.bmp" as Rgb888 pels
extern sprsCTy gameSprites;           // every sprite of the scene

// The run state.
extern int32_t gameStartX, gameStartY;  // start_x, start_y
extern uint8_t gameLost, gameWon, gameInfoShown;

// Starts a new run: the start sound, the run's time at 0 (a paused watch
// stays paused), neither lost nor won, the cursor on the start point.
void gameNewGame();
// The buttons, the snapshot keys (F9, F5), then the game's own input poll.
void gameUpdateUi();
// Places, shows and sets up a text sprite: the position keys of the name,
// the depth, the font (by name) and centred alignment.
void gameInitText(sprDfStrCTy* text, const char* fontName, int32_t depth, const char* name);
// Writes the scene as "<WND_NAME>_<n>.bmp", n the first free number.
void gameSnapshot();
// The best-time rule: 1 when a won run's elapsed milliseconds replace the
// stored best_result (best 0 or missing, or elapsed below best compared as
// unsigned 64-bit values, best widened with its sign), else 0.
int gameBetterTime(uint64_t elapsedMs, int32_t best);
