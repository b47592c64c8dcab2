// The vector row kernels, each one template over the vector unit V: V128
// (SSE2, VectorSse2.cpp) or V256 (AVX2, VectorAvx2.cpp). V gives loads and
// stores, the 8-, 16- and 32-bit lane operations the kernels use (pack_low16:
// two vectors of 32-bit lanes below 2^16 as 16-bit lanes, within halves), and
// cross(): the fix of pel order after a pack or before an unpack (AVX2 packs
// and unpacks within each 128-bit half; SSE2 needs nothing).
//
// Every kernel computes exactly what the operation's per-pel step computes
// for the same pel; see VectorRows.h for which case each serves. The
// conversions use the closed forms of the width tables, which give the
// tables' values for every input and fit 16-bit lanes:
//   8 -> 5: ((v + 4) * 7971) >> 16     8 -> 6: ((v + 2) * 16192) >> 16
//   5 -> 8: (v * 527 + 23) >> 6        6 -> 8: (v * 259 + 33) >> 6
// The narrowing ones are the high halves of unsigned 16-bit products; where
// V has rounded products (AVX2), they are (v * 3984 + 2^14) >> 15 and
// (v * 8095 + 2^14) >> 15, one instruction each.
//
// Included only by the two files above, each with its own V; everything
// here has internal linkage, so the AVX2 instances never stand in for others.
#pragma once

#include <cstdint>

