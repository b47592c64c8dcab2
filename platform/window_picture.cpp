// A window's picture on the display. The picture is the SDL window surface:
// presents write into it and send the rectangles they changed to the
// display, and between presents it keeps the whole picture. A display that
// has lost a window's picture (the window was uncovered, mapped or
// restored: a display without backing store then shows nothing, or the
// ghost of what lay over it) is given the kept picture again, whole,
// whether or not the application is drawing, as the desktop the programs
// were written for repaints a window from the picture it keeps.
//
// The test API's copy of the display lives here too: what the layer sent to
// each window's display, since the display last lost its picture.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/detail.h"
#include "platform/test_api.h"

namespace plat::detail {
namespace {

// The userdata of a window surface that holds a whole picture.
char g_whole;
// The window data naming a window that has had a picture: asking for its
// surface then makes none that was not there.
constexpr const char* kPictured = "talvo.pictured";

// The test API's copy of the display, by SDL window id.
std::atomic<bool> g_keepScreen{false};
std::mutex g_screenMutex;

std::map<Uint32, plat::test::PelImage>& screens() {
  static auto* s = new std::map<Uint32, plat::test::PelImage>;  // lives for the process
  return *s;
}

void copyToScreen(SDL_Window* sdl, SDL_Surface* ws, const SDL_Rect* rects, int count) {
  if (SDL_MUSTLOCK(ws) && SDL_LockSurface(ws) != 0) return;
  const int bpp = ws->format->BytesPerPixel;
  std::lock_guard<std::mutex> lock(g_screenMutex);
  plat::test::PelImage& screen = screens()[SDL_GetWindowID(sdl)];
  if (screen.width != ws->w || screen.height != ws->h || screen.sdlFormat != ws->format->format) {
    screen = {ws->w, ws->h, ws->format->BitsPerPixel, ws->format->format, {}};
    screen.pels.assign(size_t(ws->w) * ws->h * bpp, 0);
  }
  for (int i = 0; i < count; ++i) {
    SDL_Rect r;
    const SDL_Rect all{0, 0, ws->w, ws->h};
    if (!SDL_IntersectRect(&rects[i], &all, &r)) continue;
    for (int y = r.y; y < r.y + r.h; ++y)
      std::memcpy(&screen.pels[(size_t(y) * ws->w + r.x) * bpp],
                  static_cast<const uint8_t*>(ws->pixels) + y * ws->pitch + r.x * bpp, size_t(r.w) * bpp);
  }
  if (SDL_MUSTLOCK(ws)) SDL_UnlockSurface(ws);
}

}  // namespace

bool holdsWholePicture(const SDL_Surface* ws) { return ws->userdata == &g_whole; }

void noteWholePicture(SDL_Window* sdl, SDL_Surface* ws) {
  ws->userdata = &g_whole;
  SDL_SetWindowData(sdl, kPictured, &g_whole);
}

void showRects(SDL_Window* sdl, SDL_Surface* ws, const SDL_Rect* rects, int count) {
  if (g_keepScreen.load(std::memory_order_relaxed)) copyToScreen(sdl, ws, rects, count);
  SDL_UpdateWindowSurfaceRects(sdl, rects, count);
}

void showPictureAgain(SDL_Window* sdl) {
  if (!SDL_GetWindowData(sdl, kPictured)) return;
  SDL_Surface* ws = SDL_GetWindowSurface(sdl);
  // A surface SDL has made anew (a new size) holds no picture yet.
  if (!ws || !holdsWholePicture(ws)) return;
  const SDL_Rect all{0, 0, ws->w, ws->h};
  showRects(sdl, ws, &all, 1);
}

void pictureLost(SDL_Window* sdl) {
  if (!g_keepScreen.load()) return;
  std::lock_guard<std::mutex> lock(g_screenMutex);
  auto it = screens().find(SDL_GetWindowID(sdl));
  if (it != screens().end()) std::fill(it->second.pels.begin(), it->second.pels.end(), uint8_t{0});
}

}  // namespace plat::detail

namespace plat::test {

void keepScreen(bool on) {
  std::lock_guard<std::mutex> lock(plat::detail::g_screenMutex);
  plat::detail::screens().clear();
  plat::detail::g_keepScreen = on;
}

PelImage readWindowScreen(HWND window) {
  SDL_Window* sdl = plat::detail::sdlWindowOf(window);
  if (!sdl) return {};
  std::lock_guard<std::mutex> lock(plat::detail::g_screenMutex);
  auto it = plat::detail::screens().find(SDL_GetWindowID(sdl));
  return it == plat::detail::screens().end() ? PelImage{} : it->second;
}

}  // namespace plat::test
