// Row functions of the kernels that draw the most, on SSE2 and AVX2. Each
// computes exactly what the cell's per-pel rules compute (the draw tests
// force every level and compare) and draws whole vectors only; the kernel
// draws the rest of the row per pel. AVX2 functions carry their target
// attribute, so this file builds for every x86-64 processor and the level is
// chosen at run time.
#include "engine/draw/kernel_simd.h"

#include <cstring>

#include "img/VectorLevel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define DRAW_AVX2 __attribute__((target("avx2")))
#else
#define DRAW_AVX2
#endif

namespace drawSimd {
namespace {

#if defined(__x86_64__) || defined(__i386__)

// --- SSE2 -------------------------------------------------------------------------------

// R5G6B5 -> X8R8G8B8: fields widened by shifting, byte 3 255; 8 pels.
int copy565To8888Sse2(uint8_t* d, const uint8_t* s, int w, uint32_t, const uint8_t*) {
  const __m128i m5 = _mm_set1_epi16(0x1F), m6 = _mm_set1_epi16(0x3F), ff = _mm_set1_epi16(-256);
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * x));
    const __m128i b = _mm_slli_epi16(_mm_and_si128(v, m5), 3);
    const __m128i g = _mm_slli_epi16(_mm_and_si128(_mm_srli_epi16(v, 5), m6), 2);
    const __m128i r = _mm_slli_epi16(_mm_srli_epi16(v, 11), 3);
    const __m128i bg = _mm_or_si128(b, _mm_slli_epi16(g, 8)), ra = _mm_or_si128(r, ff);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x), _mm_unpacklo_epi16(bg, ra));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x + 16), _mm_unpackhi_epi16(bg, ra));
  }
  return x;
}

// A keyed copy between pels of one layout of Size bytes (2: R5G6B5, 4:
// X8R8G8B8): pels equal to the key (every bit) left out.
template <int Size>
int keyCopySse2(uint8_t* d, const uint8_t* s, int w, uint32_t key, const uint8_t*) {
  const __m128i k = Size == 2 ? _mm_set1_epi16(int16_t(key)) : _mm_set1_epi32(int32_t(key));
  constexpr int step = 16 / Size;
  int x = 0;
  for (; x + step <= w; x += step) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + Size * x));
    __m128i* to = reinterpret_cast<__m128i*>(d + Size * x);
    const __m128i skip = Size == 2 ? _mm_cmpeq_epi16(v, k) : _mm_cmpeq_epi32(v, k);
    _mm_storeu_si128(to, _mm_or_si128(_mm_and_si128(skip, _mm_loadu_si128(to)), _mm_andnot_si128(skip, v)));
  }
  return x;
}

// Add on B, G, R bytes, saturated; byte 3 kept (adds 0); 4 pels.
int add8888Sse2(uint8_t* d, const uint8_t* s, int w, uint32_t, const uint8_t*) {
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  int x = 0;
  for (; x + 4 <= w; x += 4) {
    __m128i* to = reinterpret_cast<__m128i*>(d + 4 * x);
    const __m128i v = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x)), colour);
    _mm_storeu_si128(to, _mm_adds_epu8(_mm_loadu_si128(to), v));
  }
  return x;
}

// Modulate on B, G, R bytes, (d * s) >> 8; byte 3 kept; 4 pels.
int modulate8888Sse2(uint8_t* d, const uint8_t* s, int w, uint32_t, const uint8_t*) {
  const __m128i zero = _mm_setzero_si128(), colour = _mm_set1_epi32(0x00FFFFFF);
  int x = 0;
  for (; x + 4 <= w; x += 4) {
    __m128i* to = reinterpret_cast<__m128i*>(d + 4 * x);
    const __m128i dv = _mm_loadu_si128(to), sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
    const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(dv, zero), _mm_unpacklo_epi8(sv, zero)), 8);
    const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(dv, zero), _mm_unpackhi_epi8(sv, zero)), 8);
    const __m128i product = _mm_packus_epi16(lo, hi);
    _mm_storeu_si128(to, _mm_or_si128(_mm_and_si128(product, colour), _mm_andnot_si128(colour, dv)));
  }
  return x;
}

// 32-bit lanes below 2^16 (a: 4, b: 4) as eight 16-bit values: SSE2 packs
// signed, so the values are moved into its range and back.
inline __m128i pack16Sse2(__m128i a, __m128i b) {
  const __m128i bias32 = _mm_set1_epi32(0x8000), bias16 = _mm_set1_epi16(-32768);
  return _mm_xor_si128(_mm_packs_epi32(_mm_sub_epi32(a, bias32), _mm_sub_epi32(b, bias32)), bias16);
}

