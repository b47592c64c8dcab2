// An 800x600 palettised sprite (about 40 % key pels in stretches, the rest
// in repeats and literals) packed as an imgRle8CTy and drawn whole onto
// 800x600 R5G6B5 and X8R8G8B8 destinations: keyed Copy (DrawEx mode 0), and
// keyed Alpha (mode 1) at weights 128 and 100 (SDL blends 128 by a path of
// its own, so 100 is measured beside it). Beside it SDL2's blit of the same
// sprite converted to the destination's format first (untimed; the colour
// key goes along, and SDL2 encodes colour-key RLE only between surfaces of
// one format), RLE-accelerated (SDL_SetSurfaceRLE; the first, encoding blit
// untimed and checked to have set SDL_RLEACCEL) and not, with
// SDL_SetSurfaceAlphaMod for the Alpha rows. Rows report "pixels=...M/s"
// (Mpixels/s of the sprite).
//
// The draws above go through the image's converted runs; the packed rows'
// own walk (the run kernels) draws the rest: a keyed Add (mode 7) beside
// SDL2's SDL_BLENDMODE_ADD blit (which it does not RLE-accelerate), and a
// mirrored keyed Copy (DrawExMirrorH mode 0), which SDL2's surfaces have no
// blit for.
//
// Every row checks its output once after its timed loop: ours against the
// portable code; SDL's against ours where the formulas agree (beside each
// target below).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/check.h"
#include "engine/img_row.h"
#include "engine/rle8/img_rle8.h"

