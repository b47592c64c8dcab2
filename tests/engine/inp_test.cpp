#include <gtest/gtest.h>

#include <string>

#include "engine/inp.h"
#include "platform/test_api.h"
#include "platform/win32.h"

using plat::test::injectCursorMove;
using plat::test::injectKey;

namespace {

// Each test starts from the input of a fresh run: the engine's state before
// its first update (all zero, smoothing on) over the platform's keys all up
// and the cursor at (0, 0).
class Input : public ::testing::Test {
 protected:
  void SetUp() override {
    inpCTy fresh{};
    fresh.smooth = 1;
    const_cast<inpCTy&>(inpState()) = fresh;
    plat::test::resetInput();
  }
};

TEST_F(Input, SequenceThroughInjectedCursorAndKeys) {
  // Before the first update every query answers 0.
  for (int vk : {VK_LBUTTON, VK_SHIFT, VK_F9, 0, 255})
    EXPECT_EQ(inpKeyDown(vk) + inpKeyPressed(vk) + inpKeyReleased(vk), 0) << vk;
  EXPECT_EQ(inpMouseX(), 0);
  EXPECT_EQ(inpMouseY(), 0);
  const inpCTy& s = inpState();
  EXPECT_EQ(s.initialised, 0);
  EXPECT_EQ(s.smooth, 1);

  // The first update measures from (0, 0); with the cursor still, the
  // smoothed movement decays by 0.7 (taken as a float).
  injectCursorMove(300, 200);
  struct {
    float dx, dy;
  } decay[] = {{150.0f, 100.0f}, {105.0f, 70.0f}, {73.5f, 49.0f}};
  for (const auto& d : decay) {
    inpUpdate();
    EXPECT_EQ(inpMouseX(), 300);
    EXPECT_EQ(inpMouseY(), 200);
    EXPECT_EQ(s.dx, d.dx);
    EXPECT_EQ(s.dy, d.dy);
  }

  // Edges and counts. A held Shift is down under code 16 and its side code;
  // only the side code counts.
  struct Step {
    int vk;
    bool down;  // injected before the update
    int query;  // the key asked about after it
    int isDown, pressed, released;
    int downCount, pressedCount, releasedCount;
  } steps[] = {
      {VK_LSHIFT, true, VK_SHIFT, 1, 1, 0, 1, 1, 0},
      {0, false, VK_LSHIFT, 1, 0, 0, 1, 0, 0},  // held across two updates
      {VK_RSHIFT, true, VK_RSHIFT, 1, 1, 0, 2, 1, 0},
      {VK_LSHIFT, false, VK_SHIFT, 1, 0, 0, 1, 0, 1},
      {VK_RSHIFT, false, VK_SHIFT, 0, 0, 1, 0, 0, 1},
      {VK_F9, true, VK_F9, 1, 1, 0, 1, 1, 0},
      {VK_F9, false, VK_F9, 0, 0, 1, 0, 0, 1},
  };
  for (const auto& st : steps) {
    if (st.vk) injectKey(st.vk, st.down);
    inpUpdate();
    EXPECT_EQ(inpKeyDown(st.query), st.isDown) << st.vk;
    EXPECT_EQ(inpKeyPressed(st.query), st.pressed) << st.vk;
    EXPECT_EQ(inpKeyReleased(st.query), st.released) << st.vk;
    EXPECT_EQ(s.downCount, st.downCount) << st.vk;
    EXPECT_EQ(s.pressedCount, st.pressedCount) << st.vk;
    EXPECT_EQ(s.releasedCount, st.releasedCount) << st.vk;
  }

  // A click between two updates is seen: down at the first, released at the
  // next.
  injectKey(VK_LBUTTON, true);
  injectKey(VK_LBUTTON, false);
  inpUpdate();
  EXPECT_EQ(inpKeyPressed(VK_LBUTTON), 1);
  inpUpdate();
  EXPECT_EQ(inpKeyReleased(VK_LBUTTON), 1);
  EXPECT_EQ(inpKeyDown(VK_LBUTTON), 0);

  // inpSetMouse moves the system cursor, and the next update sees no jump.
  const float memory = s.memX;
  EXPECT_NE(inpSetMouse(50, 60), 0);
  EXPECT_EQ(inpMouseX(), 50);
  POINT p;
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p.x, 50);
  EXPECT_EQ(p.y, 60);
  inpUpdate();
  EXPECT_EQ(s.prevX, 50);
  EXPECT_EQ(s.x, 50);
  EXPECT_EQ(s.dx, static_cast<float>(static_cast<long double>(0.7f) * memory));

