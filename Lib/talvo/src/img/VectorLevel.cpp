// The vector level of the image library's row kernels.
#include "img/VectorLevel.h"

#include <atomic>

namespace talvo::g::vector_level {
namespace {

std::atomic<int> forced{-1};

Level detect() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx2")) return avx2;
  if (__builtin_cpu_supports("sse2")) return sse2;
#endif
  return portable;
}

}  // namespace

Level supported() {
  static const Level best = detect();
  return best;
}

Level current() {
  const int f = forced.load(std::memory_order_relaxed);
  return f < 0 || f >= supported() ? supported() : Level(f);
}

void force(int level) { forced.store(level, std::memory_order_relaxed); }

}  // namespace talvo::g::vector_level
