// The alpha image's draw (imgAlpha::DrawEx) of whole 800x600 pictures beside
// pixman's and SDL2's blits of the same picture. Every row reports its rate
// as "pixels=...M/s" (Mpixels/s of the picture).
//
// Pictures:
//   sprite       soft-edged discs: about 35 % transparent, 15 % translucent
//                and 50 % opaque pels, in runs (what the game draws);
//   translucent  every pel translucent with a random alpha (the most work
//                per pel);
//   mixed        the pel kind changes at every pel (the most run codes).
// Ours: the picture coded as an imgAlpha with R8G8B8 storage (what new
// images use) and with X8R8G8B8 storage, drawn with SrcAlpha, Add,
// SrcAlphaK at 128 and Copy onto R5G6B5 (the game's screen) and X8R8G8B8.
// pixman: OVER of the premultiplied a8r8g8b8 picture, through a solid mask
// of 128, and ADD. SDL2: the ARGB8888 picture blended, blended with
// RLEACCEL, added, with alpha modulation 128, and colour-keyed for Copy
// (transparent pels hold the key), plain and RLE.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "bench/formats.h"
#include "bench/picture.h"
#include "engine/alpha/img_alpha.h"
#include "engine/draw/kernel_simd.h"
#include "engine/img_row.h"

namespace {

using bench_picture::count_pixels;
using bench_picture::H;
using bench_picture::W;

enum Picture { sprite, translucent, mixed };

// The picture's pels, B, G, R, A (straight alpha).
std::vector<A8R8G8B8> makePels(Picture picture) {
  std::mt19937 rng(picture + 1);
  std::vector<A8R8G8B8> pels(size_t(W) * H);
  if (picture == sprite) {
    // Discs of radius 34 with a soft edge of 4 pels on a 75-pel grid,
    // jittered: the edge holds the translucent pels.
    std::vector<float> alpha(pels.size(), 0.0f);
    std::vector<uint32_t> colour(pels.size(), 0);
    for (int cy = 0; cy < H + 75; cy += 75)
      for (int cx = 0; cx < W + 75; cx += 75) {
        const float x0 = float(cx) + float(rng() % 15), y0 = float(cy) + float(rng() % 15), r = 34.0f;
        const uint32_t c = rng();
        for (int y = std::max(0, int(y0 - r)); y < std::min(H, int(y0 + r) + 1); ++y)
          for (int x = std::max(0, int(x0 - r)); x < std::min(W, int(x0 + r) + 1); ++x) {
            const float d = std::hypot(float(x) - x0, float(y) - y0);
            const float a = std::clamp((r - d) / 4.0f, 0.0f, 1.0f);
            const size_t i = size_t(y) * W + size_t(x);
            if (a > alpha[i]) {
              alpha[i] = a;
              colour[i] = c ^ (uint32_t(x * 7 + y * 3) & 0x0F0F0F);
            }
          }
      }
    for (size_t i = 0; i < pels.size(); ++i) {
      const uint32_t c = colour[i];
      pels[i] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(std::lround(alpha[i] * 255.0f))};
    }
  } else {
    for (size_t i = 0; i < pels.size(); ++i) {
      const uint32_t c = rng();
      const uint8_t a = picture == translucent ? uint8_t(1 + rng() % 254)
                        : i % 3 == 0           ? 0
                        : i % 3 == 1           ? uint8_t(1 + rng() % 254)
                                               : 255;
      pels[i] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), a};
    }
  }
  return pels;
}

const std::vector<A8R8G8B8>& pelsOf(Picture picture) {
  static const std::vector<A8R8G8B8> all[3] = {makePels(sprite), makePels(translucent), makePels(mixed)};
  return all[picture];
}

// The picture coded as an imgAlpha with the storage form.
imgAlpha& coded(Picture picture, int storage) {
  static std::unique_ptr<imgAlpha> images[3][6];
  auto& image = images[picture][storage];
  if (!image) {
    image.reset(new imgAlpha);
    image->SetSize(W, H, nullptr);
    image->storageFormat = storage;
    image->Encode(reinterpret_cast<const uint8_t*>(pelsOf(picture).data()));
  }
  return *image;
}

// A destination of random pels.
struct Target {
  bench_picture::Pels pels;
  imgRowCTy image;
  explicit Target(int format) : pels(pelBytes(format)) {
    pelFmtDesc d;
    d.Set(format, nullptr);
    image.desc = d;
    image.width = W;
    image.height = H;
    image.buffer = pels.bytes();
    image.rowLength = W;
  }
  ~Target() { image.buffer = nullptr; }
};

