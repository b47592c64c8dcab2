// The pass-driven input script: steps wait main-loop passes (a PeekMessageA
// of the main window that finds nothing), act on that window, and the
// messages they cause come in the same pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "window_fixture.h"

using namespace window_test;
namespace pt = plat::test;

namespace {

// One main-loop pass: the window's messages, then what the pass saw.
struct Pass {
  std::vector<UINT> messages;
  POINT cursor;
  bool leftDown;
};

Pass runPass(HWND window) {
  g_received.clear();
  pump(window);
  Pass p{messagesOf(g_received), {}, (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0};
  GetCursorPos(&p.cursor);
  return p;
}

TEST_F(WindowTest, ScriptStepsRunInTheirPassesOnTheMainWindow) {
  HWND window = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 50, 300, 200);
  ASSERT_NE(window, nullptr);
  pump(window);  // creation's messages, before the script counts
  POINT origin{0, 0};
  ASSERT_TRUE(ClientToScreen(window, &origin));

  int called = 0;
  int calledInPass = 0;
  pt::setInputScript({
      pt::moveTo(2, 10, 20),                 // pass 2
      pt::keyDown(0, VK_LBUTTON),            // pass 2 too
      pt::keyDown(0, VK_F9),
      pt::keyUp(3, VK_LBUTTON),              // pass 5
      pt::keyUp(0, VK_F9),
      pt::callAt(1, [&] { ++called; calledInPass = pt::scriptPasses(); }),  // pass 6
      pt::closeWindow(2),                    // pass 8
  });
  std::vector<Pass> passes;
  for (int i = 0; i < 9; ++i) passes.push_back(runPass(window));
  pt::setInputScript({});

  EXPECT_EQ(pt::scriptStepsLeft(), 0u);
  EXPECT_TRUE(passes[0].messages.empty());
  EXPECT_EQ(passes[1].cursor.x, origin.x + 10);
  EXPECT_EQ(passes[1].cursor.y, origin.y + 20);
  EXPECT_TRUE(passes[1].leftDown);
  for (UINT m : {UINT(WM_MOUSEMOVE), UINT(WM_KEYDOWN)}) {
    EXPECT_NE(std::find(passes[1].messages.begin(), passes[1].messages.end(), m), passes[1].messages.end());
  }
  // Messages taken inside a pass do not count as passes of their own.
  EXPECT_TRUE(passes[3].leftDown);
  EXPECT_FALSE(passes[4].leftDown);
  EXPECT_NE(std::find(passes[4].messages.begin(), passes[4].messages.end(), UINT(WM_KEYUP)),
            passes[4].messages.end());
  EXPECT_EQ(called, 1);
  EXPECT_EQ(calledInPass, 6);
  EXPECT_TRUE(passes[6].messages.empty());
  EXPECT_NE(std::find(passes[7].messages.begin(), passes[7].messages.end(), UINT(WM_CLOSE)),
            passes[7].messages.end());
}

TEST_F(WindowTest, OtherPeeksCountNoPass) {
  HWND window = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 50, 300, 200);
  ASSERT_NE(window, nullptr);
  pump(window);
  int called = 0;
  pt::setInputScript({pt::callAt(1, [&] { ++called; })});
  MSG m;
  // A thread-wide peek, and one filtered for WM_QUIT, are no main loop.
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&m, window, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(pt::scriptPasses(), 0);
  EXPECT_EQ(called, 0);
  EXPECT_FALSE(PeekMessageA(&m, window, 0, 0, PM_REMOVE));
  EXPECT_EQ(called, 1);
  pt::setInputScript({});
}

}  // namespace
