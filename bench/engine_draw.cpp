// The engine's software draw (imgCTy::DrawEx) on an 800x600 picture beside
// SDL2's blits (SDL_BlitSurface on matching formats, SDL_SetColorKey for
// keyed copies, the ADD and MOD blend modes), pixman's SRC and ADD composites
// and a row-by-row memcpy, on the same pels. Rows report "pixels=...M/s"
// (Mpixels/s); the small-rectangle rows (32x24 cells, 8x16 glyphs) report
// "calls=.../s", the cost of one draw call. The weighted rows blend at 128
// and at 100 (SDL2 blends an alpha modulation of 128 by a path of its own):
// SDL2 by alpha-mod blits, blend mode BLEND; pixman by OVER through a solid
// mask of the weight, or an a8 mask for the weight image. The scaled rows
// enlarge 400x300 to 800x600 by nearest pel (SDL_BlitScaled; pixman SRC
// through a nearest-filter scale transform).
//
// Ours runs at the processor's vector level; the rows named _portable force
// the per-pel path. Every row checks its output once after its timed loop,
// drawing once onto fresh pels: ours that the vector level gives the
// portable code's pels; a peer that its pels agree with ours as far as the
// formulas agree (the Agree beside each row).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/check.h"
#include "bench/formats.h"
#include "bench/picture.h"
#include "engine/img_row.h"
#include "img/VectorLevel.h"

namespace {

namespace vector_level = talvo::g::vector_level;

using bench_check::Words;
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

// What a row draws: the mode over the picture (or its top-left area of
// areaW x areaH) in cells of w x h, one call each; a weighted mode at `alpha` or through a weight image of random
// bytes (`map`); or the top-left quarter enlarged twice (`enlarged`).
struct Work {
  Formats src, dst;
  int mode;
  bool keyed;
  int w, h;
  int alpha;
  bool map;
  bool enlarged;
  int areaW = W, areaH = H;
};

Work cells(Formats s, Formats d, int mode, bool keyed, int w, int h) {
  return {s, d, mode, keyed, w, h, 0, false, false};
}
// Cells over an area small enough that source and destination stay in the
// cache: the cost of the calls, not of the memory behind them.
Work cachedCells(Formats s, Formats d, int w, int h) {
  Work work = cells(s, d, pel_OP_COPY, false, w, h);
  work.areaW = 256;
  work.areaH = 192;
  return work;
}
Work whole(Formats s, Formats d, int mode, bool keyed) { return cells(s, d, mode, keyed, W, H); }
Work weighted(Formats s, Formats d, int mode, int alpha, bool map) {
  return {s, d, mode, false, W, H, alpha, map, false};
}
Work enlarged(Formats s, Formats d) { return {s, d, pel_OP_COPY, false, W, H, 0, false, true}; }

// A picture's pels: random, a source's with its keys planted, a
// destination's other than any source's.
struct Pels : bench_picture::Pels {
  Pels(const Formats& f, bool keyed, bool destination = false) : bench_picture::Pels(pelSize(f)) {
    if (destination)
      for (auto& w : words) w ^= 0x5A5A5A5Au;
    if (!keyed) return;
    const uint32_t key = keyOf(f);
    for (size_t i = 0; i < size_t(W) * H; i += 8) std::memcpy(bytes() + i * size_t(size), &key, size_t(size));
  }
};
Pels sourcePels(const Work& w) { return Pels(w.src, w.keyed); }
Pels destinationPels(const Work& w) { return Pels(w.dst, false, true); }

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
void count(benchmark::State& state, const Work& w) {
  if (w.w == W) countPixels(state, W, H);
  else countCalls(state, (w.areaW / w.w) * (w.areaH / w.h));
}

// An engine image over the pels (the buffer stays the caller's), so that
// every library draws on memory placed alike; a P8 image with the colours
// as its palette unless it holds weights.
std::unique_ptr<imgRowCTy> engineImage(const Formats& f, Pels& pels, bool weights = false) {
  const bool palette = f.ours == kP8 && !weights;
  palCTy pal;
  if (palette) {
    std::vector<uint8_t> quads;
    for (uint32_t c : colours())
      for (int i = 0; i < 4; ++i) quads.push_back(uint8_t(c >> (8 * i)));
    pal.Set(quads.data(), 256);
  }
  pelFmtDesc d;
  d.Set(f.ours, nullptr);
  auto image = std::make_unique<imgRowCTy>();
  image->SetSize(W, H, &d);
  if (palette) image->SetPalette(&pal);
  image->FreeData();
  image->buffer = pels.bytes();
  return image;
}

// Our draw of a row's work from a source of its pels.
struct OurDraw {
  Work work;
  Pels src, weights;
  std::unique_ptr<imgRowCTy> source, weightImage;
  imgDrawParams p{};

