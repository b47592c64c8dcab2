// Copy with conversion and fill on an 800x600 picture: ours beside SDL2,
// pixman, memcpy and memset on the same buffers. Every row reports its rate
// as "pixels=...M/s" (Mpixels/s) and checks its output once after the timed
// loop: ours against the portable code, fills pel for pel, the others that
// they wrote into their zeroed destination and agree with ours as far as
// the formulas agree (beside the rows).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "bench/check.h"
#include "bench/formats.h"
#include "bench/picture.h"
#include "img/Image.h"

using namespace talvo::g;

namespace {

using bench_picture::count_pixels;
using bench_picture::H;
using bench_picture::Pels;
using bench_picture::W;

// A destination of zero bytes, so that a row's check sees what it wrote.
struct Zeroed : Pels {
  explicit Zeroed(int pel_size) : Pels(pel_size) { std::fill(words.begin(), words.end(), 0u); }
};

// Every keyed source: about one pel in eight is the key.
void plant_keys(Pels& p, std::uint32_t key) {
  for (std::size_t i = 0; i < std::size_t(W) * H; i += 8) std::memcpy(p.bytes() + i * p.size, &key, p.size);
}

using bench_check::Agree;

// Our copy's images: a source (keyed or not) and a zeroed destination.
struct OurCopy {
  Zeroed dst;
  Pels src;
  ImageRow d, s;
  OurCopy(Formats dst_f, Formats src_f, bool keyed)
      : dst(bytes_per_pel(dst_f.ours)),
        src(bytes_per_pel(src_f.ours)),
        d(W, H, PelFmt(dst_f.ours), dst.bytes(), dst.pitch()),
        s(W, H, PelFmt(src_f.ours), src.bytes(), src.pitch()) {
    if (!keyed) return;
    plant_keys(src, 0x1234);
    s.set_color_key(0x1234);
  }
};

// Our copy of a fresh source onto a zeroed destination.
bench_check::Words ours_once(Formats dst_f, Formats src_f, bool keyed) {
  OurCopy copy(dst_f, src_f, keyed);
  copy.d.assign(0, 0, copy.s);
  return copy.dst.words;
}

// The row fails unless a peer's pels agree with ours and differ from its
// destination's first pels.
void agree(benchmark::State& state, Formats dst_f, Formats src_f, bool keyed, const bench_check::Words& initial,
           const bench_check::Words& peer, Agree a) {
  bench_check::written(state, initial, peer);
  bench_check::agree(state, dst_f.ours, ours_once(dst_f, src_f, keyed), peer, std::size_t(W) * H, a.tolerance);
}

void Ours_Assign(benchmark::State& state, Formats dst_f, Formats src_f, bool keyed) {
  OurCopy copy(dst_f, src_f, keyed);
  const bench_check::Words initial = copy.dst.words;
  for (auto _ : state) {
    copy.d.assign(0, 0, copy.s);
    benchmark::DoNotOptimize(copy.dst.words.data());
  }
  bench_check::same_as_portable(state, initial, [&](bench_check::Words& words) {
    ImageRow to(W, H, PelFmt(dst_f.ours), reinterpret_cast<std::uint8_t*>(words.data()), copy.dst.pitch());
    to.assign(0, 0, copy.s);
  });
  count_pixels(state);
}

void SDL_Convert(benchmark::State& state, Formats dst_f, Formats src_f, Agree a) {
  Zeroed dst(SDL_BYTESPERPIXEL(dst_f.sdl));
  Pels src(SDL_BYTESPERPIXEL(src_f.sdl));
  const bench_check::Words initial = dst.words;
  for (auto _ : state) {
    SDL_ConvertPixels(W, H, src_f.sdl, src.bytes(), src.pitch(), dst_f.sdl, dst.bytes(), dst.pitch());
    benchmark::DoNotOptimize(dst.words.data());
  }
  agree(state, dst_f, src_f, false, initial, dst.words, a);
  count_pixels(state);
}

void SDL_Blit(benchmark::State& state, Formats dst_f, Formats src_f, bool keyed, Agree a) {
  Zeroed dst(SDL_BYTESPERPIXEL(dst_f.sdl));
  Pels src(SDL_BYTESPERPIXEL(src_f.sdl));
  SDL_Surface* d = SDL_CreateRGBSurfaceWithFormatFrom(dst.bytes(), W, H, 8 * dst.size, dst.pitch(), dst_f.sdl);
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(src.bytes(), W, H, 8 * src.size, src.pitch(), src_f.sdl);
  if (keyed) {
    plant_keys(src, 0x1234);
    SDL_SetColorKey(s, SDL_TRUE, 0x1234);
  }
  const bench_check::Words initial = dst.words;
  time_sdl_blits(state, s, d);
  agree(state, dst_f, src_f, keyed, initial, dst.words, a);
  count_pixels(state);
}

void Pixman_Src(benchmark::State& state, Formats dst_f, Formats src_f, Agree a) {
  Zeroed dst(PIXMAN_FORMAT_BPP(dst_f.pixman) / 8);
  Pels src(PIXMAN_FORMAT_BPP(src_f.pixman) / 8);
  const bench_check::Words initial = dst.words;
  pixman_image_t* d = pixman_image_create_bits(dst_f.pixman, W, H, dst.words.data(), dst.pitch());
  pixman_image_t* s = pixman_image_create_bits(src_f.pixman, W, H, src.words.data(), src.pitch());
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::DoNotOptimize(dst.words.data());
  }
  agree(state, dst_f, src_f, false, initial, dst.words, a);
  pixman_image_unref(s);
  pixman_image_unref(d);
  count_pixels(state);
}

