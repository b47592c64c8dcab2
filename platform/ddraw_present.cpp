// Showing the primary surface: its pels go into the window's SDL surface
// (SDL_GetWindowSurface), which keeps the window's picture, and the changed
// rectangle goes out to the display (window_picture.cpp). In window
// mode the primary is the desktop, so a rectangle lands at its place less the
// client area's origin; in exclusive full screen the mode's screen is scaled
// to fit the window (1:1 when the sizes agree). A window surface SDL has just
// made (a new window, a new size) holds nothing yet: its first present
// copies the window's whole part of the primary, so that presenting only
// what changed afterwards keeps the window whole.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/ddraw_impl.h"
#include "platform/detail.h"
#include "platform/test_api.h"
#include "platform/win_user.h"

namespace plat::dd {
namespace {

// Converts w x h pels of the format into rows of SDL's format `to`.
void convertRows(Format f, const uint8_t* src, LONG srcPitch, uint32_t to, uint8_t* dst, int dstPitch, int w, int h) {
  if (to == SDL_PIXELFORMAT_RGB888 && f == Format::R5G6B5) {
    for (int y = 0; y < h; ++y)
      rowR5G6B5ToXrgb(reinterpret_cast<const uint16_t*>(src + LONG(y) * srcPitch),
                      reinterpret_cast<uint32_t*>(dst + y * dstPitch), w);
  } else if (to == SDL_PIXELFORMAT_RGB888 && f == Format::X8R8G8B8) {
    for (int y = 0; y < h; ++y) std::memcpy(dst + y * dstPitch, src + LONG(y) * srcPitch, size_t(w) * 4);
  } else if (f == Format::P8) {
    // Indices are shown as grey levels.
    std::vector<uint32_t> row(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
      const uint8_t* s = src + LONG(y) * srcPitch;
      for (int x = 0; x < w; ++x) row[x] = 0xFF000000u | (uint32_t(s[x]) * 0x010101u);
      SDL_ConvertPixels(w, 1, SDL_PIXELFORMAT_ARGB8888, row.data(), w * 4, to, dst + y * dstPitch, dstPitch);
    }
  } else {
    SDL_ConvertPixels(w, h, formatInfo(f).sdl, src, srcPitch, to, dst, dstPitch);
  }
}

// The whole screen scaled (nearest pel) into a window surface of another
// size, centred, the rest black.
void presentScaled(Surface& s, SDL_Surface* ws) {
  const int sw = s.width(), sh = s.height();
  std::vector<uint8_t> frame(size_t(sw) * sh * 4);
  convertRows(s.format(), s.pels(), s.pitch(), ws->format->format, frame.data(), sw * 4, sw, sh);
  const int bpp = ws->format->BytesPerPixel;
  const double scale = std::min(double(ws->w) / sw, double(ws->h) / sh);
  const int w = std::max(1, int(sw * scale)), h = std::max(1, int(sh * scale));
  const int ox = (ws->w - w) / 2, oy = (ws->h - h) / 2;
  SDL_FillRect(ws, nullptr, 0);
  auto* dst = static_cast<uint8_t*>(ws->pixels);
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = frame.data() + size_t(std::min(sh - 1, y * sh / h)) * sw * 4;
    uint8_t* out = dst + (oy + y) * ws->pitch + ox * bpp;
    for (int x = 0; x < w; ++x) std::memcpy(out + x * bpp, row + std::min(sw - 1, x * sw / w) * 4, size_t(bpp));
  }
}

}  // namespace

void present(Surface& s, HWND window, const RECT& r) {
  SDL_Window* sdl = plat::detail::sdlWindowOf(window);
  if (!sdl) return;
  bool fullScreen;
  {
    std::lock_guard<std::recursive_mutex> hold(displayMutex());
    fullScreen = currentModeLocked().exclusive;
  }
  SDL_Surface* ws = SDL_GetWindowSurface(sdl);
  if (!ws || (SDL_MUSTLOCK(ws) && SDL_LockSurface(ws) != 0)) return;
  SDL_Rect shown{0, 0, 0, 0};
  POINT origin{0, 0};
  RECT area{0, 0, ws->w, ws->h};
  if (!fullScreen) {
    RECT client;
    if (!plat::detail::clientOrigin(window, &origin) || !GetClientRect(window, &client)) client = {0, 0, 0, 0};
    area.right = std::min(area.right, client.right);
    area.bottom = std::min(area.bottom, client.bottom);
  }
  const bool fresh = !plat::detail::holdsWholePicture(ws);
  if (fresh) plat::detail::noteWholePicture(sdl, ws);
  if (fullScreen && (ws->w != s.width() || ws->h != s.height())) {
    presentScaled(s, ws);
    shown = {0, 0, ws->w, ws->h};
  } else {
    // The rectangle in window coordinates, inside the surface and the window.
    const RECT want = fresh ? RECT{origin.x, origin.y, origin.x + area.right, origin.y + area.bottom} : r;
    LONG left = std::max(want.left - origin.x, area.left), top = std::max(want.top - origin.y, area.top);
    LONG right = std::min(want.right - origin.x, area.right), bottom = std::min(want.bottom - origin.y, area.bottom);
    left = std::max(left, 0 - origin.x);
    top = std::max(top, 0 - origin.y);
    right = std::min(right, s.width() - origin.x);
    bottom = std::min(bottom, s.height() - origin.y);
    if (right > left && bottom > top) {
      auto* dst = static_cast<uint8_t*>(ws->pixels) + top * ws->pitch + left * ws->format->BytesPerPixel;
      convertRows(s.format(), s.pelAt(left + origin.x, top + origin.y), s.pitch(), ws->format->format, dst,
                  ws->pitch, right - left, bottom - top);
      shown = {left, top, right - left, bottom - top};
    }
  }
  if (SDL_MUSTLOCK(ws)) SDL_UnlockSurface(ws);
  if (shown.w > 0 && shown.h > 0) plat::detail::showRects(sdl, ws, &shown, 1);
}

}  // namespace plat::dd

namespace plat::test {

PelImage readWindowSurface(HWND window) {
  PelImage out;
  SDL_Window* sdl = plat::detail::sdlWindowOf(window);
  SDL_Surface* ws = sdl ? SDL_GetWindowSurface(sdl) : nullptr;
  if (!ws || (SDL_MUSTLOCK(ws) && SDL_LockSurface(ws) != 0)) return out;
  out.width = ws->w;
  out.height = ws->h;
  out.bitsPerPel = ws->format->BitsPerPixel;
  out.sdlFormat = ws->format->format;
  const size_t row = size_t(ws->w) * ws->format->BytesPerPixel;
  out.pels.resize(row * size_t(ws->h));
  for (int y = 0; y < ws->h; ++y)
    std::memcpy(out.pels.data() + row * y, static_cast<uint8_t*>(ws->pixels) + y * ws->pitch, row);
  if (SDL_MUSTLOCK(ws)) SDL_UnlockSurface(ws);
  return out;
}

}  // namespace plat::test
