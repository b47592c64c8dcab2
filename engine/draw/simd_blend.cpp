// Row functions of the weighted kernels that draw the most, on SSE2, each
// bit-exact to its cell's per-pel blend (blend_rules.h); the draw tests force
// every level and compare. As in simd_rows.cpp, each draws whole vectors of
// every row and the kernel draws the rest per pel. The AVX2 level runs the
// SSE2 functions.
#include <cstring>

#include "engine/draw/kernel_simd.h"
#include "img/VectorLevel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace drawSimd {
namespace {

#if defined(__x86_64__) || defined(__i386__)

// Pels [0, n) of one row at the weight `alpha`, or at the weights from m.
using BlendRowFn = int (*)(uint8_t* d, const uint8_t* s, int w, int alpha, const uint8_t* m, uint32_t key,
                           const uint8_t* table);

// A copy of the record, read once (see simd_rows.cpp).
template <BlendRowFn F>
int eachRow(const Rect& rect) {
  const Rect r = rect;
  int n = 0;
  for (int y = 0; y < r.h; ++y)
    n = F(r.d + y * r.dPitch, r.s + y * r.sPitch, r.w, r.alpha, r.map ? r.map + y * r.mapPitch : nullptr, r.key,
          r.table);
  return n;
}

// Onto X8R8G8B8 from X8R8G8B8 or (Paletted) P8: per byte B, G, R
// (s * a + d * (256 - a)) >> 8, which stays below 2^16 for a in 0..256;
// byte 3 kept. Keyed: a source pel equal to the key (all 32 bits) leaves
// its destination pel. Map: the weights from m. 4 pels.
template <bool Keyed, bool Map, bool Paletted>
int shiftOnce8888(uint8_t* d, const uint8_t* s, int w, int alpha, const uint8_t* m, uint32_t key,
                  const uint8_t* table) {
  const __m128i zero = _mm_setzero_si128(), colour = _mm_set1_epi32(0x00FFFFFF), k = _mm_set1_epi32(int32_t(key));
  const __m128i whole = _mm_set1_epi16(256), constant = _mm_set1_epi16(int16_t(alpha));
  int x = 0;
  for (; x + 4 <= w; x += 4) {
    __m128i sv;
    if constexpr (Paletted) {
      uint32_t e[4];
      for (int i = 0; i < 4; ++i) std::memcpy(&e[i], table + 4 * size_t(s[x + i]), 4);
      sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(e));
    } else {
      sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
    }
    __m128i* to = reinterpret_cast<__m128i*>(d + 4 * x);
    const __m128i dv = _mm_loadu_si128(to);
    __m128i aLo = constant, aHi = constant;
    if constexpr (Map) {
      uint32_t four;
      std::memcpy(&four, m + x, 4);
      const __m128i w16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int32_t(four)), zero);
      const __m128i pairs = _mm_unpacklo_epi16(w16, w16);
      aLo = _mm_unpacklo_epi32(pairs, pairs);  // weights of pels 0 and 1, one per byte
      aHi = _mm_unpackhi_epi32(pairs, pairs);
    }
    auto mix = [&](__m128i s16, __m128i d16, __m128i a) {
      return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(s16, a), _mm_mullo_epi16(d16, _mm_sub_epi16(whole, a))), 8);
    };
    const __m128i lo = mix(_mm_unpacklo_epi8(sv, zero), _mm_unpacklo_epi8(dv, zero), aLo);
    const __m128i hi = mix(_mm_unpackhi_epi8(sv, zero), _mm_unpackhi_epi8(dv, zero), aHi);
    __m128i out = _mm_or_si128(_mm_and_si128(_mm_packus_epi16(lo, hi), colour), _mm_andnot_si128(colour, dv));
    if constexpr (Keyed) {
      const __m128i skip = _mm_cmpeq_epi32(sv, k);
      out = _mm_or_si128(_mm_and_si128(skip, dv), _mm_andnot_si128(skip, out));
    }
    _mm_storeu_si128(to, out);
  }
  return x;
}

// Eight source pels as R5G6B5 words: R5G6B5 itself, P8's table entries, or
// R8G8B8 bytes narrowed by shifting.
enum class From { R5G6B5, P8, R8G8B8 };

