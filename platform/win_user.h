// USER32 services of the engine: message boxes, the cursor, the message queue.
// Implemented over SDL2; without a usable display (SDL's dummy driver, tests)
// they answer as the platform test API scripts them.
#pragma once

#include "platform/win_types.h"

// MessageBoxA styles and results.
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_CANCELTRYCONTINUE 0x00000006u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFMASK 0x00000F00u
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_MODEMASK 0x00003000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDTRYAGAIN 10
#define IDCONTINUE 11

// Shown with SDL's message box (see platform/box_layout.h). A box closed
// without a button answers IDCANCEL where it has Cancel, IDOK for an OK box,
// IDIGNORE for Abort/Retry/Ignore and IDNO for Yes/No; 0 when no box can be
// shown.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// The cursor display counter: starts at 0, the cursor shows while it is 0 or
// more; returns the new count.
int ShowCursor(BOOL show);

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10
// Returns non-zero when the window was visible before the call.
BOOL ShowWindow(HWND window, int command);

HWND GetActiveWindow();
HWND GetLastActivePopup(HWND window);

// Messages.
#define WM_NULL 0x0000
#define WM_QUIT 0x0012
#define WM_USER 0x0400

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// Takes the first message of the calling thread's queue that passes the
// filter: window null = every message of the thread, (HWND)-1 = messages
// posted to the thread only, else that window's messages; min = max = 0 means
// every message number. Returns non-zero when one was found.
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg);
// Posts to the queue of the thread that owns the window (null: the calling
// thread). Safe from any thread.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Posts WM_QUIT with the exit code to the calling thread's queue.
void PostQuitMessage(int exitCode);

// Windows, window messages and keyboard and mouse input.
#include "platform/win_window.h"
