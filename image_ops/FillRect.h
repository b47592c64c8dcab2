// The fill of a rectangle with one pel, by pel size.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>

#include "img/Image.h"

namespace talvo::g {

// Writes `pel` (its low Size bytes) to every pel of the rectangle, which lies
// inside the image. A pel whose bytes are all alike is written with memset;
// others as 32-byte blocks of the repeated pel (2 and 4 bytes), or for 3-byte
// pels as the row's first pel repeated forward.
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
  std::size_t total = std::size_t(w) * Size;
  std::int32_t rows = h;
  if (lock.pitch > 0 && std::size_t(lock.pitch) == total) {
    // Rows without slack between them: one block.
    total *= std::size_t(h);
    rows = 1;
  }
  constexpr std::uint32_t pel_mask = Size == 4 ? 0xFFFFFFFFu : (1u << 8 * Size) - 1;
  const std::uint32_t low_byte = pel & 0xFFu;
  if ((pel & pel_mask) == (low_byte * 0x01010101u & pel_mask)) {
    for (std::int32_t r = 0; r < rows; ++r) std::memset(lock.row(r), int(low_byte), total);
    return;
  }
  if constexpr (Size == 3) {
    for (std::int32_t r = 0; r < rows; ++r) {
      // The first pel, then the row so far copied after itself: each byte
      // repeats the one three places before it.
      std::uint8_t* p = lock.row(r);
      p[0] = std::uint8_t(pel);
      p[1] = std::uint8_t(pel >> 8);
      p[2] = std::uint8_t(pel >> 16);
      for (std::size_t done = 3; done < total;) {
        const std::size_t n = done < total - done ? done : total - done;
        std::memcpy(p + done, p, n);
        done += n;
      }
    }
  } else {
    constexpr int block_size = 32;
    std::uint8_t block[block_size];
    for (int i = 0; i < block_size; i += Size) std::memcpy(block + i, &pel, Size);
    for (std::int32_t r = 0; r < rows; ++r) {
      std::uint8_t* p = lock.row(r);
      std::size_t left = total;
      for (; left >= block_size; left -= block_size, p += block_size) std::memcpy(p, block, block_size);
      std::memcpy(p, block, left);
    }
  }
}

}  // namespace talvo::g
