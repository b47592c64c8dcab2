// The weighted loop, unscaled, and the plain and Key kernels of Alpha,
// AlphaAdd and AlphaMap made of it (the four pairs of blend_rules.h with
// their own blends among them). Included by the files that instantiate
// kernels.
#pragma once

#include <cstdint>

#include "engine/draw/blend_rules.h"
#include "engine/draw/kernel_simd.h"

namespace drawFrame {

// h rows of w pels from both lock pointers, each image stepped by its pitch.
// The weight is the record's alpha for every pel or (Map) the weight
// image's byte at the source pel's place: its pointer steps with the source,
// over keyed pels too, and skips its own pitch at the end of a row.
template <class Reader, class D, class Blend, class KeyTest, bool Map>
void weightedRows(const imgDrawArgs& a) {
  const int w = a.rect.w, h = a.rect.h;
  if (w <= 0 || h <= 0) return;
  const uint8_t* s = a.src->data;
  uint8_t* d = a.dst->data;
  const uint8_t* m = Map ? a.alphaMap->data : nullptr;
  const int64_t sPitch = int64_t(a.src->pitch) * Reader::step, dPitch = int64_t(a.dst->pitch) * size<D>;
  const int64_t mPitch = Map ? int64_t(a.alphaMap->pitch) : 0;
  const int alpha = a.weight.alpha;
  const uint32_t key = a.weight.key;
  int done = 0;
  if (const drawSimd::RectFn vector = drawSimd::Blends<Reader, D, Blend, KeyTest, Map>::pick())
    done = vector({d, s, dPitch, sPitch, w, h, key, a.table, alpha, m, mPitch});
  if (done == w) return;
  for (int y = 0; y < h; ++y, s += sPitch, d += dPitch) {
    for (int x = done; x < w; ++x) {
      const uint8_t* p = Reader::pel(s + int64_t(x) * Reader::step, a.table);
      if (KeyTest::skip(p, key)) continue;
      if constexpr (Map) Blend::apply(d + int64_t(x) * size<D>, p, m[x]);
      else Blend::apply(d + int64_t(x) * size<D>, p, alpha);
    }
    if constexpr (Map) m += mPitch;
  }
}

template <class S, class D, bool Map, class Blend, imgVariant V>
void weightedKernel(const imgDrawArgs& a) {
  weightedRows<Source<S, D>, D, Blend, KeyTestIf<S, D, V == vKey>, Map>(a);
}

}  // namespace drawFrame

template <class S, class D, imgVariant V>
  requires(V == vPlain || V == vKey)
struct imgKernel<S, D, imgOp::Alpha, V> {
  static void run(const imgDrawArgs& a) { drawFrame::weightedKernel<S, D, false, drawFrame::BlendOf<S, D>, V>(a); }
};

template <class S, class D, imgVariant V>
  requires(V == vPlain || V == vKey)
struct imgKernel<S, D, imgOp::AlphaMap, V> {
  static void run(const imgDrawArgs& a) { drawFrame::weightedKernel<S, D, true, drawFrame::BlendOf<S, D>, V>(a); }
};

template <class S, class D, imgVariant V>
  requires(V == vPlain || V == vKey)
struct imgKernel<S, D, imgOp::AlphaAdd, V> {
  static void run(const imgDrawArgs& a) { drawFrame::weightedKernel<S, D, false, drawFrame::AlphaAddOf<S, D>, V>(a); }
};