// B, G, R in 32-bit lanes narrowed into R5G6B5 (in the lanes).
inline __m128i to565Sse2(__m128i v) {
  const __m128i r = _mm_and_si128(_mm_srli_epi32(v, 8), _mm_set1_epi32(0xF800));
  const __m128i g = _mm_and_si128(_mm_srli_epi32(v, 5), _mm_set1_epi32(0x07E0));
  const __m128i b = _mm_and_si128(_mm_srli_epi32(v, 3), _mm_set1_epi32(0x001F));
  return _mm_or_si128(_mm_or_si128(r, g), b);
}

// X8R8G8B8 -> R5G6B5; 8 pels.
int copy8888To565Sse2(uint8_t* d, const uint8_t* s, int w, uint32_t, const uint8_t*) {
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * x), pack16Sse2(to565Sse2(a), to565Sse2(b)));
  }
  return x;
}

// X1R5G5B5 -> R5G6B5: red and green moved up one bit (green's low bit 0),
// bit 15 dropped; 8 pels.
int copy555To565Sse2(uint8_t* d, const uint8_t* s, int w, uint32_t, const uint8_t*) {
  const __m128i rg = _mm_set1_epi16(0x7FE0), b = _mm_set1_epi16(0x001F);
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * x),
                     _mm_or_si128(_mm_slli_epi16(_mm_and_si128(v, rg), 1), _mm_and_si128(v, b)));
  }
  return x;
}

// R5G6B5 -> X1R5G5B5: green's low bit lost, bit 15 of the destination kept;
// 8 pels.
int copy565To555Sse2(uint8_t* d, const uint8_t* s, int w, uint32_t, const uint8_t*) {
  const __m128i rg = _mm_set1_epi16(int16_t(0xFFC0)), b = _mm_set1_epi16(0x001F), top = _mm_set1_epi16(-32768);
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * x));
    __m128i* to = reinterpret_cast<__m128i*>(d + 2 * x);
    const __m128i fields = _mm_or_si128(_mm_srli_epi16(_mm_and_si128(v, rg), 1), _mm_and_si128(v, b));
    _mm_storeu_si128(to, _mm_or_si128(fields, _mm_and_si128(_mm_loadu_si128(to), top)));
  }
  return x;
}

// P8 through its table, eight indices at a time, entries joined into 64-bit
// stores (no vector gathers: on the processors measured, scalar lookups are
// faster).
template <class Entry>
inline uint64_t entryAt(const uint8_t* table, uint64_t index) {
  Entry e;
  std::memcpy(&e, table + size_t(index & 255) * sizeof(Entry), sizeof(Entry));
  return e;
}

template <class Entry>
int lookupRow(uint8_t* d, const uint8_t* s, int w, uint32_t, const uint8_t* table) {
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    uint64_t eight;
    std::memcpy(&eight, s + x, 8);
    if constexpr (sizeof(Entry) == 2) {
      // Four 16-bit entries a store.
      for (int half = 0; half < 2; ++half) {
        uint64_t v = 0;
        for (int i = 0; i < 4; ++i) v |= entryAt<Entry>(table, eight >> (8 * (4 * half + i))) << (16 * i);
        std::memcpy(d + 2 * (x + 4 * half), &v, 8);
      }
    } else {
      for (int i = 0; i < 8; ++i) {
        const Entry e = Entry(entryAt<Entry>(table, eight >> (8 * i)));
        std::memcpy(d + sizeof(Entry) * size_t(x + i), &e, sizeof e);
      }
    }
  }
  return x;
}

// --- AVX2 -------------------------------------------------------------------------------

// Eight R8G8B8 pels as B, G, R, 0 in 32-bit lanes; reads 28 bytes.
DRAW_AVX2 inline __m256i load888(const uint8_t* s) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 12));
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                          0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), spread);
}

// Eight 32-bit values below 2^16 as eight 16-bit pels.
DRAW_AVX2 inline __m128i pack16(__m256i v) {
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0xD8);
  return _mm256_castsi256_si128(packed);
}

