// The filtered resampler of the plain collectors, row by row: the same sums
// as the per-pel resampler (ResampleFilter.h) and its collectors, rearranged
// so that nothing is computed twice.
//
// Every column's footprint edges, neighbours and fraction are worked out
// once per call, and so are every row's. The horizontal part of a sample
// only depends on the column and the source row: for each source row a
// destination row needs, the row's horizontal mixes (p(c) * 65536 +
// (p(c1) - p(c)) * fx, exact in 32 bits) and sums of the whole pels inside
// each footprint are made once and kept while later destination rows use the
// same source row. A destination pel then adds, per channel:
//
//   the corner sample   (T * 65536 + (B - T) * fy) >> 16, T and B the mixes
//                       of its top and bottom rows
//   the inner columns   sT * 65536 + (sB - sT) * fy, sT and sB their sums
//   each inner row v    mix_v + s_v * 65536
//
// which are the per-pel resampler's samples summed in another order; the
// average is the collector's. A whole ratio sums the source blocks column
// by column into per-channel sums; for 8888 pels in vectors where the
// processor has them (ResampleKernels.h).
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "img/Collector.h"
#include "img/Pixel.h"
#include "img/ResampleKernels.h"

namespace talvo::g::filter_rows {

// What the plain collector's get() makes of per-channel sums of 16.16
// samples: each (sum >> 16) / count in its field, x fields 0.
template <PixelStruct P, int Channels>
P average_of(const std::int64_t* sums, std::int64_t count) {
  constexpr Field fields[4] = {P::red, P::green, P::blue, P::alpha};
  std::uint32_t v = 0;
  const bool power_of_two = (count & (count - 1)) == 0;
  const int shift = std::countr_zero(std::uint64_t(count));
  for (int c = 0; c < Channels; ++c) {
    const std::uint64_t whole = std::uint64_t(sums[c]) >> 16;
    v |= std::uint32_t(power_of_two ? whole >> shift : whole / std::uint64_t(count)) << fields[c].shift;
  }
  return P::from_raw(v);
}

// The same from each channel's whole part, (sum >> 16).
template <PixelStruct P, int Channels>
P average_of_wholes(const std::int32_t* wholes, std::int64_t count) {
  constexpr Field fields[4] = {P::red, P::green, P::blue, P::alpha};
  std::uint32_t v = 0;
  const bool power_of_two = (count & (count - 1)) == 0;
  const int shift = std::countr_zero(std::uint64_t(count));
  for (int c = 0; c < Channels; ++c) {
    const std::uint32_t whole = std::uint32_t(wholes[c]);
    v |= (power_of_two ? whole >> shift : whole / std::uint32_t(count)) << fields[c].shift;
  }
  return P::from_raw(v);
}

template <PixelStruct P, int Channels>
std::uint32_t channel(std::uint32_t raw, int c) {
  constexpr Field fields[4] = {P::red, P::green, P::blue, P::alpha};
  return fields[c].get(raw);
}

// One direction's footprints: for destination index j, the corner's index
// and its neighbour, the fraction, and the inner indices [first, last].
struct Axis {
  std::vector<std::int64_t> corner, neighbour, first, last;
  std::vector<std::int32_t> fraction;