  // A failing GetCursorPos keeps the old position.
  plat::test::setCursorPosFails(true);
  injectCursorMove(400, 410);
  inpUpdate();
  EXPECT_EQ(inpMouseX(), 50);
  plat::test::setCursorPosFails(false);
  inpUpdate();
  EXPECT_EQ(inpMouseX(), 400);
  EXPECT_EQ(inpMouseY(), 410);
}

// Passes as the game runs them: the engine's poll (only while its window is
// in front), the readers, then the game's own poll. A press and a release
// injected before one poll or another reach the readers once each, however
// short the press; so does a press held across passes.
TEST_F(Input, EveryEdgeReachesTheReadersOfOnePass) {
  enum class Poll { Engine, Game };
  struct Case {
    const char* what;
    bool enginePolls;
    Poll pressAt;
    int pressPass;
    Poll releaseAt;
    int releasePass;
  };
  const Case cases[] = {
      {"click before the engine's poll", true, Poll::Engine, 1, Poll::Engine, 1},
      {"click before the game's poll", true, Poll::Game, 1, Poll::Game, 1},
      {"held, released before the game's poll", true, Poll::Engine, 1, Poll::Game, 2},
      {"held, released before the engine's poll", true, Poll::Game, 1, Poll::Engine, 3},
      {"window behind others: only the game polls", false, Poll::Game, 1, Poll::Game, 1},
  };
  for (const Case& c : cases)
    for (int vk : {VK_LBUTTON, VK_F9}) {
      SCOPED_TRACE(std::string(c.what) + (vk == VK_F9 ? ", F9" : ", left button"));
      SetUp();
      int pressed = 0, released = 0;
      for (int pass = 0; pass < 6; ++pass) {
        auto inject = [&](Poll at) {
          if (pass == c.pressPass && at == c.pressAt) injectKey(vk, true);
          if (pass == c.releasePass && at == c.releaseAt) injectKey(vk, false);
        };
        inject(Poll::Engine);
        if (c.enginePolls) inpUpdate();
        pressed += inpKeyPressed(vk);
        released += inpKeyReleased(vk);
        inject(Poll::Game);
        inpUpdate();
      }
      EXPECT_EQ(pressed, 1);
      EXPECT_EQ(released, 1);
    }
}

TEST_F(Input, AnEdgeNoQuerySawIsKeptByOneMoreUpdate) {
  // Pressed, then three updates without a query between them: the second
  // still reports the press, the third no longer.
  struct Case {
    int queriedAfter;  // updates before the query
    int pressed;
  };
  for (const Case& c : {Case{1, 1}, Case{2, 1}, Case{3, 0}}) {
    SCOPED_TRACE(c.queriedAfter);
    SetUp();
    injectKey(VK_F9, true);
    for (int i = 0; i < c.queriedAfter; ++i) inpUpdate();
    EXPECT_EQ(inpKeyPressed(VK_F9), c.pressed);
    EXPECT_EQ(inpKeyDown(VK_F9), 1);
    // Seen once: the next update drops it.
    inpUpdate();
    EXPECT_EQ(inpKeyPressed(VK_F9), 0);
  }
}

}  // namespace
