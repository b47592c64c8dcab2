// The depth-tested kernels whose source group is X8R8G8B8.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_depth.h"

IMG_DEPTH_X8R8G8B8(IMG_KERNEL_INSTANTIATE)
