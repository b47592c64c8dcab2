// The weighted kernels whose source group is P8.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_weighted.h"

IMG_WEIGHTED_P8(IMG_KERNEL_INSTANTIATE)
