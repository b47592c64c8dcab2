// The scaled kernels whose source group is R5G6B5.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_scaled.h"

IMG_SCALED_R5G6B5(IMG_KERNEL_INSTANTIATE)
