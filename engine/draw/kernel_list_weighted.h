// The weighted kernels, by source group: Alpha, AlphaAdd and AlphaMap, plain
// and Key (kernel_weighted.h), the specialised blends of four pairs among
// them. Each entry X(family, Src, Dst, Op) is instantiated in
// kernels_<group>_weighted.cpp; kernels that serve several cells appear
// once, under their first pair.
#pragma once

#define IMG_WEIGHTED_P8(X) \
  X(imgDraw, P8, R8G8B8, Alpha) \
  X(imgDrawKey, P8, R8G8B8, Alpha) \
  X(imgDraw, P8, R8G8B8, AlphaAdd) \
  X(imgDrawKey, P8, R8G8B8, AlphaAdd) \
  X(imgDraw, P8, R8G8B8, AlphaMap) \
  X(imgDrawKey, P8, R8G8B8, AlphaMap) \
  X(imgDraw, P8, X8R8G8B8, Alpha) \
  X(imgDrawKey, P8, X8R8G8B8, Alpha) \
  X(imgDraw, P8, X8R8G8B8, AlphaAdd) \
  X(imgDrawKey, P8, X8R8G8B8, AlphaAdd) \
  X(imgDraw, P8, X8R8G8B8, AlphaMap) \
  X(imgDrawKey, P8, X8R8G8B8, AlphaMap) \
  X(imgDraw, P8, R5G6B5, Alpha) \
  X(imgDrawKey, P8, R5G6B5, Alpha) \
  X(imgDraw, P8, R5G6B5, AlphaAdd) \
  X(imgDrawKey, P8, R5G6B5, AlphaAdd) \
  X(imgDraw, P8, R5G6B5, AlphaMap) \
  X(imgDrawKey, P8, R5G6B5, AlphaMap) \
  X(imgDraw, P8, X1R5G5B5, Alpha) \
  X(imgDrawKey, P8, X1R5G5B5, Alpha) \
  X(imgDraw, P8, X1R5G5B5, AlphaAdd) \
  X(imgDrawKey, P8, X1R5G5B5, AlphaAdd) \
  X(imgDraw, P8, X1R5G5B5, AlphaMap) \
  X(imgDrawKey, P8, X1R5G5B5, AlphaMap) \

#define IMG_WEIGHTED_R8G8B8(X) \
  X(imgDraw, R8G8B8, R8G8B8, Alpha) \
  X(imgDrawKey, R8G8B8, R8G8B8, Alpha) \
  X(imgDraw, R8G8B8, R8G8B8, AlphaAdd) \
  X(imgDrawKey, R8G8B8, R8G8B8, AlphaAdd) \
  X(imgDraw, R8G8B8, R8G8B8, AlphaMap) \
  X(imgDrawKey, R8G8B8, R8G8B8, AlphaMap) \
  X(imgDraw, R8G8B8, X8R8G8B8, Alpha) \
  X(imgDrawKey, R8G8B8, X8R8G8B8, Alpha) \
  X(imgDraw, R8G8B8, X8R8G8B8, AlphaAdd) \
  X(imgDrawKey, R8G8B8, X8R8G8B8, AlphaAdd) \
  X(imgDraw, R8G8B8, X8R8G8B8, AlphaMap) \
  X(imgDrawKey, R8G8B8, X8R8G8B8, AlphaMap) \
  X(imgDraw, R8G8B8, R5G6B5, Alpha) \
  X(imgDrawKey, R8G8B8, R5G6B5, Alpha) \
  X(imgDraw, R8G8B8, R5G6B5, AlphaAdd) \
  X(imgDrawKey, R8G8B8, R5G6B5, AlphaAdd) \
  X(imgDraw, R8G8B8, R5G6B5, AlphaMap) \
  X(imgDrawKey, R8G8B8, R5G6B5, AlphaMap) \
  X(imgDraw, R8G8B8, X1R5G5B5, Alpha) \
  X(imgDrawKey, R8G8B8, X1R5G5B5, Alpha) \
  X(imgDraw, R8G8B8, X1R5G5B5, AlphaAdd) \
  X(imgDrawKey, R8G8B8, X1R5G5B5, AlphaAdd) \
  X(imgDraw, R8G8B8, X1R5G5B5, AlphaMap) \
  X(imgDrawKey, R8G8B8, X1R5G5B5, AlphaMap) \
  X(imgDraw, R8G8B8, A1R5G5B5, Alpha) \
  X(imgDrawKey, R8G8B8, A1R5G5B5, Alpha) \
  X(imgDraw, R8G8B8, A1R5G5B5, AlphaAdd) \
  X(imgDrawKey, R8G8B8, A1R5G5B5, AlphaAdd) \
  X(imgDraw, R8G8B8, A1R5G5B5, AlphaMap) \
  X(imgDrawKey, R8G8B8, A1R5G5B5, AlphaMap) \

