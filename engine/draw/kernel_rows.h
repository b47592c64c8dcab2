// The unscaled loop of the plain and Key kernels of Copy and the modes 4 to
// 11, and the kernels made of it. Included by the files that instantiate
// kernels.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/draw/frame_rules.h"
#include "engine/draw/kernel_simd.h"

namespace drawFrame {

// --- The unscaled loop -----------------------------------------------------------------
// h rows of w pels from both lock pointers, each image stepped by its pitch;
// a keyed pel leaves its destination pel untouched.
template <class Reader, class D, class StepT, class KeyTest>
void unscaledRows(const imgDrawArgs& a) {
  const int w = a.rect.w, h = a.rect.h;
  if (w <= 0 || h <= 0) return;
  const uint8_t* s = a.src->data;
  uint8_t* d = a.dst->data;
  const int64_t sPitch = int64_t(a.src->pitch) * Reader::step, dPitch = int64_t(a.dst->pitch) * size<D>;
  const uint32_t key = a.weight.key;
  // A Copy between pels of one layout is a copy of bytes.
  if constexpr (std::is_same_v<Reader, Source<D, D>> && std::is_same_v<StepT, Step<D, D, imgOp::Copy>> &&
                !KeyTest::keyed) {
    copyRows(d, dPitch, s, sPitch, size_t(w) * size<D>, h);
    return;
  }
  // The vector unit's function, where the cell has one, draws the first
  // pels of every row; the per-pel loop draws the rest.
  int done = 0;
  if (const drawSimd::RectFn vector = drawSimd::Rows<Reader, D, StepT, KeyTest>::pick())
    done = vector({d, s, dPitch, sPitch, w, h, key, a.table, 0, nullptr, 0});
  if (done == w) return;
  for (int y = 0; y < h; ++y, s += sPitch, d += dPitch) {
    for (int x = done; x < w; ++x) {
      const uint8_t* p = Reader::pel(s + int64_t(x) * Reader::step, a.table);
      if (!KeyTest::skip(p, key)) StepT::apply(d + int64_t(x) * size<D>, p);
    }
  }
}

}  // namespace drawFrame

// The plain and Key kernels of Copy and the modes 4 to 11.
template <class S, class D, class Op, imgVariant V>
  requires((V == vPlain || V == vKey) && drawFrame::isCopyOrMode<Op> && !std::is_same_v<D, P8>)
struct imgKernel<S, D, Op, V> {
  static void run(const imgDrawArgs& a) {
    using namespace drawFrame;
    unscaledRows<Source<S, D>, D, StepOf<S, D, Op>, KeyTestIf<S, D, V == vKey>>(a);
  }
};