  explicit OurDraw(const Work& w) : work(w), src(sourcePels(w)), weights(index8, false) {
    source = engineImage(w.src, src);
    if (w.keyed) source->SetColorKeyRGB(source->desc.ToRGB(keyOf(w.src), pel_FMT_X8R8G8B8));
    weightImage = engineImage(index8, weights, true);
    p.mode = w.mode;
    p.alpha = w.alpha;
    p.alphaMap = w.map ? weightImage.get() : nullptr;
    p.scaled = w.enlarged;
    p.scaleX = p.scaleY = w.enlarged ? 2.0f : 1.0f;
  }
  void operator()(imgRowCTy* dst) {
    for (int y = 0; y < work.areaH / work.h; ++y)
      for (int x = 0; x < work.areaW / work.w; ++x) {
        const rectCTy r{x * work.w, y * work.h, work.w, work.h};
        source->DrawEx(dst, 0, 0, &r, &p);
      }
  }
};

// The destination's pels after one draw of ours at the level onto fresh pels.
Words oursOnce(const Work& w, int level) {
  vector_level::force(level);
  OurDraw draw(w);
  Pels dst = destinationPels(w);
  draw(engineImage(w.dst, dst).get());
  vector_level::force(bench_check::timed_level);
  return dst.words;
}

void Ours(benchmark::State& state, Work w, bool portable) {
  const int level = portable ? vector_level::portable : bench_check::timed_level;
  vector_level::force(level);
  OurDraw draw(w);
  Pels dst_p = destinationPels(w);
  auto dst = engineImage(w.dst, dst_p);
  for (auto _ : state) {
    draw(dst.get());
    benchmark::DoNotOptimize(dst->buffer);
  }
  vector_level::force(bench_check::timed_level);
  const Words fast = oursOnce(w, level);
  if (fast != oursOnce(w, vector_level::portable)) state.SkipWithError("the output differs from the portable code's");
  bench_check::written(state, destinationPels(w).words, fast);
  count(state, w);
}

// --- Agreement with the peers ------------------------------------------------

using bench_check::Agree;
constexpr Agree kSame = bench_check::same;

// The row fails unless the peer's pels agree with ours.
void agree(benchmark::State& state, Work w, const Words& initial, const Words& peer, Agree a) {
  bench_check::written(state, initial, peer);
  if (a.weight) w.alpha = a.weight;
  bench_check::agree(state, w.dst.ours, oursOnce(w, -1), peer, size_t(W) * H, a.tolerance);
}

// --- SDL2 ----------------------------------------------------------------------

SDL_Surface* sdlSurface(const Formats& f, Pels& pels) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(pels.bytes(), W, H, 8 * pelSize(f), pels.pitch(), f.sdl);
  if (f.ours == kP8) {
    std::vector<SDL_Color> c;
    for (uint32_t v : colours()) c.push_back({Uint8(v >> 16), Uint8(v >> 8), Uint8(v), 255});
    SDL_SetPaletteColors(s->format->palette, c.data(), 0, 256);
  }
  return s;
}

// SDL2's blits of a row's work between surfaces of its pels.
struct SdlDraw {
  Work work;
  Pels src, dst;
  SDL_Surface *s, *d;
  explicit SdlDraw(const Work& w)
      : work(w), src(sourcePels(w)), dst(destinationPels(w)), s(sdlSurface(w.src, src)), d(sdlSurface(w.dst, dst)) {
    const SDL_BlendMode blend = w.mode == pel_OP_ADD        ? SDL_BLENDMODE_ADD
                                : w.mode == pel_OP_MODULATE ? SDL_BLENDMODE_MOD
                                : w.mode == pel_OP_ALPHA    ? SDL_BLENDMODE_BLEND
                                                            : SDL_BLENDMODE_NONE;
    SDL_SetSurfaceBlendMode(s, blend);
    if (w.mode == pel_OP_ALPHA) SDL_SetSurfaceAlphaMod(s, Uint8(w.alpha));
    if (w.keyed) SDL_SetColorKey(s, SDL_TRUE, keyOf(w.src));
  }
  ~SdlDraw() {
    SDL_FreeSurface(s);
    SDL_FreeSurface(d);
  }
  void operator()() {
    if (work.enlarged) {
      SDL_Rect from{0, 0, W / 2, H / 2}, to{0, 0, W, H};
      SDL_BlitScaled(s, &from, d, &to);
      return;
    }
    for (int y = 0; y < work.areaH / work.h; ++y)
      for (int x = 0; x < work.areaW / work.w; ++x) {
        SDL_Rect from{x * work.w, y * work.h, work.w, work.h}, to = from;
        SDL_BlitSurface(s, &from, d, &to);
      }
  }
};

