// bmp8Load on any file: the first 8 bytes give the rectangle (x, y, width,
// height as 16-bit numbers), the rest is written to a file and loaded. The
// load must give a DIB or fail with "Data error", and never leave the file
// open.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/dib.h"
#include "base/err.h"
#include "base/mem.h"
#include "base/mf.h"
#include "input_file.h"

namespace {

int16_t number(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (errInit(), true);
  (void)ready;
  if (size < 8) return 0;
  const char* path = fuzz::writeInput("input.bmp", data + 8, size - 8);
  ERR_TRY(frame) {
    dibHeader* dib = bmp8Load(path, number(data), number(data + 2), number(data + 4), number(data + 6));
    if (dib) {
      // Every row of the result is there.
      volatile uint8_t sink = 0;
      const uint8_t* bits = dibBits(dib);
      for (uint32_t i = 0; i < dib->biSizeImage; ++i) sink = sink + bits[i];
      memHooks.free(dib);
    }
  }
  ERR_CATCH(frame, code) {
    if (code != ERR_DATA) std::abort();
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  if (mfOpenFiles()) std::abort();
  return 0;
}
