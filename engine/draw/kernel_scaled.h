// The scaled loop (nearest pel, 16.16 positions) and the Scaled and
// ScaledKey kernels of Copy, Alpha and Add made of it. Included by the files
// that instantiate kernels.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/draw/blend_rules.h"

namespace drawFrame {

// Whether a Copy onto D writes what the source pel alone gives: all but a
// conversion onto X1R5G5B5, which keeps the destination's bit 15.
template <class P, class D>
constexpr bool copyReadsNoDestination = !std::is_same_v<D, X1R5G5B5> || std::is_same_v<P, X1R5G5B5>;

// The source is locked whole. Destination pel (i, j) of the rectangle takes
// the source pel at column ((rect.x + j) * stepX) >> 16 and row
// ((rect.y + i) * stepY) >> 16, the positions 32-bit unsigned and reached
// by adding the step once per pel and row; pel(d, p) draws one pel.
// RepeatRows: a row sampling the same source row as the row before is that
// row again (copies whose result depends on the source pel only).
template <class Reader, class D, class KeyTest, bool RepeatRows, class PelFn>
void scaledRows(const imgDrawArgs& a, PelFn pel) {
  const int w = a.rect.w, h = a.rect.h;
  uint32_t stepX = 0, stepY = 0;
  if (w <= 0 || h <= 0 || !scaleStep(a.scaleX, &stepX) || !scaleStep(a.scaleY, &stepY)) return;
  const uint8_t* const s0 = a.src->data;
  uint8_t* d = a.dst->data;
  const int64_t sPitch = int64_t(a.src->pitch) * Reader::step, dPitch = int64_t(a.dst->pitch) * size<D>;
  const uint32_t key = a.weight.key, x0 = uint32_t(a.rect.x) * stepX;
  uint32_t row = uint32_t(a.rect.y) * stepY;
  const uint8_t* last = nullptr;
  for (int y = 0; y < h; ++y, row += stepY, d += dPitch) {
    const uint8_t* s = s0 + int64_t(row >> 16) * sPitch;
    if constexpr (RepeatRows) {
      if (s == last) {
        std::memcpy(d, d - dPitch, size_t(w) * size<D>);
        continue;
      }
      last = s;
    }
    uint32_t column = x0;
    for (int x = 0; x < w; ++x, column += stepX) {
      const uint8_t* p = Reader::pel(s + int64_t(column >> 16) * Reader::step, a.table);
      if (!KeyTest::skip(p, key)) pel(d + int64_t(x) * size<D>, p);
    }
  }
}

}  // namespace drawFrame

template <class S, class D, class Op, imgVariant V>
  requires((V == vScaled || V == vScaledKey) && !std::is_same_v<D, P8> &&
           (std::is_same_v<Op, imgOp::Copy> || std::is_same_v<Op, imgOp::Alpha> || std::is_same_v<Op, imgOp::Add>))
struct imgKernel<S, D, Op, V> {
  static void run(const imgDrawArgs& a) {
    using namespace drawFrame;
    using Reader = Source<S, D>;
    using KeyTest = KeyTestIf<S, D, V == vScaledKey>;
    if constexpr (std::is_same_v<Op, imgOp::Alpha>) {
      const int alpha = a.weight.alpha;
      scaledRows<Reader, D, KeyTest, false>(a, [alpha](uint8_t* d, const uint8_t* p) { BlendOf<S, D>::apply(d, p, alpha); });
    } else {
      constexpr bool repeat =
          std::is_same_v<Op, imgOp::Copy> && !KeyTest::keyed && copyReadsNoDestination<typename Reader::Pel, D>;
      scaledRows<Reader, D, KeyTest, repeat>(a, [](uint8_t* d, const uint8_t* p) { StepOf<S, D, Op>::apply(d, p); });
    }
  }
};
