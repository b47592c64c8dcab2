// The alpha image's kernels onto X1R5G5B5.
#include "engine/alpha/alpha_kernel.h"
#include "engine/alpha/alpha_kernel_list.h"

ALPHA_KERNELS_ONTO_X1R5G5B5()
