// The vector units the row kernels are written over: V128 (SSE2, 16-byte
// vectors) and V256 (AVX2, 32-byte vectors), each a struct of the same named
// loads, stores and lane operations over the intrinsics, so one kernel
// template serves both levels (talvo::g::simd::V128::add16(a, b), ...).
//
// Each struct is there only where the file is compiled for its instruction
// set (__SSE2__, __AVX2__): a file compiled with -mavx2 sees both, a plain
// x86-64 file only V128, any other processor neither. Everything here has
// internal linkage: the same inline function compiled for AVX2 in one file
// and for SSE2 in another must never be merged into one by the linker.
//
// AVX2 packs, unpacks and shuffles work within each 128-bit half; V::cross
// puts the 64-bit quarters of a packed result back in order (nothing on
// SSE2), and V::join_lo and V::join_hi put the low and the high halves of
// two vectors together.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace talvo::g::simd {
namespace {

#if defined(__SSE2__)
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
  static T add32(T a, T b) { return _mm_add_epi32(a, b); }
  static T sub32(T a, T b) { return _mm_sub_epi32(a, b); }
  static T mullo16(T a, T b) { return _mm_mullo_epi16(a, b); }
  static T mulhi16u(T a, T b) { return _mm_mulhi_epu16(a, b); }
  // Signed 16-bit products, each pair of lanes summed into its 32-bit lane.
  static T madd16(T a, T b) { return _mm_madd_epi16(a, b); }
  static T min16(T a, T b) { return _mm_min_epi16(a, b); }  // signed
  static T adds8u(T a, T b) { return _mm_adds_epu8(a, b); }  // saturating at 255
  // The low 32 bits of each lane's product, from the 64-bit products of
  // lanes 0, 2 and of lanes 1, 3.
  static T mullo32(T a, T b) {
    const T even = _mm_mul_epu32(a, b), odd = _mm_mul_epu32(_mm_srli_si128(a, 4), _mm_srli_si128(b, 4));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
  }
  // mullo32 on 128 bits at either level (the same vector here).
  static __m128i mullo32_128(__m128i a, __m128i b) { return mullo32(a, b); }
  template <int N> static T srli16(T v) { return _mm_srli_epi16(v, N); }
  template <int N> static T slli16(T v) { return _mm_slli_epi16(v, N); }
  template <int N> static T srai16(T v) { return _mm_srai_epi16(v, N); }
  template <int N> static T srli32(T v) { return _mm_srli_epi32(v, N); }
  template <int N> static T slli32(T v) { return _mm_slli_epi32(v, N); }
  template <int N> static T srai32(T v) { return _mm_srai_epi32(v, N); }
  static T srl16(T v, int n) { return _mm_srl_epi16(v, _mm_cvtsi32_si128(n)); }
  static T cmpeq16(T a, T b) { return _mm_cmpeq_epi16(a, b); }
  static T cmpeq32(T a, T b) { return _mm_cmpeq_epi32(a, b); }
  // The top bit of each byte, byte 0's in bit 0.
  static std::uint32_t movemask8(T v) { return std::uint32_t(_mm_movemask_epi8(v)); }
  // 32-bit lanes of 0 to 65535 packed to 16 bits, a's then b's. SSE2 packs
  // signed only: each lane is first sign-extended from 16 bits.
  static T pack_low16(T a, T b) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16), _mm_srai_epi32(_mm_slli_epi32(b, 16), 16));
  }
  static T packus16(T a, T b) { return _mm_packus_epi16(a, b); }
  static T unpacklo8(T a, T b) { return _mm_unpacklo_epi8(a, b); }
  static T unpackhi8(T a, T b) { return _mm_unpackhi_epi8(a, b); }
  static T unpacklo16(T a, T b) { return _mm_unpacklo_epi16(a, b); }
  static T unpackhi16(T a, T b) { return _mm_unpackhi_epi16(a, b); }
  static T unpacklo64(T a, T b) { return _mm_unpacklo_epi64(a, b); }
  static T unpackhi64(T a, T b) { return _mm_unpackhi_epi64(a, b); }
  // Lane 3 of each group of four 16-bit lanes (a pel's alpha) in all four.
  static T alpha16(T v) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xFF), 0xFF); }
  static T cross(T v) { return v; }
  static T join_lo(T a, T) { return a; }
  static T join_hi(T, T b) { return b; }
};
#endif

