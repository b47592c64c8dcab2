// The engine's software draw (imgCTy::DrawEx) on an 800x600 picture beside
// SDL2's blits (SDL_BlitSurface on matching formats, SDL_SetColorKey for
// keyed copies, the ADD and MOD blend modes), pixman's SRC and ADD composites
// and a row-by-row memcpy, on the same pels. Rows report "pixels=...M/s"
// (Mpixels/s); the small-rectangle rows (32x24 cells, 8x16 glyphs) report
// "calls=.../s", the cost of one draw call. The weighted rows blend at 128
// (SDL2: alpha-mod blits, blend mode BLEND; pixman: OVER through a solid
// mask of alpha 128, or an a8 mask for the weight image); the scaled rows
// enlarge 400x300 to 800x600 by nearest pel (SDL_BlitScaled; pixman SRC
// through a nearest-filter scale transform).
//
// Ours runs at the processor's vector level; the rows named _portable force
// the per-pel path.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/formats.h"
#include "bench/picture.h"
#include "engine/draw/kernel_simd.h"
#include "engine/img_row.h"

namespace {

using bench_picture::H;
using bench_picture::W;

constexpr int kP8 = pel_FMT_P8;
const Formats index8{pel_FMT_P8, SDL_PIXELFORMAT_INDEX8, PIXMAN_c8};

// Every eighth pel of a keyed source is the key pel (index 7 for P8).
constexpr uint32_t kKeyPel = 0x07E0F81F;

int pelSize(const Formats& f) { return f.ours == kP8 ? 1 : pelBytes(f.ours); }

uint32_t keyOf(const Formats& f) {
  const int size = pelSize(f);
  return size == 4 ? kKeyPel : size == 3 ? kKeyPel & 0xFFFFFF : size == 2 ? kKeyPel & 0xFFFF : 7;
}

struct Pels : bench_picture::Pels {
  Pels(const Formats& f, bool keyed) : bench_picture::Pels(pelSize(f)) {
    if (!keyed) return;
    const uint32_t key = keyOf(f);
    for (size_t i = 0; i < size_t(W) * H; i += 8) std::memcpy(bytes() + i * size_t(size), &key, size_t(size));
  }
};

// 256 colours, the same for every library.
std::vector<uint32_t> colours() {
  std::vector<uint32_t> c(256);
  for (size_t i = 0; i < c.size(); ++i) c[i] = 0xFF000000u | uint32_t(i * 0x010307u);
  return c;
}

void countPixels(benchmark::State& state, int w, int h) {
  state.counters["pixels"] = benchmark::Counter(double(state.iterations()) * w * h, benchmark::Counter::kIsRate);
}
void countCalls(benchmark::State& state, int calls) {
  state.counters["calls"] = benchmark::Counter(double(state.iterations()) * calls, benchmark::Counter::kIsRate);
}

// An engine image over the pels (the buffer stays the caller's), so that
// every library draws on memory placed alike.
std::unique_ptr<imgRowCTy> engineImage(const Formats& f, Pels& pels) {
  palCTy pal;
  if (f.ours == kP8) {
    std::vector<uint8_t> quads;
    for (uint32_t c : colours())
      for (int i = 0; i < 4; ++i) quads.push_back(uint8_t(c >> (8 * i)));
    pal.Set(quads.data(), 256);
  }
  pelFmtDesc d;
  d.Set(f.ours, nullptr);
  auto image = std::make_unique<imgRowCTy>();
  image->SetSize(W, H, &d);
  if (f.ours == kP8) image->SetPalette(&pal);
  image->FreeData();
  image->buffer = pels.bytes();
  return image;
}

// Ours: rectangles of w x h drawn over the picture, one call each.
void Ours(benchmark::State& state, Formats src_f, Formats dst_f, int mode, bool keyed, int w, int h, bool portable) {
  drawSimd::force(portable ? drawSimd::Portable : -1);
  Pels src_p(src_f, keyed), dst_p(dst_f, false);
  auto src = engineImage(src_f, src_p), dst = engineImage(dst_f, dst_p);
  if (keyed) src->SetColorKeyRGB(src->desc.ToRGB(keyOf(src_f), pel_FMT_X8R8G8B8));
  imgDrawParams p{};
  p.mode = mode;
  p.scaleX = p.scaleY = 1.0f;
  const int across = W / w, down = H / h;
  for (auto _ : state) {
    for (int y = 0; y < down; ++y)
      for (int x = 0; x < across; ++x) {
        const rectCTy r{x * w, y * h, w, h};
        src->DrawEx(dst.get(), 0, 0, &r, &p);
      }
    benchmark::DoNotOptimize(dst->buffer);
  }
  drawSimd::force(-1);
  if (w == W) countPixels(state, w, h);
  else countCalls(state, across * down);
}

// Ours, weighted or scaled over the whole picture: mode at weight alpha,
// with a weight image of random bytes (map), or enlarged by `scale` from
// the top-left corner.
void OursBlend(benchmark::State& state, Formats src_f, Formats dst_f, int mode, int alpha, bool map, float scale,
               bool portable) {
  drawSimd::force(portable ? drawSimd::Portable : -1);
  Pels src_p(src_f, false), dst_p(dst_f, false), map_p(index8, false);
  auto src = engineImage(src_f, src_p), dst = engineImage(dst_f, dst_p);
  pelFmtDesc d;
  d.Set(pel_FMT_P8, nullptr);
  imgRowCTy weights;
  weights.SetSize(W, H, &d);
  std::memcpy(weights.buffer, map_p.bytes(), size_t(W) * H);
  imgDrawParams p{};
  p.mode = mode;
  p.alpha = alpha;
  p.alphaMap = map ? &weights : nullptr;
  p.scaled = scale != 1.0f;
  p.scaleX = p.scaleY = scale;
  const rectCTy r{0, 0, W, H};
  for (auto _ : state) {
    src->DrawEx(dst.get(), 0, 0, &r, &p);
    benchmark::DoNotOptimize(dst->buffer);
  }
  drawSimd::force(-1);
  countPixels(state, W, H);
}

SDL_Surface* sdlSurface(const Formats& f, Pels& pels) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(pels.bytes(), W, H, 8 * pelSize(f), pels.pitch(), f.sdl);
  if (f.ours == kP8) {
    std::vector<SDL_Color> c;
    for (uint32_t v : colours()) c.push_back({Uint8(v >> 16), Uint8(v >> 8), Uint8(v), 255});
    SDL_SetPaletteColors(s->format->palette, c.data(), 0, 256);
  }
  return s;
}

