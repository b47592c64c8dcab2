// Span loops of the alpha kernels that draw the most, on AVX2: straight
// storage of 8-bit colours (R8G8B8, X8R8G8B8) drawn onto R5G6B5 (the game's
// screen) and X8R8G8B8 with each of the four operations. They compute
// exactly what the cell's per-pel operations compute (the tests force each
// level and compare): a span goes in blocks of 8 pels, then one of 4, and
// its last 0 to 3 pels per pel; nothing past the span is read or written.
//
// The kernels of these cells walk in an AVX2 copy of the walk (alpha_walk.h)
// when the draw's level (drawSimd::level, which drawSimd::force sets for
// tests and benchmarks) is AVX2, so the spans inline into it; at the
// portable and SSE2 levels they draw per pel.
//
// A block is 8 pels (__m256i) or 4 (__m128i) in 32-bit lanes: colours as
// B | G << 8 | R << 16, destination pels as their fields. The blends weigh
// with one multiply-add per field: (s | d << 16) times (ws | wd << 16) gives
// s * ws + d * wd exactly (every factor below 256, the sum below 65536).
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/alpha/img_alpha.h"
#include "engine/draw/kernel_simd.h"
#include "engine/pel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ALPHA_SIMD 1
#define ALPHA_AVX2 __attribute__((target("avx2")))
#else
#define ALPHA_SIMD 0
#endif

namespace alphaSimd {

// The cells that have span loops.
template <class Op, bool Premul, class Store, class Dst>
constexpr bool kHas = ALPHA_SIMD && !Premul &&
                      (std::is_same_v<Store, R8G8B8> || std::is_same_v<Store, X8R8G8B8>) &&
                      (std::is_same_v<Dst, R5G6B5> || std::is_same_v<Dst, X8R8G8B8>);

// The span loops run at the current level.
inline bool Avx2() { return drawSimd::level() >= drawSimd::AVX2; }

#if ALPHA_SIMD

// --- Lanes of either width -----------------------------------------------------------

ALPHA_AVX2 inline __m256i And(__m256i a, __m256i b) { return _mm256_and_si256(a, b); }
ALPHA_AVX2 inline __m128i And(__m128i a, __m128i b) { return _mm_and_si128(a, b); }
ALPHA_AVX2 inline __m256i Or(__m256i a, __m256i b) { return _mm256_or_si256(a, b); }
ALPHA_AVX2 inline __m128i Or(__m128i a, __m128i b) { return _mm_or_si128(a, b); }
ALPHA_AVX2 inline __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
ALPHA_AVX2 inline __m128i Add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
ALPHA_AVX2 inline __m256i Sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
ALPHA_AVX2 inline __m128i Sub(__m128i a, __m128i b) { return _mm_sub_epi32(a, b); }
ALPHA_AVX2 inline __m256i Min(__m256i a, __m256i b) { return _mm256_min_epi32(a, b); }
ALPHA_AVX2 inline __m128i Min(__m128i a, __m128i b) { return _mm_min_epi32(a, b); }
ALPHA_AVX2 inline __m256i MulAdd(__m256i a, __m256i b) { return _mm256_madd_epi16(a, b); }
ALPHA_AVX2 inline __m128i MulAdd(__m128i a, __m128i b) { return _mm_madd_epi16(a, b); }
ALPHA_AVX2 inline __m256i MulLow16(__m256i a, __m256i b) { return _mm256_mullo_epi16(a, b); }
ALPHA_AVX2 inline __m128i MulLow16(__m128i a, __m128i b) { return _mm_mullo_epi16(a, b); }
ALPHA_AVX2 inline __m256i AddSatU8(__m256i a, __m256i b) { return _mm256_adds_epu8(a, b); }
ALPHA_AVX2 inline __m128i AddSatU8(__m128i a, __m128i b) { return _mm_adds_epu8(a, b); }
template <int N>
ALPHA_AVX2 inline __m256i Srl(__m256i a) {
  return _mm256_srli_epi32(a, N);
}
template <int N>
ALPHA_AVX2 inline __m128i Srl(__m128i a) {
  return _mm_srli_epi32(a, N);
}
template <int N>
ALPHA_AVX2 inline __m256i Sll(__m256i a) {
  return _mm256_slli_epi32(a, N);
}
template <int N>
ALPHA_AVX2 inline __m128i Sll(__m128i a) {
  return _mm_slli_epi32(a, N);
}
template <class V>
ALPHA_AVX2 inline V Set(int v);
template <>
ALPHA_AVX2 inline __m256i Set<__m256i>(int v) {
  return _mm256_set1_epi32(v);
}
template <>
ALPHA_AVX2 inline __m128i Set<__m128i>(int v) {
  return _mm_set1_epi32(v);
}

template <class V>
constexpr int kPels = sizeof(V) / 4;

// Bytes of one block at 32-bit lanes.
ALPHA_AVX2 inline __m256i Load(const uint8_t* p, __m256i) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
ALPHA_AVX2 inline __m128i Load(const uint8_t* p, __m128i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
ALPHA_AVX2 inline void Store(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
ALPHA_AVX2 inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// The alpha bytes of a block, one a lane.
ALPHA_AVX2 inline __m256i Alphas(const uint8_t* a, __m256i) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)));
}
ALPHA_AVX2 inline __m128i Alphas(const uint8_t* a, __m128i) {
  int32_t v;
  std::memcpy(&v, a, 4);
  return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(v));
}

