// Lines: the float DDA's pels, clipping to the rectangle and the image, and
// random segments that must never write outside the rectangle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "image_ops/Segment.h"
#include "img/Image.h"
#include "img/Op.h"
#include "op_reference.h"
#include "talvo/Exception.h"

using namespace talvo::g;
using opref::Picture;
using Pels = std::set<std::pair<int, int>>;

namespace {

struct Line {
  float x0, y0, x1, y1;
};

void draw_line(Image& image, const Rect* rect, std::uint32_t pel, const Line& l, std::uint32_t word = 0) {
  opref::run_unary(image, rect, image.context()->new_line(pel, l.x0, l.y0, l.x1, l.y1, word));
}

// The pels that differ between two copies of a picture's bytes, and whether
// any byte outside the pels (guards, row slack) differs.
Pels changed(Picture& pic, std::vector<std::uint8_t>& before, bool& outside_pels) {
  Pels out;
  std::vector<std::uint8_t> rest = before;
  for (int y = 0; y < pic.buf.height; ++y)
    for (int x = 0; x < pic.buf.width; ++x) {
      if (pelref::load(pic.in(before, x, y), pic.buf.size) != pic.buf.pel(x, y)) out.insert({x, y});
      pelref::store(pic.in(rest, x, y), pic.buf.size, pic.buf.pel(x, y));
    }
  outside_pels = rest != pic.buf.bytes;
  return out;
}

// The pels a line writes, all ones, on a picture whose pels start at zero
// (guards and row slack as they come); fails when a byte outside the pels
// changes.
Pels written_on(int type, int w, int h, bool bottom_up, const Rect* rect, const Line& l, std::uint32_t word,
                std::mt19937& rng) {
  Picture pic(w, h, PelFmt(type), bottom_up, rng);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) pelref::store(pic.buf.at(x, y), pic.buf.size, 0);
  std::vector<std::uint8_t> before = pic.buf.bytes;
  draw_line(pic.image, rect, 0xFFFFFFFF, l, word);
  bool outside = false;
  Pels out = changed(pic, before, outside);
  EXPECT_FALSE(outside) << "a byte outside the pels changed";
  return out;
}

// The pels a line writes on a 16 x 12 Rgbx8888 picture through a rectangle.
Pels written(const Line& l, const Rect& rect, std::uint32_t word = 0) {
  std::mt19937 rng(1);
  return written_on(2, 16, 12, false, &rect, l, word, rng);
}

Pels row_of(int y, int x0, int x1) {
  Pels out;
  for (int x = x0; x <= x1; ++x) out.insert({x, y});
  return out;
}
Pels column_of(int x, int y0, int y1) {
  Pels out;
  for (int y = y0; y <= y1; ++y) out.insert({x, y});
  return out;
}
Pels diagonal(int from, int to) {
  Pels out;
  for (int i = from; i <= to; ++i) out.insert({i, i});
  return out;
}
Pels join(Pels a, const Pels& b) {
  a.insert(b.begin(), b.end());
  return a;
}

}  // namespace

TEST(Lines, WorkedCases) {
  const Rect all{0, 0, 16, 12};
  const struct {
    const char* what;
    Line line;
    Rect rect;
    Pels want;
  } cases[] = {
      {"a point", {2, 3, 2, 3}, all, {{2, 3}}},
      {"(0,0)-(10,1) steps down at column 10", {0, 0, 10, 1}, all, join(row_of(0, 0, 9), {{10, 1}})},
      {"(0,0)-(9,3) ends at (9,2)",
       {0, 0, 9, 3},
       all,
       {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 1}, {6, 2}, {7, 2}, {8, 2}, {9, 2}}},
      {"a diagonal has one pel a column", {0, 0, 10, 10}, all, diagonal(0, 10)},
      {"drawn backwards", {10, 10, 0, 0}, all, diagonal(0, 10)},
      {"y-major (1,0)-(3,9)",
       {1, 0, 3, 9},
       all,
       {{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 5}, {2, 6}, {2, 7}, {2, 8}, {3, 9}}},
      {"vertical through the rectangle", {5, -4, 5, 20}, Rect{0, 0, 10, 10}, column_of(5, 0, 9)},
      {"vertical in the right-most column", {5, -4, 5, 20}, Rect{0, 0, 6, 10}, column_of(5, 0, 9)},
      {"entering at the corner", {-2, -2, 5, 5}, Rect{0, 0, 10, 10}, diagonal(0, 5)},
      {"leaving through the bottom row", {2, 5, 2, 12}, Rect{0, 0, 10, 10}, column_of(2, 5, 9)},
      {"ends sharing x: the start pel only", {3.2f, 4.1f, 3.2f, 4.8f}, all, {{3, 4}}},
      {"ceil of the end is the right edge: stops at right - 1",
       {0, 2, 11.5f, 2},
       Rect{0, 0, 12, 10},
       row_of(2, 0, 11)},
      {"ceil of the end is the bottom edge: stops at bottom - 1",
       {4, 0, 4.5f, 9.5f},
       Rect{0, 0, 12, 10},
       column_of(4, 0, 9)},
      {"outside the rectangle", {0, 0, 15, 3}, Rect{0, 5, 16, 12}, {}},
      {"an empty rectangle", {0, 6, 15, 6}, Rect{6, 0, 6, 12}, {}},
      {"a rectangle past the image", {-5, 11, 30, 11}, Rect{-10, -10, 40, 40}, row_of(11, 0, 15)},
  };
  for (const auto& c : cases) EXPECT_EQ(written(c.line, c.rect), c.want) << c.what;
}

