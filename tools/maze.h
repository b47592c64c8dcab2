// The maze of the game's scene: a grid of cells carved into a perfect maze
// (one path between any two cells) by a depth-first walk from a fixed seed,
// and the path from the start cell to the goal cell.
#pragma once

#include <cstdint>
#include <vector>

struct ScenePoint {
  int x, y;
};

struct Maze {
  // Scene geometry: cells of kCorridor pels between walls of kWall pels,
  // the outer frame included, from (kLeft, kTop).
  static constexpr int kCols = 13;
  static constexpr int kRows = 8;
  static constexpr int kWall = 10;
  static constexpr int kCorridor = 50;
  static constexpr int kPitch = kWall + kCorridor;
  static constexpr int kLeft = 5;
  static constexpr int kTop = 20;
  static constexpr int kRight = kLeft + kCols * kPitch + kWall;   // one past the frame
  static constexpr int kBottom = kTop + kRows * kPitch + kWall;
  // The goal: a square in the last cell.
  static constexpr int kGoalSize = 30;

  explicit Maze(uint32_t seed);

  // Whether the wall east of / south of a cell is open.
  bool openEast(int col, int row) const { return east_[row * kCols + col]; }
  bool openSouth(int col, int row) const { return south_[row * kCols + col]; }

  static constexpr ScenePoint cellCentre(int col, int row) {
    return {kLeft + kWall + col * kPitch + kCorridor / 2, kTop + kWall + row * kPitch + kCorridor / 2};
  }
  static constexpr ScenePoint start() { return cellCentre(0, 0); }
  static constexpr ScenePoint goal() { return cellCentre(kCols - 1, kRows - 1); }

  // The wall rectangles {x, y, w, h}: the frame, and every closed wall
  // between cells (posts at the corners included).
  struct Rect {
    int x, y, w, h;
  };
  std::vector<Rect> walls() const;
  // Cell centres from the start cell to the goal cell.
  std::vector<ScenePoint> solution() const;

 private:
  std::vector<bool> east_, south_;
};