// SDL2: blits of w x h with the blend mode (copies: NONE), keyed or not.
void SDL_Blit(benchmark::State& state, Formats src_f, Formats dst_f, SDL_BlendMode blend, bool keyed, int w, int h) {
  Pels src_p(src_f, keyed), dst_p(dst_f, false);
  SDL_Surface* s = sdlSurface(src_f, src_p);
  SDL_Surface* d = sdlSurface(dst_f, dst_p);
  SDL_SetSurfaceBlendMode(s, blend);
  if (keyed) SDL_SetColorKey(s, SDL_TRUE, keyOf(src_f));
  const int across = W / w, down = H / h;
  for (auto _ : state) {
    for (int y = 0; y < down; ++y)
      for (int x = 0; x < across; ++x) {
        SDL_Rect from{x * w, y * h, w, h}, to{x * w, y * h, w, h};
        SDL_BlitSurface(s, &from, d, &to);
      }
    benchmark::DoNotOptimize(dst_p.words.data());
  }
  SDL_FreeSurface(s);
  SDL_FreeSurface(d);
  if (w == W) countPixels(state, w, h);
  else countCalls(state, across * down);
}

// pixman's image of a source picture; an 8-bit one gets the palette, which
// `indexed` holds while the image lives.
pixman_image_t* pixmanSource(Formats src_f, Pels& src_p, pixman_indexed_t* indexed) {
  pixman_image_t* s = pixman_image_create_bits(src_f.pixman, W, H, src_p.words.data(), src_p.pitch());
  if (src_f.ours == kP8) {
    std::memset(indexed, 0, sizeof(pixman_indexed_t));
    const auto c = colours();
    for (int i = 0; i < 256; ++i) indexed->rgba[i] = c[size_t(i)];
    pixman_image_set_indexed(s, indexed);
  }
  return s;
}

