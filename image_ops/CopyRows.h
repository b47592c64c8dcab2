// Row kernels of the copy with conversion.
//
// copy_rows<D, S> and copy_rows_keyed<D, S> copy a source rectangle to
// (x, y) of a destination, for a destination struct D and a source struct S,
// a paletted source (S = Paletted) or index images (D = S = Index8). The keyed
// twin leaves out the source pels that match the source's key pel.
//
// Each kernel is one instance of copy_rows_by<Rule, KeyTest>: the rule says
// how one destination pel is written, the key test which source pels are
// left out. Pairs that write the same way share one instance (all whole-pel
// copies of one size, conversions from the alpha and x twins of a format into
// a destination without alpha, paletted sources onto destinations of one pel
// size), and an unkeyed kernel has no key test at all.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "image_ops/VectorRows.h"
#include "img/Image.h"
#include "img/Pixel.h"

namespace talvo::g {

// Source tags beside the pixel structs.
struct Paletted {};  // a source with a palette, read as one index byte a pel
struct Index8 {};    // an index image without palette

namespace copy_detail {

// --- How a destination pel is written -------------------------------------

// V: the pel conversion (x fields of D keep their bits).
template <class D, class S>
struct Convert {
  static constexpr int dst_size = D::size, src_size = S::size;
  static void pel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*) {
    D out{};
    if constexpr (D::x_mask != 0) out = load_pel<D>(d);
    convert_pel(out, load_pel<S>(s));
    store_pel(d, out);
  }
};

// W: the source pel copied whole, x field included.
template <int Size>
struct Whole {
  static constexpr int dst_size = Size, src_size = Size;
  static constexpr bool copies_bytes = true;  // a whole row is one block copy
  static void pel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*) {
    std::memcpy(d, s, Size);
  }
};

// A: the source's 32-bit word with alpha 255, whatever its x byte held.
struct WholeOpaque {
  static constexpr int dst_size = 4, src_size = 4;
  static void pel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*) {
    std::uint32_t v;
    std::memcpy(&v, s, 4);
    v |= 0xFF000000u;
    std::memcpy(d, &v, 4);
  }
};

// P: the palette entry of the source's index, converted to D, written whole.
template <int Size>
struct PaletteEntry {
  static constexpr int dst_size = Size, src_size = 1;
  static void pel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* table) {
    std::memcpy(d, table + std::size_t(*s) * Size, Size);
  }
};

// I: the index byte copied.
struct IndexByte {
  static constexpr int dst_size = 1, src_size = 1;
  static constexpr bool copies_bytes = true;
  static void pel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*) { *d = *s; }
};

// --- Which source pels are left out ----------------------------------------

struct NoKey {
  static constexpr bool none = true;
  static bool skip(const std::uint8_t*, std::uint32_t) { return false; }
};

// A direct-colour source: the bits its format compares (key_mask).
template <int Size, std::uint32_t Mask>
struct KeyBits {
  static bool skip(const std::uint8_t* s, std::uint32_t key) {
    std::uint32_t v = 0;
    std::memcpy(&v, s, Size);
    return ((v ^ key) & Mask) == 0;
  }
};
template <class S>
using KeyOf = KeyBits<S::size, S::key_mask>;

// A paletted source onto a direct-colour destination: the index as a number
// against the key pel's whole value.
struct KeyIndexValue {
  static bool skip(const std::uint8_t* s, std::uint32_t key) { return *s == key; }
};

// An index image onto an index image: the index byte against the key pel's
// low byte.
struct KeyIndexByte {
  static bool skip(const std::uint8_t* s, std::uint32_t key) { return *s == std::uint8_t(key); }
};

// --- The rule of each pair ---------------------------------------------------

// Destination in the rows, source in the columns, both in the order
// Rgbx8888 Rgba8888 Rgb888 Rgb565 Rgba5551 Rgbx5551 Rgba4444 Rgbx4444.
// W whole copy, A whole copy with alpha 255, V conversion.
inline constexpr char rules[8][9] = {
    //  x8  a8 888 565 a51 x51 a44 x44
    "WWVVVVVV",  // Rgbx8888
    "AWVVVVVV",  // Rgba8888
    "VVWVVVVV",  // Rgb888
    "VVVWVVVV",  // Rgb565
    "VVVVWVVV",  // Rgba5551
    "VVVVVWVV",  // Rgbx5551
    "VVVVVVWV",  // Rgba4444
    "VVVVVVVW",  // Rgbx4444
};

// The x twin of an alpha format: a destination without alpha reads only the
// colour fields, which the twins hold alike, so both share one conversion.
template <class S> struct ColourTwin { using type = S; };
template <> struct ColourTwin<Rgba8888> { using type = Rgbx8888; };
template <> struct ColourTwin<Rgba5551> { using type = Rgbx5551; };
template <> struct ColourTwin<Rgba4444> { using type = Rgbx4444; };

template <class D, class S>
using ConvertFrom = Convert<D, std::conditional_t<has_alpha<D>, S, typename ColourTwin<S>::type>>;

template <class D, class S>
constexpr char rule_letter() {
  if constexpr (format_index<D> < 0 || format_index<S> < 0)
    return 0;  // a paletted or index source: its rule is fixed below
  else
    return rules[format_index<D>][format_index<S>];
}

