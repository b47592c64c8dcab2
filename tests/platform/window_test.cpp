#include <gtest/gtest.h>

#include <SDL.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/detail.h"
#include "platform/test_api.h"
#include "platform/win32.h"
#include "support/temp_dir.h"
#include "window_fixture.h"

extern char** environ;

namespace fs = std::filesystem;

using namespace window_test;

TEST_F(WindowTest, CreationShowingAndPaintingThroughTheClassProcedure) {
  ASSERT_TRUE(plat::test::assumeFocus());  // headless: on by default
  int param = 0;
  HWND w = CreateWindowExA(WS_EX_APPWINDOW, "TESTWNDCLASS", "Paint", 0x90CA0000u, 0, 0, 320, 240, nullptr,
                           nullptr, nullptr, &param);
  ASSERT_NE(w, nullptr);
  windows_.push_back(w);
  EXPECT_EQ(g_createParam, &param);
  // WS_VISIBLE shows the window at creation, which activates it.
  EXPECT_EQ(messagesOf(g_received), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_ACTIVATEAPP}));
  EXPECT_EQ(g_received.back().wParam, 1u);
  EXPECT_EQ(GetForegroundWindow(), w);
  EXPECT_EQ(GetActiveWindow(), w);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)), 0x90CA0000u);
  EXPECT_NE(plat::detail::sdlWindowOf(w), nullptr);

  // A shown window has an update region: UpdateWindow paints at once, and
  // the default handling validates it.
  RECT r;
  EXPECT_TRUE(GetUpdateRect(w, &r, FALSE));
  g_received.clear();
  UpdateWindow(w);
  ASSERT_EQ(messagesOf(g_received), (std::vector<UINT>{WM_PAINT}));
  EXPECT_FALSE(GetUpdateRect(w, &r, FALSE));

  // The window system's expose and close arrive through the pump; WM_PAINT
  // comes after the queued messages. The default WM_CLOSE destroys.
  plat::test::injectWindowEvent(w, plat::test::WindowEvent::Expose);
  PostMessageA(w, WM_USER, 0, 0);
  g_received.clear();
  pump(w);
  EXPECT_EQ(messagesOf(g_received), (std::vector<UINT>{WM_USER, WM_PAINT}));
  plat::test::injectWindowEvent(w, plat::test::WindowEvent::Close);
  g_received.clear();
  pump(w);
  EXPECT_EQ(messagesOf(g_received), (std::vector<UINT>{WM_CLOSE, WM_ACTIVATEAPP, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_FALSE(GetWindowRect(w, &r));
  windows_.clear();
}

TEST_F(WindowTest, KeyMessagesAndAltEnter) {
  HWND w = create(WS_POPUP | WS_VISIBLE, 0, 0, 200, 100);
  ASSERT_NE(w, nullptr);
  pump(w);
  using plat::test::injectKey;
  struct Step {
    int vk;
    bool down;
    UINT message;  // 0: none expected
    WPARAM wParam;
    bool altBit;
  } steps[] = {
      {'A', true, WM_KEYDOWN, 'A', false},
      {'A', false, WM_KEYUP, 'A', false},
      {VK_LSHIFT, true, WM_KEYDOWN, VK_SHIFT, false},
      {VK_LSHIFT, false, WM_KEYUP, VK_SHIFT, false},
      // Alt+Enter: every key while Alt is held is a system key.
      {VK_LMENU, true, WM_SYSKEYDOWN, VK_MENU, true},
      {VK_RETURN, true, WM_SYSKEYDOWN, VK_RETURN, true},
      {VK_RETURN, false, WM_SYSKEYUP, VK_RETURN, true},
      {VK_LMENU, false, WM_SYSKEYUP, VK_MENU, true},
      {VK_RETURN, true, WM_KEYDOWN, VK_RETURN, false},
      {VK_RETURN, false, WM_KEYUP, VK_RETURN, false},
      {VK_F10, true, WM_SYSKEYDOWN, VK_F10, false},
      {VK_F10, false, WM_SYSKEYUP, VK_F10, false},
      {VK_LBUTTON, true, 0, 0, false},  // buttons feed the key table only
  };
  for (const auto& s : steps) {
    g_received.clear();
    injectKey(s.vk, s.down);
    pump(w);
    if (s.message == 0) {
      EXPECT_TRUE(g_received.empty()) << s.vk;
      continue;
    }
    ASSERT_EQ(g_received.size(), 1u) << s.vk;
    const auto& r = g_received[0];
    EXPECT_EQ(r.message, s.message) << s.vk;
    EXPECT_EQ(r.wParam, s.wParam) << s.vk;
    EXPECT_EQ((r.lParam >> 29) & 1, s.altBit ? 1 : 0) << s.vk;
    EXPECT_EQ((r.lParam >> 31) & 1, s.down ? 0 : 1) << s.vk;  // transition state
  }
  injectKey(VK_LBUTTON, false);
}

TEST_F(WindowTest, SdlKeyEventsTranslateToVirtualKeys) {
  HWND w = create(WS_POPUP | WS_VISIBLE, 0, 0, 200, 100);
  ASSERT_NE(w, nullptr);
  pump(w);
  Uint32 id = SDL_GetWindowID(plat::detail::sdlWindowOf(w));
  struct {
    SDL_Scancode scancode;
    WPARAM vk;
  } cases[] = {
      {SDL_SCANCODE_A, 'A'},         {SDL_SCANCODE_Z, 'Z'},      {SDL_SCANCODE_0, '0'},
      {SDL_SCANCODE_1, '1'},         {SDL_SCANCODE_9, '9'},      {SDL_SCANCODE_F1, VK_F1},
      {SDL_SCANCODE_F9, VK_F9},      {SDL_SCANCODE_F12, VK_F12}, {SDL_SCANCODE_KP_ENTER, VK_RETURN},
      {SDL_SCANCODE_ESCAPE, VK_ESCAPE}, {SDL_SCANCODE_SPACE, VK_SPACE}, {SDL_SCANCODE_DOWN, VK_DOWN},
      {SDL_SCANCODE_RCTRL, VK_CONTROL},
  };
  for (const auto& c : cases) {
    SDL_Event e{};
    e.key.type = SDL_KEYDOWN;
    e.key.windowID = id;
    e.key.state = SDL_PRESSED;
    e.key.keysym.scancode = c.scancode;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    e.key.type = SDL_KEYUP;
    e.key.state = SDL_RELEASED;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    g_received.clear();
    pump(w);
    ASSERT_EQ(messagesOf(g_received), (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP})) << c.scancode;
    EXPECT_EQ(g_received[0].wParam, c.vk) << c.scancode;
  }
}

TEST_F(WindowTest, PostedFromAnotherThreadReachesThePump) {
  HWND w = create(WS_POPUP | WS_VISIBLE, 0, 0, 200, 100);
  ASSERT_NE(w, nullptr);
  pump(w);
  g_received.clear();
  const UINT kDone = WM_USER + 20;
  BOOL posted = FALSE;
  std::thread([&] { posted = PostMessageA(w, kDone, 0x1234, 1); }).join();
  EXPECT_TRUE(posted);
  // A thread message is not taken by the window filter.
  PostQuitMessage(0);
  pump(w);
  ASSERT_EQ(g_received.size(), 1u);
  EXPECT_EQ(g_received[0].message, kDone);
  EXPECT_EQ(g_received[0].wParam, 0x1234u);
  EXPECT_EQ(g_received[0].lParam, 1);
  MSG m;
  EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
  // Messages of a destroyed window are dropped, and posting to it fails.
  PostMessageA(w, kDone, 0, 0);
  DestroyWindow(w);
  windows_.clear();
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PostMessageA(w, kDone, 0, 0));
}

