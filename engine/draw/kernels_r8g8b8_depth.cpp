// The depth-tested kernels whose source group is R8G8B8.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_depth.h"

IMG_DEPTH_R8G8B8(IMG_KERNEL_INSTANTIATE)
