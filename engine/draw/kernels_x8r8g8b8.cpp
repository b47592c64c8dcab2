// The kernels whose source group is X8R8G8B8.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_rows.h"

IMG_KERNELS_X8R8G8B8(IMG_KERNEL_INSTANTIATE)
