// SDL's window events: the pump that turns every pending SDL event into window
// state, messages and input, what each window event does to its window, the
// pointer's way across windows, and the test API's injected window events.
#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/test_api.h"
#include "platform/window_registry.h"

namespace plat::detail {

namespace {

// A display that is busy (a loaded machine) or still starting can refuse a
// connection for a while: video is tried this often, this far apart.
constexpr int kVideoAttempts = 50;
constexpr Uint32 kVideoRetryMs = 100;

bool named(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value;
}

// SDL falls back to its offscreen driver, which shows nothing and never
// gives focus, when the display the environment names does not answer and
// no driver was asked for.
bool onTheNamedDisplay() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "offscreen") != 0 || named("SDL_VIDEODRIVER")) return true;
  return !named("DISPLAY") && !named("WAYLAND_DISPLAY");
}

}  // namespace

bool initVideo() {
  // SDL's quit event then comes only from the desktop's request to end the
  // program, never from closing the last window, which already gives that
  // window its WM_CLOSE. The signals that ask the program to end are this
  // layer's (quit_signals.cpp).
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  catchQuitSignals();
  for (int attempt = 1;; ++attempt) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
      if (onTheNamedDisplay()) break;
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    if (attempt == kVideoAttempts) return false;
    SDL_Delay(kVideoRetryMs);
  }
  // On X11 a window surface is the window's own (shared-memory) image. SDL
  // would otherwise put it behind an OpenGL renderer: the first present then
  // replaces the window with an OpenGL one (seconds under load, black where
  // OpenGL is software), and every present draws the whole window. The
  // environment's SDL_FRAMEBUFFER_ACCELERATION still decides.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "x11") == 0) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  return true;
}

}  // namespace plat::detail

namespace plat::wnd {
namespace {

bool g_videoThreadSet = false;
std::thread::id g_videoThread;

}  // namespace

bool ensureVideo() {
  if (!SDL_WasInit(SDL_INIT_VIDEO) && !plat::detail::initVideo()) return false;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_videoThreadSet) {
    g_videoThreadSet = true;
    g_videoThread = std::this_thread::get_id();
  }
  return true;
}

