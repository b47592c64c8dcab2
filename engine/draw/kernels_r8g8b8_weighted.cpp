// The weighted kernels whose source group is R8G8B8.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_weighted.h"

IMG_WEIGHTED_R8G8B8(IMG_KERNEL_INSTANTIATE)
