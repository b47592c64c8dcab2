// The pieces the two dispatchers (imgCTy::DrawExPaletted,
// imgCTy::DrawExDirect) build a draw's cell of the kernel table from; the
// RLE8 draws take their key pels from here too.
#pragma once

#include <cstdint>

#include "engine/draw/kernel_frame.h"

// Format groups; -1 for a format without kernels on that side.
int imgDirectSrcGroup(int format);    // 1 to 6, and 9 (P8, only onto P8)
int imgDirectDstGroup(int format);    // 1 to 6, and 9 for a P8 source
int imgPalettedDstGroup(int format);  // 1 to 6 (5 and 6 one group)

// The key pel a kernel compares: the colour in the source's format (direct)
// or in the destination's (paletted: the palette table's layout).
uint32_t imgDirectKey(int srcFormat, uint32_t colour);
uint32_t imgPalettedKey(int dstFormat, uint32_t colour);
