// Moves of the pointer through WinMain, one case per process: a move is
// tested along its whole way, however far the pointer jumped in one pass,
// and the ball stays where the run was decided.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "game/game.h"
#include "game_run.h"
#include "talvo/CpuInfo.h"

namespace {

using game_test::GameRun;
using game_test::Point;
using plat::test::callAt;
using plat::test::moveTo;
using plat::test::ScriptStep;

constexpr uint8_t kWall[3] = {255, 255, 255};  // B, G, R
constexpr uint8_t kGoal[3] = {0, 0, 255};
constexpr int kStride = 10;  // pels a pass when walking in small steps
constexpr int kNoDecision = -1, kLoss = 0, kWin = 1;

// A path: the pointer goes through the points, one a pass. `jumpFrom` is
// where the last move begins.
struct Path {
  std::vector<ScriptStep> steps;
  Point jumpFrom{}, target{};
};

// Walks from a to b in moves of at most `stride` pels (b included).
void walk(Path& path, Point a, Point b, int stride) {
  const int n = std::max(1, (std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)) + stride - 1) / stride);
  for (int i = 1; i <= n; ++i)
    path.steps.push_back(moveTo(1, a.x + (b.x - a.x) * i / n, a.y + (b.y - a.y) * i / n));
  path.jumpFrom = {a.x + (b.x - a.x) * (n - 1) / n, a.y + (b.y - a.y) * (n - 1) / n};
  path.target = b;
}

// Walks the solution from the start to its point `last`, a cell a pass
// unless in small steps.
Path walkSolution(const GameRun& t, size_t last, int stride = 1 << 20) {
  Path path;
  path.jumpFrom = path.target = t.solution_[0];
  for (size_t i = 1; i <= last; ++i) walk(path, t.solution_[i - 1], t.solution_[i], stride);
  return path;
}

// One move from where the path ends to b.
void jump(Path& path, Point b) {
  path.steps.push_back(moveTo(1, b.x, b.y));
  path.jumpFrom = path.target;
  path.target = b;
}

bool gridNeighbours(Point a, Point b, int pitch) {
  return (a.x == b.x && std::abs(a.y - b.y) == pitch) || (a.y == b.y && std::abs(a.x - b.x) == pitch);
}

// Where the ball stands after the last move: anywhere (the run was decided
// on the way), on the move's end, or short of it, where the move decided.
enum class Landing { Anywhere, OnTarget, ShortOfTarget };

