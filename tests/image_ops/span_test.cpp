// Horizontal and vertical spans: patterns anchored at the start point,
// clipping to the rectangle and the image, coordinates at the ends of the
// 32-bit range, and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "img/Image.h"
#include "img/Op.h"
#include "op_reference.h"
#include "talvo/Exception.h"

using namespace talvo::g;
using opref::Picture;

namespace {

struct Span {
  bool vertical;
  std::int32_t x, y, length;
  std::uint32_t pattern;
};

void draw_span(Image& image, const Rect* rect, std::uint32_t pel, const Span& s) {
  ImageContext* ctx = image.context();
  if (s.vertical)
    opref::run_unary(image, rect, ctx->new_vline(pel, s.x, s.y, s.length, s.pattern));
  else
    opref::run_unary(image, rect, ctx->new_hline(pel, s.x, s.y, s.length, s.pattern));
}

// Whether the span writes pel (px, py), before any clipping: on its line,
// between its ends, and its pattern bit set, the bit counted from the start
// point modulo 32 in either direction.
bool on_span(const Span& s, std::int64_t px, std::int64_t py) {
  const std::int64_t along = s.vertical ? py : px, across = s.vertical ? px : py;
  const std::int64_t start = s.vertical ? s.y : s.x, end = start + s.length;
  if (across != (s.vertical ? s.x : s.y)) return false;
  if (along < std::min(start, end) || along > std::max(start, end)) return false;
  const std::int64_t bit = ((along - start) % 32 + 32) % 32;
  return (s.pattern >> bit) & 1;
}

// The pels a span writes into a w x h image through a rectangle (null: the
// whole image).
std::set<std::pair<int, int>> model(const Span& s, int w, int h, const Rect* rect) {
  Rect r{0, 0, w, h};
  if (rect) r.intersect(*rect);
  std::set<std::pair<int, int>> out;
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x)
      if (on_span(s, x, y)) out.insert({x, y});
  return out;
}

// Draws the span into a fresh picture and checks every byte of its buffer.
void check_span(int type, const Span& s, const Rect* rect, std::mt19937& rng) {
  constexpr int w = 40, h = 36;
  Picture pic(w, h, PelFmt(type), type % 2, rng);
  const int size = pic.buf.size;
  const std::uint32_t pel = 0x89ABCDEF;
  std::vector<std::uint8_t> want = pic.buf.bytes;
  for (const auto& [x, y] : model(s, w, h, rect)) pelref::store(pic.in(want, x, y), size, pel);
  draw_span(pic.image, rect, pel, s);
  if (pic.buf.bytes == want) return;
  const std::ptrdiff_t at =
      std::mismatch(want.begin(), want.end(), pic.buf.bytes.begin()).first - want.begin();
  ADD_FAILURE() << (s.vertical ? "vertical" : "horizontal") << " span (" << s.x << ", " << s.y << ") length "
                << s.length << " pattern " << std::hex << s.pattern << std::dec << " type " << type
                << " rect " << (rect ? rect->x0 : 0) << "," << (rect ? rect->y0 : 0) << ","
                << (rect ? rect->x1 : w) << "," << (rect ? rect->y1 : h) << ": first wrong byte " << at;
}

// The pels a span writes on an Rgbx8888 picture, as a set.
std::set<std::pair<int, int>> written(const Span& s, const Rect& rect) {
  std::mt19937 rng(1);
  Picture pic(16, 12, PelFmt(2), false, rng);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) pelref::store(pic.buf.at(x, y), 4, 0);
  draw_span(pic.image, &rect, 1, s);
  std::set<std::pair<int, int>> out;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x)
      if (pic.buf.pel(x, y)) out.insert({x, y});
  return out;
}

}  // namespace

