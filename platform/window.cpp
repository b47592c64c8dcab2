// Windows of this process over SDL windows: the registry of windows and
// classes, creation and destruction, styles, painting, mouse tracking and
// finding windows (of this process or another). Geometry, show state and
// focus, and the SDL window events have files of their own (see
// window_registry.h).
#include <SDL.h>
#include <strings.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/detail.h"
#include "platform/win_kernel.h"
#include "platform/win_user.h"
#include "platform/window_registry.h"

namespace plat::wnd {

std::mutex g_mutex;

namespace {

constexpr uintptr_t kFirstHandle = 0x10000;
constexpr uintptr_t kHandleStep = 0x10;
constexpr ATOM kFirstAtom = 0xC000;

std::vector<WindowClass> g_classes;
uintptr_t g_nextHandle = kFirstHandle;

const WindowClass* findClass(LPCSTR name) {
  auto value = reinterpret_cast<uintptr_t>(name);
  for (const auto& c : g_classes) {
    if (value < 0x10000 ? c.atom == value : strcasecmp(c.name.c_str(), name) == 0) return &c;
  }
  return nullptr;
}

}  // namespace

std::map<uintptr_t, Window>& windows() {
  static auto* w = new std::map<uintptr_t, Window>;  // lives for the process
  return *w;
}

Window* local(HWND h) {
  auto it = windows().find(keyOf(h));
  return it == windows().end() || it->second.remote ? nullptr : &it->second;
}

Window* localOrFail(HWND h) {
  Window* w = local(h);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

}  // namespace plat::wnd

using namespace plat::wnd;

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

