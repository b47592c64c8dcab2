// The alpha image's kernels onto A1R5G5B5.
#include "engine/alpha/alpha_kernel.h"
#include "engine/alpha/alpha_kernel_list.h"

ALPHA_KERNELS_OF_DST(, A1R5G5B5)