void handleWindowEvent(const SDL_WindowEvent& e) {
  HWND h = nullptr;
  Activation act = Activation::None;
  bool post = false;
  UINT message = 0;
  SDL_Window* showAgain = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto& [k, w] : windows()) {
      if (w.remote || w.sdlId != e.windowID || !w.sdl) continue;
      h = handleOf(k);
      bool focusRule = assumeFocusLocked();
      bool normal = !(w.style & (WS_MINIMIZE | WS_MAXIMIZE));
      int sx, sy;
      // The display has lost the picture: it gets the window's kept picture
      // at once, whether or not the application draws again.
      if (e.event == SDL_WINDOWEVENT_EXPOSED || e.event == SDL_WINDOWEVENT_SHOWN ||
          e.event == SDL_WINDOWEVENT_RESTORED)
        showAgain = w.sdl;
      switch (e.event) {
        case SDL_WINDOWEVENT_EXPOSED:
          invalidate(w);
          break;
        case SDL_WINDOWEVENT_MOVED: {
          // Only where the window system put it last counts; earlier moves
          // that this layer has since overtaken are ignored.
          SDL_GetWindowPosition(w.sdl, &sx, &sy);
          RECT c = clientRectOf(w);
          if (normal && sx == e.data1 && sy == e.data2 && (c.left != sx || c.top != sy)) {
            LONG dx = sx - c.left, dy = sy - c.top;
            w.normal = {w.normal.left + dx, w.normal.top + dy, w.normal.right + dx, w.normal.bottom + dy};
          }
          break;
        }
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
          SDL_GetWindowSize(w.sdl, &sx, &sy);
          RECT c = clientRectOf(w);
          if (normal && sx == e.data1 && sy == e.data2 && (c.right - c.left != sx || c.bottom - c.top != sy)) {
            w.normal.right += sx - (c.right - c.left);
            w.normal.bottom += sy - (c.bottom - c.top);
            invalidate(w);
          }
          break;
        }
        case SDL_WINDOWEVENT_MINIMIZED:
          if (!(w.style & WS_MINIMIZE)) {
            w.style = (w.style & ~WS_MAXIMIZE) | WS_MINIMIZE;
            if (focusRule) act = Activation::Deactivate;
          }
          break;
        case SDL_WINDOWEVENT_MAXIMIZED:
          if (!(w.style & WS_MAXIMIZE)) {
            w.style = (w.style & ~WS_MINIMIZE) | WS_MAXIMIZE;
            invalidate(w);
          }
          break;
        case SDL_WINDOWEVENT_RESTORED:
          if (w.style & (WS_MINIMIZE | WS_MAXIMIZE)) {
            w.style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
            invalidate(w);
            if (focusRule) act = Activation::Activate;
          }
          break;
        case SDL_WINDOWEVENT_ENTER:
          w.mouseInside = true;
          break;
        case SDL_WINDOWEVENT_LEAVE:
          w.mouseInside = false;
          if (w.tracking) {
            w.tracking = false;
            post = true;
            message = WM_MOUSELEAVE;
          }
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          if (!focusRule) act = Activation::Activate;
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          if (!focusRule) act = Activation::Deactivate;
          break;
        case SDL_WINDOWEVENT_CLOSE:
          post = true;
          message = WM_CLOSE;
          break;
        default:
          break;
      }
      break;
    }
  }
  if (!h) return;
  if (showAgain) plat::detail::showPictureAgain(showAgain);
  if (post) PostMessageA(h, message, 0, 0);
  if (act == Activation::Activate) activate(h);
  if (act == Activation::Deactivate) deactivate(h);
}

// A request to end the program: each top-level window of this thread is
// asked to close, as its close box would, so the program ends the way its
// user ends it (and keeps what it saves at exit).
size_t closeTopLevelWindows() {
  std::vector<HWND> close;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto& [k, w] : windows())
      if (!w.remote && !isChild(w) && !w.destroying && w.thread == std::this_thread::get_id())
        close.push_back(handleOf(k));
  }
  for (HWND h : close) PostMessageA(h, WM_CLOSE, 0, 0);
  return close.size();
}

}  // namespace plat::wnd

using namespace plat::wnd;

namespace plat::detail {


void pumpEvents() {
  thread_local bool busy = false;
  if (busy || !SDL_WasInit(SDL_INIT_VIDEO)) return;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_videoThreadSet || g_videoThread != std::this_thread::get_id()) return;
  }
  busy = true;
  // A signal's request waits for a window to take it.
  if (quitRequested() && closeTopLevelWindows() > 0) clearQuitRequest();
  SDL_PumpEvents();
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    switch (e.type) {
      case SDL_WINDOWEVENT:
        handleWindowEvent(e.window);
        break;
      case SDL_QUIT:
        closeTopLevelWindows();
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
      case SDL_MOUSEMOTION:
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        handleInputEvent(e);
        break;
      default:
        break;
    }
  }
  for (uint64_t id : instanceTakeRaiseRequests()) raiseLocal(handleOf(static_cast<uintptr_t>(id)));
  busy = false;
}

bool nextPaintMessage(HWND filter, MSG* msg) {
  if (filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) return false;
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto& [k, w] : windows()) {
    HWND h = handleOf(k);
    if (w.remote || !w.dirty || w.thread != std::this_thread::get_id()) continue;
    if (filter && filter != h) continue;
    if (msg) *msg = MSG{h, WM_PAINT, 0, 0, SDL_GetTicks(), cursorPos()};
    return true;
  }
  return false;
}

HWND windowOfSdlId(Uint32 id) {
  if (id == 0) return nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto& [k, w] : windows())
    if (!w.remote && w.sdl && w.sdlId == id) return handleOf(k);
  return nullptr;
}

