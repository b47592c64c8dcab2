// The per-pel operations of the software draw: one member per operation and
// pair of channel layouts, called once per drawn pel by the draw kernels and
// by the alpha and RLE8 images' kernels.
//
//   pelAdd<R8G8B8, R5G6B5>{}(dst, src);      // a mode functor
//   pelAlpha<X1R5G5B5, R5G6B5>(dst, src, a); // a weighted function
//
// Layout words: R8G8B8 stands for every 3- or 4-byte pel (bytes B, G, R; byte
// 3 of a destination is never written, of a source never read), R5G6B5,
// X1R5G5B5 and A1R5G5B5 for their 16-bit pels (bit 15 of a source ignored, of
// a destination kept). Pels are reached through byte pointers and may be
// unaligned.
//
// Channels are widened by shifting left (5-bit fields by 3, the 6-bit green
// by 2) and narrowed by shifting right. Every member masks what it stores to
// its field, so no weight, however far outside 0..256, reaches a neighbouring
// field, byte 3 or bit 15.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/pel.h"

// The operations, each with its rule on one 8-bit channel.
namespace imgOp {
struct Copy {};
struct Alpha {};
struct AlphaAdd {};
struct AlphaMap {};
struct Modulate {
  static int ch(int d, int s) { return (d * s) >> 8; }
};
struct Modulate2X {
  static int ch(int d, int s) { return std::min(255, (d * s) >> 7); }
};
struct Modulate4X {
  static int ch(int d, int s) { return std::min(255, (d * s) >> 6); }
};
struct Add {
  static int ch(int d, int s) { return std::min(255, d + s); }
};
struct AddSigned {
  static int ch(int d, int s) { return std::clamp(d + s - 128, 0, 255); }
};
struct AddSigned2X {
  static int ch(int d, int s) { return std::clamp(2 * (d + s) - 256, 0, 255); }
};
struct Subtract {
  static int ch(int d, int s) { return std::max(0, d - s); }
};
struct AddSmooth {
  static int ch(int d, int s) { return std::min(255, d + (((256 - d) * s) >> 8)); }
};
}  // namespace imgOp

