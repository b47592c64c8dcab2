// The real game's passes, headless (SDL's dummy video, the manual audio
// clock, so no audio thread runs beside them): a copy of the game directory
// that game_data writes, the game started as WinMain starts it, then one pass
// of the main loop per iteration, the ball still and the clock ticking. A
// pass's worth of time (FPS_LIMIT 10) lies between passes, untimed and spent
// spinning, so that a pass finds the caches as an otherwise idle machine
// leaves them.
//
// Rows: the passes as the game makes them (each presents what its sprite
// list drew: the ball's turning and the clock's digits), and the same passes
// each presenting the whole scene, as every pass once did. Each row reports
// "presented": the pels a pass blits to the screen, on average, and checks
// after its passes that the window shows the scene. The figure to read is
// the first row's time over the second's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/app/app.h"
#include "engine/gfx.h"
#include "engine/gfx_dirty.h"
#include "engine/surf.h"
#include "platform/test_api.h"
#include "platform/win_user.h"

namespace {

namespace fs = std::filesystem;

constexpr auto kBetweenPasses = std::chrono::milliseconds(10);
constexpr int kSceneW = 800, kSceneH = 600;

// The game, started once for every row and ended at exit.
class Game {
 public:
  Game() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::string dir = (fs::temp_directory_path() / "talvo-bench-game-XXXXXX").string();
    if (!mkdtemp(dir.data())) std::abort();
    dir_ = dir;
    fs::copy(fs::path(GAME_DIR) / "DATA", dir_ / "DATA", fs::copy_options::recursive);
    fs::copy_file(fs::path(GAME_DIR) / "maze.cfg", dir_ / "maze.cfg");
    fs::create_directories(dir_ / "instances");
    plat::test::setInstanceDir((dir_ / "instances").c_str());
    exe_ = (dir_ / "maze").string();
    plat::test::setModuleFileName(exe_.c_str());
    plat::test::setManualAudioClock(true);
    gaApp = gaCreateApp();
    gaApp->Init(nullptr, SW_SHOWNORMAL);
    gaApp->frameTimeLimit = 0;  // the time between passes is the benchmark's own
    // The start-up's marks drawn and presented.
    for (int i = 0; i < 10; ++i) {
      Pass(false);
      Wait();
    }
  }
  ~Game() {
    delete gaApp;
    gaApp = nullptr;
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  void Pass(bool wholeScene) {
    if (wholeScene) gfxDirtyTouchRect(0, 0, kSceneW, kSceneH);
    gaApp->RunPass();
  }

  // The pels blitted to the screen per pass, over some passes.
  double Presented(bool wholeScene) {
    constexpr int kPasses = 50;
    plat::test::traceCalls(true);
    double pels = 0;
    for (int i = 0; i < kPasses; ++i) {
      Pass(wholeScene);
      for (const auto& c : plat::test::takeCalls())
        if (c.op == "Blt" && c.object == gfxDevice->primary->surface && c.rects.size() == 2)
          pels += double(c.rects[1].right - c.rects[1].left) * double(c.rects[1].bottom - c.rects[1].top);
      Wait();
    }
    plat::test::traceCalls(false);
    return pels / kPasses;
  }

  // A pass's worth of time, spent spinning.
  static void Wait() {
    const auto until = std::chrono::steady_clock::now() + kBetweenPasses;
    while (std::chrono::steady_clock::now() < until) {
    }
  }

  // Whether the window shows the back surface, pel for pel (through R5G6B5:
  // the high bits of each channel).
  bool WindowShowsTheScene() const {
    const plat::test::PelImage back = plat::test::readSurface(gfxDevice->back->surface);
    const plat::test::PelImage shown = plat::test::readWindowSurface(gaApp->window);
    if (back.bitsPerPel != 16 || shown.bitsPerPel != 32 || shown.width < back.width || shown.height < back.height)
      return false;
    for (int y = 0; y < back.height; ++y)
      for (int x = 0; x < back.width; ++x) {
        uint16_t b;
        uint32_t w;
        std::memcpy(&b, &back.pels[(size_t(y) * back.width + x) * 2], 2);
        std::memcpy(&w, &shown.pels[(size_t(y) * shown.width + x) * 4], 4);
        if (((w >> 8 & 0xF800) | (w >> 5 & 0x07E0) | (w >> 3 & 0x001F)) != b) return false;
      }
    return true;
  }

  bool Running() const { return gaApp && !gaApp->quit && gfxDevice && gfxDevice->primary; }

 private:
  fs::path dir_;
  std::string exe_;
};

Game& game() {
  static Game g;
  return g;
}

void BM_GamePass(benchmark::State& state) {
  const bool wholeScene = state.range(0) != 0;
  Game& g = game();
  if (!g.Running()) {
    state.SkipWithError("the game did not start");
    return;
  }
  for (auto _ : state) {
    g.Pass(wholeScene);
    state.PauseTiming();
    Game::Wait();
    state.ResumeTiming();
  }
  if (!g.WindowShowsTheScene()) state.SkipWithError("the window does not show the scene");
  state.counters["presented"] = g.Presented(wholeScene);
  state.SetLabel(wholeScene ? "every pass presents the whole scene" : "each pass presents what it drew");
}
BENCHMARK(BM_GamePass)
    ->ArgName("whole")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(300)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