namespace talvo::g::vec {
namespace {

template <class V>
using Vec = typename V::T;

template <class V>
Vec<V> select(Vec<V> mask, Vec<V> a, Vec<V> b) {
  return V::or_(V::and_(mask, a), V::andnot_(mask, b));
}

// Two vectors of 32-bit lanes below 2^16 as one of 16-bit lanes, in pel order.
template <class V>
Vec<V> pack_in_order(Vec<V> a, Vec<V> b) {
  return V::cross(V::pack_low16(a, b));
}

template <class V>
Vec<V> from_5(Vec<V> v) {
  return V::template srli16<6>(V::add16(V::mullo16(v, V::set16(527)), V::set16(23)));
}
template <class V>
Vec<V> from_6(Vec<V> v) {
  return V::template srli16<6>(V::add16(V::mullo16(v, V::set16(259)), V::set16(33)));
}

// Whether V has rounded 16-bit products and byte multiply-adds (AVX2).
template <class V>
constexpr bool has_rounded_products = requires(Vec<V> a) { V::mulhrs16(a, a); };

// 8888 pels (colours in bytes 0-2) to Rgb565 values in their 32-bit lanes,
// the upper 16 bits 0. Blue and red are the two 16-bit lanes of a pel with
// its green and x bytes cleared, narrowed together; green is moved down
// into the low lane. One multiply-add puts red and blue in place.
template <class V>
Vec<V> rgb565_of(Vec<V> v) {
  const Vec<V> rb_bytes = V::and_(v, V::set32(0x00FF00FF));
  Vec<V> rb, g;
  if constexpr (has_rounded_products<V>) {
    rb = V::mulhrs16(rb_bytes, V::set16(3984));
    g = V::mulhrs16(V::maddubs16(v, V::set32(0x100)), V::set16(8095));  // byte 1 alone
  } else {
    rb = V::mulhi16u(V::add16(rb_bytes, V::set16(4)), V::set16(7971));
    g = V::mulhi16u(V::add16(V::and_(V::template srli32<8>(v), V::set32(0xFF)), V::set16(2)), V::set16(16192));
  }
  return V::or_(V::madd16(rb, V::set32(1 | 2048 << 16)), V::template slli32<5>(g));
}

// The fields of Rgb565 values in 16-bit lanes.
template <class V>
struct Fields565 {
  Vec<V> r, g, b;
  explicit Fields565(Vec<V> v)
      : r(V::template srli16<11>(v)),
        g(V::and_(V::template srli16<5>(v), V::set16(0x3F))),
        b(V::and_(v, V::set16(0x1F))) {}
  Vec<V> join() const {
    return V::or_(V::or_(V::template slli16<11>(r), V::template slli16<5>(g)), b);
  }
};

// --- Copy ------------------------------------------------------------------

// Rgbx8888 or Rgba8888 to Rgb565.
template <class V>
int rgb565_from_8888(std::uint8_t* d, const std::uint8_t* s, int w, std::uint32_t) {
  constexpr int n = V::bytes / 2;
  int x = 0;
  for (; x + n <= w; x += n) {
    const Vec<V> a = V::load(s + 4 * x), b = V::load(s + 4 * x + V::bytes);
    V::store(d + 2 * x, pack_in_order<V>(rgb565_of<V>(a), rgb565_of<V>(b)));
  }
  return x;
}

// Rgb565 to 8888: with KeepX the destination's byte 3 is kept, else it is
// alpha 255.
template <class V, bool KeepX>
int rgb8888_from_565(std::uint8_t* d, const std::uint8_t* s, int w, std::uint32_t) {
  constexpr int n = V::bytes / 2;
  const Vec<V> top = V::set32(0xFF000000u);
  int x = 0;
  for (; x + n <= w; x += n) {
    const Fields565<V> f(V::cross(V::load(s + 2 * x)));
    const Vec<V> bg = V::or_(from_5<V>(f.b), V::template slli16<8>(from_6<V>(f.g)));
    const Vec<V> r = from_5<V>(f.r);
    Vec<V> lo = V::unpacklo16(bg, r), hi = V::unpackhi16(bg, r);
    std::uint8_t* to = d + 4 * x;
    if constexpr (KeepX) {
      lo = V::or_(lo, V::and_(V::load(to), top));
      hi = V::or_(hi, V::and_(V::load(to + V::bytes), top));
    } else {
      lo = V::or_(lo, top);
      hi = V::or_(hi, top);
    }
    V::store(to, lo);
    V::store(to + V::bytes, hi);
  }
  return x;
}

// Pels of Size bytes (2 or 4) copied whole, except those whose Mask bits
// equal the key's.
template <class V, int Size, std::uint32_t Mask>
int keyed_copy(std::uint8_t* d, const std::uint8_t* s, int w, std::uint32_t key) {
  constexpr int n = V::bytes / Size;
  const Vec<V> mask = Size == 2 ? V::set16(int(Mask)) : V::set32(Mask);
  const Vec<V> k = Size == 2 ? V::set16(int(key & Mask)) : V::set32(key & Mask);
  int x = 0;
  for (; x + n <= w; x += n) {
    const Vec<V> v = V::load(s + Size * x), masked = V::and_(v, mask);
    const Vec<V> skip = Size == 2 ? V::cmpeq16(masked, k) : V::cmpeq32(masked, k);
    V::store(d + Size * x, select<V>(skip, V::load(d + Size * x), v));
  }
  return x;
}

// --- Weighing of 8888 colours ------------------------------------------------

// The bytes of 8888 pels in 16-bit lanes, mixed: (s * ws) >> 8 plus
// (d * wd) >> 8 in each lane, packed back; the weights are per lane.
template <class V>
Vec<V> mix_bytes(Vec<V> s16, Vec<V> d16, Vec<V> ws, Vec<V> wd) {
  return V::add16(V::template srli16<8>(V::mullo16(s16, ws)), V::template srli16<8>(V::mullo16(d16, wd)));
}

// --- Draw with source alpha -----------------------------------------------------

// Rgba8888 over Rgbx8888 or Rgba8888: alpha 255 writes the source word,
// other alphas weigh the colours and keep byte 3.
template <class V>
int draw_8888_on_8888(std::uint8_t* d, const std::uint8_t* s, int w, std::uint32_t) {
  constexpr int n = V::bytes / 4;
  const Vec<V> zero = V::zero(), top = V::set32(0xFF000000u), full = V::set16(256);
  int x = 0;
  for (; x + n <= w; x += n) {
    const Vec<V> sv = V::load(s + 4 * x), dv = V::load(d + 4 * x);
    const Vec<V> slo = V::unpacklo8(sv, zero), shi = V::unpackhi8(sv, zero);
    const Vec<V> alo = V::alpha16(slo), ahi = V::alpha16(shi);
    const Vec<V> lo = mix_bytes<V>(slo, V::unpacklo8(dv, zero), alo, V::sub16(full, alo));
    const Vec<V> hi = mix_bytes<V>(shi, V::unpackhi8(dv, zero), ahi, V::sub16(full, ahi));
    const Vec<V> mixed = V::or_(V::andnot_(top, V::packus16(lo, hi)), V::and_(dv, top));
    V::store(d + 4 * x, select<V>(V::cmpeq32(V::and_(sv, top), top), sv, mixed));
  }
  return x;
}

// One field of Rgb565 under a source field at alpha a (na = 256 - a).
template <class V>
Vec<V> weigh_field(Vec<V> s, Vec<V> d, Vec<V> a, Vec<V> na) {
  return V::add16(V::template srli16<8>(V::mullo16(s, a)), V::template srli16<8>(V::mullo16(d, na)));
}

// Rgba8888 over Rgb565: the source converted once; alpha 255 writes it,
// other alphas weigh its fields against the destination's.
template <class V>
int draw_8888_on_565(std::uint8_t* d, const std::uint8_t* s, int w, std::uint32_t) {
  constexpr int n = V::bytes / 2;
  int x = 0;
  for (; x + n <= w; x += n) {
    const Vec<V> sa = V::load(s + 4 * x), sb = V::load(s + 4 * x + V::bytes);
    const Vec<V> c = pack_in_order<V>(rgb565_of<V>(sa), rgb565_of<V>(sb));
    const Vec<V> a = pack_in_order<V>(V::template srli32<24>(sa), V::template srli32<24>(sb));
    const Vec<V> na = V::sub16(V::set16(256), a);
    const Vec<V> dv = V::load(d + 2 * x);
    const Fields565<V> sf(c);
    Fields565<V> df(dv);
    df.r = weigh_field<V>(sf.r, df.r, a, na);
    df.g = weigh_field<V>(sf.g, df.g, a, na);
    df.b = weigh_field<V>(sf.b, df.b, a, na);
    V::store(d + 2 * x, select<V>(V::cmpeq16(a, V::set16(255)), c, df.join()));
  }
  return x;
}

// --- Constant-weight blend -------------------------------------------------------

// 8888 colours weighed by k/256 for the source, byte 3 of the destination
// kept.
template <class V>
int blend_8888_weighed(std::uint8_t* d, const std::uint8_t* s, int w, std::uint32_t k) {
  if (k > 256) return 0;
  constexpr int n = V::bytes / 4;
  const Vec<V> zero = V::zero(), top = V::set32(0xFF000000u);
  const Vec<V> ws = V::set16(int(k)), wd = V::set16(int(256 - k));
  int x = 0;
  for (; x + n <= w; x += n) {
    const Vec<V> sv = V::load(s + 4 * x), dv = V::load(d + 4 * x);
    const Vec<V> lo = mix_bytes<V>(V::unpacklo8(sv, zero), V::unpacklo8(dv, zero), ws, wd);
    const Vec<V> hi = mix_bytes<V>(V::unpackhi8(sv, zero), V::unpackhi8(dv, zero), ws, wd);
    V::store(d + 4 * x, V::or_(V::andnot_(top, V::packus16(lo, hi)), V::and_(dv, top)));
  }
  return x;
}

// One field of the difference form: c_d + (((c_s - c_d) * k) >> 8), the
// shift arithmetic; |c_s - c_d| * k stays below 2^15 for k up to 256.
template <class V>
Vec<V> difference_field(Vec<V> s, Vec<V> d, Vec<V> k, Vec<V> max) {
  return V::and_(V::add16(d, V::template srai16<8>(V::mullo16(V::sub16(s, d), k))), max);
}

// Rgb565 onto Rgb565 by the difference form.
template <class V>
int blend_565_difference(std::uint8_t* d, const std::uint8_t* s, int w, std::uint32_t k) {
  if (k > 256) return 0;
  constexpr int n = V::bytes / 2;
  const Vec<V> kv = V::set16(int(k)), m5 = V::set16(0x1F), m6 = V::set16(0x3F);
  int x = 0;
  for (; x + n <= w; x += n) {
    const Fields565<V> sf(V::load(s + 2 * x));
    Fields565<V> df(V::load(d + 2 * x));
    df.r = difference_field<V>(sf.r, df.r, kv, m5);
    df.g = difference_field<V>(sf.g, df.g, kv, m6);
    df.b = difference_field<V>(sf.b, df.b, kv, m5);
    V::store(d + 2 * x, df.join());
  }
  return x;
}

// The instances of one vector unit, in the order of Kernel.
template <class V>
constexpr RowFn rows_of[int(Kernel::count)] = {
    rgb565_from_8888<V>,
    rgb8888_from_565<V, true>,
    rgb8888_from_565<V, false>,
    draw_8888_on_8888<V>,
    draw_8888_on_565<V>,
    blend_8888_weighed<V>,
    blend_565_difference<V>,
    keyed_copy<V, 2, 0xFFFFu>,
    keyed_copy<V, 4, 0x00FFFFFFu>,
    keyed_copy<V, 4, 0xFFFFFFFFu>,
};

}  // namespace
}  // namespace talvo::g::vec
