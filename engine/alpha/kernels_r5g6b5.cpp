// The alpha image's kernels onto R5G6B5.
#include "engine/alpha/alpha_kernel.h"
#include "engine/alpha/alpha_kernel_list.h"

ALPHA_KERNELS_OF_DST(, R5G6B5)
