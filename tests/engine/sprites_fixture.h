// What the sprite tests share: solid images, a list with its grid read back
// as counters, and a sprite that counts its draws.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/spr.h"
#include "engine/sprs.h"
#include "images_fixture.h"

// Found by argument lookup: rectCTy lives in the global namespace.
inline bool operator==(const rectCTy& a, const rectCTy& b) {
  return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

inline std::ostream& operator<<(std::ostream& out, const rectCTy& r) {
  return out << "{" << r.x << ", " << r.y << ", " << r.w << ", " << r.h << "}";
}

namespace engine_test {

using Image = std::unique_ptr<imgRowCTy>;

// An X8R8G8B8 image of one colour.
inline Image solid(int w, int h, uint32_t colour) {
  Image image(makeImage(w, h, pel_FMT_X8R8G8B8));
  image->Fill(colour, nullptr);
  return image;
}

// The grid's counters, one text row per grid row ("0030...").
inline std::vector<std::string> counters(const sprsCTy& list) {
  std::vector<std::string> rows;
  for (uint32_t r = 0; r < list.grid.rows; ++r) {
    std::string row;
    for (uint32_t c = 0; c < list.grid.cols; ++c) row += char('0' + list.grid.cells[r * list.grid.cols + c]);
    rows.push_back(row);
  }
  return rows;
}

// The counters a mark of the rectangles (in pels) with `count` leaves on a
// fresh grid of the list's geometry.
inline std::vector<std::string> marked(const sprsCTy& list, const std::vector<rectCTy>& rects, int count = 3) {
  std::vector<std::string> rows(list.grid.rows, std::string(list.grid.cols, '0'));
  for (const rectCTy& r : rects)
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x) rows[y / list.grid.cellH][x / list.grid.cellW] = char('0' + count);
  return rows;
}

inline void clearGrid(sprsCTy& list) {
  std::fill(list.grid.cells, list.grid.cells + list.grid.cols * list.grid.rows, 0);
}

inline rectCTy rect(int x, int y, int w, int h) { return rectCTy{{x, y, w, h}}; }

// A sprite of a fixed rectangle that counts its draws and the clips given.
class CountingSprite : public sprCTy {
 public:
  explicit CountingSprite(rectCTy r) : r_(r) {}
  ~CountingSprite() override { Detach(); }
  void Draw() override { clips.push_back(drawClip); }
  void GetRect(rectCTy* out) override {
    *out = r_;
    out->x += x;
    out->y += y;
  }
  std::vector<rectCTy> clips;

 private:
  rectCTy r_;
};

// The pel at (x, y) of an X8R8G8B8 image, without its fourth byte.
inline uint32_t rgb(imgRowCTy& image, int x, int y) { return image.PelAtXY(x, y) & 0xFFFFFF; }

}  // namespace engine_test