TEST(Spans, WorkedCases) {
  using Pels = std::set<std::pair<int, int>>;
  const Rect rect{2, 1, 12, 9};  // columns 2 to 11, rows 1 to 8
  const struct {
    const char* what;
    Span span;
    Pels want;
  } cases[] = {
      {"length 0 writes the start pel", {false, 5, 3, 0, 1}, {{5, 3}}},
      {"length 5 writes 6 pels", {false, 4, 2, 5, ~0u}, {{4, 2}, {5, 2}, {6, 2}, {7, 2}, {8, 2}, {9, 2}}},
      {"length -5 runs left", {false, 9, 2, -5, ~0u}, {{4, 2}, {5, 2}, {6, 2}, {7, 2}, {8, 2}, {9, 2}}},
      {"every second pel from the start", {false, 4, 4, 6, 0x55555555}, {{4, 4}, {6, 4}, {8, 4}, {10, 4}}},
      {"start 3 columns left: first pel at start + 4",
       {false, -1, 4, 8, 0x55555555},
       {{3, 4}, {5, 4}, {7, 4}}},
      {"pattern 0 writes nothing", {false, 3, 3, 7, 0}, {}},
      {"right-most column from above", {true, 11, -3, 6, ~0u}, {{11, 1}, {11, 2}, {11, 3}}},
      {"upward span: start bit 0, row above bit 31", {true, 6, 8, -3, 0x80000001}, {{6, 8}, {6, 7}}},
      {"upward span clipped at its start: bit 30 at y - 2", {true, 6, 10, -4, 0x40000000}, {{6, 8}}},
      {"row y = bottom writes nothing", {false, 2, 9, 5, ~0u}, {}},
      {"row bottom - 1 is drawn", {false, 10, 8, 5, ~0u}, {{10, 8}, {11, 8}}},
      {"column x = right writes nothing", {true, 12, 0, 20, ~0u}, {}},
      {"no pel in the rectangle", {false, 13, 3, 20, ~0u}, {}},
      {"the pattern repeats after 32 pels", {false, -30, 5, 60, 0x3}, {{2, 5}, {3, 5}}},
  };
  for (const auto& c : cases) EXPECT_EQ(written(c.span, rect), c.want) << c.what;
}

TEST(Spans, Rgb888PelsAreBlueGreenRed) {
  std::uint8_t bytes[12] = {};
  ImageRow img(4, 1, PelFmt(pel_type::rgb888), bytes, 12);
  draw_span(img, nullptr, 0xAA112233, {false, 1, 0, 1, ~0u});
  const std::uint8_t want[12] = {0, 0, 0, 0x33, 0x22, 0x11, 0x33, 0x22, 0x11, 0, 0, 0};
  EXPECT_TRUE(std::equal(bytes, bytes + 12, want));
}

// Random spans of every pel size against the model, with rectangles reaching
// past the image, starts and ends far outside it and at the ends of the
// 32-bit range, lengths past 32 (the pattern wraps) in both directions.
TEST(Spans, RandomSpansMatchTheModel) {
  std::mt19937 rng(31);
  auto coord = [&](int extent) -> std::int32_t {
    switch (rng() % 6) {
      case 0:
        return INT_MIN + std::int32_t(rng() % 40);
      case 1:
        return INT_MAX - std::int32_t(rng() % 40);
      case 2:
        return std::int32_t(rng() % 400) - 200;
      default:
        return std::int32_t(rng() % (extent + 20)) - 10;
    }
  };
  const std::uint32_t patterns[] = {~0u, 0, 0x55555555, 0x80000001, 0x0F0F00F3};
  for (int i = 0; i < 1200; ++i) {
    const int type = opref::all_types[i % 8];
    Span s{bool(rng() & 1), coord(40), coord(36), 0, i % 2 ? patterns[rng() % 5] : std::uint32_t(rng())};
    switch (rng() % 4) {
      case 0:
        s.length = INT_MAX - std::int32_t(rng() % 3);
        break;
      case 1:
        s.length = INT_MIN + std::int32_t(rng() % 3);
        break;
      default:
        s.length = std::int32_t(rng() % 161) - 80;
    }
    const int x0 = int(rng() % 50) - 5, y0 = int(rng() % 46) - 5;
    const Rect rect{x0, y0, x0 + int(rng() % 40), y0 + int(rng() % 40)};
    check_span(type, s, i % 5 ? &rect : nullptr, rng);
  }
}

TEST(Spans, ClipRectangleCutsTheSpan) {
  std::mt19937 rng(4);
  Picture pic(10, 4, PelFmt(pel_type::rgb565), false, rng);
  pic.image.set_clip_rect(Rect{3, 0, 6, 4});
  std::vector<std::uint8_t> want = pic.buf.bytes;
  for (int x = 3; x < 6; ++x) pelref::store(pic.in(want, x, 2), 2, 0x1234);
  draw_span(pic.image, nullptr, 0x1234, {false, 0, 2, 9, ~0u});
  EXPECT_EQ(pic.buf.bytes, want);
}

TEST(Spans, IndexedAndReservedTypesAreRefused) {
  for (bool vertical : {false, true})
    opref::check_refused_on_indexed([&](Image& img) {
      draw_span(img, nullptr, 0, {vertical, 0, 0, 1, ~0u});
    });
}
