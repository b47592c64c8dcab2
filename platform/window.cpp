// Windows of this process over SDL windows: classes, creation and
// destruction, the border model and geometry, show state, activation and
// focus, painting, and the SDL window events.
#include <SDL.h>
#include <strings.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/detail.h"
#include "platform/test_api.h"
#include "platform/win_kernel.h"
#include "platform/win_user.h"

namespace {

// The border model.
constexpr LONG kCaptionHeight = 19;
constexpr LONG kThickFrame = 4;
constexpr LONG kDialogFrame = 3;
constexpr LONG kThinBorder = 1;
// A minimised top-level window stands as an icon far outside the desktop.
constexpr RECT kIconRect = {-32000, -32000, -32000 + 160, -32000 + 28};

constexpr uintptr_t kFirstHandle = 0x10000;
constexpr uintptr_t kHandleStep = 0x10;
constexpr ATOM kFirstAtom = 0xC000;

struct WindowClass {
  std::string name;
  ATOM atom;
  WNDPROC proc;
};

struct Window {
  std::thread::id thread;
  bool remote = false;  // a window of another process, found by FindWindowA
  plat::detail::RemoteWindow remoteInfo;
  WNDPROC proc = nullptr;
  std::string className;
  std::string title;
  DWORD style = 0;  // as set; WS_VISIBLE, WS_MINIMIZE and WS_MAXIMIZE are the state
  DWORD exStyle = 0;
  HWND parent = nullptr;  // a child's parent, a top-level window's owner
  RECT normal{};  // restored window rectangle: desktop coordinates, or the parent's client coordinates
  SDL_Window* sdl = nullptr;
  Uint32 sdlId = 0;
  bool dirty = false;  // has an update region (always the whole client area)
  bool tracking = false;  // TrackMouseEvent(TME_LEAVE) outstanding
  bool mouseInside = false;
  bool destroying = false;
  plat::detail::InstanceLock* lock = nullptr;
};

std::mutex g_mutex;
std::vector<WindowClass> g_classes;
uintptr_t g_nextHandle = kFirstHandle;
HWND g_foreground = nullptr;
bool g_appActive = false;
HWND g_focus = nullptr;
int g_assumeFocus = -1;  // -1: headless decides
bool g_videoThreadSet = false;
std::thread::id g_videoThread;
std::vector<plat::test::ShowWindowRecord> g_showCalls;

std::map<uintptr_t, Window>& windows() {
  static auto* w = new std::map<uintptr_t, Window>;  // lives for the process
  return *w;
}

uintptr_t keyOf(HWND h) { return reinterpret_cast<uintptr_t>(h); }
HWND handleOf(uintptr_t k) { return reinterpret_cast<HWND>(k); }

// A window of this process (not one found in another process).
Window* local(HWND h) {
  auto it = windows().find(keyOf(h));
  return it == windows().end() || it->second.remote ? nullptr : &it->second;
}

Window* localOrFail(HWND h) {
  Window* w = local(h);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

bool isChild(const Window& w) { return (w.style & WS_CHILD) != 0; }

struct Frame {
  LONG side;  // left, right and bottom
  LONG top;   // frame and caption
};

Frame frameOf(DWORD style) {
  LONG f = (style & WS_THICKFRAME) ? kThickFrame
           : (style & WS_DLGFRAME) ? kDialogFrame
           : (style & WS_BORDER)   ? kThinBorder
                                   : 0;
  LONG caption = (style & WS_CAPTION) == WS_CAPTION ? kCaptionHeight : 0;
  return {f, f + caption};
}

RECT clientOfWindowRect(const RECT& r, DWORD style) {
  Frame f = frameOf(style);
  RECT c{r.left + f.side, r.top + f.top, r.right - f.side, r.bottom - f.side};
  c.right = std::max(c.right, c.left);
  c.bottom = std::max(c.bottom, c.top);
  return c;
}

bool ensureVideo() {
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_videoThreadSet) {
    g_videoThreadSet = true;
    g_videoThread = std::this_thread::get_id();
  }
  return true;
}

RECT workArea() {
  SDL_Rect r;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDisplayUsableBounds(0, &r) == 0) return {r.x, r.y, r.x + r.w, r.y + r.h};
  return {0, 0, 1024, 768};
}