constexpr int kPortable = 0;
constexpr int kBest = -1;

void Ours(benchmark::State& state, Picture picture, int storage, int format, int mode, int level) {
  drawSimd::force(level);
  imgAlpha& source = coded(picture, storage);
  Target dst(format);
  imgDrawParams p{};
  p.mode = mode;
  p.alpha = 128;
  p.scaleX = p.scaleY = 1.0f;
  const rectCTy whole{0, 0, W, H};
  for (auto _ : state) {
    source.DrawEx(&dst.image, 0, 0, &whole, &p);
    benchmark::DoNotOptimize(dst.pels.words.data());
  }
  drawSimd::force(kBest);
  count_pixels(state);
}

// The picture premultiplied, as pixman's a8r8g8b8 takes it.
struct PixmanSource {
  std::vector<uint32_t> words;
  pixman_image_t* image;
  explicit PixmanSource(Picture picture) : words(size_t(W) * H) {
    const auto& pels = pelsOf(picture);
    for (size_t i = 0; i < words.size(); ++i) {
      const A8R8G8B8& p = pels[i];
      const uint32_t a = p.a;
      words[i] = a << 24 | (p.r * a / 255) << 16 | (p.g * a / 255) << 8 | (p.b * a / 255);
    }
    image = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, words.data(), W * 4);
  }
  ~PixmanSource() { pixman_image_unref(image); }
};

void Pixman(benchmark::State& state, Picture picture, Formats dst_f, pixman_op_t op, int k) {
  PixmanSource src(picture);
  bench_picture::Pels dst(PIXMAN_FORMAT_BPP(dst_f.pixman) / 8);
  pixman_image_t* d = pixman_image_create_bits(dst_f.pixman, W, H, dst.words.data(), dst.pitch());
  pixman_image_t* mask = nullptr;
  if (k >= 0) {
    const pixman_color_t weight{0, 0, 0, uint16_t(k * 0x101)};
    mask = pixman_image_create_solid_fill(&weight);
  }
  for (auto _ : state) {
    pixman_image_composite32(op, src.image, mask, d, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::DoNotOptimize(dst.words.data());
  }
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(d);
  count_pixels(state);
}

enum class SdlMode { blend, blendRle, add, alphaMod128, key, keyRle };

void SDL(benchmark::State& state, Picture picture, Formats dst_f, SdlMode mode) {
  // ARGB8888 words of the straight picture; for the keyed blits the
  // transparent pels hold the key and the rest are opaque.
  constexpr uint32_t kKey = 0x00FF00FF;
  const bool keyed = mode == SdlMode::key || mode == SdlMode::keyRle;
  std::vector<uint32_t> words(size_t(W) * H);
  const auto& pels = pelsOf(picture);
  for (size_t i = 0; i < words.size(); ++i) {
    const A8R8G8B8& p = pels[i];
    words[i] = uint32_t(p.a) << 24 | uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b;
    if (keyed) words[i] = p.a ? words[i] | 0xFF000000 : kKey;
  }
  bench_picture::Pels dst(SDL_BYTESPERPIXEL(dst_f.sdl));
  SDL_Surface* d = SDL_CreateRGBSurfaceWithFormatFrom(dst.bytes(), W, H, 8 * dst.size, dst.pitch(), dst_f.sdl);
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(words.data(), W, H, 32, W * 4, SDL_PIXELFORMAT_ARGB8888);
  switch (mode) {
    case SdlMode::blend: SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND); break;
    case SdlMode::blendRle:
      SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
      SDL_SetSurfaceRLE(s, 1);
      break;
    case SdlMode::add: SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_ADD); break;
    case SdlMode::alphaMod128:
      SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
      SDL_SetSurfaceAlphaMod(s, 128);
      break;
    case SdlMode::key:
    case SdlMode::keyRle:
      SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
      SDL_SetColorKey(s, SDL_TRUE, kKey);
      if (mode == SdlMode::keyRle) SDL_SetSurfaceRLE(s, 1);
      break;
  }
  SDL_BlitSurface(s, nullptr, d, nullptr);  // RLE surfaces are coded at the first blit
  time_sdl_blits(state, s, d);
  count_pixels(state);
}

// The share of each pel kind, printed once with the rows.
void Kinds(benchmark::State& state, Picture picture) {
  int counts[3] = {};
  for (const A8R8G8B8& p : pelsOf(picture)) ++counts[p.a == 0 ? 0 : p.a == 255 ? 2 : 1];
  for (auto _ : state) benchmark::DoNotOptimize(counts);
  const double all = double(W) * H;
  state.counters["transparent%"] = 100.0 * counts[0] / all;
  state.counters["translucent%"] = 100.0 * counts[1] / all;
  state.counters["opaque%"] = 100.0 * counts[2] / all;
}

