#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/err.h"
#include "base/err_fixture.h"
#include "base/mem.h"
#include "base/mf.h"
#include "engine/res_pack.h"
#include "pack_fixtures.h"

namespace {

class PackFileTest : public ErrTest {
 protected:
  void TearDown() override {
    memHooks.alloc = savedAlloc_;
    ErrTest::TearDown();
  }

  // Opens inside a TRY frame; the code caught, or 0.
  static errCode openCatching(const std::string& path, resPackTy** pack) {
    errCode caught = 0;
    ERR_TRY(frame) { *pack = resPackOpen(path.c_str(), testRGB); }
    ERR_CATCH(frame, code) {
      caught = code;
      errEndCatch(errGetState(), &frame);
    }
    ERR_END_TRY
    return caught;
  }

  static bool zeroed(const resPackItemTy& item) {
    static const resPackItemTy none{};
    return std::memcmp(&item, &none, sizeof item) == 0;
  }

  PackFiles files_;
  void* (*savedAlloc_)(size_t) = memHooks.alloc;
};

}  // namespace

TEST_F(PackFileTest, OpensTheHeaderTheTableAndTheItems) {
  const std::string path = files_["two_items.pak"];
  const std::string bytes = readBytes(path);
  // The table is made with the colour function the pack is opened with.
  resPackTy* pack = resPackOpen(path.c_str(), testRGB);
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(std::memcmp(pack->header, bytes.data(), resPackHeaderSize), 0);
  EXPECT_EQ(resPackSize(pack), bytes.size());
  EXPECT_EQ(pack->itemCount, 2u);
  EXPECT_EQ(pack->ownsTable, 1);
  ASSERT_NE(pack->palTable, nullptr);
  for (int i = 0; i < 256; ++i) {
    const auto* e = reinterpret_cast<const uint8_t*>(bytes.data()) + resPackPaletteAt + 4 * i;
    EXPECT_EQ(pack->palTable[i], testRGB(e[0] | e[1] << 8 | e[2] << 16)) << i;
  }

  const int32_t expected[2][4] = {{kItem0X, kItem0Y, 8, 3}, {kItem1X, kItem1Y, 8, 3}};
  for (int i = 0; i < 2; ++i) {
    resPackItemTy item;
    resPackItem(pack, i, &item);
    const uint8_t* inFile = pack->mapping->view + resPackInt(pack->offsets + 4 * i);
    EXPECT_EQ(std::memcmp(item.header, inFile, resPackItemHeaderSize), 0);
    EXPECT_EQ(resPackItemX(&item), expected[i][0]);
    EXPECT_EQ(resPackItemY(&item), expected[i][1]);
    EXPECT_EQ(resPackItemWidth(&item), expected[i][2]);
    EXPECT_EQ(resPackItemHeight(&item), expected[i][3]);
    EXPECT_EQ(item.palTable, pack->palTable);
    EXPECT_EQ(item.rowTable, inFile + 48);
    EXPECT_EQ(item.pixels, inFile + 48 + 4 * 3);
    EXPECT_EQ(item.end, pack->mapping->view + bytes.size());
  }
  for (int32_t index : {-1, 2, 1000}) {
    resPackItemTy item;
    std::memset(&item, 0x5A, sizeof item);
    resPackItem(pack, index, &item);
    EXPECT_TRUE(zeroed(item)) << index;
  }
  resPackItem(pack, 0, nullptr);
  resPackClose(pack);
  EXPECT_EQ(mfOpenFiles(), nullptr);
  EXPECT_TRUE(hookCalls().empty());
}

// A pack that does not open is reported once and gives null; inside a TRY
// frame the report reaches the frame. Nothing is left open or allocated.
TEST_F(PackFileTest, FailuresAreReportedAndHoldNothing) {
  struct Case {
    std::string path;
    errCode code;
  };
  const std::vector<Case> cases = {
      {files_["missing.pak"], ERR_CANT_OPEN},
      {files_.dir.path.string(), ERR_CANT_OPEN},  // a directory
      {files_["cut_header"], ERR_DATA},
  };
  for (const Case& c : cases) {
    hookCalls().clear();
    EXPECT_EQ(resPackOpen(c.path.c_str(), testRGB), nullptr) << c.path;
    ASSERT_EQ(hookCalls().size(), 1u) << c.path;
    EXPECT_EQ(hookCalls()[0].code, c.code) << c.path;
    resPackTy* pack = reinterpret_cast<resPackTy*>(1);
    EXPECT_EQ(openCatching(c.path, &pack), c.code) << c.path;
    EXPECT_EQ(pack, reinterpret_cast<resPackTy*>(1)) << c.path;
  }
  EXPECT_EQ(hookCalls()[0].text, "Data error");
  EXPECT_EQ(mfOpenFiles(), nullptr);
}