  Axis(std::int64_t extent, std::int64_t count, std::int64_t size, bool wrap) {
    corner.resize(std::size_t(count));
    neighbour.resize(std::size_t(count));
    first.resize(std::size_t(count));
    last.resize(std::size_t(count));
    fraction.resize(std::size_t(count));
    // The edges floor(j * extent * 65536 / count), by quotient and remainder.
    const std::int64_t step = (extent << 16) / count, step_rem = (extent << 16) % count;
    std::int64_t value = 0, rem = 0;
    for (std::size_t j = 0; j < std::size_t(count); ++j) {
      const std::int64_t e0 = value;
      value += step;
      rem += step_rem;
      if (rem >= count) {
        rem -= count;
        ++value;
      }
      const std::int64_t c = e0 >> 16;
      corner[j] = c;
      neighbour[j] = c + 1 < size ? c + 1 : (wrap ? 0 : c);
      fraction[j] = std::int32_t(e0 & 0xFFFF);
      first[j] = c + 1;
      last[j] = (value - 1) >> 16;
    }
  }
};

// Resamples with the plain collector of P (Channels 3, or 4 with alpha);
// see ResampleFilter.h for the footprints and extents.
template <PixelStruct P, int Channels>
void resample_rows(std::uint8_t* dst, std::int32_t dst_pitch, std::int64_t dW, std::int64_t dH,
                   const std::uint8_t* src, std::int32_t src_pitch, std::int64_t W, std::int64_t H,
                   std::int64_t ext_x, std::int64_t ext_y, bool wrap_x, bool wrap_y) {
  const Axis xs(ext_x, dW, W, wrap_x), ys(ext_y, dH, H, wrap_y);
  const std::size_t width = std::size_t(dW);
  // The horizontal mixes and inner sums of source rows, in slots reused once
  // no destination row needs them. A destination row needs its corner row,
  // that row's neighbour and its inner rows: never more slots than the
  // largest footprint has rows plus two.
  struct Slot {
    std::int64_t row = -1, used = -1;
    std::vector<std::int32_t> mix, sum;  // per column, Channels each
  };
  std::int64_t most_rows = 0;
  for (std::size_t i = 0; i < std::size_t(dH); ++i)
    most_rows = std::max(most_rows, ys.last[i] - ys.first[i] + 1);
  std::vector<Slot> slots(std::size_t(most_rows + 3));
  std::vector<std::int64_t> inner_columns(width);
  std::int64_t most_columns = 0;
  for (std::size_t j = 0; j < width; ++j) {
    inner_columns[j] = std::max<std::int64_t>(0, xs.last[j] - xs.first[j] + 1);
    most_columns = std::max(most_columns, inner_columns[j]);
  }
  // Where a pel's samples sum below 2^31 (no field exceeds 255, each sample
  // below 256 * 65536), the sums are made in 32-bit lanes: the corner
  // sample's (T * 65536 + D * fy) >> 16, D = B - T, is T + (D >> 16) * fy +
  // ((D & 0xFFFF) * fy >> 16), every part within 32 bits.
  const bool narrow = (1 + most_columns) * (1 + most_rows) * 256 <= 32768;
  // 8888 pels go to the vector kernels there, with four lanes a column.
  constexpr bool is8888 = P::size == 4 && P::blue.shift == 0 && P::green.shift == 8 && P::red.shift == 16 &&
                          (Channels == 3 || P::alpha.shift == 24);
  const RowKernels* const vk = is8888 && narrow ? row_kernels() : nullptr;
  const std::size_t stride = vk ? 4 : Channels;
  auto row_of = [&](std::int64_t r, std::int64_t i) -> const Slot& {
    Slot* free = nullptr;
    for (Slot& s : slots) {
      if (s.row == r) {
        s.used = i;
        return s;
      }
      if (s.used < i && (!free || s.used < free->used)) free = &s;
    }
    Slot& s = *free;
    s.row = r;
    s.used = i;
    s.mix.resize(width * stride);
    s.sum.resize(width * stride);
    const std::uint8_t* line = src + r * src_pitch;
    if (vk) {
      vk->mix(line, xs.corner.data(), xs.neighbour.data(), xs.fraction.data(), width, s.mix.data());
      vk->sums(line, xs.first.data(), xs.last.data(), width, s.sum.data());
      return s;
    }
    std::int32_t* mix = s.mix.data();
    for (std::size_t j = 0; j < width; ++j, mix += Channels) {
      const std::uint32_t a = load_pel<P>(line + xs.corner[j] * P::size).raw();
      const std::uint32_t b = load_pel<P>(line + xs.neighbour[j] * P::size).raw();
      const std::int32_t fx = xs.fraction[j];
      for (int c = 0; c < Channels; ++c) {
        const std::int32_t fa = std::int32_t(channel<P, Channels>(a, c)), fb = std::int32_t(channel<P, Channels>(b, c));
        mix[c] = fa * fixed_one + (fb - fa) * fx;
      }
    }
    std::int32_t* sum = s.sum.data();
    for (std::size_t j = 0; j < width; ++j, sum += Channels) {
      for (int c = 0; c < Channels; ++c) sum[c] = 0;
      for (std::int64_t k = xs.first[j]; k <= xs.last[j]; ++k) {
        const std::uint32_t v = load_pel<P>(line + k * P::size).raw();
        for (int c = 0; c < Channels; ++c) sum[c] += std::int32_t(channel<P, Channels>(v, c));
      }
    }
    return s;
  };

  std::vector<const Slot*> inner;
  std::vector<std::int64_t> inner_sums(width * Channels);
  std::vector<std::int32_t> inner_narrow(narrow ? width * stride : 0), wholes(narrow ? width * stride : 0);
  // The vector averages' shift of each column (the log of its count of
  // columns), -1 where that count is no power of two.
  std::vector<std::int8_t> column_shift(vk ? width : 0);
  bool every_column_power = true;
  for (std::size_t j = 0; j < column_shift.size(); ++j) {
    const std::int64_t c = 1 + inner_columns[j];
    column_shift[j] = std::int8_t((c & (c - 1)) == 0 ? std::countr_zero(std::uint64_t(c)) : -1);
    every_column_power = every_column_power && column_shift[j] >= 0;
  }
  for (std::int64_t i = 0; i < dH; ++i, dst += dst_pitch) {
    const std::size_t ii = std::size_t(i);
    const Slot& top = row_of(ys.corner[ii], i);
    const Slot& bottom = row_of(ys.neighbour[ii], i);
    const std::int64_t fy = ys.fraction[ii];
    const std::int64_t inner_rows = std::max<std::int64_t>(0, ys.last[ii] - ys.first[ii] + 1);
    inner.clear();
    for (std::int64_t v = ys.first[ii]; v <= ys.last[ii]; ++v) inner.push_back(&row_of(v, i));
    if (narrow) {
      const std::size_t n = width * stride;
      // The inner rows' samples; the first one written, not added.
      if (inner.empty()) std::fill(inner_narrow.begin(), inner_narrow.end(), 0);
      for (std::size_t v = 0; v < inner.size(); ++v) {
        const std::int32_t* mix = inner[v]->mix.data();
        const std::int32_t* sum = inner[v]->sum.data();
        std::int32_t* in = inner_narrow.data();
        if (v == 0)
          for (std::size_t at = 0; at < n; ++at) in[at] = mix[at] + sum[at] * fixed_one;
        else
          for (std::size_t at = 0; at < n; ++at) in[at] += mix[at] + sum[at] * fixed_one;
      }
      const std::int32_t* tm = top.mix.data();
      const std::int32_t* bm = bottom.mix.data();
      const std::int32_t* ts = top.sum.data();
      const std::int32_t* bs = bottom.sum.data();
      const std::int32_t* in = inner_narrow.data();
      std::int32_t* out = wholes.data();
      const std::int32_t f = std::int32_t(fy);
      for (std::size_t at = vk ? vk->combine(tm, bm, ts, bs, in, f, n, out) : 0; at < n; ++at) {
        const std::int32_t t = tm[at], dt = bm[at] - t;
        const std::int32_t corner = t + (dt >> 16) * f + std::int32_t((std::uint32_t(dt & 0xFFFF) * std::uint32_t(f)) >> 16);
        out[at] = (corner + ts[at] * fixed_one + (bs[at] - ts[at]) * f + in[at]) >> 16;
      }
      std::uint8_t* d = dst;
      if (vk) {
        // Pels by the vector averages where their count is a power of two,
        // the others from the same wholes (red at lane 2, blue at lane 0).
        const std::int64_t rows = 1 + inner_rows;
        const bool rows_power = (rows & (rows - 1)) == 0;
        if (rows_power)
          vk->average(out, column_shift.data(), std::countr_zero(std::uint64_t(rows)), width, Channels == 4, dst);
        if (rows_power && every_column_power) continue;
        for (std::size_t j = 0; j < width; ++j, d += P::size)
          if (!rows_power || column_shift[j] < 0) {
            const std::int32_t* w = out + 4 * j;
            const std::int32_t ordered[4] = {w[2], w[1], w[0], w[3]};
            store_pel(d, average_of_wholes<P, Channels>(ordered, (1 + inner_columns[j]) * rows));
          }
        continue;
      }
      for (std::size_t j = 0; j < width; ++j, d += P::size)
        store_pel(d, average_of_wholes<P, Channels>(out + j * Channels, (1 + inner_columns[j]) * (1 + inner_rows)));
      continue;
    }
    // The inner rows' samples, summed per column and channel first.
    std::fill(inner_sums.begin(), inner_sums.end(), 0);
    for (const Slot* row : inner)
      for (std::size_t at = 0; at < width * Channels; ++at)
        inner_sums[at] += row->mix[at] + std::int64_t(row->sum[at]) * fixed_one;
    std::uint8_t* d = dst;
    for (std::size_t j = 0; j < width; ++j, d += P::size) {
      std::int64_t sums[Channels];
      for (int c = 0; c < Channels; ++c) {
        const std::size_t at = j * Channels + std::size_t(c);
        const std::int64_t t = top.mix[at], b = bottom.mix[at];
        const std::int64_t st = top.sum[at], sb = bottom.sum[at];
        sums[c] = ((t * fixed_one + (b - t) * fy) >> 16) + st * fixed_one + (sb - st) * fy + inner_sums[at];
      }
      store_pel(d, average_of<P, Channels>(sums, (1 + inner_columns[j]) * (1 + inner_rows)));
    }
  }
}

// The whole-ratio resampler of 8888 pels in blocks of at most 257, with the
// vector kernels: each block's bytes summed in 16-bit lanes, four a block,
// and each average by a power of two in lanes; the rest of a row, and the
// other counts, pel by pel on the same sums.
template <PixelStruct P, int Channels>
void vector_blocks(const BlockKernels& k, std::uint8_t* dst, std::int32_t dst_pitch, std::int64_t dH,
                   const std::uint8_t* src, std::int32_t src_pitch, const Axis& ys,
                   std::size_t width, std::int64_t bx) {
  std::vector<std::uint16_t> sums(width * 4);
  for (std::size_t i = 0; i < std::size_t(dH); ++i, dst += dst_pitch) {
    std::fill(sums.begin(), sums.end(), std::uint16_t(0));
    for (std::int64_t r = ys.corner[i]; r <= ys.last[i]; ++r) {
      const std::uint8_t* row = src + r * src_pitch;
      std::size_t j = k.add_blocks(row, width, bx, sums.data());
      for (const std::uint8_t* p = row + std::int64_t(j) * bx * 4; j < width; ++j)
        for (std::int64_t c = 0; c < bx; ++c, p += 4)
          for (std::size_t b = 0; b < 4; ++b) sums[4 * j + b] = std::uint16_t(sums[4 * j + b] + p[b]);
    }
    const std::int64_t count = (ys.last[i] - ys.corner[i] + 1) * bx;
    std::size_t j = 0;
    if ((count & (count - 1)) == 0)
      j = k.average(sums.data(), width, std::countr_zero(std::uint64_t(count)), Channels == 4, dst);
    for (std::uint8_t* d = dst + j * 4; j < width; ++j, d += 4) {
      const std::uint16_t* s = &sums[4 * j];
      const std::int32_t wholes[4] = {s[2], s[1], s[0], s[3]};
      store_pel(d, average_of_wholes<P, Channels>(wholes, count));
    }
  }
}

// The whole-ratio resampler of the plain collector of P: each destination
// pel the mean of its source block, summed row by row into per-column sums.
template <PixelStruct P, int Channels>
void mean_of_blocks(std::uint8_t* dst, std::int32_t dst_pitch, std::int64_t dW, std::int64_t dH,
                    const std::uint8_t* src, std::int32_t src_pitch, std::int64_t W, std::int64_t H) {
  const Axis xs(W, dW, W, false), ys(H, dH, H, false);
  const std::size_t width = std::size_t(dW);
  if constexpr (P::size == 4 && P::blue.shift == 0 && P::green.shift == 8 && P::red.shift == 16) {
    // 8888 pels in blocks of at most 257: blue and red, green and the
    // fourth byte summed two at a time in the 16-bit halves of 32-bit words,
    // which no sum of 257 bytes overflows.
    const std::int64_t bx = xs.last[0] - xs.corner[0] + 1, by = ys.last[0] - ys.corner[0] + 1;
    if (bx * by <= 257 && block_kernels()) {
      vector_blocks<P, Channels>(*block_kernels(), dst, dst_pitch, dH, src, src_pitch, ys, width, bx);
      return;
    }
    if (bx * by <= 257) {
      std::vector<std::uint32_t> pairs(width * 2);
      for (std::size_t i = 0; i < std::size_t(dH); ++i, dst += dst_pitch) {
        std::fill(pairs.begin(), pairs.end(), 0u);
        for (std::int64_t r = ys.corner[i]; r <= ys.last[i]; ++r) {
          const std::uint8_t* p = src + r * src_pitch;
          std::uint32_t* sum = pairs.data();
          for (std::size_t j = 0; j < width; ++j, sum += 2)
            for (std::int64_t k = 0; k < bx; ++k, p += 4) {
              const std::uint32_t v = load_pel<P>(p).raw();
              sum[0] += v & 0x00FF00FFu;
              sum[1] += (v >> 8) & 0x00FF00FFu;
            }
        }
        const std::int64_t count = (ys.last[i] - ys.corner[i] + 1) * bx;
        std::uint8_t* d = dst;
        for (std::size_t j = 0; j < width; ++j, d += P::size) {
          const std::uint32_t rb = pairs[2 * j], ga = pairs[2 * j + 1];
          const std::int32_t wholes[4] = {std::int32_t(rb >> 16), std::int32_t(ga & 0xFFFF),
                                          std::int32_t(rb & 0xFFFF), std::int32_t(ga >> 16)};
          store_pel(d, average_of_wholes<P, Channels>(wholes, count));
        }
      }
      return;
    }
  }
  std::vector<std::int64_t> sums(width * Channels);
  for (std::size_t i = 0; i < std::size_t(dH); ++i, dst += dst_pitch) {
    std::fill(sums.begin(), sums.end(), 0);
    // The block's rows are the corner row and the inner rows.
    for (std::int64_t r = ys.corner[i]; r <= ys.last[i]; ++r) {
      const std::uint8_t* row = src + r * src_pitch;
      for (std::size_t j = 0; j < width; ++j)
        for (std::int64_t k = xs.corner[j]; k <= xs.last[j]; ++k) {
          const std::uint32_t v = load_pel<P>(row + k * P::size).raw();
          for (int c = 0; c < Channels; ++c) sums[j * Channels + std::size_t(c)] += channel<P, Channels>(v, c);
        }
    }
    const std::int64_t count = (ys.last[i] - ys.corner[i] + 1) * (xs.last[0] - xs.corner[0] + 1);
    std::uint8_t* d = dst;
    for (std::size_t j = 0; j < width; ++j, d += P::size) {
      std::int64_t block[Channels];
      for (int c = 0; c < Channels; ++c) block[c] = sums[j * Channels + std::size_t(c)] * fixed_one;
      store_pel(d, average_of<P, Channels>(block, count));
    }
  }
}

}  // namespace talvo::g::filter_rows
