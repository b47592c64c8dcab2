// Resampling of images to another size: the resamplers behind
// ImageRow::scale and ImageRow::resize, picked by mode and pixel type.
//
//   mode                  types 1-8 (direct colour)          type 9 (indices)
//   nearest               scale_nearest by pel size          scale_nearest<1>
//   filter, filter_wrap_* resample<collector of type, mode>  scale_nearest<1>
//
// Types 0, 10 and 11 and modes outside ResampleMode are refused with
// "NOT IMPLEMENTED". Keyed sources use the key-skipping collectors; the
// nearest-neighbour resamplers ignore the colour key.
#pragma once

#include <cstdint>

#include "img/Image.h"

namespace talvo::g {

// Resamples the source (Lock `source_lock` on `source`, whole) into the
// destination lock's pels of `width` x `height`, of the destination format's
// type. resample_keyed serves sources with a colour key (`key` is the
// source's key pel), resample_plain the others.
void resample_keyed(std::int32_t width, std::int32_t height, ResampleMode mode,
                    Image::Lock& destination, Image::Lock& source_lock, std::int32_t key,
                    const PelFmt& format, Image& source);
void resample_plain(std::int32_t width, std::int32_t height, ResampleMode mode,
                    Image::Lock& destination, Image::Lock& source_lock, std::int32_t key,
                    const PelFmt& format, Image& source);

// Nearest-neighbour resampling of pels of Size bytes (1 to 4): every
// destination pel takes the source pel under its centre. Pitches are in
// bytes, either sign; sizes at least 1.
template <int Size>
void scale_nearest(std::uint8_t* dst, std::int32_t dst_pitch, std::int32_t dst_width,
                   std::int32_t dst_height, const std::uint8_t* src, std::int32_t src_pitch,
                   std::int32_t src_width, std::int32_t src_height);

}  // namespace talvo::g
