// The game's kind of scene: an 800x600 sprite list holding an opaque 800x600
// background and three keyed 32x32 sprites that move 2 pels a frame, drawn
// into an 800x600 memory image, in R5G6B5 (the game's format) and X8R8G8B8.
//
// Rows: our dirty frame (the sprites move, DrawDirty redraws what they
// marked), at the processor's vector level and at the portable one; our full
// redraw (the whole area marked once a frame); a full
// redraw with SDL2 on the same buffers (the background blitted, then the
// sprites with a colour key). Each row reports "pels" per frame: the area
// its draws cover (background pels redrawn plus sprite pels).
//
// Every row checks its frame once after its timed loop: ours against a
// full redraw of the scene as it stands by the portable code, SDL2's (on a
// fresh scene, whose sprites do not overlap) against ours: a keyed copy
// computes the same pels in both.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "bench/check.h"
#include "engine/img_row.h"
#include "engine/sprs.h"
#include "img/VectorLevel.h"

namespace {

namespace vector_level = talvo::g::vector_level;

constexpr int W = 800, H = 600, S = 32;

struct Format {
  int ours;
  Uint32 sdl;
  uint32_t key;  // magenta in the format
};
const Format kR5G6B5{pel_FMT_R5G6B5, SDL_PIXELFORMAT_RGB565, 0xF81F};
const Format kX8R8G8B8{pel_FMT_X8R8G8B8, SDL_PIXELFORMAT_RGB888, 0xFF00FF};

std::unique_ptr<imgRowCTy> image(int w, int h, const Format& f) {
  pelFmtDesc d;
  d.Set(f.ours, nullptr);
  auto img = std::make_unique<imgRowCTy>();
  img->SetSize(w, h, &d);
  return img;
}

void setPel(imgRowCTy& img, int x, int y, uint32_t pel) {
  std::memcpy(img.buffer + (int64_t(y) * img.width + x) * img.BytesPerPel(), &pel, size_t(img.BytesPerPel()));
}

struct Scene {
  explicit Scene(const Format& f) : format(f) {
    background = image(W, H, f);
    target = image(W, H, f);
    std::mt19937 rng(1);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) setPel(*background, x, y, rng() & (f.ours == pel_FMT_R5G6B5 ? 0xFFFF : 0xFFFFFF));
    // A ball: a disc of colours, the key around it.
    ball = image(S, S, f);
    for (int y = 0; y < S; ++y)
      for (int x = 0; x < S; ++x) {
        const int dx = 2 * x - S + 1, dy = 2 * y - S + 1;
        setPel(*ball, x, y, dx * dx + dy * dy < S * S ? 0x1234 + uint32_t(x * 977 + y * 131) : f.key);
      }
    ball->SetColorKey(f.key);
    list.SetSize(W, H);
    sprsCTy::Add(&list, &back);
    back.SetImage(background.get());
    back.SetZ(1000);
    back.Show();
    for (int i = 0; i < 3; ++i) {
      sprsCTy::Add(&list, &sprites[i]);
      sprites[i].SetImage(ball.get());
      sprites[i].SetZ(i);
      sprites[i].SetPos(100 + 250 * i, 100 + 150 * i);
      sprites[i].Show();
    }
    list.DrawDirty(target.get());
  }

  // Every sprite 2 pels on, bouncing off the edges.
  void Move() {
    for (int i = 0; i < 3; ++i) {
      sprImgCTy& s = sprites[i];
      if (s.x + dx[i] < 0 || s.x + dx[i] > W - S) dx[i] = -dx[i];
      if (s.y + dy[i] < 0 || s.y + dy[i] > H - S) dy[i] = -dy[i];
      s.SetPos(s.x + dx[i], s.y + dy[i]);
    }
  }

  // The background pels the next dirty draw covers, and the sprite pels.
  int64_t DirtyPels() const {
    int64_t cells = 0;
    for (uint32_t i = 0; i < list.grid.cols * list.grid.rows; ++i) cells += list.grid.cells[i] > 0;
    return cells * list.grid.cellW * list.grid.cellH;
  }

  Format format;
  std::unique_ptr<imgRowCTy> background, target, ball;
  sprsCTy list;
  sprImgCTy back, sprites[3];
  int dx[3] = {2, -2, 2}, dy[3] = {2, 2, -2};
};

std::vector<uint8_t> pelsOf(const imgRowCTy& img) {
  return {img.buffer, img.buffer + size_t(img.width) * img.height * size_t(img.BytesPerPel())};
}

