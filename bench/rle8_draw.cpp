// An 800x600 palettised sprite (about 40 % key pels in stretches, the rest
// in repeats and literals) packed as an imgRle8CTy and drawn whole onto
// 800x600 R5G6B5 and X8R8G8B8 destinations: keyed Copy (DrawEx mode 0) and
// Alpha at 128. Beside it SDL2's blit of an INDEX8 surface with the same
// palette and colour key, RLE-accelerated (SDL_SetSurfaceRLE, the first,
// encoding blit untimed) and not, onto RGB565 and RGB888 surfaces; for
// Alpha, SDL2 having no INDEX8 blit with a key and an alpha modulation, the
// sprite converted to the destination's format first (untimed), with
// SDL_SetSurfaceAlphaMod(128). Rows report "pixels=...M/s"
// (Mpixels/s of the sprite).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

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

void ours(benchmark::State& state, int format, int mode) {
  auto image = ourSprite();
  pelFmtDesc d;
  d.Set(format, nullptr);
  imgRowCTy dst;
  dst.SetSize(W, H, &d);
  std::memset(dst.buffer, 0x55, size_t(dst.BufferBytes()));
  imgDrawParams p{};
  p.mode = mode;
  p.alpha = 128;
  p.scaleX = p.scaleY = 1.0f;
  for (auto _ : state) {
    image->DrawEx(&dst, 0, 0, nullptr, &p);
    benchmark::ClobberMemory();
  }
  countPixels(state);
}

void sdl(benchmark::State& state, uint32_t format, bool rle, bool alpha) {
  const std::vector<uint8_t> pels = sprite();
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, W, H, 8, SDL_PIXELFORMAT_INDEX8);
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, format);
  if (!src || !dst) {
    state.SkipWithError("SDL surfaces");
    return;
  }
  std::vector<SDL_Color> sdlColours;
  for (uint32_t c : colours()) sdlColours.push_back({uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255});
  SDL_SetPaletteColors(src->format->palette, sdlColours.data(), 0, 256);
  for (int y = 0; y < H; ++y) std::memcpy(static_cast<uint8_t*>(src->pixels) + y * src->pitch, &pels[size_t(y) * W], W);
  SDL_SetColorKey(src, SDL_TRUE, kKey);
  if (alpha) {
    // SDL2 has no blit of an INDEX8 surface with a colour key and an alpha
    // modulation: its users convert the sprite to the screen's format first
    // (the colour key goes along).
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(src, format, 0);
    SDL_FreeSurface(src);
    src = converted;
    if (!src) {
      state.SkipWithError(SDL_GetError());
      SDL_FreeSurface(dst);
      return;
    }
    SDL_SetSurfaceAlphaMod(src, 128);
  }
  SDL_SetSurfaceRLE(src, rle ? 1 : 0);
  SDL_FillRect(dst, nullptr, 0x55555555);
  // The first blit encodes the RLE form.
  if (SDL_BlitSurface(src, nullptr, dst, nullptr) != 0) {
    state.SkipWithError(SDL_GetError());
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
    return;
  }
  for (auto _ : state) {
    SDL_BlitSurface(src, nullptr, dst, nullptr);
    benchmark::ClobberMemory();
  }
  countPixels(state);
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

void registerAll() {
  struct Target {
    const char* name;
    int ours;
    uint32_t sdl;
  } targets[] = {{"R5G6B5", pel_FMT_R5G6B5, SDL_PIXELFORMAT_RGB565}, {"X8R8G8B8", pel_FMT_X8R8G8B8, SDL_PIXELFORMAT_RGB888}};
  for (const Target& t : targets) {
    for (bool alpha : {false, true}) {
      const std::string what = std::string(t.name) + (alpha ? "/alpha128" : "/keyed_copy");
      benchmark::RegisterBenchmark(("ours_rle8/" + what).c_str(), ours, t.ours, alpha ? pel_OP_ALPHA : pel_OP_COPY);
      benchmark::RegisterBenchmark(("sdl2_rle/" + what).c_str(), sdl, t.sdl, true, alpha);
      benchmark::RegisterBenchmark(("sdl2_no_rle/" + what).c_str(), sdl, t.sdl, false, alpha);
    }
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
