// The RLE8 draw members onto R5G6B5.
#include "engine/rle8/rle8_walk.h"

RLE8_MEMBERS_R5G6B5()
