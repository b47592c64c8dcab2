// The span draws of the RLE8 images over the vector units: the copy in whole
// vectors and the two Alpha blends (rle8_spans.h tells which serves which
// case). Included by the file of each level after the units it has;
// everything here has internal linkage, so that the AVX2 instances never
// stand in for the SSE2 ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/rle8/rle8_span_rows.h"
#include "img/VectorUnits.h"

namespace rle8Vector {
namespace {

// --- Copies -------------------------------------------------------------------------
// n bytes of fewer than 16: two fixed-size moves that overlap.
inline void copyShort(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  auto two = [&](auto size) {
    std::memcpy(d, s, size);
    std::memcpy(d + n - size, s + n - size, size);
  };
  if (n >= 8) two(std::integral_constant<std::size_t, 8>());
  else if (n >= 4) two(std::integral_constant<std::size_t, 4>());
  else if (n >= 2) two(std::integral_constant<std::size_t, 2>());
  else if (n) *d = *s;
}

// n bytes in vectors of V: the first and the last (overlapping when n is
// no whole number of them) and every one between, or of the narrower units
// when n is shorter than one of V.
template <class V, class... Narrower>
inline void copy(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  if (n >= std::size_t(V::bytes)) {
    const std::size_t last = n - V::bytes;
    V::store(d, V::load(s));
    V::store(d + last, V::load(s + last));
    for (std::size_t i = V::bytes; i < last; i += V::bytes) V::store(d + i, V::load(s + i));
  } else if constexpr (sizeof...(Narrower) > 0) {
    copy<Narrower...>(d, s, n);
  } else {
    copyShort(d, s, n);
  }
}

// --- Blends ---------------------------------------------------------------------------

// R5G6B5: each field becomes d + ((s - d) * a >> 8), the shift arithmetic
// (it floors). Fields in 16-bit lanes: the product lies within +-63 * 256.
template <class V>
struct Alpha565 {
  using T = typename V::T;
  static constexpr int pelBytes = 2;
  T a, m5, m6;
  explicit Alpha565(int weight) : a(V::set16(weight)), m5(V::set16(31)), m6(V::set16(63)) {}
  T field(T s, T d) const { return V::add16(d, V::template srai16<8>(V::mullo16(V::sub16(s, d), a))); }
  T operator()(T s, T d) const {
    const T r = field(V::template srli16<11>(s), V::template srli16<11>(d));
    const T g = field(V::and_(V::template srli16<5>(s), m6), V::and_(V::template srli16<5>(d), m6));
    const T b = field(V::and_(s, m5), V::and_(d, m5));
    return V::or_(V::or_(V::template slli16<11>(r), V::template slli16<5>(g)), b);
  }
};

// X8R8G8B8: each of B, G and R becomes (s * a + d * (256 - a)) >> 8; byte 3
// is the destination's. Bytes in 16-bit lanes: the sum is at most 255 * 256.
template <class V>
struct Alpha8888 {
  using T = typename V::T;
  static constexpr int pelBytes = 4;
  T a, rest, zero, high;
  explicit Alpha8888(int weight)
      : a(V::set16(weight)), rest(V::set16(256 - weight)), zero(V::zero()), high(V::set32(0xFF000000u)) {}
  T half(T s, T d) const { return V::template srli16<8>(V::add16(V::mullo16(s, a), V::mullo16(d, rest))); }
  T operator()(T s, T d) const {
    const T lo = half(V::unpacklo8(s, zero), V::unpacklo8(d, zero));
    const T hi = half(V::unpackhi8(s, zero), V::unpackhi8(d, zero));
    return V::or_(V::andnot_(high, V::packus16(lo, hi)), V::and_(high, d));
  }
};

// --- Spans ------------------------------------------------------------------------------

// The pel s of Size bytes (2 or 4) in every lane.
template <int Size, class V>
inline typename V::T broadcast(const std::uint8_t* s) {
  std::uint32_t v = 0;
  std::memcpy(&v, s, Size);
  if constexpr (Size == 2)
    return V::set16(int(v));
  else
    return V::set32(v);
}

// The source pels of a vector `at` bytes into a span: a fill's one pel in
// every lane, or the span's pels there.
template <bool Fill, int Size, class V>
inline typename V::T sourceAt(const std::uint8_t* s, int at) {
  if constexpr (Fill)
    return broadcast<Size, V>(s);
  else
    return V::load(s + at);
}

// n pels of a fill of Size bytes (2 or 4) in vectors of V, or of the
// narrower units when n is shorter than one of V.
template <int Size, class V, class... Narrower>
inline void fill(std::uint8_t* d, const std::uint8_t* s, int n) {
  constexpr int per = V::bytes / Size;
  if (n < per) {
    if constexpr (sizeof...(Narrower) > 0) {
      fill<Size, Narrower...>(d, s, n);
    } else {
      for (int i = 0; i < n; ++i) std::memcpy(d + i * Size, s, Size);
    }
    return;
  }
  const typename V::T v = broadcast<Size, V>(s);
  const int lastAt = (n - per) * Size;
  for (int at = 0; at < lastAt; at += V::bytes) V::store(d + at, v);
  V::store(d + lastAt, v);
}

// n pels blended in vectors of V, or of the narrower units when n is
// shorter than one of V. The last vector ends at the span's end and is
// blended first, from the destination as it was: it overlaps the vector
// before it, which stores the same pels. A span shorter than the narrowest
// vector is blended in one, through a copy of its pels.
template <template <class> class Blend, bool Fill, class V, class... Narrower>
inline void blend(std::uint8_t* d, const std::uint8_t* s, int n, int weight) {
  constexpr int size = Blend<V>::pelBytes, per = V::bytes / size;
  if (n < per) {
    if constexpr (sizeof...(Narrower) > 0) {
      blend<Blend, Fill, Narrower...>(d, s, n, weight);
    } else {
      std::uint8_t sPels[V::bytes] = {}, dPels[V::bytes] = {};
      const std::size_t bytes = std::size_t(n) * size;
      if (Fill) V::store(sPels, broadcast<size, V>(s));
      else copyShort(sPels, s, bytes);
      copyShort(dPels, d, bytes);
      V::store(dPels, Blend<V>(weight)(V::load(sPels), V::load(dPels)));
      copyShort(d, dPels, bytes);
    }
    return;
  }
  const Blend<V> mix(weight);
  const int lastAt = (n - per) * size;
  const typename V::T last = mix(sourceAt<Fill, size, V>(s, lastAt), V::load(d + lastAt));
  for (int at = 0; at < lastAt; at += V::bytes) V::store(d + at, mix(sourceAt<Fill, size, V>(s, at), V::load(d + at)));
  V::store(d + lastAt, last);
}

// --- The draws --------------------------------------------------------------------------
// 3-byte pels never make fills (rle8_converted.h); should one come, it is
// stored pel by pel.

template <int B, class... Vs>
void copyRuns(const rle8Converted& runs, const rle8DrawArgs& a, bool keyed, int) {
  rle8Spans::eachSpan<B, false>(
      runs, a, keyed, [](std::uint8_t* d, const std::uint8_t* s, int n) { copy<Vs...>(d, s, std::size_t(n) * B); },
      [](std::uint8_t* d, const std::uint8_t* s, int n) {
        if constexpr (B != 3)
          fill<B, Vs...>(d, s, n);
        else
          for (int i = 0; i < n; ++i) std::memcpy(d + i * B, s, B);
      });
}

template <template <class> class Blend, class... Vs>
void alphaRuns(const rle8Converted& runs, const rle8DrawArgs& a, bool keyed, int weight) {
  constexpr int B = Blend<talvo::g::simd::V128>::pelBytes;
  rle8Spans::eachSpan<B, true>(
      runs, a, keyed,
      [weight](std::uint8_t* d, const std::uint8_t* s, int n) { blend<Blend, false, Vs...>(d, s, n, weight); },
      [weight](std::uint8_t* d, const std::uint8_t* s, int n) { blend<Blend, true, Vs...>(d, s, n, weight); });
}

}  // namespace
}  // namespace rle8Vector
