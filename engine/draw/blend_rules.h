// The per-pel steps of the weighted operations: apply(d, s, a) blends the
// source pel s (a P8 source's table entry) into the destination pel d with
// the source's weight a out of 256 (the dispatcher keeps a in 0..256; a
// weight image's bytes give 0..255). Byte 3 of a 4-byte destination and bit
// 15 of a 16-bit one keep their values.
//
// Which step a pair takes (BlendOf):
//   - P8 and X8R8G8B8 onto X8R8G8B8, P8 and R5G6B5 onto R5G6B5: their own
//     arithmetic (ShiftOnceBlend, DifferenceBlend), which differs on purpose
//     from the other pairs' in the last bit;
//   - B, G, R bytes onto B, G, R bytes: the byte blend, in line;
//   - every other pair: the member pelAlpha of its layouts.
// Subtract and Modulate2X of those four pairs compute what the generic
// members and in-line steps compute, so their kernels use those steps.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/draw/frame_rules.h"

namespace drawFrame {

// Per byte B, G, R: ((d * (256 - a)) >> 8) + ((s * a) >> 8), each product
// truncated before the sum (255 over 255 at 128 gives 254).
struct ByteBlend {
  static void apply(uint8_t* d, const uint8_t* s, int a) {
    for (int i = 0; i < 3; ++i) d[i] = uint8_t(((d[i] * (256 - a)) >> 8) + ((s[i] * a) >> 8));
  }
};

// Onto X8R8G8B8 from P8 and X8R8G8B8: per byte ((s * a) + (d * (256 - a)))
// >> 8, the sum shifted once (white over white at 1 stays 255).
struct ShiftOnceBlend {
  static void apply(uint8_t* d, const uint8_t* s, int a) {
    for (int i = 0; i < 3; ++i) d[i] = uint8_t((s[i] * a + d[i] * (256 - a)) >> 8);
  }
};

// Onto R5G6B5 from P8 and R5G6B5: per field in its own width
// d + (((s - d) * a) >> 8), the shift arithmetic, so a negative product is
// floored (fields 3 and 1 at 128 give 2). image_ops' difference form of the
// same pair computes the same bits.
struct DifferenceBlend {
  static int field(int d, int s, int a) { return d + (((s - d) * a) >> 8); }
  static void apply(uint8_t* d, const uint8_t* s, int a) {
    const uint32_t dv = loadBytes<uint16_t>(d), sv = loadBytes<uint16_t>(s);
    const int r = field(int(dv >> 11), int(sv >> 11), a) & 31;
    const int g = field(int(dv >> 5 & 63), int(sv >> 5 & 63), a) & 63;
    const int b = field(int(dv & 31), int(sv & 31), a) & 31;
    const uint16_t v = uint16_t(r << 11 | g << 5 | b);
    std::memcpy(d, &v, 2);
  }
};

// The member of the pair's layouts.
template <class P, class D>
struct MemberBlend {
  static void apply(uint8_t* d, const uint8_t* s, int a) { pelAlpha<WordOf<P>, WordOf<D>>(d, s, a); }
};

// AlphaAdd: the member of the pair's layouts, for every pair.
template <class P, class D>
struct AlphaAddBlend {
  static void apply(uint8_t* d, const uint8_t* s, int a) { pelAlphaAdd<WordOf<P>, WordOf<D>>(d, s, a); }
};

// The four pairs with their own blends.
template <class S, class D>
constexpr bool specialisedPair = (std::is_same_v<S, P8> || std::is_same_v<S, D>) &&
                                 (std::is_same_v<D, X8R8G8B8> || std::is_same_v<D, R5G6B5>);

template <class P>
constexpr bool bgrBytes = std::is_same_v<WordOf<P>, R8G8B8>;

// The Alpha and AlphaMap step of a source group S onto D.
template <class S, class D, class P = typename Source<S, D>::Pel>
using BlendOf = std::conditional_t<
    specialisedPair<S, D>, std::conditional_t<std::is_same_v<D, R5G6B5>, DifferenceBlend, ShiftOnceBlend>,
    std::conditional_t<bgrBytes<P> && bgrBytes<D>, ByteBlend, MemberBlend<P, D>>>;

template <class S, class D>
using AlphaAddOf = AlphaAddBlend<typename Source<S, D>::Pel, D>;

}  // namespace drawFrame
