// Buttons in a main window whose client area does not start at the
// desktop's origin: the click matrix and the four actions. The sounds are
// missing from DATA/: the sound API plays a silent file it writes under the
// sound's name, which shows that the sound was played.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/app/app.h"
#include "engine/inp.h"
#include "game/game.h"
#include "game/image_button.h"
#include "game/share_image.h"
#include "game_fixture.h"
#include "talvo/File.h"
#include "platform/test_api.h"
#include "platform/win_window.h"
#include "sound/snd.h"
#include "support/plain_window.h"

namespace {

constexpr int kClientX = 137, kClientY = 61;
constexpr int kButtonX = 100, kButtonY = 50;  // scene position, 20 x 10 pels

struct CountingButton : ImageButton {
  void OnClick() override {
    ++clicks;
    soundBefore = talvo::file_exists("DATA/click.wav");
  }
  int clicks = 0;
  bool soundBefore = false;
};

class Buttons : public game_test::GameObjects {
 protected:
  void SetUp() override {
    GameObjects::SetUp();
    app->window = CreateWindowExA(0, plainWindowClass(), "buttons", WS_POPUP | WS_VISIBLE, kClientX, kClientY, 800,
                                  600, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(app->window, nullptr);
    app->cfg->SetInt("b_x", kButtonX);
    app->cfg->SetInt("b_y", kButtonY);
    game_test::writeBmp(data("b0.bmp"), 20, 10, 0x808080, 0x808080);
    game_test::writeBmp(data("b1.bmp"), 20, 10, 0x404040, 0x404040);
    sndInit(app->window);
    sndSetVolume(100);
    ASSERT_TRUE(sndApiGlobals.initialised);
  }
  void TearDown() override {
    sndDone();
    if (app && app->window) DestroyWindow(app->window);
    if (app) app->window = nullptr;
    GameObjects::TearDown();
  }
  // One pass of the buttons with the cursor at a scene point and the left
  // button as given.
  void Pass(ImageButton& button, int sceneX, int sceneY, bool down) {
    plat::test::injectCursorMove(kClientX + sceneX, kClientY + sceneY);
    plat::test::injectKey(VK_LBUTTON, down);
    inpUpdate();
    button.Update();
  }
};

TEST_F(Buttons, AReleaseOverTheButtonClicksWhereverThePressBegan) {
  struct Pt {
    int x, y;
  };
  const Pt over{kButtonX + 5, kButtonY + 5}, lastPel{kButtonX + 19, kButtonY + 9}, outside{kButtonX + 20, kButtonY + 5};
  struct Case {
    const char* what;
    Pt press, release;
    int clicks;
  };
  for (const Case& c : {Case{"press outside, release over", outside, over, 1},
                        Case{"press over, release outside", over, outside, 0},
                        Case{"press and release over", lastPel, over, 1},
                        Case{"press and release outside", outside, outside, 0}}) {
    SCOPED_TRACE(c.what);
    CountingButton button;
    button.Load("b", -5);
    Pass(button, c.press.x, c.press.y, false);
    Pass(button, c.press.x, c.press.y, true);
    const bool pressOver = c.press.x != outside.x;
    EXPECT_EQ(button.sprite.image, &button.images[pressOver ? 1 : 0]);
    Pass(button, c.release.x, c.release.y, true);
    const bool releaseOver = c.release.x != outside.x;
    EXPECT_EQ(button.sprite.image, &button.images[releaseOver ? 1 : 0]);
    EXPECT_EQ(button.clicks, 0);
    Pass(button, c.release.x, c.release.y, false);
    EXPECT_EQ(button.sprite.image, &button.images[0]);
    Pass(button, c.release.x, c.release.y, false);
    EXPECT_EQ(button.clicks, c.clicks);
    // The click sound follows the action.
    EXPECT_EQ(talvo::file_exists("DATA/click.wav"), c.clicks == 1);
    EXPECT_FALSE(button.soundBefore);
    // The next case starts without the sound, in the cache or on disk.
    sndDone();
    std::filesystem::remove(data("click.wav"));
    sndInit(app->window);
    sndSetVolume(100);
  }
}

TEST_F(Buttons, ANearerSpriteOverTheButtonTakesTheClick) {
  CountingButton button, cover;
  button.Load("b", -5);
  cover.Load("b", -6);
  Pass(button, kButtonX + 5, kButtonY + 5, true);
  Pass(button, kButtonX + 5, kButtonY + 5, false);
  EXPECT_EQ(button.clicks, 0);
}

// The game's interface through whole passes: the engine's poll, then the
// buttons, the snapshot keys and the game's own poll. A press and release
// that fall between two polls, before either of them, are taken once: one
// new run, one quit, one snapshot.
class Passes : public Buttons {
 protected:
  void SetUp() override {
    Buttons::SetUp();
    for (const char* name : {"but_new", "but_exit"}) {
      app->cfg->SetInt((std::string(name) + "_x").c_str(), name[4] == 'n' ? kNewX : kQuitX);
      app->cfg->SetInt((std::string(name) + "_y").c_str(), kButtonY);
      game_test::writeBmp(data(std::string(name) + "0.bmp"), 20, 10, 0x808080, 0x808080);
      game_test::writeBmp(data(std::string(name) + "1.bmp"), 20, 10, 0x404040, 0x404040);
    }
    gameButNew.Load("but_new", -5);
    gameButExit.Load("but_exit", -5);
    // Snapshots of the scene kept for the shared image.
    app->cfg->SetStr("WND_NAME", "shot");
    pelFmtDesc desc;
    desc.Set(pel_FMT_R5G6B5, nullptr);
    gameOutputImage.SetSize(gameSceneW, gameSceneH, &desc);
    gameSetHasWriter = [](int) {};
  }
  void TearDown() override {
    gameSetHasWriter = nullptr;
    gameSprites.Remove(&gameButNew.sprite);
    gameSprites.Remove(&gameButExit.sprite);
    Buttons::TearDown();
  }
  static constexpr int kNewX = 300, kQuitX = 400;
};

TEST_F(Passes, APressAndReleaseBetweenTwoPollsIsTakenOnce) {
  enum class Poll { Engine, Game };
  struct Case {
    const char* what;
    int key;
    int x;  // the pointer's scene x, over a button or not
  };
  const Case cases[] = {
      {"New", VK_LBUTTON, kNewX + 10},
      {"Quit", VK_LBUTTON, kQuitX + 10},
      {"F9", VK_F9, 10},
      {"F5", VK_F5, 10},
  };
  int snapshotsBefore = 0;
  for (const Case& c : cases)
    for (Poll before : {Poll::Engine, Poll::Game}) {
      SCOPED_TRACE(std::string(c.what) + (before == Poll::Engine ? ", before the engine's poll" : ", before the game's poll"));
      // New puts the pointer on the start point: over the button, so that a
      // click taken twice would show.
      gameStartX = c.x;
      gameStartY = kButtonY + 5;
      plat::test::injectCursorMove(kClientX + c.x, kClientY + kButtonY + 5);
      int newRuns = 0, quits = 0;
      for (int pass = 0; pass < 5; ++pass) {
        auto click = [&](Poll at) {
          if (pass != 1 || at != before) return;
          plat::test::injectKey(c.key, true);
          plat::test::injectKey(c.key, false);
        };
        gameLost = 1;
        app->quit = 0;
        click(Poll::Engine);
        inpUpdate();
        click(Poll::Game);
        gameUpdateUi();
        newRuns += gameLost == 0;
        quits += app->quit;
      }
      const bool isNew = c.x == kNewX + 10 && c.key == VK_LBUTTON, isQuit = c.x == kQuitX + 10;
      EXPECT_EQ(newRuns, isNew ? 1 : 0);
      EXPECT_EQ(quits, isQuit ? 1 : 0);
      int snapshots = 0;
      while (talvo::file_exists(("shot_" + std::to_string(snapshots) + ".bmp").c_str())) ++snapshots;
      EXPECT_EQ(snapshots - snapshotsBefore, isNew || isQuit ? 0 : 1);
      snapshotsBefore = snapshots;
    }
}

TEST_F(Buttons, TheActions) {
  app->cfg->SetInt("start_x", 30);
  gameStartX = 30;
  gameStartY = 40;
  gameLost = 1;
  gameWon = 1;
  gameWatch.pause();
  gameWatch.set_elapsed(123456);
  gameButNew.OnClick();
  EXPECT_EQ(gameLost, 0);
  EXPECT_EQ(gameWon, 0);
  EXPECT_EQ(gameWatch.elapsed(), 0u);
  EXPECT_TRUE(gameWatch.paused());
  POINT cursor{};
  ASSERT_TRUE(GetCursorPos(&cursor));
  EXPECT_EQ(cursor.x, kClientX + 30);
  EXPECT_EQ(cursor.y, kClientY + 40);
  EXPECT_TRUE(talvo::file_exists("DATA/start.wav"));
  gameWatch.resume();
  gameStartX = gameStartY = 0;

  gameButShowInfo.OnClick();
  EXPECT_EQ(gameInfoShown, 1);
  gameButHideInfo.OnClick();
  EXPECT_EQ(gameInfoShown, 0);

  EXPECT_EQ(app->quit, 0);
  gameButExit.OnClick();
  EXPECT_EQ(app->quit, 1);
}

}  // namespace
