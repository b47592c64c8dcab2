// The alpha image's draw (imgAlpha::DrawEx) of whole 800x600 pictures beside
// pixman's and SDL2's blits of the same picture. Every row reports its rate
// as "pixels=...M/s" (Mpixels/s of the picture).
//
// Pictures:
//   sprite       soft-edged discs: about 35 % transparent, 15 % translucent
//                and 50 % opaque pels, in runs (what the game draws);
//   translucent  every pel translucent with a random alpha (the most work
//                per pel);
//   mixed        runs of every length from 1 to 32 pels, the kind changing
//                from run to run: a third of the pels transparent;
//   alternating  the kind changes at every pel (the most run codes);
//   short        runs of every length, the kind changing from run to run,
//                about equal shares of the pels in runs of 1, 2, 3-4, 5-8,
//                ..., 65-128 pels (anti-aliased edges, particles, text).
// Ours: the picture coded as an imgAlpha with R8G8B8 storage (what new
// images use) and with X8R8G8B8 storage, drawn with SrcAlpha, Add,
// SrcAlphaK and Copy onto R5G6B5 (the game's screen) and X8R8G8B8.
// pixman: OVER of the premultiplied a8r8g8b8 picture, through a solid mask
// for SrcAlphaK, and ADD. SDL2: the ARGB8888 picture blended, blended with
// RLEACCEL, added, with alpha modulation, and colour-keyed for Copy
// (transparent pels hold the key, the rest are opaque): keyed from ARGB8888,
// and keyed with RLEACCEL from the picture converted to the destination's
// format first (SDL2 codes colour-keyed runs only when the two formats
// match). SDL2 has a path of its own for the modulation 128, so the weighted
// rows run at 128 and at 100.
//
// Checks, once per row outside the timed loop: ours at the timed vector
// level gives the portable code's pels; SDL's RLE rows took the RLE path;
// a peer's pels agree with ours as far as the two formulas agree (see
// agree() and the comment beside each row).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/check.h"
#include "bench/formats.h"
#include "bench/picture.h"
#include "engine/alpha/img_alpha.h"
#include "engine/img_row.h"
#include "img/VectorLevel.h"

namespace {

namespace vector_level = talvo::g::vector_level;

using bench_picture::count_pixels;
using bench_picture::H;
using bench_picture::W;

enum Picture { sprite, translucent, mixed, alternating, shortRuns };

// The picture's pels, B, G, R, A (straight alpha).
std::vector<A8R8G8B8> makePels(Picture picture) {
  std::mt19937 rng(picture + 1);
  std::vector<A8R8G8B8> pels(size_t(W) * H);
  auto colour = [&](uint8_t a) {
    const uint32_t c = rng();
    return A8R8G8B8{uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), a};
  };
  auto alpha = [&] { return uint8_t(1 + rng() % 254); };
  if (picture == sprite) {
    // Discs of radius 34 with a soft edge of 4 pels on a 75-pel grid,
    // jittered: the edge holds the translucent pels.
    std::vector<float> alphas(pels.size(), 0.0f);
    std::vector<uint32_t> colours(pels.size(), 0);
    for (int cy = 0; cy < H + 75; cy += 75)
      for (int cx = 0; cx < W + 75; cx += 75) {
        const float x0 = float(cx) + float(rng() % 15), y0 = float(cy) + float(rng() % 15), r = 34.0f;
        const uint32_t c = rng();
        for (int y = std::max(0, int(y0 - r)); y < std::min(H, int(y0 + r) + 1); ++y)
          for (int x = std::max(0, int(x0 - r)); x < std::min(W, int(x0 + r) + 1); ++x) {
            const float d = std::hypot(float(x) - x0, float(y) - y0);
            const float a = std::clamp((r - d) / 4.0f, 0.0f, 1.0f);
            const size_t i = size_t(y) * W + size_t(x);
            if (a > alphas[i]) {
              alphas[i] = a;
              colours[i] = c ^ (uint32_t(x * 7 + y * 3) & 0x0F0F0F);
            }
          }
      }
    for (size_t i = 0; i < pels.size(); ++i) {
      const uint32_t c = colours[i];
      pels[i] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(std::lround(alphas[i] * 255.0f))};
    }
  } else if (picture == mixed) {
    // Each run takes one of the two kinds its predecessor has not.
    int kind = 0;
    for (size_t i = 0; i < pels.size();) {
      kind = (kind + 1 + int(rng() % 2)) % 3;
      for (size_t end = std::min(pels.size(), i + 1 + rng() % 32); i < end; ++i)
        pels[i] = colour(kind == 0 ? 0 : kind == 1 ? alpha() : 255);
    }
  } else if (picture == shortRuns) {
    // Runs of 1, 2, 3-4, ..., 65-128 pels, each band drawn as often as it
    // takes to give it an equal share of the pels: band b (lengths 2^(b-1)
    // + 1 to 2^b) in proportion to 1 / its mean length.
    constexpr int kBands = 8;
    double weights[kBands];
    for (int b = 0; b < kBands; ++b) weights[b] = b == 0 ? 1.0 : 2.0 / ((1 << (b - 1)) + 1 + (1 << b));
    std::discrete_distribution<int> band(weights, weights + kBands);
    int kind = 0;
    for (size_t i = 0; i < pels.size();) {
      kind = (kind + 1 + int(rng() % 2)) % 3;
      const int b = band(rng), shortest = b == 0 ? 1 : (1 << (b - 1)) + 1;
      const size_t length = size_t(shortest) + rng() % uint32_t((1 << b) - shortest + 1);
      for (size_t end = std::min(pels.size(), i + length); i < end; ++i)
        pels[i] = colour(kind == 0 ? 0 : kind == 1 ? alpha() : 255);
    }
  } else {
    for (size_t i = 0; i < pels.size(); ++i)
      pels[i] = colour(picture == translucent ? alpha() : i % 3 == 0 ? 0 : i % 3 == 1 ? alpha() : 255);
  }
  return pels;
}

