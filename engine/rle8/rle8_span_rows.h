// The walk over an RLE8 image's converted runs that the span draws of every
// level share (rle8_spans.h). Internal linkage: each level's file has its
// own copy, compiled for its instruction set.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/rle8/rle8_converted.h"

namespace rle8Spans {
namespace {

// One group of a row: its spans from s to end, and the pel of s.
struct Group {
  const rle8Span* s;
  const rle8Span* end;
  const std::uint8_t* p;
};

inline Group groupOf(const rle8Converted& runs, std::size_t r, int g) {
  const std::size_t at = r * rle8Groups + std::size_t(g);
  return {runs.spans + runs.rowSpans[at], runs.spans + runs.rowSpans[at + 1], runs.pels + runs.rowPels[at]};
}

// The group's next span drawn onto the destination row `row` (the pel of
// column x0), and the group stepped past it: draw(d, pels, n) with d the
// destination pel of the span's first drawn pel, pels that pel (B bytes
// each) or, for a fill, the one pel of them all, n the pels drawn. With
// Clipped, the span is cut to the columns x0 to x1 (exclusive) first;
// without, every span lies inside them and x0 is 0.
template <int B, bool Fill, bool Clipped, class Draw>
inline void drawNext(Group& g, std::uint8_t* row, int x0, int x1, Draw& draw) {
  const rle8Span& s = *g.s++;
  const std::uint8_t* const pels = g.p;
  g.p += Fill ? B : std::ptrdiff_t(s.n) * B;
  if constexpr (!Clipped) {
    draw(row + std::ptrdiff_t(s.x) * B, pels, s.n);
  } else {
    const int from = s.x > x0 ? s.x : x0, to = s.x + s.n < x1 ? s.x + s.n : x1;
    if (to > from)
      draw(row + std::ptrdiff_t(from - x0) * B, Fill ? pels : pels + std::ptrdiff_t(from - s.x) * B, to - from);
  }
}

// The copies of row r from group `copies` and the fills of the group after
// it: group after group, or InOrder merged into x order. Draws that read
// the destination go in order: after the copies the fills would go back
// along the row to lines the copies did not bring in, and wait for them.
template <int B, bool Clipped, bool InOrder, class Copy, class Fill>
inline void eachOfPair(const rle8Converted& runs, std::size_t r, int copies, std::uint8_t* row, int x0, int x1,
                       Copy& copy, Fill& fill) {
  Group c = groupOf(runs, r, copies), f = groupOf(runs, r, copies + 1);
  if constexpr (InOrder) {
    while (c.s != c.end || f.s != f.end) {
      if (f.s == f.end || (c.s != c.end && c.s->x < f.s->x))
        drawNext<B, false, Clipped>(c, row, x0, x1, copy);
      else
        drawNext<B, true, Clipped>(f, row, x0, x1, fill);
    }
  } else {
    while (c.s != c.end) drawNext<B, false, Clipped>(c, row, x0, x1, copy);
    while (f.s != f.end) drawNext<B, true, Clipped>(f, row, x0, x1, fill);
  }
}

template <int B, bool Clipped, bool InOrder, class Copy, class Fill>
inline void eachRow(const rle8Converted& runs, const rle8DrawArgs& a, bool keyed, Copy& copy, Fill& fill) {
  const int x0 = a.k.x, x1 = a.k.x + a.k.w;
  std::uint8_t* row = a.dst;
  for (int i = 0; i < a.k.h; ++i, row += a.dstPitch) {
    const std::size_t r = std::size_t(a.k.y) + std::size_t(i);
    eachOfPair<B, Clipped, InOrder>(runs, r, rle8Copies, row, x0, x1, copy, fill);
    if (!keyed) eachOfPair<B, Clipped, InOrder>(runs, r, rle8KeyCopies, row, x0, x1, copy, fill);
  }
}

// Rows a.k of the runs drawn span by span: copy(d, s, n) for n pels of a
// copy span from s, fill(d, s, n) for n pels of a fill span's one pel s, d
// the destination pel; keyed draws leave the key groups out. InOrder (see
// eachOfPair) for draws that read the destination. Draws of the whole
// width of the bounds cut nothing.
template <int B, bool InOrder, class Copy, class Fill>
inline void eachSpan(const rle8Converted& runs, const rle8DrawArgs& a, bool keyed, Copy copy, Fill fill) {
  if (a.k.x == 0 && a.k.w >= runs.bounds.w)
    eachRow<B, false, InOrder>(runs, a, keyed, copy, fill);
  else
    eachRow<B, true, InOrder>(runs, a, keyed, copy, fill);
}

}  // namespace
}  // namespace rle8Spans