// 16-bit words of a block, one a lane, and back.
ALPHA_AVX2 inline __m256i Words(const uint8_t* d, __m256i) {
  return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d)));
}
ALPHA_AVX2 inline __m128i Words(const uint8_t* d, __m128i) {
  return _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(d)));
}
ALPHA_AVX2 inline void StoreWords(uint8_t* d, __m256i v) {
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(packed));
}
ALPHA_AVX2 inline void StoreWords(uint8_t* d, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi32(v, v));
}

// --- Colours ---------------------------------------------------------------------

struct FromX8 {
  static constexpr int bytes = 4;
  template <class V>
  ALPHA_AVX2 static V load(const uint8_t* c) {
    return And(Load(c, V{}), Set<V>(0xFFFFFF));
  }
};

// 3-byte colours, spread: 8 pels from bytes 0-15 and 8-23, 4 pels from
// bytes 0-7 and 8-11.
struct FromR8 {
  static constexpr int bytes = 3;
  template <class V>
  ALPHA_AVX2 static V load(const uint8_t* c) {
    if constexpr (sizeof(V) == 32) {
      const __m256i v = _mm256_inserti128_si256(
          _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c))),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 8)), 1);
      return _mm256_shuffle_epi8(v, _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                                     4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1));
    } else {
      int32_t tail;
      std::memcpy(&tail, c + 8, 4);
      const __m128i v =
          _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(c)), _mm_cvtsi32_si128(tail));
      return _mm_shuffle_epi8(v, _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
    }
  }
};

// --- Destinations ----------------------------------------------------------------

template <class V>
struct Fields {
  V b, g, r;
};

template <int Shift, int Mask, class V>
ALPHA_AVX2 inline V Field(V v) {
  return And(Srl<Shift>(v), Set<V>(Mask));
}