template <From F>
inline __m128i words565(const uint8_t* s, int x, const uint8_t* table) {
  if constexpr (F == From::R5G6B5) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * x));
  } else {
    uint16_t v[8];
    for (int i = 0; i < 8; ++i) {
      if constexpr (F == From::P8) {
        std::memcpy(&v[i], table + 2 * size_t(s[x + i]), 2);
      } else {
        const uint8_t* p = s + 3 * size_t(x + i);
        v[i] = uint16_t((p[2] >> 3) << 11 | (p[1] >> 2) << 5 | p[0] >> 3);
      }
    }
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(v));
  }
}

// Onto R5G6B5, per field in its own width. Difference: d + (((s - d) * a)
// >> 8), the shift arithmetic (the product lies within +-63 * 256). Member:
// ((s * a) >> 8) + ((d * (256 - a)) >> 8). Keyed: a source word equal to the
// key leaves its destination pel. 8 pels.
template <From F, bool Difference, bool Keyed>
int blend565(uint8_t* d, const uint8_t* s, int w, int alpha, const uint8_t*, uint32_t key, const uint8_t* table) {
  const __m128i a = _mm_set1_epi16(int16_t(alpha)), rest = _mm_set1_epi16(int16_t(256 - alpha));
  const __m128i k = _mm_set1_epi16(int16_t(key));
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    const __m128i sv = words565<F>(s, x, table);
    __m128i* to = reinterpret_cast<__m128i*>(d + 2 * x);
    const __m128i dv = _mm_loadu_si128(to);
    auto field = [&](int shift, int mask) {
      const __m128i m = _mm_set1_epi16(int16_t(mask));
      const __m128i sf = _mm_and_si128(_mm_srli_epi16(sv, shift), m), df = _mm_and_si128(_mm_srli_epi16(dv, shift), m);
      __m128i v;
      if constexpr (Difference)
        v = _mm_add_epi16(df, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(sf, df), a), 8));
      else
        v = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(sf, a), 8), _mm_srli_epi16(_mm_mullo_epi16(df, rest), 8));
      return _mm_slli_epi16(_mm_and_si128(v, m), shift);
    };
    __m128i out = _mm_or_si128(_mm_or_si128(field(11, 31), field(5, 63)), field(0, 31));
    if constexpr (Keyed) {
      const __m128i skip = _mm_cmpeq_epi16(sv, k);
      out = _mm_or_si128(_mm_and_si128(skip, dv), _mm_andnot_si128(skip, out));
    }
    _mm_storeu_si128(to, out);
  }
  return x;
}

#endif

RectFn choose(RectFn sse2) {
  namespace level = talvo::g::vector_level;
  return level::current() >= level::sse2 ? sse2 : nullptr;
}

}  // namespace

#if defined(__x86_64__) || defined(__i386__)
#define DRAW_BLENDS(S, D, Keyed, Map, sse2, ...)                                                             \
  RectFn Blends<drawFrame::Source<S, D>, D, drawFrame::__VA_ARGS__, drawFrame::KeyTestIf<S, D, Keyed>, Map>::pick() { \
    return choose(eachRow<sse2>);                                                                            \
  }
#else
#define DRAW_BLENDS(S, D, Keyed, Map, sse2, ...)                                                             \
  RectFn Blends<drawFrame::Source<S, D>, D, drawFrame::__VA_ARGS__, drawFrame::KeyTestIf<S, D, Keyed>, Map>::pick() { \
    return nullptr;                                                                                          \
  }
#endif

DRAW_BLENDS(X8R8G8B8, X8R8G8B8, false, false, (shiftOnce8888<false, false, false>), ShiftOnceBlend)
DRAW_BLENDS(X8R8G8B8, X8R8G8B8, true, false, (shiftOnce8888<true, false, false>), ShiftOnceBlend)
DRAW_BLENDS(X8R8G8B8, X8R8G8B8, false, true, (shiftOnce8888<false, true, false>), ShiftOnceBlend)
DRAW_BLENDS(P8, X8R8G8B8, false, false, (shiftOnce8888<false, false, true>), ShiftOnceBlend)
DRAW_BLENDS(R5G6B5, R5G6B5, false, false, (blend565<From::R5G6B5, true, false>), DifferenceBlend)
DRAW_BLENDS(R5G6B5, R5G6B5, true, false, (blend565<From::R5G6B5, true, true>), DifferenceBlend)
DRAW_BLENDS(P8, R5G6B5, false, false, (blend565<From::P8, true, false>), DifferenceBlend)
DRAW_BLENDS(R8G8B8, R5G6B5, false, false, (blend565<From::R8G8B8, false, false>), MemberBlend<R8G8B8, R5G6B5>)

}  // namespace drawSimd