void Ours_Fill(benchmark::State& state, Formats f) {
  Pels dst(bytes_per_pel(f.ours));
  ImageRow d(W, H, PelFmt(f.ours), dst.bytes(), dst.pitch());
  for (auto _ : state) {
    d.fill(0x5A5A5A5A);
    benchmark::DoNotOptimize(dst.words.data());
  }
  bench_check::all_bytes(state, dst.words, 0x5A);
  count_pixels(state);
}

void SDL_Fill(benchmark::State& state, Formats f) {
  Pels dst(SDL_BYTESPERPIXEL(f.sdl));
  SDL_Surface* d = SDL_CreateRGBSurfaceWithFormatFrom(dst.bytes(), W, H, 8 * dst.size, dst.pitch(), f.sdl);
  for (auto _ : state) {
    SDL_FillRect(d, nullptr, 0x5A5A5A5A);
    benchmark::DoNotOptimize(dst.words.data());
  }
  bench_check::all_bytes(state, dst.words, 0x5A);
  SDL_FreeSurface(d);
  count_pixels(state);
}

void Pixman_Fill(benchmark::State& state, Formats f) {
  Pels dst(PIXMAN_FORMAT_BPP(f.pixman) / 8);
  const int bpp = PIXMAN_FORMAT_BPP(f.pixman);
  for (auto _ : state) {
    pixman_fill(dst.words.data(), dst.pitch() / 4, bpp, 0, 0, W, H, 0x5A5A5A5A);
    benchmark::DoNotOptimize(dst.words.data());
  }
  bench_check::all_bytes(state, dst.words, 0x5A);
  count_pixels(state);
}

// memcpy and memset of the whole picture: the bar of the same-format copies
// and the fills.
void Memcpy(benchmark::State& state, int size) {
  Zeroed dst(size);
  Pels src(size);
  for (auto _ : state) {
    std::memcpy(dst.bytes(), src.bytes(), std::size_t(W) * H * size);
    benchmark::DoNotOptimize(dst.words.data());
  }
  if (dst.words != src.words) state.SkipWithError("the copy differs");
  count_pixels(state);
}

void Memset(benchmark::State& state, int size) {
  Pels dst(size);
  for (auto _ : state) {
    std::memset(dst.bytes(), 0x5A, std::size_t(W) * H * size);
    benchmark::DoNotOptimize(dst.words.data());
  }
  bench_check::all_bytes(state, dst.words, 0x5A);
  count_pixels(state);
}

}  // namespace

