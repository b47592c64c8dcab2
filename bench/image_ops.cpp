// Copy with conversion and fill on an 800x600 picture: ours beside SDL2 and
// pixman on the same buffers. Every row reports its rate as "pixels=...M/s"
// (Mpixels/s).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>

#include "bench/formats.h"
#include "bench/picture.h"
#include "img/Image.h"

using namespace talvo::g;

namespace {

using bench_picture::count_pixels;
using bench_picture::H;
using bench_picture::Pels;
using bench_picture::W;

// Every keyed source: about one pel in eight is the key.
void plant_keys(Pels& p, std::uint32_t key) {
  for (std::size_t i = 0; i < std::size_t(W) * H; i += 8) std::memcpy(p.bytes() + i * p.size, &key, p.size);
}

void Ours_Assign(benchmark::State& state, Formats dst_f, Formats src_f, bool keyed) {
  Pels dst(bytes_per_pel(dst_f.ours)), src(bytes_per_pel(src_f.ours));
  ImageRow d(W, H, PelFmt(dst_f.ours), dst.bytes(), dst.pitch());
  ImageRow s(W, H, PelFmt(src_f.ours), src.bytes(), src.pitch());
  if (keyed) {
    plant_keys(src, 0x1234);
    s.set_color_key(0x1234);
  }
  for (auto _ : state) {
    d.assign(0, 0, s);
    benchmark::DoNotOptimize(dst.words.data());
  }
  count_pixels(state);
}

void SDL_Convert(benchmark::State& state, Formats dst_f, Formats src_f) {
  Pels dst(SDL_BYTESPERPIXEL(dst_f.sdl)), src(SDL_BYTESPERPIXEL(src_f.sdl));
  for (auto _ : state) {
    SDL_ConvertPixels(W, H, src_f.sdl, src.bytes(), src.pitch(), dst_f.sdl, dst.bytes(), dst.pitch());
    benchmark::DoNotOptimize(dst.words.data());
  }
  count_pixels(state);
}

void SDL_Blit(benchmark::State& state, Formats dst_f, Formats src_f, bool keyed) {
  Pels dst(SDL_BYTESPERPIXEL(dst_f.sdl)), src(SDL_BYTESPERPIXEL(src_f.sdl));
  SDL_Surface* d = SDL_CreateRGBSurfaceWithFormatFrom(dst.bytes(), W, H, 8 * dst.size, dst.pitch(), dst_f.sdl);
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(src.bytes(), W, H, 8 * src.size, src.pitch(), src_f.sdl);
  if (keyed) {
    plant_keys(src, 0x1234);
    SDL_SetColorKey(s, SDL_TRUE, 0x1234);
  }
  time_sdl_blits(state, s, d);
  count_pixels(state);
}

void Pixman_Src(benchmark::State& state, Formats dst_f, Formats src_f) {
  Pels dst(PIXMAN_FORMAT_BPP(dst_f.pixman) / 8), src(PIXMAN_FORMAT_BPP(src_f.pixman) / 8);
  pixman_image_t* d = pixman_image_create_bits(dst_f.pixman, W, H, dst.words.data(), dst.pitch());
  pixman_image_t* s = pixman_image_create_bits(src_f.pixman, W, H, src.words.data(), src.pitch());
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::DoNotOptimize(dst.words.data());
  }
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
  count_pixels(state);
}

void SDL_Fill(benchmark::State& state, Formats f) {
  Pels dst(SDL_BYTESPERPIXEL(f.sdl));
  SDL_Surface* d = SDL_CreateRGBSurfaceWithFormatFrom(dst.bytes(), W, H, 8 * dst.size, dst.pitch(), f.sdl);
  for (auto _ : state) {
    SDL_FillRect(d, nullptr, 0x5A5A5A5A);
    benchmark::DoNotOptimize(dst.words.data());
  }
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
  count_pixels(state);
}

}  // namespace

// Rgb565 <- Rgbx8888
BENCHMARK_CAPTURE(Ours_Assign, Rgb565_from_Rgbx8888, rgb565, rgbx8888, false);
BENCHMARK_CAPTURE(SDL_Convert, Rgb565_from_Rgbx8888, rgb565, rgbx8888);
BENCHMARK_CAPTURE(SDL_Blit, Rgb565_from_Rgbx8888, rgb565, rgbx8888, false);
BENCHMARK_CAPTURE(Pixman_Src, Rgb565_from_Rgbx8888, rgb565, rgbx8888);
// Rgbx8888 <- Rgb565
BENCHMARK_CAPTURE(Ours_Assign, Rgbx8888_from_Rgb565, rgbx8888, rgb565, false);
BENCHMARK_CAPTURE(SDL_Convert, Rgbx8888_from_Rgb565, rgbx8888, rgb565);
BENCHMARK_CAPTURE(SDL_Blit, Rgbx8888_from_Rgb565, rgbx8888, rgb565, false);
BENCHMARK_CAPTURE(Pixman_Src, Rgbx8888_from_Rgb565, rgbx8888, rgb565);
// Same-format copies
BENCHMARK_CAPTURE(Ours_Assign, Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, false);
BENCHMARK_CAPTURE(SDL_Convert, Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888);
BENCHMARK_CAPTURE(SDL_Blit, Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, false);
BENCHMARK_CAPTURE(Pixman_Src, Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888);
BENCHMARK_CAPTURE(Ours_Assign, Rgb565_from_Rgb565, rgb565, rgb565, false);
BENCHMARK_CAPTURE(SDL_Convert, Rgb565_from_Rgb565, rgb565, rgb565);
BENCHMARK_CAPTURE(SDL_Blit, Rgb565_from_Rgb565, rgb565, rgb565, false);
BENCHMARK_CAPTURE(Pixman_Src, Rgb565_from_Rgb565, rgb565, rgb565);
// Keyed copy (pixman has no colour key)
BENCHMARK_CAPTURE(Ours_Assign, Rgb565_from_Rgb565_keyed, rgb565, rgb565, true);
BENCHMARK_CAPTURE(SDL_Blit, Rgb565_from_Rgb565_keyed, rgb565, rgb565, true);
BENCHMARK_CAPTURE(Ours_Assign, Rgbx8888_from_Rgb565_keyed, rgbx8888, rgb565, true);
BENCHMARK_CAPTURE(SDL_Blit, Rgbx8888_from_Rgb565_keyed, rgbx8888, rgb565, true);
// Fill
BENCHMARK_CAPTURE(Ours_Fill, Rgb565, rgb565);
BENCHMARK_CAPTURE(SDL_Fill, Rgb565, rgb565);
BENCHMARK_CAPTURE(Pixman_Fill, Rgb565, rgb565);
BENCHMARK_CAPTURE(Ours_Fill, Rgbx8888, rgbx8888);
BENCHMARK_CAPTURE(SDL_Fill, Rgbx8888, rgbx8888);
BENCHMARK_CAPTURE(Pixman_Fill, Rgbx8888, rgbx8888);

BENCHMARK_MAIN();