TEST_F(WindowTest, KeyStateLatchKeepsClicksBetweenPolls) {
  using plat::test::injectKey;
  auto state = [](int vk) { return static_cast<USHORT>(GetAsyncKeyState(vk)); };
  // A click between two polls: up now, but pressed since the last call.
  injectKey(VK_LBUTTON, true);
  injectKey(VK_LBUTTON, false);
  EXPECT_EQ(state(VK_LBUTTON), 0x0001);
  EXPECT_EQ(state(VK_LBUTTON), 0x0000);
  // A held key: the latch once, then down only. The generic code follows
  // either side and latches once.
  injectKey(VK_RSHIFT, true);
  EXPECT_EQ(state(VK_RSHIFT), 0x8001);
  EXPECT_EQ(state(VK_RSHIFT), 0x8000);
  injectKey(VK_LSHIFT, true);
  EXPECT_EQ(state(VK_SHIFT), 0x8001);
  injectKey(VK_RSHIFT, false);
  EXPECT_EQ(state(VK_SHIFT), 0x8000);
  EXPECT_EQ(state(VK_LSHIFT), 0x8001);
  injectKey(VK_LSHIFT, false);
  EXPECT_EQ(state(VK_SHIFT), 0x0000);
  EXPECT_EQ(state(-1), 0);
  EXPECT_EQ(state(256), 0);

  POINT p;
  plat::test::injectCursorMove(300, 200);
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p.x, 300);
  EXPECT_EQ(p.y, 200);
  ASSERT_TRUE(SetCursorPos(-5, 7));
  plat::test::setCursorPosFails(true);
  EXPECT_FALSE(GetCursorPos(&p));
  plat::test::setCursorPosFails(false);
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p.x, -5);
  EXPECT_EQ(p.y, 7);
}

