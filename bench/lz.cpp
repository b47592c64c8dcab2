// Packing and unpacking with the base library's LZ packer beside zlib
// (compress2 at levels 1, 6 and 9, uncompress) and LZ4 on four inputs: text,
// a 640x480 RGB565 picture, random bytes and an input made to walk the
// packer's hash chains as far as they go. Every row reports the rate of
// unpacked bytes (bytes_per_second) and "ratio", the packed size over the
// unpacked size.
#include <benchmark/benchmark.h>
#include <lz4.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/err.h"
#include "base/pack.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes text(size_t n) {
  static const char* words[] = {"the ",   "ball ",  "rolls ", "over ",   "a ",      "maze ",  "of ",
                                "walls ", "and ",   "time ",  "runs. ",  "Mouse ",  "guided ", "red ",
                                "wins, ", "white ", "loses ", "best ",   "result ", "is ",     "kept.\n"};
  std::mt19937 rng(1);
  std::string s;
  while (s.size() < n) s += words[rng() % (sizeof words / sizeof *words)];
  return Bytes(s.begin(), s.begin() + static_cast<long>(n));
}

// A picture as a game keeps them: a smooth gradient sky, flat walls, round
// shapes and a little noise, as RGB565 pels.
Bytes picture565() {
  constexpr int W = 640, H = 480;
  Bytes b(W * H * 2);
  std::mt19937 rng(2);
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      int r = x * 31 / W, g = y * 63 / H, bl = 31 - (x + y) * 31 / (W + H);
      if ((x / 80 + y / 60) % 5 == 0) r = 20, g = 40, bl = 10;  // walls
      const int dx = x % 160 - 80, dy = y % 120 - 60;
      if (dx * dx + dy * dy < 900) r = 31, g = 10 + (dx * dx + dy * dy) / 40, bl = 0;  // shapes
      if (rng() % 8 == 0) g ^= 1;  // noise
      const uint16_t pel = static_cast<uint16_t>(r << 11 | g << 5 | bl);
      b[(y * W + x) * 2] = static_cast<uint8_t>(pel);
      b[(y * W + x) * 2 + 1] = static_cast<uint8_t>(pel >> 8);
    }
  }
  return b;
}

Bytes randomBytes(size_t n) {
  std::mt19937 rng(3);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

// Random bytes of two values with the same low nibble: every position falls
// into one of two hash chains that fill the whole window, and each candidate
// matches for about two bytes, so every search walks thousands of entries.
Bytes adversarial(size_t n) {
  std::mt19937 rng(4);
  Bytes b(n);
  for (auto& x : b) x = (rng() & 1) ? 0x10 : 0x00;
  return b;
}

struct Input {
  const char* name;
  Bytes bytes;
};

void report(benchmark::State& state, size_t plain, size_t packed) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain));
  state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(plain);
}

uint32_t room(const Bytes& src) { return static_cast<uint32_t>(src.size() + src.size() / 8 + 1024); }

void lzPackRow(benchmark::State& state, const Bytes& src) {
  Bytes out(room(src));
  int32_t n = 0;
  for (auto _ : state) {
    n = lzPack(src.data(), static_cast<uint32_t>(src.size()), out.data(), static_cast<uint32_t>(out.size()));
    benchmark::DoNotOptimize(out.data());
  }
  report(state, src.size(), static_cast<size_t>(n));
}

void lzUnpackRow(benchmark::State& state, const Bytes& src) {
  Bytes packed(room(src));
  const int32_t n =
      lzPack(src.data(), static_cast<uint32_t>(src.size()), packed.data(), static_cast<uint32_t>(packed.size()));
  Bytes out(src.size());
  int32_t got = 0;
  for (auto _ : state) {
    got = lzUnpack(packed.data(), static_cast<uint32_t>(n), out.data(), static_cast<uint32_t>(out.size()));
    benchmark::DoNotOptimize(got);
  }
  // Checked once, outside the timed loop, as the other rows do no checking in it.
  if (got != static_cast<int32_t>(src.size()) || out != src) state.SkipWithError("lzUnpack round trip");
  report(state, src.size(), static_cast<size_t>(n));
}

