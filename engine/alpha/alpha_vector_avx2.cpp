// The alpha image's vector kernels on AVX2: blocks of 8 pels. The file is
// compiled for AVX2; its kernels are only called where the processor has it.
#include "engine/alpha/alpha_rows.h"

#if defined(__AVX2__)
#include <cstring>

#include "img/VectorUnits.h"

namespace alphaVector {
namespace {

// Blocks of 4 pels, for the last pels of short runs.
struct V128 : talvo::g::simd::V128 {
  using Half = void;
  static T words(const uint8_t* p) { return _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))); }
  static void storeWords(uint8_t* p, T v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi32(v, v)); }
  static T widen8(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(v));
  }
  // Bytes 0-11 of the loads of bytes 0-7 and 8-11.
  static T colours3(const uint8_t* p) {
    int32_t tail;
    std::memcpy(&tail, p + 8, 4);
    const T v = _mm_insert_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), tail, 2);
    return _mm_shuffle_epi8(v, _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
  }
};

struct V256 : talvo::g::simd::V256 {
  using Half = V128;
  static __m128i half(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static T words(const uint8_t* p) { return _mm256_cvtepu16_epi32(half(p)); }
  static void storeWords(uint8_t* p, T v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(cross(pack_low16(v, v))));
  }
  static T widen8(const uint8_t* p) { return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))); }
  static T kinds(const uint8_t* p) { return _mm256_cvtepi8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))); }
  // Bytes 0-11 and 12-23 of 24, from the loads of bytes 0-15 and 8-23.
  static T colours3(const uint8_t* p) {
    const T v = _mm256_inserti128_si256(_mm256_castsi128_si256(half(p)), half(p + 8), 1);
    return _mm256_shuffle_epi8(v, _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                                   4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1));
  }
  static T expand(T v, uint32_t bits);
  static T expandAlphas(const uint8_t* p, uint32_t bits, T lanes);
};

}  // namespace
}  // namespace alphaVector

#include "engine/alpha/alpha_vector.h"

namespace alphaVector {
namespace {

V256::T V256::expand(T v, uint32_t bits) {
  return _mm256_permutevar8x32_epi32(v, widen8(kExpand<8>.lane[bits]));
}

// For each mask of 8 bits, the byte shuffle that puts alpha byte n into
// bytes 0 and 2 of the lane of the mask's n-th set bit, 0 elsewhere (each
// 128-bit half shuffles its own copy of the 8 bytes).
struct AlphaSpread {
  alignas(32) uint8_t control[256][32];
  constexpr AlphaSpread() : control{} {
    for (int bits = 0; bits < 256; ++bits)
      for (int i = 0, n = 0; i < 8; ++i) {
        const bool set = bits >> i & 1;
        uint8_t* lane = control[bits] + 4 * i;
        lane[0] = lane[2] = set ? uint8_t(n) : 0x80;
        lane[1] = lane[3] = 0x80;
        n += set;
      }
  }
};
constexpr AlphaSpread kAlphaSpread;

V256::T V256::expandAlphas(const uint8_t* p, uint32_t bits, T) {
  int64_t eight;
  std::memcpy(&eight, p, 8);
  return _mm256_shuffle_epi8(_mm256_set1_epi64x(eight), load(kAlphaSpread.control[bits]));
}

}  // namespace
}  // namespace alphaVector

const alphaRows::Table* const alphaRows::avx2Table = &alphaVector::kTable<alphaVector::V256>;

#else

const alphaRows::Table* const alphaRows::avx2Table = nullptr;

#endif
