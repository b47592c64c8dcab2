// The fill of a rectangle with one pel, by pel size.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>

#include "img/Image.h"

namespace talvo::g {

// Writes `pel` (its low Size bytes) to every pel of the rectangle, which lies
// inside the image. Rows are written with block stores: 32-bit words, pairs
// of 16-bit pels in one 32-bit word, and for 3-byte pels the row's first pel
// repeated forward.
template <int Size>
[[gnu::noinline]] void fill_rect(Image& image, const Rect& rect, std::uint32_t pel) {
  static_assert(Size == 2 || Size == 3 || Size == 4);
  assert(rect.empty() || (rect.x0 >= 0 && rect.y0 >= 0 && rect.x1 <= image.width() &&
                          rect.y1 <= image.height()));
  // An empty rectangle (which may lie anywhere) is not even locked.
  const std::int32_t w = rect.width(), h = rect.height();
  if (w <= 0 || h <= 0) return;
  Image::Lock lock(image, &rect, Image::Lock::write);
  if (!lock.pels) return;
  for (std::int32_t r = 0; r < h; ++r) {
    std::uint8_t* p = lock.row(r);
    if constexpr (Size == 4) {
      for (std::int32_t c = 0; c < w; ++c, p += 4) std::memcpy(p, &pel, 4);
    } else if constexpr (Size == 2) {
      const std::uint32_t pair = (pel & 0xFFFFu) * 0x10001u;
      for (std::int32_t c = 0; c < w / 2; ++c, p += 4) std::memcpy(p, &pair, 4);
      if (w & 1) std::memcpy(p, &pair, 2);
    } else {
      // The first pel, then the row so far copied after itself: each byte
      // repeats the one three places before it.
      p[0] = std::uint8_t(pel);
      p[1] = std::uint8_t(pel >> 8);
      p[2] = std::uint8_t(pel >> 16);
      const std::size_t total = std::size_t(w) * 3;
      for (std::size_t done = 3; done < total;) {
        const std::size_t n = done < total - done ? done : total - done;
        std::memcpy(p + done, p, n);
        done += n;
      }
    }
  }
}

}  // namespace talvo::g