// A peer's row: Draw's work timed on its pels, then once onto fresh pels
// and checked against ours.
template <class Draw>
void Peer(benchmark::State& state, Work w, Agree a) {
  {
    Draw draw(w);
    for (auto _ : state) {
      draw();
      benchmark::DoNotOptimize(draw.dst.words.data());
    }
  }
  Draw once(w);
  once();
  agree(state, w, destinationPels(w).words, once.dst.words, a);
  count(state, w);
}

void SDL_Blit(benchmark::State& state, Work w, Agree a) { Peer<SdlDraw>(state, w, a); }

// --- pixman --------------------------------------------------------------------

// pixman's composites of a row's work: SRC for copies (enlarged through a
// nearest-filter transform of 1/2), ADD, and OVER through a solid mask of
// the weight or an a8 mask of the weight image.
struct PixmanDraw {
  Work work;
  Pels src, dst, weights;
  pixman_indexed_t indexed{};
  pixman_image_t *s, *d, *mask = nullptr;
  pixman_op_t op;
  explicit PixmanDraw(const Work& w)
      : work(w), src(sourcePels(w)), dst(destinationPels(w)), weights(index8, false) {
    s = pixman_image_create_bits(w.src.pixman, W, H, src.words.data(), src.pitch());
    if (w.src.ours == kP8) {
      const auto c = colours();
      for (int i = 0; i < 256; ++i) indexed.rgba[i] = c[size_t(i)];
      pixman_image_set_indexed(s, &indexed);
    }
    d = pixman_image_create_bits(w.dst.pixman, W, H, dst.words.data(), dst.pitch());
    op = w.mode == pel_OP_ADD ? PIXMAN_OP_ADD : w.mode == pel_OP_COPY ? PIXMAN_OP_SRC : PIXMAN_OP_OVER;
    if (w.map) {
      mask = pixman_image_create_bits(PIXMAN_a8, W, H, weights.words.data(), W);
    } else if (w.mode == pel_OP_ALPHA) {
      const pixman_color_t weight{0, 0, 0, uint16_t(w.alpha * 0x101)};
      mask = pixman_image_create_solid_fill(&weight);
    }
    if (w.enlarged) {
      pixman_transform_t t;
      pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
      pixman_image_set_transform(s, &t);
      pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
    }
  }
  ~PixmanDraw() {
    if (mask) pixman_image_unref(mask);
    pixman_image_unref(s);
    pixman_image_unref(d);
  }
  void operator()() {
    for (int y = 0; y < work.areaH / work.h; ++y)
      for (int x = 0; x < work.areaW / work.w; ++x)
        pixman_image_composite32(op, s, mask, d, x * work.w, y * work.h, x * work.w, y * work.h, x * work.w,
                                 y * work.h, work.w, work.h);
  }
};

void Pixman(benchmark::State& state, Work w, Agree a) { Peer<PixmanDraw>(state, w, a); }

void Memcpy(benchmark::State& state, Formats f) {
  Pels src(f, false), dst(f, false, true);
  for (auto _ : state) {
    for (int y = 0; y < H; ++y)
      std::memcpy(dst.bytes() + size_t(y) * dst.pitch(), src.bytes() + size_t(y) * src.pitch(), size_t(src.pitch()));
    benchmark::DoNotOptimize(dst.words.data());
  }
  if (dst.words != src.words) state.SkipWithError("the copy differs");
  countPixels(state, W, H);
}

}  // namespace

