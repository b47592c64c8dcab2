// imgCTy::LoadBmpStream on any bytes, read from a memory stream into a memory
// image inside a TRY frame, twice: with the exception mask 0 (a refusal
// raises "Data error", which ends the load) and with bad and fail (a short
// read throws talvo::io::Failure). Pictures of more than 1M pels are skipped
// before anything is allocated. After a load every pel of the image is read,
// the image must be unlocked and sized as its header said.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/err.h"
#include "engine/img_row.h"
#include "memory_input.h"

namespace {

int32_t field(const uint8_t* p) { return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24); }

void load(const uint8_t* data, size_t size, uint32_t mask) {
  fuzz::MemoryInput in(data, size, mask);
  imgRowCTy image;
  ERR_TRY(frame) {
    try {
      image.LoadBmpStream(&in.stream);
    } catch (const talvo::io::Failure&) {
      if (!mask) std::abort();
    }
  }
  ERR_CATCH(frame, code) {
    if (code != ERR_DATA) std::abort();
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  if (image.data) std::abort();
  if (!image.buffer) return;
  volatile uint8_t sink = 0;
  for (int64_t i = 0; i < image.BufferBytes(); ++i) sink = sink + image.buffer[i];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (errInit(), true);
  (void)ready;
  if (size >= 26) {
    const int64_t w = field(data + 18), h = field(data + 22);
    if (w * (h < 0 ? -h : h) > (1 << 20)) return 0;
  }
  load(data, size, 0);
  load(data, size, talvo::io::Stream::badbit | talvo::io::Stream::failbit);
  return 0;
}
