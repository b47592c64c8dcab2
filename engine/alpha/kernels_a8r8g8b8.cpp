// The alpha image's kernels onto A8R8G8B8.
#include "engine/alpha/alpha_kernel.h"
#include "engine/alpha/alpha_kernel_list.h"

ALPHA_KERNELS_OF_DST(, A8R8G8B8)
