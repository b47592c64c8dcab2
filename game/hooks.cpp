// The hooks through which the engine runs the game, and the rules of a run.
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/app/app.h"
#include "engine/gfx.h"
#include "engine/gfx_dirty.h"
#include "engine/inp.h"
#include "engine/surf.h"
#include "game/game.h"
#include "game/share_image.h"
#include "img/DibDecoder.h"
#include "platform/win_file.h"
#include "platform/win_user.h"
#include "sound/midi_player.h"
#include "sound/snd.h"
#include "talvo/File.h"
#include "talvo/Stream.h"

namespace {

constexpr uint8_t kWall[3] = {255, 255, 255};  // B, G, R
constexpr uint8_t kGoal[3] = {0, 0, 255};

// The back surface, when the display has one of the scene's size.
imgCTy* sceneSurface() {
  imgCTy* back = gfxDevice ? gfxDevice->back : nullptr;
  if (!back || back->width != gameSceneW || back->height != gameSceneH) return nullptr;
  return back;
}

// A directory stands where the configuration file belongs: the engine read
// nothing from it.
bool configIsDirectory() {
  const DWORD attributes = GetFileAttributesA((gaApp->appName + ".cfg").c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// "data/mask.bmp" as Rgb888 pels of the file's size, whatever its depth.
void readMask() {
  talvo::io::IArcStream stream;
  stream.set_flags(stream.flags() | talvo::io::Stream::raw);
  stream.open("data/mask.bmp", talvo::AbstractFile::in, talvo::io::Stream::badbit | talvo::io::Stream::failbit);
  talvo::g::DibDecoder decoder;
  decoder.open(stream);
  talvo::g::ImageDecoderI::Info info;
  decoder.get_info(info);
  gameMask.create(info.width, info.height, talvo::g::PelFmt(talvo::g::pel_type::rgb888));
  decoder.read(gameMask, talvo::g::ResampleMode::nearest);
  decoder.close();
}

// The background: the JPEG drawn onto an image of the scene in the pel
// format it is drawn into.
void loadBackground() {
  imgRowCTy jpeg;
  jpeg.LoadJpg("DATA/bkg.jpg");
  pelFmtDesc desc;
  if (gameShareImage()) desc.Set(pel_FMT_R5G6B5, nullptr);
  else desc = sceneSurface()->GetPelFmtDesc();
  auto* scene = new imgRowCTy;
  scene->SetSize(gameSceneW, gameSceneH, &desc);
  if (jpeg.width > 0 && jpeg.height > 0) jpeg.Draw(scene, 0, 0, nullptr);
  gameBkg.SetImage("bkg", scene, 100000);
}

// A run won: its sound, the banner, the best time, the watch stopped.
void takeWin() {
  sndPlayFile("DATA/gamewin.wav");
  gameWinBanner.Show();
  const int32_t best = gaApp->cfg->GetInt("best_result");
  const uint64_t elapsed = gameWatch.elapsed_ms();
  if (gameBetterTime(elapsed, best)) gaApp->cfg->SetInt("best_result", int32_t(elapsed));
  gameWatch.pause();
}

void takeLoss() {
  sndPlayFile("DATA/gameover.wav");
  gameOverBanner.Show();
  gameWatch.pause();
}

// Tenths of a second in two digits at least ("%02d"). Printf marks the text
// for redrawing even when it says the same: the text is given only when it
// changes.
void showTenths(sprDfStrCTy* text, int32_t tenths) {
  char digits[16] = "0";
  const bool pad = tenths >= 0 && tenths < 10;
  *std::to_chars(digits + pad, digits + sizeof digits - 1, tenths).ptr = '\0';
  if (!text->text || std::strcmp(text->text, digits) != 0) text->Printf("%s", digits);
}

}  // namespace

// Every program linking the game takes its hooks (game/CMakeLists.txt): the
// engine, linked after the game, calls them.
extern "C" {
extern const int gameHooksLinked;
const int gameHooksLinked = 1;
}

int gameBetterTime(uint64_t elapsedMs, int32_t best) {
  return best == 0 || elapsedMs < uint64_t(int64_t(best)) ? 1 : 0;
}

void gamePreInit() {
  gameShareOpen();
  std::srand(unsigned(std::time(nullptr)));
  gameBall = talvo::Ptr<AnimSprite>(new AnimSprite);
  gameBall->LoadFrames("ball", "ball", -10000, 30);
  gameBall->Show();
  gameBall->Start();
  pelFmtDesc desc;
  desc.Set(pel_FMT_R5G6B5, nullptr);
  gameOutputImage.SetSize(gameSceneW, gameSceneH, &desc);
}

void gameInit() {
  cfgCTy* cfg = gaApp->cfg;
  // The scene is drawn unclipped into a back surface of its own size.
  if (!gameShareImage() && !sceneSurface()) {
    const char* name = gaApp->appName.c_str();
    if (configIsDirectory())
      errPrintf(ERR_LEVEL_ERROR,
                "Initialization.\n %s.cfg is not a file but a directory: the game reads its display of 800 x 600 "
                "pels from that file. Remove or rename the directory, then run \"make run\" in the game's source "
                "directory: it writes a new %s.cfg.",
                name, name);
    else
      errPrintf(ERR_LEVEL_ERROR,
                "Initialization.\n The game needs a display of 800 x 600 pels: USE_GFX 1, SCR_LX 800 and SCR_LY 600 "
                "in %s.cfg. Run \"make run\" in the game's source directory: it repairs the configuration and "
                "keeps your best time.",
                name);
    gaApp->exitCode = 1;
    gaApp->quit = 1;
    return;
  }
  gameStartX = cfg->GetInt("start_x");
  gameStartY = cfg->GetInt("start_y");
  gameMusic = new MidiPlayer(gaApp->window);
  if (cfg->GetInt("music")) gameMusic->Play("DATA/music.mid");
  inpUpdate();
  ShowCursor(TRUE);
  gameSprites.SetSize(gameSceneW, gameSceneH);
  readMask();
  loadBackground();
  gameInitText(&gameScore, "DATA/big-digits", -1, "score");
  gameScore.SetAlign(spr_ALIGN_CENTRE);
  gameInitText(&gameHighscore, "DATA/big-digits", -1, "highscore");
  gameHighscore.SetAlign(spr_ALIGN_CENTRE);
  gameOverBanner.LoadImage("game_over", -24000);
  gameOverBanner.Hide();
  gameWinBanner.LoadImage("game_win", -24000);
  gameWinBanner.Hide();
  gameCursor.LoadImage("cursor", -100000);
  gameCursor.SetHotSpot(1, 1);
  gameButExit.Load("but_exit", -5);
  gameButNew.Load("but_new", -5);
  sndSetVolume(cfg->GetInt("snd_volume"));
  gameNewGame();
}

void gameFrame() {
  gameUpdateUi();
  const int mouseX = gameMouseX(), mouseY = gameMouseY();
  AnimSprite* ball = gameBall.get();
  // Where the ball stood: a move is tested along its way from there.
  const int32_t fromX = ball ? ball->x : 0, fromY = ball ? ball->y : 0;
  if (!gameLost && !gameWon) {
    if (ball) ball->SetPos(mouseX, mouseY);
    gameCursor.Hide();
  } else {
    gameCursor.SetPos(mouseX, mouseY);
    gameCursor.Show();
  }
  if (ball) ball->Animate();
  if (!gameWon) {
    if (!gameLost) {
      if (mouseX != gameStartX || mouseY != gameStartY) gameWatch.resume();
      const int hit = ball ? ball->CollideAlong(fromX, fromY, gameMask, kWall, kGoal) : -1;
      if (hit == 0) gameLost = 1;
      else if (hit == 1) gameWon = 1;
    }
    if (!gameWon) gameWinBanner.Hide();
  }
  if (gameWon && !gameWinBanner.sprite.shown) takeWin();
  if (!gameLost) gameOverBanner.Hide();
  else if (!gameOverBanner.sprite.shown) takeLoss();
  showTenths(&gameScore, int32_t(gameWatch.elapsed_ms()) / 100);
  showTenths(&gameHighscore, gaApp->cfg->GetInt("best_result") / 100);
  gameShareFrame();
}

int gameDraw() {
  if (gameShareImage()) return 1;
  if (imgCTy* back = sceneSurface()) {
    gameSprites.DrawDirty(back);
    // The screen update presents what was drawn, once.
    gfxDirtyTouchRects(gameSprites.Drawn());
  }
  return 1;
}

void gameShutdown() {
  gameInfoPage.Detach();
  gameBkg.Detach();
  gameCursor.Detach();
  gameOverBanner.Detach();
  gameWinBanner.Detach();
  gameBall = talvo::Ptr<AnimSprite>();
}

void gameExit() { gameShareClose(); }

int gameOnMessage(HWND, UINT message, WPARAM, LPARAM) {
  if (gameMusic) gameMusic->OnMessage(message);
  return 0;
}

void gameOnActivate() {
  const rectCTy scene{0, 0, gameSceneW, gameSceneH};
  gameSprites.MarkDirty(&scene, &scene, 3);
  ShowCursor(FALSE);
}