namespace {

// The engine's cursor handling: hidden over the active window's client area,
// shown again when the mouse leaves it.
LRESULT CALLBACK cursorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  g_received.push_back({window, message, wParam, lParam});
  if (message == WM_MOUSEMOVE) {
    for (int guard = 0; ShowCursor(FALSE) >= 0 && guard < 100; ++guard) {
    }
    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, window, 400};
    TrackMouseEvent(&t);
  }
  if (message == WM_MOUSELEAVE) {
    for (int guard = 0; ShowCursor(TRUE) < 0 && guard < 100; ++guard) {
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST_F(WindowTest, MouseMoveAndLeaveDriveTheCursorCounter) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = cursorProc;
  wc.lpszClassName = "CursorClass";
  ASSERT_NE(RegisterClassExA(&wc), 0);
  // Caption and frame: the client area starts at (103, 122).
  HWND w = CreateWindowExA(0, "CursorClass", "c", 0x90CA0000u, 100, 100, 206, 222, nullptr, nullptr, nullptr,
                           nullptr);
  ASSERT_NE(w, nullptr);
  windows_.push_back(w);
  plat::test::setCursorCount(0);
  pump(w);
  g_received.clear();

  plat::test::injectCursorMove(110, 130);
  pump(w);
  ASSERT_EQ(messagesOf(g_received), (std::vector<UINT>{WM_MOUSEMOVE}));
  EXPECT_EQ(LOWORD(g_received[0].lParam), 7);
  EXPECT_EQ(HIWORD(g_received[0].lParam), 8);
  EXPECT_EQ(plat::test::cursorCount(), -1);

  plat::test::injectCursorMove(50, 50);  // outside: the tracked leave
  plat::test::injectCursorMove(40, 40);  // no second leave
  g_received.clear();
  pump(w);
  EXPECT_EQ(messagesOf(g_received), (std::vector<UINT>{WM_MOUSELEAVE}));
  EXPECT_EQ(plat::test::cursorCount(), 0);

  // Tracking asked for while the cursor is outside: the leave comes at once.
  TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, w, 400};
  ASSERT_TRUE(TrackMouseEvent(&t));
  g_received.clear();
  pump(w);
  EXPECT_EQ(messagesOf(g_received), (std::vector<UINT>{WM_MOUSELEAVE}));
}

