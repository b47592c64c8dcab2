// The window registry shared by the window layer's source files:
//   window.cpp           the registry, classes, creation and destruction,
//                        styles, painting and the lookups
//   window_geometry.cpp  the border model, rectangles, placement, and keeping
//                        the SDL window in line with them
//   window_focus.cpp     show state, activation, the foreground and focus
//   window_events.cpp    SDL's window events turned into state and messages
// Every window and global here is guarded by g_mutex; the functions marked
// "locked" expect the caller to hold it, the others take it themselves.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/detail.h"
#include "platform/win_kernel.h"
#include "platform/win_user.h"

namespace plat::wnd {

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

extern std::mutex g_mutex;
extern HWND g_foreground;
extern HWND g_focus;

// --- the registry (window.cpp); locked ---

std::map<uintptr_t, Window>& windows();
inline uintptr_t keyOf(HWND h) { return reinterpret_cast<uintptr_t>(h); }
inline HWND handleOf(uintptr_t k) { return reinterpret_cast<HWND>(k); }
// A window of this process (not one found in another process).
Window* local(HWND h);
// As local(); an unknown handle sets ERROR_INVALID_WINDOW_HANDLE.
Window* localOrFail(HWND h);
inline bool isChild(const Window& w) { return (w.style & WS_CHILD) != 0; }

// --- geometry (window_geometry.cpp); locked unless said otherwise ---

// The client rectangle inside a window rectangle of that style.
RECT clientOfWindowRect(const RECT& r, DWORD style);
// The primary display's usable area (not locked).
RECT workArea();
// The window rectangle in its own coordinates (the desktop's, or the parent's
// client area's for a child).
RECT windowRectOf(const Window& w);
// The client rectangle in the window's own coordinates.
RECT clientRectOf(const Window& w);
// The client area in client coordinates.
RECT clientAreaOf(const Window& w);
// Where a window's client area starts on the desktop.
POINT clientOriginOf(const Window& w);
// Gives a visible window with a client area an update region.
void invalidate(Window& w);
// Brings the SDL window in line with the window's style, state and rectangle.
void syncSdl(Window& w);

// --- show state and activation (window_focus.cpp) ---

enum class Activation { None, Activate, Deactivate };
enum class ShowState { Keep, Normal, Minimized, Maximized };

// Whether the layer plays the window manager's part in focus; locked.
bool assumeFocusLocked();
// The window becomes the foreground window (WM_ACTIVATEAPP 1 when the
// application was not active), or stops being it (WM_ACTIVATEAPP 0).
void activate(HWND h);
void deactivate(HWND h);
// Changes visibility and state; returns whether the window was visible.
// Activation follows only while focus is assumed.
BOOL applyShow(HWND h, bool visible, ShowState state, Activation act);
// Another process asked to raise the window: restored first when minimised.
void raiseLocal(HWND h);

// --- window events (window_events.cpp) ---

// Starts SDL's video on first use and remembers its thread (not locked).
bool ensureVideo();
// One SDL window event: the window's state follows it, messages are posted
// and activation changes (not locked).
void handleWindowEvent(const SDL_WindowEvent& e);
// Posts WM_CLOSE to each top-level window of the calling thread (locks);
// returns how many there were.
size_t closeTopLevelWindows();

}  // namespace plat::wnd
