// USER32 windows, messages and input of the engine, over SDL2.
//
// Every top-level window is an SDL window placed at the window's client area.
// The frame around the client area follows one border model shared by
// AdjustWindowRectEx, GetWindowRect, GetClientRect and ClientToScreen, so a
// window sized by AdjustWindowRectEx arithmetic gets exactly the client size
// asked for. Without a focusing window manager (SDL's dummy driver) the layer
// assumes focus: a shown window becomes the foreground window and its
// application receives WM_ACTIVATEAPP 1 (see plat::test::setAssumeFocus).
#pragma once

#include "platform/win_types.h"

using ATOM = WORD;
using PVOID = void*;
#define CALLBACK
#define WINAPI
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define MAKELONG(lo, hi) \
  (static_cast<LONG>(static_cast<DWORD>(static_cast<WORD>(lo)) | (static_cast<DWORD>(static_cast<WORD>(hi)) << 16)))
#define MAKELPARAM(lo, hi) (static_cast<LPARAM>(MAKELONG(lo, hi)))
#define LOWORD(v) (static_cast<WORD>(static_cast<ULONG_PTR>(v) & 0xFFFF))
#define HIWORD(v) (static_cast<WORD>((static_cast<ULONG_PTR>(v) >> 16) & 0xFFFF))

// Last-error values of the window layer (errno values, as elsewhere).
#define ERROR_INVALID_WINDOW_HANDLE 9   /* EBADF */
#define ERROR_CLASS_ALREADY_EXISTS 17   /* EEXIST */
#define ERROR_CANNOT_FIND_WND_CLASS 19  /* ENODEV */

// Window styles.
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_MAXIMIZE 0x01000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_OVERLAPPEDWINDOW 0x00CF0000u
#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_APPWINDOW 0x00040000u

#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u

#define CW_USEDEFAULT (static_cast<int>(0x80000000u))

#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GW_OWNER 4

#define SW_FORCEMINIMIZE 11

#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_FRAMECHANGED 0x0020u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define SWP_NOOWNERZORDER 0x0200u
#define HWND_TOP (reinterpret_cast<HWND>(static_cast<intptr_t>(0)))
#define HWND_BOTTOM (reinterpret_cast<HWND>(static_cast<intptr_t>(1)))
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-2)))

#define SPI_GETWORKAREA 0x0030u

#define IDC_ARROW MAKEINTRESOURCEA(32512)

// Messages.
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_ERASEBKGND 0x0014
#define WM_ACTIVATEAPP 0x001C
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_COMMAND 0x0111
#define WM_MOUSEMOVE 0x0200
#define WM_MOUSELEAVE 0x02A3

// WM_MOUSEMOVE wParam bits.
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

// Virtual keys: letters and digits are their upper-case ASCII codes.
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_MBUTTON 0x04
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_F1 0x70
#define VK_F2 0x71
#define VK_F3 0x72
#define VK_F4 0x73
#define VK_F5 0x74
#define VK_F6 0x75
#define VK_F7 0x76
#define VK_F8 0x77
#define VK_F9 0x78
#define VK_F10 0x79
#define VK_F11 0x7A
#define VK_F12 0x7B
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5

#define TME_HOVER 0x00000001u
#define TME_LEAVE 0x00000002u
#define TME_CANCEL 0x80000000u

struct WNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
  HICON hIconSm;
};

// lParam of WM_NCCREATE and WM_CREATE.
struct CREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
};

struct WINDOWPLACEMENT {
  UINT length;
  UINT flags;
  UINT showCmd;
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};

struct TRACKMOUSEEVENT {
  DWORD cbSize;
  DWORD dwFlags;
  HWND hwndTrack;
  DWORD dwHoverTime;
};

// Classes and windows. Class names compare without case. A window belongs to
// the thread that created it; its procedure runs on that thread.
ATOM RegisterClassExA(const WNDCLASSEXA* cls);
// Sends WM_NCCREATE and WM_CREATE (a -1 result fails the creation); with
// WS_VISIBLE the window is then shown as by ShowWindow(SW_SHOW). A WS_CHILD
// window lives inside its parent's client area and has no SDL window.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Destroys owned and child windows first; sends WM_DESTROY and WM_NCDESTROY;
// the window's queued messages are dropped.
BOOL DestroyWindow(HWND window);
// Sends WM_PAINT at once when the window has an update region.
BOOL UpdateWindow(HWND window);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
// GWL_STYLE and GWL_EXSTYLE, kept exactly as set; the WS_VISIBLE,
// WS_MINIMIZE and WS_MAXIMIZE bits follow the window's state, and setting
// them changes it.
LONG GetWindowLongA(HWND window, int index);
LONG SetWindowLongA(HWND window, int index, LONG value);
// A minimised window's rectangle is the icon's, at (-32000, -32000); its
// client rectangle is empty. GetWindowPlacement gives the normal position.
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
// Maps points from one window's client coordinates to another's (null: the
// desktop); returns the offset, x in the low word and y in the high word.
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
// Grows a client rectangle to the window rectangle of the border model:
// a caption (WS_CAPTION) is 19 pels high; the frame is 4 pels with
// WS_THICKFRAME, else 3 with WS_DLGFRAME, else 1 with WS_BORDER. There are no
// menu bars.
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement);
BOOL IsIconic(HWND window);
HWND GetForegroundWindow();
// For a window of another process (from FindWindowA) asks that process to
// restore and raise it.
BOOL SetForegroundWindow(HWND window);
HWND SetFocus(HWND window);
HWND GetParent(HWND window);
HWND GetWindow(HWND window, UINT command);
// SPI_GETWORKAREA: the primary display's usable area.
BOOL SystemParametersInfoA(UINT action, UINT param, PVOID data, UINT winIni);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
// A top-level window of that class and title (each compared without case;
// null matches any) of this process, or of another process of this user that
// holds one: every top-level window keeps an advisory lock file, holding its
// process id, in the user's runtime directory while it exists.
HWND FindWindowA(LPCSTR className, LPCSTR windowName);

// Messages. PeekMessageA (win_user.h) also turns the SDL events of the
// calling thread's windows into messages: WM_CLOSE, WM_ACTIVATEAPP,
// WM_KEYDOWN/WM_KEYUP (WM_SYSKEYDOWN/WM_SYSKEYUP while Alt is held or for
// F10; wParam the virtual key, generic for Shift, Control and Alt),
// WM_MOUSEMOVE and WM_MOUSELEAVE; when nothing else is queued, a window with
// an update region gives WM_PAINT.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
// WM_NCCREATE: TRUE; WM_CLOSE: DestroyWindow; WM_PAINT: validates;
// WM_ERASEBKGND: 1; else 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// TME_LEAVE: one WM_MOUSELEAVE when the cursor leaves the client area (at
// once when it is outside already); TME_CANCEL withdraws the request.
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);

// Input. The layer keeps the state of the 256 virtual keys from the events it
// translates: bit 15 is set while a key is down, bit 0 when it went down since
// the last GetAsyncKeyState call for it (a click between two polls is not
// lost). The generic Shift, Control and Alt codes are down while either side
// is.
SHORT GetAsyncKeyState(int virtualKey);
// Desktop coordinates.
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