const int r8 = pel_FMT_R8G8B8, x8 = pel_FMT_X8R8G8B8;
const int r565 = pel_FMT_R5G6B5;

}  // namespace

BENCHMARK_CAPTURE(Kinds, sprite, sprite)->Iterations(1);
BENCHMARK_CAPTURE(Kinds, translucent, translucent)->Iterations(1);
BENCHMARK_CAPTURE(Kinds, mixed, mixed)->Iterations(1);

// --- Sprite picture, SrcAlpha (OVER, BLEND) ------------------------------------------------
BENCHMARK_CAPTURE(Ours, SrcAlpha_R5G6B5_from_R8G8B8, sprite, r8, r565, pel_OP_SRCALPHA, kBest);
BENCHMARK_CAPTURE(Ours, SrcAlpha_R5G6B5_from_R8G8B8_portable, sprite, r8, r565, pel_OP_SRCALPHA, kPortable);
BENCHMARK_CAPTURE(Ours, SrcAlpha_R5G6B5_from_X8R8G8B8, sprite, x8, r565, pel_OP_SRCALPHA, kBest);
BENCHMARK_CAPTURE(Pixman, Over_R5G6B5, sprite, rgb565, PIXMAN_OP_OVER, -1);
BENCHMARK_CAPTURE(SDL, Blend_R5G6B5, sprite, rgb565, SdlMode::blend);
BENCHMARK_CAPTURE(SDL, BlendRle_R5G6B5, sprite, rgb565, SdlMode::blendRle);
BENCHMARK_CAPTURE(Ours, SrcAlpha_X8R8G8B8_from_R8G8B8, sprite, r8, x8, pel_OP_SRCALPHA, kBest);
BENCHMARK_CAPTURE(Ours, SrcAlpha_X8R8G8B8_from_R8G8B8_portable, sprite, r8, x8, pel_OP_SRCALPHA, kPortable);
BENCHMARK_CAPTURE(Ours, SrcAlpha_X8R8G8B8_from_X8R8G8B8, sprite, x8, x8, pel_OP_SRCALPHA, kBest);
BENCHMARK_CAPTURE(Pixman, Over_X8R8G8B8, sprite, rgbx8888, PIXMAN_OP_OVER, -1);
BENCHMARK_CAPTURE(SDL, Blend_X8R8G8B8, sprite, rgbx8888, SdlMode::blend);
BENCHMARK_CAPTURE(SDL, BlendRle_X8R8G8B8, sprite, rgbx8888, SdlMode::blendRle);

// --- Sprite picture, Add ------------------------------------------------------------------
BENCHMARK_CAPTURE(Ours, Add_R5G6B5_from_R8G8B8, sprite, r8, r565, pel_OP_ADD, kBest);
BENCHMARK_CAPTURE(Ours, Add_R5G6B5_from_X8R8G8B8, sprite, x8, r565, pel_OP_ADD, kBest);
BENCHMARK_CAPTURE(Pixman, Add_R5G6B5, sprite, rgb565, PIXMAN_OP_ADD, -1);
BENCHMARK_CAPTURE(SDL, Add_R5G6B5, sprite, rgb565, SdlMode::add);
BENCHMARK_CAPTURE(Ours, Add_X8R8G8B8_from_R8G8B8, sprite, r8, x8, pel_OP_ADD, kBest);
BENCHMARK_CAPTURE(Ours, Add_X8R8G8B8_from_X8R8G8B8, sprite, x8, x8, pel_OP_ADD, kBest);
BENCHMARK_CAPTURE(Pixman, Add_X8R8G8B8, sprite, rgbx8888, PIXMAN_OP_ADD, -1);
BENCHMARK_CAPTURE(SDL, Add_X8R8G8B8, sprite, rgbx8888, SdlMode::add);