// B, G, R in 32-bit lanes narrowed into R5G6B5.
DRAW_AVX2 inline __m256i to565(__m256i v) {
  const __m256i r = _mm256_and_si256(_mm256_srli_epi32(v, 8), _mm256_set1_epi32(0xF800));
  const __m256i g = _mm256_and_si256(_mm256_srli_epi32(v, 5), _mm256_set1_epi32(0x07E0));
  const __m256i b = _mm256_and_si256(_mm256_srli_epi32(v, 3), _mm256_set1_epi32(0x001F));
  return _mm256_or_si256(_mm256_or_si256(r, g), b);
}

// R8G8B8 -> X8R8G8B8: byte 3 255; 8 pels, two pels of the row to spare.
DRAW_AVX2 int copy888To8888Avx2(uint8_t* d, const uint8_t* s, int w, uint32_t, const uint8_t*) {
  const __m256i alpha = _mm256_set1_epi32(int32_t(0xFF000000));
  int x = 0;
  for (; x + 10 <= w; x += 8)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * x), _mm256_or_si256(load888(s + 3 * x), alpha));
  return x;
}

// R8G8B8 -> R5G6B5, keyed or not: the three bytes against the key.
template <bool Keyed>
DRAW_AVX2 int copy888To565Avx2(uint8_t* d, const uint8_t* s, int w, uint32_t key, const uint8_t*) {
  const __m256i k = _mm256_set1_epi32(int32_t(key & 0xFFFFFF));
  int x = 0;
  for (; x + 10 <= w; x += 8) {
    const __m256i v = load888(s + 3 * x);
    __m128i out = pack16(to565(v));
    __m128i* to = reinterpret_cast<__m128i*>(d + 2 * x);
    if constexpr (Keyed) {
      const __m256i skip = _mm256_cmpeq_epi32(v, k);
      const __m128i skip16 = _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packs_epi32(skip, skip), 0xD8));
      out = _mm_blendv_epi8(out, _mm_loadu_si128(to), skip16);
    }
    _mm_storeu_si128(to, out);
  }
  return x;
}

// R5G6B5 -> X8R8G8B8; 16 pels.
DRAW_AVX2 int copy565To8888Avx2(uint8_t* d, const uint8_t* s, int w, uint32_t, const uint8_t*) {
  const __m256i m5 = _mm256_set1_epi16(0x1F), m6 = _mm256_set1_epi16(0x3F), ff = _mm256_set1_epi16(-256);
  int x = 0;
  for (; x + 16 <= w; x += 16) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 2 * x));
    const __m256i b = _mm256_slli_epi16(_mm256_and_si256(v, m5), 3);
    const __m256i g = _mm256_slli_epi16(_mm256_and_si256(_mm256_srli_epi16(v, 5), m6), 2);
    const __m256i r = _mm256_slli_epi16(_mm256_srli_epi16(v, 11), 3);
    const __m256i bg = _mm256_or_si256(b, _mm256_slli_epi16(g, 8)), ra = _mm256_or_si256(r, ff);
    const __m256i lo = _mm256_unpacklo_epi16(bg, ra), hi = _mm256_unpackhi_epi16(bg, ra);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * x), _mm256_permute2x128_si256(lo, hi, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * x + 32), _mm256_permute2x128_si256(lo, hi, 0x31));
  }
  return x + copy565To8888Sse2(d + 4 * x, s + 2 * x, w - x, 0, nullptr);
}

template <int Size>
DRAW_AVX2 int keyCopyAvx2(uint8_t* d, const uint8_t* s, int w, uint32_t key, const uint8_t* table) {
  const __m256i k = Size == 2 ? _mm256_set1_epi16(int16_t(key)) : _mm256_set1_epi32(int32_t(key));
  constexpr int step = 32 / Size;
  int x = 0;
  for (; x + step <= w; x += step) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + Size * x));
    __m256i* to = reinterpret_cast<__m256i*>(d + Size * x);
    const __m256i skip = Size == 2 ? _mm256_cmpeq_epi16(v, k) : _mm256_cmpeq_epi32(v, k);
    _mm256_storeu_si256(to, _mm256_blendv_epi8(v, _mm256_loadu_si256(to), skip));
  }
  return x + keyCopySse2<Size>(d + Size * x, s + Size * x, w - x, key, table);
}