void zlibPackRow(benchmark::State& state, const Bytes& src, int level) {
  Bytes out(compressBound(static_cast<uLong>(src.size())));
  uLongf n = 0;
  for (auto _ : state) {
    n = static_cast<uLongf>(out.size());
    compress2(out.data(), &n, src.data(), static_cast<uLong>(src.size()), level);
    benchmark::DoNotOptimize(out.data());
  }
  report(state, src.size(), n);
}

void zlibUnpackRow(benchmark::State& state, const Bytes& src) {
  Bytes packed(compressBound(static_cast<uLong>(src.size())));
  uLongf n = static_cast<uLongf>(packed.size());
  compress2(packed.data(), &n, src.data(), static_cast<uLong>(src.size()), 6);
  Bytes out(src.size());
  for (auto _ : state) {
    uLongf got = static_cast<uLongf>(out.size());
    uncompress(out.data(), &got, packed.data(), n);
    benchmark::DoNotOptimize(out.data());
  }
  report(state, src.size(), n);
}

void lz4PackRow(benchmark::State& state, const Bytes& src) {
  Bytes out(static_cast<size_t>(LZ4_compressBound(static_cast<int>(src.size()))));
  int n = 0;
  for (auto _ : state) {
    n = LZ4_compress_default(reinterpret_cast<const char*>(src.data()), reinterpret_cast<char*>(out.data()),
                             static_cast<int>(src.size()), static_cast<int>(out.size()));
    benchmark::DoNotOptimize(out.data());
  }
  report(state, src.size(), static_cast<size_t>(n));
}

void lz4UnpackRow(benchmark::State& state, const Bytes& src) {
  Bytes packed(static_cast<size_t>(LZ4_compressBound(static_cast<int>(src.size()))));
  const int n = LZ4_compress_default(reinterpret_cast<const char*>(src.data()), reinterpret_cast<char*>(packed.data()),
                                     static_cast<int>(src.size()), static_cast<int>(packed.size()));
  Bytes out(src.size());
  for (auto _ : state) {
    int got = LZ4_decompress_safe(reinterpret_cast<const char*>(packed.data()), reinterpret_cast<char*>(out.data()), n,
                                  static_cast<int>(out.size()));
    benchmark::DoNotOptimize(got);
  }
  report(state, src.size(), static_cast<size_t>(n));
}

}  // namespace

int main(int argc, char** argv) {
  errInit();
  static const Input inputs[] = {
      {"text", text(1 << 20)},
      {"picture565", picture565()},
      {"random", randomBytes(1 << 20)},
      {"adversarial", adversarial(1 << 18)},
  };
  for (const Input& in : inputs) {
    const Bytes* b = &in.bytes;
    const std::string n = in.name;
    benchmark::RegisterBenchmark(("lzPack/" + n).c_str(), [b](benchmark::State& s) { lzPackRow(s, *b); });
    benchmark::RegisterBenchmark(("lzUnpack/" + n).c_str(), [b](benchmark::State& s) { lzUnpackRow(s, *b); });
    for (int level : {1, 6, 9})
      benchmark::RegisterBenchmark(("zlib_compress2_level" + std::to_string(level) + "/" + n).c_str(),
                                   [b, level](benchmark::State& s) { zlibPackRow(s, *b, level); });
    benchmark::RegisterBenchmark(("zlib_uncompress/" + n).c_str(), [b](benchmark::State& s) { zlibUnpackRow(s, *b); });
    benchmark::RegisterBenchmark(("lz4_compress/" + n).c_str(), [b](benchmark::State& s) { lz4PackRow(s, *b); });
    benchmark::RegisterBenchmark(("lz4_decompress/" + n).c_str(), [b](benchmark::State& s) { lz4UnpackRow(s, *b); });
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