TEST_F(WindowTest, PlacementWhileMinimisedAndActivation) {
  HWND w = create(0x90CA0000u, 100, 50, 300, 200);
  ASSERT_NE(w, nullptr);
  pump(w);
  g_received.clear();
  ShowWindow(w, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(w));
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)), 0x90CA0000u | WS_MINIMIZE);
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, -32000);
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  ASSERT_TRUE(GetWindowPlacement(w, &wp));
  EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMINIMIZED));
  EXPECT_EQ(wp.rcNormalPosition.left, 100);
  EXPECT_EQ(wp.rcNormalPosition.top, 50);
  EXPECT_EQ(wp.rcNormalPosition.right, 400);
  EXPECT_EQ(wp.rcNormalPosition.bottom, 250);
  // Moving the window while minimised moves its normal position.
  SetWindowPos(w, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOOWNERZORDER);
  ShowWindow(w, SW_RESTORE);
  EXPECT_FALSE(IsIconic(w));
  EXPECT_EQ(GetForegroundWindow(), w);
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.bottom, 220);
  pump(w);
  std::vector<WPARAM> activations;
  for (const auto& m : g_received)
    if (m.message == WM_ACTIVATEAPP) activations.push_back(m.wParam);
  EXPECT_EQ(activations, (std::vector<WPARAM>{0, 1}));

  // Hiding deactivates; SW_SHOWNOACTIVATE shows without activating.
  ShowWindow(w, SW_HIDE);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_TRUE(ShowWindow(w, SW_SHOWNA) == FALSE);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_TRUE(SetForegroundWindow(w));
  EXPECT_EQ(GetForegroundWindow(), w);

  // Without assumed focus, the window system's focus events decide.
  plat::test::setAssumeFocus(false);
  g_received.clear();
  plat::test::injectWindowEvent(w, plat::test::WindowEvent::FocusLost);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  plat::test::injectWindowEvent(w, plat::test::WindowEvent::FocusGained);
  EXPECT_EQ(GetForegroundWindow(), w);
  EXPECT_EQ(messagesOf(g_received), (std::vector<UINT>{WM_ACTIVATEAPP, WM_ACTIVATEAPP}));
  plat::test::setAssumeFocus(true);
}

TEST_F(WindowTest, ClientSizeAfterAdjustWindowRectExAndSetWindowPos) {
  struct {
    DWORD style;
    LONG side, top;  // the border model's frame
  } cases[] = {
      {0x90CA0000u, 3, 22},            // caption, dialog frame
      {WS_POPUP, 0, 0},                // no frame at all
      {WS_OVERLAPPEDWINDOW, 4, 23},    // caption, sizing frame
      {WS_POPUP | WS_BORDER, 1, 1},    // thin border
  };
  for (const auto& c : cases) {
    HWND w = create(c.style, 0, 0, 640, 480);
    ASSERT_NE(w, nullptr);
    // Centre on the work area, then size the client area as the display does.
    RECT area;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    SetWindowPos(w, nullptr, (area.right - 640) / 2, (area.bottom - 480) / 2, -1, -1,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r;
    GetWindowRect(w, &r);
    const LONG left = r.left, top = r.top;
    r.right = r.left + 640;
    r.bottom = r.top + 480;
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)), FALSE, WS_EX_APPWINDOW);
    EXPECT_EQ(r.right - r.left, 640 + 2 * c.side) << c.style;
    EXPECT_EQ(r.bottom - r.top, 480 + c.top + c.side) << c.style;
    SetWindowPos(w, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOMOVE);
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 640) << c.style;
    EXPECT_EQ(client.bottom, 480) << c.style;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, left) << c.style;
    EXPECT_EQ(r.top, top) << c.style;
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    EXPECT_EQ(origin.x, left + c.side) << c.style;
    EXPECT_EQ(origin.y, top + c.top) << c.style;
    // The SDL window is the client area.
    int x, y, cx, cy;
    SDL_GetWindowPosition(plat::detail::sdlWindowOf(w), &x, &y);
    SDL_GetWindowSize(plat::detail::sdlWindowOf(w), &cx, &cy);
    EXPECT_EQ(x, origin.x) << c.style;
    EXPECT_EQ(y, origin.y) << c.style;
    EXPECT_EQ(cx, 640) << c.style;
    EXPECT_EQ(cy, 480) << c.style;
  }
}

