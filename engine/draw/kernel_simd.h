// Functions on the processor's vector unit (SSE2, AVX2) for the kernels that
// draw the most: each is bit-exact to the per-pel rules of its cell, draws
// the first pels of every row of a draw (whole vectors) and returns how
// many; the kernel's per-pel loop draws the rest of each row. A cell gets one
// by a specialisation of Rows below.
//
// The level is the image library's (img/VectorLevel.h), one for its row
// kernels and these: the processor's best, read once, or the one its
// force() picks for tests (and benchmarks), so that each path can be
// checked against the per-pel rules.
#pragma once

#include <cstdint>

#include "engine/draw/blend_rules.h"

namespace drawSimd {

// Draws pels [0, n) of a row, n <= w; returns n.
using RowFn = int (*)(uint8_t* d, const uint8_t* s, int w, uint32_t key, const uint8_t* table);

// The rows of one draw: h rows from d and s, each pitch bytes apart; for
// the weighted cells the weight, or the weight image's rows from map.
struct Rect {
  uint8_t* d;
  const uint8_t* s;
  int64_t dPitch, sPitch;
  int w, h;
  uint32_t key;
  const uint8_t* table;
  int alpha;
  const uint8_t* map;
  int64_t mapPitch;
};
// Draws pels [0, n) of every row (n depends on w only); returns n.
using RectFn = int (*)(const Rect& r);

// The function of a cell at the current level, or null: the cells without
// one.
template <class Reader, class D, class Step, class KeyTest>
struct Rows {
  static RectFn pick() { return nullptr; }
};

// The cells with row functions (simd_rows.cpp), keyed or not.
#define DRAW_SIMD_ROWS(S, D, Op, Keyed)                                                                          \
  template <>                                                                                                    \
  struct Rows<drawFrame::Source<S, D>, D, drawFrame::StepOf<S, D, imgOp::Op>, drawFrame::KeyTestIf<S, D, Keyed>> { \
    static RectFn pick();                                                                                         \
  };

DRAW_SIMD_ROWS(R8G8B8, X8R8G8B8, Copy, false)
DRAW_SIMD_ROWS(R8G8B8, R5G6B5, Copy, false)
DRAW_SIMD_ROWS(R8G8B8, R5G6B5, Copy, true)
DRAW_SIMD_ROWS(R5G6B5, X8R8G8B8, Copy, false)
DRAW_SIMD_ROWS(X8R8G8B8, R5G6B5, Copy, false)
DRAW_SIMD_ROWS(X1R5G5B5, R5G6B5, Copy, false)
DRAW_SIMD_ROWS(R5G6B5, X1R5G5B5, Copy, false)
DRAW_SIMD_ROWS(R5G6B5, R5G6B5, Copy, true)
DRAW_SIMD_ROWS(P8, X8R8G8B8, Copy, false)
DRAW_SIMD_ROWS(P8, R5G6B5, Copy, false)
DRAW_SIMD_ROWS(P8, R5G6B5, Copy, true)
DRAW_SIMD_ROWS(X8R8G8B8, X8R8G8B8, Copy, true)
DRAW_SIMD_ROWS(X8R8G8B8, X8R8G8B8, Add, false)
DRAW_SIMD_ROWS(X8R8G8B8, X8R8G8B8, Modulate, false)

#undef DRAW_SIMD_ROWS

// The weighted cells: Blend is the cell's per-pel step, Map whether the
// weights come from a weight image (simd_blend.cpp).
template <class Reader, class D, class Blend, class KeyTest, bool Map>
struct Blends {
  static RectFn pick() { return nullptr; }
};

#define DRAW_SIMD_BLENDS(S, D, Keyed, Map, ...)                                                              \
  template <>                                                                                                \
  struct Blends<drawFrame::Source<S, D>, D, drawFrame::__VA_ARGS__, drawFrame::KeyTestIf<S, D, Keyed>, Map> { \
    static RectFn pick();                                                                                    \
  };

DRAW_SIMD_BLENDS(X8R8G8B8, X8R8G8B8, false, false, ShiftOnceBlend)
DRAW_SIMD_BLENDS(X8R8G8B8, X8R8G8B8, true, false, ShiftOnceBlend)
DRAW_SIMD_BLENDS(X8R8G8B8, X8R8G8B8, false, true, ShiftOnceBlend)
DRAW_SIMD_BLENDS(P8, X8R8G8B8, false, false, ShiftOnceBlend)
DRAW_SIMD_BLENDS(R5G6B5, R5G6B5, false, false, DifferenceBlend)
DRAW_SIMD_BLENDS(R5G6B5, R5G6B5, true, false, DifferenceBlend)
DRAW_SIMD_BLENDS(P8, R5G6B5, false, false, DifferenceBlend)
DRAW_SIMD_BLENDS(R8G8B8, R5G6B5, false, false, MemberBlend<R8G8B8, R5G6B5>)

#undef DRAW_SIMD_BLENDS

}  // namespace drawSimd
