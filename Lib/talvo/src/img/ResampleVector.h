// The whole-ratio block kernels (ResampleKernels.h) as templates over the
// vector unit V: V128 (SSE2, ResampleSse2.cpp) or V256 (AVX2,
// ResampleAvx2.cpp). Bytes are widened to 16-bit lanes, which hold the sum
// of up to 257 bytes. AVX2 unpacks and packs within 128-bit halves: V::cross
// puts packed pels back in order, and V::join_lo and join_hi the low and
// the high halves of two vectors together (SSE2 needs neither).
//
// Included only by the two files above; everything here has internal
// linkage.
#pragma once

#include <cstddef>
#include <cstdint>

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

}  // namespace
}  // namespace talvo::g::filter_rows