// --- Sprite picture, SrcAlphaK at 128 (OVER through a mask of 128, alpha mod 128) ---------
BENCHMARK_CAPTURE(Ours, SrcAlphaK128_R5G6B5_from_R8G8B8, sprite, r8, r565, pel_OP_SRCALPHAK, kBest);
BENCHMARK_CAPTURE(Ours, SrcAlphaK128_R5G6B5_from_X8R8G8B8, sprite, x8, r565, pel_OP_SRCALPHAK, kBest);
BENCHMARK_CAPTURE(Pixman, OverMask128_R5G6B5, sprite, rgb565, PIXMAN_OP_OVER, 128);
BENCHMARK_CAPTURE(SDL, AlphaMod128_R5G6B5, sprite, rgb565, SdlMode::alphaMod128);
BENCHMARK_CAPTURE(Ours, SrcAlphaK128_X8R8G8B8_from_R8G8B8, sprite, r8, x8, pel_OP_SRCALPHAK, kBest);
BENCHMARK_CAPTURE(Ours, SrcAlphaK128_X8R8G8B8_from_X8R8G8B8, sprite, x8, x8, pel_OP_SRCALPHAK, kBest);
BENCHMARK_CAPTURE(Pixman, OverMask128_X8R8G8B8, sprite, rgbx8888, PIXMAN_OP_OVER, 128);
BENCHMARK_CAPTURE(SDL, AlphaMod128_X8R8G8B8, sprite, rgbx8888, SdlMode::alphaMod128);

// --- Sprite picture, Copy (SDL2: colour-keyed) --------------------------------------------
BENCHMARK_CAPTURE(Ours, Copy_R5G6B5_from_R8G8B8, sprite, r8, r565, pel_OP_COPY, kBest);
BENCHMARK_CAPTURE(Ours, Copy_R5G6B5_from_X8R8G8B8, sprite, x8, r565, pel_OP_COPY, kBest);
BENCHMARK_CAPTURE(SDL, Key_R5G6B5, sprite, rgb565, SdlMode::key);
BENCHMARK_CAPTURE(SDL, KeyRle_R5G6B5, sprite, rgb565, SdlMode::keyRle);
BENCHMARK_CAPTURE(Ours, Copy_X8R8G8B8_from_R8G8B8, sprite, r8, x8, pel_OP_COPY, kBest);
BENCHMARK_CAPTURE(Ours, Copy_X8R8G8B8_from_X8R8G8B8, sprite, x8, x8, pel_OP_COPY, kBest);
BENCHMARK_CAPTURE(SDL, Key_X8R8G8B8, sprite, rgbx8888, SdlMode::key);
BENCHMARK_CAPTURE(SDL, KeyRle_X8R8G8B8, sprite, rgbx8888, SdlMode::keyRle);

// --- Every pel translucent, SrcAlpha ------------------------------------------------------
BENCHMARK_CAPTURE(Ours, Translucent_SrcAlpha_R5G6B5_from_R8G8B8, translucent, r8, r565, pel_OP_SRCALPHA, kBest);
BENCHMARK_CAPTURE(Pixman, Translucent_Over_R5G6B5, translucent, rgb565, PIXMAN_OP_OVER, -1);
BENCHMARK_CAPTURE(SDL, Translucent_Blend_R5G6B5, translucent, rgb565, SdlMode::blend);
BENCHMARK_CAPTURE(Ours, Translucent_SrcAlpha_X8R8G8B8_from_R8G8B8, translucent, r8, x8, pel_OP_SRCALPHA, kBest);
BENCHMARK_CAPTURE(Pixman, Translucent_Over_X8R8G8B8, translucent, rgbx8888, PIXMAN_OP_OVER, -1);
BENCHMARK_CAPTURE(SDL, Translucent_Blend_X8R8G8B8, translucent, rgbx8888, SdlMode::blend);

// --- The kind changes at every pel, SrcAlpha ----------------------------------------------
BENCHMARK_CAPTURE(Ours, Mixed_SrcAlpha_R5G6B5_from_R8G8B8, mixed, r8, r565, pel_OP_SRCALPHA, kBest);
BENCHMARK_CAPTURE(Pixman, Mixed_Over_R5G6B5, mixed, rgb565, PIXMAN_OP_OVER, -1);
BENCHMARK_CAPTURE(SDL, Mixed_Blend_R5G6B5, mixed, rgb565, SdlMode::blend);
BENCHMARK_CAPTURE(SDL, Mixed_BlendRle_R5G6B5, mixed, rgb565, SdlMode::blendRle);
BENCHMARK_CAPTURE(Ours, Mixed_SrcAlpha_X8R8G8B8_from_R8G8B8, mixed, r8, x8, pel_OP_SRCALPHA, kBest);
BENCHMARK_CAPTURE(Pixman, Mixed_Over_X8R8G8B8, mixed, rgbx8888, PIXMAN_OP_OVER, -1);
BENCHMARK_CAPTURE(SDL, Mixed_Blend_X8R8G8B8, mixed, rgbx8888, SdlMode::blend);

BENCHMARK_MAIN();