// Copies with conversion: where a channel narrows, ours and both peers
// truncate (the same pels); where 5 or 6 bits widen to 8, ours shifts and
// the peers replicate the high bits into the low ones (up to 7 apart).
#define COPY_ROWS(name, src, dst, agreeing)                                            \
  BENCHMARK_CAPTURE(Ours, name, whole(src, dst, pel_OP_COPY, false), false);           \
  BENCHMARK_CAPTURE(Ours, name##_portable, whole(src, dst, pel_OP_COPY, false), true); \
  BENCHMARK_CAPTURE(SDL_Blit, name, whole(src, dst, pel_OP_COPY, false), agreeing);    \
  BENCHMARK_CAPTURE(Pixman, name##_src, whole(src, dst, pel_OP_COPY, false), agreeing)

COPY_ROWS(R8G8B8_to_R5G6B5, rgb888, rgb565, kSame);
COPY_ROWS(X8R8G8B8_to_R5G6B5, rgbx8888, rgb565, kSame);
COPY_ROWS(R5G6B5_to_R5G6B5, rgb565, rgb565, kSame);
BENCHMARK_CAPTURE(Memcpy, R5G6B5, rgb565);
COPY_ROWS(P8_to_R5G6B5, index8, rgb565, kSame);
COPY_ROWS(R8G8B8_to_X8R8G8B8, rgb888, rgbx8888, kSame);
COPY_ROWS(X8R8G8B8_to_X8R8G8B8, rgbx8888, rgbx8888, kSame);
BENCHMARK_CAPTURE(Memcpy, X8R8G8B8, rgbx8888);
COPY_ROWS(R5G6B5_to_X8R8G8B8, rgb565, rgbx8888, Agree{7});  // widened: shift / replication
COPY_ROWS(P8_to_X8R8G8B8, index8, rgbx8888, kSame);
COPY_ROWS(X1R5G5B5_to_R5G6B5, rgbx5551, rgb565, Agree{1});  // green 5 to 6 bits: shift / replication
COPY_ROWS(R5G6B5_to_X1R5G5B5, rgb565, rgbx5551, kSame);
COPY_ROWS(R8G8B8_to_R8G8B8, rgb888, rgb888, kSame);
BENCHMARK_CAPTURE(Memcpy, R8G8B8, rgb888);

// Keyed copies (every eighth pel the key; pixman has no colour key): the
// same pels.
#define KEY_ROWS(name, src, dst)                                                      \
  BENCHMARK_CAPTURE(Ours, name, whole(src, dst, pel_OP_COPY, true), false);           \
  BENCHMARK_CAPTURE(Ours, name##_portable, whole(src, dst, pel_OP_COPY, true), true); \
  BENCHMARK_CAPTURE(SDL_Blit, name, whole(src, dst, pel_OP_COPY, true), kSame)

KEY_ROWS(R8G8B8_key_to_R5G6B5, rgb888, rgb565);
KEY_ROWS(R5G6B5_key_to_R5G6B5, rgb565, rgb565);
KEY_ROWS(P8_key_to_R5G6B5, index8, rgb565);
KEY_ROWS(X8R8G8B8_key_to_X8R8G8B8, rgbx8888, rgbx8888);

// Add (the same pels: saturated sums) and Modulate (SDL2 divides the
// product by 255 where ours shifts it right by 8).
#define MODE_ROWS(name, f, mode, agreeing)                                  \
  BENCHMARK_CAPTURE(Ours, name, whole(f, f, mode, false), false);           \
  BENCHMARK_CAPTURE(Ours, name##_portable, whole(f, f, mode, false), true); \
  BENCHMARK_CAPTURE(SDL_Blit, name, whole(f, f, mode, false), agreeing)

MODE_ROWS(R5G6B5_add, rgb565, pel_OP_ADD, kSame);
BENCHMARK_CAPTURE(Pixman, R5G6B5_add, whole(rgb565, rgb565, pel_OP_ADD, false), kSame);
MODE_ROWS(X8R8G8B8_add, rgbx8888, pel_OP_ADD, kSame);
BENCHMARK_CAPTURE(Pixman, X8R8G8B8_add, whole(rgbx8888, rgbx8888, pel_OP_ADD, false), kSame);
MODE_ROWS(R5G6B5_modulate, rgb565, pel_OP_MODULATE, Agree{2});
MODE_ROWS(X8R8G8B8_modulate, rgbx8888, pel_OP_MODULATE, Agree{1});

// Alpha at weights 128 and 100. SDL2 blends same-format pels as ours does
// (at 100 onto R5G6B5 by the weight's top five bits: ours at 96); from
// R8G8B8 and P8 onto R5G6B5 it blends the 8-bit colours and narrows after,
// where ours narrows first (up to 2 apart). pixman weighs by k / 255 with
// rounded products and widens R5G6B5 by replication (up to 2 apart).
#define ALPHA_ROWS(name, src, dst, k, sdl, pixman)                                            \
  BENCHMARK_CAPTURE(Ours, name, weighted(src, dst, pel_OP_ALPHA, k, false), false);           \
  BENCHMARK_CAPTURE(Ours, name##_portable, weighted(src, dst, pel_OP_ALPHA, k, false), true); \
  BENCHMARK_CAPTURE(SDL_Blit, name, weighted(src, dst, pel_OP_ALPHA, k, false), sdl);         \
  BENCHMARK_CAPTURE(Pixman, name##_over, weighted(src, dst, pel_OP_ALPHA, k, false), pixman)

ALPHA_ROWS(X8R8G8B8_alpha_to_X8R8G8B8, rgbx8888, rgbx8888, 128, kSame, Agree{1});
ALPHA_ROWS(R5G6B5_alpha_to_R5G6B5, rgb565, rgb565, 128, kSame, Agree{1});
ALPHA_ROWS(R8G8B8_alpha_to_R5G6B5, rgb888, rgb565, 128, Agree{1}, Agree{1});
ALPHA_ROWS(P8_alpha_to_R5G6B5, index8, rgb565, 128, Agree{1}, Agree{1});
ALPHA_ROWS(X8R8G8B8_alpha100_to_X8R8G8B8, rgbx8888, rgbx8888, 100, kSame, Agree{1});
ALPHA_ROWS(R5G6B5_alpha100_to_R5G6B5, rgb565, rgb565, 100, (Agree{0, 96}), Agree{1});
ALPHA_ROWS(R8G8B8_alpha100_to_R5G6B5, rgb888, rgb565, 100, Agree{2}, Agree{2});
ALPHA_ROWS(P8_alpha100_to_R5G6B5, index8, rgb565, 100, Agree{1}, Agree{1});

// A weight image onto X8R8G8B8 (pixman: OVER through an a8 mask, weighing
// by w / 255 with rounded products: up to 2 apart).
BENCHMARK_CAPTURE(Ours, X8R8G8B8_alphamap_to_X8R8G8B8, weighted(rgbx8888, rgbx8888, pel_OP_ALPHAMAP, 0, true), false);
BENCHMARK_CAPTURE(Ours, X8R8G8B8_alphamap_to_X8R8G8B8_portable, weighted(rgbx8888, rgbx8888, pel_OP_ALPHAMAP, 0, true),
                  true);
BENCHMARK_CAPTURE(Pixman, X8R8G8B8_alphamap_to_X8R8G8B8_over_a8, weighted(rgbx8888, rgbx8888, pel_OP_ALPHAMAP, 0, true),
                  Agree{2});

// 2x nearest enlargement, 400x300 to 800x600: the same pels.
#define SCALE_ROWS(name, src, dst)                                \
  BENCHMARK_CAPTURE(Ours, name, enlarged(src, dst), false);       \
  BENCHMARK_CAPTURE(SDL_Blit, name, enlarged(src, dst), kSame);   \
  BENCHMARK_CAPTURE(Pixman, name##_src, enlarged(src, dst), kSame)

SCALE_ROWS(R5G6B5_2x_to_R5G6B5, rgb565, rgb565);
SCALE_ROWS(X8R8G8B8_2x_to_X8R8G8B8, rgbx8888, rgbx8888);
SCALE_ROWS(R8G8B8_2x_to_R5G6B5, rgb888, rgb565);

// The cost of a call: 32x24 cells and 8x16 glyphs (the same pels). Over
// the whole picture SDL's copy streams past the cache (non-temporal stores
// on 16-byte aligned rows), which our copy does not: the game draws into a
// back buffer it reads again. The cached rows time the calls alone.
BENCHMARK_CAPTURE(Ours, R5G6B5_cells_32x24, cells(rgb565, rgb565, pel_OP_COPY, false, 32, 24), false);
BENCHMARK_CAPTURE(SDL_Blit, R5G6B5_cells_32x24, cells(rgb565, rgb565, pel_OP_COPY, false, 32, 24), kSame);
BENCHMARK_CAPTURE(Pixman, R5G6B5_cells_32x24_src, cells(rgb565, rgb565, pel_OP_COPY, false, 32, 24), kSame);
BENCHMARK_CAPTURE(Ours, R5G6B5_cached_cells_32x24, cachedCells(rgb565, rgb565, 32, 24), false);
BENCHMARK_CAPTURE(SDL_Blit, R5G6B5_cached_cells_32x24, cachedCells(rgb565, rgb565, 32, 24), kSame);
BENCHMARK_CAPTURE(Ours, R5G6B5_key_glyphs_8x16, cells(rgb565, rgb565, pel_OP_COPY, true, 8, 16), false);
BENCHMARK_CAPTURE(SDL_Blit, R5G6B5_key_glyphs_8x16, cells(rgb565, rgb565, pel_OP_COPY, true, 8, 16), kSame);

BENCHMARK_MAIN();
