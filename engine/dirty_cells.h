// Grids of dirty cells, shared by the screen update and the sprite lists: a
// row-major array of counters, one per cell, above 0 while the cell must be
// redrawn that many more times.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/rect.h"

// Appends the rectangles of the cells above 0 to the list and counts each of
// them down by one (a negative counter is set to 0). Rows are scanned top to
// bottom, each left to right: a run of marked cells becomes one rectangle,
// and a run covering a whole row that follows a whole row before it extends
// the last rectangle instead. At most ceil(cols / 2) * rows rectangles.
void dirtyCellsCollect(int32_t* cells, int32_t cols, int32_t rows, int32_t cellW, int32_t cellH,
                       std::vector<rectCTy>& list);
