// The vector level of the draw's row functions.
#include <algorithm>

#include "engine/draw/kernel_simd.h"

namespace drawSimd {
namespace {

int g_forced = -1;

Level detect() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx2")) return AVX2;
  if (__builtin_cpu_supports("sse2")) return SSE2;
#endif
  return Portable;
}

}  // namespace

Level supported() {
  static const Level best = detect();
  return best;
}

Level level() { return g_forced < 0 ? supported() : Level(std::min(g_forced, int(supported()))); }

void force(int forced) { g_forced = forced; }

}  // namespace drawSimd
