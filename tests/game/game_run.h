// The whole game through WinMain, one test per process: a fresh copy of the
// game directory that game_data writes (DATA/, maze.cfg, solution.txt), the
// executable's path pointing into it, a single-instance directory of its own,
// and the pass-driven input script of the platform's test API.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/app/app.h"
#include "platform/test_api.h"
#include "platform/win_user.h"
#include "support/temp_dir.h"

namespace game_test {

namespace fs = std::filesystem;
using plat::test::ScriptStep;

struct Point {
  int x, y;
};

// Virtual keys the scripts press.
inline constexpr int kLeftButton = 0x01;  // VK_LBUTTON
inline constexpr int kF5 = 0x74;
inline constexpr int kF9 = 0x78;

// Everything is public: the scripted cases use it from their functions.
class GameRun : public ::testing::Test {
 public:
  void SetUp() override {
    startDir_ = fs::current_path();
    game_ = tmp_.path / "game";
    fs::create_directories(game_);
    fs::copy(fs::path(GAME_DIR) / "DATA", game_ / "DATA", fs::copy_options::recursive);
    fs::copy_file(fs::path(GAME_DIR) / "maze.cfg", game_ / "maze.cfg");
    std::ifstream in(fs::path(GAME_DIR) / "solution.txt");
    for (Point p; in >> p.x >> p.y;) solution_.push_back(p);
    ASSERT_GE(solution_.size(), 2u) << "solution.txt of " << GAME_DIR;

    fs::create_directories(tmp_.path / "instances");
    plat::test::setInstanceDir((tmp_.path / "instances").c_str());
    exe_ = (game_ / "maze").string();
    plat::test::setModuleFileName(exe_.c_str());
    plat::test::takeMessageBoxes();
  }

  void TearDown() override {
    plat::test::setInputScript({});
    plat::test::setModuleFileName(nullptr);
    plat::test::setInstanceDir(nullptr);
    std::error_code ignored;
    fs::current_path(startDir_, ignored);
  }

  // Runs the game with this script; a closing step is appended, so that a
  // game the script failed to end still ends.
  int run(std::vector<ScriptStep> steps) {
    steps.push_back(plat::test::closeWindow(3));
    plat::test::setInputScript(std::move(steps));
    return WinMain(nullptr, nullptr, const_cast<char*>(""), SW_SHOWNORMAL);
  }

  // maze.cfg of the copy, before or after a run.
  std::string cfgText() const { return readBytes((game_ / "maze.cfg").string()); }
  // A key's value in maze.cfg; "(missing)" when it has none.
  std::string cfgValue(const std::string& key) const {
    std::istringstream in(cfgText());
    for (std::string line; std::getline(in, line);)
      if (line.rfind(key + " = ", 0) == 0) return line.substr(key.size() + 3);
    return "(missing)";
  }
  // Sets a key in maze.cfg before the run (an empty value removes it).
  void setCfg(const std::string& key, const std::string& value) {
    std::istringstream in(cfgText());
    std::string out;
    bool done = false;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind(key + " = ", 0) == 0) {
        if (!value.empty()) out += key + " = " + value + "\n";
        done = true;
      } else {
        out += line + "\n";
      }
    }
    if (!done && !value.empty()) out += key + " = " + value + "\n";
    writeBytes((game_ / "maze.cfg").string(), out);
  }
  int cfgInt(const std::string& key) const { return std::stoi(cfgValue(key)); }

  // The middle of a button, from its position keys (buttons are 120 x 40).
  Point buttonMiddle(const std::string& name) const {
    return {cfgInt(name + "_x") + 60, cfgInt(name + "_y") + 20};
  }
  Point start() const { return {cfgInt("start_x"), cfgInt("start_y")}; }
  // Straight up from the start point lies the maze's top wall: the ball
  // there touches white.
  Point wall() const { return {cfgInt("start_x"), cfgInt("start_y") - 30}; }

  // --- script pieces ---

  // Along the solution, from its second point to the goal, a step every
  // `passes` passes.
  std::vector<ScriptStep> walkToGoal(int passes = 2) const {
    std::vector<ScriptStep> steps;
    for (size_t i = 1; i < solution_.size(); ++i)
      steps.push_back(plat::test::moveTo(passes, solution_[i].x, solution_[i].y));
    return steps;
  }
  // Over the point, then the left button pressed and released a few passes
  // apart (the game polls twice a pass; an edge is held across passes).
  static std::vector<ScriptStep> click(Point p) {
    return {plat::test::moveTo(2, p.x, p.y), plat::test::keyDown(2, kLeftButton), plat::test::keyUp(3, kLeftButton)};
  }
  static std::vector<ScriptStep> tap(int key) { return {plat::test::keyDown(1, key), plat::test::keyUp(3, key)}; }
  static void append(std::vector<ScriptStep>& to, std::vector<ScriptStep> more) {
    for (ScriptStep& s : more) to.push_back(std::move(s));
  }

  // The snapshot files of the game directory, by name.
  std::vector<std::string> snapshots() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(game_)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("Ball Maze_", 0) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir tmp_;
  fs::path game_;
  std::string exe_;
  std::vector<Point> solution_;

  fs::path startDir_;
};

}  // namespace game_test
