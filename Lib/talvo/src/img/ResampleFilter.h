// Filtered resampling of a whole pel array into a whole pel array of the
// same type and another size: a template over a colour collector and a wrap
// mode.
//
// A destination pel is the average of bilinear samples taken on the source's
// integer grid inside the pel's footprint, plus one at the footprint's
// top-left corner; when the source is a whole multiple of the destination in
// both directions, it is the mean of the source block. A wrapping direction
// treats the source as a repeating tile (after the last column or row comes
// the first); a direction that does not wrap narrows its positions to
// W - 1 (or H - 1) when it upscales, so that no neighbour lies past the edge.
//
// Positions are 16.16 fixed point in source pels, held in 64 bits so that
// sizes of 32768 and more do not overflow; every edge is exact (the
// truncated quotient of (j + 1) * extent * 65536 by the destination size).
#pragma once

#include <cstdint>

#include "img/Collector.h"
#include "img/Image.h"
#include "img/Pixel.h"
#include "img/ResampleRows.h"

namespace talvo::g {

namespace filter_detail {

constexpr bool wraps_x(ResampleMode m) {
  return m == ResampleMode::filter_wrap_x || m == ResampleMode::filter_wrap_xy;
}
constexpr bool wraps_y(ResampleMode m) {
  return m == ResampleMode::filter_wrap_y || m == ResampleMode::filter_wrap_xy;
}

// The neighbour after index i of a direction of n pels: the first one when
// the direction wraps, else i itself at the last pel (only a one-pel
// direction ever asks for it).
template <bool Wrap>
constexpr std::int64_t next(std::int64_t i, std::int64_t n) {
  return i + 1 < n ? i + 1 : (Wrap ? 0 : i);
}

// The footprint edges floor(j * extent * 65536 / count) for j = 0, 1, 2...,
// walked with a quotient and a remainder instead of one division per pel.
class Edges {
 public:
  Edges(std::int64_t extent, std::int64_t count)
      : count_(count), step_((extent << 16) / count), step_rem_((extent << 16) % count) {}

  std::int64_t value() const { return value_; }
  void advance() {
    value_ += step_;
    rem_ += step_rem_;
    if (rem_ >= count_) {
      rem_ -= count_;
      ++value_;
    }
  }

