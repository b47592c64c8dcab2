// The game's rules through WinMain with scripted input, one case per
// process: the best time, the texts, a run's end taken once, New after a
// loss, the snapshots, the shared image with the stub sibling library, and
// the refused start-ups.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "game/game.h"
#include "game_run.h"
#include "platform/win_window.h"
#include "support/quillframe_stub.h"
#include "support/shell.h"
#include "talvo/CpuInfo.h"

namespace {

using game_test::GameRun;
using game_test::kF5;
using game_test::kF9;
using game_test::Point;
using plat::test::callAt;
using plat::test::keyDown;
using plat::test::keyUp;
using plat::test::moveTo;
using plat::test::ScriptStep;

// The best-time rule on its own: elapsed milliseconds of a won run against
// the stored best_result.
TEST(BestTime, Rule) {
  struct Case {
    uint64_t elapsed;
    int32_t best;
    int replaces;
  };
  const Case cases[] = {
      {1234, 0, 1},                    // no best yet (0 or missing): stores
      {0, 0, 1},                       // even a time of 0
      {1000, 1000, 0},                 // an equal time keeps the best
      {999, 1000, 1},                  // a smaller one replaces it
      {1001, 1000, 0},                 // a larger one keeps it
      {5000, -1, 1},                   // negative best: widened with its sign, compared unsigned
      {UINT64_MAX, -1, 0},             // ... so only its own value is not below it
      {uint64_t(1) << 40, 1000, 0},    // no narrowing before the compare
      {uint64_t(1) << 32 | 5, 1000, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(gameBetterTime(c.elapsed, c.best), c.replaces) << c.elapsed << " against " << c.best;
}

// Milliseconds as stop-watch ticks (rounded up, so they read back whole).
uint64_t msTicks(uint64_t ms) { return (ms * talvo::tick_frequency() + 999) / 1000; }

// The text a text sprite shows.
std::string shown(const sprDfStrCTy& text) { return text.text ? text.text : "(none)"; }

// The window's client origin on the desktop.
Point clientOrigin() {
  POINT p{0, 0};
  ClientToScreen(gaApp->window, &p);
  return {p.x, p.y};
}

// The stub sibling library's record, once the game (or the test) loaded it.
QuillframeStubState* stubState(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW);
  if (!handle) return nullptr;
  auto fn = reinterpret_cast<QuillframeStubStateFn>(dlsym(handle, "quillframe_stub_state"));
  return fn ? fn() : nullptr;
}

// Where the game finds its sibling library: "../Quillframe.dll" from the
// game directory.
std::string stubPath(const GameRun& t) { return (t.tmp_.path / "Quillframe.dll").string(); }

// One scripted case: the configuration it changes, its script (checks run
// inside its test functions) and what it checks once WinMain returned.
struct Case {
  const char* name;
  std::map<std::string, std::string> cfg;
  std::function<std::vector<ScriptStep>(GameRun&)> script;
  std::function<void(GameRun&)> after;
  bool stubLibrary = false;  // the stub as "../Quillframe.dll"
  int exitCode = 0;          // WinMain's: 1 for a refused start
};

// gtest prints a case by its name.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class Rules : public GameRun, public ::testing::WithParamInterface<Case> {};

// The steps to the goal with the watch set to `ms` in the pass the ball
// reaches it, then a check that the run was won.
std::vector<ScriptStep> winIn(GameRun& t, uint64_t ms) {
  std::vector<ScriptStep> steps = t.walkToGoal();
  ScriptStep goal = std::move(steps.back());
  steps.pop_back();
  steps.push_back(callAt(2, [ms] { gameWatch.set_elapsed(msTicks(ms)); }));
  goal.passes = 0;
  steps.push_back(std::move(goal));
  steps.push_back(callAt(1, [] { EXPECT_EQ(gameWon, 1); }));
  return steps;
}

int bestResult() { return gaApp->cfg->GetInt("best_result"); }

const Case kCases[] = {
    {"WinsStoreThenKeepThenReplaceTheBest",
     {{"best_result", ""}},
     [](GameRun& t) {
       auto best = std::make_shared<int>(0);
       std::vector<ScriptStep> s = winIn(t, 5000);
       s.push_back(callAt(0, [best] {
         *best = bestResult();  // missing: the first win stores
         EXPECT_GE(*best, 5000);
         EXPECT_LT(*best, 9000);
       }));
       t.append(s, t.click(t.buttonMiddle("but_new")));
       t.append(s, winIn(t, 9000));
       s.push_back(callAt(0, [best] { EXPECT_EQ(bestResult(), *best); }));  // slower: kept
       t.append(s, t.click(t.buttonMiddle("but_new")));
       t.append(s, winIn(t, 2000));
       s.push_back(callAt(0, [best] {
         *best = bestResult();  // faster: replaces
         EXPECT_GE(*best, 2000);
         EXPECT_LT(*best, 5000);
       }));
       t.append(s, t.click(t.buttonMiddle("but_exit")));
       return s;
     },
     [](GameRun& t) {
       const int best = t.cfgInt("best_result");
       EXPECT_GE(best, 2000);
       EXPECT_LT(best, 5000);
     }},

    {"TextsCountTenthsAndANewRunWaitsOnTheStart",
     {},
     [](GameRun& t) {
       auto moved = std::make_shared<std::chrono::steady_clock::time_point>();
       const Point start = t.start(), wall = t.wall();
       std::vector<ScriptStep> s;
       s.push_back(moveTo(2, wall.x, wall.y));
       s.push_back(callAt(2, [] {
         ASSERT_EQ(gameLost, 1);  // the watch is paused from here
         EXPECT_EQ(shown(gameHighscore), "00");  // a best of 0
         gameWatch.set_elapsed(msTicks(12345));
       }));
       s.push_back(callAt(1, [] {
         EXPECT_EQ(shown(gameScore), "123");
         gameWatch.set_elapsed(msTicks(50));
       }));
       s.push_back(callAt(1, [] { EXPECT_EQ(shown(gameScore), "00"); }));
       t.append(s, t.click(t.buttonMiddle("but_new")));
       // On the start point the watch waits at 0, however long.
       s.push_back(callAt(1, [] {
         EXPECT_EQ(shown(gameScore), "00");
         EXPECT_TRUE(gameWatch.paused());
         std::this_thread::sleep_for(std::chrono::milliseconds(300));
       }));
       s.push_back(callAt(2, [] {
         EXPECT_EQ(shown(gameScore), "00");
         EXPECT_EQ(gameWatch.elapsed_ms(), 0u);
       }));
       // Off the start point (still in its cell) it counts from 0.
       s.push_back(moveTo(1, start.x + 4, start.y));
       s.push_back(callAt(0, [moved] { *moved = std::chrono::steady_clock::now(); }));
       s.push_back(callAt(1, [moved] {
         EXPECT_FALSE(gameWatch.paused());
         const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - *moved);
         EXPECT_LE(gameWatch.elapsed_ms(), uint64_t(since.count()) + 2);
         std::this_thread::sleep_for(std::chrono::milliseconds(150));
       }));
       s.push_back(callAt(1, [] {
         EXPECT_EQ(gameLost, 0);
         EXPECT_NE(shown(gameScore), "00");
       }));
       return s;
     },
     nullptr},

    {"AWinIsTakenOnce",
     {},
     [](GameRun& t) {
       auto frozen = std::make_shared<uint64_t>(0);
       std::vector<ScriptStep> s = t.walkToGoal();
       s.push_back(callAt(1, [frozen] {
         ASSERT_EQ(gameWon, 1);
         EXPECT_GT(bestResult(), 0);
         EXPECT_TRUE(gameWatch.paused());
         *frozen = gameWatch.elapsed_ms();
         // A best of 0 would take any time: the won run must not be taken again.
         gaApp->cfg->SetInt("best_result", 0);
       }));
       s.push_back(callAt(25, [frozen] {
         EXPECT_EQ(bestResult(), 0);
         EXPECT_EQ(gameWon, 1);
         EXPECT_EQ(gameWinBanner.sprite.shown, 1);
         EXPECT_EQ(gameWatch.elapsed_ms(), *frozen);
       }));
       return s;
     },
     [](GameRun& t) { EXPECT_EQ(t.cfgValue("best_result"), "0"); }},

    {"NewAfterALossPutsTheCursorOnTheStartAndHidesTheBanners",
     {},
     [](GameRun& t) {
       const Point start = t.start(), wall = t.wall();
       std::vector<ScriptStep> s;
       s.push_back(moveTo(2, wall.x, wall.y));
       s.push_back(callAt(2, [] {
         ASSERT_EQ(gameLost, 1);
         EXPECT_EQ(gameOverBanner.sprite.shown, 1);
       }));
       t.append(s, t.click(t.buttonMiddle("but_new")));
       s.push_back(callAt(1, [start] {
         EXPECT_EQ(gameLost, 0);
         EXPECT_EQ(gameWon, 0);
         POINT cursor{};
         ASSERT_TRUE(GetCursorPos(&cursor));
         const Point origin = clientOrigin();
         EXPECT_EQ(cursor.x, origin.x + start.x);
         EXPECT_EQ(cursor.y, origin.y + start.y);
         EXPECT_EQ(gameOverBanner.sprite.shown, 0);
         EXPECT_EQ(gameWinBanner.sprite.shown, 0);
       }));
       return s;
     },
     nullptr},

    {"F9TakesTheNextFreeSnapshotNumber",
     {},
     [](GameRun& t) {
       writeBytes((t.game_ / "Ball Maze_0.bmp").string(), "zero");
       writeBytes((t.game_ / "Ball Maze_1.bmp").string(), "one");
       std::vector<ScriptStep> s;
       s.push_back(moveTo(2, t.solution_[1].x, t.solution_[1].y));
       t.append(s, t.tap(kF9));
       return s;
     },
     [](GameRun& t) {
       EXPECT_EQ(t.snapshots(), (std::vector<std::string>{"Ball Maze_0.bmp", "Ball Maze_1.bmp", "Ball Maze_2.bmp"}));
       EXPECT_EQ(readBytes((t.game_ / "Ball Maze_0.bmp").string()), "zero");
       EXPECT_EQ(readBytes((t.game_ / "Ball Maze_1.bmp").string()), "one");
       EXPECT_EQ(readBytes((t.game_ / "Ball Maze_2.bmp").string()).substr(0, 2), "BM");
     }},

    {"F9AndF5InOnePassTakeOneSnapshot",
     {},
     [](GameRun&) {
       return std::vector<ScriptStep>{keyDown(2, kF9), keyDown(0, kF5), keyUp(3, kF9), keyUp(0, kF5)};
     },
     [](GameRun& t) { EXPECT_EQ(t.snapshots(), std::vector<std::string>{"Ball Maze_0.bmp"}); }},

    {"SharedImageWriterAndOneWritePerPass",
     {{"share_image", "1"}},
     [](GameRun& t) {
       QuillframeStubState* stub = stubState(stubPath(t));
       auto mark = std::make_shared<std::pair<int, int>>();
       std::vector<ScriptStep> s;
       s.push_back(callAt(2, [stub, mark] {
         ASSERT_EQ(stub->writerCalls, 1);
         EXPECT_EQ(stub->writerValues[0], 1);  // announced at pre-init
         *mark = {stub->beginCalls, stub->endCalls};
       }));
       s.push_back(callAt(7, [stub, mark] {
         EXPECT_EQ(stub->beginCalls - mark->first, 7);
         EXPECT_EQ(stub->endCalls - mark->second, 7);
       }));
       return s;
     },
     [](GameRun& t) {
       QuillframeStubState* stub = stubState(stubPath(t));
       ASSERT_NE(stub, nullptr);
       ASSERT_EQ(stub->writerCalls, 2);
       EXPECT_EQ(stub->writerValues[1], 0);  // withdrawn at exit
       const std::string order(stub->order, size_t(stub->orderLength));
       EXPECT_TRUE(std::regex_match(order, std::regex("w(be)+w"))) << order;
     },
     true},

    {"SharedImageNullBufferDrawsNothing",
     {{"share_image", "1"}},
     [](GameRun& t) {
       QuillframeStubState* stub = stubState(stubPath(t));
       stub->giveNullBuffer = 1;
       std::vector<ScriptStep> s;
       s.push_back(moveTo(2, t.solution_[1].x, t.solution_[1].y));
       s.push_back(callAt(5, [stub] {
         EXPECT_GT(stub->beginCalls, 5);
         EXPECT_EQ(stub->beginCalls, stub->endCalls);
         // Nothing in the shared image, nothing in the window.
         const uint16_t* pels = stub->pels;
         EXPECT_TRUE(std::all_of(pels, pels + 800 * 600, [](uint16_t p) { return p == 0; }));
         const plat::test::PelImage window = plat::test::readWindowSurface(gaApp->window);
         // Black, the window's fourth byte aside (X8R8G8B8 in memory order B, G, R, X).
         const int bytes = window.bitsPerPel / 8;
         size_t lit = 0;
         for (size_t i = 0; i < window.pels.size(); ++i)
           if (window.pels[i] != 0 && !(bytes == 4 && i % 4 == 3)) ++lit;
         EXPECT_EQ(lit, 0u) << "bytes of colour in the window";
       }));
       return s;
     },
     nullptr,
     true},

    {"SharedImageRowsAreTheScene",
     {{"share_image", "1"}},
     [](GameRun& t) {
       stubState(stubPath(t));
       return std::vector<ScriptStep>{callAt(6, [] {})};
     },
     [](GameRun& t) {
       QuillframeStubState* stub = stubState(stubPath(t));
       ASSERT_NE(stub, nullptr);
       // R5G6B5 rows of 1600 bytes, compared by Pillow with bkg.jpg away
       // from the ball (on the start point) and the band of texts and buttons.
       const std::string pels = (t.tmp_.path / "shared.raw").string();
       writeBytes(pels, std::string(reinterpret_cast<const char*>(stub->pels), sizeof stub->pels));
       const Point start = t.start();
       EXPECT_EQ(runPython({CHECK_SCENE, "r5g6b5", pels, (t.game_ / "DATA" / "bkg.jpg").string(),
                            std::to_string(start.x), std::to_string(start.y)}),
                 0);
     },
     true},

    {"AMissingSharedLibraryWarnsAndPlayGoesOn",
     {{"share_image", "1"}},
     [](GameRun& t) {
       std::vector<ScriptStep> s = t.walkToGoal();
       s.push_back(callAt(1, [] { EXPECT_EQ(gameWon, 1); }));
       return s;
     },
     [](GameRun& t) {
       // One warning in the game's log, no box.
       EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
       int warnings = 0;
       for (const auto& e : std::filesystem::recursive_directory_iterator(t.tmp_.path)) {
         if (e.path().extension() != ".log") continue;
         std::istringstream log(readBytes(e.path().string()));
         for (std::string line; std::getline(log, line);)
           if (line.find("warning") != std::string::npos && line.find("Quillframe.dll") != std::string::npos)
             ++warnings;
       }
       EXPECT_EQ(warnings, 1);
       EXPECT_GT(t.cfgInt("best_result"), 0);
     }},

    {"AMissingMaskIsReportedOnceAndEndsCleanly",
     {},
     [](GameRun& t) {
       std::filesystem::remove(t.game_ / "DATA" / "mask.bmp");
       return std::vector<ScriptStep>{};
     },
     [](GameRun& t) {
       const auto boxes = plat::test::takeMessageBoxes();
       ASSERT_EQ(boxes.size(), 1u);
       EXPECT_NE(boxes[0].text.find("mask.bmp"), std::string::npos) << boxes[0].text;
       // Start-up failed: nothing is written back.
       EXPECT_EQ(t.cfgText(), readBytes((std::filesystem::path(GAME_DIR) / "maze.cfg").string()));
     },
     false,
     1},

    {"ASceneOtherThan800x600IsRefused",
     {{"SCR_LX", "640"}},
     [](GameRun&) { return std::vector<ScriptStep>{}; },
     [](GameRun& t) {
       const auto boxes = plat::test::takeMessageBoxes();
       ASSERT_EQ(boxes.size(), 1u);
       EXPECT_NE(boxes[0].text.find("SCR_LX"), std::string::npos) << boxes[0].text;
       EXPECT_NE(boxes[0].text.find("SCR_LY"), std::string::npos) << boxes[0].text;
       // ... and what mends them.
       EXPECT_NE(boxes[0].text.find("maze.cfg. Run \"make run\""), std::string::npos) << boxes[0].text;
       // The configuration keeps every value it had.
       std::istringstream before(readBytes((std::filesystem::path(GAME_DIR) / "maze.cfg").string()));
       for (std::string line; std::getline(before, line);) {
         const std::string key = line.substr(0, line.find(" = "));
         const std::string value = key == "SCR_LX" ? "640" : line.substr(line.find(" = ") + 3);
         EXPECT_EQ(t.cfgValue(key), value) << key;
       }
     },
     false,
     1},

    {"AConfigurationThatIsADirectoryIsNamed",
     {},
     [](GameRun& t) {
       std::filesystem::remove(t.game_ / "maze.cfg");
       std::filesystem::create_directories(t.game_ / "maze.cfg" / "kept");
       return std::vector<ScriptStep>{};
     },
     [](GameRun& t) {
       const auto boxes = plat::test::takeMessageBoxes();
       ASSERT_EQ(boxes.size(), 1u);
       EXPECT_NE(boxes[0].text.find("maze.cfg is not a file but a directory"), std::string::npos) << boxes[0].text;
       EXPECT_EQ(boxes[0].text.find("SCR_LX"), std::string::npos) << boxes[0].text;
       EXPECT_TRUE(std::filesystem::is_directory(t.game_ / "maze.cfg" / "kept"));
     },
     false,
     1},
};

TEST_P(Rules, Case) {
  const Case& c = GetParam();
  for (const auto& [key, value] : c.cfg) setCfg(key, value);
  if (c.stubLibrary) std::filesystem::copy_file(QUILLFRAME_STUB, stubPath(*this));
  std::vector<ScriptStep> steps = c.script(*this);
  EXPECT_EQ(run(std::move(steps)), c.exitCode);
  if (c.after) c.after(*this);
}

INSTANTIATE_TEST_SUITE_P(Game, Rules, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
