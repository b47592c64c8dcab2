// Weighted mixing of two pels on a destination format's own colour fields,
// shared by the draw with source alpha and the constant-weight blend.
//
// The fields are never widened to 8 bits: a 5-bit red is mixed as a 5-bit
// value. The source is weighed by w/256 and the destination by (256 - w)/256,
// each product shifted down on its own, so each term rounds down.
#pragma once

#include <cstdint>

#include "image_ops/CopyRows.h"
#include "img/Pixel.h"

namespace talvo::g::weigh_detail {

// The colour layout a weighed pel is read and written in: alpha and x twins
// hold their colour fields alike and the mix keeps every other bit, so a
// format and its twin share one body.
template <class P>
using ColourLayout = typename copy_detail::ColourTwin<P>::type;

// One field: ((c_s * w) >> 8) + ((c_d * (256 - w)) >> 8), cut to the field's
// width and put back in place. Unsigned 32-bit arithmetic: exact for w from 0
// to 256; any other w wraps, and the cut keeps the result inside its field.
template <Field F>
constexpr std::uint32_t weigh_field(std::uint32_t dv, std::uint32_t sv, std::uint32_t w) {
  return ((((F.get(sv) * w) >> 8) + ((F.get(dv) * (256u - w)) >> 8)) & F.max()) << F.shift;
}

// dv with its red, green and blue mixed with those of sv (a value laid out as
// D) at weight w/256 for sv; every other bit of dv kept.
template <class D>
constexpr std::uint32_t weigh(std::uint32_t dv, std::uint32_t sv, std::uint32_t w) {
  constexpr std::uint32_t colour = D::red.mask() | D::green.mask() | D::blue.mask();
  if constexpr (D::red.mask() == 0xFF0000u && D::green.mask() == 0xFF00u && D::blue.mask() == 0xFFu) {
    // Bytes 0-2: red and blue weighed together, each product in a 16-bit
    // lane of its own (255 * 256 fits one), then green. For w from 0 to 256
    // every lane is the field's own formula and no sum carries; any other w
    // is still cut to each field.
    constexpr std::uint32_t rb = 0xFF00FFu, g = 0xFF00u;
    const std::uint32_t red_blue = ((((sv & rb) * w) >> 8) & rb) + ((((dv & rb) * (256u - w)) >> 8) & rb);
    const std::uint32_t green = ((((sv & g) * w) >> 8) & g) + ((((dv & g) * (256u - w)) >> 8) & g);
    return (dv & ~colour) | (red_blue & rb) | (green & g);
  } else {
    return (dv & ~colour) | weigh_field<D::red>(dv, sv, w) | weigh_field<D::green>(dv, sv, w) |
           weigh_field<D::blue>(dv, sv, w);
  }
}

// The colour fields of a source pel in D's layout and widths, as a value
// laid out as D (the bits outside the colour fields are not meaningful).
template <class D, class S>
struct ConvertedColours {
  static constexpr int size = S::size;
  static std::uint32_t get(const std::uint8_t* s, const std::uint8_t*) {
    D t{};
    convert_pel(t, load_pel<S>(s));
    return t.raw();
  }
};

// A paletted source: the palette entry of its index, already in D's format.
template <class D>
struct ConvertedColours<D, Paletted> {
  static constexpr int size = 1;
  static std::uint32_t get(const std::uint8_t* s, const std::uint8_t* table) {
    return load_pel<D>(table + std::size_t(*s) * D::size).raw();
  }
};

// The reader of a source's colours onto D (S a pixel struct or Paletted);
// twins share one.
template <class D, class S>
using ColoursOf = ConvertedColours<ColourLayout<D>, ColourLayout<S>>;

}  // namespace talvo::g::weigh_detail