namespace {

constexpr int W = 800, H = 600;
constexpr uint8_t kKey = 0;

std::vector<uint8_t> sprite() {
  std::mt19937 rng(800600);
  std::vector<uint8_t> pels;
  pels.reserve(size_t(W) * H);
  for (int y = 0; y < H; ++y) {
    int x = 0;
    while (x < W) {
      const int kind = int(rng() % 10);  // 4 key stretches, 3 repeats, 3 literals
      if (kind < 4) {
        for (int n = 5 + int(rng() % 36); n > 0 && x < W; --n, ++x) pels.push_back(kKey);
      } else if (kind < 7) {
        const uint8_t v = uint8_t(1 + rng() % 255);
        for (int n = 3 + int(rng() % 18); n > 0 && x < W; --n, ++x) pels.push_back(v);
      } else {
        for (int n = 2 + int(rng() % 9); n > 0 && x < W; --n, ++x) pels.push_back(uint8_t(1 + rng() % 255));
      }
    }
  }
  return pels;
}

std::vector<uint32_t> colours() {
  std::vector<uint32_t> c(256);
  for (size_t i = 0; i < c.size(); ++i) c[i] = 0xFF000000u | uint32_t(i * 0x010307u);
  return c;
}

void countPixels(benchmark::State& state) {
  state.counters["pixels"] = benchmark::Counter(double(state.iterations()) * W * H, benchmark::Counter::kIsRate);
}

// What a row draws: the destination, the mode and the weight (Alpha's).
struct Work {
  int format;       // ours
  uint32_t sdl;     // SDL's
  int mode;
  int weight;
  // The bits of a destination pel where SDL's RLE blit computes what we
  // compute, and the weight ours draws at to compute it.
  uint32_t agreeing;
  int agreeingWeight;
  bool mirrored = false;
};

int pelSize(const Work& w) { return w.format == pel_FMT_R5G6B5 ? 2 : 4; }

// The destination's first pels: every byte 0x55.
std::vector<uint8_t> initialPels(const Work& w) { return std::vector<uint8_t>(size_t(W) * H * pelSize(w), 0x55); }

std::unique_ptr<imgRle8CTy> ourSprite() {
  palCTy palette;
  std::vector<uint8_t> quads;
  for (uint32_t c : colours())
    for (int i = 0; i < 4; ++i) quads.push_back(uint8_t(c >> (8 * i)));
  palette.Set(quads.data(), 256);
  pelFmtDesc d;
  d.Set(pel_FMT_P8, &palette);
  auto image = std::make_unique<imgRle8CTy>();
  image->SetSize(W, H, &d);
  image->SetColorKey(kKey);
  image->Lock(nullptr, img_LOCK_WRITE);
  const std::vector<uint8_t> pels = sprite();
  std::memcpy(image->data, pels.data(), pels.size());
  image->Unlock();
  return image;
}

// A destination over the caller's pels.
struct Target {
  imgRowCTy image;
  Target(int format, uint8_t* pels) {
    pelFmtDesc d;
    d.Set(format, nullptr);
    image.desc = d;
    image.width = W;
    image.height = H;
    image.buffer = pels;
    image.rowLength = W;
  }
  ~Target() { image.buffer = nullptr; }
};

imgDrawParams paramsOf(const Work& w, int weight) {
  imgDrawParams p{};
  p.mode = w.mode;
  p.alpha = weight;
  p.scaleX = p.scaleY = 1.0f;
  return p;
}

// Our draw of the whole sprite at `weight` onto a destination.
void drawWhole(imgRle8CTy& image, imgCTy& dst, const Work& w, const imgDrawParams& p) {
  if (w.mirrored)
    image.DrawExMirrorH(&dst, 0, 0, nullptr, &p);
  else
    image.DrawEx(&dst, 0, 0, nullptr, &p);
}

// Our draw of the whole sprite at `weight` onto a destination of `pels`.
void drawOurs(imgRle8CTy& image, const Work& w, int weight, uint8_t* pels) {
  Target dst(w.format, pels);
  drawWhole(image, dst.image, w, paramsOf(w, weight));
}

void ours(benchmark::State& state, Work w) {
  auto image = ourSprite();
  std::vector<uint8_t> pels = initialPels(w);
  Target dst(w.format, pels.data());
  const imgDrawParams p = paramsOf(w, w.weight);
  for (auto _ : state) {
    drawWhole(*image, dst.image, w, p);
    benchmark::ClobberMemory();
  }
  std::vector<uint8_t> first = initialPels(w);
  bench_check::Words initial(first.size() / 4);
  std::memcpy(initial.data(), first.data(), first.size());
  bench_check::same_as_portable(state, initial, [&](bench_check::Words& words) {
    drawOurs(*image, w, w.weight, reinterpret_cast<uint8_t*>(words.data()));
  });
  countPixels(state);
}

// SDL's output against ours, on the bits where the formulas agree. SDL's
// alpha blends without RLE weigh by rules of their own (out of 255, rounded).
void agrees(benchmark::State& state, const Work& w, bool rle, const SDL_Surface* dst) {
  if (!w.agreeing || (w.mode == pel_OP_ALPHA && !rle)) return;
  std::vector<uint8_t> want = initialPels(w);
  auto image = ourSprite();
  drawOurs(*image, w, w.agreeingWeight, want.data());
  const int size = pelSize(w);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      uint32_t a = 0, b = 0;
      std::memcpy(&a, static_cast<const uint8_t*>(dst->pixels) + y * dst->pitch + x * size, size_t(size));
      std::memcpy(&b, want.data() + (size_t(y) * W + x) * size, size_t(size));
      if ((a ^ b) & w.agreeing) {
        state.SkipWithError(("SDL's pel (" + std::to_string(x) + ", " + std::to_string(y) + ") differs from ours").c_str());
        return;
      }
    }
}

void sdl(benchmark::State& state, Work w, bool rle) {
  const std::vector<uint8_t> pels = sprite();
  SDL_Surface* indexed = SDL_CreateRGBSurfaceWithFormat(0, W, H, 8, SDL_PIXELFORMAT_INDEX8);
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, w.sdl);
  if (!indexed || !dst) {
    state.SkipWithError("SDL surfaces");
    return;
  }
  std::vector<SDL_Color> sdlColours;
  for (uint32_t c : colours()) sdlColours.push_back({uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255});
  SDL_SetPaletteColors(indexed->format->palette, sdlColours.data(), 0, 256);
  for (int y = 0; y < H; ++y)
    std::memcpy(static_cast<uint8_t*>(indexed->pixels) + y * indexed->pitch, &pels[size_t(y) * W], W);
  SDL_SetColorKey(indexed, SDL_TRUE, kKey);
  // The sprite in the screen's format, as SDL2's users blit sprites: the
  // colour key goes along.
  SDL_Surface* src = SDL_ConvertSurfaceFormat(indexed, w.sdl, 0);
  SDL_FreeSurface(indexed);
  const auto release = [&] {
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
  };
  if (!src) {
    state.SkipWithError(SDL_GetError());
    SDL_FreeSurface(dst);
    return;
  }
  if (w.mode == pel_OP_ALPHA) {
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(src, uint8_t(w.weight));
  } else if (w.mode == pel_OP_ADD) {
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_ADD);
  }
  SDL_SetSurfaceRLE(src, rle ? 1 : 0);
  const std::vector<uint8_t> first = initialPels(w);
  for (int y = 0; y < H; ++y)
    std::memcpy(static_cast<uint8_t*>(dst->pixels) + y * dst->pitch, first.data() + size_t(y) * W * pelSize(w),
                size_t(W) * pelSize(w));
  // The first blit encodes the RLE form.
  if (SDL_BlitSurface(src, nullptr, dst, nullptr) != 0) {
    state.SkipWithError(SDL_GetError());
    release();
    return;
  }
  if (((src->flags & SDL_RLEACCEL) != 0) != rle) {
    state.SkipWithError(rle ? "SDL did not encode the sprite as RLE" : "SDL encoded the sprite as RLE");
    release();
    return;
  }
  agrees(state, w, rle, dst);
  for (auto _ : state) {
    SDL_BlitSurface(src, nullptr, dst, nullptr);
    benchmark::ClobberMemory();
  }
  countPixels(state);
  release();
}

