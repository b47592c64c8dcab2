// ball.imgs: the ball's frames as an image set of RLE8 images keyed on
// index 0, sharing the set's one palette.
#pragma once

#include "tools/files.h"
#include "tools/pictures.h"

// The file's bytes: an rw file, not packed.
Bytes ballSet(const BallFrames& ball);