const std::vector<A8R8G8B8>& pelsOf(Picture picture) {
  static const std::vector<A8R8G8B8> all[5] = {makePels(sprite), makePels(translucent), makePels(mixed),
                                               makePels(alternating), makePels(shortRuns)};
  return all[picture];
}

// 0 transparent, 1 translucent, 2 opaque, as the coder sorts them.
int kindOf(const A8R8G8B8& p) { return p.a == 0 ? 0 : p.a == 255 ? 2 : 1; }

// The picture coded as an imgAlpha with the storage form.
imgAlpha& coded(Picture picture, int storage) {
  static std::unique_ptr<imgAlpha> images[5][6];
  auto& image = images[picture][storage];
  if (!image) {
    image.reset(new imgAlpha);
    image->SetSize(W, H, nullptr);
    image->storageFormat = storage;
    image->Encode(reinterpret_cast<const uint8_t*>(pelsOf(picture).data()));
  }
  return *image;
}

// A destination of the random pels every row starts from.
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

constexpr int kPortable = vector_level::portable;
// The level the rows of ours run at unless they name one.
const int kTimed = bench_check::timed_level;

// What ours draws.
struct Draw {
  Picture picture;
  int storage, format, mode, K;
};

imgDrawParams paramsOf(const Draw& draw) {
  imgDrawParams p{};
  p.mode = draw.mode;
  p.alpha = draw.K;
  p.scaleX = p.scaleY = 1.0f;
  return p;
}

// The destination's pels after one draw at the level.
bench_check::Words drawnOnce(const Draw& draw, int level) {
  vector_level::force(level);
  Target dst(draw.format);
  const imgDrawParams p = paramsOf(draw);
  const rectCTy whole{0, 0, W, H};
  coded(draw.picture, draw.storage).DrawEx(&dst.image, 0, 0, &whole, &p);
  vector_level::force(kTimed);
  return dst.pels.words;
}

void Ours(benchmark::State& state, Draw draw, int level) {
  const bench_check::Words fast = drawnOnce(draw, level), portable = drawnOnce(draw, kPortable);
  if (fast != portable) state.SkipWithError("the output differs from the portable code's");
  bench_check::written(state, Target(draw.format).pels.words, fast);
  vector_level::force(level);
  imgAlpha& source = coded(draw.picture, draw.storage);
  Target dst(draw.format);
  const imgDrawParams p = paramsOf(draw);
  const rectCTy whole{0, 0, W, H};
  for (auto _ : state) {
    source.DrawEx(&dst.image, 0, 0, &whole, &p);
    benchmark::DoNotOptimize(dst.pels.words.data());
  }
  vector_level::force(kTimed);
  count_pixels(state);
}

