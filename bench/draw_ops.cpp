// Draw with source alpha and the constant-weight blend on an 800x600
// picture: ours beside pixman's OVER and SDL2's alpha blits on the same
// buffers. Every row reports its rate as "pixels=...M/s" (Mpixels/s) and
// checks its output once after the timed loop: ours against the portable
// code, the others that they wrote.
//
// The Rgba8888 source has random alphas and colour channels no larger than
// their alpha, so the same bytes are a valid premultiplied source for pixman
// and a straight-alpha source for ours and SDL2 (the results differ; the work
// per pel is what is measured). A constant weight k is pixman's OVER through
// a solid mask of alpha k and SDL2's blit with alpha modulation k; SDL2 has a
// path of its own for 128 only, so 100 is measured beside it.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>

#include "bench/check.h"
#include "bench/formats.h"
#include "bench/picture.h"
#include "img/Image.h"
#include "img/Op.h"

using namespace talvo::g;

namespace {

using bench_picture::count_pixels;
using bench_picture::H;
using bench_picture::W;

// A picture's pels; with `alpha`, 32-bit pels whose colour channels do not
// exceed their alpha byte. Destinations (no alpha) get other pels than the
// sources, so that every row writes something its check can see.
struct Pels : bench_picture::Pels {
  Pels(int pel_size, bool alpha, bool destination = false) : bench_picture::Pels(pel_size) {
    if (destination)
      for (auto& w : words) w ^= 0x5A5A5A5Au;
    if (!alpha) return;
    for (auto& w : words) {
      const std::uint32_t a = w >> 24;
      w = a << 24 | (w >> 16 & 0xFF) * a / 255 << 16 | (w >> 8 & 0xFF) * a / 255 << 8 | (w & 0xFF) * a / 255;
    }
  }
};

// Ours: a draw (k < 0) or a blend at weight k of the source pels onto `to`,
// made by the context per run.
void run(ImageRow& to, ImageRow& s, int k) {
  ImageContext* ctx = to.context();
  BOp* op = k < 0 ? static_cast<BOp*>(ctx->new_draw()) : ctx->new_alpha_k(k);
  to.apply_binary(0, 0, s, nullptr, *op);
  ctx->delete_op(op);
}

void Ours(benchmark::State& state, Formats dst_f, Formats src_f, int k) {
  Pels dst(bytes_per_pel(dst_f.ours), false, true), src(bytes_per_pel(src_f.ours), src_f.ours == rgba8888.ours);
  ImageRow d(W, H, PelFmt(dst_f.ours), dst.bytes(), dst.pitch());
  ImageRow s(W, H, PelFmt(src_f.ours), src.bytes(), src.pitch());
  const bench_check::Words initial = dst.words;
  for (auto _ : state) {
    run(d, s, k);
    benchmark::DoNotOptimize(dst.words.data());
  }
  bench_check::same_as_portable(state, initial, [&](bench_check::Words& words) {
    ImageRow to(W, H, PelFmt(dst_f.ours), reinterpret_cast<std::uint8_t*>(words.data()), dst.pitch());
    run(to, s, k);
  });
  count_pixels(state);
}

using bench_check::Agree;

// The row fails unless a peer's pels, drawn once onto fresh pels, agree
// with ours.
void agree(benchmark::State& state, Formats dst_f, Formats src_f, int k, const bench_check::Words& peer, Agree a) {
  if (a.tolerance < 0) return;
  Pels dst(bytes_per_pel(dst_f.ours), false, true), src(bytes_per_pel(src_f.ours), src_f.ours == rgba8888.ours);
  ImageRow d(W, H, PelFmt(dst_f.ours), dst.bytes(), dst.pitch());
  ImageRow s(W, H, PelFmt(src_f.ours), src.bytes(), src.pitch());
  run(d, s, a.weight ? a.weight : k);
  bench_check::agree(state, dst_f.ours, dst.words, peer, std::size_t(W) * H, a.tolerance);
}

// pixman: OVER, through a solid mask of alpha k when k >= 0.
void Pixman_Over(benchmark::State& state, Formats dst_f, Formats src_f, int k, Agree agreeing) {
  Pels dst(PIXMAN_FORMAT_BPP(dst_f.pixman) / 8, false, true),
      src(PIXMAN_FORMAT_BPP(src_f.pixman) / 8, src_f.pixman == PIXMAN_a8r8g8b8);
  const bench_check::Words initial = dst.words;
  pixman_image_t* d = pixman_image_create_bits(dst_f.pixman, W, H, dst.words.data(), dst.pitch());
  pixman_image_t* s = pixman_image_create_bits(src_f.pixman, W, H, src.words.data(), src.pitch());
  pixman_image_t* mask = nullptr;
  if (k >= 0) {
    const pixman_color_t weight{0, 0, 0, std::uint16_t(k * 0x101)};
    mask = pixman_image_create_solid_fill(&weight);
  }
  pixman_image_composite32(PIXMAN_OP_OVER, s, mask, d, 0, 0, 0, 0, 0, 0, W, H);
  agree(state, dst_f, src_f, k, dst.words, agreeing);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, s, mask, d, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::DoNotOptimize(dst.words.data());
  }
  bench_check::written(state, initial, dst.words);
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(s);
  pixman_image_unref(d);
  count_pixels(state);
}

