// The row kernels on SSE2: 16-byte vectors.
#include "image_ops/VectorRows.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace talvo::g::vec {
namespace {

struct V128 {
  using T = __m128i;
  static constexpr int bytes = 16;
  static T load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void store(std::uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static T zero() { return _mm_setzero_si128(); }
  static T set16(int v) { return _mm_set1_epi16(short(v)); }
  static T set32(std::uint32_t v) { return _mm_set1_epi32(int(v)); }
  static T and_(T a, T b) { return _mm_and_si128(a, b); }
  static T or_(T a, T b) { return _mm_or_si128(a, b); }
  static T andnot_(T a, T b) { return _mm_andnot_si128(a, b); }  // ~a & b
  static T add16(T a, T b) { return _mm_add_epi16(a, b); }
  static T sub16(T a, T b) { return _mm_sub_epi16(a, b); }
  static T mullo16(T a, T b) { return _mm_mullo_epi16(a, b); }
  template <int N> static T srli16(T v) { return _mm_srli_epi16(v, N); }
  template <int N> static T slli16(T v) { return _mm_slli_epi16(v, N); }
  template <int N> static T srai16(T v) { return _mm_srai_epi16(v, N); }
  template <int N> static T srli32(T v) { return _mm_srli_epi32(v, N); }
  template <int N> static T slli32(T v) { return _mm_slli_epi32(v, N); }
  template <int N> static T srai32(T v) { return _mm_srai_epi32(v, N); }
  static T cmpeq16(T a, T b) { return _mm_cmpeq_epi16(a, b); }
  static T cmpeq32(T a, T b) { return _mm_cmpeq_epi32(a, b); }
  // SSE2 packs signed only: each lane is first sign-extended from 16 bits.
  static T pack_low16(T a, T b) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16), _mm_srai_epi32(_mm_slli_epi32(b, 16), 16));
  }
  static T packus16(T a, T b) { return _mm_packus_epi16(a, b); }
  static T unpacklo8(T a, T b) { return _mm_unpacklo_epi8(a, b); }
  static T unpackhi8(T a, T b) { return _mm_unpackhi_epi8(a, b); }
  static T unpacklo16(T a, T b) { return _mm_unpacklo_epi16(a, b); }
  static T unpackhi16(T a, T b) { return _mm_unpackhi_epi16(a, b); }
  // Lane 3 of each group of four 16-bit lanes (a pel's alpha) in all four.
  static T alpha16(T v) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xFF), 0xFF); }
  static T cross(T v) { return v; }
};

}  // namespace
}  // namespace talvo::g::vec

#include "image_ops/VectorKernels.h"

namespace talvo::g::vec {
const RowFn* const sse2_rows = rows_of<V128>;
}  // namespace talvo::g::vec

#else

namespace talvo::g::vec {
const RowFn* const sse2_rows = nullptr;
}  // namespace talvo::g::vec

#endif
