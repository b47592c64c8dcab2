// The application's main window: its class and creation, centring, the
// window procedure, the Alt+Enter switch and run-time mode changes.
#include <algorithm>

#include "engine/app/app.h"
#include "engine/app/game_hooks.h"
#include "engine/gfx.h"
#include "engine/gfx_dirty.h"

namespace {

constexpr DWORD kGameStyle = 0x90CA0000u;  // WS_POPUP, WS_VISIBLE, WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX
constexpr UINT kStorePositionFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOOWNERZORDER;  // 0x020D
constexpr DWORD kMouseHoverTime = 400;

// A TrackMouseEvent request for WM_MOUSELEAVE is outstanding.
bool g_mouseTracked = false;

bool exclusiveFullScreen() { return gfxDevice && (gfxDevice->flags & gfx_MODE_FULLSCREEN); }

void hideCursor() {
  while (ShowCursor(FALSE) >= 0) {
  }
}

void showCursor() {
  while (ShowCursor(TRUE) < 0) {
  }
}

}  // namespace

LRESULT gaWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!gaApp) return DefWindowProcA(window, message, wParam, lParam);
  return gaApp->WndProc(window, message, wParam, lParam);
}

void gaCTy::CreateMainWindow(int showCommand) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = gaWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kGaWindowClass;
  if (!RegisterClassExA(&wc)) {
    errPrintf(ERR_LEVEL_ERROR, "Can't register window class");
    return;
  }
  const bool gfx = cfg->GetInt("USE_GFX") != 0;
  const bool fullScreen = cfg->GetInt("FULL_SCREEN") != 0;
  const bool noCaption = cfg->GetInt("WINDOW_NO_CAPTION") != 0;
  DWORD exStyle = 0, style = WS_OVERLAPPEDWINDOW;
  int x = CW_USEDEFAULT, y = 0, w = CW_USEDEFAULT, h = 0;
  if (gfx) {
    exStyle = fullScreen ? WS_EX_TOPMOST : WS_EX_APPWINDOW;
    style = fullScreen || noCaption ? WS_POPUP : kGameStyle;
    x = y = 0;
    w = cfg->GetInt("SCR_LX");
    h = cfg->GetInt("SCR_LY");
  }
  window = CreateWindowExA(exStyle, kGaWindowClass, cfg->GetStr("WND_NAME"), style, x, y, w, h, nullptr, nullptr,
                           instance, nullptr);
  if (!window) {
    errPrintf(ERR_LEVEL_ERROR, "Can't create window");
    return;
  }
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  if (cfg->GetInt("WINDOW_STORE_POSITION"))
    SetWindowPos(window, nullptr, cfg->GetInt("WINDOW_X"), cfg->GetInt("WINDOW_Y"), 0, 0, kStorePositionFlags);
  else if (!noCaption)
    CenterWindow(nullptr, window);
  if (cfg->GetInt("AUTO_FOCUS")) SetFocus(window);
  InitGraphics();
  if (gfx && exclusiveFullScreen()) hideCursor();
}

