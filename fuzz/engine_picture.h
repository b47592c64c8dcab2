// What the engine picture fuzz targets share: a load run as the engine runs
// it (inside a TRY frame, the decoders' exceptions caught), and the checks
// of a loaded memory image.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/err.h"
#include "engine/img_row.h"
#include "err_frame.h"
#include "talvo/Exception.h"
#include "talvo/Log.h"

namespace fuzz {

// Pictures with more pels are left out: the fuzzer's memory and time
// limits, not the loaders'.
constexpr int64_t kMaxPicturePels = int64_t(1) << 20;

inline void pictureSetUp() {
  static const bool ready = (errInit(), true);
  (void)ready;
  // Refusals log; the log is not what is tested here.
  talvo::log_switch.disable = 1;
}

// Runs the load; false when it raised or threw.
template <class Load>
bool attempt(Load&& load) {
  bool threw = false;
  const bool returned = runInFrame([&] {
    try {
      load();
    } catch (const talvo::Exception&) {
      threw = true;
    }
  });
  return returned && !threw;
}

// A loaded memory image is unlocked, and every byte of its pels is read.
inline void visitPels(const imgRowCTy& image) {
  if (image.data) std::abort();
  if (!image.buffer) return;
  volatile uint8_t sink = 0;
  for (int64_t i = 0; i < image.BufferBytes(); ++i) sink = sink + image.buffer[i];
}

// Two loads of one picture gave the same image: size, format, palette, pels.
inline bool samePicture(const imgRowCTy& a, const imgRowCTy& b) {
  if (a.width != b.width || a.height != b.height || a.PelFormat() != b.PelFormat() || !a.buffer != !b.buffer ||
      a.BufferBytes() != b.BufferBytes())
    return false;
  const palCTy* pa = a.desc.palette;
  const palCTy* pb = b.desc.palette;
  if (!pa != !pb ||
      (pa && (pa->count != pb->count || std::memcmp(pa->entries, pb->entries, sizeof pa->entries[0] * pa->count))))
    return false;
  return !a.buffer || std::memcmp(a.buffer, b.buffer, size_t(a.BufferBytes())) == 0;
}

}  // namespace fuzz
