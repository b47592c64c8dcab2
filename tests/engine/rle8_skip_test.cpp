#include <gtest/gtest.h>

#include <vector>

#include "engine/rle8_skip.h"

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
