// The engine reads what make_game_data writes.
#include <gtest/gtest.h>

#include <string>

#include "engine/cfg.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

class GameData : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(std::system(shellCommand({MAKE_GAME_DATA, dir.path.string()}).c_str()), 0);
  }
  TempDir dir;
};

TEST_F(GameData, ConfigurationReadsAsTheGameExpects) {
  cfgCTy cfg;
  cfg.Load(dir.file("maze.cfg").c_str());
  EXPECT_EQ(cfg.GetInt("SCR_LX"), 800);
  EXPECT_EQ(cfg.GetInt("SCR_LY"), 600);
  EXPECT_EQ(cfg.GetInt("USE_GFX"), 1);
  EXPECT_STREQ(cfg.GetStr("WND_NAME"), "Ball Maze");
  EXPECT_EQ(cfg.GetInt("best_result"), 0);
  // The ball starts on the start point; the start lies on the maze.
  EXPECT_EQ(cfg.GetInt("ball_x"), cfg.GetInt("start_x"));
  EXPECT_EQ(cfg.GetInt("ball_y"), cfg.GetInt("start_y"));
  EXPECT_GT(cfg.GetInt("start_x"), 0);
  EXPECT_GT(cfg.GetInt("start_y"), 0);
}

}  // namespace
