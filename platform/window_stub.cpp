// Window handles of this process. The window layer maps them to SDL windows.
#include "platform/detail.h"

namespace plat::detail {

SDL_Window* sdlWindowOf(HWND) { return nullptr; }

}  // namespace plat::detail

namespace plat::detail {

bool windowThread(HWND, std::thread::id*) { return false; }

}  // namespace plat::detail