Uint32 foregroundSdlId() {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = local(g_foreground);
  return w ? w->sdlId : 0;
}

bool clientOrigin(HWND window, POINT* origin) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = local(window);
  if (!w) return false;
  *origin = clientOriginOf(*w);
  return true;
}

void noteMouseInside(HWND window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (Window* w = local(window)) w->mouseInside = true;
}

void pointerMoved(POINT p) {
  // The window under the point: the foreground window first, then the most
  // recently created visible one.
  std::vector<Uint32> left;
  Uint32 under = 0;
  POINT origin{};
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto contains = [&](const Window& w) {
      if (w.remote || !w.sdl || !(w.style & WS_VISIBLE) || (w.style & WS_MINIMIZE)) return false;
      RECT c = clientRectOf(w);
      return p.x >= c.left && p.x < c.right && p.y >= c.top && p.y < c.bottom;
    };
    const Window* target = nullptr;
    if (Window* f = local(g_foreground); f && contains(*f)) target = f;
    for (auto it = windows().rbegin(); !target && it != windows().rend(); ++it)
      if (contains(it->second)) target = &it->second;
    for (auto& [k, w] : windows())
      if (&w != target && w.mouseInside && w.sdl) left.push_back(w.sdlId);
    if (target) {
      under = target->sdlId;
      origin = clientOriginOf(*target);
    }
  }
  for (Uint32 id : left) {
    SDL_WindowEvent e{};
    e.type = SDL_WINDOWEVENT;
    e.event = SDL_WINDOWEVENT_LEAVE;
    e.windowID = id;
    handleWindowEvent(e);
  }
  if (under) {
    SDL_Event e{};
    e.motion.type = SDL_MOUSEMOTION;
    e.motion.windowID = under;
    e.motion.x = p.x - origin.x;
    e.motion.y = p.y - origin.y;
    handleInputEvent(e);
  }
}

}  // namespace plat::detail

namespace plat::test {

void injectWindowEvent(HWND window, WindowEvent event, int x, int y) {
  static constexpr struct {
    WindowEvent event;
    SDL_WindowEventID sdl;
  } kEvents[] = {
      {WindowEvent::Close, SDL_WINDOWEVENT_CLOSE},
      {WindowEvent::Expose, SDL_WINDOWEVENT_EXPOSED},
      {WindowEvent::Minimized, SDL_WINDOWEVENT_MINIMIZED},
      {WindowEvent::Maximized, SDL_WINDOWEVENT_MAXIMIZED},
      {WindowEvent::Restored, SDL_WINDOWEVENT_RESTORED},
      {WindowEvent::Shown, SDL_WINDOWEVENT_SHOWN},
      {WindowEvent::Moved, SDL_WINDOWEVENT_MOVED},
      {WindowEvent::Resized, SDL_WINDOWEVENT_SIZE_CHANGED},
      {WindowEvent::FocusGained, SDL_WINDOWEVENT_FOCUS_GAINED},
      {WindowEvent::FocusLost, SDL_WINDOWEVENT_FOCUS_LOST},
  };
  SDL_WindowEvent e{};
  e.type = SDL_WINDOWEVENT;
  e.data1 = x;
  e.data2 = y;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Window* w = local(window);
    if (!w || !w->sdl) return;
    e.windowID = w->sdlId;
    if (event == WindowEvent::Moved) SDL_SetWindowPosition(w->sdl, x, y);
    if (event == WindowEvent::Resized) SDL_SetWindowSize(w->sdl, x, y);
    if (event == WindowEvent::Expose || event == WindowEvent::Shown || event == WindowEvent::Restored)
      plat::detail::pictureLost(w->sdl);
  }
  for (const auto& k : kEvents)
    if (k.event == event) e.event = k.sdl;
  handleWindowEvent(e);
}

}  // namespace plat::test
