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
  static T srl16(T v, int n) { return _mm_srl_epi16(v, _mm_cvtsi32_si128(n)); }
  static T packus16(T a, T b) { return _mm_packus_epi16(a, b); }
  static T unpacklo8(T a, T b) { return _mm_unpacklo_epi8(a, b); }
  static T unpackhi8(T a, T b) { return _mm_unpackhi_epi8(a, b); }
  static T unpacklo64(T a, T b) { return _mm_unpacklo_epi64(a, b); }
  static T unpackhi64(T a, T b) { return _mm_unpackhi_epi64(a, b); }
  static T cross(T v) { return v; }
  static T join_lo(T a, T) { return a; }
  static T join_hi(T, T b) { return b; }
};

}  // namespace
}  // namespace talvo::g::filter_rows

#include "img/ResampleVector.h"

namespace talvo::g::filter_rows {
const BlockKernels* const sse2_blocks = &Blocks<V128>::kernels;
}  // namespace talvo::g::filter_rows

#else

namespace talvo::g::filter_rows {
const BlockKernels* const sse2_blocks = nullptr;
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

}  // namespace talvo::g::filter_rows
