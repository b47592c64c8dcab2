// Window geometry: the border model, the window and client rectangles of the
// normal, minimised and maximised states, child windows inside their parent's
// client area, and the SDL window kept in line with all of it.
#include <SDL.h>

#include <algorithm>

#include "platform/window_registry.h"

namespace plat::wnd {
namespace {

// The border model.
constexpr LONG kCaptionHeight = 19;
constexpr LONG kThickFrame = 4;
constexpr LONG kDialogFrame = 3;
constexpr LONG kThinBorder = 1;
// A minimised top-level window stands as an icon far outside the desktop.
constexpr RECT kIconRect = {-32000, -32000, -32000 + 160, -32000 + 28};

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

// Where a window's own coordinates start on the desktop.
POINT originOf(const Window& w) {
  if (!isChild(w)) return {0, 0};
  const Window* p = local(w.parent);
  if (!p) return {0, 0};
  POINT o = originOf(*p);
  RECT c = clientRectOf(*p);
  return {o.x + c.left, o.y + c.top};
}

}  // namespace

RECT clientOfWindowRect(const RECT& r, DWORD style) {
  Frame f = frameOf(style);
  RECT c{r.left + f.side, r.top + f.top, r.right - f.side, r.bottom - f.side};
  c.right = std::max(c.right, c.left);
  c.bottom = std::max(c.bottom, c.top);
  return c;
}

RECT workArea() {
  SDL_Rect r;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDisplayUsableBounds(0, &r) == 0) return {r.x, r.y, r.x + r.w, r.y + r.h};
  return {0, 0, 1024, 768};
}

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

RECT clientAreaOf(const Window& w) {
  RECT c = clientRectOf(w);
  return {0, 0, c.right - c.left, c.bottom - c.top};
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

}  // namespace plat::wnd

using namespace plat::wnd;

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

BOOL SystemParametersInfoA(UINT action, UINT, PVOID data, UINT) {
  if (action != SPI_GETWORKAREA || !data || !ensureVideo()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *static_cast<RECT*>(data) = workArea();
  return TRUE;
}