// pixman: composites of w x h.
void Pixman(benchmark::State& state, Formats src_f, Formats dst_f, pixman_op_t op, int w, int h) {
  Pels src_p(src_f, false), dst_p(dst_f, false);
  auto indexed = std::make_unique<pixman_indexed_t>();
  pixman_image_t* s = pixmanSource(src_f, src_p, indexed.get());
  pixman_image_t* d = pixman_image_create_bits(dst_f.pixman, W, H, dst_p.words.data(), dst_p.pitch());
  const int across = W / w, down = H / h;
  for (auto _ : state) {
    for (int y = 0; y < down; ++y)
      for (int x = 0; x < across; ++x)
        pixman_image_composite32(op, s, nullptr, d, x * w, y * h, 0, 0, x * w, y * h, w, h);
    benchmark::DoNotOptimize(dst_p.words.data());
  }
  pixman_image_unref(s);
  pixman_image_unref(d);
  if (w == W) countPixels(state, w, h);
  else countCalls(state, across * down);
}

// SDL2: one blit of the whole picture at alpha mod 128, blend mode BLEND;
// or (scale 2) SDL_BlitScaled of the top-left 400x300 onto 800x600.
void SDL_Weighted(benchmark::State& state, Formats src_f, Formats dst_f, int scale) {
  Pels src_p(src_f, false), dst_p(dst_f, false);
  SDL_Surface* s = sdlSurface(src_f, src_p);
  SDL_Surface* d = sdlSurface(dst_f, dst_p);
  if (scale == 1) {
    SDL_SetSurfaceAlphaMod(s, 128);
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
  } else {
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
  }
  for (auto _ : state) {
    SDL_Rect from{0, 0, W / scale, H / scale}, to{0, 0, W, H};
    if (scale == 1) SDL_BlitSurface(s, &from, d, &to);
    else SDL_BlitScaled(s, &from, d, &to);
    benchmark::DoNotOptimize(dst_p.words.data());
  }
  SDL_FreeSurface(s);
  SDL_FreeSurface(d);
  countPixels(state, W, H);
}

// pixman: OVER through a solid mask of alpha 128 or an a8 mask of random
// weights; or (scale 2) SRC through a nearest-filter transform of 1/2.
enum class PixmanWay { SolidMask, A8Mask, Enlarge };
void Pixman_Weighted(benchmark::State& state, Formats src_f, Formats dst_f, PixmanWay way) {
  Pels src_p(src_f, false), dst_p(dst_f, false), mask_p(index8, false);
  auto indexed = std::make_unique<pixman_indexed_t>();
  pixman_image_t* s = pixmanSource(src_f, src_p, indexed.get());
  pixman_image_t* d = pixman_image_create_bits(dst_f.pixman, W, H, dst_p.words.data(), dst_p.pitch());
  pixman_image_t* mask = nullptr;
  if (way == PixmanWay::SolidMask) {
    const pixman_color_t half{0, 0, 0, 0x8080};
    mask = pixman_image_create_solid_fill(&half);
  } else if (way == PixmanWay::A8Mask) {
    mask = pixman_image_create_bits(PIXMAN_a8, W, H, mask_p.words.data(), W);
  } else {
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
  }
  const pixman_op_t op = way == PixmanWay::Enlarge ? PIXMAN_OP_SRC : PIXMAN_OP_OVER;
  for (auto _ : state) {
    pixman_image_composite32(op, s, mask, d, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::DoNotOptimize(dst_p.words.data());
  }
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(s);
  pixman_image_unref(d);
  countPixels(state, W, H);
}

void Memcpy(benchmark::State& state, Formats f) {
  Pels src(f, false), dst(f, false);
  for (auto _ : state) {
    for (int y = 0; y < H; ++y)
      std::memcpy(dst.bytes() + size_t(y) * dst.pitch(), src.bytes() + size_t(y) * src.pitch(), size_t(src.pitch()));
    benchmark::DoNotOptimize(dst.words.data());
  }
  countPixels(state, W, H);
}

}  // namespace

