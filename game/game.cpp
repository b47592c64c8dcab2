// The game's global objects, in the order they are built; they are
// destroyed in reverse after the entry point returns, so the sprite list
// goes first and every object outliving it finds its sprite let go.
#include "game/game.h"
#include "game/share_image.h"
#include "sound/snd.h"

talvo::Stopwatch gameWatch;
AnimSprite gameBkg;
AnimSprite gameCursor;
AnimSprite gameOverBanner;
AnimSprite gameWinBanner;
imgRowCTy gameOutputImage;
talvo::Ptr<AnimSprite> gameBall;
sprDfStrCTy gameScore;
sprDfStrCTy gameHighscore;
AnimSprite gameInfoPage;
GameMusic gameMusic;
QuitButton gameButExit;
NewGameButton gameButNew;
ShowInfoButton gameButShowInfo;
HideInfoButton gameButHideInfo;
talvo::g::ImageRow gameMask;
sprsCTy gameSprites;

// Set at run time.
int32_t gameStartX = 0, gameStartY = 0;
uint8_t gameLost = 0, gameWon = 0, gameInfoShown = 0;
HMODULE gameShareModule = nullptr;
void* (*gameBeginWriteImg)() = nullptr;
void (*gameEndWriteImg)() = nullptr;
void (*gameSetHasWriter)(int) = nullptr;

void gameNewGame() {
  sndPlayFile("DATA/start.wav");
  gameWatch.set_elapsed(0);
  gameLost = 0;
  gameWon = 0;
  // The run starts with the ball on the start point, whose moves are tested
  // from there.
  if (AnimSprite* ball = gameBall.get()) ball->SetPos(gameStartX, gameStartY);
  gameSetMouse(gameStartX, gameStartY);
}
