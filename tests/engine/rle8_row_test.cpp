#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <vector>

#include "engine/rle8_row.h"

namespace {

struct SkipCase {
  std::vector<uint8_t> row;
  int n;
  int code;      // after the call
  long offset;   // of the result in the row; -1: null
};

}  // namespace

// The row 5 5 7 7 7 3 . . . coded as 82 05 05 C3 07 81 03 03.
TEST(Rle8SkipPels, EntersRowsAsIfTheyStartedThere) {
  const std::vector<uint8_t> row = {0x82, 0x05, 0x05, 0xC3, 0x07, 0x81, 0x03, 0x03};
  const std::vector<SkipCase> cases = {
      {row, 1, 0x81, 2},   // inside the literal: at the second 05
      {row, 2, 0xC3, 4},   // the literal's exact end loads the repeat
      {row, 3, 0xC2, 4},   // inside the repeat: at its index
      {row, 4, 0xC1, 4},
      {row, 5, 0x81, 6},   // the repeat's exact end
      {row, 6, 0x03, 8},   // the skip code is last
      {row, 7, 0x02, 8},   // inside the skip
      {row, 9, 0, -1},     // the row ends where the next code would be
      {row, 40, 0, -1},
      {row, 0, 0x82, 1},   // nothing to skip
      // Codes of 0 pels are passed over and the next one loaded.
      {{0x00, 0x80, 0xC0, 0x09, 0x83, 1, 2, 3}, 1, 0x82, 6},
      {{0x00, 0x80, 0xC0, 0x09}, 1, 0, -1},
      // A literal whose data the skip passes over is cut by the end.
      {{0x85, 1, 2}, 3, 0, -1},
      {{0x85, 1, 2}, 2, 0x83, 3},  // its rest is the caller's to check
      {{0x85, 1, 2, 3, 4, 5}, 5, 0, -1},
      {{0xC5}, 2, 0xC3, 1},
      {{0xC5}, 5, 0, -1},
      {{0x7F, 0x7F, 0x85}, 200, 54, 2},
      {{0x7F, 0x7F, 0x85}, 254, 0x85, 3},
  };
  for (const SkipCase& c : cases) {
    const uint8_t* start = c.row.data();
    const uint8_t* end = start + c.row.size();
    int code = start[0];
    const uint8_t* p = rle8SkipPels(start + 1, c.n, &code, end);
    SCOPED_TRACE(::testing::Message() << "row of " << c.row.size() << " bytes, skip " << c.n);
    if (c.offset < 0) {
      EXPECT_EQ(p, nullptr);
    } else {
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(p - start, c.offset);
      EXPECT_EQ(code, c.code);
    }
  }
}

namespace {

// A run as the walk gives it, its indices as an offset into the row.
struct SeenRun {
  bool repeat;
  int x, n;
  long at;
  bool operator==(const SeenRun&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SeenRun& r) {
  return out << (r.repeat ? "repeat" : "literal") << " x " << r.x << " n " << r.n << " at " << r.at;
}

struct WalkCase {
  const char* what;
  std::vector<uint8_t> row;
  int start, count;
  std::vector<SeenRun> runs;
  bool covered;
  long codesEnd;  // offset in the row, when covered
};

}  // namespace

// The runs inside a window of a row, cut at its edges, and how the row's
// bytes end the walk. Each row lies in an exact-size block, so a read past
// it is an AddressSanitizer fault.
TEST(Rle8EachRun, RunsInsideTheWindowAndWhereTheRowEnds) {
  const std::vector<uint8_t> row = {0x82, 0x05, 0x05, 0xC3, 0x07, 0x81, 0x03, 0x03};
  const std::vector<WalkCase> cases = {
      {"whole row, a last skip", row, 0, 9, {{false, 0, 2, 1}, {true, 2, 3, 4}, {false, 5, 1, 6}}, true, 8},
      {"entered inside the literal, cut inside the repeat", row, 1, 3, {{false, 0, 1, 2}, {true, 1, 2, 4}}, true, 5},
      {"entered at a code's end", row, 2, 3, {{true, 0, 3, 4}}, true, 5},
      {"a window past the row's pels", row, 3, 10, {{true, 0, 2, 4}, {false, 2, 1, 6}}, false, 0},
      {"entered inside the last skip", row, 7, 2, {}, true, 8},
      {"an empty window reads nothing", row, 4, 0, {}, true, 0},
      {"codes of no pels, handed on as they come", {0x00, 0x80, 0xC0, 0x09, 0x83, 1, 2, 3}, 0, 3,
       {{false, 0, 0, 2}, {true, 0, 0, 3}, {false, 0, 3, 5}}, true, 8},
      {"a literal the row's end cuts short", {0x85, 1, 2}, 0, 5, {{false, 0, 2, 1}}, false, 0},
      {"a cut literal whose data ends past the window", {0x85, 1, 2, 3}, 0, 3, {{false, 0, 3, 1}}, false, 0},
      {"a repeat without its index", {0x83, 1, 2, 3, 0xC4}, 0, 8, {{false, 0, 3, 1}}, false, 0},
      {"a row of no bytes", {}, 0, 1, {}, false, 0},
  };
  for (const WalkCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<uint8_t[]> block(new uint8_t[c.row.size()]);
    std::copy(c.row.begin(), c.row.end(), block.get());
    const uint8_t* start = c.row.empty() ? nullptr : block.get();
    std::vector<SeenRun> runs;
    const rle8RowEnd end = rle8EachRun(start, start + c.row.size(), c.start, c.count, [&](const rle8RowRun& r) {
      runs.push_back({r.repeat, r.x, r.n, r.indices - start});
    });
    EXPECT_EQ(runs, c.runs);
    EXPECT_EQ(end.covered, c.covered);
    if (c.covered) {
      EXPECT_EQ(end.codesEnd - start, c.codesEnd);
    }
  }
}
