// Internals shared between the platform layer's own source files.
#pragma once

#include <SDL.h>

#include "platform/win_types.h"
#include "platform/win_user.h"

namespace plat::detail {

// The SDL window behind a window handle, or null (no window layer yet, or a
// handle that is not a window of this process).
SDL_Window* sdlWindowOf(HWND window);

// The window of this thread that GetActiveWindow reports (null: none).
void setActiveWindow(HWND window);

}  // namespace plat::detail

#include <thread>

namespace plat::detail {

// The thread that owns a window of this process; false for an unknown handle.
bool windowThread(HWND window, std::thread::id* owner);

// Appends a message to a thread's queue (created on first use).
void postToThread(std::thread::id thread, const MSG& msg);

}  // namespace plat::detail