#define IMG_WEIGHTED_X8R8G8B8(X) \
  X(imgDraw, X8R8G8B8, R8G8B8, Alpha) \
  X(imgDrawKey, X8R8G8B8, R8G8B8, Alpha) \
  X(imgDraw, X8R8G8B8, R8G8B8, AlphaAdd) \
  X(imgDrawKey, X8R8G8B8, R8G8B8, AlphaAdd) \
  X(imgDraw, X8R8G8B8, R8G8B8, AlphaMap) \
  X(imgDrawKey, X8R8G8B8, R8G8B8, AlphaMap) \
  X(imgDraw, X8R8G8B8, X8R8G8B8, Alpha) \
  X(imgDrawKey, X8R8G8B8, X8R8G8B8, Alpha) \
  X(imgDraw, X8R8G8B8, X8R8G8B8, AlphaAdd) \
  X(imgDrawKey, X8R8G8B8, X8R8G8B8, AlphaAdd) \
  X(imgDraw, X8R8G8B8, X8R8G8B8, AlphaMap) \
  X(imgDrawKey, X8R8G8B8, X8R8G8B8, AlphaMap) \
  X(imgDraw, X8R8G8B8, R5G6B5, Alpha) \
  X(imgDrawKey, X8R8G8B8, R5G6B5, Alpha) \
  X(imgDraw, X8R8G8B8, R5G6B5, AlphaAdd) \
  X(imgDrawKey, X8R8G8B8, R5G6B5, AlphaAdd) \
  X(imgDraw, X8R8G8B8, R5G6B5, AlphaMap) \
  X(imgDrawKey, X8R8G8B8, R5G6B5, AlphaMap) \
  X(imgDraw, X8R8G8B8, X1R5G5B5, Alpha) \
  X(imgDrawKey, X8R8G8B8, X1R5G5B5, Alpha) \
  X(imgDraw, X8R8G8B8, X1R5G5B5, AlphaAdd) \
  X(imgDrawKey, X8R8G8B8, X1R5G5B5, AlphaAdd) \
  X(imgDraw, X8R8G8B8, X1R5G5B5, AlphaMap) \
  X(imgDrawKey, X8R8G8B8, X1R5G5B5, AlphaMap) \
  X(imgDraw, X8R8G8B8, A1R5G5B5, Alpha) \
  X(imgDrawKey, X8R8G8B8, A1R5G5B5, Alpha) \
  X(imgDraw, X8R8G8B8, A1R5G5B5, AlphaAdd) \
  X(imgDrawKey, X8R8G8B8, A1R5G5B5, AlphaAdd) \
  X(imgDraw, X8R8G8B8, A1R5G5B5, AlphaMap) \
  X(imgDrawKey, X8R8G8B8, A1R5G5B5, AlphaMap) \