namespace pelDetail {

// Three channel values: 8-bit when widened, field-wide when native.
struct Channels {
  int64_t b, g, r;
};

// What a layout word reads and writes.
template <class Word>
struct WordOf;

template <>
struct WordOf<R8G8B8> {
  static constexpr bool bytes = true;
  static constexpr int rBits = 8, gBits = 8, bBits = 8;
  static Channels wide(const void* p) {
    const auto* b = static_cast<const uint8_t*>(p);
    return {b[0], b[1], b[2]};
  }
  static void storeWide(void* p, const Channels& c) {
    auto* b = static_cast<uint8_t*>(p);
    b[0] = uint8_t(c.b);
    b[1] = uint8_t(c.g);
    b[2] = uint8_t(c.r);
  }
  static Channels native(const void* p) { return wide(p); }
};
template <>
struct WordOf<X8R8G8B8> : WordOf<R8G8B8> {};
template <>
struct WordOf<A8R8G8B8> : WordOf<R8G8B8> {};

// A 16-bit word of fields R, G, B (widths RB, GB, 5; bit 15 kept when the
// fields leave it free).
template <int RB, int GB>
struct Word16 {
  static constexpr bool bytes = false;
  static constexpr int rBits = RB, gBits = GB, bBits = 5;
  static constexpr int gShift = 5, rShift = 5 + GB;
  static constexpr uint16_t keep = RB + GB + 5 == 16 ? 0 : 0x8000;
  static uint16_t load(const void* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  static Channels native(const void* p) {
    const uint16_t v = load(p);
    return {v & 31, (v >> gShift) & ((1 << GB) - 1), (v >> rShift) & ((1 << RB) - 1)};
  }
  static void storeNative(void* p, const Channels& c) {
    const uint16_t v = uint16_t((load(p) & keep) | (c.r & ((1 << RB) - 1)) << rShift |
                                (c.g & ((1 << GB) - 1)) << gShift | (c.b & 31));
    std::memcpy(p, &v, 2);
  }
  static Channels wide(const void* p) {
    const Channels n = native(p);
    return {n.b << 3, n.g << (8 - GB), n.r << (8 - RB)};
  }
  static void storeWide(void* p, const Channels& c) {
    storeNative(p, {c.b >> 3, c.g >> (8 - GB), c.r >> (8 - RB)});
  }
};
template <>
struct WordOf<R5G6B5> : Word16<5, 6> {};
template <>
struct WordOf<X1R5G5B5> : Word16<5, 5> {};
template <>
struct WordOf<A1R5G5B5> : Word16<5, 5> {};

// A field of `from` bits brought to `to` bits by shifting.
constexpr int64_t refit(int64_t v, int from, int to) { return from >= to ? v >> (from - to) : v << (to - from); }

}  // namespace pelDetail

// Mode functor: the operation's rule on each widened channel, narrowed into
// the destination.
template <class Rule, class Src, class Dst>
struct pelModeOp {
  void operator()(void* dst, const void* src) const {
    using D = pelDetail::WordOf<Dst>;
    const pelDetail::Channels d = D::wide(dst), s = pelDetail::WordOf<Src>::wide(src);
    D::storeWide(dst, {Rule::ch(int(d.b), int(s.b)), Rule::ch(int(d.g), int(s.g)), Rule::ch(int(d.r), int(s.r))});
  }
};

template <class Src, class Dst>
using pelAdd = pelModeOp<imgOp::Add, Src, Dst>;
template <class Src, class Dst>
using pelModulate = pelModeOp<imgOp::Modulate, Src, Dst>;
template <class Src, class Dst>
using pelModulate2X = pelModeOp<imgOp::Modulate2X, Src, Dst>;
template <class Src, class Dst>
using pelModulate4X = pelModeOp<imgOp::Modulate4X, Src, Dst>;
template <class Src, class Dst>
using pelAddSigned = pelModeOp<imgOp::AddSigned, Src, Dst>;
template <class Src, class Dst>
using pelAddSigned2X = pelModeOp<imgOp::AddSigned2X, Src, Dst>;
template <class Src, class Dst>
using pelSubtract = pelModeOp<imgOp::Subtract, Src, Dst>;
template <class Src, class Dst>
using pelAddSmooth = pelModeOp<imgOp::AddSmooth, Src, Dst>;

// The blend at weight a (the source's share out of 256). Onto B, G, R bytes:
// ((d * (256 - a)) >> 8) + ((s * a) >> 8) per byte, s widened. Onto a 16-bit
// destination: the source brought to the destination's field widths, then
// ((s * a) >> 8) + ((d * (256 - a)) >> 8) per field, without widening.
template <class Src, class Dst>
inline void pelAlpha(void* dst, const void* src, int a) {
  using D = pelDetail::WordOf<Dst>;
  using S = pelDetail::WordOf<Src>;
  const int64_t w = a, rest = 256 - w;
  if constexpr (D::bytes) {
    const pelDetail::Channels d = D::wide(dst), s = S::wide(src);
    D::storeWide(dst, {((d.b * rest) >> 8) + ((s.b * w) >> 8), ((d.g * rest) >> 8) + ((s.g * w) >> 8),
                       ((d.r * rest) >> 8) + ((s.r * w) >> 8)});
  } else {
    const pelDetail::Channels d = D::native(dst), n = S::native(src);
    const pelDetail::Channels s = {pelDetail::refit(n.b, S::bBits, D::bBits), pelDetail::refit(n.g, S::gBits, D::gBits),
                                   pelDetail::refit(n.r, S::rBits, D::rBits)};
    D::storeNative(dst, {((s.b * w) >> 8) + ((d.b * rest) >> 8), ((s.g * w) >> 8) + ((d.g * rest) >> 8),
                         ((s.r * w) >> 8) + ((d.r * rest) >> 8)});
  }
}

// min(255, ((d * (256 - a)) >> 8) + s) on widened channels, for every pair.
template <class Src, class Dst>
inline void pelAlphaAdd(void* dst, const void* src, int a) {
  using D = pelDetail::WordOf<Dst>;
  const int64_t rest = 256 - int64_t(a);
  const pelDetail::Channels d = D::wide(dst), s = pelDetail::WordOf<Src>::wide(src);
  D::storeWide(dst, {std::min<int64_t>(255, ((d.b * rest) >> 8) + s.b), std::min<int64_t>(255, ((d.g * rest) >> 8) + s.g),
                     std::min<int64_t>(255, ((d.r * rest) >> 8) + s.r)});
}

// --- Conversions into A1R5G5B5 ---------------------------------------------------
// Every bit written: each channel >> 3 into its 5-bit field, bit 15 set, or
// from byte 3 (A >> 7) for A8R8G8B8.

template <>
inline A1R5G5B5& pelConvert<R8G8B8, A1R5G5B5>(A1R5G5B5& d, const R8G8B8& s) {
  d.v = 0x8000;
  pelPackX1R5G5B5(d.v, s.r >> 3, s.g >> 3, s.b >> 3);
  return d;
}

template <>
inline A1R5G5B5& pelConvert<A8R8G8B8, A1R5G5B5>(A1R5G5B5& d, const A8R8G8B8& s) {
  d.v = uint16_t((s.a >> 7) << 15);
  pelPackX1R5G5B5(d.v, s.r >> 3, s.g >> 3, s.b >> 3);
  return d;
}

template <>
inline A1R5G5B5& pelConvert<X8R8G8B8, A1R5G5B5>(A1R5G5B5& d, const X8R8G8B8& s) {
  d.v = 0x8000;
  pelPackX1R5G5B5(d.v, s.r >> 3, s.g >> 3, s.b >> 3);
  return d;
}
