// Internals shared between the platform layer's own source files.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/win_types.h"
#include "platform/win_user.h"

namespace plat::detail {

// Starts SDL's video (not locked); false when it cannot start.
bool initVideo();

// --- windows (window*.cpp, see window_registry.h) ---

// The SDL window behind a window handle, or null (a child window, a window of
// another process, or no window at all).
SDL_Window* sdlWindowOf(HWND window);

// The thread that owns a window of this process; false for an unknown handle.
bool windowThread(HWND window, std::thread::id* owner);

// Calls the window's procedure now when the calling thread owns the window;
// posts the message otherwise (result 0).
LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Turns the pending SDL events into window messages and input state, and
// serves requests of other processes to raise a window. Runs only on the
// thread that started SDL's video, and not inside itself.
void pumpEvents();

// A WM_PAINT for a window of the calling thread that has an update region
// and passes the PeekMessageA window filter.
bool nextPaintMessage(HWND filter, MSG* msg);

// The window an SDL window id belongs to (null: none).
HWND windowOfSdlId(Uint32 id);
// The SDL window id of the foreground window (0: none).
Uint32 foregroundSdlId();
// The desktop position of a window's client area origin.
bool clientOrigin(HWND window, POINT* origin);
// The cursor entered the window's client area (a WM_MOUSEMOVE is on its way).
void noteMouseInside(HWND window);
// The cursor moved on the desktop without a window system (test injection,
// SetCursorPos while headless): windows it left see SDL's leave event, the
// window under it a motion event.
void pointerMoved(POINT desktop);

// --- a window's picture on the display (window_picture.cpp) ---

// Whether a window surface holds a whole picture: one that SDL has just
// made (a new window, a new size) holds nothing until a present fills it.
bool holdsWholePicture(const SDL_Surface* surface);
void noteWholePicture(SDL_Window* window, SDL_Surface* surface);
// Sends rectangles of the window surface to the display.
void showRects(SDL_Window* window, SDL_Surface* surface, const SDL_Rect* rects, int count);
// The display asks for the window's picture (uncovered, mapped, restored):
// the whole picture the surface holds is sent again. Nothing for a window
// that has had none.
void showPictureAgain(SDL_Window* window);
// The display lost the window's picture (the test API's copy of the display
// follows; the real display needs nothing).
void pictureLost(SDL_Window* window);

// --- display (ddraw.cpp) ---

// The application lost the foreground: in exclusive full screen every
// surface is lost.
void displayDeactivated();

// --- input (input.cpp) ---

// Key, button and motion events: the key table, the cursor, and the messages
// WM_KEYDOWN/UP, WM_SYSKEYDOWN/UP and WM_MOUSEMOVE for their window.
void handleInputEvent(const SDL_Event& event);
// The cursor position as the layer knows it (desktop coordinates).
POINT cursorPos();
// A cursor move made by this layer (SetCursorPos while headless, tests).
void moveCursor(LONG x, LONG y);

// --- message queues (message_queue.cpp) ---

// Appends a message to a thread's queue (created on first use).
void postToThread(std::thread::id thread, const MSG& msg);
// Drops the queued messages of a window that is destroyed.
void dropWindowMessages(HWND window);

// --- signals that ask the program to end (quit_signals.cpp) ---

// From now on a termination, interrupt or hang-up signal asks the program to
// end (a signal the process ignores stays ignored), and a write to a pipe or
// socket whose reader is gone fails with EPIPE instead of ending it.
void catchQuitSignals();
// A request to end that the windows have not taken yet; they took it.
bool quitRequested();
void clearQuitRequest();
// The calling thread puts a box up: while it is up, the signals are caught,
// and a process the thread forks (the box's) ends with the program and is
// ended by a request. Returns the box's ticket.
int boxStarted();
// Whether a request came since the box was put up (or was waiting then).
bool boxCut(int ticket);
// The box is down; true when a request came while it was up.
bool boxEnded(int ticket);

// --- the test API's input script (input_script.cpp) ---

// One main-loop pass of the window (its queue found empty): runs the script's
// steps that are due. True when a step ran.
bool runScriptPass(HWND window);

// --- single instance (instance.cpp) ---

struct InstanceLock;
// Takes the advisory lock file of a new top-level window; null when the
// runtime directory cannot be used (the window is then not found by others).
InstanceLock* instanceRegister(uint64_t windowId, const std::string& className, const std::string& title);
void instanceUnregister(InstanceLock* lock);

struct RemoteWindow {
  long pid = 0;
  uint64_t windowId = 0;
  std::string address;  // the owning process's request socket
};
// A window of that class and title (without case; null matches any) whose
// lock file is held by the live process that made it, another than this one.
// Stale lock files are removed on the way.
bool instanceFind(const char* className, const char* title, RemoteWindow* found);
// Asks the owning process to restore and raise the window.
bool instanceRaise(const RemoteWindow& window);
// The windows of this process that others asked to raise since the last call.
std::vector<uint64_t> instanceTakeRaiseRequests();

}  // namespace plat::detail
