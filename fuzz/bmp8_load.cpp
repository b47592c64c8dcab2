// bmp8Load on any file: the first 8 bytes give the rectangle (x, y, width,
// height as 16-bit numbers), the rest is written to a file and loaded. The
// load must give a DIB or fail with "Data error", and never leave the file
// open.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/dib.h"
#include "base/err.h"
#include "base/mem.h"
#include "base/mf.h"

namespace {

// The input file, in a directory of its own that goes at exit: in memory
// when /dev/shm can be had (every input is written and mapped once).
char g_dir[4096];
char g_file[4200];

const char* filePath() {
  if (!g_file[0]) {
    std::snprintf(g_dir, sizeof g_dir, "/dev/shm/talvo-fuzz-bmp-XXXXXX");
    if (!mkdtemp(g_dir)) {
      const char* tmp = std::getenv("TMPDIR");
      std::snprintf(g_dir, sizeof g_dir, "%s/talvo-fuzz-bmp-XXXXXX", tmp && *tmp ? tmp : "/tmp");
      if (!mkdtemp(g_dir)) std::abort();
    }
    std::snprintf(g_file, sizeof g_file, "%s/input.bmp", g_dir);
    std::atexit([] {
      std::remove(g_file);
      rmdir(g_dir);
    });
  }
  return g_file;
}

int16_t number(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (errInit(), true);
  (void)ready;
  if (size < 8) return 0;
  FILE* f = std::fopen(filePath(), "wb");
  if (!f) std::abort();
  if (size > 8) std::fwrite(data + 8, 1, size - 8, f);
  std::fclose(f);
  ERR_TRY(frame) {
    dibHeader* dib = bmp8Load(filePath(), number(data), number(data + 2), number(data + 4), number(data + 6));
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
