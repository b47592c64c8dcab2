// Grids of dirty cells.
#include "engine/dirty_cells.h"

void dirtyCellsCollect(int32_t* cells, int32_t cols, int32_t rows, int32_t cellW, int32_t cellH,
                       std::vector<rectCTy>& list) {
  bool previousFull = false;
  for (int32_t r = 0; r < rows; ++r) {
    int32_t* row = cells + int64_t(r) * cols;
    // Most rows are clean: one pass over them (all zero when no bit is set).
    int32_t any = 0;
    for (int32_t c = 0; c < cols; ++c) any |= row[c];
    if (!any) {
      previousFull = false;
      continue;
    }
    bool full = false;
    for (int32_t c = 0; c < cols;) {
      if (row[c] <= 0) {
        if (row[c]) row[c] = 0;
        ++c;
        continue;
      }
      int32_t n = 0;
      for (; c + n < cols && row[c + n] > 0; ++n) --row[c + n];
      full = n == cols;
      if (full && previousFull && !list.empty()) {
        list.back().h += cellH;
      } else {
        rectCTy run;
        run.x = c * cellW;
        run.y = r * cellH;
        run.w = n * cellW;
        run.h = cellH;
        list.push_back(run);
      }
      c += n;
    }
    previousFull = full;
  }
}