struct To565 {
  static constexpr int bytes = 2;
  template <class V>
  ALPHA_AVX2 static V load(const uint8_t* d) {
    return Words(d, V{});
  }
  template <class V>
  ALPHA_AVX2 static Fields<V> fields(V v) {
    return {Field<0, 31>(v), Field<5, 63>(v), Field<11, 31>(v)};
  }
  // A colour on the destination's scale: B >> 3, G >> 2, R >> 3.
  template <class V>
  ALPHA_AVX2 static Fields<V> source(V s) {
    return {Field<3, 31>(s), Field<10, 63>(s), Field<19, 31>(s)};
  }
  template <class V>
  ALPHA_AVX2 static void store(uint8_t* d, const Fields<V>& f, V) {
    StoreWords(d, Or(Or(f.b, Sll<5>(f.g)), Sll<11>(f.r)));
  }
  template <class V>
  ALPHA_AVX2 static void copy(uint8_t* d, V s) {
    store(d, source(s), s);
  }
  template <class V>
  ALPHA_AVX2 static void add(uint8_t* d, V s) {
    const Fields<V> o = fields(load<V>(d)), c = source(s);
    store(d, {Min(Add(o.b, c.b), Set<V>(31)), Min(Add(o.g, c.g), Set<V>(63)), Min(Add(o.r, c.r), Set<V>(31))}, s);
  }
};

struct ToX8 {
  static constexpr int bytes = 4;
  template <class V>
  ALPHA_AVX2 static V load(const uint8_t* d) {
    return Load(d, V{});
  }
  template <class V>
  ALPHA_AVX2 static Fields<V> fields(V v) {
    return {Field<0, 255>(v), Field<8, 255>(v), Field<16, 255>(v)};
  }
  template <class V>
  ALPHA_AVX2 static Fields<V> source(V s) {
    return fields(s);
  }
  // The fourth byte of `old` kept.
  template <class V>
  ALPHA_AVX2 static void store(uint8_t* d, const Fields<V>& f, V old) {
    Store(d, Or(Or(Or(f.b, Sll<8>(f.g)), Sll<16>(f.r)), And(old, Set<V>(int(0xFF000000)))));
  }
  // Copied: the colour with the fourth byte 255.
  template <class V>
  ALPHA_AVX2 static void copy(uint8_t* d, V s) {
    Store(d, Or(s, Set<V>(int(0xFF000000))));
  }
  // The colour's fourth byte is 0: the destination's stays.
  template <class V>
  ALPHA_AVX2 static void add(uint8_t* d, V s) {
    Store(d, AddSatU8(load<V>(d), s));
  }
};

// (s * ws + d * wd) >> 8 per lane; w holds ws | wd << 16.
template <class V>
ALPHA_AVX2 inline V Weigh(V s, V d, V w) {
  return Srl<8>(MulAdd(Or(s, Sll<16>(d)), w));
}

// Weights v | (255 - v) << 16 for source weights v (0 to 255).
template <class V>
ALPHA_AVX2 inline V Weights(V v) {
  return Or(v, Sll<16>(Sub(Set<V>(255), v)));
}

// The destination blended with the colour at the weights.
template <class To, class V>
ALPHA_AVX2 inline void Blend(uint8_t* d, V s, V w) {
  const V old = To::template load<V>(d);
  const Fields<V> o = To::fields(old), c = To::source(s);
  To::store(d, Fields<V>{Weigh(c.b, o.b, w), Weigh(c.g, o.g, w), Weigh(c.r, o.r, w)}, old);
}

// --- The operations on a block -----------------------------------------------------

// Copy (and SrcAlpha's opaque pels); Copy's translucent pels alike.
struct CopyBlock {
  template <class To, class V>
  ALPHA_AVX2 static void opaque(uint8_t* d, V s, int) {
    To::copy(d, s);
  }
  template <class To, class V>
  ALPHA_AVX2 static void translucent(uint8_t* d, V s, const uint8_t*, int) {
    To::copy(d, s);
  }
};

// Add: the alpha byte does not weigh the colour.
struct AddBlock {
  template <class To, class V>
  ALPHA_AVX2 static void opaque(uint8_t* d, V s, int) {
    To::add(d, s);
  }
  template <class To, class V>
  ALPHA_AVX2 static void translucent(uint8_t* d, V s, const uint8_t*, int) {
    To::add(d, s);
  }
};

struct SrcAlphaBlock {
  template <class To, class V>
  ALPHA_AVX2 static void translucent(uint8_t* d, V s, const uint8_t* a, int) {
    Blend<To>(d, s, Weights(Alphas(a, V{})));
  }
};

