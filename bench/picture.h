// The 800x600 picture the image operation benchmarks run on: a buffer of
// random pels shared by the measured libraries, and the rate every row
// reports as "pixels=...M/s" (Mpixels/s).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace bench_picture {

constexpr int W = 800, H = 600;

inline void count_pixels(benchmark::State& state) {
  state.counters["pixels"] =
      benchmark::Counter(double(state.iterations()) * W * H, benchmark::Counter::kIsRate);
}

// One picture's buffer of random pels.
struct Pels {
  int size;
  std::vector<std::uint32_t> words;  // 32-bit aligned for pixman
  explicit Pels(int pel_size) : size(pel_size), words(std::size_t(W) * H * pel_size / 4) {
    std::mt19937 rng(1);
    for (auto& w : words) w = rng();
  }
  std::uint8_t* bytes() { return reinterpret_cast<std::uint8_t*>(words.data()); }
  int pitch() const { return W * size; }
};

}  // namespace bench_picture
