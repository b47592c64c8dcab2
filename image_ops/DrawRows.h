// Row kernels of the draw with source alpha, for sources that carry alpha
// (Rgba8888, Rgba5551, Rgba4444). Sources without alpha and paletted sources
// are drawn by the copy's own kernels.
//
// draw_rows<D, S> and draw_rows_keyed<D, S> run the copy's row loop with the
// per-pel step DrawOver, which depends only on D's colour layout and size,
// on S and on what the copy writes for the pair at full alpha. Pairs alike in
// all three share one instance: an Rgba8888 source onto Rgbx8888 and onto
// Rgba8888 is one kernel pair and one step.
#pragma once

#include <cstdint>
#include <cstring>

#include "image_ops/CopyRows.h"
#include "image_ops/Weigh.h"
#include "img/Image.h"
#include "img/Pixel.h"

namespace talvo::g {

namespace draw_detail {

// The source's alpha on the scale 0 to 255: the byte, 0 or 255 for one bit,
// the nibble times 17; what the conversion to Rgba8888 gives.
template <class S>
constexpr std::uint32_t alpha_255(std::uint32_t sv) {
  return rescale<S::alpha.bits, 8>(S::alpha.get(sv));
}

// One destination pel under a source pel with alpha a: unchanged at a = 0,
// written as the copy writes it at a = 255 (Full), otherwise the colour
// fields weighed by a and the fourth field (alpha or x) left as it was.
template <class Layout, class S, class Full>
struct DrawOver {
  static_assert(has_alpha<S>);
  static constexpr int dst_size = Layout::size, src_size = S::size;

  // At a = 0 the weighing gives the pel back unchanged, so only full alpha
  // takes the other road; both are computed and one is kept, without a
  // branch.
  static void pel(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t*) {
    const std::uint32_t a = alpha_255<S>(load_pel<S>(s).raw());
    using Colours = weigh_detail::ColoursOf<Layout, S>;
    const std::uint32_t dv = load_pel<Layout>(d).raw();
    const std::uint32_t weighed = weigh_detail::weigh<Layout>(dv, Colours::get(s, nullptr), a);
    std::uint8_t full[Layout::size];
    std::memcpy(full, d, Layout::size);
    Full::pel(full, s, nullptr);
    store_pel(d, Layout::from_raw(a == 255 ? load_pel<Layout>(full).raw() : weighed));
  }
};

template <class D, class S>
using DrawRuleOf = DrawOver<weigh_detail::ColourLayout<D>, S, typename copy_detail::RuleOf<D, S>::type>;

template <class D, class S, bool Keyed>
void draw_rows_for(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect& src_rect) {
  using KeyTest = typename copy_detail::KeyTestOf<D, S, Keyed>::type;
  const std::uint8_t* const no_table = nullptr;
  constexpr vec::Kernel kernel = Keyed ? vec::Kernel::none : vec::kernel_of<D, S>(vec::Operation::draw);
  copy_detail::copy_rows_by<DrawRuleOf<D, S>, KeyTest, kernel>(dst, x, y, src, src_rect, no_table);
}

}  // namespace draw_detail

// One pel of an alpha source S drawn onto a pel of D, in place.
template <class D, class S>
void draw_pel(D& d, const S& s) {
  draw_detail::DrawRuleOf<D, S>::pel(reinterpret_cast<std::uint8_t*>(&d),
                                     reinterpret_cast<const std::uint8_t*>(&s), nullptr);
}

template <class D, class S>
void draw_rows(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect& src_rect) {
  draw_detail::draw_rows_for<D, S, false>(dst, x, y, src, src_rect);
}

// The keyed twin: source pels equal to the key pel in every bit, alpha
// included, are left out.
template <class D, class S>
void draw_rows_keyed(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect& src_rect) {
  draw_detail::draw_rows_for<D, S, true>(dst, x, y, src, src_rect);
}

}  // namespace talvo::g
