// Pixel types of the image library: the type codes, the eight pixel structs,
// the channel-width tables and the conversion of one pel between formats.
//
// Every per-format piece of code elsewhere is a template over the structs
// below; a struct describes its layout through a few constants (where each
// channel lies, which bits are an x field, which bits a colour key compares),
// so one template body serves every format.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace talvo::g {

// Pixel type code, as held by every pixel format record.
using PelType = std::int32_t;

namespace pel_type {
inline constexpr PelType none = 0;
inline constexpr PelType rgb888 = 1;
inline constexpr PelType rgbx8888 = 2;
inline constexpr PelType rgba8888 = 3;
inline constexpr PelType rgb565 = 4;
inline constexpr PelType rgbx5551 = 5;
inline constexpr PelType rgba5551 = 6;
inline constexpr PelType rgbx4444 = 7;
inline constexpr PelType rgba4444 = 8;
inline constexpr PelType index8 = 9;     // 8-bit palette index
inline constexpr PelType reserved10 = 10; // 2 bytes, nothing supports it
inline constexpr PelType reserved11 = 11; // 4 bytes, nothing supports it
inline constexpr PelType count = 12;
}  // namespace pel_type

// Bytes per pel by type code 0 to 11.
inline constexpr std::uint8_t pel_sizes[pel_type::count] = {4, 3, 4, 4, 2, 2, 2, 2, 2, 1, 2, 4};

// Bytes per pel of a type code; 0 for a code outside the table, so that such
// a type neither allocates nor addresses anything.
constexpr int bytes_per_pel(PelType type) {
  return type >= 0 && type < pel_type::count ? pel_sizes[type] : 0;
}

// ---------------------------------------------------------------------------
// Channel-width tables: entry v of the table s>d is the integer nearest to
// v * (2^d - 1) / (2^s - 1). No entry falls on a half.

namespace detail {
template <int S, int D>
struct DepthTable {
  std::uint8_t v[1 << S];
  constexpr DepthTable() : v{} {
    constexpr std::uint32_t smax = (1u << S) - 1, dmax = (1u << D) - 1;
    for (std::uint32_t i = 0; i <= smax; ++i) v[i] = std::uint8_t((2 * i * dmax + smax) / (2 * smax));
  }
};
}  // namespace detail

struct BitDepthTables {
  detail::DepthTable<1, 4> t1_4;
  detail::DepthTable<1, 8> t1_8;
  detail::DepthTable<4, 1> t4_1;
  detail::DepthTable<4, 5> t4_5;
  detail::DepthTable<4, 6> t4_6;
  detail::DepthTable<4, 8> t4_8;
  detail::DepthTable<5, 4> t5_4;
  detail::DepthTable<5, 6> t5_6;
  detail::DepthTable<5, 8> t5_8;
  detail::DepthTable<6, 4> t6_4;
  detail::DepthTable<6, 5> t6_5;
  detail::DepthTable<6, 8> t6_8;
  detail::DepthTable<8, 1> t8_1;
  detail::DepthTable<8, 4> t8_4;
  detail::DepthTable<8, 5> t8_5;
  detail::DepthTable<8, 6> t8_6;

  // The table for s>d.
  template <int S, int D>
  constexpr const std::uint8_t* table() const {
#define TALVO_G_DEPTH(s, d) \
  if constexpr (S == s && D == d) return t##s##_##d.v; else
    TALVO_G_DEPTH(1, 4) TALVO_G_DEPTH(1, 8) TALVO_G_DEPTH(4, 1) TALVO_G_DEPTH(4, 5)
    TALVO_G_DEPTH(4, 6) TALVO_G_DEPTH(4, 8) TALVO_G_DEPTH(5, 4) TALVO_G_DEPTH(5, 6)
    TALVO_G_DEPTH(5, 8) TALVO_G_DEPTH(6, 4) TALVO_G_DEPTH(6, 5) TALVO_G_DEPTH(6, 8)
    TALVO_G_DEPTH(8, 1) TALVO_G_DEPTH(8, 4) TALVO_G_DEPTH(8, 5) TALVO_G_DEPTH(8, 6)
    static_assert(S != S, "no table for these widths");
#undef TALVO_G_DEPTH
  }
};

inline constexpr BitDepthTables bit_depth_tables{};

// A channel value of S bits as D bits; equal widths copy the value.
template <int S, int D>
constexpr std::uint32_t rescale(std::uint32_t v) {
  if constexpr (S == D)
    return v;
  else
    return bit_depth_tables.table<S, D>()[v];
}

// ---------------------------------------------------------------------------
// Pixel structs. Each is a plain value of exactly its byte size; raw() gives
// the pel as a number (an Rgb888 as b | g << 8 | r << 16) and set_raw stores
// one.

// Where a channel lies in a pel's raw value; 0 bits: the format lacks it.
struct Field {
  int shift;
  int bits;
  constexpr std::uint32_t max() const { return (1u << bits) - 1; }
  constexpr std::uint32_t mask() const { return max() << shift; }
  constexpr std::uint32_t get(std::uint32_t raw) const { return (raw >> shift) & max(); }
};

