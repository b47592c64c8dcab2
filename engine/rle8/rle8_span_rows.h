// The walk over an RLE8 image's converted runs that the span draws of every
// level share (rle8_spans.h). Internal linkage: each level's file has its
// own copy, compiled for its instruction set.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/rle8/rle8_converted.h"

namespace rle8Spans {
namespace {

// Group g of row r drawn span by span onto the destination row `row` (the
// pel of column x0): draw(d, pels, n) with d the destination pel of the
// span's first drawn pel, pels that pel (B bytes each) or, for a fill, the
// one pel of them all, n the pels drawn. With Clipped, each span is cut to the
// columns x0 to x1 (exclusive) first; without, every span lies inside them
// and x0 is 0.
template <int B, bool Fill, bool Clipped, class Draw>
inline void eachOfGroup(const rle8Converted& runs, std::size_t r, int g, std::uint8_t* row, int x0, int x1,
                        Draw& draw) {
  const std::size_t at = r * rle8Groups + std::size_t(g);
  const std::uint8_t* p = runs.pels + runs.rowPels[at];
  const rle8Span* const end = runs.spans + runs.rowSpans[at + 1];
  for (const rle8Span* s = runs.spans + runs.rowSpans[at]; s != end; ++s) {
    const std::uint8_t* const pels = p;
    p += Fill ? B : std::ptrdiff_t(s->n) * B;
    if constexpr (!Clipped) {
      draw(row + std::ptrdiff_t(s->x) * B, pels, s->n);
    } else {
      const int from = s->x > x0 ? s->x : x0, to = s->x + s->n < x1 ? s->x + s->n : x1;
      if (to > from)
        draw(row + std::ptrdiff_t(from - x0) * B, Fill ? pels : pels + std::ptrdiff_t(from - s->x) * B, to - from);
    }
  }
}

template <int B, bool Clipped, class Copy, class Fill>
inline void eachRow(const rle8Converted& runs, const rle8DrawArgs& a, bool keyed, Copy& copy, Fill& fill) {
  const int x0 = a.k.x, x1 = a.k.x + a.k.w;
  std::uint8_t* row = a.dst;
  for (int i = 0; i < a.k.h; ++i, row += a.dstPitch) {
    const std::size_t r = std::size_t(a.k.y) + std::size_t(i);
    eachOfGroup<B, false, Clipped>(runs, r, rle8Copies, row, x0, x1, copy);
    eachOfGroup<B, true, Clipped>(runs, r, rle8Fills, row, x0, x1, fill);
    if (keyed) continue;
    eachOfGroup<B, false, Clipped>(runs, r, rle8KeyCopies, row, x0, x1, copy);
    eachOfGroup<B, true, Clipped>(runs, r, rle8KeyFills, row, x0, x1, fill);
  }
}

// Rows a.k of the runs drawn span by span: copy(d, s, n) for n pels of a
// copy span from s, fill(d, s, n) for n pels of a fill span's one pel s, d
// the destination pel; keyed draws leave the key groups out. Draws of the
// whole width of the bounds cut nothing.
template <int B, class Copy, class Fill>
inline void eachSpan(const rle8Converted& runs, const rle8DrawArgs& a, bool keyed, Copy copy, Fill fill) {
  if (a.k.x == 0 && a.k.w >= runs.bounds.w)
    eachRow<B, false>(runs, a, keyed, copy, fill);
  else
    eachRow<B, true>(runs, a, keyed, copy, fill);
}

}  // namespace
}  // namespace rle8Spans
