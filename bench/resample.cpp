// Resampling an 800x600 picture up to 1024x768 and down to 400x300, nearest
// and filtered, ours beside pixman (nearest and bilinear filters, PIXMAN_OP_SRC)
// and SDL2 (SDL_BlitScaled, SDL_SoftStretchLinear) on the same buffers. The
// rate "pixels=...M/s" counts destination pels (Mpixels/s).
//
// Ours runs the resampler on a destination that is already allocated, as the
// others do; ImageRow::resize adds one allocation of the destination. Every
// row checks its output once after the timed loop: ours against the portable
// code, the others that they wrote into their zeroed destination.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <random>
#include <vector>

#include "bench/check.h"
#include "bench/formats.h"
#include "img/Image.h"
#include "img/Resample.h"

using namespace talvo::g;

namespace {

constexpr int SW = 800, SH = 600;

struct Size {
  int w, h;
};
constexpr Size up{1024, 768}, down{400, 300};

// A buffer of w x h pels of `size` bytes, on 64-byte lines.
struct Pels {
  int w, h, size;
  bench_check::Words words;
  Pels(int w, int h, int size, bool random) : w(w), h(h), size(size), words((std::size_t(w) * h * size + 3) / 4) {
    std::mt19937 rng(1);
    if (random)
      for (auto& v : words) v = rng();
  }
  std::uint8_t* bytes() { return reinterpret_cast<std::uint8_t*>(words.data()); }
  int pitch() const { return w * size; }
};

void count_pixels(benchmark::State& state, Size to) {
  state.counters["pixels"] =
      benchmark::Counter(double(state.iterations()) * to.w * to.h, benchmark::Counter::kIsRate);
}

void Ours(benchmark::State& state, Formats f, Size to, ResampleMode mode) {
  const int size = bytes_per_pel(f.ours);
  Pels src(SW, SH, size, true), dst(to.w, to.h, size, false);
  ImageRow s(SW, SH, PelFmt(f.ours), src.bytes(), src.pitch());
  auto run = [&](std::uint8_t* pels) {
    ImageRow d(to.w, to.h, PelFmt(f.ours), pels, dst.pitch());
    Image::Lock dl(d, nullptr, Image::Lock::write_all);
    Image::Lock sl(s, nullptr, Image::Lock::read);
    resample_plain(to.w, to.h, mode, dl, sl, 0, d.format(), s);
  };
  const bench_check::Words initial = dst.words;
  for (auto _ : state) {
    run(dst.bytes());
    benchmark::DoNotOptimize(dst.words.data());
  }
  bench_check::same_as_portable(state, initial, [&](bench_check::Words& words) {
    run(reinterpret_cast<std::uint8_t*>(words.data()));
  });
  count_pixels(state, to);
}

void Pixman(benchmark::State& state, Formats f, Size to, pixman_filter_t filter) {
  const int size = PIXMAN_FORMAT_BPP(f.pixman) / 8;
  Pels src(SW, SH, size, true), dst(to.w, to.h, size, false);
  pixman_image_t* s = pixman_image_create_bits(f.pixman, SW, SH, src.words.data(), src.pitch());
  pixman_image_t* d = pixman_image_create_bits(f.pixman, to.w, to.h, dst.words.data(), dst.pitch());
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(double(SW) / to.w),
                              pixman_double_to_fixed(double(SH) / to.h));
  pixman_image_set_transform(s, &t);
  pixman_image_set_filter(s, filter, nullptr, 0);
  pixman_image_set_repeat(s, PIXMAN_REPEAT_PAD);
  const bench_check::Words initial = dst.words;
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, to.w, to.h);
    benchmark::DoNotOptimize(dst.words.data());
  }
  bench_check::written(state, initial, dst.words);
  pixman_image_unref(s);
  pixman_image_unref(d);
  count_pixels(state, to);
}

void SDL(benchmark::State& state, Formats f, Size to, bool linear) {
  const int size = SDL_BYTESPERPIXEL(f.sdl);
  Pels src(SW, SH, size, true), dst(to.w, to.h, size, false);
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(src.bytes(), SW, SH, 8 * size, src.pitch(), f.sdl);
  SDL_Surface* d = SDL_CreateRGBSurfaceWithFormatFrom(dst.bytes(), to.w, to.h, 8 * size, dst.pitch(), f.sdl);
  SDL_Rect r{0, 0, to.w, to.h};
  const bench_check::Words initial = dst.words;
  for (auto _ : state) {
    const int failed = linear ? SDL_SoftStretchLinear(s, nullptr, d, &r) : SDL_BlitScaled(s, nullptr, d, &r);
    if (failed) {
      state.SkipWithError(SDL_GetError());
      break;
    }
    benchmark::DoNotOptimize(dst.words.data());
  }
  SDL_FreeSurface(s);
  SDL_FreeSurface(d);
  bench_check::written(state, initial, dst.words);
  count_pixels(state, to);
}

}  // namespace

#define TALVO_RESAMPLE_ROWS(name, formats, to)                                        \
  BENCHMARK_CAPTURE(Ours, name##_nearest, formats, to, ResampleMode::nearest);        \
  BENCHMARK_CAPTURE(Pixman, name##_nearest, formats, to, PIXMAN_FILTER_NEAREST);      \
  BENCHMARK_CAPTURE(SDL, name##_BlitScaled, formats, to, false);                      \
  BENCHMARK_CAPTURE(Ours, name##_filter, formats, to, ResampleMode::filter);          \
  BENCHMARK_CAPTURE(Pixman, name##_bilinear, formats, to, PIXMAN_FILTER_BILINEAR);

// SDL_SoftStretchLinear takes 32-bit pels only.
TALVO_RESAMPLE_ROWS(Rgbx8888_to_1024x768, rgbx8888, up)
BENCHMARK_CAPTURE(SDL, Rgbx8888_to_1024x768_SoftStretchLinear, rgbx8888, up, true);
TALVO_RESAMPLE_ROWS(Rgbx8888_to_400x300, rgbx8888, down)
BENCHMARK_CAPTURE(SDL, Rgbx8888_to_400x300_SoftStretchLinear, rgbx8888, down, true);
TALVO_RESAMPLE_ROWS(Rgb565_to_1024x768, rgb565, up)
TALVO_RESAMPLE_ROWS(Rgb565_to_400x300, rgb565, down)

BENCHMARK_MAIN();
