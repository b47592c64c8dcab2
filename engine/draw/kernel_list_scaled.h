// The scaled kernels, by source group: Copy, Alpha and Add, Scaled and
// ScaledKey (kernel_scaled.h), the specialised blends of four pairs among
// them. Each entry X(family, Src, Dst, Op) is instantiated in
// kernels_<group>_scaled.cpp; kernels that serve several cells appear once,
// under their first pair.
#pragma once

#define IMG_SCALED_P8(X) \
  X(imgDrawScaled, P8, R8G8B8, Copy) \
  X(imgDrawScaledKey, P8, R8G8B8, Copy) \
  X(imgDrawScaled, P8, R8G8B8, Alpha) \
  X(imgDrawScaledKey, P8, R8G8B8, Alpha) \
  X(imgDrawScaled, P8, R8G8B8, Add) \
  X(imgDrawScaledKey, P8, R8G8B8, Add) \
  X(imgDrawScaled, P8, X8R8G8B8, Copy) \
  X(imgDrawScaledKey, P8, X8R8G8B8, Copy) \
  X(imgDrawScaled, P8, X8R8G8B8, Alpha) \
  X(imgDrawScaledKey, P8, X8R8G8B8, Alpha) \
  X(imgDrawScaled, P8, X8R8G8B8, Add) \
  X(imgDrawScaledKey, P8, X8R8G8B8, Add) \
  X(imgDrawScaled, P8, R5G6B5, Copy) \
  X(imgDrawScaledKey, P8, R5G6B5, Copy) \
  X(imgDrawScaled, P8, R5G6B5, Alpha) \
  X(imgDrawScaledKey, P8, R5G6B5, Alpha) \
  X(imgDrawScaled, P8, R5G6B5, Add) \
  X(imgDrawScaledKey, P8, R5G6B5, Add) \
  X(imgDrawScaledKey, P8, X1R5G5B5, Copy) \
  X(imgDrawScaled, P8, X1R5G5B5, Alpha) \
  X(imgDrawScaledKey, P8, X1R5G5B5, Alpha) \
  X(imgDrawScaled, P8, X1R5G5B5, Add) \
  X(imgDrawScaledKey, P8, X1R5G5B5, Add) \

#define IMG_SCALED_R8G8B8(X) \
  X(imgDrawScaled, R8G8B8, R8G8B8, Copy) \
  X(imgDrawScaledKey, R8G8B8, R8G8B8, Copy) \
  X(imgDrawScaled, R8G8B8, R8G8B8, Alpha) \
  X(imgDrawScaledKey, R8G8B8, R8G8B8, Alpha) \
  X(imgDrawScaled, R8G8B8, R8G8B8, Add) \
  X(imgDrawScaledKey, R8G8B8, R8G8B8, Add) \
  X(imgDrawScaled, R8G8B8, X8R8G8B8, Copy) \
  X(imgDrawScaledKey, R8G8B8, X8R8G8B8, Copy) \
  X(imgDrawScaled, R8G8B8, X8R8G8B8, Alpha) \
  X(imgDrawScaledKey, R8G8B8, X8R8G8B8, Alpha) \
  X(imgDrawScaled, R8G8B8, X8R8G8B8, Add) \
  X(imgDrawScaledKey, R8G8B8, X8R8G8B8, Add) \
  X(imgDrawScaled, R8G8B8, R5G6B5, Copy) \
  X(imgDrawScaledKey, R8G8B8, R5G6B5, Copy) \
  X(imgDrawScaled, R8G8B8, R5G6B5, Alpha) \
  X(imgDrawScaledKey, R8G8B8, R5G6B5, Alpha) \
  X(imgDrawScaled, R8G8B8, R5G6B5, Add) \
  X(imgDrawScaledKey, R8G8B8, R5G6B5, Add) \
  X(imgDrawScaled, R8G8B8, X1R5G5B5, Copy) \
  X(imgDrawScaledKey, R8G8B8, X1R5G5B5, Copy) \
  X(imgDrawScaled, R8G8B8, X1R5G5B5, Alpha) \
  X(imgDrawScaledKey, R8G8B8, X1R5G5B5, Alpha) \
  X(imgDrawScaled, R8G8B8, X1R5G5B5, Add) \
  X(imgDrawScaledKey, R8G8B8, X1R5G5B5, Add) \
  X(imgDrawScaled, R8G8B8, A1R5G5B5, Copy) \
  X(imgDrawScaledKey, R8G8B8, A1R5G5B5, Copy) \
  X(imgDrawScaled, R8G8B8, A1R5G5B5, Alpha) \
  X(imgDrawScaledKey, R8G8B8, A1R5G5B5, Alpha) \
  X(imgDrawScaled, R8G8B8, A1R5G5B5, Add) \
  X(imgDrawScaledKey, R8G8B8, A1R5G5B5, Add) \

