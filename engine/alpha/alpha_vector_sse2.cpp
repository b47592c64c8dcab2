// The alpha image's vector kernels on SSE2: blocks of 4 pels.
#include "engine/alpha/alpha_rows.h"

#if defined(__SSE2__)
#include <cstring>

#include "img/VectorUnits.h"

namespace alphaVector {
namespace {

struct V128 : talvo::g::simd::V128 {
  using Half = void;
  static T words(const uint8_t* p) { return unpacklo16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero()); }
  static void storeWords(uint8_t* p, T v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), pack_low16(v, v)); }
  static T widen8(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return unpacklo16(unpacklo8(_mm_cvtsi32_si128(v), zero()), zero());
  }
  static T kinds(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    const T bytes = _mm_cvtsi32_si128(v);
    return srai32<24>(unpacklo16(unpacklo8(bytes, bytes), unpacklo8(bytes, bytes)));
  }
  // Bytes 0-2, 3-5, 6-8 and 9-11 of 12, each the low bytes of a lane.
  static T colours3(const uint8_t* p) {
    int32_t tail;
    std::memcpy(&tail, p + 8, 4);
    const T v = unpacklo64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_cvtsi32_si128(tail));
    const T spread = unpacklo64(_mm_unpacklo_epi32(v, _mm_srli_si128(v, 3)),
                                _mm_unpacklo_epi32(_mm_srli_si128(v, 6), _mm_srli_si128(v, 9)));
    return and_(spread, set32(0xFFFFFF));
  }
  static T expand(T v, uint32_t bits);
  static T expandAlphas(const uint8_t* p, uint32_t bits, T lanes);
};

}  // namespace
}  // namespace alphaVector

#include "engine/alpha/alpha_vector.h"

namespace alphaVector {
namespace {

V128::T V128::expand(T v, uint32_t bits) {
  uint32_t from[4];
  std::memcpy(from, &v, sizeof from);
  const uint8_t* lane = kExpand<4>.lane[bits];
  return _mm_setr_epi32(int(from[lane[0]]), int(from[lane[1]]), int(from[lane[2]]), int(from[lane[3]]));
}

V128::T V128::expandAlphas(const uint8_t* p, uint32_t bits, T lanes) {
  const T a = and_(expand(widen8(p), bits), lanes);
  return or_(a, slli32<16>(a));
}

}  // namespace
}  // namespace alphaVector

const alphaRows::Table* const alphaRows::sse2Table = &alphaVector::kTable<alphaVector::V128>;

#else

const alphaRows::Table* const alphaRows::sse2Table = nullptr;

#endif
