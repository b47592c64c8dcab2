// The 800x600 picture the image operation benchmarks run on: a buffer of
// random pels shared by the measured libraries, and the rate every row
// reports as "pixels=...M/s" (Mpixels/s).
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <random>
#include <vector>

namespace bench_picture {

constexpr int W = 800, H = 600;

inline void count_pixels(benchmark::State& state) {
  state.counters["pixels"] =
      benchmark::Counter(double(state.iterations()) * W * H, benchmark::Counter::kIsRate);
}

// Buffers on 64-byte lines: where the heap puts a picture's buffer changes
// from run to run, and SDL's copies take their fastest path only on
// aligned rows, so every row runs on memory placed alike.
template <class T>
struct LineAligned {
  using value_type = T;
  static constexpr std::align_val_t kLine{64};
  LineAligned() = default;
  template <class U>
  LineAligned(const LineAligned<U>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), kLine)); }
  void deallocate(T* p, std::size_t) { ::operator delete(p, kLine); }
  template <class U>
  bool operator==(const LineAligned<U>&) const { return true; }
};

using Words = std::vector<std::uint32_t, LineAligned<std::uint32_t>>;

// One picture's buffer of random pels.
struct Pels {
  int size;
  Words words;
  explicit Pels(int pel_size) : size(pel_size), words(std::size_t(W) * H * pel_size / 4) {
    std::mt19937 rng(1);
    for (auto& w : words) w = rng();
  }
  std::uint8_t* bytes() { return reinterpret_cast<std::uint8_t*>(words.data()); }
  int pitch() const { return W * size; }
};

}  // namespace bench_picture
