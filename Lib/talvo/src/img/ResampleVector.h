// The whole-ratio block kernels (ResampleKernels.h) as templates over the
// vector unit V: V128 (SSE2, ResampleSse2.cpp) or V256 (AVX2,
// ResampleAvx2.cpp). Bytes are widened to 16-bit lanes, which hold the sum
// of up to 257 bytes. AVX2 unpacks and packs within 128-bit halves: V::cross
// puts packed pels back in order, and V::join_lo and join_hi the low and
// the high halves of two vectors together (SSE2 needs neither).
//
// The row kernels of the other ratios work on 32-bit lanes; those that
// take one pel at a time use 128-bit vectors at both levels (V::mullo32_128
// is SSE2's exact emulation or the SSE4.1 instruction).
//
// Included only by the two files above, after their vector unit (built on
// img/VectorUnits.h); everything here has internal linkage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "img/ResampleKernels.h"

namespace talvo::g::filter_rows {
namespace {

template <class V>
struct Blocks {
  using T = typename V::T;
  static constexpr std::size_t pels = V::bytes / 4;  // pels a vector

  // Sums are four 16-bit lanes a block, so a vector of sums holds pels / 2
  // blocks.
  static std::size_t add_blocks(const std::uint8_t* row, std::size_t blocks, std::int64_t bx, std::uint16_t* sums) {
    const T zero = V::zero();
    std::size_t j = 0;
    if (bx == 1) {
      // One pel a block: each vector's pels widened into two of sums.
      for (; j + pels <= blocks; j += pels, row += V::bytes) {
        const T v = V::load(row);
        const T a = V::unpacklo8(v, zero), b = V::unpackhi8(v, zero);
        std::uint8_t* s = reinterpret_cast<std::uint8_t*>(sums + 4 * j);
        V::store(s, V::add16(V::load(s), V::join_lo(a, b)));
        V::store(s + V::bytes, V::add16(V::load(s + V::bytes), V::join_hi(a, b)));
      }
      return j;
    }
    if (bx == 2) {
      // Two pels a block: within each 128-bit part, pels p0..p3 widen to
      // (p0 p1) (p2 p3), and the 64-bit halves regroup to (p0 p2) + (p1 p3),
      // the part's two blocks in order.
      for (; j + pels / 2 <= blocks; j += pels / 2, row += V::bytes) {
        const T v = V::load(row);
        const T a = V::unpacklo8(v, zero), b = V::unpackhi8(v, zero);
        const T pair = V::add16(V::unpacklo64(a, b), V::unpackhi64(a, b));
        std::uint8_t* s = reinterpret_cast<std::uint8_t*>(sums + 4 * j);
        V::store(s, V::add16(V::load(s), pair));
      }
      return j;
    }
    // Wider blocks go the portable way.
    return 0;
  }

  static std::size_t average(const std::uint16_t* sums, std::size_t blocks, int shift, bool four, std::uint8_t* dst) {
    const T keep = V::set32(four ? 0xFFFFFFFFu : 0x00FFFFFFu);
    std::size_t j = 0;
    for (; j + pels <= blocks; j += pels, dst += V::bytes) {
      const std::uint8_t* s = reinterpret_cast<const std::uint8_t*>(sums + 4 * j);
      const T a = V::srl16(V::load(s), shift), b = V::srl16(V::load(s + V::bytes), shift);
      V::store(dst, V::and_(V::cross(V::packus16(a, b)), keep));
    }
    return j;
  }

  static constexpr BlockKernels kernels{add_blocks, average};
};

// A pel's four bytes in the 32-bit lanes of a 128-bit vector.
inline __m128i widen(const std::uint8_t* p) {
  std::int32_t v;
  std::memcpy(&v, p, 4);
  const __m128i zero = _mm_setzero_si128();
  return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(v), zero), zero);
}

template <class V>
struct Rows {
  using T = typename V::T;
  static constexpr std::size_t lanes = V::bytes / 4;