#define IMG_WEIGHTED_R5G6B5(X) \
  X(imgDraw, R5G6B5, R8G8B8, Alpha) \
  X(imgDrawKey, R5G6B5, R8G8B8, Alpha) \
  X(imgDraw, R5G6B5, R8G8B8, AlphaAdd) \
  X(imgDrawKey, R5G6B5, R8G8B8, AlphaAdd) \
  X(imgDraw, R5G6B5, R8G8B8, AlphaMap) \
  X(imgDrawKey, R5G6B5, R8G8B8, AlphaMap) \
  X(imgDraw, R5G6B5, X8R8G8B8, Alpha) \
  X(imgDrawKey, R5G6B5, X8R8G8B8, Alpha) \
  X(imgDraw, R5G6B5, X8R8G8B8, AlphaAdd) \
  X(imgDrawKey, R5G6B5, X8R8G8B8, AlphaAdd) \
  X(imgDraw, R5G6B5, X8R8G8B8, AlphaMap) \
  X(imgDrawKey, R5G6B5, X8R8G8B8, AlphaMap) \
  X(imgDraw, R5G6B5, R5G6B5, Alpha) \
  X(imgDrawKey, R5G6B5, R5G6B5, Alpha) \
  X(imgDraw, R5G6B5, R5G6B5, AlphaAdd) \
  X(imgDrawKey, R5G6B5, R5G6B5, AlphaAdd) \
  X(imgDraw, R5G6B5, R5G6B5, AlphaMap) \
  X(imgDrawKey, R5G6B5, R5G6B5, AlphaMap) \
  X(imgDraw, R5G6B5, X1R5G5B5, Alpha) \
  X(imgDrawKey, R5G6B5, X1R5G5B5, Alpha) \
  X(imgDraw, R5G6B5, X1R5G5B5, AlphaAdd) \
  X(imgDrawKey, R5G6B5, X1R5G5B5, AlphaAdd) \
  X(imgDraw, R5G6B5, X1R5G5B5, AlphaMap) \
  X(imgDrawKey, R5G6B5, X1R5G5B5, AlphaMap) \
  X(imgDraw, R5G6B5, A1R5G5B5, Alpha) \
  X(imgDrawKey, R5G6B5, A1R5G5B5, Alpha) \
  X(imgDraw, R5G6B5, A1R5G5B5, AlphaAdd) \
  X(imgDrawKey, R5G6B5, A1R5G5B5, AlphaAdd) \
  X(imgDraw, R5G6B5, A1R5G5B5, AlphaMap) \
  X(imgDrawKey, R5G6B5, A1R5G5B5, AlphaMap) \

