// The per-pel operations of the alpha image kernels, alphaPel<Op><Store,Dst>:
// how one stored colour (with its alpha byte a, and the weight K of
// SrcAlphaK) combines with one destination pel.
//
//   alphaPelSrcAlpha<R8G8B8, R5G6B5>{}(dst, colour, a);  // translucent form
//   alphaPelAlphaK<R5G6B5, A8R8G8B8>{K}(dst, colour);    // opaque form
//
// Store is the colour's storage form (alpha_store.h), Dst the destination's
// layout (engine/pel.h); pels are reached through byte pointers and may be
// unaligned. The objects of the K operations hold K; the others nothing.
//
// Per channel (B, G, R alike), s is the stored colour on the destination's
// scale (widened to 8 bits, then shifted right to the field's width), d
// the destination channel or field, max its largest value; a is the alpha
// byte as stored: the alpha itself in straight storage, 255 - alpha (alpha
// written α) in premultiplied storage:
//
//   SrcAlpha         d = (s * a + d * (255 - a)) >> 8
//   SrcAlphaPremul   d = ((d * a) >> 8) + s, kept to the field
//   Add              d = min(max, d + s)              (a does not weigh it)
//   AddPremul        d = min(max, d + c)
//   AddOpaque        d = min(max, d + s)
//   AlphaK           d = (s * K + d * (255 - K)) >> 8
//   SrcAlphaK        m = a * K >> 8;       d = (s * m + d * (255 - m)) >> 8
//   SrcAlphaKPremul  w = (255 - a) * K >> 8; d = (s * K + d * (255 - w)) >> 8
//   Unpremul         d = c
//
// c is the straight colour of a premultiplied pel: each stored channel
// widened to 8 bits, then the low 8 bits of channel * 256 / α, then brought
// to the field's width. Onto 16-bit layouts the Add sums equal widening the
// field, adding the 8-bit source, saturating at 255 and narrowing again.
// The weights of the blends add up to 255, not 256: a full weight gives
// s * 255 >> 8.
//
// The destination's alpha, by layout:
//   R8G8B8, X8R8G8B8, R5G6B5, X1R5G5B5: only B, G, R are written (a fourth
//     byte and bit 15 stay).
//   A8R8G8B8 (A its fourth byte): the blends compose A = v + (A * (255 - v)
//     >> 8) with v their source weight (a, α, m or w); Add A = min(255, A +
//     a), AddPremul min(255, A + α); AddOpaque, AlphaK, Unpremul leave A.
//   A1R5G5B5: the blends set bit 15 to v >> 7, whatever it was; Add and
//     AddPremul take A = 255 or 0 from the bit and set it to min(255, A +
//     a or α) >> 7 (a set bit stays set); AddOpaque, AlphaK, Unpremul leave
//     it.
//
// The cells the kernels use (Store: all four = X8R8G8B8, R8G8B8, R5G6B5,
// X1R5G5B5), 143 in all; every template works for every pair:
//
//   Op               R8G8B8    X8R8G8B8   A8R8G8B8   R5G6B5  X1R5G5B5  A1R5G5B5
//   SrcAlpha         -         -          R5G6B5,    all     all       all
//                                         X1R5G5B5
//   SrcAlphaPremul   -         -          -          all     all       all
//   Add              all       all        all        all     all       all
//   AddPremul        all       all        all        all     all       all
//   AddOpaque        X8        X8         X8         X8      X8        X8
//   AlphaK           all       R8, R5,    R8, R5,    all     all       all
//                              X1         X1
//   SrcAlphaK        R5, X1    R5, X1     R8, R5,    all     all       all
//                                         X1
//   SrcAlphaKPremul  R5, X1    R5, X1     all        all     all       all
//   Unpremul         -         -          -          -       R5, X1    -
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/alpha/alpha_store.h"
#include "engine/pel.h"

