// What the alpha image's own code shares about its coded pels: the run code
// fields, the pel count, the coder and the bounds.
#pragma once

#include <cstdint>

#include "engine/alpha/img_alpha.h"

namespace alphaCoded {

inline uint32_t length(imgAlphaRun run) { return run >> 2; }
inline int kind(imgAlphaRun run) { return run & 3; }
inline imgAlphaRun code(uint32_t length, int kind) { return imgAlphaRun(length << 2 | uint32_t(kind)); }

// width * height, 0 when either is 0 or below.
inline int64_t pelCount(const imgAlpha& image) {
  return image.width > 0 && image.height > 0 ? int64_t(image.width) * image.height : 0;
}

// imgAlpha::Encode; false, with the coded pels as they were, when the new
// arrays cannot be had (the caller raises).
bool encode(imgAlpha& image, const uint8_t* pels);

// The rectangle around the pels the runs make visible; {0, 0, 1, 1} when
// none is.
rectCTy bounds(const imgAlpha& image);

}  // namespace alphaCoded
