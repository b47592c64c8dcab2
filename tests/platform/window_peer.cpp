// The other process of the single-instance tests. It starts as a program
// does: when a window of the given class and title is running already it
// says "running" and ends; else it opens a minimised window of that class
// and title and says "ready". Then, by default, it says "raised" once a
// request has restored the window and made it the foreground window. With
// "box" it shows an Abort/Retry/Ignore box instead, in a process of its own
// as SDL's X11 box is, which says "box <pid>" and stays up until it is ended;
// once the box is down the peer says "answer <n>" with the box's answer, and
// "closed" when its window has been closed (the default handling of WM_CLOSE
// destroys it), which ends it with status 0.
// Usage: test_window_peer <instance dir> <class> <title> [box]
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/test_api.h"
#include "platform/win32.h"

namespace {

int forkedBox(const char*, const char*) {
  const pid_t pid = fork();
  if (pid == 0) {
    char line[32];
    const int n = std::snprintf(line, sizeof line, "box %d\n", static_cast<int>(getpid()));
    if (write(1, line, static_cast<size_t>(n)) != n) _exit(1);
    for (;;) pause();
  }
  if (pid < 0) return 0;
  int status;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return IDOK;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) return 2;
  const bool box = argc == 5 && std::strcmp(argv[4], "box") == 0;
  plat::test::setInstanceDir(argv[1]);
  if (FindWindowA(argv[2], argv[3])) {
    std::puts("running");
    return 5;
  }
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
  if (box) {
    plat::test::setMessageBoxShower(forkedBox);
    std::printf("answer %d\n", MessageBoxA(window, "A question", "Peer", MB_ABORTRETRYIGNORE));
    std::fflush(stdout);
    RECT r;
    for (int i = 0; i < 2000 && GetWindowRect(window, &r); ++i) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      Sleep(5);
    }
    if (GetWindowRect(window, &r)) return 1;
    std::puts("closed");
    return 0;
  }
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
