// The depth-tested loop and the Z and KeyZ kernels of Copy and the modes 4
// to 11 made of it. Included by the files that instantiate kernels.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/draw/frame_rules.h"

namespace drawFrame {

// h rows of w pels from the four lock pointers, each image stepped by its
// own pitch. A pel is drawn only where its source depth is greater (signed)
// than the destination's; the destination's depth then becomes the source's,
// before the key test. A pel behind reads neither its source pel nor writes
// anything.
template <class Reader, class D, class StepT, class KeyTest>
void depthRows(const imgDrawArgs& a) {
  const int w = a.rect.w, h = a.rect.h;
  if (w <= 0 || h <= 0) return;
  const uint8_t* s = a.src->data;
  uint8_t* d = a.dst->data;
  const uint8_t* zs = a.zSrc->data;
  uint8_t* zd = a.zDst->data;
  const int64_t sPitch = int64_t(a.src->pitch) * Reader::step, dPitch = int64_t(a.dst->pitch) * size<D>;
  const int64_t zsPitch = int64_t(a.zSrc->pitch) * 4, zdPitch = int64_t(a.zDst->pitch) * 4;
  const uint32_t key = a.weight.key;
  for (int y = 0; y < h; ++y, s += sPitch, d += dPitch, zs += zsPitch, zd += zdPitch) {
    for (int x = 0; x < w; ++x) {
      int32_t front, behind;
      std::memcpy(&front, zs + 4 * int64_t(x), 4);
      std::memcpy(&behind, zd + 4 * int64_t(x), 4);
      if (front <= behind) continue;
      std::memcpy(zd + 4 * int64_t(x), &front, 4);
      const uint8_t* p = Reader::pel(s + int64_t(x) * Reader::step, a.table);
      if (!KeyTest::skip(p, key)) StepT::apply(d + int64_t(x) * size<D>, p);
    }
  }
}

}  // namespace drawFrame

template <class S, class D, class Op, imgVariant V>
  requires((V == vZ || V == vKeyZ) && drawFrame::isCopyOrMode<Op> && !std::is_same_v<D, P8>)
struct imgKernel<S, D, Op, V> {
  static void run(const imgDrawArgs& a) {
    using namespace drawFrame;
    depthRows<Source<S, D>, D, StepOf<S, D, Op>, KeyTestIf<S, D, V == vKeyZ>>(a);
  }
};
