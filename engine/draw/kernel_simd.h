// Row functions on the processor's vector unit (SSE2, AVX2) for the kernels
// that draw the most: each is bit-exact to the per-pel rules of its cell,
// draws a row's first pels (a multiple of its width) and returns how many;
// the kernel's per-pel loop draws the rest.
//
// The level is the processor's best, read once; drawSimd::force picks one for
// tests (and benchmarks), so that each path can be checked against the
// per-pel rules.
#pragma once

#include <cstdint>

#include "engine/draw/frame_rules.h"

namespace drawSimd {

enum Level : int { Portable = 0, SSE2 = 1, AVX2 = 2 };

// The level the row functions run at.
Level level();
// Forces a level (one above the processor's is taken down to it); a
// negative value goes back to the processor's own.
void force(int level);
// The processor's best level.
Level supported();

// Draws pels [0, n) of a row, n <= w; returns n.
using RowFn = int (*)(uint8_t* d, const uint8_t* s, int w, uint32_t key, const uint8_t* table);

// The row function of a cell at the current level, or null: the cells
// without one.
template <class Reader, class D, class Step, class KeyTest>
struct Rows {
  static RowFn pick() { return nullptr; }
};

}  // namespace drawSimd
