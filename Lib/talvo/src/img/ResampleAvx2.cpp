// The whole-ratio block kernels on AVX2. The file is compiled for AVX2; its
// kernels are only called where the processor has it.
#include "img/ResampleKernels.h"

#if defined(__AVX2__)
#include <cstring>

#include "img/VectorUnits.h"

namespace talvo::g::filter_rows {
namespace {

// The vector unit with the gathers of four columns and the averages of
// eight pels.
struct V256 : simd::V256 {
  // The mixes and the inner sums of four columns: a vector of 32-bit lanes
  // for each two pels, each fraction in its pel's four lanes.
  static constexpr std::size_t gather_pels = 4;
  // Four pels by four loads (which beat a gather on some processors).
  static __m128i pick(const std::uint8_t* line, const std::int64_t* at) {
    std::int32_t p[4];
    for (int k = 0; k < 4; ++k) std::memcpy(&p[k], line + at[k] * 4, 4);
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  static T spread(__m128i v, int first) {
    return _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(v), _mm256_setr_epi32(first, first, first, first,
                                                                                       first + 1, first + 1,
                                                                                       first + 1, first + 1));
  }
  static void mix(const std::uint8_t* line, const std::int64_t* corner, const std::int64_t* neighbour,
                  const std::int32_t* fraction, std::int32_t* out) {
    const __m128i a = pick(line, corner), c = pick(line, neighbour);
    const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fraction));
    for (int half = 0; half < 2; ++half) {
      const T wa = _mm256_cvtepu8_epi32(half ? _mm_srli_si128(a, 8) : a);
      const T wc = _mm256_cvtepu8_epi32(half ? _mm_srli_si128(c, 8) : c);
      const T m = _mm256_mullo_epi32(_mm256_sub_epi32(wc, wa), spread(f, 2 * half));
      store(reinterpret_cast<std::uint8_t*>(out + 8 * half), _mm256_add_epi32(_mm256_slli_epi32(wa, 16), m));
    }
  }
  // Only where each column has at most one inner pel; false, and nothing
  // written, otherwise.
  static bool sums(const std::uint8_t* line, const std::int64_t* first, const std::int64_t* last, std::int32_t* out) {
    const T f = load(reinterpret_cast<const std::uint8_t*>(first));
    const T l = load(reinterpret_cast<const std::uint8_t*>(last));
    const T d = _mm256_sub_epi64(l, f);  // -1: no inner pel, 0: one
    if (_mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi64(d, _mm256_set1_epi64x(-1)),
                                             _mm256_cmpeq_epi64(d, _mm256_setzero_si256()))) != -1)
      return false;
    // The pel at last is in the row either way; where it is no inner pel,
    // its bytes are cleared.
    const __m128i one = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
        _mm256_cmpeq_epi64(d, _mm256_setzero_si256()), _mm256_setr_epi32(0, 2, 4, 6, 0, 0, 0, 0)));
    const __m128i p = _mm_and_si128(pick(line, last), one);
    store(reinterpret_cast<std::uint8_t*>(out), _mm256_cvtepu8_epi32(p));
    store(reinterpret_cast<std::uint8_t*>(out + 8), _mm256_cvtepu8_epi32(_mm_srli_si128(p, 8)));
    return true;
  }

  // The averages of eight pels, two a vector of wholes: each pel's four
  // lanes shifted by its own count, packed to 16 and then 8 bits (pels 0 2
  // 4 6 | 1 3 5 7 after the packs) and put in order. The shifts are at
  // least 0 (8 bytes at shift, read at once).
  static constexpr std::size_t average_pels = 8;
  static void average(const std::int32_t* wholes, const std::int8_t* shift, int row_shift, std::uint32_t keep,
                      std::uint8_t* dst) {
    std::int64_t bytes;
    std::memcpy(&bytes, shift, 8);
    const T shifts = _mm256_add_epi32(_mm256_cvtepi8_epi32(_mm_cvtsi64_si128(bytes)), _mm256_set1_epi32(row_shift));
    T v[4];
    for (int q = 0; q < 4; ++q) {
      const T each = _mm256_permutevar8x32_epi32(shifts, _mm256_setr_epi32(2 * q, 2 * q, 2 * q, 2 * q, 2 * q + 1,
                                                                           2 * q + 1, 2 * q + 1, 2 * q + 1));
      v[q] = _mm256_srlv_epi32(load(reinterpret_cast<const std::uint8_t*>(wholes + 8 * q)), each);
    }
    const T bytes8 = _mm256_packus_epi16(_mm256_packs_epi32(v[0], v[1]), _mm256_packs_epi32(v[2], v[3]));
    const T ordered = _mm256_permutevar8x32_epi32(bytes8, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    store(dst, _mm256_and_si256(ordered, _mm256_set1_epi32(int(keep))));
  }
};

}  // namespace
}  // namespace talvo::g::filter_rows

#include "img/ResampleVector.h"

namespace talvo::g::filter_rows {
const BlockKernels* const avx2_blocks = &Blocks<V256>::kernels;
const RowKernels* const avx2_rows = &Rows<V256>::kernels;
}  // namespace talvo::g::filter_rows

#else

namespace talvo::g::filter_rows {
const BlockKernels* const avx2_blocks = nullptr;
const RowKernels* const avx2_rows = nullptr;
}  // namespace talvo::g::filter_rows

#endif