// The scene as it stands, redrawn whole by the portable code into an image
// of its own.
std::vector<uint8_t> redrawnWhole(Scene& scene) {
  vector_level::force(vector_level::portable);
  auto target = image(W, H, scene.format);
  const rectCTy all = scene.list.area;
  scene.list.MarkDirty(&all, &all, 1);
  scene.list.DrawDirty(target.get());
  vector_level::force(bench_check::timed_level);
  return pelsOf(*target);
}

void check(benchmark::State& state, const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
  if (got != want) state.SkipWithError("the frame differs from the scene redrawn whole");
}

// level -1: the level the rows are timed at (bench/check.h).
void Ours_DirtyFrame(benchmark::State& state, Format f, int level) {
  vector_level::force(level < 0 ? bench_check::timed_level : level);
  Scene scene(f);
  int64_t pels = 0;
  for (auto _ : state) {
    scene.Move();
    pels += scene.DirtyPels();
    scene.list.DrawDirty(scene.target.get());
    benchmark::DoNotOptimize(scene.target->buffer);
  }
  // The sprites lie inside the dirty area: 3 x 32 x 32 sprite pels more.
  state.counters["pels"] = double(pels) / double(state.iterations()) + 3 * S * S;
  vector_level::force(bench_check::timed_level);
  check(state, pelsOf(*scene.target), redrawnWhole(scene));
}

void Ours_FullRedraw(benchmark::State& state, Format f) {
  Scene scene(f);
  const rectCTy all = scene.list.area;
  for (auto _ : state) {
    scene.list.MarkDirty(&all, &all, 1);
    scene.list.DrawDirty(scene.target.get());
    benchmark::DoNotOptimize(scene.target->buffer);
  }
  state.counters["pels"] = W * H + 3 * S * S;
  check(state, pelsOf(*scene.target), redrawnWhole(scene));
}

SDL_Surface* surface(imgRowCTy& img, Uint32 format) {
  return SDL_CreateRGBSurfaceWithFormatFrom(img.buffer, img.width, img.height, img.BytesPerPel() * 8,
                                            img.width * img.BytesPerPel(), format);
}

// SDL2's redraws of a scene: the background, then the sprites keyed.
struct SdlRedraw {
  Scene& scene;
  SDL_Surface *back, *target, *ball;
  SdlRedraw(Scene& s, const Format& f)
      : scene(s), back(surface(*s.background, f.sdl)), target(surface(*s.target, f.sdl)), ball(surface(*s.ball, f.sdl)) {
    SDL_SetColorKey(ball, SDL_TRUE, f.key);
  }
  ~SdlRedraw() {
    SDL_FreeSurface(ball);
    SDL_FreeSurface(target);
    SDL_FreeSurface(back);
  }
  void operator()() {
    SDL_BlitSurface(back, nullptr, target, nullptr);
    for (auto& s : scene.sprites) {
      SDL_Rect at{s.x, s.y, S, S};
      SDL_BlitSurface(ball, nullptr, target, &at);
    }
  }
};

void SDL_FullRedraw(benchmark::State& state, Format f) {
  {
    Scene scene(f);
    SdlRedraw redraw(scene, f);
    for (auto _ : state) {
      scene.Move();
      redraw();
      benchmark::DoNotOptimize(scene.target->buffer);
    }
  }
  state.counters["pels"] = W * H + 3 * S * S;
  Scene fresh(f);
  SdlRedraw redraw(fresh, f);
  std::fill(fresh.target->buffer, fresh.target->buffer + pelsOf(*fresh.target).size(), uint8_t(0));
  redraw();
  check(state, pelsOf(*fresh.target), redrawnWhole(fresh));
}

}  // namespace

BENCHMARK_CAPTURE(Ours_DirtyFrame, R5G6B5, kR5G6B5, -1);
BENCHMARK_CAPTURE(Ours_DirtyFrame, R5G6B5_portable, kR5G6B5, vector_level::portable);
BENCHMARK_CAPTURE(Ours_FullRedraw, R5G6B5, kR5G6B5);
BENCHMARK_CAPTURE(SDL_FullRedraw, R5G6B5, kR5G6B5);
BENCHMARK_CAPTURE(Ours_DirtyFrame, X8R8G8B8, kX8R8G8B8, -1);
BENCHMARK_CAPTURE(Ours_DirtyFrame, X8R8G8B8_portable, kX8R8G8B8, vector_level::portable);
BENCHMARK_CAPTURE(Ours_FullRedraw, X8R8G8B8, kX8R8G8B8);
BENCHMARK_CAPTURE(SDL_FullRedraw, X8R8G8B8, kX8R8G8B8);

BENCHMARK_MAIN();
