// Show state, activation and focus: ShowWindow's commands, the foreground
// window and WM_ACTIVATEAPP, and who plays the window manager's part in focus
// (this layer while focus is assumed, the window system otherwise).
#include <SDL.h>

#include <utility>
#include <vector>

#include "platform/test_api.h"
#include "platform/window_registry.h"

namespace plat::wnd {

HWND g_foreground = nullptr;
HWND g_focus = nullptr;

namespace {

bool g_appActive = false;
int g_assumeFocus = -1;  // -1: headless decides
std::vector<plat::test::ShowWindowRecord> g_showCalls;

// WM_ACTIVATEAPP to every top-level window of the process: sent to those of
// the calling thread, posted to the others.
void notifyApp(bool active) {
  std::vector<std::pair<HWND, bool>> targets;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto& [k, w] : windows())
      if (!w.remote && !isChild(w)) targets.emplace_back(handleOf(k), w.thread == std::this_thread::get_id());
  }
  for (auto [h, own] : targets) {
    if (own)
      plat::detail::sendMessage(h, WM_ACTIVATEAPP, active ? 1 : 0, 0);
    else
      PostMessageA(h, WM_ACTIVATEAPP, active ? 1 : 0, 0);
  }
}

struct ShowEffect {
  int command;
  bool visible;
  ShowState state;
  Activation act;
};

// What each ShowWindow command does.
constexpr ShowEffect kShowEffects[] = {
    {SW_HIDE, false, ShowState::Keep, Activation::Deactivate},
    {SW_SHOWNORMAL, true, ShowState::Normal, Activation::Activate},
    {SW_SHOWMINIMIZED, true, ShowState::Minimized, Activation::Activate},
    {SW_SHOWMAXIMIZED, true, ShowState::Maximized, Activation::Activate},
    {SW_SHOWNOACTIVATE, true, ShowState::Normal, Activation::None},
    {SW_SHOW, true, ShowState::Keep, Activation::Activate},
    {SW_MINIMIZE, true, ShowState::Minimized, Activation::Deactivate},
    {SW_SHOWMINNOACTIVE, true, ShowState::Minimized, Activation::None},
    {SW_SHOWNA, true, ShowState::Keep, Activation::None},
    {SW_RESTORE, true, ShowState::Normal, Activation::Activate},
    {SW_SHOWDEFAULT, true, ShowState::Normal, Activation::Activate},
    {SW_FORCEMINIMIZE, true, ShowState::Minimized, Activation::Deactivate},
};

// Makes a window of this process the foreground window: the layer does it
// while focus is assumed, the window system otherwise.
void bringToFront(HWND h) {
  bool focusRule;
  SDL_Window* sdl;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Window* w = local(h);
    if (!w) return;
    focusRule = assumeFocusLocked();
    sdl = w->sdl;
  }
  if (focusRule)
    activate(h);
  else if (sdl)
    SDL_RaiseWindow(sdl);
}

}  // namespace

bool assumeFocusLocked() {
  if (g_assumeFocus < 0) return plat::test::headless();
  return g_assumeFocus != 0;
}

void activate(HWND h) {
  bool notify;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Window* w = local(h);
    if (!w || isChild(*w) || (g_foreground == h && g_appActive)) return;
    g_foreground = h;
    notify = !g_appActive;
    g_appActive = true;
  }
  if (notify) notifyApp(true);
}

void deactivate(HWND h) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_foreground != h) return;
    g_foreground = nullptr;
    if (!g_appActive) return;
    g_appActive = false;
  }
  plat::detail::displayDeactivated();
  notifyApp(false);
}

BOOL applyShow(HWND h, bool visible, ShowState state, Activation act) {
  bool was, top, focusRule;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Window* w = localOrFail(h);
    if (!w) return FALSE;
    was = (w->style & WS_VISIBLE) != 0;
    DWORD before = w->style;
    w->style = visible ? (w->style | WS_VISIBLE) : (w->style & ~WS_VISIBLE);
    if (state != ShowState::Keep) {
      w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
      if (state == ShowState::Minimized) w->style |= WS_MINIMIZE;
      if (state == ShowState::Maximized) w->style |= WS_MAXIMIZE;
    }
    if (w->style != before) invalidate(*w);
    syncSdl(*w);
    top = !isChild(*w);
    focusRule = assumeFocusLocked();
  }
  if (top && focusRule) {
    if (act == Activation::Activate) activate(h);
    if (act == Activation::Deactivate) deactivate(h);
  }
  return was ? TRUE : FALSE;
}

void raiseLocal(HWND h) {
  bool iconic;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Window* w = local(h);
    if (!w) return;
    iconic = (w->style & WS_MINIMIZE) != 0;
  }
  if (iconic) applyShow(h, true, ShowState::Normal, Activation::Activate);
  bringToFront(h);
}

}  // namespace plat::wnd

using namespace plat::wnd;

BOOL ShowWindow(HWND window, int command) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_showCalls.push_back({window, command});
  }
  for (const auto& e : kShowEffects)
    if (e.command == command) return applyShow(window, e.visible, e.state, e.act);
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

BOOL IsIconic(HWND window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = local(window);
  return w && (w->style & WS_MINIMIZE) ? TRUE : FALSE;
}

HWND GetForegroundWindow() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_foreground;
}

HWND GetActiveWindow() {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = local(g_foreground);
  return w && w->thread == std::this_thread::get_id() ? g_foreground : nullptr;
}

BOOL SetForegroundWindow(HWND window) {
  plat::detail::RemoteWindow remote;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = windows().find(keyOf(window));
    if (it == windows().end()) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (it->second.remote) remote = it->second.remoteInfo;
  }
  if (!remote.address.empty()) return plat::detail::instanceRaise(remote) ? TRUE : FALSE;
  bringToFront(window);
  return TRUE;
}

HWND SetFocus(HWND window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (window && !localOrFail(window)) return nullptr;
  HWND previous = g_focus;
  g_focus = window;
  return previous;
}

namespace plat::test {

std::vector<ShowWindowRecord> takeShowWindowCalls() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<ShowWindowRecord> out;
  out.swap(g_showCalls);
  return out;
}

void setAssumeFocus(bool on) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_assumeFocus = on ? 1 : 0;
}

bool assumeFocus() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return assumeFocusLocked();
}

}  // namespace plat::test