// SDL2: a blended blit, with alpha modulation k when k >= 0.
void SDL_AlphaBlit(benchmark::State& state, Formats dst_f, Formats src_f, int k, Agree agreeing) {
  Pels dst(SDL_BYTESPERPIXEL(dst_f.sdl), false, true), src(SDL_BYTESPERPIXEL(src_f.sdl), src_f.sdl == rgba8888.sdl);
  const bench_check::Words initial = dst.words;
  SDL_Surface* d =
      SDL_CreateRGBSurfaceWithFormatFrom(dst.bytes(), W, H, 8 * dst.size, dst.pitch(), dst_f.sdl);
  SDL_Surface* s =
      SDL_CreateRGBSurfaceWithFormatFrom(src.bytes(), W, H, 8 * src.size, src.pitch(), src_f.sdl);
  SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
  if (k >= 0) SDL_SetSurfaceAlphaMod(s, Uint8(k));
  SDL_BlitSurface(s, nullptr, d, nullptr);
  agree(state, dst_f, src_f, k, dst.words, agreeing);
  time_sdl_blits(state, s, d);
  bench_check::written(state, initial, dst.words);
  count_pixels(state);
}

constexpr int by_alpha = -1;

}  // namespace

// Checks beside ours: pixman reads the source as premultiplied, so its
// draws with source alpha are not compared; SDL2 weighs straight alpha by
// a / 255 and widens Rgb565 by replication (up to 3 apart onto Rgb565, 1
// onto Rgbx8888). At a constant weight ours weighs source and destination
// each by its weight and shifts each product right by 8: SDL2 adds first
// (up to 1 apart; onto Rgb565 at 128 the same pels, and at 100 it weighs by
// the weight's top five bits: ours at 96, the same pels), pixman weighs by
// k / 255 with rounded products (up to 2 apart).

// Draw with source alpha: Rgb565 <- Rgba8888
BENCHMARK_CAPTURE(Ours, Draw_Rgb565_from_Rgba8888, rgb565, rgba8888, by_alpha);
BENCHMARK_CAPTURE(Pixman_Over, Draw_Rgb565_from_Rgba8888, rgb565, rgba8888, by_alpha, bench_check::not_compared);
BENCHMARK_CAPTURE(SDL_AlphaBlit, Draw_Rgb565_from_Rgba8888, rgb565, rgba8888, by_alpha, Agree{3});
// Draw with source alpha: Rgbx8888 <- Rgba8888
BENCHMARK_CAPTURE(Ours, Draw_Rgbx8888_from_Rgba8888, rgbx8888, rgba8888, by_alpha);
BENCHMARK_CAPTURE(Pixman_Over, Draw_Rgbx8888_from_Rgba8888, rgbx8888, rgba8888, by_alpha, bench_check::not_compared);
BENCHMARK_CAPTURE(SDL_AlphaBlit, Draw_Rgbx8888_from_Rgba8888, rgbx8888, rgba8888, by_alpha, Agree{1});
// Constant weight 128: Rgbx8888 <- Rgbx8888
BENCHMARK_CAPTURE(Ours, Blend128_Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, 128);
BENCHMARK_CAPTURE(Pixman_Over, Blend128_Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, 128, Agree{1});
BENCHMARK_CAPTURE(SDL_AlphaBlit, Blend128_Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, 128, Agree{1});
// Constant weight 128: Rgb565 <- Rgb565
BENCHMARK_CAPTURE(Ours, Blend128_Rgb565_from_Rgb565, rgb565, rgb565, 128);
BENCHMARK_CAPTURE(Pixman_Over, Blend128_Rgb565_from_Rgb565, rgb565, rgb565, 128, Agree{1});
BENCHMARK_CAPTURE(SDL_AlphaBlit, Blend128_Rgb565_from_Rgb565, rgb565, rgb565, 128, bench_check::same);
// Constant weight 100: Rgbx8888 <- Rgbx8888
BENCHMARK_CAPTURE(Ours, Blend100_Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, 100);
BENCHMARK_CAPTURE(Pixman_Over, Blend100_Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, 100, Agree{2});
BENCHMARK_CAPTURE(SDL_AlphaBlit, Blend100_Rgbx8888_from_Rgbx8888, rgbx8888, rgbx8888, 100, Agree{1});
// Constant weight 100: Rgb565 <- Rgb565
BENCHMARK_CAPTURE(Ours, Blend100_Rgb565_from_Rgb565, rgb565, rgb565, 100);
BENCHMARK_CAPTURE(Pixman_Over, Blend100_Rgb565_from_Rgb565, rgb565, rgb565, 100, Agree{1});
BENCHMARK_CAPTURE(SDL_AlphaBlit, Blend100_Rgb565_from_Rgb565, rgb565, rgb565, 100, (Agree{0, 96}));

BENCHMARK_MAIN();
