// The longest move the ball can make in one pass: the game's ball, frame by
// frame, from one corner of an 800 x 600 mask of floor to the other, so that
// no position decides and every one is tested.
//
// Rows: AnimSprite::CollideAlong, and the same walk made by hand, one
// Collide of the whole frame per position. Each row reports "positions",
// the positions its move tests, and checks that the move ends on the far
// corner undecided.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "game/anim_sprite.h"
#include "img/Image.h"

namespace {

constexpr int kSceneW = 800, kSceneH = 600;
constexpr uint8_t kWall[3] = {255, 255, 255};  // B, G, R
constexpr uint8_t kGoal[3] = {0, 0, 255};

struct Move {
  talvo::g::ImageRow mask;
  AnimSprite ball;
  int32_t fromX, fromY, toX, toY;

  Move() {
    mask.create(kSceneW, kSceneH, talvo::g::PelFmt(talvo::g::pel_type::rgb888));
    talvo::g::Image::Lock lock(mask, nullptr, talvo::g::Image::Lock::write_all);
    for (int y = 0; y < kSceneH; ++y) std::memset(lock.row(y), 40, size_t(kSceneW) * 3);
    ball.frames.LoadImgs((std::string(GAME_DIR) + "/DATA/ball.imgs").c_str());
    ball.sprite.SetImage(ball.frames.Get(0));
    ball.hotX = ball.frames.Get(0)->width / 2;
    ball.hotY = ball.frames.Get(0)->height / 2;
    fromX = ball.hotX;
    fromY = ball.hotY;
    toX = kSceneW - 1 - ball.hotX;
    toY = kSceneH - 1 - ball.hotY;
  }

  // The next frame, as the ball turns from pass to pass.
  void Turn() {
    ball.frame = int32_t((uint32_t(ball.frame) + 1) % ball.frames.count);
    ball.sprite.SetImage(ball.frames.Get(uint32_t(ball.frame)));
  }
};

Move& move() {
  static Move m;
  return m;
}

void BM_CollideAlong(benchmark::State& state) {
  Move& m = move();
  int result = -1;
  for (auto _ : state) {
    m.Turn();
    m.ball.SetPos(m.toX, m.toY);
    result = m.ball.CollideAlong(m.fromX, m.fromY, m.mask, kWall, kGoal);
    benchmark::DoNotOptimize(result);
  }
  if (result != -1 || m.ball.x != m.toX || m.ball.y != m.toY) state.SkipWithError("the move was decided");
  state.counters["positions"] = std::max(std::abs(m.toX - m.fromX), std::abs(m.toY - m.fromY));
  state.SetLabel("CollideAlong");
}
BENCHMARK(BM_CollideAlong)->Unit(benchmark::kMicrosecond);

// Every position of the walk, its frame tested whole.
void BM_CollideEveryPosition(benchmark::State& state) {
  Move& m = move();
  const int32_t dx = m.toX - m.fromX, dy = m.toY - m.fromY;
  const int32_t n = std::max(std::abs(dx), std::abs(dy));
  int result = -1;
  for (auto _ : state) {
    m.Turn();
    result = -1;
    for (int32_t i = 1; i <= n && result == -1; ++i) {
      // Both ways are positive: i / n of each, to the nearest pel.
      m.ball.SetPos(m.fromX + (2 * dx * i + n) / (2 * n), m.fromY + (2 * dy * i + n) / (2 * n));
      result = m.ball.Collide(m.mask, kWall, kGoal);
    }
    benchmark::DoNotOptimize(result);
  }
  if (result != -1 || m.ball.x != m.toX || m.ball.y != m.toY) state.SkipWithError("the move was decided");
  state.counters["positions"] = n;
  state.SetLabel("Collide at every position");
}
BENCHMARK(BM_CollideEveryPosition)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