#define IMG_WEIGHTED_X1R5G5B5(X) \
  X(imgDraw, X1R5G5B5, R8G8B8, Alpha) \
  X(imgDrawKey, X1R5G5B5, R8G8B8, Alpha) \
  X(imgDraw, X1R5G5B5, R8G8B8, AlphaAdd) \
  X(imgDrawKey, X1R5G5B5, R8G8B8, AlphaAdd) \
  X(imgDraw, X1R5G5B5, R8G8B8, AlphaMap) \
  X(imgDrawKey, X1R5G5B5, R8G8B8, AlphaMap) \
  X(imgDraw, X1R5G5B5, X8R8G8B8, Alpha) \
  X(imgDrawKey, X1R5G5B5, X8R8G8B8, Alpha) \
  X(imgDraw, X1R5G5B5, X8R8G8B8, AlphaAdd) \
  X(imgDrawKey, X1R5G5B5, X8R8G8B8, AlphaAdd) \
  X(imgDraw, X1R5G5B5, X8R8G8B8, AlphaMap) \
  X(imgDrawKey, X1R5G5B5, X8R8G8B8, AlphaMap) \
  X(imgDraw, X1R5G5B5, R5G6B5, Alpha) \
  X(imgDrawKey, X1R5G5B5, R5G6B5, Alpha) \
  X(imgDraw, X1R5G5B5, R5G6B5, AlphaAdd) \
  X(imgDrawKey, X1R5G5B5, R5G6B5, AlphaAdd) \
  X(imgDraw, X1R5G5B5, R5G6B5, AlphaMap) \
  X(imgDrawKey, X1R5G5B5, R5G6B5, AlphaMap) \
  X(imgDraw, X1R5G5B5, X1R5G5B5, Alpha) \
  X(imgDrawKey, X1R5G5B5, X1R5G5B5, Alpha) \
  X(imgDraw, X1R5G5B5, X1R5G5B5, AlphaAdd) \
  X(imgDrawKey, X1R5G5B5, X1R5G5B5, AlphaAdd) \
  X(imgDraw, X1R5G5B5, X1R5G5B5, AlphaMap) \
  X(imgDrawKey, X1R5G5B5, X1R5G5B5, AlphaMap) \
  X(imgDraw, X1R5G5B5, A1R5G5B5, Alpha) \
  X(imgDrawKey, X1R5G5B5, A1R5G5B5, Alpha) \
  X(imgDraw, X1R5G5B5, A1R5G5B5, AlphaAdd) \
  X(imgDrawKey, X1R5G5B5, A1R5G5B5, AlphaAdd) \
  X(imgDraw, X1R5G5B5, A1R5G5B5, AlphaMap) \
  X(imgDrawKey, X1R5G5B5, A1R5G5B5, AlphaMap) \

#define IMG_WEIGHTED_A1R5G5B5(X) \
  X(imgDraw, A1R5G5B5, R8G8B8, Alpha) \
  X(imgDrawKey, A1R5G5B5, R8G8B8, Alpha) \
  X(imgDraw, A1R5G5B5, R8G8B8, AlphaAdd) \
  X(imgDrawKey, A1R5G5B5, R8G8B8, AlphaAdd) \
  X(imgDraw, A1R5G5B5, R8G8B8, AlphaMap) \
  X(imgDrawKey, A1R5G5B5, R8G8B8, AlphaMap) \
  X(imgDraw, A1R5G5B5, X8R8G8B8, Alpha) \
  X(imgDrawKey, A1R5G5B5, X8R8G8B8, Alpha) \
  X(imgDraw, A1R5G5B5, X8R8G8B8, AlphaAdd) \
  X(imgDrawKey, A1R5G5B5, X8R8G8B8, AlphaAdd) \
  X(imgDraw, A1R5G5B5, X8R8G8B8, AlphaMap) \
  X(imgDrawKey, A1R5G5B5, X8R8G8B8, AlphaMap) \
  X(imgDrawKey, A1R5G5B5, R5G6B5, Alpha) \
  X(imgDraw, A1R5G5B5, R5G6B5, AlphaAdd) \
  X(imgDrawKey, A1R5G5B5, R5G6B5, AlphaAdd) \
  X(imgDrawKey, A1R5G5B5, R5G6B5, AlphaMap) \
  X(imgDraw, A1R5G5B5, X1R5G5B5, Alpha) \
  X(imgDrawKey, A1R5G5B5, X1R5G5B5, Alpha) \
  X(imgDraw, A1R5G5B5, X1R5G5B5, AlphaAdd) \
  X(imgDrawKey, A1R5G5B5, X1R5G5B5, AlphaAdd) \
  X(imgDraw, A1R5G5B5, X1R5G5B5, AlphaMap) \
  X(imgDrawKey, A1R5G5B5, X1R5G5B5, AlphaMap) \
  X(imgDrawKey, A1R5G5B5, A1R5G5B5, Alpha) \
  X(imgDraw, A1R5G5B5, A1R5G5B5, AlphaAdd) \
  X(imgDrawKey, A1R5G5B5, A1R5G5B5, AlphaAdd) \
  X(imgDrawKey, A1R5G5B5, A1R5G5B5, AlphaMap) \

