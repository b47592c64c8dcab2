// The whole-ratio block kernels on SSE2, and the choice of kernels by the
// vector level.
#include "img/ResampleKernels.h"

#include "img/VectorLevel.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace talvo::g::filter_rows {
namespace {

struct V128 {
  using T = __m128i;
  static constexpr int bytes = 16;
  static T load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void store(std::uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static T zero() { return _mm_setzero_si128(); }
  static T set32(std::uint32_t v) { return _mm_set1_epi32(int(v)); }
  static T and_(T a, T b) { return _mm_and_si128(a, b); }
  static T add16(T a, T b) { return _mm_add_epi16(a, b); }
  static T add32(T a, T b) { return _mm_add_epi32(a, b); }
  static T mulhi16u(T a, T b) { return _mm_mulhi_epu16(a, b); }
  static T sub32(T a, T b) { return _mm_sub_epi32(a, b); }
  // The low 32 bits of each lane's product, from the 64-bit products of
  // lanes 0, 2 and of lanes 1, 3.
  static T mullo32(T a, T b) {
    const T even = _mm_mul_epu32(a, b), odd = _mm_mul_epu32(_mm_srli_si128(a, 4), _mm_srli_si128(b, 4));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
  }
  static T mullo32_128(T a, T b) { return mullo32(a, b); }
  template <int N> static T srai32(T v) { return _mm_srai_epi32(v, N); }
  template <int N> static T srli32(T v) { return _mm_srli_epi32(v, N); }
  template <int N> static T slli32(T v) { return _mm_slli_epi32(v, N); }
  static T srl16(T v, int n) { return _mm_srl_epi16(v, _mm_cvtsi32_si128(n)); }
  static T packus16(T a, T b) { return _mm_packus_epi16(a, b); }
  static T unpacklo8(T a, T b) { return _mm_unpacklo_epi8(a, b); }
  static T unpackhi8(T a, T b) { return _mm_unpackhi_epi8(a, b); }
  static T unpacklo64(T a, T b) { return _mm_unpacklo_epi64(a, b); }
  static T unpackhi64(T a, T b) { return _mm_unpackhi_epi64(a, b); }
  static T cross(T v) { return v; }
  static T join_lo(T a, T) { return a; }
  static T join_hi(T, T b) { return b; }
  // No gathers, and no averages of several pels at once.
  static constexpr std::size_t gather_pels = 0;
  static void mix(const std::uint8_t*, const std::int64_t*, const std::int64_t*, const std::int32_t*,
                  std::int32_t*) {}
  static bool sums(const std::uint8_t*, const std::int64_t*, const std::int64_t*, std::int32_t*) { return false; }
  static constexpr std::size_t average_pels = 0;
  static void average(const std::int32_t*, const std::int8_t*, int, std::uint32_t, std::uint8_t*) {}
};

}  // namespace
}  // namespace talvo::g::filter_rows

#include "img/ResampleVector.h"

namespace talvo::g::filter_rows {
const BlockKernels* const sse2_blocks = &Blocks<V128>::kernels;
const RowKernels* const sse2_rows = &Rows<V128>::kernels;
}  // namespace talvo::g::filter_rows

#else

namespace talvo::g::filter_rows {
const BlockKernels* const sse2_blocks = nullptr;
const RowKernels* const sse2_rows = nullptr;
}  // namespace talvo::g::filter_rows

#endif

namespace talvo::g::filter_rows {

const BlockKernels* block_kernels() {
  switch (vector_level::current()) {
    case vector_level::avx2:
      return avx2_blocks;
    case vector_level::sse2:
      return sse2_blocks;
    default:
      return nullptr;
  }
}

const RowKernels* row_kernels() {
  switch (vector_level::current()) {
    case vector_level::avx2:
      return avx2_rows;
    case vector_level::sse2:
      return sse2_rows;
    default:
      return nullptr;
  }
}

}  // namespace talvo::g::filter_rows