#define IMG_SCALED_X8R8G8B8(X) \
  X(imgDrawScaled, X8R8G8B8, R8G8B8, Copy) \
  X(imgDrawScaledKey, X8R8G8B8, R8G8B8, Copy) \
  X(imgDrawScaled, X8R8G8B8, R8G8B8, Alpha) \
  X(imgDrawScaledKey, X8R8G8B8, R8G8B8, Alpha) \
  X(imgDrawScaled, X8R8G8B8, R8G8B8, Add) \
  X(imgDrawScaledKey, X8R8G8B8, R8G8B8, Add) \
  X(imgDrawScaled, X8R8G8B8, X8R8G8B8, Copy) \
  X(imgDrawScaledKey, X8R8G8B8, X8R8G8B8, Copy) \
  X(imgDrawScaled, X8R8G8B8, X8R8G8B8, Alpha) \
  X(imgDrawScaledKey, X8R8G8B8, X8R8G8B8, Alpha) \
  X(imgDrawScaled, X8R8G8B8, X8R8G8B8, Add) \
  X(imgDrawScaledKey, X8R8G8B8, X8R8G8B8, Add) \
  X(imgDrawScaled, X8R8G8B8, R5G6B5, Copy) \
  X(imgDrawScaledKey, X8R8G8B8, R5G6B5, Copy) \
  X(imgDrawScaled, X8R8G8B8, R5G6B5, Alpha) \
  X(imgDrawScaledKey, X8R8G8B8, R5G6B5, Alpha) \
  X(imgDrawScaled, X8R8G8B8, R5G6B5, Add) \
  X(imgDrawScaledKey, X8R8G8B8, R5G6B5, Add) \
  X(imgDrawScaled, X8R8G8B8, X1R5G5B5, Copy) \
  X(imgDrawScaledKey, X8R8G8B8, X1R5G5B5, Copy) \
  X(imgDrawScaled, X8R8G8B8, X1R5G5B5, Alpha) \
  X(imgDrawScaledKey, X8R8G8B8, X1R5G5B5, Alpha) \
  X(imgDrawScaled, X8R8G8B8, X1R5G5B5, Add) \
  X(imgDrawScaledKey, X8R8G8B8, X1R5G5B5, Add) \
  X(imgDrawScaled, X8R8G8B8, A1R5G5B5, Copy) \
  X(imgDrawScaledKey, X8R8G8B8, A1R5G5B5, Copy) \
  X(imgDrawScaled, X8R8G8B8, A1R5G5B5, Alpha) \
  X(imgDrawScaledKey, X8R8G8B8, A1R5G5B5, Alpha) \
  X(imgDrawScaled, X8R8G8B8, A1R5G5B5, Add) \
  X(imgDrawScaledKey, X8R8G8B8, A1R5G5B5, Add) \

#define IMG_SCALED_R5G6B5(X) \
  X(imgDrawScaled, R5G6B5, R8G8B8, Copy) \
  X(imgDrawScaledKey, R5G6B5, R8G8B8, Copy) \
  X(imgDrawScaled, R5G6B5, R8G8B8, Alpha) \
  X(imgDrawScaledKey, R5G6B5, R8G8B8, Alpha) \
  X(imgDrawScaled, R5G6B5, R8G8B8, Add) \
  X(imgDrawScaledKey, R5G6B5, R8G8B8, Add) \
  X(imgDrawScaled, R5G6B5, X8R8G8B8, Copy) \
  X(imgDrawScaledKey, R5G6B5, X8R8G8B8, Copy) \
  X(imgDrawScaled, R5G6B5, X8R8G8B8, Alpha) \
  X(imgDrawScaledKey, R5G6B5, X8R8G8B8, Alpha) \
  X(imgDrawScaled, R5G6B5, X8R8G8B8, Add) \
  X(imgDrawScaledKey, R5G6B5, X8R8G8B8, Add) \
  X(imgDrawScaled, R5G6B5, R5G6B5, Copy) \
  X(imgDrawScaledKey, R5G6B5, R5G6B5, Copy) \
  X(imgDrawScaled, R5G6B5, R5G6B5, Alpha) \
  X(imgDrawScaledKey, R5G6B5, R5G6B5, Alpha) \
  X(imgDrawScaled, R5G6B5, R5G6B5, Add) \
  X(imgDrawScaledKey, R5G6B5, R5G6B5, Add) \
  X(imgDrawScaled, R5G6B5, X1R5G5B5, Copy) \
  X(imgDrawScaledKey, R5G6B5, X1R5G5B5, Copy) \
  X(imgDrawScaled, R5G6B5, X1R5G5B5, Alpha) \
  X(imgDrawScaledKey, R5G6B5, X1R5G5B5, Alpha) \
  X(imgDrawScaled, R5G6B5, X1R5G5B5, Add) \
  X(imgDrawScaledKey, R5G6B5, X1R5G5B5, Add) \
  X(imgDrawScaled, R5G6B5, A1R5G5B5, Copy) \
  X(imgDrawScaledKey, R5G6B5, A1R5G5B5, Copy) \
  X(imgDrawScaled, R5G6B5, A1R5G5B5, Alpha) \
  X(imgDrawScaledKey, R5G6B5, A1R5G5B5, Alpha) \
  X(imgDrawScaled, R5G6B5, A1R5G5B5, Add) \
  X(imgDrawScaledKey, R5G6B5, A1R5G5B5, Add) \

