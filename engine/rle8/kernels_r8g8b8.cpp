// The RLE8 draw members onto R8G8B8.
#include "engine/rle8/rle8_walk.h"

RLE8_MEMBERS_R8G8B8()
