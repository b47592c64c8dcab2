// The other process of the single-instance test: opens a minimised window of
// the given class and title, says "ready", and says "raised" once a request
// has restored it and made it the foreground window.
// Usage: test_window_peer <instance dir> <class> <title>
#include <cstdio>

#include "platform/test_api.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  plat::test::setInstanceDir(argv[1]);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = argv[2];
  if (!RegisterClassExA(&wc)) return 3;
  HWND window = CreateWindowExA(0, argv[2], argv[3], WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                nullptr, nullptr);
  if (!window) return 4;
  ShowWindow(window, SW_MINIMIZE);
  std::puts("ready");
  std::fflush(stdout);
  for (int i = 0; i < 2000; ++i) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    if (!IsIconic(window) && GetForegroundWindow() == window) {
      std::puts("raised");
      std::fflush(stdout);
      DestroyWindow(window);
      return 0;
    }
    Sleep(5);
  }
  return 1;
}
