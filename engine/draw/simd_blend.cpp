// Row functions of the weighted kernels that draw the most, on SSE2 and
// AVX2, bit-exact to the cell's per-pel blend (blend_rules.h); the draw
// tests force every level and compare. As in simd_rows.cpp, each draws
// whole vectors of every row and the kernel draws the rest per pel.
#include "engine/draw/kernel_simd.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define DRAW_AVX2 __attribute__((target("avx2")))
#else
#define DRAW_AVX2
#endif

namespace drawSimd {
namespace {

RectFn choose(RectFn sse2, RectFn avx2) {
  const Level l = level();
  if (l >= AVX2 && avx2) return avx2;
  if (l >= SSE2 && sse2) return sse2;
  return nullptr;
}

}  // namespace

#if defined(__x86_64__) || defined(__i386__)
#define DRAW_BLENDS(S, D, Keyed, Map, sse2, avx2, ...)                                                        \
  RectFn Blends<drawFrame::Source<S, D>, D, drawFrame::__VA_ARGS__, drawFrame::KeyTestIf<S, D, Keyed>, Map>::pick() { \
    return choose(sse2, avx2);                                                                                \
  }
#else
#define DRAW_BLENDS(S, D, Keyed, Map, sse2, avx2, ...)                                                        \
  RectFn Blends<drawFrame::Source<S, D>, D, drawFrame::__VA_ARGS__, drawFrame::KeyTestIf<S, D, Keyed>, Map>::pick() { \
    return nullptr;                                                                                           \
  }
#endif

DRAW_BLENDS(X8R8G8B8, X8R8G8B8, false, false, nullptr, nullptr, ShiftOnceBlend)
DRAW_BLENDS(X8R8G8B8, X8R8G8B8, true, false, nullptr, nullptr, ShiftOnceBlend)
DRAW_BLENDS(X8R8G8B8, X8R8G8B8, false, true, nullptr, nullptr, ShiftOnceBlend)
DRAW_BLENDS(P8, X8R8G8B8, false, false, nullptr, nullptr, ShiftOnceBlend)
DRAW_BLENDS(R5G6B5, R5G6B5, false, false, nullptr, nullptr, DifferenceBlend)
DRAW_BLENDS(R5G6B5, R5G6B5, true, false, nullptr, nullptr, DifferenceBlend)
DRAW_BLENDS(P8, R5G6B5, false, false, nullptr, nullptr, DifferenceBlend)
DRAW_BLENDS(R8G8B8, R5G6B5, false, false, nullptr, nullptr, MemberBlend<R8G8B8, R5G6B5>)

}  // namespace drawSimd