void CenterWindow(HWND owner, HWND window) {
  const DWORD style = DWORD(GetWindowLongA(window, GWL_STYLE));
  const bool child = (style & WS_CHILD) != 0;
  if (!owner) owner = child ? GetParent(window) : GetWindow(window, GW_OWNER);
  RECT r{0, 0, 0, 0}, area{0, 0, 0, 0}, centre{0, 0, 0, 0};
  GetWindowRect(window, &r);
  if (child) {
    HWND parent = GetParent(window);
    GetClientRect(parent, &area);
    GetClientRect(owner, &centre);
    MapWindowPoints(owner, parent, reinterpret_cast<POINT*>(&centre), 2);
  } else {
    if (owner) {
      const DWORD ownerStyle = DWORD(GetWindowLongA(owner, GWL_STYLE));
      if (!(ownerStyle & WS_VISIBLE) || (ownerStyle & WS_MINIMIZE)) owner = nullptr;
    }
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    if (owner) GetWindowRect(owner, &centre);
    else centre = area;
  }
  const LONG w = r.right - r.left, h = r.bottom - r.top;
  LONG left = (centre.left + centre.right) / 2 - w / 2;
  LONG top = (centre.top + centre.bottom) / 2 - h / 2;
  if (left < area.left) left = area.left;
  else if (left + w > area.right) left = area.right - w;
  if (top < area.top) top = area.top;
  else if (top + h > area.bottom) top = area.bottom - h;
  SetWindowPos(window, nullptr, left, top, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT gaCTy::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (gameOnMessage(hwnd, message, wParam, lParam) > 0) return DefWindowProcA(hwnd, message, wParam, lParam);
  auto shown = [&] { return active && !IsIconic(hwnd) && GetForegroundWindow() == hwnd; };
  switch (message) {
    case WM_PAINT: {
      RECT r;
      if (GetUpdateRect(hwnd, &r, FALSE)) {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        if (gfxDirectDraw && gfxDirty.area) {
          gfxDirtyTouchRect(r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1);
          if (shown()) gfxDirtyUpdate();
        }
      }
      break;
    }
    case WM_CLOSE:
      quit = 1;
      ShowWindow(hwnd, SW_HIDE);
      PostQuitMessage(0);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_ACTIVATEAPP:
      active = int(wParam);
      if (!wParam) {
        if (!exclusiveFullScreen()) showCursor();
        g_mouseTracked = false;
      } else if (gfxDirty.area) {
        gfxDirtyTouchRect(0, 0, cfg->GetInt("SCR_LX"), cfg->GetInt("SCR_LY"));
      }
      gameOnActivate();
      break;
    case WM_SYSKEYUP:
      if (wParam == VK_RETURN && cfg->GetInt("ENABLE_ALT_ENTER")) SwitchFullScreen();
      return 0;
    case WM_MOUSEMOVE:
      if (!g_mouseTracked && active) {
        if (!exclusiveFullScreen()) hideCursor();
        g_mouseTracked = true;
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, kMouseHoverTime};
        TrackMouseEvent(&track);
      }
      break;
    case WM_MOUSELEAVE:
      if (active) {
        if (!exclusiveFullScreen()) showCursor();
        g_mouseTracked = false;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void gaCTy::SwitchFullScreen() {
  const int keep = (cfg->GetInt("USE_VID_MEM") ? gfx_MODE_VIDMEM : 0) | (cfg->GetInt("NEED_FLIP") ? gfx_MODE_FLIP : 0);
  const bool gfx = cfg->GetInt("USE_GFX") != 0;
  const int w = cfg->GetInt("SCR_LX"), h = cfg->GetInt("SCR_LY"), bits = cfg->GetInt("SCR_BPP");
  if (cfg->GetInt("FULL_SCREEN")) {
    SetWindowLongA(window, GWL_STYLE, LONG(cfg->GetInt("WINDOW_NO_CAPTION") ? WS_POPUP : kGameStyle));
    SetWindowLongA(window, GWL_EXSTYLE, LONG(WS_EX_APPWINDOW));
    if (gfx) gfxSetMode(keep, w, h, bits);
    cfg->UpdateInt("FULL_SCREEN", 0);
  } else {
    hideCursor();
    if (gfx) gfxSetMode(gfx_MODE_FULLSCREEN | keep, w, h, bits);
    cfg->UpdateInt("FULL_SCREEN", 1);
    ShowWindow(window, SW_SHOW);
  }
}

void gaCTy::SetMode(int width, int height, int bits) {
  const int flags = (cfg->GetInt("FULL_SCREEN") ? gfx_MODE_FULLSCREEN : 0) |
                    (cfg->GetInt("USE_VID_MEM") ? gfx_MODE_VIDMEM : 0) |
                    (cfg->GetInt("NEED_FLIP") ? gfx_MODE_FLIP : 0) |
                    (cfg->GetInt("FULL_SCREEN_CLIPPER") ? gfx_MODE_CLIPPER : 0);
  if (bits == 0) bits = cfg->GetInt("SCR_BPP");
  if (width == gfxState.screenWidth && height == gfxState.screenHeight && bits == gfxState.screenBits) return;
  if (cfg->GetInt("USE_GFX")) gfxSetMode(flags, width, height, bits);
  gfxDirtyInit();
  ShowCursor(FALSE);
  if (!cfg->GetInt("WINDOW_NO_CAPTION")) CenterWindow(nullptr, window);
}
