// Colour collectors: running sums of weighted samples of one pixel type and
// their average as a pel of that type. The filtered resampler feeds one
// collector the samples of a destination pel, takes the average, and goes
// on with the next pel.
//
// Sums are 16.16 fixed point at the type's own channel depth (a 5-bit red
// sums 0..31, never widened), in 64 bits; every step truncates. Fractions
// are 16-bit fixed point: 0 takes nothing of the second pel, 65536 all of it.
//
//   RGBCollector<P>        red, green, blue of every sample
//   RGBACollector<P>       red, green, blue and alpha (straight) of every sample
//   RGBCollectorVoid<P>    as RGBCollector, skipping samples equal to a key pel
//   RGBACollectorVoid<P>   as RGBACollector, skipping samples equal to a key pel
//
// A key-skipping collector compares a pel with its key pel on the bits the
// type's colour key compares (P::key_mask: x fields are ignored). A key pel
// never contributes: its weight moves to its partner in the same row, or for
// a whole key row to the other row, and a sample that is all key is dropped.
// With nothing gathered, get() gives the key pel itself.
#pragma once

#include <bit>
#include <cstdint>

#include "img/Pixel.h"

namespace talvo::g {

// 1.0 in 16.16 fixed point.
inline constexpr std::int32_t fixed_one = 65536;

// The plain collector of P, summing red, green and blue, and alpha when
// Alpha is set.
template <PixelStruct P, bool Alpha>
class PlainCollector {
 public:
  using pel_type = P;

  // One sample interpolated between four neighbours: fx weights the
  // right-hand pel of each row, fy the bottom row.
  void add(const P& top_left, const P& top_right, const P& bottom_left, const P& bottom_right,
           std::int32_t fx, std::int32_t fy) {
    add_rows(top_left, top_right, fx, bottom_left, bottom_right, fx, fy);
  }

  // One sample interpolated between two neighbours; f weights the second.
  void add(const P& first, const P& second, std::int32_t f) {
    const std::uint32_t a = first.raw(), b = second.raw();
    for (int c = 0; c < channels; ++c) sum_[c] += mix(field(c).get(a), field(c).get(b), f);
    ++count_;
  }

  // One sample of a pel.
  void add(const P& pel) {
    const std::uint32_t v = pel.raw();
    for (int c = 0; c < channels; ++c) sum_[c] += std::int64_t(field(c).get(v)) * fixed_one;
    ++count_;
  }

  // Four neighbours with a fraction of their own for each row: each row is
  // interpolated (products below 2^24), then the two rows (in 64 bits), the
  // fraction dropped.
  void add_rows(const P& top_left, const P& top_right, std::int32_t fx_top, const P& bottom_left,
                const P& bottom_right, std::int32_t fx_bottom, std::int32_t fy) {
    const std::uint32_t tl = top_left.raw(), tr = top_right.raw();
    const std::uint32_t bl = bottom_left.raw(), br = bottom_right.raw();
    for (int c = 0; c < channels; ++c) {
      const Field f = field(c);
      const std::int64_t top = mix(f.get(tl), f.get(tr), fx_top);
      const std::int64_t bottom = mix(f.get(bl), f.get(br), fx_bottom);
      sum_[c] += mix(top, bottom, fy) >> 16;
    }
    ++count_;
  }

  // The truncated average of the samples since the previous get (a zero pel
  // when there were none); clears the sums and the count. x fields read 0.
  P get() {
    std::uint32_t v = 0;
    if (count_ > 0)
      for (int c = 0; c < channels; ++c) v |= average(sum_[c], count_) << field(c).shift;
    for (auto& s : sum_) s = 0;
    count_ = 0;
    return P::from_raw(v);
  }

  std::int32_t count() const { return count_; }

 private:
  static constexpr int channels = Alpha ? 4 : 3;
  // a * (65536 - f) + b * f, exactly, with one product.
  static std::int64_t mix(std::int64_t a, std::int64_t b, std::int32_t f) { return a * fixed_one + (b - a) * f; }

  // (sum / count) >> 16, computed as (sum >> 16) / count, which is the same
  // number (both are the quotient of sum by count * 65536). Upscaling gives
  // counts of 1, 2 and 4, which need no division; others mostly fit a 32-bit
  // one.
  static std::uint32_t average(std::int64_t sum, std::int32_t count) {
    const std::uint64_t whole = std::uint64_t(sum) >> 16;
    if ((count & (count - 1)) == 0) return std::uint32_t(whole >> std::countr_zero(std::uint32_t(count)));
    if (whole <= UINT32_MAX) return std::uint32_t(whole) / std::uint32_t(count);
    return std::uint32_t(whole / std::uint64_t(count));
  }
  static constexpr Field field(int c) {
    return c == 0 ? P::red : c == 1 ? P::green : c == 2 ? P::blue : P::alpha;
  }

  std::int64_t sum_[channels] = {};  // red, green, blue (, alpha)
  std::int32_t count_ = 0;
};

// The key-skipping collector of P.
template <PixelStruct P, bool Alpha>
class KeySkippingCollector {
 public:
  using pel_type = P;

  explicit KeySkippingCollector(const P& key) : key_(key) {}

  void add(const P& top_left, const P& top_right, const P& bottom_left, const P& bottom_right,
           std::int32_t fx, std::int32_t fy) {
    std::int32_t fx_top = fx, fx_bottom = fx;
    const bool top_void = is_key(top_left) && is_key(top_right);
    if (top_void)
      fy = fixed_one;
    else if (is_key(top_left))
      fx_top = fixed_one;
    else if (is_key(top_right))
      fx_top = 0;
    if (is_key(bottom_left) && is_key(bottom_right)) {
      if (top_void) return;
      fy = 0;
    } else if (is_key(bottom_left)) {
      fx_bottom = fixed_one;
    } else if (is_key(bottom_right)) {
      fx_bottom = 0;
    }
    plain_.add_rows(top_left, top_right, fx_top, bottom_left, bottom_right, fx_bottom, fy);
  }

  void add(const P& first, const P& second, std::int32_t f) {
    const bool first_key = is_key(first), second_key = is_key(second);
    if (first_key && second_key) return;
    if (first_key)
      f = fixed_one;
    else if (second_key)
      f = 0;
    plain_.add(first, second, f);
  }

  void add(const P& pel) {
    if (!is_key(pel)) plain_.add(pel);
  }

  // The average of the samples that were not key; the key pel, all its
  // bits, when there were none.
  P get() { return plain_.count() > 0 ? plain_.get() : key_; }

  bool is_key(const P& pel) const { return matches_key(pel, key_.raw()); }

 private:
  PlainCollector<P, Alpha> plain_;
  P key_;
};

template <PixelStruct P>
using RGBCollector = PlainCollector<P, false>;
template <PixelStruct P>
using RGBACollector = PlainCollector<P, true>;
template <PixelStruct P>
using RGBCollectorVoid = KeySkippingCollector<P, false>;
template <PixelStruct P>
using RGBACollectorVoid = KeySkippingCollector<P, true>;

// The collector a source of P uses: alpha is summed where P has it; sources
// with a colour key skip their key pels.
template <PixelStruct P, bool Keyed>
using CollectorFor = std::conditional_t<Keyed, KeySkippingCollector<P, has_alpha<P>>,
                                        PlainCollector<P, has_alpha<P>>>;

}  // namespace talvo::g
