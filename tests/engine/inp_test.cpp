#include <gtest/gtest.h>

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

}  // namespace
