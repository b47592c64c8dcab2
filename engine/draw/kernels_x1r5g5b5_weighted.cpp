// The weighted kernels whose source group is X1R5G5B5.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_weighted.h"

IMG_WEIGHTED_X1R5G5B5(IMG_KERNEL_INSTANTIATE)
