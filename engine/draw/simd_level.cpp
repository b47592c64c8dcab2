// The vector level of the draw's row functions: the image library's one, so
// that one switch (and TALVO_VECTOR_LEVEL in the benchmarks) picks the path
// of every row function, the image library's, the draw's and the sprite
// images'.
#include "engine/draw/kernel_simd.h"
#include "img/VectorLevel.h"

namespace drawSimd {

namespace level_of = talvo::g::vector_level;
static_assert(int(Portable) == int(level_of::portable) && int(SSE2) == int(level_of::sse2) &&
              int(AVX2) == int(level_of::avx2));

Level supported() { return Level(level_of::supported()); }

Level level() { return Level(level_of::current()); }

void force(int forced) { level_of::force(forced); }

}  // namespace drawSimd
