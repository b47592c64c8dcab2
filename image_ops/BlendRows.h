// Row kernels of the constant-weight blend.
//
// blend_rows_k<D, S> and blend_rows_k_keyed<D, S> blend a source rectangle
// into (x, y) of a destination with the source weighed by k/256, for a
// destination struct D and a source struct S or a paletted source
// (S = Paletted). They run the copy's row loop with the per-pel rule of the
// pair, picked from the table below, and the copy's key tests.
#pragma once

#include <cstdint>
#include <type_traits>

#include "image_ops/CopyRows.h"
#include "image_ops/Weigh.h"
#include "img/Image.h"
#include "img/Pixel.h"

namespace talvo::g {

namespace blend_detail {

using weigh_detail::ColourLayout;
using weigh_detail::ColoursOf;
using weigh_detail::weigh;

// What every per-pel call of one run gets: the weight and, for a paletted
// source, its palette converted to D.
struct BlendArg {
  const std::uint8_t* table;
  std::uint32_t k;  // the weight as given; exact for 0 to 256
};

// P, and W for every k but 0 and 255: the colour fields weighed, the rest
// kept.
template <class Layout, class Colours>
struct Weighed {
  static constexpr int dst_size = Layout::size, src_size = Colours::size;
  static void pel(std::uint8_t* d, const std::uint8_t* s, BlendArg arg) {
    store_pel(d,
              Layout::from_raw(weigh<Layout>(load_pel<Layout>(d).raw(), Colours::get(s, arg.table), arg.k)));
  }
};

// D: each field c_d + (((c_s - c_d) * k) >> 8), the product signed and the
// shift rounding towards minus infinity. The product is formed in unsigned
// 32-bit arithmetic, which gives the signed product exactly for k from 0 to
// 256 and wraps without fault for any other k; the field is cut to its width.
template <Field F>
constexpr std::uint32_t difference_field(std::uint32_t dv, std::uint32_t sv, std::uint32_t k) {
  const std::int32_t cd = std::int32_t(F.get(dv)), cs = std::int32_t(F.get(sv));
  const std::int32_t step = std::int32_t(std::uint32_t(cs - cd) * k) >> 8;
  return (std::uint32_t(cd + step) & F.max()) << F.shift;
}

template <class Layout, class Colours>
struct Difference {
  static constexpr int dst_size = Layout::size, src_size = Colours::size;
  static void pel(std::uint8_t* d, const std::uint8_t* s, BlendArg arg) {
    const std::uint32_t dv = load_pel<Layout>(d).raw(), sv = Colours::get(s, arg.table);
    constexpr std::uint32_t colour = Layout::red.mask() | Layout::green.mask() | Layout::blue.mask();
    store_pel(d, Layout::from_raw((dv & ~colour) | difference_field<Layout::red>(dv, sv, arg.k) |
                                  difference_field<Layout::green>(dv, sv, arg.k) |
                                  difference_field<Layout::blue>(dv, sv, arg.k)));
  }
};

// The rule of each pair: destination in the rows, source in the columns, in
// the order Rgbx8888 Rgba8888 Rgb888 Rgb565 Rgba5551 Rgbx5551 Rgba4444
// Rgbx4444, then a paletted source. W weighted with two shortcuts: k = 0
// leaves every pel, k = 255 writes what the copy writes for the pair (the
// whole source pel or palette entry where the copy copies whole, else the
// conversion); P weighted without shortcuts; D the difference form.
inline constexpr char rules[8][10] = {
    //  x8  a8 888 565 a51 x51 a44 x44 pal
    "PWWWWWWWP",  // Rgbx8888
    "WWWWWWWWW",  // Rgba8888
    "WWWWWWWWW",  // Rgb888
    "WWWDWWWWD",  // Rgb565
    "WWWWWWWWW",  // Rgba5551
    "WWWWWWWWW",  // Rgbx5551
    "WWWWWWWWW",  // Rgba4444
    "WWWWWWWWW",  // Rgbx4444
};

template <class D, class S>
constexpr char rule_letter() {
  if constexpr (std::is_same_v<S, Paletted>)
    return rules[format_index<D>][8];
  else
    return rules[format_index<D>][format_index<S>];
}

template <class D, class S, char R = rule_letter<D, S>()>
struct RuleOf {
  using type = Weighed<ColourLayout<D>, ColoursOf<D, S>>;  // W past its shortcuts, and P
};
template <class D, class S>
struct RuleOf<D, S, 'D'> {
  using type = Difference<ColourLayout<D>, ColoursOf<D, S>>;
};

// The shortcuts of rule W, taken once for a whole run: k = 0 leaves every
// pel, k = 255 writes what the copy writes; other weights, and the other
// rules, weigh every pel.
enum class Shortcut { none, leave, copy };

template <class D, class S>
constexpr Shortcut shortcut_of(std::int32_t k) {
  if constexpr (rule_letter<D, S>() == 'W') {
    if (k == 0) return Shortcut::leave;
    if (k == 255) return Shortcut::copy;
  }
  return Shortcut::none;
}

template <class D, class S, bool Keyed>
void blend_rows_for(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect& src_rect,
                    std::int32_t k) {
  switch (shortcut_of<D, S>(k)) {
    case Shortcut::leave:
      return;
    case Shortcut::copy:
      return copy_detail::copy_rows_for<D, S, Keyed>(dst, x, y, src, src_rect);
    case Shortcut::none:
      break;
  }
  using Rule = typename RuleOf<D, S>::type;
  using KeyTest = typename copy_detail::KeyTestOf<D, S, Keyed>::type;
  const std::uint8_t* table = nullptr;
  if constexpr (std::is_same_v<S, Paletted>) table = src.palette()->converted(D::type);
  constexpr vec::Kernel kernel = Keyed ? vec::Kernel::none : vec::kernel_of<D, S>(vec::Operation::blend);
  copy_detail::copy_rows_by<Rule, KeyTest, kernel>(dst, x, y, src, src_rect, BlendArg{table, std::uint32_t(k)});
}

}  // namespace blend_detail

// One pel of a direct-colour source S blended into a pel of D, in place.
template <class D, class S>
void blend_pel_k(D& d, const S& s, std::int32_t k) {
  auto* dp = reinterpret_cast<std::uint8_t*>(&d);
  auto* sp = reinterpret_cast<const std::uint8_t*>(&s);
  switch (blend_detail::shortcut_of<D, S>(k)) {
    case blend_detail::Shortcut::leave:
      return;
    case blend_detail::Shortcut::copy:
      return copy_detail::RuleOf<D, S>::type::pel(dp, sp, nullptr);
    case blend_detail::Shortcut::none:
      break;
  }
  blend_detail::RuleOf<D, S>::type::pel(dp, sp, blend_detail::BlendArg{nullptr, std::uint32_t(k)});
}

template <class D, class S>
void blend_rows_k(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect& src_rect,
                  std::int32_t k) {
  blend_detail::blend_rows_for<D, S, false>(dst, x, y, src, src_rect, k);
}

template <class D, class S>
void blend_rows_k_keyed(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect& src_rect,
                        std::int32_t k) {
  blend_detail::blend_rows_for<D, S, true>(dst, x, y, src, src_rect, k);
}

}  // namespace talvo::g
