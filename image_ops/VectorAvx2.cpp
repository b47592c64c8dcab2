// The row kernels on AVX2: 32-byte vectors. The file is compiled for AVX2;
// its kernels are only called where the processor has it.
#include "image_ops/VectorRows.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace talvo::g::vec {
namespace {

struct V256 {
  using T = __m256i;
  static constexpr int bytes = 32;
  static T load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void store(std::uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static T zero() { return _mm256_setzero_si256(); }
  static T set16(int v) { return _mm256_set1_epi16(short(v)); }
  static T set32(std::uint32_t v) { return _mm256_set1_epi32(int(v)); }
  static T and_(T a, T b) { return _mm256_and_si256(a, b); }
  static T or_(T a, T b) { return _mm256_or_si256(a, b); }
  static T andnot_(T a, T b) { return _mm256_andnot_si256(a, b); }  // ~a & b
  static T add16(T a, T b) { return _mm256_add_epi16(a, b); }
  static T sub16(T a, T b) { return _mm256_sub_epi16(a, b); }
  static T mullo16(T a, T b) { return _mm256_mullo_epi16(a, b); }
  template <int N> static T srli16(T v) { return _mm256_srli_epi16(v, N); }
  template <int N> static T slli16(T v) { return _mm256_slli_epi16(v, N); }
  template <int N> static T srai16(T v) { return _mm256_srai_epi16(v, N); }
  template <int N> static T srli32(T v) { return _mm256_srli_epi32(v, N); }
  template <int N> static T slli32(T v) { return _mm256_slli_epi32(v, N); }
  template <int N> static T srai32(T v) { return _mm256_srai_epi32(v, N); }
  static T cmpeq16(T a, T b) { return _mm256_cmpeq_epi16(a, b); }
  static T cmpeq32(T a, T b) { return _mm256_cmpeq_epi32(a, b); }
  static T pack_low16(T a, T b) { return _mm256_packus_epi32(a, b); }
  static T packus16(T a, T b) { return _mm256_packus_epi16(a, b); }
  static T unpacklo8(T a, T b) { return _mm256_unpacklo_epi8(a, b); }
  static T unpackhi8(T a, T b) { return _mm256_unpackhi_epi8(a, b); }
  static T unpacklo16(T a, T b) { return _mm256_unpacklo_epi16(a, b); }
  static T unpackhi16(T a, T b) { return _mm256_unpackhi_epi16(a, b); }
  // Lane 3 of each group of four 16-bit lanes (a pel's alpha) in all four.
  static T alpha16(T v) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, 0xFF), 0xFF); }
  // Packs and unpacks work within each 128-bit half: 64-bit quarters 1
  // and 2 swap places to put pels in order (the swap undoes itself).
  static T cross(T v) { return _mm256_permute4x64_epi64(v, 0xD8); }
};

}  // namespace
}  // namespace talvo::g::vec

#include "image_ops/VectorKernels.h"

namespace talvo::g::vec {
const RowFn* const avx2_rows = rows_of<V256>;
}  // namespace talvo::g::vec

#else

namespace talvo::g::vec {
const RowFn* const avx2_rows = nullptr;
}  // namespace talvo::g::vec

#endif