// A file that opens and reads but cannot be mapped (here: no memory for the
// mapping's descriptor): mfOpenRead reports it, and the pack read so far is
// freed (LeakSanitizer checks).
TEST_F(PackFileTest, FileThatDoesNotMapGivesNull) {
  memHooks.alloc = [](size_t size) -> void* {
    return size == sizeof(mfFile) ? nullptr : memDefAlloc(size);
  };
  const std::string path = files_["two_items.pak"];
  EXPECT_EQ(resPackOpen(path.c_str(), testRGB), nullptr);
  ASSERT_EQ(hookCalls().size(), 1u);
  EXPECT_EQ(hookCalls()[0].code, ERR_NO_MEMORY);
  resPackTy* pack = nullptr;
  EXPECT_EQ(openCatching(path, &pack), ERR_NO_MEMORY);
  EXPECT_EQ(pack, nullptr);
  EXPECT_EQ(mfOpenFiles(), nullptr);
}

// Packs made to mislead, each read with its mapping copied to an exact-size
// heap block, so AddressSanitizer sees any read past the file. Every item is
// drawn at positions inside and across every edge of guarded 1- and 2-byte
// pels; the items that draw anything draw what their codes say up to the
// file's end.
TEST_F(PackFileTest, HostilePacksAreReadInsideTheirFiles) {
  struct Case {
    const char* file;
    uint32_t count;
    std::vector<bool> usable;  // the first items' copies are not zeroed
    Picture atOrigin;          // item 0 drawn with its first pel at (0, 0)
  };
  const Picture none;
  const std::vector<Case> cases = {
      {"two_items.pak", 2, {true, true}, kItem0},
      {"header_only", 0, {}, none},
      {"small_first", 0, {}, none},
      {"count_past_file", (1219 - 1052) / 4, {false, true}, none},
      {"offset_past_file", 2, {true, false}, kItem0},
      {"item_cut", 2, {true, false}, kItem0},
      {"row_past_file", 2, {false, true}, none},
      {"row_at_end", 2, {true, false}, kItem0},
      // Row 0 reads on into row 1's codes; row 1 stops at the file's end.
      {"short_rows", 1, {true}, {{1, 2, 3, 4, 5}, {4, 5}}},
      {"zero_codes", 1, {true}, none},
      {"huge_width", 1, {true}, {{1, 2, 3, 4, 5}}},
      {"huge_height", 1, {false}, none},
      {"height_wraps", 1, {false}, none},
      {"negative_width", 1, {false}, none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    resPackTy* pack = resPackOpen(files_[c.file].c_str(), testRGB);
    ASSERT_NE(pack, nullptr);
    {
      HeapMapping heap(pack);
      EXPECT_EQ(pack->itemCount, c.count);
      for (uint32_t i = 0; i <= pack->itemCount; ++i) {
        resPackItemTy item;
        resPackItem(pack, static_cast<int32_t>(i), &item);
        if (i < c.usable.size()) {
          EXPECT_EQ(!zeroed(item), c.usable[i]) << "item " << i;
        }
        if (i == pack->itemCount) {
          EXPECT_TRUE(zeroed(item));
        }
        item.palTable = item.palTable ? testTable() : nullptr;
        for (int bpp : {1, 2}) {
          for (int y : {-70, -3, 0, 4, 9}) {
            for (int x : {-70, -4, -1, 0, 5, 11}) {
              Canvas drawn(12, 8, 2, bpp);
              resPackDrawRows(drawn.pels(), drawn.pitch, bpp, drawn.whole(), &item, x - resPackItemX(&item),
                              y - resPackItemY(&item));
              Canvas expected(12, 8, 2, bpp);
              if (i == 0) expected.place(c.atOrigin, x, y, expected.whole());
              if (i == 0 || zeroed(item)) {
                ASSERT_EQ(drawn.bytes, expected.bytes) << "item " << i << " at " << x << ", " << y;
              }
            }
          }
        }
      }
    }
    resPackClose(pack);
  }
  EXPECT_TRUE(hookCalls().empty());
}
