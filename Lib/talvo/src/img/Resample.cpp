// ImageRow::scale and ImageRow::resize, the choice of resampler, and the
// nearest-neighbour resamplers.
#include "img/Resample.h"

#include <cstring>
#include <optional>
#include <vector>

#include "img/ResampleFilter.h"
#include "talvo/Exception.h"
#include "talvo/Report.h"

namespace talvo::g {

template <int Size>
void scale_nearest(std::uint8_t* dst, std::int32_t dst_pitch, std::int32_t dst_width,
                   std::int32_t dst_height, const std::uint8_t* src, std::int32_t src_pitch,
                   std::int32_t src_width, std::int32_t src_height) {
  static_assert(Size >= 1 && Size <= 4);
  // 16.16 steps; the centre of destination pel j lies at step/2 + j * step.
  const std::int64_t step_x = (std::int64_t(src_width) << 16) / dst_width;
  const std::int64_t step_y = (std::int64_t(src_height) << 16) / dst_height;
  // The byte offset in a source row of each destination column, once.
  std::vector<std::uint32_t> columns(static_cast<std::size_t>(dst_width));
  std::int64_t x = step_x / 2;
  for (std::uint32_t& c : columns) {
    c = std::uint32_t((x >> 16) * Size);
    x += step_x;
  }
  const std::size_t row_bytes = std::size_t(dst_width) * Size;
  std::int64_t y = step_y / 2, previous = -1;
  const std::uint8_t* previous_row = nullptr;
  for (std::int32_t i = 0; i < dst_height; ++i, y += step_y, dst += dst_pitch) {
    // A destination row under the same source row as the one before is a
    // copy of it.
    if ((y >> 16) == previous) {
      std::memcpy(dst, previous_row, row_bytes);
      continue;
    }
    previous = y >> 16;
    previous_row = dst;
    const std::uint8_t* row = src + previous * src_pitch;
    std::uint8_t* d = dst;
    for (const std::uint32_t c : columns) {
      std::memcpy(d, row + c, Size);
      d += Size;
    }
  }
}

template void scale_nearest<1>(std::uint8_t*, std::int32_t, std::int32_t, std::int32_t,
                               const std::uint8_t*, std::int32_t, std::int32_t, std::int32_t);
template void scale_nearest<2>(std::uint8_t*, std::int32_t, std::int32_t, std::int32_t,
                               const std::uint8_t*, std::int32_t, std::int32_t, std::int32_t);
template void scale_nearest<3>(std::uint8_t*, std::int32_t, std::int32_t, std::int32_t,
                               const std::uint8_t*, std::int32_t, std::int32_t, std::int32_t);
template void scale_nearest<4>(std::uint8_t*, std::int32_t, std::int32_t, std::int32_t,
                               const std::uint8_t*, std::int32_t, std::int32_t, std::int32_t);

namespace {

// One resampling call: both pel arrays whole, and the source's key pel.
struct Job {
  std::uint8_t* dst;
  std::int32_t dst_pitch, dst_width, dst_height;
  const std::uint8_t* src;
  std::int32_t src_pitch, src_width, src_height;
  std::uint32_t key;
};

using Resampler = void (*)(const Job&);

template <int Size>
void run_nearest(const Job& j) {
  scale_nearest<Size>(j.dst, j.dst_pitch, j.dst_width, j.dst_height, j.src, j.src_pitch,
                      j.src_width, j.src_height);
}

// The key pel goes over as a pel of the type (its low 2, 3 or 4 bytes); an
// Rgba8888 key wrapping both ways goes over with alpha 255.
template <PixelStruct P, bool Keyed, ResampleMode Mode>
void run_filtered(const Job& j) {
  P key = P::from_raw(j.key);
  if constexpr (std::is_same_v<P, Rgba8888> && Mode == ResampleMode::filter_wrap_xy)
    key.value |= 0xFF000000u;
  resample<CollectorFor<P, Keyed>, Mode>(j.dst, j.dst_pitch, j.dst_width, j.dst_height, j.src,
                                         j.src_pitch, j.src_width, j.src_height, key);
}

template <PixelStruct P, bool Keyed>
Resampler filtered_for(ResampleMode mode) {
  switch (mode) {
    case ResampleMode::filter: return run_filtered<P, Keyed, ResampleMode::filter>;
    case ResampleMode::filter_wrap_x: return run_filtered<P, Keyed, ResampleMode::filter_wrap_x>;
    case ResampleMode::filter_wrap_y: return run_filtered<P, Keyed, ResampleMode::filter_wrap_y>;
    case ResampleMode::filter_wrap_xy: return run_filtered<P, Keyed, ResampleMode::filter_wrap_xy>;
    default: return nullptr;
  }
}

Resampler nearest_for(PelType type) {
  switch (bytes_per_pel(type)) {
    case 1: return run_nearest<1>;
    case 2: return run_nearest<2>;
    case 3: return run_nearest<3>;
    default: return run_nearest<4>;
  }
}

// The resampler of a mode and a pixel type (see the table in Resample.h);
// refuses what none handles.
Resampler pick(bool keyed, ResampleMode mode, PelType type) {
  const bool known_mode = mode >= ResampleMode::nearest && mode <= ResampleMode::filter_wrap_xy;
  const bool direct = visit_pel_type(type, false, [](auto*) { return true; });
  if (!known_mode || (!direct && type != pel_type::index8)) not_implemented();
  if (mode == ResampleMode::nearest || type == pel_type::index8) return nearest_for(type);
  return visit_pel_type(type, Resampler(nullptr), [&](auto* tag) {
    using P = std::remove_pointer_t<decltype(tag)>;
    return keyed ? filtered_for<P, true>(mode) : filtered_for<P, false>(mode);
  });
}

void run(bool keyed, std::int32_t width, std::int32_t height, ResampleMode mode,
         Image::Lock& destination, Image::Lock& source_lock, std::int32_t key, const PelFmt& format,
         Image& source) {
  const Resampler resampler = pick(keyed, mode, format.type());
  resampler(Job{destination.pels, destination.pitch, width, height, source_lock.pels,
                source_lock.pitch, source.width(), source.height(), std::uint32_t(key)});
}

// The source's pels copied row by row into `copy` (same size and type).
void copy_pels(ImageRow& copy, Image& source) {
  Image::Lock to(copy, nullptr, Image::Lock::write_all);
  Image::Lock from(source, nullptr, Image::Lock::read);
  const std::size_t row = std::size_t(source.width()) * bytes_per_pel(source.type());
  for (std::int32_t r = 0; r < source.height(); ++r) std::memcpy(to.row(r), from.row(r), row);
}

// Makes `copy` the source pel for pel at its own size, with its colour key:
// the fresh pels are filled with the key pel and the source's other pels
// copied over them. Index images have no fill; their bytes are copied whole,
// which gives the same pels.
void copy_with_key(ImageRow& copy, Image& source) {
  copy.create(source.width(), source.height(), source.format());
  if (source.has_color_key()) {
    const std::uint32_t key = source.key_pel();
    if (source.type() == pel_type::index8) {
      copy_pels(copy, source);
      copy.set_color_key(key);
      return;
    }
    copy.fill(key);
    copy.set_color_key(key);
  }
  copy.assign(0, 0, source);
}

}  // namespace

void resample_keyed(std::int32_t width, std::int32_t height, ResampleMode mode,
                    Image::Lock& destination, Image::Lock& source_lock, std::int32_t key,
                    const PelFmt& format, Image& source) {
  run(true, width, height, mode, destination, source_lock, key, format, source);
}

void resample_plain(std::int32_t width, std::int32_t height, ResampleMode mode,
                    Image::Lock& destination, Image::Lock& source_lock, std::int32_t key,
                    const PelFmt& format, Image& source) {
  run(false, width, height, mode, destination, source_lock, key, format, source);
}

void ImageRow::resize(std::int32_t width, std::int32_t height, ResampleMode mode) {
  if (width != width_ || height != height_) scale(*this, width, height, mode);
}

void ImageRow::scale(Image& source, std::int32_t width, std::int32_t height, ResampleMode mode) {
  // Sizes are divisors below; nothing has changed yet when they are refused.
  if (width <= 0 || height <= 0 || source.width() <= 0 || source.height() <= 0)
    throw_logged({"\\Lib\\talvo\\src\\img\\Resample.cpp", __LINE__, "talvo::g::ImageRow::scale"},
                 Exception("Invalid image size"));
  if (width == source.width() && height == source.height()) {
    if (&source != this) copy_with_key(*this, source);
    return;
  }
  const bool keyed = source.has_color_key();
  pick(keyed, mode, source.type());  // refuses before the pels are released

  // This image's pels go when it is created anew, so a source that is this
  // image is copied first.
  ImageRow copy;
  Image* from = &source;
  if (from == this) {
    copy_with_key(copy, *this);
    from = &copy;
  }
  create(width, height, from->format());
  std::optional<Image::Lock> destination;
  destination.emplace(*this, nullptr, Image::Lock::write_all);
  Image::Lock source_lock(*from, nullptr, Image::Lock::read);
  if (keyed)
    resample_keyed(width, height, mode, *destination, source_lock, std::int32_t(from->key_pel()),
                   format_, *from);
  else
    resample_plain(width, height, mode, *destination, source_lock, std::int32_t(from->key_pel()),
                   format_, *from);
  destination.reset();  // the destination's lock goes first
}

}  // namespace talvo::g