#define IMG_SCALED_X1R5G5B5(X) \
  X(imgDrawScaled, X1R5G5B5, R8G8B8, Copy) \
  X(imgDrawScaledKey, X1R5G5B5, R8G8B8, Copy) \
  X(imgDrawScaled, X1R5G5B5, R8G8B8, Alpha) \
  X(imgDrawScaledKey, X1R5G5B5, R8G8B8, Alpha) \
  X(imgDrawScaled, X1R5G5B5, R8G8B8, Add) \
  X(imgDrawScaledKey, X1R5G5B5, R8G8B8, Add) \
  X(imgDrawScaled, X1R5G5B5, X8R8G8B8, Copy) \
  X(imgDrawScaledKey, X1R5G5B5, X8R8G8B8, Copy) \
  X(imgDrawScaled, X1R5G5B5, X8R8G8B8, Alpha) \
  X(imgDrawScaledKey, X1R5G5B5, X8R8G8B8, Alpha) \
  X(imgDrawScaled, X1R5G5B5, X8R8G8B8, Add) \
  X(imgDrawScaledKey, X1R5G5B5, X8R8G8B8, Add) \
  X(imgDrawScaled, X1R5G5B5, R5G6B5, Copy) \
  X(imgDrawScaledKey, X1R5G5B5, R5G6B5, Copy) \
  X(imgDrawScaled, X1R5G5B5, R5G6B5, Alpha) \
  X(imgDrawScaledKey, X1R5G5B5, R5G6B5, Alpha) \
  X(imgDrawScaled, X1R5G5B5, R5G6B5, Add) \
  X(imgDrawScaledKey, X1R5G5B5, R5G6B5, Add) \
  X(imgDrawScaledKey, X1R5G5B5, X1R5G5B5, Copy) \
  X(imgDrawScaled, X1R5G5B5, X1R5G5B5, Alpha) \
  X(imgDrawScaledKey, X1R5G5B5, X1R5G5B5, Alpha) \
  X(imgDrawScaled, X1R5G5B5, X1R5G5B5, Add) \
  X(imgDrawScaledKey, X1R5G5B5, X1R5G5B5, Add) \
  X(imgDrawScaled, X1R5G5B5, A1R5G5B5, Copy) \
  X(imgDrawScaledKey, X1R5G5B5, A1R5G5B5, Copy) \
  X(imgDrawScaled, X1R5G5B5, A1R5G5B5, Alpha) \
  X(imgDrawScaledKey, X1R5G5B5, A1R5G5B5, Alpha) \
  X(imgDrawScaled, X1R5G5B5, A1R5G5B5, Add) \
  X(imgDrawScaledKey, X1R5G5B5, A1R5G5B5, Add) \

#define IMG_SCALED_A1R5G5B5(X) \
  X(imgDrawScaled, A1R5G5B5, R8G8B8, Copy) \
  X(imgDrawScaledKey, A1R5G5B5, R8G8B8, Copy) \
  X(imgDrawScaled, A1R5G5B5, R8G8B8, Alpha) \
  X(imgDrawScaledKey, A1R5G5B5, R8G8B8, Alpha) \
  X(imgDrawScaled, A1R5G5B5, R8G8B8, Add) \
  X(imgDrawScaledKey, A1R5G5B5, R8G8B8, Add) \
  X(imgDrawScaled, A1R5G5B5, X8R8G8B8, Copy) \
  X(imgDrawScaledKey, A1R5G5B5, X8R8G8B8, Copy) \
  X(imgDrawScaled, A1R5G5B5, X8R8G8B8, Alpha) \
  X(imgDrawScaledKey, A1R5G5B5, X8R8G8B8, Alpha) \
  X(imgDrawScaled, A1R5G5B5, X8R8G8B8, Add) \
  X(imgDrawScaledKey, A1R5G5B5, X8R8G8B8, Add) \
  X(imgDrawScaledKey, A1R5G5B5, R5G6B5, Copy) \
  X(imgDrawScaledKey, A1R5G5B5, R5G6B5, Alpha) \
  X(imgDrawScaled, A1R5G5B5, R5G6B5, Add) \
  X(imgDrawScaledKey, A1R5G5B5, R5G6B5, Add) \
  X(imgDrawScaled, A1R5G5B5, X1R5G5B5, Copy) \
  X(imgDrawScaledKey, A1R5G5B5, X1R5G5B5, Copy) \
  X(imgDrawScaled, A1R5G5B5, X1R5G5B5, Alpha) \
  X(imgDrawScaledKey, A1R5G5B5, X1R5G5B5, Alpha) \
  X(imgDrawScaled, A1R5G5B5, X1R5G5B5, Add) \
  X(imgDrawScaledKey, A1R5G5B5, X1R5G5B5, Add) \
  X(imgDrawScaledKey, A1R5G5B5, A1R5G5B5, Copy) \
  X(imgDrawScaledKey, A1R5G5B5, A1R5G5B5, Alpha) \
  X(imgDrawScaled, A1R5G5B5, A1R5G5B5, Add) \
  X(imgDrawScaledKey, A1R5G5B5, A1R5G5B5, Add) \

