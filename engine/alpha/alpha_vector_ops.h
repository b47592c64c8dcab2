// The per-lane work of the alpha image's vector kernels (alpha_vector.h):
// the colours of the two 8-bit storage forms brought to 32-bit lanes, the
// two destinations (R5G6B5, X8R8G8B8) with their copy, add and blend, and
// the four operations on a block of pels of one kind or of mixed kinds.
// Bit-exact to the cells' per-pel operations (alpha_pel.h): the blends
// weigh by v and 255 - v and shift right by 8 without rounding, R5G6B5 at
// its own field widths.
#pragma once

#include <cstdint>

namespace alphaVector {
namespace {

// --- Colours ---------------------------------------------------------------------

template <class V>
struct FromX8 {
  template <class W>
  using Of = FromX8<W>;
  static constexpr int bytes = 4;
  static typename V::T load(const uint8_t* c) { return V::and_(V::load(c), V::set32(0xFFFFFF)); }
};

template <class V>
struct FromR8 {
  template <class W>
  using Of = FromR8<W>;
  static constexpr int bytes = 3;
  static typename V::T load(const uint8_t* c) { return V::colours3(c); }
};

// --- Blends ------------------------------------------------------------------------
//
// To::blend(old, s, v): each channel (s * v + d * (255 - v)) >> 8, v the
// lane's source weight (0 to 255). To::weighed(old, s, ws, less): each
// channel (s * ws + d * wd) >> 8 with wd = 256 - ws, less 1 in the lanes
// where less is all ones: ws 0 to 256 (in both 16-bit halves of the lane),
// and 0 to 255 in those lanes. So (256, 0) gives s and (0, 256) gives d.
// Every product and sum is below 65536.

// (s * ws + d * wd) >> 8 per lane, w holding ws | wd << 16: one multiply-add
// of (s | d << 16) by w.
template <class V>
typename V::T weigh(typename V::T s, typename V::T d, typename V::T w) {
  return V::template srli32<8>(V::madd16(V::or_(s, V::template slli32<16>(d)), w));
}

// The fields of R5G6B5, each at its own width; w holds ws | wd << 16.
template <class V, class To>
typename V::T weighFields(typename V::T old, typename V::T s, typename V::T w) {
  const auto o = To::fields(old), c = To::source(s);
  return To::pack({weigh<V>(c.b, o.b, w), weigh<V>(c.g, o.g, w), weigh<V>(c.r, o.r, w)}, old);
}

// The bytes of X8R8G8B8 in 16-bit halves: blue and red together, then green
// (the fourth byte kept); ws and wd are in both halves of each lane.
template <class V>
typename V::T weighBytes(typename V::T old, typename V::T s, typename V::T ws, typename V::T wd) {
  const auto low = V::set32(0x00FF00FF);
  auto weigh16 = [&](typename V::T a, typename V::T b) {
    return V::add16(V::mullo16(V::and_(a, low), ws), V::mullo16(V::and_(b, low), wd));
  };
  const auto br = V::template srli16<8>(weigh16(s, old));
  // Green and the fourth byte, each the low byte of a 16-bit half; the
  // latter's sum is dropped.
  const auto g = V::add16(V::mullo16(V::template srli16<8>(s), ws), V::mullo16(V::template srli16<8>(old), wd));
  return V::or_(V::or_(br, V::and_(g, V::set32(0x0000FF00))), V::and_(old, V::set32(0xFF000000)));
}

template <class V>
typename V::T bothHalves(typename V::T v) {
  return V::or_(v, V::template slli32<16>(v));
}

// --- Destinations ----------------------------------------------------------------

template <class V>
struct Fields {
  typename V::T b, g, r;
};

template <class V, int Shift, int Mask>
typename V::T field(typename V::T v) {
  return V::and_(V::template srli32<Shift>(v), V::set32(Mask));
}

template <class V>
struct To565 {
  template <class W>
  using Of = To565<W>;
  using T = typename V::T;
  static constexpr int bytes = 2;
  static T load(const uint8_t* d) { return V::words(d); }
  static void store(uint8_t* d, T v) { V::storeWords(d, v); }
  static Fields<V> fields(T v) { return {field<V, 0, 31>(v), field<V, 5, 63>(v), field<V, 11, 31>(v)}; }
  // A colour on the destination's scale: B >> 3, G >> 2, R >> 3.
  static Fields<V> source(T s) { return {field<V, 3, 31>(s), field<V, 10, 63>(s), field<V, 19, 31>(s)}; }
  static T pack(const Fields<V>& f, T) {
    return V::or_(V::or_(f.b, V::template slli32<5>(f.g)), V::template slli32<11>(f.r));
  }
  static T copy(T s, T old) { return pack(source(s), old); }
  static T blend(T old, T s, T v) {
    return weighFields<V, To565>(old, s, V::or_(v, V::template slli32<16>(V::sub32(V::set32(255), v))));
  }
  static T weighed(T old, T s, T ws, T less) {
    const auto wd = V::add16(V::sub16(V::set16(256), ws), less);
    return weighFields<V, To565>(old, s, V::or_(V::and_(ws, V::set32(0xFFFF)), V::and_(wd, V::set32(0xFFFF0000))));
  }
  static T markOpaque(T v, T) { return v; }
  static T add(T s, T old) {
    const Fields<V> o = fields(old), c = source(s);
    return pack({V::min16(V::add32(o.b, c.b), V::set32(31)), V::min16(V::add32(o.g, c.g), V::set32(63)),
                 V::min16(V::add32(o.r, c.r), V::set32(31))},
                old);
  }
};

template <class V>
struct ToX8 {
  template <class W>
  using Of = ToX8<W>;
  using T = typename V::T;
  static constexpr int bytes = 4;
  static T load(const uint8_t* d) { return V::load(d); }
  static void store(uint8_t* d, T v) { V::store(d, v); }
  static Fields<V> fields(T v) { return {field<V, 0, 255>(v), field<V, 8, 255>(v), field<V, 16, 255>(v)}; }
  static Fields<V> source(T s) { return fields(s); }
  // The fourth byte of `old` kept.
  static T pack(const Fields<V>& f, T old) {
    return V::or_(V::or_(V::or_(f.b, V::template slli32<8>(f.g)), V::template slli32<16>(f.r)),
                  V::and_(old, V::set32(0xFF000000)));
  }
  // Copied: the colour with the fourth byte 255.
  static T copy(T s, T) { return V::or_(s, V::set32(0xFF000000)); }
  // The colour's fourth byte is 0: the destination's stays.
  static T add(T s, T old) { return V::adds8u(old, s); }
  static T blend(T old, T s, T v) {
    const auto ws = bothHalves<V>(v);
    return weighBytes<V>(old, s, ws, V::sub16(V::set16(255), ws));
  }
  static T weighed(T old, T s, T ws, T less) {
    return weighBytes<V>(old, s, ws, V::add16(V::sub16(V::set16(256), ws), less));
  }
  // The fourth byte 255 in the lanes of the mask.
  static T markOpaque(T v, T lanes) { return V::or_(v, V::template slli32<24>(lanes)); }
};

// a where the mask is set, b elsewhere.
template <class V>
typename V::T select(typename V::T mask, typename V::T a, typename V::T b) {
  return V::or_(V::and_(mask, a), V::andnot_(mask, b));
}

// --- The operations on a block -----------------------------------------------------

enum Kind { opaqueBlock, translucentBlock, mixedBlock };

// A block's pels: the destination's, the colours and alpha bytes spread to
// their pels; in mixed blocks the lanes of visible, translucent and opaque
// pels, and the alpha bytes in both 16-bit halves of the translucent pels'
// lanes, 0 in the others.
template <class V>
struct Block {
  using T = typename V::T;
  T old, s, a, visible, translucent, opaque;
};

// Copy writes translucent pels as opaque ones; Add adds their whole colour.
template <bool IsAdd>
struct CopyOrAdd {
  static constexpr bool alphas = false;
  static constexpr bool kindBlind = true;
  template <Kind>
  static constexpr bool copies = !IsAdd;
  template <class V, class To, Kind kind>
  static typename V::T apply(const Block<V>& b, int) {
    const auto c = IsAdd ? To::add(b.s, b.old) : To::copy(b.s, b.old);
    return kind == mixedBlock ? select<V>(b.visible, c, b.old) : c;
  }
};

// Opaque pels copied, translucent ones blended by a.
struct SrcAlpha {
  static constexpr bool alphas = true;
  static constexpr bool kindBlind = false;
  template <Kind kind>
  static constexpr bool copies = kind == opaqueBlock;
  template <class V, class To, Kind kind>
  static typename V::T apply(const Block<V>& b, int) {
    if constexpr (kind == opaqueBlock) {
      return To::copy(b.s, b.old);
    } else if constexpr (kind == translucentBlock) {
      return To::blend(b.old, b.s, b.a);
    } else {
      // Weighed by (a, 255 - a), opaque pels by (256, 0), transparent ones
      // by (0, 256): one blend for all.
      const auto ws = V::or_(b.a, V::and_(b.opaque, V::set32(256 << 16 | 256)));
      return To::markOpaque(To::weighed(b.old, b.s, ws, b.translucent), b.opaque);
    }
  }
};

// Opaque pels blended by K, translucent ones by a * K >> 8.
struct SrcAlphaK {
  static constexpr bool alphas = true;
  static constexpr bool kindBlind = false;
  template <Kind>
  static constexpr bool copies = false;
  template <class V, class To, Kind kind>
  static typename V::T apply(const Block<V>& b, int K) {
    const auto k = V::set32(uint32_t(K));
    if constexpr (kind == opaqueBlock) {
      return To::blend(b.old, b.s, k);
    } else if constexpr (kind == translucentBlock) {
      return To::blend(b.old, b.s, V::template srli32<8>(V::mullo16(b.a, k)));
    } else {
      // Weighed by (w, 255 - w), transparent pels by (0, 256); a * K >> 8
      // in both halves.
      const auto k2 = V::set32(uint32_t(K) << 16 | uint32_t(K));
      const auto m = V::template srli16<8>(V::mullo16(b.a, k2));
      return To::weighed(b.old, b.s, V::or_(m, V::and_(b.opaque, k2)), b.visible);
    }
  }
};

}  // namespace
}  // namespace alphaVector
