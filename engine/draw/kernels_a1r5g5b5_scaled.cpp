// The scaled kernels whose source group is A1R5G5B5.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_scaled.h"

IMG_SCALED_A1R5G5B5(IMG_KERNEL_INSTANTIATE)