TEST(Lines, TheWordHasNoEffect) {
  const Rect all{0, 0, 16, 12};
  for (const Line& l : {Line{0.5f, 1.25f, 13.75f, 9.5f}, Line{7, -3, 2, 30}})
    EXPECT_EQ(written(l, all, 0), written(l, all, 0xDEADBEEF));
}

TEST(Lines, ClipMovesAnEndBackOntoTheLastRow) {
  // One end inside, the other past the bottom: the inside end stays, the
  // crossing with the last full row becomes the other end.
  const FRect r{0, 0, 10, 10};
  FSegment out{};
  ASSERT_TRUE((FSegment{2, 5, 2, 12}.clip(r, out)));
  EXPECT_EQ(out.x0, 2);
  EXPECT_EQ(out.y0, 5);
  EXPECT_EQ(out.y1, 9);
  // An end inside but past the last full column is moved back onto it when
  // the other end lies outside.
  ASSERT_TRUE((FSegment{-4, 3, 9.5f, 3}.clip(r, out)));
  EXPECT_EQ(out.x0, 0);
  EXPECT_EQ(out.x1, 9);
  // Both ends inside: neither moves.
  ASSERT_TRUE((FSegment{1, 1, 9.5f, 9.5f}.clip(r, out)));
  EXPECT_EQ(out.x1, 9.5f);
  EXPECT_EQ(out.y1, 9.5f);
  EXPECT_FALSE((FSegment{-5, -5, -1, 20}.clip(r, out)));
}

// Random segments of every pel size, with ends inside, on the edges, far
// outside, huge, infinite or not a number, through rectangles that may reach
// past the image: no byte outside the rectangle (guards and row slack
// included) changes, a segment drawn backwards writes the same pels, and one
// with both ends inside writes its start pel.
TEST(Lines, RandomSegmentsStayInTheirRectangle) {
  std::mt19937 rng(41);
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  auto coord = [&](int extent) -> float {
    switch (rng() % 16) {
      case 0:
        return float(std::int32_t(rng() % 2000000) - 1000000) / 7.0f;
      case 1:
        return rng() % 2 ? 3e30f : -3e30f;
      case 2:
        return rng() % 8 ? (rng() % 2 ? inf : -inf) : nan;
      case 3:
        return float(int(rng() % (extent + 1)));  // on a pel edge
      default:
        return float(int(rng() % (8 * extent))) / 7.0f - 3;
    }
  };
  constexpr int w = 40, h = 32;
  constexpr int runs = 1200;
  int drawn = 0;
  for (int i = 0; i < runs; ++i) {
    const int type = opref::all_types[i % 8];
    const Line l{coord(w), coord(h), coord(w), coord(h)};
    const int x0 = int(rng() % 40) - 6, y0 = int(rng() % 32) - 6;
    const Rect rect{x0, y0, x0 + int(rng() % 44), y0 + int(rng() % 36)};
    Rect inside{0, 0, w, h};
    inside.intersect(rect);

    const Pels pels = written_on(type, w, h, i % 2, &rect, l, 0, rng);
    for (const auto& [x, y] : pels)
      ASSERT_TRUE(inside.contains(x, y)) << "line " << i << " wrote (" << x << ", " << y << ")";
    EXPECT_EQ(written_on(type, w, h, false, &rect, Line{l.x1, l.y1, l.x0, l.y0}, 0, rng), pels)
        << "line " << i << " drawn backwards";
    drawn += !pels.empty();

    const FRect fr{float(inside.x0), float(inside.y0), float(inside.x1), float(inside.y1)};
    if (!inside.empty() && fr.contains(l.x0, l.y0) && fr.contains(l.x1, l.y1)) {
      const bool x_major = !(int(std::fabs(l.x0 - l.x1)) < int(std::fabs(l.y0 - l.y1)));
      const bool first = x_major ? l.x0 <= l.x1 : l.y0 <= l.y1;
      const std::pair<int, int> start =
          first ? std::pair{int(l.x0), int(l.y0)} : std::pair{int(l.x1), int(l.y1)};
      EXPECT_TRUE(pels.count(start)) << "line " << i << " left out its start pel";
    }
  }
  EXPECT_GT(drawn, runs / 6);  // the mix reaches into the rectangles often enough
}

TEST(Lines, IndexedAndReservedTypesAreRefused) {
  opref::check_refused_on_indexed([](Image& img) { draw_line(img, nullptr, 0, {0, 0, 1, 1}); });
}