// The window rectangle in its own coordinates (the desktop's, or the parent's
// client area's for a child).
RECT windowRectOf(const Window& w) {
  if (isChild(w)) return w.normal;
  if (w.style & WS_MINIMIZE) return kIconRect;
  if (w.style & WS_MAXIMIZE) {
    RECT a = workArea();
    LONG f = frameOf(w.style).side;
    return {a.left - f, a.top - f, a.right + f, a.bottom + f};
  }
  return w.normal;
}

RECT clientRectOf(const Window& w) {
  RECT r = windowRectOf(w);
  if (!isChild(w) && (w.style & WS_MINIMIZE)) return {r.left, r.top, r.left, r.top};
  return clientOfWindowRect(r, w.style);
}

// The client area in client coordinates.
RECT clientAreaOf(const Window& w) {
  RECT c = clientRectOf(w);
  return {0, 0, c.right - c.left, c.bottom - c.top};
}

// Where a window's own coordinates start on the desktop.
POINT originOf(const Window& w) {
  if (!isChild(w)) return {0, 0};
  const Window* p = local(w.parent);
  if (!p) return {0, 0};
  POINT o = originOf(*p);
  RECT c = clientRectOf(*p);
  return {o.x + c.left, o.y + c.top};
}

POINT clientOriginOf(const Window& w) {
  POINT o = originOf(w);
  RECT c = clientRectOf(w);
  return {o.x + c.left, o.y + c.top};
}

void invalidate(Window& w) {
  RECT c = clientRectOf(w);
  w.dirty = (w.style & WS_VISIBLE) && c.right > c.left && c.bottom > c.top;
}

// Brings the SDL window in line with the window's style, state and rectangle.
void syncSdl(Window& w) {
  if (!w.sdl) return;
  SDL_SetWindowBordered(w.sdl, (w.style & WS_CAPTION) == WS_CAPTION ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(w.sdl, (w.style & WS_THICKFRAME) ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowAlwaysOnTop(w.sdl, (w.exStyle & WS_EX_TOPMOST) ? SDL_TRUE : SDL_FALSE);
  if (!(w.style & (WS_MINIMIZE | WS_MAXIMIZE))) {
    RECT c = clientRectOf(w);
    int x, y, cx, cy;
    SDL_GetWindowPosition(w.sdl, &x, &y);
    if (x != c.left || y != c.top) SDL_SetWindowPosition(w.sdl, c.left, c.top);
    SDL_GetWindowSize(w.sdl, &cx, &cy);
    int width = std::max<LONG>(1, c.right - c.left);
    int height = std::max<LONG>(1, c.bottom - c.top);
    if (cx != width || cy != height) SDL_SetWindowSize(w.sdl, width, height);
  }
  if (!(w.style & WS_VISIBLE)) {
    SDL_HideWindow(w.sdl);
    return;
  }
  SDL_ShowWindow(w.sdl);
  if (w.style & WS_MINIMIZE)
    SDL_MinimizeWindow(w.sdl);
  else if (w.style & WS_MAXIMIZE)
    SDL_MaximizeWindow(w.sdl);
  else
    SDL_RestoreWindow(w.sdl);
}

bool assumeFocusLocked() {
  if (g_assumeFocus < 0) return plat::test::headless();
  return g_assumeFocus != 0;
}

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
  notifyApp(false);
}

enum class Activation { None, Activate, Deactivate };
enum class ShowState { Keep, Normal, Minimized, Maximized };

// Changes visibility and state; returns whether the window was visible.
// Activation follows only while focus is assumed.
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

const WindowClass* findClass(LPCSTR name) {
  auto value = reinterpret_cast<uintptr_t>(name);
  for (const auto& c : g_classes) {
    if (value < 0x10000 ? c.atom == value : strcasecmp(c.name.c_str(), name) == 0) return &c;
  }
  return nullptr;
}

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

// Another process asked to raise the window: restored first when minimised.
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

void handleWindowEvent(const SDL_WindowEvent& e) {
  HWND h = nullptr;
  Activation act = Activation::None;
  bool post = false;
  UINT message = 0;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto& [k, w] : windows()) {
      if (w.remote || w.sdlId != e.windowID || !w.sdl) continue;
      h = handleOf(k);
      bool focusRule = assumeFocusLocked();
      bool normal = !(w.style & (WS_MINIMIZE | WS_MAXIMIZE));
      int sx, sy;
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
  if (post) PostMessageA(h, message, 0, 0);
  if (act == Activation::Activate) activate(h);
  if (act == Activation::Deactivate) deactivate(h);
}

}  // namespace

