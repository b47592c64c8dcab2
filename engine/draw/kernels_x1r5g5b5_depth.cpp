// The depth-tested kernels whose source group is X1R5G5B5.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_depth.h"

IMG_DEPTH_X1R5G5B5(IMG_KERNEL_INSTANTIATE)
