// The window tests' fixture: a class whose procedure records every message,
// a pump as the main loop runs it, and windows destroyed after each test.
// Each test has its own single-instance directory.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "platform/test_api.h"
#include "platform/win32.h"
#include "support/temp_dir.h"

namespace window_test {

struct Received {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

inline std::vector<Received> g_received;
inline LPVOID g_createParam = nullptr;

// Records every message, then leaves it to the default handling.
inline LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  g_received.push_back({window, message, wParam, lParam});
  if (message == WM_CREATE) g_createParam = reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams;
  return DefWindowProcA(window, message, wParam, lParam);
}

// The main loop's pump: the window's messages until none is left.
inline void pump(HWND window) {
  MSG m;
  for (int guard = 0; guard < 1000 && PeekMessageA(&m, window, 0, 0, PM_REMOVE); ++guard) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

inline std::vector<UINT> messagesOf(const std::vector<Received>& r) {
  std::vector<UINT> out;
  for (const auto& x : r) out.push_back(x.message);
  return out;
}

// The windows that received WM_CLOSE, in order.
inline std::vector<HWND> closedWindows() {
  std::vector<HWND> closed;
  for (const auto& x : g_received)
    if (x.message == WM_CLOSE) closed.push_back(x.window);
  return closed;
}

// Whether the process was started ignoring the signal (as a background job
// ignores SIGINT): it then stays ignored.
inline bool startedIgnoring(int signal) {
  struct sigaction now{};
  sigaction(signal, nullptr, &now);
  return !(now.sa_flags & SA_SIGINFO) && now.sa_handler == SIG_IGN;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::test::setInstanceDir(dir_.c_str());
    static bool registered = false;
    if (!registered) {
      WNDCLASSEXA wc{};
      wc.cbSize = sizeof wc;
      wc.style = CS_DBLCLKS;
      wc.lpfnWndProc = recordingProc;
      wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
      wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
      wc.lpszClassName = "TestWndClass";
      ASSERT_NE(RegisterClassExA(&wc), 0);
      registered = true;
    }
    g_received.clear();
  }
  void TearDown() override {
    for (HWND w : windows_) DestroyWindow(w);
    plat::test::setInstanceDir(nullptr);
  }
  HWND create(DWORD style, int x, int y, int w, int h, DWORD exStyle = 0, HWND parent = nullptr) {
    HWND window = CreateWindowExA(exStyle, "testwndclass", "Test Window", style, x, y, w, h, parent, nullptr,
                                  nullptr, nullptr);
    if (window && !parent) windows_.push_back(window);
    return window;
  }
  TempDir tmp_;
  std::string dir_ = tmp_.path.string();
  std::vector<HWND> windows_;
};

}  // namespace window_test
