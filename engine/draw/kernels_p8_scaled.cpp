// The scaled kernels whose source group is P8.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_scaled.h"

IMG_SCALED_P8(IMG_KERNEL_INSTANTIATE)
