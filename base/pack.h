// The LZ packer of packed rw data and the one-call zlib wrappers.
//
// LZ stream: tokens announced by control bits, which come in 16-bit
// little-endian control words used from bit 0 up; the next control word
// follows as soon as the 16th bit of the current one is used, before the data
// bytes of the token that bit belongs to.
//   1              literal: one data byte
//   0 0 b1 b0      match of 2 + 2*b1 + b0 bytes; data byte d: distance 256 - d
//   0 1            data bytes w (2, low first): distance
//                  8192 - ((w >> 11) * 256 + (w & 0xFF)); length field
//                  L = (w >> 8) & 7: 3 to 9 bytes for L = 1 to 7; for L = 0 a
//                  further byte n: 0 ends the stream, 1 copies nothing, else
//                  n + 1 bytes
// A match copies byte by byte from distance bytes back in the output.
#pragma once

#include <cstdint>

#include "base/err.h"

// Packs len bytes of src into dst; returns the packed length, which is
// always below the capacity, or after raising it -9 "Array overflow" when the
// packed stream does not fit (dst then holds no usable stream) or -2 when the
// packer's working block cannot be had.
int32_t lzPack(const void* src, uint32_t len, void* dst, uint32_t capacity);

// Unpacks one stream of srcLen bytes into dst; returns the unpacked length,
// or after raising it -5 "Data error" when the stream reads past its end or
// has no end marker, writes past the capacity, or copies from before the
// start of the output. Bytes of dst past the unpacked length (within the
// capacity) may be overwritten.
int32_t lzUnpack(const void* src, uint32_t srcLen, void* dst, uint32_t capacity);

// One-call deflate into dst (*dstLen: the capacity in, the packed size out).
// Returns 0, or a raised negative code: -74 when dst is too small, -63 for a
// bad level, -2 for no memory, -40 for an incompatible zlib.
errCode zlibCompressLevel(void* dst, uint32_t* dstLen, const void* src, uint32_t srcLen, int level);
// zlibCompressLevel with zlib's default level.
errCode zlibCompress(void* dst, uint32_t* dstLen, const void* src, uint32_t srcLen);
// One-call inflate (*dstLen: the capacity in, the unpacked size out). Returns
// 0; 2 without raising when the stream needs a preset dictionary; or a raised
// negative code: -5 for bad data, -74 when the stream does not end within dst
// or within src, -2 for no memory.
errCode zlibUncompress(void* dst, uint32_t* dstLen, const void* src, uint32_t srcLen);
