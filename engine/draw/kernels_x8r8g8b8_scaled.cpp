// The scaled kernels whose source group is X8R8G8B8.
#include "engine/draw/kernel_list.h"
#include "engine/draw/kernel_scaled.h"

IMG_SCALED_X8R8G8B8(IMG_KERNEL_INSTANTIATE)