namespace alphaDst {

using alphaStore::Rgb;

// 3- and 4-byte layouts: 8-bit channels B, G, R in bytes 0 to 2.
template <int Bytes>
struct ByteLayout {
  static constexpr int bytes = Bytes;
  static constexpr int shiftB = 0, shiftG = 0, shiftR = 0;  // from 8 bits to the field
  static Rgb load(const uint8_t* d) { return {d[0], d[1], d[2]}; }
  static void store(uint8_t* d, const Rgb& c) {
    d[0] = uint8_t(c.b);
    d[1] = uint8_t(c.g);
    d[2] = uint8_t(c.r);
  }
};

// 16-bit layouts: blue in bits 0-4, green above it (GreenBits wide), red
// above that; with 5-bit green, bit 15 is kept by store.
template <int GreenBits>
struct WordLayout {
  static constexpr int bytes = 2;
  static constexpr int shiftB = 3, shiftG = 8 - GreenBits, shiftR = 3;
  static constexpr int redAt = 5 + GreenBits;
  static constexpr uint16_t keep = GreenBits == 5 ? 0x8000 : 0;
  static uint16_t word(const uint8_t* d) {
    uint16_t v;
    std::memcpy(&v, d, 2);
    return v;
  }
  static void setWord(uint8_t* d, uint16_t v) { std::memcpy(d, &v, 2); }
  static Rgb load(const uint8_t* d) {
    const uint16_t v = word(d);
    return {v & 31, (v >> 5) & ((1 << GreenBits) - 1), (v >> redAt) & 31};
  }
  static void store(uint8_t* d, const Rgb& c) {
    setWord(d, uint16_t((word(d) & keep) | (c.r & 31) << redAt | (c.g & ((1 << GreenBits) - 1)) << 5 | (c.b & 31)));
  }
};

// What a layout does with the alpha of a drawn pel.
struct NoAlpha {
  static void over(uint8_t*, int) {}
  static void add(uint8_t*, int) {}
  static void set(uint8_t*, int) {}
};

// The fourth byte is the alpha.
struct ByteAlpha {
  static void over(uint8_t* d, int v) { d[3] = uint8_t(v + ((d[3] * (255 - v)) >> 8)); }
  static void add(uint8_t* d, int v) { d[3] = uint8_t(std::min(255, d[3] + v)); }
  static void set(uint8_t* d, int v) { d[3] = uint8_t(v); }
};

// Bit 15 is the alpha: set from an 8-bit alpha as alpha >> 7, read as 255
// or 0.
struct BitAlpha {
  static void set(uint8_t* d, int v) {
    const uint16_t w = WordLayout<5>::word(d);
    WordLayout<5>::setWord(d, uint16_t((w & 0x7FFF) | (v >> 7) << 15));
  }
  static void over(uint8_t* d, int v) { set(d, v); }
  static void add(uint8_t* d, int v) { set(d, std::min(255, ((WordLayout<5>::word(d) >> 15) ? 255 : 0) + v)); }
};

template <class Dst>
struct Of;
template <>
struct Of<R8G8B8> : ByteLayout<3>, NoAlpha {};
template <>
struct Of<X8R8G8B8> : ByteLayout<4>, NoAlpha {};
template <>
struct Of<A8R8G8B8> : ByteLayout<4>, ByteAlpha {};
template <>
struct Of<R5G6B5> : WordLayout<6>, NoAlpha {};
template <>
struct Of<X1R5G5B5> : WordLayout<5>, NoAlpha {};
template <>
struct Of<A1R5G5B5> : WordLayout<5>, BitAlpha {};

// An 8-bit colour on the layout's scale.
template <class Dst>
Rgb fit(const Rgb& c) {
  using D = Of<Dst>;
  return {c.b >> D::shiftB, c.g >> D::shiftG, c.r >> D::shiftR};
}

// The stored colour on the layout's scale.
template <class Store, class Dst>
Rgb source(const uint8_t* colour) {
  return fit<Dst>(alphaStore::Of<Store>::wide(colour));
}

// The straight colour of a premultiplied pel of alpha `alpha`, on the
// layout's scale.
template <class Store, class Dst>
Rgb straight(const uint8_t* colour, int alpha) {
  const Rgb w = alphaStore::Of<Store>::wide(colour);
  return fit<Dst>({(w.b * 256 / alpha) & 255, (w.g * 256 / alpha) & 255, (w.r * 256 / alpha) & 255});
}

// Each channel's largest value on the layout's scale.
template <class Dst>
constexpr Rgb maxima{255 >> Of<Dst>::shiftB, 255 >> Of<Dst>::shiftG, 255 >> Of<Dst>::shiftR};

// f(s, d) per channel, written to the destination.
template <class Dst, class F>
void apply(uint8_t* d, const Rgb& s, F&& f) {
  const Rgb o = Of<Dst>::load(d);
  Of<Dst>::store(d, {f(s.b, o.b), f(s.g, o.g), f(s.r, o.r)});
}

// min(max, d + s) per channel.
template <class Dst>
void addSaturating(uint8_t* d, const Rgb& s) {
  constexpr Rgb top = maxima<Dst>;
  const Rgb o = Of<Dst>::load(d);
  Of<Dst>::store(d, {std::min(top.b, o.b + s.b), std::min(top.g, o.g + s.g), std::min(top.r, o.r + s.r)});
}

// (s * ws + d * (255 - wd)) >> 8 per channel.
inline int weigh(int s, int ws, int d, int wd) { return (s * ws + d * (255 - wd)) >> 8; }

}  // namespace alphaDst

