// The two kernels of P8 onto P8: the index bytes copied as they are, whatever
// the mode and the colour key; the palettes are not compared.
#include <cstring>

#include "engine/draw/frame_rules.h"
#include "engine/draw/kernel_list.h"

// Row by row, w bytes from each lock pointer.
template <>
struct imgKernel<P8, P8, imgOp::Copy, vPlain> {
  static void run(const imgDrawArgs& a) {
    const int w = a.rect.w, h = a.rect.h;
    if (w <= 0 || h <= 0) return;
    drawFrame::copyRows(a.dst->data, a.dst->pitch, a.src->data, a.src->pitch, size_t(w), h);
  }
};

// The source locked whole: destination pel (rect.x + j, rect.y + i) takes
// source pel ((rect.x + j) * stepX >> 16, (rect.y + i) * stepY >> 16), the
// positions 32-bit unsigned.
template <>
struct imgKernel<P8, P8, imgOp::Copy, vScaled> {
  static void run(const imgDrawArgs& a) {
    const int w = a.rect.w, h = a.rect.h;
    uint32_t stepX = 0, stepY = 0;
    if (w <= 0 || h <= 0 || !drawFrame::scaleStep(a.scaleX, &stepX) || !drawFrame::scaleStep(a.scaleY, &stepY)) return;
    uint8_t* d = a.dst->data;
    uint32_t row = uint32_t(a.rect.y) * stepY;
    for (int y = 0; y < h; ++y, row += stepY, d += a.dst->pitch) {
      const uint8_t* s = a.src->data + int64_t(row >> 16) * a.src->pitch;
      uint32_t column = uint32_t(a.rect.x) * stepX;
      for (int x = 0; x < w; ++x, column += stepX) d[x] = s[column >> 16];
    }
  }
};

IMG_KERNELS_BYTES(IMG_KERNEL_INSTANTIATE)