template <class P>
concept PixelStruct = requires(P p, const P cp, std::uint32_t v) {
  { P::type } -> std::convertible_to<PelType>;
  { cp.raw() } -> std::same_as<std::uint32_t>;
  p.set_raw(v);
} && std::is_trivially_copyable_v<P> && sizeof(P) == P::size;

template <class D, class S>
constexpr void convert_pel(D& d, const S& s);

// A pel held as one little-endian 16- or 32-bit value with the given fields;
// an x field's bits are x_mask. A colour key compares every other bit. Every
// struct assigns from every other struct (the pel conversion) and is made
// from a raw value with from_raw.
template <class Derived, class Word, PelType Type, Field R, Field G, Field B, Field A,
          std::uint32_t XMask>
struct PackedPel {
  Word value;
  static constexpr PelType type = Type;
  static constexpr int size = sizeof(Word);
  static constexpr Field red = R, green = G, blue = B, alpha = A;
  static constexpr std::uint32_t x_mask = XMask;
  static constexpr std::uint32_t key_mask = Word(~Word(0)) & ~XMask;
  constexpr std::uint32_t raw() const { return value; }
  constexpr void set_raw(std::uint32_t v) { value = Word(v); }

  template <class S>
    requires PixelStruct<S> && (!std::is_same_v<S, Derived>)
  constexpr Derived& operator=(const S& s) {
    convert_pel(static_cast<Derived&>(*this), s);
    return static_cast<Derived&>(*this);
  }
  static constexpr Derived from_raw(std::uint32_t v) {
    Derived p{};
    p.set_raw(v);
    return p;
  }
};

// 32-bit value: blue 0-7, green 8-15, red 16-23, x 24-31.
struct Rgbx8888 : PackedPel<Rgbx8888, std::uint32_t, pel_type::rgbx8888, Field{16, 8}, Field{8, 8},
                            Field{0, 8}, Field{0, 0}, 0xFF000000u> {
  using PackedPel::operator=;
};

// 32-bit value: blue 0-7, green 8-15, red 16-23, alpha 24-31.
struct Rgba8888 : PackedPel<Rgba8888, std::uint32_t, pel_type::rgba8888, Field{16, 8}, Field{8, 8},
                            Field{0, 8}, Field{24, 8}, 0> {
  using PackedPel::operator=;
};

// Three bytes in memory order blue, green, red; no alignment beyond a byte.
struct Rgb888 {
  std::uint8_t b, g, r;
  static constexpr PelType type = pel_type::rgb888;
  static constexpr int size = 3;
  static constexpr Field red{16, 8}, green{8, 8}, blue{0, 8}, alpha{0, 0};
  static constexpr std::uint32_t x_mask = 0;
  static constexpr std::uint32_t key_mask = 0x00FFFFFFu;
  constexpr std::uint32_t raw() const { return b | std::uint32_t(g) << 8 | std::uint32_t(r) << 16; }
  constexpr void set_raw(std::uint32_t v) {
    b = std::uint8_t(v);
    g = std::uint8_t(v >> 8);
    r = std::uint8_t(v >> 16);
  }

  template <class S>
    requires PixelStruct<S> && (!std::is_same_v<S, Rgb888>)
  constexpr Rgb888& operator=(const S& s) {
    convert_pel(*this, s);
    return *this;
  }
  static constexpr Rgb888 from_raw(std::uint32_t v) {
    Rgb888 p{};
    p.set_raw(v);
    return p;
  }
};

// 16-bit value: blue 0-4, green 5-10, red 11-15.
struct Rgb565 : PackedPel<Rgb565, std::uint16_t, pel_type::rgb565, Field{11, 5}, Field{5, 6},
                          Field{0, 5}, Field{0, 0}, 0> {
  using PackedPel::operator=;
  constexpr bool operator==(const Rgb565& o) const { return value == o.value; }
};

// 16-bit value: blue 0-4, green 5-9, red 10-14, alpha bit 15.
struct Rgba5551 : PackedPel<Rgba5551, std::uint16_t, pel_type::rgba5551, Field{10, 5}, Field{5, 5},
                            Field{0, 5}, Field{15, 1}, 0> {
  using PackedPel::operator=;
  constexpr bool operator==(const Rgba5551& o) const { return value == o.value; }
};

// 16-bit value: blue 0-4, green 5-9, red 10-14, x bit 15.
struct Rgbx5551 : PackedPel<Rgbx5551, std::uint16_t, pel_type::rgbx5551, Field{10, 5}, Field{5, 5},
                            Field{0, 5}, Field{0, 0}, 0x8000u> {
  using PackedPel::operator=;
};

// 16-bit value: blue 0-3, green 4-7, red 8-11, alpha 12-15.
struct Rgba4444 : PackedPel<Rgba4444, std::uint16_t, pel_type::rgba4444, Field{8, 4}, Field{4, 4},
                            Field{0, 4}, Field{12, 4}, 0> {
  using PackedPel::operator=;
  constexpr bool operator==(const Rgba4444& o) const { return value == o.value; }
};