// How far a peer's colour field (bench_check::fields: 8 bits onto
// X8R8G8B8, 5 and 6 onto R5G6B5) may lie from ours under a source pel of
// each kind (transparent, translucent, opaque); -1: not compared, the
// formulas differ by design.
struct Tolerance {
  int kind[3];
};
constexpr Tolerance kSame{{0, 0, 0}};

// The row fails unless the peer's pels lie within the tolerance of what
// ours draws for the picture's pel kinds.
void agree(benchmark::State& state, const Draw& draw, const bench_check::Words& peer, Tolerance tolerance) {
  const bench_check::Words ours = drawnOnce(draw, kPortable);
  const auto& pels = pelsOf(draw.picture);
  const talvo::g::PelType type = draw.format == pel_FMT_R5G6B5 ? rgb565.ours : rgbx8888.ours;
  int worst[3] = {0, 0, 0};
  for (size_t i = 0; i < pels.size(); ++i) {
    int a[3], b[3];
    bench_check::fields(type, ours, i, a);
    bench_check::fields(type, peer, i, b);
    const int kind = kindOf(pels[i]);
    for (int c = 0; c < 3; ++c) worst[kind] = std::max(worst[kind], std::abs(a[c] - b[c]));
  }
  for (int kind = 0; kind < 3; ++kind)
    if (tolerance.kind[kind] >= 0 && worst[kind] > tolerance.kind[kind]) {
      static const char* const names[3] = {"transparent", "translucent", "opaque"};
      const std::string error = std::string("the peer's pels differ from ours under ") + names[kind] +
                                " pels by " + std::to_string(worst[kind]);
      state.SkipWithError(error.c_str());
    }
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

// pixman's composite of the picture with the operator (through a solid mask
// of alpha k for k >= 0); the first one's pels are checked against ours.
void Pixman(benchmark::State& state, Draw draw, Formats dst_f, pixman_op_t op, int k, Tolerance tolerance) {
  PixmanSource src(draw.picture);
  bench_picture::Pels dst(PIXMAN_FORMAT_BPP(dst_f.pixman) / 8);
  pixman_image_t* d = pixman_image_create_bits(dst_f.pixman, W, H, dst.words.data(), dst.pitch());
  pixman_image_t* mask = nullptr;
  if (k >= 0) {
    const pixman_color_t weight{0, 0, 0, uint16_t(k * 0x101)};
    mask = pixman_image_create_solid_fill(&weight);
  }
  pixman_image_composite32(op, src.image, mask, d, 0, 0, 0, 0, 0, 0, W, H);
  agree(state, draw, dst.words, tolerance);
  for (auto _ : state) {
    pixman_image_composite32(op, src.image, mask, d, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::DoNotOptimize(dst.words.data());
  }
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(d);
  count_pixels(state);
}

enum class SdlMode { blend, blendRle, add, alphaMod, key, keyRle };

// A colour the picture's visible pels do not take once `convert` has
// brought them to a format: the key of the keyed rows.
template <class Convert>
uint32_t unusedColour(Picture picture, Convert convert) {
  std::vector<uint32_t> used;
  for (const A8R8G8B8& p : pelsOf(picture))
    if (p.a) used.push_back(convert(p));
  std::sort(used.begin(), used.end());
  uint32_t key = 0;
  while (std::binary_search(used.begin(), used.end(), key)) ++key;
  return key;
}

uint32_t argb(const A8R8G8B8& p) { return uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b; }
uint32_t to565(const A8R8G8B8& p) { return uint32_t(p.r >> 3) << 11 | uint32_t(p.g >> 2) << 5 | uint32_t(p.b >> 3); }

// The SDL2 source surface of the picture for the mode; its words in
// `words`.
SDL_Surface* sdlSource(Picture picture, Formats dst_f, SdlMode mode, std::vector<uint32_t>& words) {
  const auto& pels = pelsOf(picture);
  words.assign(size_t(W) * H, 0);
  if (mode == SdlMode::keyRle && dst_f.sdl == SDL_PIXELFORMAT_RGB565) {
    const uint32_t key = unusedColour(picture, to565);
    auto* to = reinterpret_cast<uint16_t*>(words.data());
    for (size_t i = 0; i < pels.size(); ++i) to[i] = uint16_t(pels[i].a ? to565(pels[i]) : key);
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(words.data(), W, H, 16, W * 2, dst_f.sdl);
    SDL_SetColorKey(s, SDL_TRUE, key);
    return s;
  }
  const bool keyed = mode == SdlMode::key || mode == SdlMode::keyRle;
  const uint32_t key = keyed ? unusedColour(picture, argb) : 0;
  for (size_t i = 0; i < pels.size(); ++i) {
    const A8R8G8B8& p = pels[i];
    words[i] = keyed ? (p.a ? argb(p) | 0xFF000000 : key) : uint32_t(p.a) << 24 | argb(p);
  }
  // Keyed RLE onto X8R8G8B8: the same words in the destination's format.
  const uint32_t format = mode == SdlMode::keyRle ? dst_f.sdl : uint32_t(SDL_PIXELFORMAT_ARGB8888);
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(words.data(), W, H, 32, W * 4, format);
  if (keyed) SDL_SetColorKey(s, SDL_TRUE, key);
  return s;
}

// SDL2's blit of the picture in the mode (k: the alpha modulation); the
// first one's pels are checked against ours, and the RLE rows that SDL took
// its RLE path.
void SDL(benchmark::State& state, Draw draw, Formats dst_f, SdlMode mode, int k, Tolerance tolerance) {
  std::vector<uint32_t> words;
  SDL_Surface* s = sdlSource(draw.picture, dst_f, mode, words);
  bench_picture::Pels dst(SDL_BYTESPERPIXEL(dst_f.sdl));
  SDL_Surface* d = SDL_CreateRGBSurfaceWithFormatFrom(dst.bytes(), W, H, 8 * dst.size, dst.pitch(), dst_f.sdl);
  const bool rle = mode == SdlMode::blendRle || mode == SdlMode::keyRle;
  switch (mode) {
    case SdlMode::blend:
    case SdlMode::blendRle: SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND); break;
    case SdlMode::add: SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_ADD); break;
    case SdlMode::alphaMod:
      SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
      SDL_SetSurfaceAlphaMod(s, Uint8(k));
      break;
    case SdlMode::key:
    case SdlMode::keyRle: SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE); break;
  }
  if (rle) SDL_SetSurfaceRLE(s, 1);
  if (SDL_BlitSurface(s, nullptr, d, nullptr) != 0)  // RLE surfaces are coded at the first blit
    state.SkipWithError(SDL_GetError());
  else if (rle && !(s->flags & SDL_RLEACCEL))
    state.SkipWithError("SDL did not take its RLE path");
  else
    agree(state, draw, dst.words, tolerance);
  time_sdl_blits(state, s, d);
  count_pixels(state);
}