// P8 keyed onto R5G6B5: 32 bits gathered at each 16-bit entry (the table
// has room after its last entry), the low half kept and compared whole with
// the key. 16 pels.
DRAW_AVX2 int keyP8To565Avx2(uint8_t* d, const uint8_t* s, int w, uint32_t key, const uint8_t* table) {
  const int* entries = reinterpret_cast<const int*>(table);
  const __m256i low = _mm256_set1_epi32(0xFFFF), k = _mm256_set1_epi16(int16_t(key));
  int x = 0;
  for (; x + 16 <= w; x += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
    const __m256i i0 = _mm256_cvtepu8_epi32(bytes), i1 = _mm256_cvtepu8_epi32(_mm_srli_si128(bytes, 8));
    const __m256i e0 = _mm256_and_si256(_mm256_i32gather_epi32(entries, i0, 2), low);
    const __m256i e1 = _mm256_and_si256(_mm256_i32gather_epi32(entries, i1, 2), low);
    __m256i out = _mm256_permute4x64_epi64(_mm256_packus_epi32(e0, e1), 0xD8);
    __m256i* to = reinterpret_cast<__m256i*>(d + 2 * x);
    out = _mm256_blendv_epi8(out, _mm256_loadu_si256(to), _mm256_cmpeq_epi16(out, k));
    _mm256_storeu_si256(to, out);
  }
  return x;
}

// Add on B, G, R bytes; 8 pels.
DRAW_AVX2 int add8888Avx2(uint8_t* d, const uint8_t* s, int w, uint32_t, const uint8_t*) {
  const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    __m256i* to = reinterpret_cast<__m256i*>(d + 4 * x);
    const __m256i v = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * x)), colour);
    _mm256_storeu_si256(to, _mm256_adds_epu8(_mm256_loadu_si256(to), v));
  }
  return x + add8888Sse2(d + 4 * x, s + 4 * x, w - x, 0, nullptr);
}

// Modulate on B, G, R bytes; 8 pels.
DRAW_AVX2 int modulate8888Avx2(uint8_t* d, const uint8_t* s, int w, uint32_t, const uint8_t*) {
  const __m256i zero = _mm256_setzero_si256(), colour = _mm256_set1_epi32(0x00FFFFFF);
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    __m256i* to = reinterpret_cast<__m256i*>(d + 4 * x);
    const __m256i dv = _mm256_loadu_si256(to), sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * x));
    const __m256i lo =
        _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(dv, zero), _mm256_unpacklo_epi8(sv, zero)), 8);
    const __m256i hi =
        _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(dv, zero), _mm256_unpackhi_epi8(sv, zero)), 8);
    const __m256i product = _mm256_packus_epi16(lo, hi);
    _mm256_storeu_si256(to, _mm256_blendv_epi8(dv, product, colour));
  }
  return x + modulate8888Sse2(d + 4 * x, s + 4 * x, w - x, 0, nullptr);
}

// X8R8G8B8 -> R5G6B5; 16 pels, then 8 by SSE2.
DRAW_AVX2 int copy8888To565Avx2(uint8_t* d, const uint8_t* s, int w, uint32_t key, const uint8_t* table) {
  int x = 0;
  for (; x + 16 <= w; x += 16) {
    const __m256i a = to565(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * x)));
    const __m256i b = to565(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * x + 32)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 2 * x),
                        _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8));
  }
  return x + copy8888To565Sse2(d + 2 * x, s + 4 * x, w - x, key, table);
}

// X1R5G5B5 <-> R5G6B5; 16 pels, then 8 by SSE2.
DRAW_AVX2 int copy555To565Avx2(uint8_t* d, const uint8_t* s, int w, uint32_t key, const uint8_t* table) {
  const __m256i rg = _mm256_set1_epi16(0x7FE0), b = _mm256_set1_epi16(0x001F);
  int x = 0;
  for (; x + 16 <= w; x += 16) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 2 * x));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 2 * x),
                        _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(v, rg), 1), _mm256_and_si256(v, b)));
  }
  return x + copy555To565Sse2(d + 2 * x, s + 2 * x, w - x, key, table);
}

DRAW_AVX2 int copy565To555Avx2(uint8_t* d, const uint8_t* s, int w, uint32_t key, const uint8_t* table) {
  const __m256i rg = _mm256_set1_epi16(int16_t(0xFFC0)), b = _mm256_set1_epi16(0x001F), top = _mm256_set1_epi16(-32768);
  int x = 0;
  for (; x + 16 <= w; x += 16) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 2 * x));
    __m256i* to = reinterpret_cast<__m256i*>(d + 2 * x);
    const __m256i fields = _mm256_or_si256(_mm256_srli_epi16(_mm256_and_si256(v, rg), 1), _mm256_and_si256(v, b));
    _mm256_storeu_si256(to, _mm256_or_si256(fields, _mm256_and_si256(_mm256_loadu_si256(to), top)));
  }
  return x + copy565To555Sse2(d + 2 * x, s + 2 * x, w - x, key, table);
}

