// The scene's layout: an 800 x 600 scene, the maze above a 60-pel band that
// holds the two time displays and the two buttons, side by side.
#pragma once

#include "tools/maze.h"

constexpr int kSceneW = 800;
constexpr int kSceneH = 600;
constexpr int kBandTop = kSceneH - 60;
static_assert(Maze::kBottom <= kBandTop, "the maze's frame stays above the band");

constexpr int kButtonW = 120;
constexpr int kButtonH = 40;
constexpr int kBannerW = 400;
constexpr int kBannerH = 120;

// The labels painted into the background's band.
struct Label {
  int x, y;
  const char* text;
};
constexpr int kLabelScale = 2;
constexpr Label kLabels[] = {{10, kBandTop + 23, "TIME"}, {250, kBandTop + 23, "BEST"}};

// The position keys "<name>_x", "<name>_y" of every object of the scene.
struct Placement {
  const char* name;
  int x, y;
};
inline constexpr Placement kPlacements[] = {
    {"bkg", 0, 0},
    {"score", 150, kBandTop + 2},
    {"highscore", 390, kBandTop + 2},
    {"game_over", (kSceneW - kBannerW) / 2, 200},
    {"game_win", (kSceneW - kBannerW) / 2, 200},
    {"cursor", 0, 0},
    {"but_new", 520, kBandTop + 10},
    {"but_exit", 660, kBandTop + 10},
    {"ball", Maze::start().x, Maze::start().y},
};