// The share of each pel kind, printed once with the rows.
void Kinds(benchmark::State& state, Picture picture) {
  int counts[3] = {};
  for (const A8R8G8B8& p : pelsOf(picture)) ++counts[kindOf(p)];
  for (auto _ : state) benchmark::DoNotOptimize(counts);
  const double all = double(W) * H;
  state.counters["transparent%"] = 100.0 * counts[0] / all;
  state.counters["translucent%"] = 100.0 * counts[1] / all;
  state.counters["opaque%"] = 100.0 * counts[2] / all;
}

const int r8 = pel_FMT_R8G8B8, x8 = pel_FMT_X8R8G8B8;
const int srcAlpha = pel_OP_SRCALPHA, add = pel_OP_ADD, srcAlphaK = pel_OP_SRCALPHAK, copy = pel_OP_COPY;

// Tolerances of the peers (see agree()). Under transparent pels nothing is
// drawn. Under opaque pels OVER and BLEND copy the colour (onto R5G6B5
// truncated, as ours is) and the keyed blits copy every visible pel, as our
// Copy does. Blends differ by design in their rounding: pixman blends
// premultiplied colours (rounded products / 255) over a destination it
// widens by replicating bits and narrows by truncating; SDL2 weighs by
// alpha / 255; ours weighs by a and 255 - a and shifts right by 8, so a
// blended channel lies up to 2 from the peers', and 3 through a weight.
constexpr Tolerance kOver{{0, 2, 0}};
constexpr Tolerance kWeighed{{0, 3, 2}};
// ADD: pixman adds premultiplied colours and SDL2 the colour weighed by its
// alpha, where ours adds the whole colour of a translucent pel (not
// compared); under opaque pels all add the colour, onto R5G6B5 to a
// destination field the peers widen by replicating its bits (1 apart).
constexpr Tolerance kAddX8{{0, -1, 0}};
constexpr Tolerance kAdd565{{0, -1, 1}};
constexpr Tolerance kKeyed = kSame;

