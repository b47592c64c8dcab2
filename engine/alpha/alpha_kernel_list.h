// The alpha image's draw kernels as named instances: per destination format,
// the four families (imgAlphaDraw, imgAlphaDrawPremul, imgAlphaDrawScaled,
// imgAlphaDrawScaledPremul) times the four storage forms (X8R8G8B8, R8G8B8,
// R5G6B5, X1R5G5B5) times the four operations (Copy, SrcAlpha, Add,
// SrcAlphaK): 64 kernels a destination, 384 in all, of which 382 are
// distinct: the straight Copy of X1R5G5B5 storage onto X1R5G5B5 copies the
// stored words as the one of R5G6B5 onto R5G6B5 does, and is that kernel
// (unscaled and scaled). Each destination's kernels are instantiated in a
// file of their own (kernels_<dst>.cpp, which includes alpha_kernel.h);
// everyone else sees the declarations below.
#pragma once

#include "engine/alpha/img_alpha.h"

// KIND is `extern` for a declaration and empty for the instance.
#define ALPHA_KERNEL_UNSCALED(KIND, Family, Store, Dst, Op)                                      \
  KIND template void imgAlpha::Family<Store, Dst, alphaOp::Op>(imgCTy*, const rectCTy&, const alphaOp::Op&, \
                                                               const alphaOp::Op&);
#define ALPHA_KERNEL_SCALED(KIND, Family, Store, Dst, Op)                                              \
  KIND template void imgAlpha::Family<Store, Dst, alphaOp::Op>(imgCTy*, const rectCTy&, float, float, \
                                                               const alphaOp::Op&, const alphaOp::Op&);
#define ALPHA_KERNELS_OF_OP(KIND, Store, Dst, Op)                   \
  ALPHA_KERNEL_UNSCALED(KIND, imgAlphaDraw, Store, Dst, Op)         \
  ALPHA_KERNEL_UNSCALED(KIND, imgAlphaDrawPremul, Store, Dst, Op)   \
  ALPHA_KERNEL_SCALED(KIND, imgAlphaDrawScaled, Store, Dst, Op)     \
  ALPHA_KERNEL_SCALED(KIND, imgAlphaDrawScaledPremul, Store, Dst, Op)
#define ALPHA_KERNELS_OF_STORE(KIND, Store, Dst)     \
  ALPHA_KERNELS_OF_OP(KIND, Store, Dst, Copy)        \
  ALPHA_KERNELS_OF_OP(KIND, Store, Dst, SrcAlpha)    \
  ALPHA_KERNELS_OF_OP(KIND, Store, Dst, Add)         \
  ALPHA_KERNELS_OF_OP(KIND, Store, Dst, SrcAlphaK)
#define ALPHA_KERNELS_OF_DST(KIND, Dst)              \
  ALPHA_KERNELS_OF_STORE(KIND, X8R8G8B8, Dst)        \
  ALPHA_KERNELS_OF_STORE(KIND, R8G8B8, Dst)          \
  ALPHA_KERNELS_OF_STORE(KIND, R5G6B5, Dst)          \
  ALPHA_KERNELS_OF_STORE(KIND, X1R5G5B5, Dst)

// Onto X1R5G5B5 the straight Copy of X1R5G5B5 storage is R5G6B5's word copy.
#define ALPHA_KERNELS_ONTO_X1R5G5B5(KIND)                                                \
  ALPHA_KERNELS_OF_STORE(KIND, X8R8G8B8, X1R5G5B5)                                       \
  ALPHA_KERNELS_OF_STORE(KIND, R8G8B8, X1R5G5B5)                                         \
  ALPHA_KERNELS_OF_STORE(KIND, R5G6B5, X1R5G5B5)                                         \
  ALPHA_KERNEL_UNSCALED(KIND, imgAlphaDrawPremul, X1R5G5B5, X1R5G5B5, Copy)              \
  ALPHA_KERNEL_SCALED(KIND, imgAlphaDrawScaledPremul, X1R5G5B5, X1R5G5B5, Copy)          \
  ALPHA_KERNELS_OF_OP(KIND, X1R5G5B5, X1R5G5B5, SrcAlpha)                                \
  ALPHA_KERNELS_OF_OP(KIND, X1R5G5B5, X1R5G5B5, Add)                                     \
  ALPHA_KERNELS_OF_OP(KIND, X1R5G5B5, X1R5G5B5, SrcAlphaK)

ALPHA_KERNELS_OF_DST(extern, R8G8B8)
ALPHA_KERNELS_OF_DST(extern, X8R8G8B8)
ALPHA_KERNELS_OF_DST(extern, A8R8G8B8)
ALPHA_KERNELS_OF_DST(extern, R5G6B5)
ALPHA_KERNELS_ONTO_X1R5G5B5(extern)
ALPHA_KERNELS_OF_DST(extern, A1R5G5B5)