 private:
  std::int64_t count_, step_, step_rem_;
  std::int64_t value_ = 0, rem_ = 0;
};

// The 16.16 edges of a destination pel's footprint in the source.
struct Footprint {
  std::int64_t x0, x1, y0, y1;
};

// Writes every destination pel, rows top to bottom, each left to right, as
// pel(footprint) for footprints spread over ext_x x ext_y source pels.
template <PixelStruct P, class PelOf>
void for_each_footprint(std::uint8_t* dst, std::int32_t dst_pitch, std::int64_t dW, std::int64_t dH,
                        std::int64_t ext_x, std::int64_t ext_y, PelOf&& pel) {
  Edges y_edges(ext_y, dH);
  for (std::int64_t i = 0; i < dH; ++i, dst += dst_pitch) {
    Footprint f;
    f.y0 = y_edges.value();
    y_edges.advance();
    f.y1 = y_edges.value();
    Edges x_edges(ext_x, dW);
    std::uint8_t* d = dst;
    for (std::int64_t j = 0; j < dW; ++j, d += P::size) {
      f.x0 = x_edges.value();
      x_edges.advance();
      f.x1 = x_edges.value();
      store_pel(d, pel(f));
    }
  }
}

template <PixelStruct P>
inline P pel_at(const std::uint8_t* pels, std::int32_t pitch, std::int64_t c, std::int64_t r) {
  return load_pel<P>(pels + r * pitch + c * P::size);
}

template <class Collector>
Collector make_collector(const typename Collector::pel_type& key) {
  if constexpr (std::is_constructible_v<Collector, const typename Collector::pel_type&>)
    return Collector(key);
  else
    return Collector();
}

}  // namespace filter_detail

// One sample at a 16.16 column x and a 16.16 row y: the four neighbours.
template <ResampleMode Mode, class Collector>
void sample(const std::uint8_t* pels, std::int32_t pitch, std::int32_t width, std::int32_t height,
            std::int64_t x, std::int64_t y, Collector& collector) {
  using P = typename Collector::pel_type;
  using namespace filter_detail;
  const std::int64_t c = x >> 16, r = y >> 16;
  const std::int64_t c1 = next<wraps_x(Mode)>(c, width), r1 = next<wraps_y(Mode)>(r, height);
  collector.add(pel_at<P>(pels, pitch, c, r), pel_at<P>(pels, pitch, c1, r), pel_at<P>(pels, pitch, c, r1),
                pel_at<P>(pels, pitch, c1, r1), std::int32_t(x & 0xFFFF), std::int32_t(y & 0xFFFF));
}

// One sample at the integer column k and a 16.16 row y: the pel and the one
// below it.
template <ResampleMode Mode, class Collector>
void sample_y(const std::uint8_t* pels, std::int32_t pitch, std::int32_t, std::int32_t height,
              std::int64_t k, std::int64_t y, Collector& collector) {
  using P = typename Collector::pel_type;
  using namespace filter_detail;
  const std::int64_t r = y >> 16, r1 = next<wraps_y(Mode)>(r, height);
  collector.add(pel_at<P>(pels, pitch, k, r), pel_at<P>(pels, pitch, k, r1), std::int32_t(y & 0xFFFF));
}

// One sample at a 16.16 column x and the integer row v: the pel and the one
// to its right.
template <ResampleMode Mode, class Collector>
void sample_x(const std::uint8_t* pels, std::int32_t pitch, std::int32_t width, std::int32_t,
              std::int64_t x, std::int64_t v, Collector& collector) {
  using P = typename Collector::pel_type;
  using namespace filter_detail;
  const std::int64_t c = x >> 16, c1 = next<wraps_x(Mode)>(c, width);
  collector.add(pel_at<P>(pels, pitch, c, v), pel_at<P>(pels, pitch, c1, v), std::int32_t(x & 0xFFFF));
}

// Resamples the source (width x height pels at src, rows src_pitch bytes
// apart, either sign) into the destination, writing every destination pel
// once, rows top to bottom. The key-skipping collectors take the samples
// pel by pel as described above; the plain ones get the same sums row by
// row. Plain collectors ignore the key pel. Sizes are
// at least 1; a one-pel direction that does not wrap uses its pel as its
// own neighbour.
template <class Collector, ResampleMode Mode>
void resample(std::uint8_t* dst, std::int32_t dst_pitch, std::int32_t dst_width, std::int32_t dst_height,
              const std::uint8_t* src, std::int32_t src_pitch, std::int32_t src_width,
              std::int32_t src_height, typename Collector::pel_type key) {
  using P = typename Collector::pel_type;
  using namespace filter_detail;
  const std::int64_t W = src_width, H = src_height, dW = dst_width, dH = dst_height;
  const std::int64_t step_x = (W << 16) / dW, step_y = (H << 16) / dH;
  const bool whole_ratio = (step_x & 0xFFFF) == 0 && (step_y & 0xFFFF) == 0 && W > 1 && H > 1;
  // Effective extents: a direction that does not wrap and does not shrink
  // spreads its positions over W - 1 (H - 1) pels.
  const std::int64_t ext_x = !wraps_x(Mode) && step_x <= fixed_one ? W - 1 : W;
  const std::int64_t ext_y = !wraps_y(Mode) && step_y <= fixed_one ? H - 1 : H;

  // The plain collectors' sums, row by row (ResampleRows.h).
  constexpr bool plain3 = std::is_same_v<Collector, PlainCollector<P, false>>;
  constexpr bool plain4 = std::is_same_v<Collector, PlainCollector<P, true>>;
  if constexpr (plain3 || plain4) {
    constexpr int channels = plain4 ? 4 : 3;
    if (whole_ratio)
      filter_rows::mean_of_blocks<P, channels>(dst, dst_pitch, dW, dH, src, src_pitch, W, H);
    else
      filter_rows::resample_rows<P, channels>(dst, dst_pitch, dW, dH, src, src_pitch, W, H, ext_x, ext_y,
                                              wraps_x(Mode), wraps_y(Mode));
    return;
  }

  Collector collector = make_collector<Collector>(key);

  if (whole_ratio) {
    // Whole ratio: the mean of each source block.
    for_each_footprint<P>(dst, dst_pitch, dW, dH, W, H, [&](const Footprint& f) {
      for (std::int64_t r = f.y0 >> 16; r < f.y1 >> 16; ++r)
        for (std::int64_t c = f.x0 >> 16; c < f.x1 >> 16; ++c) collector.add(pel_at<P>(src, src_pitch, c, r));
      return collector.get();
    });
    return;
  }

  for_each_footprint<P>(dst, dst_pitch, dW, dH, ext_x, ext_y, [&](const Footprint& f) {
    // The integer columns and rows strictly inside the footprint.
    const std::int64_t k_first = (f.x0 >> 16) + 1, k_last = (f.x1 - 1) >> 16;
    const std::int64_t v_first = (f.y0 >> 16) + 1, v_last = (f.y1 - 1) >> 16;
    sample<Mode>(src, src_pitch, src_width, src_height, f.x0, f.y0, collector);
    for (std::int64_t k = k_first; k <= k_last; ++k)
      sample_y<Mode>(src, src_pitch, src_width, src_height, k, f.y0, collector);
    for (std::int64_t v = v_first; v <= v_last; ++v) {
      sample_x<Mode>(src, src_pitch, src_width, src_height, f.x0, v, collector);
      for (std::int64_t k = k_first; k <= k_last; ++k) collector.add(pel_at<P>(src, src_pitch, k, v));
    }
    return collector.get();
  });
}

}  // namespace talvo::g