// 16-bit value: blue 0-3, green 4-7, red 8-11, x 12-15.
struct Rgbx4444 : PackedPel<Rgbx4444, std::uint16_t, pel_type::rgbx4444, Field{8, 4}, Field{4, 4},
                            Field{0, 4}, Field{0, 0}, 0xF000u> {
  using PackedPel::operator=;
  // The colour bits only; the x nibble is ignored.
  constexpr bool operator==(const Rgbx4444& o) const { return ((value ^ o.value) & key_mask) == 0; }
};

static_assert(sizeof(Rgb888) == 3 && alignof(Rgb888) == 1);
static_assert(PixelStruct<Rgbx8888> && PixelStruct<Rgba8888> && PixelStruct<Rgb888> &&
              PixelStruct<Rgb565> && PixelStruct<Rgba5551> && PixelStruct<Rgbx5551> &&
              PixelStruct<Rgba4444> && PixelStruct<Rgbx4444>);

// Position of a struct among the eight direct-colour structs, in the order
// every per-format list uses: Rgbx8888, Rgba8888, Rgb888, Rgb565, Rgba5551,
// Rgbx5551, Rgba4444, Rgbx4444.
template <class P>
inline constexpr int format_index = -1;
template <> inline constexpr int format_index<Rgbx8888> = 0;
template <> inline constexpr int format_index<Rgba8888> = 1;
template <> inline constexpr int format_index<Rgb888> = 2;
template <> inline constexpr int format_index<Rgb565> = 3;
template <> inline constexpr int format_index<Rgba5551> = 4;
template <> inline constexpr int format_index<Rgbx5551> = 5;
template <> inline constexpr int format_index<Rgba4444> = 6;
template <> inline constexpr int format_index<Rgbx4444> = 7;

template <class P>
inline constexpr bool has_alpha = P::alpha.bits != 0;

// Calls f with a null pointer of the struct of a direct-colour type code;
// gives `otherwise` for every other code.
template <class R, class F>
constexpr R visit_pel_type(PelType type, R otherwise, F&& f) {
  switch (type) {
    case pel_type::rgb888: return f(static_cast<Rgb888*>(nullptr));
    case pel_type::rgbx8888: return f(static_cast<Rgbx8888*>(nullptr));
    case pel_type::rgba8888: return f(static_cast<Rgba8888*>(nullptr));
    case pel_type::rgb565: return f(static_cast<Rgb565*>(nullptr));
    case pel_type::rgbx5551: return f(static_cast<Rgbx5551*>(nullptr));
    case pel_type::rgba5551: return f(static_cast<Rgba5551*>(nullptr));
    case pel_type::rgbx4444: return f(static_cast<Rgbx4444*>(nullptr));
    case pel_type::rgba4444: return f(static_cast<Rgba4444*>(nullptr));
    default: return otherwise;
  }
}

// ---------------------------------------------------------------------------
// Conversion of one pel. Red, green and blue go through the width tables;
// a destination alpha takes the source's alpha, or all ones from a source
// without alpha; a destination x field keeps its bits; source alpha is dropped
// when the destination has none.
template <class D, class S>
constexpr void convert_pel(D& d, const S& s) {
  const std::uint32_t sv = s.raw();
  std::uint32_t dv = d.raw() & D::x_mask;
  dv |= rescale<S::red.bits, D::red.bits>(S::red.get(sv)) << D::red.shift;
  dv |= rescale<S::green.bits, D::green.bits>(S::green.get(sv)) << D::green.shift;
  dv |= rescale<S::blue.bits, D::blue.bits>(S::blue.get(sv)) << D::blue.shift;
  if constexpr (has_alpha<D>) {
    if constexpr (has_alpha<S>)
      dv |= rescale<S::alpha.bits, D::alpha.bits>(S::alpha.get(sv)) << D::alpha.shift;
    else
      dv |= D::alpha.mask();
  }
  d.set_raw(dv);
}

// Colour-key test: the source pel matches the key pel (held in the same
// format) on the bits the format compares; x fields are ignored.
template <PixelStruct S>
constexpr bool matches_key(const S& pel, std::uint32_t key) {
  return ((pel.raw() ^ key) & S::key_mask) == 0;
}

// The pel converted to a type code given at run time, as a number. The
// conversion goes into a zeroed pel, so x fields read 0, except that a
// 16-bit pel asked for its own code comes back unchanged. Codes without a
// struct give 0.
template <PixelStruct S>
constexpr std::uint32_t to_type(const S& pel, PelType target) {
  if (S::size == 2 && target == S::type) return pel.raw();
  return visit_pel_type(target, std::uint32_t(0), [&](auto* tag) {
    using D = std::remove_pointer_t<decltype(tag)>;
    D d{};
    convert_pel(d, pel);
    return d.raw();
  });
}

// Reads and writes a pel at an address of any alignment.
template <PixelStruct P>
inline P load_pel(const std::uint8_t* p) {
  P v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <PixelStruct P>
inline void store_pel(std::uint8_t* p, const P& v) {
  std::memcpy(p, &v, sizeof v);
}

}  // namespace talvo::g
