// The weighted kernels whose source group is R5G6B5.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_weighted.h"

IMG_WEIGHTED_R5G6B5(IMG_KERNEL_INSTANTIATE)
