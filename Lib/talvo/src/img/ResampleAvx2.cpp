// The whole-ratio block kernels on AVX2. The file is compiled for AVX2; its
// kernels are only called where the processor has it.
#include "img/ResampleKernels.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace talvo::g::filter_rows {
namespace {

struct V256 {
  using T = __m256i;
  static constexpr int bytes = 32;
  static T load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void store(std::uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static T zero() { return _mm256_setzero_si256(); }
  static T set32(std::uint32_t v) { return _mm256_set1_epi32(int(v)); }
  static T and_(T a, T b) { return _mm256_and_si256(a, b); }
  static T add16(T a, T b) { return _mm256_add_epi16(a, b); }
  static T add32(T a, T b) { return _mm256_add_epi32(a, b); }
  static T sub32(T a, T b) { return _mm256_sub_epi32(a, b); }
  static T mullo32(T a, T b) { return _mm256_mullo_epi32(a, b); }
  static __m128i mullo32_128(__m128i a, __m128i b) { return _mm_mullo_epi32(a, b); }
  template <int N> static T srai32(T v) { return _mm256_srai_epi32(v, N); }
  template <int N> static T srli32(T v) { return _mm256_srli_epi32(v, N); }
  template <int N> static T slli32(T v) { return _mm256_slli_epi32(v, N); }
  static T srl16(T v, int n) { return _mm256_srl_epi16(v, _mm_cvtsi32_si128(n)); }
  static T packus16(T a, T b) { return _mm256_packus_epi16(a, b); }
  static T unpacklo8(T a, T b) { return _mm256_unpacklo_epi8(a, b); }
  static T unpackhi8(T a, T b) { return _mm256_unpackhi_epi8(a, b); }
  static T unpacklo64(T a, T b) { return _mm256_unpacklo_epi64(a, b); }
  static T unpackhi64(T a, T b) { return _mm256_unpackhi_epi64(a, b); }
  // 64-bit quarters 1 and 2 swap places (the swap undoes itself).
  static T cross(T v) { return _mm256_permute4x64_epi64(v, 0xD8); }
  static T join_lo(T a, T b) { return _mm256_permute2x128_si256(a, b, 0x20); }
  static T join_hi(T a, T b) { return _mm256_permute2x128_si256(a, b, 0x31); }
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
