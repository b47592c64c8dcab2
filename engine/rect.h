// The rectangle of the engine layer: {x, y, w, h}, its pels x <= px < x + w
// and y <= py < y + h; empty when w or h is 0 or less. It is the base
// library's rectangle with the engine's intersection.
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/str.h"

struct rectCTy : baseRect {
  // This rectangle becomes the overlap of a and b: 1 when it has a positive
  // width and height; otherwise 0, with w and h 0 (x and y those of the
  // overlap). Neither a nor b may be this rectangle.
  int Intersect(const rectCTy* a, const rectCTy* b) {
    x = std::max(a->x, b->x);
    y = std::max(a->y, b->y);
    const int64_t right = std::min(int64_t(a->x) + a->w, int64_t(b->x) + b->w);
    const int64_t bottom = std::min(int64_t(a->y) + a->h, int64_t(b->y) + b->h);
    if (right <= x || bottom <= y) {
      w = h = 0;
      return 0;
    }
    w = int32_t(right - x);
    h = int32_t(bottom - y);
    return 1;
  }
};
