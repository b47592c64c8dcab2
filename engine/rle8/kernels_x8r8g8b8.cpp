// The RLE8 draw members onto X8R8G8B8.
#include "engine/rle8/rle8_walk.h"

RLE8_MEMBERS_X8R8G8B8()
