#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "base/err.h"
#include "engine/res_pack.h"
#include "pack_fixtures.h"

namespace {

class PackDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    errInit();
    pack_ = resPackOpen(files_["two_items.pak"].c_str(), testRGB);
    ASSERT_NE(pack_, nullptr);
    heap_ = std::make_unique<HeapMapping>(pack_);
    for (int i = 0; i < 2; ++i) {
      resPackItem(pack_, i, &items_[i]);
      items_[i].palTable = testTable();
    }
  }
  void TearDown() override {
    heap_.reset();
    resPackClose(pack_);
  }

  PackFiles files_;
  resPackTy* pack_ = nullptr;
  std::unique_ptr<HeapMapping> heap_;
  resPackItemTy items_[2]{};
};

}  // namespace

// Each item at positions inside the pels and across every edge (by every
// count of pels on the left), on 1- and 2-byte pels whose rows are padded,
// with the whole memory and an inner rectangle as the clip: exactly the
// item's opaque pels inside the clip change; padding and guards keep theirs.
TEST_F(PackDrawTest, WritesTheOpaquePelsInsideTheClipOnly) {
  const Picture* pictures[2] = {&kItem0, &kItem1};
  const int offsets[2][2] = {{kItem0X, kItem0Y}, {kItem1X, kItem1Y}};
  const std::vector<int> columns = {-9, -8, -7, -6, -5, -4, -3, -2, -1, 0, 3, 5, 6, 7, 11, 12};
  const std::vector<int> rows = {-4, -3, -2, -1, 0, 2, 3, 4, 5, 6};
  for (int bpp : {1, 2}) {
    for (int i = 0; i < 2; ++i) {
      for (const baseRect clip : {baseRect{0, 0, 12, 6}, baseRect{3, 1, 5, 3}}) {
        for (int col : columns) {
          for (int row : rows) {
            // (col, row) is where the item's top-left pel lands.
            const int x = col - offsets[i][0], y = row - offsets[i][1];
            Canvas drawn(12, 6, 3, bpp), expected(12, 6, 3, bpp);
            resPackDrawRows(drawn.pels(), drawn.pitch, bpp, clip, &items_[i], x, y);
            expected.place(*pictures[i], col, row, clip);
            ASSERT_EQ(drawn.bytes, expected.bytes) << "item " << i << " at (" << col << ", " << row << "), "
                                                   << bpp << " bytes per pel, clip x " << clip.x;
          }
        }
      }
    }
  }
}

// Positions whose sums with the item's offsets pass the 32-bit range, and
// depths other than 1 and 2 bytes, draw nothing.
TEST_F(PackDrawTest, FarPositionsAndOtherDepthsDrawNothing) {
  struct Case {
    int x, y, bpp;
  };
  const Case cases[] = {{INT_MAX, 0, 1},  {INT_MIN, 0, 1}, {0, INT_MAX, 2}, {0, INT_MIN, 2},
                        {INT_MAX, INT_MAX, 1}, {0, 0, 0}, {0, 0, 3}, {0, 0, 4}};
  for (const Case& c : cases) {
    Canvas drawn(12, 6, 3, 4);
    const std::vector<uint8_t> before = drawn.bytes;
    resPackDrawRows(drawn.pels(), drawn.pitch, c.bpp, drawn.whole(), &items_[0], c.x, c.y);
    EXPECT_EQ(drawn.bytes, before) << c.x << ", " << c.y << ", " << c.bpp << " bytes per pel";
  }
}
