// Kernel selection: which cell of the kernel table a draw takes, and the
// pieces the two dispatchers (imgCTy::DrawExPaletted, imgCTy::DrawExDirect)
// build it from. Exposed for the tests.
#pragma once

#include <cstdint>

#include "engine/draw/kernel_frame.h"

// The operation and variant of a draw, or none (draws nothing).
struct imgCellChoice {
  bool draws;
  imgKernelOp op;
  imgVariant variant;
};

// By mode, the scaled flag, the depth images (both needed), the weight image
// (AlphaMap needs one) and the source's key flag.
imgCellChoice imgSelectCell(const imgDrawParams& params, bool keyed);

// Format groups; -1 for a format without kernels on that side.
int imgDirectSrcGroup(int format);    // 1 to 6, and 9 (P8, only onto P8)
int imgDirectDstGroup(int format);    // 1 to 6, and 9 for a P8 source
int imgPalettedDstGroup(int format);  // 1 to 6 (5 and 6 one group)

// The key pel a kernel compares: the colour in the source's format (direct)
// or in the destination's (paletted: the palette table's layout).
uint32_t imgDirectKey(int srcFormat, uint32_t colour);
uint32_t imgPalettedKey(int dstFormat, uint32_t colour);
