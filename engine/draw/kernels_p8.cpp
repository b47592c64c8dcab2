// The kernels whose source group is P8.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_rows.h"

IMG_KERNELS_P8(IMG_KERNEL_INSTANTIATE)