template <class D, class S, char R = rule_letter<D, S>()>
struct RuleOf;
template <class D, class S> struct RuleOf<D, S, 'V'> { using type = ConvertFrom<D, S>; };
template <class D, class S> struct RuleOf<D, S, 'W'> {
  static_assert(D::size == S::size);
  using type = Whole<D::size>;
};
template <class D, class S> struct RuleOf<D, S, 'A'> { using type = WholeOpaque; };
template <class D> struct RuleOf<D, Paletted, 0> { using type = PaletteEntry<D::size>; };
template <> struct RuleOf<Index8, Index8, 0> { using type = IndexByte; };

template <class D, class S, bool Keyed> struct KeyTestOf { using type = NoKey; };
template <class D, class S> struct KeyTestOf<D, S, true> { using type = KeyOf<S>; };
template <class D> struct KeyTestOf<D, Paletted, true> { using type = KeyIndexValue; };
template <> struct KeyTestOf<Index8, Index8, true> { using type = KeyIndexByte; };

inline bool inside(const Rect& r, const Image& image) {
  return r.x0 >= 0 && r.y0 >= 0 && r.x1 <= image.width() && r.y1 <= image.height();
}

// The weight a vector kernel gets from a run's per-pel argument: the
// blend's k, else nothing.
template <class Arg>
std::uint32_t vector_arg(const Arg& arg) {
  if constexpr (requires { arg.k; })
    return arg.k;
  else
    return 0;
}

// The one row loop behind every copy kernel (and the draw's and the blend's).
// `arg` goes to every Rule::pel call: for the copy the converted palette of a
// paletted source, else null. Kept out of line, so that the pairs that share
// a rule, key test and vector kernel share this one body. Where the vector
// kernel K exists at the current level, it writes the first pels of each
// row and the rule the rest.
template <class Rule, class KeyTest, vec::Kernel K = vec::Kernel::none, class Arg = const std::uint8_t*>
[[gnu::noinline]] void copy_rows_by(Image& dst, std::int32_t x, std::int32_t y, Image& src,
                                    const Rect& src_rect, Arg arg) {
  const std::int32_t w = src_rect.width(), h = src_rect.height();
  const Rect dst_rect{x, y, x + w, y + h};
  // Callers keep both rectangles inside their images.
  assert(w <= 0 || h <= 0 || (inside(dst_rect, dst) && inside(src_rect, src)));
  Image::Lock dl(dst, &dst_rect, Image::Lock::write);
  Image::Lock sl(src, &src_rect, Image::Lock::read);
  if (w <= 0 || h <= 0 || !dl.pels || !sl.pels) return;
  const std::uint32_t key = src.key_pel();
  if constexpr (requires { requires Rule::copies_bytes && KeyTest::none; }) {
    // Rows that follow each other in both images, the two blocks apart:
    // one block copy.
    const std::size_t row_bytes = std::size_t(w) * Rule::dst_size, n = row_bytes * std::size_t(h);
    const std::uintptr_t to = std::uintptr_t(dl.pels), from = std::uintptr_t(sl.pels);
    if (dl.pitch == sl.pitch && std::size_t(dl.pitch) == row_bytes && (to + n <= from || from + n <= to)) {
      std::memcpy(dl.pels, sl.pels, n);
      return;
    }
  }
  const vec::RowFn vector_rows = vec::row_kernel(K);
  std::uint32_t weight_or_key = vector_arg(arg);
  if constexpr (!requires { KeyTest::none; }) weight_or_key = key;
  for (std::int32_t r = 0; r < h; ++r) {
    std::uint8_t* d = dl.row(r);
    const std::uint8_t* s = sl.row(r);
    if constexpr (requires { requires Rule::copies_bytes && KeyTest::none; }) {
      std::memmove(d, s, std::size_t(w) * Rule::dst_size);
      continue;
    }
    std::int32_t c = 0;
    if constexpr (K != vec::Kernel::none) {
      if (vector_rows) {
        c = vector_rows(d, s, w, weight_or_key);
        d += std::ptrdiff_t(c) * Rule::dst_size;
        s += std::ptrdiff_t(c) * Rule::src_size;
      }
    }
    for (; c < w; ++c, d += Rule::dst_size, s += Rule::src_size)
      if (!KeyTest::skip(s, key)) Rule::pel(d, s, arg);
  }
}

template <class D, class S, bool Keyed>
void copy_rows_for(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect& src_rect) {
  using Rule = typename RuleOf<D, S>::type;
  using KeyTest = typename KeyTestOf<D, S, Keyed>::type;
  const std::uint8_t* table = nullptr;
  if constexpr (std::is_same_v<S, Paletted>) table = src.palette()->converted(D::type);
  constexpr vec::Kernel kernel = vec::kernel_of<D, S>(Keyed ? vec::Operation::copy_keyed : vec::Operation::copy);
  copy_rows_by<Rule, KeyTest, kernel>(dst, x, y, src, src_rect, table);
}

}  // namespace copy_detail

template <class D, class S>
void copy_rows(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect& src_rect) {
  copy_detail::copy_rows_for<D, S, false>(dst, x, y, src, src_rect);
}

template <class D, class S>
void copy_rows_keyed(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect& src_rect) {
  copy_detail::copy_rows_for<D, S, true>(dst, x, y, src, src_rect);
}

// The kernel of the pair for the source's key flag.
template <class D, class S>
void copy_rows_auto(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect& src_rect) {
  if (src.has_color_key())
    copy_rows_keyed<D, S>(dst, x, y, src, src_rect);
  else
    copy_rows<D, S>(dst, x, y, src, src_rect);
}

}  // namespace talvo::g