#if defined(__AVX2__)
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
  static T add32(T a, T b) { return _mm256_add_epi32(a, b); }
  static T sub32(T a, T b) { return _mm256_sub_epi32(a, b); }
  static T mullo16(T a, T b) { return _mm256_mullo_epi16(a, b); }
  static T mulhi16u(T a, T b) { return _mm256_mulhi_epu16(a, b); }
  // Signed 16-bit products, each pair of lanes summed into its 32-bit lane.
  static T madd16(T a, T b) { return _mm256_madd_epi16(a, b); }
  // Beyond SSE2 (V128 has neither): (a * b + 2^14) >> 15 of signed 16-bit
  // lanes; and the unsigned bytes of a by the signed bytes of b, each pair
  // of products summed into a 16-bit lane (saturated).
  static T mulhrs16(T a, T b) { return _mm256_mulhrs_epi16(a, b); }
  static T maddubs16(T a, T b) { return _mm256_maddubs_epi16(a, b); }
  static T min16(T a, T b) { return _mm256_min_epi16(a, b); }  // signed
  static T adds8u(T a, T b) { return _mm256_adds_epu8(a, b); }  // saturating at 255
  static T mullo32(T a, T b) { return _mm256_mullo_epi32(a, b); }
  static __m128i mullo32_128(__m128i a, __m128i b) { return _mm_mullo_epi32(a, b); }
  template <int N> static T srli16(T v) { return _mm256_srli_epi16(v, N); }
  template <int N> static T slli16(T v) { return _mm256_slli_epi16(v, N); }
  template <int N> static T srai16(T v) { return _mm256_srai_epi16(v, N); }
  template <int N> static T srli32(T v) { return _mm256_srli_epi32(v, N); }
  template <int N> static T slli32(T v) { return _mm256_slli_epi32(v, N); }
  template <int N> static T srai32(T v) { return _mm256_srai_epi32(v, N); }
  static T srl16(T v, int n) { return _mm256_srl_epi16(v, _mm_cvtsi32_si128(n)); }
  static T cmpeq16(T a, T b) { return _mm256_cmpeq_epi16(a, b); }
  static T cmpeq32(T a, T b) { return _mm256_cmpeq_epi32(a, b); }
  // The top bit of each byte, byte 0's in bit 0.
  static std::uint32_t movemask8(T v) { return std::uint32_t(_mm256_movemask_epi8(v)); }
  // 32-bit lanes of 0 to 65535 packed to 16 bits, a's and b's by 128-bit
  // halves as every AVX2 pack.
  static T pack_low16(T a, T b) { return _mm256_packus_epi32(a, b); }
  static T packus16(T a, T b) { return _mm256_packus_epi16(a, b); }
  static T unpacklo8(T a, T b) { return _mm256_unpacklo_epi8(a, b); }
  static T unpackhi8(T a, T b) { return _mm256_unpackhi_epi8(a, b); }
  static T unpacklo16(T a, T b) { return _mm256_unpacklo_epi16(a, b); }
  static T unpackhi16(T a, T b) { return _mm256_unpackhi_epi16(a, b); }
  static T unpacklo64(T a, T b) { return _mm256_unpacklo_epi64(a, b); }
  static T unpackhi64(T a, T b) { return _mm256_unpackhi_epi64(a, b); }
  // Lane 3 of each group of four 16-bit lanes (a pel's alpha) in all four.
  static T alpha16(T v) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, 0xFF), 0xFF); }
  // 64-bit quarters 1 and 2 swap places (the swap undoes itself).
  static T cross(T v) { return _mm256_permute4x64_epi64(v, 0xD8); }
  static T join_lo(T a, T b) { return _mm256_permute2x128_si256(a, b, 0x20); }
  static T join_hi(T a, T b) { return _mm256_permute2x128_si256(a, b, 0x31); }
};
#endif

}  // namespace
}  // namespace talvo::g::simd
