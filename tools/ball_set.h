// ball.imgs: the ball's frames as an image set of RLE8 images keyed on
// index 0, sharing the set's one palette.
#pragma once

#include <string>

#include "tools/pictures.h"

void writeBallSet(const std::string& path, const BallFrames& ball);