void registerAll() {
  constexpr uint32_t all16 = 0xFFFF, colourBytes = 0x00FFFFFF;
  constexpr int copy = pel_OP_COPY, alpha = pel_OP_ALPHA, add = pel_OP_ADD;
  struct Row {
    const char* name;
    Work work;
    bool rle = true, noRle = true;  // the SDL rows beside ours
  } rows[] = {
      // Keyed copies: the same pels. Onto X8R8G8B8 ours writes the palette
      // entry's fourth byte, SDL's RGB888 its own.
      {"R5G6B5/keyed_copy", {pel_FMT_R5G6B5, SDL_PIXELFORMAT_RGB565, copy, 0, all16, 0}},
      {"X8R8G8B8/keyed_copy", {pel_FMT_X8R8G8B8, SDL_PIXELFORMAT_RGB888, copy, 0, colourBytes, 0}},
      // Weight 128: SDL's 50 % blend floors the sum's half per field, as our
      // rule does; onto X8R8G8B8 it sets the fourth byte, ours keeps it.
      {"R5G6B5/alpha128", {pel_FMT_R5G6B5, SDL_PIXELFORMAT_RGB565, alpha, 128, all16, 128}},
      {"X8R8G8B8/alpha128", {pel_FMT_X8R8G8B8, SDL_PIXELFORMAT_RGB888, alpha, 128, colourBytes, 128}},
      // Weight 100: onto R5G6B5 SDL weighs by the weight's top five bits
      // (100 >> 3 out of 32), a rule of its own: it computes our blend at
      // 96. Onto X8R8G8B8 it computes our colour bytes.
      {"R5G6B5/alpha100", {pel_FMT_R5G6B5, SDL_PIXELFORMAT_RGB565, alpha, 100, all16, 96}},
      {"X8R8G8B8/alpha100", {pel_FMT_X8R8G8B8, SDL_PIXELFORMAT_RGB888, alpha, 100, colourBytes, 100}},
      // The walk. Add: onto X8R8G8B8 SDL saturates each colour byte's sum as
      // ours does; onto R5G6B5 it widens the fields by a rule of its own.
      {"R5G6B5/keyed_add", {pel_FMT_R5G6B5, SDL_PIXELFORMAT_RGB565, add, 0, 0, 0}, false},
      {"X8R8G8B8/keyed_add", {pel_FMT_X8R8G8B8, SDL_PIXELFORMAT_RGB888, add, 0, colourBytes, 0}, false},
      {"R5G6B5/keyed_copy_mirrored", {pel_FMT_R5G6B5, SDL_PIXELFORMAT_RGB565, copy, 0, 0, 0, true}, false, false},
      {"X8R8G8B8/keyed_copy_mirrored", {pel_FMT_X8R8G8B8, SDL_PIXELFORMAT_RGB888, copy, 0, 0, 0, true}, false,
       false},
  };
  for (const Row& r : rows) {
    benchmark::RegisterBenchmark((std::string("ours_rle8/") + r.name).c_str(), ours, r.work);
    if (r.rle) benchmark::RegisterBenchmark((std::string("sdl2_rle/") + r.name).c_str(), sdl, r.work, true);
    if (r.noRle) benchmark::RegisterBenchmark((std::string("sdl2_no_rle/") + r.name).c_str(), sdl, r.work, false);
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
