// The kernel frame of the software draw: what a kernel is called with, the
// cell coordinates the kernel table is laid out by, and the kernel families.
//
// A kernel is one function for one source format group, destination format
// group, operation and variant, named by the family rule:
//
//   imgDraw<Src, Dst, Op>           plain
//   imgDrawKey<Src, Dst, Op>        source pels equal to the key pel skipped
//   imgDrawZ / imgDrawKeyZ          with the depth test
//   imgDrawScaled / imgDrawScaledKey  nearest-pel scaled
//
// Src is P8, R8G8B8, X8R8G8B8 (standing for A8R8G8B8 too), R5G6B5, X1R5G5B5
// or A1R5G5B5; Dst the same but P8 only for the byte copies; Op one of
// imgOp's tags. A kernel that serves several cells is named after its first
// pair. Kernels check nothing and report nothing: the dispatchers hand them
// locked images and a rectangle inside both.
//
// Every kernel has one signature: the dispatcher fills one imgDrawArgs per
// draw, and each variant reads what it needs of it (the key pel by value in
// every variant).
#pragma once

#include <cstdint>

#include "engine/draw/pel_ops.h"
#include "engine/img.h"

// The record the Alpha and AlphaAdd kernels read their weight and key from.
struct imgAlphaKey {
  int32_t alpha;
  uint32_t key;
};

struct imgDrawArgs {
  imgCTy* src;          // locked on rect (whole for scaled draws)
  imgCTy* dst;          // locked on the destination rectangle
  rectCTy rect;         // the source rectangle of the draw
  imgAlphaKey weight;   // alpha (0..256) and the key pel
  float scaleX, scaleY; // scaled kernels
  imgCTy* alphaMap;     // AlphaMap kernels: 8-bit weights locked on rect
  imgCTy* zSrc;         // Z kernels: depths locked on rect
  imgCTy* zDst;         // Z kernels: depths locked on the destination rectangle
  const uint8_t* table; // P8 sources: the palette's entries in the destination's format
};

using imgKernelFn = void (*)(const imgDrawArgs&);

// --- Cell coordinates ----------------------------------------------------------------

enum imgSrcGroup : uint8_t { srcP8, srcR8G8B8, srcX8R8G8B8, srcR5G6B5, srcX1R5G5B5, srcA1R5G5B5, srcGroups };
enum imgDstGroup : uint8_t { dstR8G8B8, dstX8R8G8B8, dstR5G6B5, dstX1R5G5B5, dstA1R5G5B5, dstP8, dstGroups };
enum imgKernelOp : uint8_t {
  opCopy,
  opAlpha,
  opAlphaAdd,
  opAlphaMap,
  opModulate,
  opModulate2X,
  opModulate4X,
  opAdd,
  opAddSigned,
  opAddSigned2X,
  opSubtract,
  opAddSmooth,
  kernelOps
};
enum imgVariant : uint8_t { vPlain, vKey, vZ, vKeyZ, vScaled, vScaledKey, variants };

// --- Kernel families -------------------------------------------------------------------
// imgKernel<Src, Dst, Op, Variant>::run is the body of a kernel; each family
// provides it by a partial specialisation (kernel_rows.h for the plain and
// Key kernels of Copy and modes 4 to 11, byte_copy.cpp for P8 onto P8).

template <class Src, class Dst, class Op, imgVariant V>
struct imgKernel;

template <class Src, class Dst, class Op>
void imgDraw(const imgDrawArgs& a) {
  imgKernel<Src, Dst, Op, vPlain>::run(a);
}
template <class Src, class Dst, class Op>
void imgDrawKey(const imgDrawArgs& a) {
  imgKernel<Src, Dst, Op, vKey>::run(a);
}
template <class Src, class Dst, class Op>
void imgDrawZ(const imgDrawArgs& a) {
  imgKernel<Src, Dst, Op, vZ>::run(a);
}
template <class Src, class Dst, class Op>
void imgDrawKeyZ(const imgDrawArgs& a) {
  imgKernel<Src, Dst, Op, vKeyZ>::run(a);
}
template <class Src, class Dst, class Op>
void imgDrawScaled(const imgDrawArgs& a) {
  imgKernel<Src, Dst, Op, vScaled>::run(a);
}
template <class Src, class Dst, class Op>
void imgDrawScaledKey(const imgDrawArgs& a) {
  imgKernel<Src, Dst, Op, vScaledKey>::run(a);
}
