// The pel formats of the emulated display and the pel loops of blits,
// fills and presents. Kernels take a first pel and a row distance in bytes;
// they clip nothing.
#pragma once

#include <cstdint>

#include "platform/win_ddraw.h"

namespace plat::dd {

enum class Format : uint8_t { Unknown, P8, R5G6B5, X1R5G5B5, R8G8B8, X8R8G8B8 };

struct FormatInfo {
  int bytes;          // per pel
  DDPIXELFORMAT ddpf; // as GetPixelFormat reports it
  uint32_t colour;    // the bits a colour key compares
  uint32_t sdl;       // the SDL_PixelFormatEnum of the same memory layout
};

const FormatInfo& formatInfo(Format f);
// Unknown for a layout the layer does not keep.
Format formatOf(const DDPIXELFORMAT& pf);
// The display mode's format for a bit count (Unknown for others).
Format formatOfBits(DWORD bits);
// A COLORREF-style colour as a pel of the format (P8: grey level).
uint32_t pelOf(Format f, uint8_t r, uint8_t g, uint8_t b);

// Row distance of a new surface: a multiple of 4 and of the pel size, plus
// the padding (rounded up the same way).
LONG pitchFor(Format f, int width, int padding);

// Copies w x h pels; source and destination may overlap (one buffer).
void copyPels(int bytes, const uint8_t* src, LONG srcPitch, uint8_t* dst, LONG dstPitch, int w, int h);
// As copyPels, leaving destination pels where (source & mask) == (key & mask).
void copyKeyed(int bytes, const uint8_t* src, LONG srcPitch, uint8_t* dst, LONG dstPitch, int w, int h,
               uint32_t key, uint32_t mask);
// Every pel becomes the low `bytes` bytes of value.
void fillPels(int bytes, uint8_t* dst, LONG pitch, int w, int h, uint32_t value);

// One row of R5G6B5 pels as SDL's XRGB8888 (alpha byte 0xFF), channel for
// channel as SDL_ConvertPixels widens them.
void rowR5G6B5ToXrgb(const uint16_t* src, uint32_t* dst, int n);

// Which loops run: the SSE2 ones where the processor has them, or the
// portable ones (the test API forces either).
bool useSse2();

}  // namespace plat::dd
