// A guarded destination for the draw fuzz targets: a memory image of a
// format, w x h pels at a pitch of w + 3, inside a block whose guard bytes
// before and after must stay as they were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/img_row.h"

namespace fuzz {

struct DrawTarget {
  static constexpr size_t kGuard = 64;
  static constexpr uint8_t kFill = 0xEE;

  std::vector<uint8_t> bytes;
  imgRowCTy image;
  DrawTarget(int format, int w, int h)
      : bytes(2 * kGuard + size_t(w + 3) * size_t(h) * size_t(pelBytes(format)), kFill) {
    image.desc.Set(format, nullptr);
    image.width = w;
    image.height = h;
    image.buffer = bytes.data() + kGuard;
    image.rowLength = w + 3;
  }
  DrawTarget(const DrawTarget&) = delete;
  DrawTarget& operator=(const DrawTarget&) = delete;
  ~DrawTarget() { image.buffer = nullptr; }
  // The image locked on the rectangle, as a draw kernel is handed it.
  imgCTy* locked(const rectCTy& r) {
    image.Unlock();
    image.Lock(&r, img_LOCK_READWRITE);
    return &image;
  }
  void check() const {
    for (size_t i = 0; i < kGuard; ++i)
      if (bytes[i] != kFill || bytes[bytes.size() - 1 - i] != kFill) std::abort();
  }
};

}  // namespace fuzz
