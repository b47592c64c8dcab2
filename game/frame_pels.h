// The native pels of a sprite's frame, for the frame's opaque bitmap.
#pragma once

#include <cstdint>
#include <vector>

class imgCTy;

// width x height pels, row by row, as PelAtXY gives them, read under one
// read-only lock of the whole image.
std::vector<uint32_t> gameFramePels(imgCTy* frame);