#endif

// A row function run over every row, inlined into the loop. The loop reads
// a copy of the record: the rows' stores could reach the record as far as
// the compiler knows, and every row would load it again.
template <RowFn F>
int eachRow(const Rect& rect) {
  const Rect r = rect;
  int n = 0;
  for (int y = 0; y < r.h; ++y) n = F(r.d + y * r.dPitch, r.s + y * r.sPitch, r.w, r.key, r.table);
  return n;
}
template <RowFn F>
DRAW_AVX2 int eachRowAvx2(const Rect& rect) {
  const Rect r = rect;
  int n = 0;
  for (int y = 0; y < r.h; ++y) n = F(r.d + y * r.dPitch, r.s + y * r.sPitch, r.w, r.key, r.table);
  return n;
}

// The function of the current level: AVX2 first, then SSE2, else none.
RectFn choose(RectFn sse2, RectFn avx2) {
  namespace level = talvo::g::vector_level;
  const level::Level l = level::current();
  if (l >= level::avx2 && avx2) return avx2;
  if (l >= level::sse2 && sse2) return sse2;
  return nullptr;
}

}  // namespace

#if defined(__x86_64__) || defined(__i386__)
#define DRAW_ROWS(S, D, Op, Keyed, sse2, avx2)                                                                   \
  RectFn Rows<drawFrame::Source<S, D>, D, drawFrame::StepOf<S, D, imgOp::Op>, drawFrame::KeyTestIf<S, D, Keyed>>::pick() { \
    return choose(sse2, avx2);                                                                                   \
  }
#else
#define DRAW_ROWS(S, D, Op, Keyed, sse2, avx2)                                                                   \
  RectFn Rows<drawFrame::Source<S, D>, D, drawFrame::StepOf<S, D, imgOp::Op>, drawFrame::KeyTestIf<S, D, Keyed>>::pick() { \
    return nullptr;                                                                                              \
  }
#endif

DRAW_ROWS(R8G8B8, X8R8G8B8, Copy, false, nullptr, eachRowAvx2<copy888To8888Avx2>)
DRAW_ROWS(R8G8B8, R5G6B5, Copy, false, nullptr, eachRowAvx2<copy888To565Avx2<false>>)
DRAW_ROWS(R8G8B8, R5G6B5, Copy, true, nullptr, eachRowAvx2<copy888To565Avx2<true>>)
DRAW_ROWS(R5G6B5, X8R8G8B8, Copy, false, eachRow<copy565To8888Sse2>, eachRowAvx2<copy565To8888Avx2>)
DRAW_ROWS(R5G6B5, R5G6B5, Copy, true, eachRow<keyCopySse2<2>>, eachRowAvx2<keyCopyAvx2<2>>)
DRAW_ROWS(X8R8G8B8, R5G6B5, Copy, false, eachRow<copy8888To565Sse2>, eachRowAvx2<copy8888To565Avx2>)
DRAW_ROWS(X1R5G5B5, R5G6B5, Copy, false, eachRow<copy555To565Sse2>, eachRowAvx2<copy555To565Avx2>)
DRAW_ROWS(R5G6B5, X1R5G5B5, Copy, false, eachRow<copy565To555Sse2>, eachRowAvx2<copy565To555Avx2>)
DRAW_ROWS(P8, X8R8G8B8, Copy, false, eachRow<lookupRow<uint32_t>>, eachRow<lookupRow<uint32_t>>)
DRAW_ROWS(P8, R5G6B5, Copy, false, eachRow<lookupRow<uint16_t>>, eachRow<lookupRow<uint16_t>>)
DRAW_ROWS(P8, R5G6B5, Copy, true, nullptr, eachRowAvx2<keyP8To565Avx2>)
DRAW_ROWS(X8R8G8B8, X8R8G8B8, Copy, true, eachRow<keyCopySse2<4>>, eachRowAvx2<keyCopyAvx2<4>>)
DRAW_ROWS(X8R8G8B8, X8R8G8B8, Add, false, eachRow<add8888Sse2>, eachRowAvx2<add8888Avx2>)
DRAW_ROWS(X8R8G8B8, X8R8G8B8, Modulate, false, eachRow<modulate8888Sse2>, eachRowAvx2<modulate8888Avx2>)

}  // namespace drawSimd