struct Case {
  const char* name;
  std::function<Path(const GameRun&)> path;
  int result;  // kNoDecision: still playing
  Landing landing;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class Moves : public GameRun, public ::testing::WithParamInterface<Case> {};

const Case kCases[] = {
    {"AJumpAcrossOneWallLoses",
     [](const GameRun& t) {
       // Two cells of the solution side by side whose path between them is
       // long: in a perfect maze the wall between them is closed.
       const auto& s = t.solution_;
       const int pitch = std::abs(s[1].x - s[0].x) + std::abs(s[1].y - s[0].y);
       for (size_t i = 0; i < s.size(); ++i)
         for (size_t j = i + 2; j < s.size(); ++j)
           if (gridNeighbours(s[i], s[j], pitch)) {
             Path p = walkSolution(t, i);
             jump(p, s[j]);
             return p;
           }
       ADD_FAILURE() << "no two cells of the solution side by side";
       return Path{};
     },
     kLoss, Landing::ShortOfTarget},

    {"AJumpFromTheStartOntoTheGoalLoses",
     [](const GameRun& t) {
       Path p = walkSolution(t, 0);
       jump(p, t.solution_.back());
       return p;
     },
     kLoss, Landing::ShortOfTarget},

    {"ALongJumpAlongAFreeCorridorDoesNotLose",
     [](const GameRun& t) {
       // The longest straight run of the solution, the goal's cell aside.
       const auto& s = t.solution_;
       size_t best = 0, bestLength = 0;
       for (size_t i = 0; i + 1 < s.size(); ++i) {
         size_t j = i + 1;
         while (j + 2 < s.size() && (s[j + 1].x == s[i].x || s[j + 1].y == s[i].y) &&
                (s[j + 1].x == s[j].x || s[j + 1].y == s[j].y))
           ++j;
         if (j - i > bestLength) best = i, bestLength = j - i;
       }
       EXPECT_GE(bestLength, 2u) << "no straight run of three cells";
       Path p = walkSolution(t, best);
       jump(p, s[best + bestLength]);
       return p;
     },
     kNoDecision, Landing::OnTarget},

    {"AMoveThatReachesTheGoalBeforeAnyWallWins",
     [](const GameRun& t) {
       // From the cell before the goal's, through the goal, onto the wall
       // beyond it.
       const auto& s = t.solution_;
       const Point before = s[s.size() - 2], goal = s.back();
       Path p = walkSolution(t, s.size() - 2);
       jump(p, {goal.x + (goal.x - before.x) / 2, goal.y + (goal.y - before.y) / 2});
       return p;
     },
     kWin, Landing::ShortOfTarget},

    {"TheSolutionWalkedInSmallStepsWinsWithItsTime",
     [](const GameRun& t) {
       const auto& s = t.solution_;
       Path p = walkSolution(t, s.size() - 2, kStride);
       // The last stretch begins at 7 s.
       p.steps.push_back(callAt(0, [] { gameWatch.set_elapsed((7000 * talvo::tick_frequency() + 999) / 1000); }));
       walk(p, s[s.size() - 2], s.back(), kStride);
       return p;
     },
     kWin, Landing::Anywhere},
};

TEST_P(Moves, Case) {
  const Case& c = GetParam();
  setCfg("FPS_LIMIT", "0");
  Path path = c.path(*this);
  ASSERT_FALSE(path.steps.empty());
  const Point from = path.jumpFrom, target = path.target;
  const int result = c.result;
  const Landing landing = c.landing;
  path.steps.push_back(callAt(2, [from, target, result, landing] {
    AnimSprite* ball = gameBall.get();
    ASSERT_NE(ball, nullptr);
    EXPECT_EQ(gameLost, result == kLoss ? 1 : 0);
    EXPECT_EQ(gameWon, result == kWin ? 1 : 0);
    const Point at{ball->x, ball->y};
    if (landing == Landing::Anywhere) return;
    if (landing == Landing::OnTarget) {
      EXPECT_EQ(at.x, target.x);
      EXPECT_EQ(at.y, target.y);
      return;
    }
    // The ball stands where its way was decided: on the move's line, short
    // of its end, and deciding there alone. Its end alone would not have
    // decided the same (the move shows what only testing the way can).
    const long cross = long(at.x - from.x) * (target.y - from.y) - long(at.y - from.y) * (target.x - from.x);
    const long length = std::abs(target.x - from.x) + std::abs(target.y - from.y);
    EXPECT_LE(std::abs(cross), length) << "off the line: " << at.x << "," << at.y;
    EXPECT_TRUE(at.x != target.x || at.y != target.y) << "at the move's end";
    EXPECT_TRUE(at.x != from.x || at.y != from.y) << "at the move's start";
    EXPECT_EQ(ball->Collide(gameMask, kWall, kGoal), result);
    ball->SetPos(target.x, target.y);
    EXPECT_NE(ball->Collide(gameMask, kWall, kGoal), result);
    ball->SetPos(at.x, at.y);
  }));
  EXPECT_EQ(run(std::move(path.steps)), 0);
  if (c.result == kWin && c.landing == Landing::Anywhere) {
    // The time the run took.
    const int best = cfgInt("best_result");
    EXPECT_GE(best, 7000);
    EXPECT_LT(best, 9000);
  }
}

INSTANTIATE_TEST_SUITE_P(Game, Moves, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