  // One pel a 128-bit vector: the products (c - a) * fraction are below
  // 2^24 in size.
  static void mix(const std::uint8_t* line, const std::int64_t* corner, const std::int64_t* neighbour,
                  const std::int32_t* fraction, std::size_t width, std::int32_t* out) {
    std::size_t j = 0;
    if constexpr (V::gather_pels > 0)
      for (; j + V::gather_pels <= width; j += V::gather_pels, out += 4 * V::gather_pels)
        V::mix(line, corner + j, neighbour + j, fraction + j, out);
    for (; j < width; ++j, out += 4) {
      const __m128i a = widen(line + corner[j] * 4), c = widen(line + neighbour[j] * 4);
      const __m128i m = V::mullo32_128(_mm_sub_epi32(c, a), _mm_set1_epi32(fraction[j]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_add_epi32(_mm_slli_epi32(a, 16), m));
    }
  }

  static void sums(const std::uint8_t* line, const std::int64_t* first, const std::int64_t* last, std::size_t width,
                   std::int32_t* out) {
    std::size_t j = 0;
    if constexpr (V::gather_pels > 0)
      for (; j + V::gather_pels <= width && V::sums(line, first + j, last + j, out); j += V::gather_pels)
        out += 4 * V::gather_pels;
    for (; j < width; ++j, out += 4) {
      __m128i s = _mm_setzero_si128();
      for (std::int64_t k = first[j]; k <= last[j]; ++k) s = _mm_add_epi32(s, widen(line + k * 4));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), s);
    }
  }

  // The same sum as the portable code, rearranged: (d >> 16) * f and
  // (bs - ts) * f as one product of their sum, which lies within +-2^15
  // where a pel's samples sum below 2^31 (at most 127 inner columns), so
  // that the product stays within 32 bits; and (d & 0xFFFF) * f >> 16 as
  // the high half of a 16-bit unsigned product in each lane's low half
  // (the high half of f's lane is 0, so the lane's high half comes out 0).
  static std::size_t combine(const std::int32_t* tm, const std::int32_t* bm, const std::int32_t* ts,
                             const std::int32_t* bs, const std::int32_t* in, std::int32_t f, std::size_t n,
                             std::int32_t* out) {
    const T fv = V::set32(std::uint32_t(f));
    std::size_t at = 0;
    for (; at + lanes <= n; at += lanes) {
      auto load = [&](const std::int32_t* p) { return V::load(reinterpret_cast<const std::uint8_t*>(p + at)); };
      const T t = load(tm), d = V::sub32(load(bm), t), st = load(ts), sb = load(bs);
      const T whole = V::add32(V::template srai32<16>(d), V::sub32(sb, st));
      T sum = V::add32(t, V::mulhi16u(d, fv));
      sum = V::add32(sum, V::mullo32(whole, fv));
      sum = V::add32(sum, V::add32(V::template slli32<16>(st), load(in)));
      V::store(reinterpret_cast<std::uint8_t*>(out + at), V::template srai32<16>(sum));
    }
    return at;
  }

  // The wholes are at most 255 after the shift: two packs take them to
  // bytes.
  static void average(const std::int32_t* wholes, const std::int8_t* shift, int row_shift, std::size_t width,
                      bool four, std::uint8_t* dst) {
    const std::uint32_t keep = four ? 0xFFFFFFFFu : 0x00FFFFFFu;
    std::size_t j = 0;
    if constexpr (V::average_pels > 0)
      for (; j + V::average_pels <= width; j += V::average_pels) {
        std::uint64_t signs;
        std::memcpy(&signs, shift + j, 8);
        if (signs & 0x8080808080808080u) break;  // the rest pel by pel
        V::average(wholes + 4 * j, shift + j, row_shift, keep, dst + 4 * j);
      }
    for (; j < width; ++j) {
      if (shift[j] < 0) continue;
      const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(wholes + 4 * j));
      const __m128i v = _mm_srl_epi32(w, _mm_cvtsi32_si128(shift[j] + row_shift));
      const __m128i p = _mm_packus_epi16(_mm_packs_epi32(v, v), v);
      const std::uint32_t pel = std::uint32_t(_mm_cvtsi128_si32(p)) & keep;
      std::memcpy(dst + 4 * j, &pel, 4);
    }
  }

  static constexpr RowKernels kernels{mix, sums, combine, average};
};

}  // namespace
}  // namespace talvo::g::filter_rows
