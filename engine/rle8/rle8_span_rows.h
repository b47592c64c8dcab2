// The walk over an RLE8 image's converted runs that the span draws of every
// level share (rle8_spans.h). Internal linkage: each level's file has its
// own copy, compiled for its instruction set.
#pragma once

#include <cstdint>

#include "engine/rle8/rle8_converted.h"

namespace rle8Spans {
namespace {

// draw(d, s, n, fill) for every stretch of span pels inside rows a.k, d the
// destination pel, s the first of the n pels (B bytes each), or with fill
// the one pel of them all; keyed draws leave the spans of key pels out.
template <int B, class Draw>
inline void eachSpan(const rle8Converted& runs, const rle8DrawArgs& a, bool keyed, Draw draw) {
  const int x0 = a.k.x, x1 = a.k.x + a.k.w;
  std::uint8_t* row = a.dst;
  for (int i = 0; i < a.k.h; ++i, row += a.dstPitch) {
    const int r = a.k.y + i;
    const rle8Span* s = runs.spans + runs.rowSpans[r];
    const rle8Span* const end = runs.spans + runs.rowSpans[r + 1];
    for (; s != end; ++s) {
      int from = s->x, n = s->n;
      if (from >= x1) break;
      if (n < 0) {
        if (keyed) continue;
        n = -n;
      }
      const std::uint8_t* pels = runs.pels + s->at;
      if (from < x0) {
        n -= x0 - from;
        if (n <= 0) continue;
        if (!s->fill) pels += (x0 - from) * B;
        from = x0;
      }
      if (n > x1 - from) n = x1 - from;
      draw(row + (from - x0) * B, pels, n, s->fill != 0);
    }
  }
}

}  // namespace
}  // namespace rle8Spans