// Opaque pels at K; translucent pels at m = a * K >> 8.
struct SrcAlphaKBlock {
  template <class To, class V>
  ALPHA_AVX2 static void opaque(uint8_t* d, V s, int K) {
    Blend<To>(d, s, Weights(Set<V>(K)));
  }
  template <class To, class V>
  ALPHA_AVX2 static void translucent(uint8_t* d, V s, const uint8_t* a, int K) {
    Blend<To>(d, s, Weights(Srl<8>(MulLow16(Alphas(a, V{}), Set<V>(K)))));
  }
};

template <class From, class To, class Block>
ALPHA_AVX2 inline int opaqueSpan(uint8_t* d, const uint8_t* c, int n, int K) {
  int i = 0;
  for (; i + 8 <= n; i += 8)
    Block::template opaque<To>(d + i * To::bytes, From::template load<__m256i>(c + i * From::bytes), K);
  if (i + 4 <= n) {
    Block::template opaque<To>(d + i * To::bytes, From::template load<__m128i>(c + i * From::bytes), K);
    i += 4;
  }
  return i;
}

template <class From, class To, class Block>
ALPHA_AVX2 inline int translucentSpan(uint8_t* d, const uint8_t* c, const uint8_t* a, int n, int K) {
  int i = 0;
  for (; i + 8 <= n; i += 8)
    Block::template translucent<To>(d + i * To::bytes, From::template load<__m256i>(c + i * From::bytes), a + i, K);
  if (i + 4 <= n) {
    Block::template translucent<To>(d + i * To::bytes, From::template load<__m128i>(c + i * From::bytes), a + i, K);
    i += 4;
  }
  return i;
}

template <class Store>
using FromOf = std::conditional_t<std::is_same_v<Store, R8G8B8>, FromR8, FromX8>;
template <class Dst>
using ToOf = std::conditional_t<std::is_same_v<Dst, R5G6B5>, To565, ToX8>;
template <class Op>
using OpaqueBlockOf = std::conditional_t<std::is_same_v<Op, alphaOp::Add>, AddBlock,
                                         std::conditional_t<std::is_same_v<Op, alphaOp::SrcAlphaK>, SrcAlphaKBlock, CopyBlock>>;
template <class Op>
using TranslucentBlockOf =
    std::conditional_t<std::is_same_v<Op, alphaOp::SrcAlpha>, SrcAlphaBlock,
                       std::conditional_t<std::is_same_v<Op, alphaOp::Add>, AddBlock,
                                          std::conditional_t<std::is_same_v<Op, alphaOp::SrcAlphaK>, SrcAlphaKBlock,
                                                             CopyBlock>>>;

// A cell's policy (alpha_kernel.h) whose spans start with the vector loops;
// the pels they leave go to the policy's own operations.
template <class Policy>
struct Vector : Policy {
  using From = FromOf<typename Policy::StoreType>;
  using To = ToOf<typename Policy::DstType>;
  explicit Vector(const Policy& p) : Policy(p) {}

  ALPHA_AVX2 void OpaqueSpan(uint8_t* d, const uint8_t* colours, int n) const {
    const int done = opaqueSpan<From, To, OpaqueBlockOf<typename Policy::OpType>>(d, colours, n, this->kOpaque);
    Policy::OpaqueSpan(d + done * Policy::dstBytes, colours + done * Policy::colourBytes, n - done);
  }
  ALPHA_AVX2 void TranslucentSpan(uint8_t* d, const uint8_t* colours, const uint8_t* alphas, int n) const {
    const int done = translucentSpan<From, To, TranslucentBlockOf<typename Policy::OpType>>(d, colours, alphas, n,
                                                                                            this->kTranslucent);
    Policy::TranslucentSpan(d + done * Policy::dstBytes, colours + done * Policy::colourBytes, alphas + done,
                            n - done);
  }
};

#endif

}  // namespace alphaSimd