template <class Store, class Dst>
struct alphaPelSrcAlpha {
  void operator()(uint8_t* d, const uint8_t* colour, int a) const {
    alphaDst::apply<Dst>(d, alphaDst::source<Store, Dst>(colour), [a](int s, int o) { return alphaDst::weigh(s, a, o, a); });
    alphaDst::Of<Dst>::over(d, a);
  }
};

template <class Store, class Dst>
struct alphaPelSrcAlphaPremul {
  void operator()(uint8_t* d, const uint8_t* colour, int a) const {
    alphaDst::apply<Dst>(d, alphaDst::source<Store, Dst>(colour), [a](int s, int o) { return ((o * a) >> 8) + s; });
    alphaDst::Of<Dst>::over(d, 255 - a);
  }
};

template <class Store, class Dst>
struct alphaPelAdd {
  void operator()(uint8_t* d, const uint8_t* colour, int a) const {
    alphaDst::addSaturating<Dst>(d, alphaDst::source<Store, Dst>(colour));
    alphaDst::Of<Dst>::add(d, a);
  }
};

template <class Store, class Dst>
struct alphaPelAddPremul {
  void operator()(uint8_t* d, const uint8_t* colour, int a) const {
    alphaDst::addSaturating<Dst>(d, alphaDst::straight<Store, Dst>(colour, 255 - a));
    alphaDst::Of<Dst>::add(d, 255 - a);
  }
};

template <class Store, class Dst>
struct alphaPelAddOpaque {
  void operator()(uint8_t* d, const uint8_t* colour) const {
    alphaDst::addSaturating<Dst>(d, alphaDst::source<Store, Dst>(colour));
  }
};

template <class Store, class Dst>
struct alphaPelAlphaK {
  int K;
  void operator()(uint8_t* d, const uint8_t* colour) const {
    const int k = K;
    alphaDst::apply<Dst>(d, alphaDst::source<Store, Dst>(colour), [k](int s, int o) { return alphaDst::weigh(s, k, o, k); });
  }
};

template <class Store, class Dst>
struct alphaPelSrcAlphaK {
  int K;
  void operator()(uint8_t* d, const uint8_t* colour, int a) const {
    const int m = (a * K) >> 8;
    alphaDst::apply<Dst>(d, alphaDst::source<Store, Dst>(colour), [m](int s, int o) { return alphaDst::weigh(s, m, o, m); });
    alphaDst::Of<Dst>::over(d, m);
  }
};

template <class Store, class Dst>
struct alphaPelSrcAlphaKPremul {
  int K;
  void operator()(uint8_t* d, const uint8_t* colour, int a) const {
    const int k = K, w = ((255 - a) * K) >> 8;
    alphaDst::apply<Dst>(d, alphaDst::source<Store, Dst>(colour), [k, w](int s, int o) { return alphaDst::weigh(s, k, o, w); });
    alphaDst::Of<Dst>::over(d, w);
  }
};

template <class Store, class Dst>
struct alphaPelUnpremul {
  void operator()(uint8_t* d, const uint8_t* colour, int a) const {
    alphaDst::Of<Dst>::store(d, alphaDst::straight<Store, Dst>(colour, 255 - a));
  }
};
