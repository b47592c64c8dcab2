// The depth-tested kernels whose source group is R5G6B5.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_depth.h"

IMG_DEPTH_R5G6B5(IMG_KERNEL_INSTANTIATE)
