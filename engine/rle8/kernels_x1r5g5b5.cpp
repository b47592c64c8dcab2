// The RLE8 draw members onto X1R5G5B5.
#include "engine/rle8/rle8_walk.h"

RLE8_MEMBERS_X1R5G5B5()
