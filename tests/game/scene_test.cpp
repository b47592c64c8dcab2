// Scene coordinates and position keys, with an application object whose
// main window's client area does not start at the desktop's origin.
#include <gtest/gtest.h>

#include <memory>

#include "engine/app/app.h"
#include "engine/inp.h"
#include "game/scene.h"
#include "platform/test_api.h"
#include "platform/win_window.h"
#include "support/plain_window.h"
#include "support/temp_dir.h"

namespace {

constexpr int kClientX = 137, kClientY = 61;

class Scene : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::test::resetInput();
    app = std::make_unique<gaCTy>();
    app->appName = dir.file("game");  // where the shutdown saves the table
    gaApp = app.get();
  }
  void TearDown() override {
    gaApp = nullptr;
    app.reset();
    plat::test::resetInput();
    inpUpdate();
  }
  void OpenWindow() {
    // A popup without border: the client area starts where the window does.
    app->window = CreateWindowExA(0, plainWindowClass(), "scene", WS_POPUP | WS_VISIBLE, kClientX, kClientY, 320,
                                  240, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(app->window, nullptr);
    POINT origin{0, 0};
    ASSERT_TRUE(ClientToScreen(app->window, &origin));
    ASSERT_EQ(origin.x, kClientX);
    ASSERT_EQ(origin.y, kClientY);
  }
  TempDir dir;
  std::unique_ptr<gaCTy> app;
};

TEST_F(Scene, PositionKeysReadAsIntegersAndMissingOnesAsZero) {
  app->cfg->SetInt("ball_x", 40);
  app->cfg->SetInt("ball_y", -7);
  app->cfg->SetInt("half_x", 5);
  struct Case {
    const char* name;
    int x, y;
  };
  for (const Case& c : {Case{"ball", 40, -7}, Case{"BALL", 40, -7}, Case{"half", 5, 0}, Case{"none", 0, 0}}) {
    int x = 1, y = 1;
    gameReadPos(c.name, &x, &y);
    EXPECT_EQ(x, c.x) << c.name;
    EXPECT_EQ(y, c.y) << c.name;
  }
}

TEST_F(Scene, TheMouseIsTakenRelativeToTheClientArea) {
  OpenWindow();
  plat::test::injectCursorMove(200, 100);
  inpUpdate();
  EXPECT_EQ(gameMouseX(), 200 - kClientX);
  EXPECT_EQ(gameMouseY(), 100 - kClientY);

  // The origin is read each time: a moved window moves the scene.
  plat::test::injectWindowEvent(app->window, plat::test::WindowEvent::Moved, 150, 70);
  EXPECT_EQ(gameMouseX(), 200 - 150);
  EXPECT_EQ(gameMouseY(), 100 - 70);

  // A scene point goes back to the desktop for the cursor.
  gameSetMouse(40, 55);
  POINT cursor{};
  ASSERT_TRUE(GetCursorPos(&cursor));
  EXPECT_EQ(cursor.x, 150 + 40);
  EXPECT_EQ(cursor.y, 70 + 55);
  EXPECT_EQ(gameMouseX(), 40);
  EXPECT_EQ(gameMouseY(), 55);
}

TEST_F(Scene, WithoutAWindowSceneAndDesktopAgree) {
  plat::test::injectCursorMove(33, 44);
  inpUpdate();
  EXPECT_EQ(gameMouseX(), 33);
  EXPECT_EQ(gameMouseY(), 44);
  gameSetMouse(5, 6);
  POINT cursor{};
  ASSERT_TRUE(GetCursorPos(&cursor));
  EXPECT_EQ(cursor.x, 5);
  EXPECT_EQ(cursor.y, 6);
}

}  // namespace