TEST_F(WindowTest, StyleSwitchAndChildGeometry) {
  // Full screen to window mode: new styles, exactly as set; the window
  // rectangle stays, the client area shrinks by the new frame.
  HWND w = create(WS_POPUP, 0, 0, 640, 480, WS_EX_TOPMOST);
  ASSERT_NE(w, nullptr);
  ShowWindow(w, SW_SHOWNORMAL);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)), WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(SetWindowLongA(w, GWL_STYLE, static_cast<LONG>(0x90CA0000u)), static_cast<LONG>(WS_POPUP | WS_VISIBLE));
  EXPECT_EQ(SetWindowLongA(w, GWL_EXSTYLE, WS_EX_APPWINDOW), static_cast<LONG>(WS_EX_TOPMOST));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)), 0x90CA0000u);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_EXSTYLE)), WS_EX_APPWINDOW);
  RECT client;
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 634);
  EXPECT_EQ(client.bottom, 455);

  // A popup's owner and a child's parent; child coordinates are the
  // parent's client coordinates.
  HWND owned = create(WS_POPUP, 0, 0, 10, 10, 0, w);
  windows_.push_back(owned);
  HWND child = create(WS_CHILD | WS_VISIBLE, 10, 20, 100, 50, 0, w);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetParent(owned), w);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), w);
  EXPECT_EQ(GetParent(child), w);
  EXPECT_EQ(GetWindow(child, GW_OWNER), nullptr);
  EXPECT_EQ(GetParent(w), nullptr);
  EXPECT_EQ(plat::detail::sdlWindowOf(child), nullptr);
  RECT r;
  GetWindowRect(child, &r);
  EXPECT_EQ(r.left, 13);
  EXPECT_EQ(r.top, 42);
  POINT pts[2] = {{0, 0}, {5, 5}};
  int offset = MapWindowPoints(child, w, pts, 2);
  EXPECT_EQ(LOWORD(offset), 10);
  EXPECT_EQ(HIWORD(offset), 20);
  EXPECT_EQ(pts[1].x, 15);
  EXPECT_EQ(pts[1].y, 25);
  // Destroying the parent destroys its child and owned windows first.
  g_received.clear();
  DestroyWindow(w);
  windows_.clear();
  EXPECT_FALSE(GetWindowRect(child, &r));
  EXPECT_FALSE(GetWindowRect(owned, &r));
  ASSERT_GE(g_received.size(), 2u);
  EXPECT_EQ(g_received.back().window, w);
}

namespace {

// A running peer process and its output.
struct Peer {
  pid_t pid = -1;
  int out = -1;