template <class Fn, class... Args>
void row(const std::string& name, Fn fn, Args... args) {
  benchmark::RegisterBenchmark(name.c_str(), fn, args...);
}

// The rows, each destination's side by side: ours, pixman, SDL2.
void registerAll() {
  static const char* const names[] = {"sprite", "translucent", "mixed", "alternating", "short"};
  const struct {
    const char* name;
    int format;
    Formats peer;
    Tolerance add;
  } targets[] = {{"R5G6B5", pel_FMT_R5G6B5, rgb565, kAdd565}, {"X8R8G8B8", x8, rgbx8888, kAddX8}};
  for (Picture picture : {sprite, translucent, mixed, alternating, shortRuns})
    benchmark::RegisterBenchmark((std::string("Kinds/") + names[picture]).c_str(), Kinds, picture)->Iterations(1);

  // SrcAlpha beside OVER and BLEND (with RLEACCEL where SDL2 codes runs), on
  // every picture; the sprite also from X8R8G8B8 storage.
  for (Picture picture : {sprite, translucent, mixed, alternating, shortRuns})
    for (const auto& t : targets) {
      const std::string prefix = picture == sprite ? "" : std::string(names[picture]) + "_";
      const Draw draw{picture, r8, t.format, srcAlpha, 0};
      row("Ours/" + prefix + "SrcAlpha_" + t.name + "_from_R8G8B8", Ours, draw, kTimed);
      if (picture == sprite || picture == mixed || picture == shortRuns)
        row("Ours/" + prefix + "SrcAlpha_" + t.name + "_from_R8G8B8_portable", Ours, draw, kPortable);
      if (picture == sprite) row("Ours/SrcAlpha_" + std::string(t.name) + "_from_X8R8G8B8",
                                 Ours, Draw{picture, x8, t.format, srcAlpha, 0}, kTimed);
      row("Pixman/" + prefix + "Over_" + t.name, Pixman, draw, t.peer, PIXMAN_OP_OVER, -1, kOver);
      row("SDL/" + prefix + "Blend_" + t.name, SDL, draw, t.peer, SdlMode::blend, 0, kOver);
      if (picture != translucent)
        row("SDL/" + prefix + "BlendRle_" + t.name, SDL, draw, t.peer, SdlMode::blendRle, 0, kOver);
    }

  // The sprite with the other operations.
  for (const auto& t : targets) {
    const std::string on = t.name;
    const Draw sum{sprite, r8, t.format, add, 0};
    row("Ours/Add_" + on + "_from_R8G8B8", Ours, sum, kTimed);
    row("Ours/Add_" + on + "_from_X8R8G8B8", Ours, Draw{sprite, x8, t.format, add, 0}, kTimed);
    row("Pixman/Add_" + on, Pixman, sum, t.peer, PIXMAN_OP_ADD, -1, t.add);
    row("SDL/Add_" + on, SDL, sum, t.peer, SdlMode::add, 0, t.add);
  }
  for (const auto& t : targets)
    for (int k : {128, 100}) {
      const std::string on = std::to_string(k) + "_" + t.name;
      const Draw weighed{sprite, r8, t.format, srcAlphaK, k};
      row("Ours/SrcAlphaK" + on + "_from_R8G8B8", Ours, weighed, kTimed);
      row("Ours/SrcAlphaK" + on + "_from_X8R8G8B8", Ours, Draw{sprite, x8, t.format, srcAlphaK, k}, kTimed);
      row("Pixman/OverMask" + on, Pixman, weighed, t.peer, PIXMAN_OP_OVER, k, kWeighed);
      row("SDL/AlphaMod" + on, SDL, weighed, t.peer, SdlMode::alphaMod, k, kWeighed);
    }
  for (const auto& t : targets) {
    const std::string on = t.name;
    const Draw copied{sprite, r8, t.format, copy, 0};
    row("Ours/Copy_" + on + "_from_R8G8B8", Ours, copied, kTimed);
    row("Ours/Copy_" + on + "_from_X8R8G8B8", Ours, Draw{sprite, x8, t.format, copy, 0}, kTimed);
    row("SDL/Key_" + on, SDL, copied, t.peer, SdlMode::key, 0, kKeyed);
    row("SDL/KeyRle_" + on, SDL, copied, t.peer, SdlMode::keyRle, 0, kKeyed);
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
