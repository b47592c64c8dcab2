// Device-independent bitmaps kept as one memory block: the 40-byte
// BITMAPINFOHEADER, the colour table (or for BI_BITFIELDS the red, green and
// blue masks), then the pel rows, each padded to 4 bytes, bottom row first
// when the height is positive and top row first when it is negative.
#pragma once

#include <cstdint>

#include "platform/win_bitmap.h"

using dibHeader = BITMAPINFOHEADER;

// A block from memAllocChecked (free it with memHooks.free): header and
// colour table zero-filled, the bits (when withBits) not. A colour count
// above 256 counts as 0; 0 colours with 8 bits or fewer gets the full table.
// biClrUsed is the colour count below 16 bits, else 0. Colour count 3 with
// 16 bits stores the masks 0xF800, 0x07E0, 0x001F and with 32 bits 0xFF0000,
// 0x00FF00, 0x0000FF, as BI_BITFIELDS. Null after a raise: -2 when it cannot
// be allocated (also past 2 GiB), -63 for a negative width or a bit count
// outside 1 to 32.
dibHeader* dibCreate(int32_t width, int32_t height, int bits, int colours, int withBits);

// biClrUsed when non-zero, else 2^bits for 1 to 8 bits, else 0.
uint32_t dibColors(const dibHeader* dib);
// Bytes of the colour table: 4 x (biClrUsed when non-zero, else 2^bits for 1
// to 8 bits, else 3 for BI_BITFIELDS, else 0).
uint32_t dibPaletteBytes(const dibHeader* dib);
// The pel rows: right after the colour table.
uint8_t* dibBits(dibHeader* dib);
const uint8_t* dibBits(const dibHeader* dib);

// Copies the rectangle (sx, sy, width, height) of src (in top-down
// coordinates) to (dx, dy) of dst, both clipped; null bits mean the DIB's own.
// Without dst, a new DIB of the clipped size with src's bit count and colour
// table (or masks) is made and the copy goes to its (0, 0). Returns dst (the
// new one when it made it), unchanged when nothing is left after clipping.
// Overlapping rows of one buffer are copied in an order that keeps them.
// Bit counts must agree, except 8 to 16, 8 to 24 and 24 to 16 bits, which
// convert the pels; other pairs raise -64 and return null.
dibHeader* dibCopyRect(dibHeader* dst, void* dstBits, int32_t dx, int32_t dy, const dibHeader* src,
                       const void* srcBits, int32_t sx, int32_t sy, int32_t width, int32_t height);

// The rectangle (x, y, width, height) of a BMP file as a new DIB, or null:
// after the open's raise, or when nothing of the rectangle lies in the
// picture (nothing raised), or after raising -5 "Data error" for a file that
// is not an uncompressed BMP of at most 256 colours that holds its headers,
// colour table and rows, or the failure of the copy.
dibHeader* bmp8Load(const char* name, int32_t x, int32_t y, int32_t width, int32_t height);