// Copies with conversion.
#define COPY_ROWS(name, src, dst)                                                    \
  BENCHMARK_CAPTURE(Ours, name, src, dst, pel_OP_COPY, false, W, H, false);          \
  BENCHMARK_CAPTURE(Ours, name##_portable, src, dst, pel_OP_COPY, false, W, H, true); \
  BENCHMARK_CAPTURE(SDL_Blit, name, src, dst, SDL_BLENDMODE_NONE, false, W, H);      \
  BENCHMARK_CAPTURE(Pixman, name##_src, src, dst, PIXMAN_OP_SRC, W, H)

COPY_ROWS(R8G8B8_to_R5G6B5, rgb888, rgb565);
COPY_ROWS(X8R8G8B8_to_R5G6B5, rgbx8888, rgb565);
COPY_ROWS(R5G6B5_to_R5G6B5, rgb565, rgb565);
BENCHMARK_CAPTURE(Memcpy, R5G6B5, rgb565);
COPY_ROWS(P8_to_R5G6B5, index8, rgb565);
COPY_ROWS(R8G8B8_to_X8R8G8B8, rgb888, rgbx8888);
COPY_ROWS(X8R8G8B8_to_X8R8G8B8, rgbx8888, rgbx8888);
BENCHMARK_CAPTURE(Memcpy, X8R8G8B8, rgbx8888);
COPY_ROWS(R5G6B5_to_X8R8G8B8, rgb565, rgbx8888);
COPY_ROWS(P8_to_X8R8G8B8, index8, rgbx8888);
COPY_ROWS(X1R5G5B5_to_R5G6B5, rgbx5551, rgb565);
COPY_ROWS(R5G6B5_to_X1R5G5B5, rgb565, rgbx5551);
COPY_ROWS(R8G8B8_to_R8G8B8, rgb888, rgb888);
BENCHMARK_CAPTURE(Memcpy, R8G8B8, rgb888);

// Keyed copies (every eighth pel the key).
#define KEY_ROWS(name, src, dst)                                                   \
  BENCHMARK_CAPTURE(Ours, name, src, dst, pel_OP_COPY, true, W, H, false);         \
  BENCHMARK_CAPTURE(Ours, name##_portable, src, dst, pel_OP_COPY, true, W, H, true); \
  BENCHMARK_CAPTURE(SDL_Blit, name, src, dst, SDL_BLENDMODE_NONE, true, W, H)

KEY_ROWS(R8G8B8_key_to_R5G6B5, rgb888, rgb565);
KEY_ROWS(R5G6B5_key_to_R5G6B5, rgb565, rgb565);
KEY_ROWS(P8_key_to_R5G6B5, index8, rgb565);
KEY_ROWS(X8R8G8B8_key_to_X8R8G8B8, rgbx8888, rgbx8888);

// Add and Modulate.
#define MODE_ROWS(name, f, mode, blend)                                              \
  BENCHMARK_CAPTURE(Ours, name, f, f, mode, false, W, H, false);                     \
  BENCHMARK_CAPTURE(Ours, name##_portable, f, f, mode, false, W, H, true);           \
  BENCHMARK_CAPTURE(SDL_Blit, name, f, f, blend, false, W, H)

MODE_ROWS(R5G6B5_add, rgb565, pel_OP_ADD, SDL_BLENDMODE_ADD);
BENCHMARK_CAPTURE(Pixman, R5G6B5_add, rgb565, rgb565, PIXMAN_OP_ADD, W, H);
MODE_ROWS(X8R8G8B8_add, rgbx8888, pel_OP_ADD, SDL_BLENDMODE_ADD);
BENCHMARK_CAPTURE(Pixman, X8R8G8B8_add, rgbx8888, rgbx8888, PIXMAN_OP_ADD, W, H);
MODE_ROWS(R5G6B5_modulate, rgb565, pel_OP_MODULATE, SDL_BLENDMODE_MOD);
MODE_ROWS(X8R8G8B8_modulate, rgbx8888, pel_OP_MODULATE, SDL_BLENDMODE_MOD);

// Alpha at weight 128.
#define ALPHA_ROWS(name, src, dst)                                                            \
  BENCHMARK_CAPTURE(OursBlend, name, src, dst, pel_OP_ALPHA, 128, false, 1.0f, false);        \
  BENCHMARK_CAPTURE(OursBlend, name##_portable, src, dst, pel_OP_ALPHA, 128, false, 1.0f, true); \
  BENCHMARK_CAPTURE(SDL_Weighted, name, src, dst, 1);                                         \
  BENCHMARK_CAPTURE(Pixman_Weighted, name##_over, src, dst, PixmanWay::SolidMask)

ALPHA_ROWS(X8R8G8B8_alpha_to_X8R8G8B8, rgbx8888, rgbx8888);
ALPHA_ROWS(R5G6B5_alpha_to_R5G6B5, rgb565, rgb565);
ALPHA_ROWS(R8G8B8_alpha_to_R5G6B5, rgb888, rgb565);
ALPHA_ROWS(P8_alpha_to_R5G6B5, index8, rgb565);

// A weight image onto X8R8G8B8.
BENCHMARK_CAPTURE(OursBlend, X8R8G8B8_alphamap_to_X8R8G8B8, rgbx8888, rgbx8888, pel_OP_ALPHAMAP, 0, true, 1.0f, false);
BENCHMARK_CAPTURE(OursBlend, X8R8G8B8_alphamap_to_X8R8G8B8_portable, rgbx8888, rgbx8888, pel_OP_ALPHAMAP, 0, true,
                  1.0f, true);
BENCHMARK_CAPTURE(Pixman_Weighted, X8R8G8B8_alphamap_to_X8R8G8B8_over_a8, rgbx8888, rgbx8888, PixmanWay::A8Mask);

// 2x nearest enlargement, 400x300 to 800x600.
#define SCALE_ROWS(name, src, dst)                                                   \
  BENCHMARK_CAPTURE(OursBlend, name, src, dst, pel_OP_COPY, 0, false, 2.0f, false); \
  BENCHMARK_CAPTURE(SDL_Weighted, name, src, dst, 2);                                \
  BENCHMARK_CAPTURE(Pixman_Weighted, name##_src, src, dst, PixmanWay::Enlarge)

SCALE_ROWS(R5G6B5_2x_to_R5G6B5, rgb565, rgb565);
SCALE_ROWS(X8R8G8B8_2x_to_X8R8G8B8, rgbx8888, rgbx8888);
SCALE_ROWS(R8G8B8_2x_to_R5G6B5, rgb888, rgb565);

// The cost of a call: 32x24 cells and 8x16 glyphs.
BENCHMARK_CAPTURE(Ours, R5G6B5_cells_32x24, rgb565, rgb565, pel_OP_COPY, false, 32, 24, false);
BENCHMARK_CAPTURE(SDL_Blit, R5G6B5_cells_32x24, rgb565, rgb565, SDL_BLENDMODE_NONE, false, 32, 24);
BENCHMARK_CAPTURE(Pixman, R5G6B5_cells_32x24_src, rgb565, rgb565, PIXMAN_OP_SRC, 32, 24);
BENCHMARK_CAPTURE(Ours, R5G6B5_key_glyphs_8x16, rgb565, rgb565, pel_OP_COPY, true, 8, 16, false);
BENCHMARK_CAPTURE(SDL_Blit, R5G6B5_key_glyphs_8x16, rgb565, rgb565, SDL_BLENDMODE_NONE, true, 8, 16);

BENCHMARK_MAIN();
