// The depth-tested kernels whose source group is P8.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_depth.h"

IMG_DEPTH_P8(IMG_KERNEL_INSTANTIATE)
