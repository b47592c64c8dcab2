#include "tools/maze.h"

#include <algorithm>

namespace {

// A small generator with fixed output for a seed (xorshift32).
struct Random {
  uint32_t state;
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
};

constexpr int kDx[4] = {1, 0, -1, 0};
constexpr int kDy[4] = {0, 1, 0, -1};

}  // namespace

Maze::Maze(uint32_t seed) : east_(kCols * kRows, false), south_(kCols * kRows, false) {
  Random random{seed ? seed : 1};
  std::vector<bool> seen(kCols * kRows, false);
  std::vector<int> stack{0};
  seen[0] = true;
  while (!stack.empty()) {
    int cell = stack.back();
    int col = cell % kCols, row = cell / kCols;
    int choices[4], n = 0;
    for (int d = 0; d < 4; ++d) {
      int c = col + kDx[d], r = row + kDy[d];
      if (c >= 0 && r >= 0 && c < kCols && r < kRows && !seen[r * kCols + c]) choices[n++] = d;
    }
    if (n == 0) {
      stack.pop_back();
      continue;
    }
    int d = choices[random.next() % n];
    int c = col + kDx[d], r = row + kDy[d];
    if (d == 0) east_[cell] = true;
    if (d == 1) south_[cell] = true;
    if (d == 2) east_[r * kCols + c] = true;
    if (d == 3) south_[r * kCols + c] = true;
    seen[r * kCols + c] = true;
    stack.push_back(r * kCols + c);
  }
}

std::vector<Maze::Rect> Maze::walls() const {
  std::vector<Rect> out;
  out.push_back({kLeft, kTop, kRight - kLeft, kWall});
  out.push_back({kLeft, kBottom - kWall, kRight - kLeft, kWall});
  out.push_back({kLeft, kTop, kWall, kBottom - kTop});
  out.push_back({kRight - kWall, kTop, kWall, kBottom - kTop});
  for (int row = 0; row < kRows; ++row)
    for (int col = 0; col < kCols; ++col) {
      int x = kLeft + (col + 1) * kPitch, y = kTop + (row + 1) * kPitch;
      // The post at the cell's lower right corner, then its closed walls.
      out.push_back({x, y, kWall, kWall});
      if (col + 1 < kCols && !openEast(col, row)) out.push_back({x, y - kCorridor, kWall, kCorridor});
      if (row + 1 < kRows && !openSouth(col, row)) out.push_back({x - kCorridor, y, kCorridor, kWall});
    }
  return out;
}

std::vector<ScenePoint> Maze::solution() const {
  // Breadth-first from the start; the maze is a tree, so the path is unique.
  std::vector<int> from(kCols * kRows, -1);
  std::vector<int> queue{0};
  from[0] = 0;
  for (size_t i = 0; i < queue.size(); ++i) {
    int cell = queue[i], col = cell % kCols, row = cell / kCols;
    for (int d = 0; d < 4; ++d) {
      int c = col + kDx[d], r = row + kDy[d];
      if (c < 0 || r < 0 || c >= kCols || r >= kRows) continue;
      bool open = d == 0 ? openEast(col, row) : d == 1 ? openSouth(col, row)
                : d == 2 ? openEast(c, r) : openSouth(c, r);
      int next = r * kCols + c;
      if (open && from[next] < 0) {
        from[next] = cell;
        queue.push_back(next);
      }
    }
  }
  std::vector<ScenePoint> path;
  for (int cell = kCols * kRows - 1;; cell = from[cell]) {
    path.push_back(cellCentre(cell % kCols, cell / kCols));
    if (cell == 0) break;
  }
  std::reverse(path.begin(), path.end());
  return path;
}
