// Checks of a benchmark row's output, run once after its timed loop.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "img/VectorLevel.h"

namespace bench_check {

using Words = std::vector<std::uint32_t>;

// The vector level the rows run at: the processor's best, or the one
// TALVO_VECTOR_LEVEL names (0 portable, 1 SSE2, 2 AVX2; one above the
// processor's is taken down to it), set before any row runs.
inline const int timed_level = [] {
  const char* named = std::getenv("TALVO_VECTOR_LEVEL");
  const int level = named ? std::atoi(named) : -1;
  talvo::g::vector_level::force(level);
  return level;
}();

// The row fails unless its buffer changed from `initial`.
inline void written(benchmark::State& state, const Words& initial, const Words& now) {
  if (now == initial) state.SkipWithError("nothing was written");
}

// The row fails unless every byte of `now` is `byte`.
inline void all_bytes(benchmark::State& state, const Words& now, std::uint8_t byte) {
  if (!std::all_of(now.begin(), now.end(), [&](std::uint32_t w) { return w == byte * 0x01010101u; }))
    state.SkipWithError("a pel differs from the fill");
}

// `run(words)` writes into a copy of `initial`, once at the timed vector
// level and once with the portable code; the row fails unless both
// give the same words and they differ from `initial`.
template <class Run>
void same_as_portable(benchmark::State& state, const Words& initial, Run run) {
  namespace level = talvo::g::vector_level;
  Words fast = initial, portable = initial;
  run(fast);
  level::force(level::portable);
  run(portable);
  level::force(timed_level);
  if (fast != portable) state.SkipWithError("the output differs from the portable code's");
  written(state, initial, fast);
}

}  // namespace bench_check
