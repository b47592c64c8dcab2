// The rows the unscaled walk (alpha_walk.h) hands the vector kernel of a
// cell (alpha_vector.h): one destination row at a time, with the place the
// walk stands in the source's coded pels, which the kernel moves on.
//
// Which cells have vector kernels, and at which level, is pick()'s answer;
// the tables live in alpha_vector_sse2.cpp and alpha_vector_avx2.cpp, each
// compiled for its own instruction set.
#pragma once

#include <cstdint>

#include "engine/alpha/img_alpha.h"

namespace alphaRows {

// Where the walk stands in the source's coded pels.
struct Row {
  const imgAlphaRun* run;  // the current run (end: past the coded pels)
  const imgAlphaRun* end;
  uint32_t left;           // its pels not yet passed (0: used up)
  const uint8_t* colour;   // the colour of the next visible pel
  const uint8_t* alpha;    // the alpha byte of the next translucent pel
  uint8_t shortRuns;       // what short runs to look for: the kernel's guess, from the row before
};

// Row::shortRuns.
enum : uint8_t { noShortRuns, shortRuns, singlePelRuns };

// What every row of a draw shares: where the source's arrays end (a kernel
// reads nothing past them) and the weight K of SrcAlphaK (0 to 255).
struct Source {
  const uint8_t* coloursEnd;
  const uint8_t* alphasEnd;
  int K;
};

// Draws the w pels of a row from d on and moves `at` past them (or to the
// end of the runs, whose pels are transparent).
using DrawFn = void (*)(Row& at, uint8_t* d, int w, const Source& source);

// [Op: Copy, SrcAlpha, Add, SrcAlphaK][Store: R8G8B8, X8R8G8B8][Dst: R5G6B5, X8R8G8B8]
using Table = DrawFn[4][2][2];
extern const Table* const sse2Table;  // null where the build has no SSE2
extern const Table* const avx2Table;  // null where the build has no AVX2

// The kernel of a cell at the vector level (img/VectorLevel.h),
// or null: portable level, or a cell without one.
DrawFn pick(int op, int store, int dst);

}  // namespace alphaRows