namespace plat::detail {

SDL_Window* sdlWindowOf(HWND window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = local(window);
  return w ? w->sdl : nullptr;
}

bool windowThread(HWND window, std::thread::id* owner) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = local(window);
  if (!w) return false;
  if (owner) *owner = w->thread;
  return true;
}

LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Window* w = local(window);
    if (!w) return 0;
    if (w->thread != std::this_thread::get_id()) {
      MSG m{window, message, wParam, lParam, SDL_GetTicks(), cursorPos()};
      postToThread(w->thread, m);
      return 0;
    }
    proc = w->proc;
  }
  return proc ? proc(window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

void pumpEvents() {
  thread_local bool busy = false;
  if (busy || !SDL_WasInit(SDL_INIT_VIDEO)) return;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_videoThreadSet || g_videoThread != std::this_thread::get_id()) return;
  }
  busy = true;
  SDL_PumpEvents();
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
    switch (e.type) {
      case SDL_WINDOWEVENT:
        handleWindowEvent(e.window);
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

ATOM RegisterClassExA(const WNDCLASSEXA* cls) {
  if (!cls || !cls->lpszClassName || !cls->lpfnWndProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  if (reinterpret_cast<uintptr_t>(cls->lpszClassName) < 0x10000 || findClass(cls->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  ATOM atom = static_cast<ATOM>(kFirstAtom + g_classes.size());
  g_classes.push_back({cls->lpszClassName, atom, cls->lpfnWndProc});
  return atom;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  const bool child = (style & WS_CHILD) != 0;
  WNDPROC proc;
  std::string name;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    const WindowClass* c = className ? findClass(className) : nullptr;
    if (!c) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    if ((parent && !local(parent)) || (child && !parent)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    proc = c->proc;
    name = c->name;
  }
  if (!child && !ensureVideo()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  RECT rect;
  if (child) {
    rect = {x, y, x + width, y + height};
  } else {
    RECT area = workArea();
    LONG left = x == CW_USEDEFAULT ? area.left : x;
    LONG top = x == CW_USEDEFAULT ? area.top : y;
    LONG cx = width == CW_USEDEFAULT ? (area.right - area.left) * 3 / 4 : width;
    LONG cy = width == CW_USEDEFAULT ? (area.bottom - area.top) * 3 / 4 : height;
    rect = {left, top, left + std::max<LONG>(0, cx), top + std::max<LONG>(0, cy)};
  }
  const char* title = windowName ? windowName : "";
  SDL_Window* sdl = nullptr;
  if (!child) {
    RECT c = clientOfWindowRect(rect, style);
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if ((style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if (exStyle & WS_EX_TOPMOST) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    sdl = SDL_CreateWindow(title, c.left, c.top, std::max<LONG>(1, c.right - c.left),
                           std::max<LONG>(1, c.bottom - c.top), flags);
    if (!sdl) {
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
  }
  HWND h;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    h = handleOf(g_nextHandle);
    g_nextHandle += kHandleStep;
    Window& w = windows()[keyOf(h)];
    w.thread = std::this_thread::get_id();
    w.proc = proc;
    w.className = name;
    w.title = title;
    w.style = style & ~WS_VISIBLE;
    w.exStyle = exStyle;
    w.parent = parent;
    w.normal = rect;
    w.sdl = sdl;
    w.sdlId = sdl ? SDL_GetWindowID(sdl) : 0;
  }
  if (!child) {
    plat::detail::InstanceLock* lock = plat::detail::instanceRegister(keyOf(h), name, title);
    std::lock_guard<std::mutex> guard(g_mutex);
    local(h)->lock = lock;
  }
  CREATESTRUCTA cs{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style), windowName, className,
                   exStyle};
  LPARAM csParam = reinterpret_cast<LPARAM>(&cs);
  if (!plat::detail::sendMessage(h, WM_NCCREATE, 0, csParam) ||
      plat::detail::sendMessage(h, WM_CREATE, 0, csParam) == -1) {
    DestroyWindow(h);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (style & WS_VISIBLE) applyShow(h, true, ShowState::Keep, child ? Activation::None : Activation::Activate);
  return h;
}

BOOL DestroyWindow(HWND window) {
  std::vector<HWND> dependents;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Window* w = localOrFail(window);
    if (!w) return FALSE;
    if (w->thread != std::this_thread::get_id()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;
    w->destroying = true;
    for (auto& [k, o] : windows())
      if (!o.remote && o.parent == window) dependents.push_back(handleOf(k));
  }
  for (HWND d : dependents) DestroyWindow(d);
  deactivate(window);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (Window* w = local(window); w && w->sdl) SDL_HideWindow(w->sdl);
  }
  plat::detail::sendMessage(window, WM_DESTROY, 0, 0);
  plat::detail::sendMessage(window, WM_NCDESTROY, 0, 0);
  SDL_Window* sdl = nullptr;
  plat::detail::InstanceLock* instance = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = windows().find(keyOf(window));
    sdl = it->second.sdl;
    instance = it->second.lock;
    windows().erase(it);
    if (g_focus == window) g_focus = nullptr;
  }
  if (sdl) SDL_DestroyWindow(sdl);
  plat::detail::instanceUnregister(instance);
  plat::detail::dropWindowMessages(window);
  return TRUE;
}

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

BOOL UpdateWindow(HWND window) {
  bool paint;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Window* w = localOrFail(window);
    if (!w) return FALSE;
    paint = w->dirty;
  }
  if (paint) plat::detail::sendMessage(window, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Window* w = localOrFail(window);
    if (!w) return FALSE;
    RECT& r = w->normal;
    if (!(flags & SWP_NOMOVE)) r = {x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
    if (!(flags & SWP_NOSIZE)) {
      r.right = r.left + std::max(0, width);
      r.bottom = r.top + std::max(0, height);
      invalidate(*w);
    }
    if (!(flags & SWP_NOZORDER)) {
      if (insertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
      if (insertAfter == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
    }
    if (flags & SWP_FRAMECHANGED) invalidate(*w);
    syncSdl(*w);
  }
  if (flags & SWP_HIDEWINDOW) applyShow(window, false, ShowState::Keep, Activation::Deactivate);
  if (flags & SWP_SHOWWINDOW)
    applyShow(window, true, ShowState::Keep, (flags & SWP_NOACTIVATE) ? Activation::None : Activation::Activate);
  return TRUE;
}

LONG GetWindowLongA(HWND window, int index) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = localOrFail(window);
  if (!w) return 0;
  if (index == GWL_STYLE) return static_cast<LONG>(w->style);
  if (index == GWL_EXSTYLE) return static_cast<LONG>(w->exStyle);
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = localOrFail(window);
  if (!w) return 0;
  DWORD* field = index == GWL_STYLE ? &w->style : index == GWL_EXSTYLE ? &w->exStyle : nullptr;
  if (!field) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DWORD old = *field;
  *field = static_cast<DWORD>(value);
  if (old != *field) {
    invalidate(*w);
    syncSdl(*w);
  }
  return static_cast<LONG>(old);
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = localOrFail(window);
  if (!w || !rect) return FALSE;
  RECT r = windowRectOf(*w);
  POINT o = originOf(*w);
  *rect = {r.left + o.x, r.top + o.y, r.right + o.x, r.bottom + o.y};
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = localOrFail(window);
  if (!w || !rect) return FALSE;
  *rect = clientAreaOf(*w);
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = localOrFail(window);
  if (!w || !point) return FALSE;
  POINT o = clientOriginOf(*w);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  std::lock_guard<std::mutex> lock(g_mutex);
  POINT a{0, 0}, b{0, 0};
  if (from) {
    Window* w = localOrFail(from);
    if (!w) return 0;
    a = clientOriginOf(*w);
  }
  if (to) {
    Window* w = localOrFail(to);
    if (!w) return 0;
    b = clientOriginOf(*w);
  }
  LONG dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  SetLastError(0);
  return MAKELONG(dx, dy);
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD) {
  if (!rect) return FALSE;
  Frame f = frameOf(style);
  rect->left -= f.side;
  rect->top -= f.top;
  rect->right += f.side;
  rect->bottom += f.side;
  return TRUE;
}

BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = localOrFail(window);
  if (!w || !placement) return FALSE;
  placement->length = sizeof(WINDOWPLACEMENT);
  placement->flags = 0;
  placement->showCmd = (w->style & WS_MINIMIZE)   ? SW_SHOWMINIMIZED
                       : (w->style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED
                                                  : SW_SHOWNORMAL;
  placement->ptMinPosition = {-1, -1};
  placement->ptMaxPosition = {-1, -1};
  placement->rcNormalPosition = w->normal;
  return TRUE;
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

HWND GetParent(HWND window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = localOrFail(window);
  if (!w) return nullptr;
  return (w->style & (WS_CHILD | WS_POPUP)) ? w->parent : nullptr;
}

HWND GetWindow(HWND window, UINT command) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = localOrFail(window);
  if (!w) return nullptr;
  return command == GW_OWNER && !isChild(*w) ? w->parent : nullptr;
}

BOOL SystemParametersInfoA(UINT action, UINT, PVOID data, UINT) {
  if (action != SPI_GETWORKAREA || !data || !ensureVideo()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *static_cast<RECT*>(data) = workArea();
  return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  // The system cursors (IDC_ARROW and its neighbours) are fixed handles.
  auto id = reinterpret_cast<uintptr_t>(name);
  if (instance == nullptr && id >= 32512 && id <= 32651) return reinterpret_cast<HCURSOR>(id);
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  std::string cls;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (className) {
      // An atom names a class of this process only.
      const WindowClass* c = findClass(className);
      if (reinterpret_cast<uintptr_t>(className) < 0x10000 && !c) return nullptr;
      cls = c ? c->name : className;
    }
    for (auto& [k, w] : windows()) {
      if (w.remote || isChild(w) || w.destroying) continue;
      if (className && strcasecmp(w.className.c_str(), cls.c_str()) != 0) continue;
      if (windowName && strcasecmp(w.title.c_str(), windowName) != 0) continue;
      return handleOf(k);
    }
  }
  plat::detail::RemoteWindow found;
  if (!plat::detail::instanceFind(className ? cls.c_str() : nullptr, windowName, &found)) return nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto& [k, w] : windows()) {
    if (w.remote && w.remoteInfo.pid == found.pid && w.remoteInfo.windowId == found.windowId &&
        w.remoteInfo.address == found.address)
      return handleOf(k);
  }
  HWND h = handleOf(g_nextHandle);
  g_nextHandle += kHandleStep;
  Window& w = windows()[keyOf(h)];
  w.remote = true;
  w.remoteInfo = found;
  return h;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = localOrFail(window);
  if (!w) return FALSE;
  if (rect) *rect = w->dirty ? clientAreaOf(*w) : RECT{0, 0, 0, 0};
  return w->dirty ? TRUE : FALSE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Window* w = localOrFail(window);
  if (!w || !paint) return nullptr;
  *paint = PAINTSTRUCT{};
  paint->hdc = reinterpret_cast<HDC>(window);
  if (w->dirty) paint->rcPaint = clientAreaOf(*w);
  w->dirty = false;
  return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
  if (!track) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool leaveNow = false;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Window* w = localOrFail(track->hwndTrack);
    if (!w) return FALSE;
    if (track->dwFlags & TME_LEAVE) {
      if (track->dwFlags & TME_CANCEL) {
        w->tracking = false;
      } else if (w->mouseInside) {
        w->tracking = true;
      } else {
        leaveNow = true;
      }
    }
  }
  if (leaveNow) PostMessageA(track->hwndTrack, WM_MOUSELEAVE, 0, 0);
  return TRUE;
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

void injectWindowEvent(HWND window, WindowEvent event) {
  static constexpr struct {
    WindowEvent event;
    SDL_WindowEventID sdl;
  } kEvents[] = {
      {WindowEvent::Close, SDL_WINDOWEVENT_CLOSE},
      {WindowEvent::Expose, SDL_WINDOWEVENT_EXPOSED},
      {WindowEvent::Minimized, SDL_WINDOWEVENT_MINIMIZED},
      {WindowEvent::Restored, SDL_WINDOWEVENT_RESTORED},
      {WindowEvent::FocusGained, SDL_WINDOWEVENT_FOCUS_GAINED},
      {WindowEvent::FocusLost, SDL_WINDOWEVENT_FOCUS_LOST},
  };
  SDL_WindowEvent e{};
  e.type = SDL_WINDOWEVENT;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    Window* w = local(window);
    if (!w || !w->sdl) return;
    e.windowID = w->sdlId;
  }
  for (const auto& k : kEvents)
    if (k.event == event) e.event = k.sdl;
  handleWindowEvent(e);
}

}  // namespace plat::test
