// Whole games through WinMain, one per process, headless, with SDL's disk
// audio driver writing what the game played into a file: the maze solved,
// a snapshot and Quit; then a run lost, New and Quit.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/game.h"
#include "game_run.h"
#include "support/shell.h"

namespace {

using game_test::GameRun;
using game_test::kF9;
using game_test::Point;
using plat::test::callAt;
using plat::test::moveTo;
using plat::test::ScriptStep;

class EndToEnd : public GameRun {
 public:
  void SetUp() override {
    GameRun::SetUp();
    audio_ = tmp_.file("audio.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", audio_.c_str(), 1);
  }

  // The loudest sample of what the game played (44100 Hz stereo 16-bit).
  int loudest() const {
    const std::string bytes = readBytes(audio_);
    int peak = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      int16_t v;
      std::memcpy(&v, bytes.data() + i, 2);
      peak = std::max(peak, std::abs(int(v)));
    }
    return peak;
  }

  // The start-up and shutdown wrote the whole table back: the engine's keys
  // beside the game's.
  void expectConfigurationWrittenBack() const {
    EXPECT_NE(cfgValue("AUTO_FOCUS"), "(missing)");
    EXPECT_NE(cfgValue("WINDOW_X"), "(missing)");
    EXPECT_EQ(cfgValue("WND_NAME"), "Ball Maze");
    EXPECT_EQ(cfgValue("start_x"), std::to_string(start().x));
  }

  std::string audio_;
};

TEST_F(EndToEnd, SolvedThenSnapshotThenQuit) {
  std::vector<ScriptStep> s = walkToGoal();
  s.push_back(callAt(1, [] { EXPECT_EQ(gameWon, 1); }));
  append(s, tap(kF9));
  append(s, click(buttonMiddle("but_exit")));
  EXPECT_EQ(run(std::move(s)), 0);
  EXPECT_EQ(plat::test::scriptStepsLeft(), 1u);  // Quit ended it, not the closing step

  expectConfigurationWrittenBack();
  EXPECT_GT(cfgInt("best_result"), 0);
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());

  // The scene of the won run: the background, the ball where its last move
  // reached the goal, the cursor on the goal (where the pointer was left),
  // the banner over it.
  ASSERT_EQ(snapshots(), std::vector<std::string>{"Ball Maze_0.bmp"});
  const Point goal = solution_.back(), before = solution_[solution_.size() - 2];
  const std::string banner =
      std::to_string(cfgInt("game_win_x")) + "," + std::to_string(cfgInt("game_win_y")) + ",400,120";
  EXPECT_EQ(runPython({CHECK_SCENE, "bmp", (game_ / "Ball Maze_0.bmp").string(), (game_ / "DATA" / "bkg.jpg").string(),
                       std::to_string(goal.x), std::to_string(goal.y),
                       "from=" + std::to_string(before.x) + "," + std::to_string(before.y), banner}),
            0);
  EXPECT_GT(loudest(), 1000) << "the audio file is silent";
}

TEST_F(EndToEnd, LostThenNewThenQuit) {
  setCfg("best_result", "4321");
  const Point wall = this->wall();
  std::vector<ScriptStep> s;
  s.push_back(moveTo(2, wall.x, wall.y));
  s.push_back(callAt(2, [] { EXPECT_EQ(gameLost, 1); }));
  append(s, click(buttonMiddle("but_new")));
  s.push_back(callAt(1, [] { EXPECT_EQ(gameLost, 0); }));
  append(s, click(buttonMiddle("but_exit")));
  EXPECT_EQ(run(std::move(s)), 0);
  EXPECT_EQ(plat::test::scriptStepsLeft(), 1u);

  expectConfigurationWrittenBack();
  EXPECT_EQ(cfgValue("best_result"), "4321");
  EXPECT_TRUE(snapshots().empty());
  EXPECT_GT(loudest(), 1000) << "the audio file is silent";
}

}  // namespace
