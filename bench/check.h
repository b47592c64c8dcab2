// Checks of a benchmark row's output, run once after its timed loop.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/picture.h"
#include "img/Pixel.h"
#include "img/VectorLevel.h"

namespace bench_check {

using Words = bench_picture::Words;

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

// The colour fields of pel i of pels of `type`: 5 and 6 bits of Rgb565, 5 of
// Rgbx5551 and Rgba5551, the bytes B, G, R of the 8-bit formats (whose
// fourth byte is left out).
inline void fields(talvo::g::PelType type, const Words& words, std::size_t i, int out[3]) {
  namespace pt = talvo::g::pel_type;
  const auto* p = reinterpret_cast<const std::uint8_t*>(words.data()) + i * std::size_t(talvo::g::bytes_per_pel(type));
  if (type == pt::rgb565 || type == pt::rgbx5551 || type == pt::rgba5551) {
    const int v = p[0] | p[1] << 8, green = type == pt::rgb565 ? 6 : 5;
    out[0] = v & 31, out[1] = v >> 5 & ((1 << green) - 1), out[2] = v >> (5 + green) & 31;
  } else {
    out[0] = p[0], out[1] = p[1], out[2] = p[2];
  }
}

// The largest difference of a colour field between the first `pels` pels
// of a and b, both of `type`.
inline int worst_field_difference(talvo::g::PelType type, const Words& a, const Words& b, std::size_t pels) {
  int worst = 0;
  for (std::size_t i = 0; i < pels; ++i) {
    int x[3], y[3];
    fields(type, a, i, x);
    fields(type, b, i, y);
    for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(x[c] - y[c]));
  }
  return worst;
}

// How far a peer's pels agree with ours: the largest difference of a colour
// field (see fields()) from ours drawn at weight `weight` (the row's own
// where 0); a negative tolerance compares nothing. Beside each row whose
// tolerance is not 0 (the formulas differ by design) a comment says how.
struct Agree {
  int tolerance;
  int weight = 0;
};
inline constexpr Agree same{0}, not_compared{-1};

// The row fails unless `peer` differs from `ours` by no more than
// `tolerance` in any colour field.
inline void agree(benchmark::State& state, talvo::g::PelType type, const Words& ours, const Words& peer,
                  std::size_t pels, int tolerance) {
  if (tolerance < 0) return;
  const int worst = worst_field_difference(type, ours, peer, pels);
  if (worst > tolerance) {
    const std::string error = "a colour field differs from ours by " + std::to_string(worst);
    state.SkipWithError(error.c_str());
  }
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