  bool start(const std::string& dir, const char* cls, const char* title, const char* mode = nullptr) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    // Started as from a terminal: whoever runs the tests may ignore SIGINT.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t terminal;
    sigemptyset(&terminal);
    sigaddset(&terminal, SIGINT);
    sigaddset(&terminal, SIGTERM);
    sigaddset(&terminal, SIGHUP);
    posix_spawnattr_setsigdefault(&attributes, &terminal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    std::string path = WINDOW_PEER_PATH;
    char* argv[] = {path.data(), const_cast<char*>(dir.c_str()), const_cast<char*>(cls), const_cast<char*>(title),
                    const_cast<char*>(mode), nullptr};
    int rc = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[1]);
    out = fds[0];
    return rc == 0;
  }
  // The next line the peer writes, within ten seconds.
  std::string line() {
    std::string text;
    char c;
    pollfd p{out, POLLIN, 0};
    while (poll(&p, 1, 10000) == 1 && read(out, &c, 1) == 1) {
      if (c == '\n') return text;
      text += c;
    }
    return text;
  }
  // Its exit status; one that has not ended within ten seconds is killed.
  int wait() {
    int status = 0;
    for (int i = 0; i < 2000 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(5000);
    if (waitpid(pid, &status, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    close(out);
    return status;
  }
};

// Whether a process has ended (a zombie counts: whoever adopted it reaps it).
bool ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  const size_t name = text.rfind(')');
  return name == std::string::npos || name + 2 >= text.size() || text[name + 2] == 'Z' || text[name + 2] == 'X';
}

}  // namespace

TEST_F(WindowTest, SecondProcessFindsAndRaisesTheFirstsWindow) {
  Peer peer;
  ASSERT_TRUE(peer.start(dir_, "GameAppWndClass", "Sample Demo Game"));
  ASSERT_EQ(peer.line(), "ready");
  EXPECT_EQ(FindWindowA("GameAppWndClass", "Another Game"), nullptr);
  EXPECT_EQ(FindWindowA("OtherClass", "Sample Demo Game"), nullptr);
  HWND found = FindWindowA("gameappwndclass", "SAMPLE DEMO GAME");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(FindWindowA("GameAppWndClass", "Sample Demo Game"), found);
  EXPECT_TRUE(SetForegroundWindow(found));
  EXPECT_EQ(peer.line(), "raised");
  int status = peer.wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(FindWindowA("GameAppWndClass", "Sample Demo Game"), nullptr);

  // A process that dies leaves its lock file unheld: it is not found, and
  // the file is removed.
  Peer killed;
  ASSERT_TRUE(killed.start(dir_, "GameAppWndClass", "Sample Demo Game"));
  ASSERT_EQ(killed.line(), "ready");
  kill(killed.pid, SIGKILL);
  killed.wait();
  EXPECT_EQ(FindWindowA("GameAppWndClass", "Sample Demo Game"), nullptr);
  EXPECT_TRUE(fs::is_empty(dir_));
}

// A program killed while its box is up (the box in a process of its own, as
// SDL's X11 box is) takes the box with it; the next start finds no running
// copy and opens its window. A termination, interrupt or hang-up signal
// closes the box instead, as if without a button (Ignore, not the default
// Abort), then the program's window: the program ends as its user ends it.
TEST_F(WindowTest, ASignalClosesTheBoxOrKillsItWithItsProgram) {
  for (int signal : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    Peer boxed;
    ASSERT_TRUE(boxed.start(dir_, "GameAppWndClass", "Boxed", "box"));
    ASSERT_EQ(boxed.line(), "ready");
    const std::string box = boxed.line();
    ASSERT_EQ(box.rfind("box ", 0), 0u) << box;
    const pid_t boxPid = std::stoi(box.substr(4));
    EXPECT_NE(FindWindowA("GameAppWndClass", "Boxed"), nullptr);
    kill(boxed.pid, signal);
    if (signal != SIGKILL) {
      EXPECT_EQ(boxed.line(), "answer " + std::to_string(IDIGNORE));
      EXPECT_EQ(boxed.line(), "closed");
    }
    const int status = boxed.wait();
    if (signal == SIGKILL) EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    else EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    for (int i = 0; i < 2000 && !ended(boxPid); ++i) usleep(5000);
    EXPECT_TRUE(ended(boxPid));
    if (!ended(boxPid)) kill(boxPid, SIGKILL);
    EXPECT_EQ(FindWindowA("GameAppWndClass", "Boxed"), nullptr);

    Peer next;
    ASSERT_TRUE(next.start(dir_, "GameAppWndClass", "Boxed"));
    EXPECT_EQ(next.line(), "ready");
    kill(next.pid, SIGKILL);
    next.wait();
  }
}

namespace {

int g_boxesShown = 0;

}  // namespace

// A request to end closes a box that is up, which answers as closed without
// a button (Ignore, not the Abort the box gave), or keeps a box from being
// shown while it waits; the windows then take it at the next pump.
TEST_F(WindowTest, ARequestClosesTheBoxThenTheWindows) {
  if (startedIgnoring(SIGTERM)) GTEST_SKIP() << "this process ignores SIGTERM";
  for (bool whileUp : {true, false}) {
    SCOPED_TRACE(whileUp ? "while the box is up" : "before the box");
    HWND w = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100);
    ASSERT_NE(w, nullptr);
    pump(nullptr);
    g_received.clear();
    g_boxesShown = 0;
    plat::test::setMessageBoxShower([](const char*, const char*) {
      ++g_boxesShown;
      std::raise(SIGTERM);
      return IDABORT;
    });
    if (!whileUp) {
      ASSERT_EQ(std::raise(SIGTERM), 0);
    }
    EXPECT_EQ(MessageBoxA(w, "A question", "Test", MB_ABORTRETRYIGNORE), IDIGNORE);
    plat::test::setMessageBoxShower(nullptr);
    EXPECT_EQ(g_boxesShown, whileUp ? 1 : 0);
    EXPECT_TRUE(closedWindows().empty());
    pump(nullptr);
    EXPECT_EQ(closedWindows(), std::vector<HWND>{w});
  }
  plat::test::takeMessageBoxes();
}

// Once the display is up, a write to a pipe or socket whose reader is gone
// (a display dropping the connection while it is tried) fails with EPIPE
// instead of ending the program.
TEST_F(WindowTest, ABrokenPipeFailsTheWriteOnly) {
  ASSERT_NE(create(WS_OVERLAPPEDWINDOW, 10, 10, 200, 100), nullptr);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  errno = 0;
  EXPECT_EQ(write(fds[1], "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  close(fds[1]);
}