// The peers' copies are checked against ours. Converting, they truncate
// where ours takes the nearest value of the width tables (narrowing) and
// replicate high bits where ours takes the nearest value (widening): up to
// 1 apart. Same-format and keyed copies give the same pels.
constexpr Agree nearest_or_not{1};
constexpr Agree same = bench_check::same;

// Rgb565 <- Rgbx8888
BENCHMARK_CAPTURE(Ours_Assign, Rgb565_from_Rgbx8888, rgb565, rgbx8888, false);
BENCHMARK_CAPTURE(SDL_Convert, Rgb565_from_Rgbx8888, rgb565, rgbx8888, nearest_or_not);
BENCHMARK_CAPTURE(SDL_Blit, Rgb565_from_Rgbx8888, rgb565, rgbx8888, false, nearest_or_not);
BENCHMARK_CAPTURE(Pixman_Src, Rgb565_from_Rgbx8888, rgb565, rgbx8888, nearest_or_not);
// Rgbx8888 <- Rgb565
BENCHMARK_CAPTURE(Ours_Assign, Rgbx8888_from_Rgb565, rgbx8888, rgb565, false);
BENCHMARK_CAPTURE(SDL_Convert, Rgbx8888_from_Rgb565, rgbx8888, rgb565, nearest_or_not);
BENCHMARK_CAPTURE(SDL_Blit, Rgbx8888_from_Rgb565, rgbx8888, rgb565, false, nearest_or_not);
BENCHMARK_CAPTURE(Pixman_Src, Rgbx8888_from_Rgb565, rgbx8888, rgb565, nearest_or_not);
// Same-format copies
BENCHMARK_CAPTURE(Ours_Assign, Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, false);
BENCHMARK_CAPTURE(SDL_Convert, Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, same);
BENCHMARK_CAPTURE(SDL_Blit, Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, false, same);
BENCHMARK_CAPTURE(Pixman_Src, Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, same);
BENCHMARK_CAPTURE(Memcpy, Rgbx8888_from_Rgbx8888, 4);
BENCHMARK_CAPTURE(Ours_Assign, Rgb565_from_Rgb565, rgb565, rgb565, false);
BENCHMARK_CAPTURE(SDL_Convert, Rgb565_from_Rgb565, rgb565, rgb565, same);
BENCHMARK_CAPTURE(SDL_Blit, Rgb565_from_Rgb565, rgb565, rgb565, false, same);
BENCHMARK_CAPTURE(Pixman_Src, Rgb565_from_Rgb565, rgb565, rgb565, same);
BENCHMARK_CAPTURE(Memcpy, Rgb565_from_Rgb565, 2);
// Keyed copy (pixman has no colour key)
BENCHMARK_CAPTURE(Ours_Assign, Rgb565_from_Rgb565_keyed, rgb565, rgb565, true);
BENCHMARK_CAPTURE(SDL_Blit, Rgb565_from_Rgb565_keyed, rgb565, rgb565, true, same);
BENCHMARK_CAPTURE(Ours_Assign, Rgbx8888_from_Rgb565_keyed, rgbx8888, rgb565, true);
BENCHMARK_CAPTURE(SDL_Blit, Rgbx8888_from_Rgb565_keyed, rgbx8888, rgb565, true, nearest_or_not);
// Fill
BENCHMARK_CAPTURE(Ours_Fill, Rgb565, rgb565);
BENCHMARK_CAPTURE(SDL_Fill, Rgb565, rgb565);
BENCHMARK_CAPTURE(Pixman_Fill, Rgb565, rgb565);
BENCHMARK_CAPTURE(Memset, Rgb565, 2);
BENCHMARK_CAPTURE(Ours_Fill, Rgbx8888, rgbx8888);
BENCHMARK_CAPTURE(SDL_Fill, Rgbx8888, rgbx8888);
BENCHMARK_CAPTURE(Pixman_Fill, Rgbx8888, rgbx8888);
BENCHMARK_CAPTURE(Memset, Rgbx8888, 4);

BENCHMARK_MAIN();
