// Image sets: ".imgs" files written by an independent writer (make_imgs.py),
// the palettes the images borrow, Add and Clear, and broken files.
#include <memory>

#include "engine/imgs.h"
#include "images_fixture.h"
#include "support/shell.h"
#include "support/temp_dir.h"

using namespace engine_test;

namespace {

class ImageSetTest : public ImagesTest {
 protected:
  void SetUp() override {
    ImagesTest::SetUp();
    ASSERT_EQ(runPython({MAKE_IMGS_SCRIPT, dir.path.string()}), 0);
  }
  std::string file(const char* name) const { return dir.file(std::string(name) + ".imgs"); }
  TempDir dir;
};

// The image's pels, row after row.
Bytes pels(imgCTy* image) {
  auto* row = dynamic_cast<imgRowCTy*>(image);
  if (!row || !row->buffer) return {};
  return Bytes(row->buffer, row->buffer + row->BufferBytes());
}

}  // namespace

// Two palettes, three images of palette indices 1, none and 0.
TEST_F(ImageSetTest, Version1WithPalettes) {
  imgsCTy set;
  set.LoadImgs(file("v1").c_str());
  EXPECT_EQ(reports().size(), 0u);
  ASSERT_EQ(set.count, 3u);
  ASSERT_EQ(set.paletteCount, 2u);
  EXPECT_EQ(set.stream, nullptr);
  EXPECT_EQ(set.palettes[0]->count, 2u);
  EXPECT_EQ(set.palettes[1]->count, 3u);
  EXPECT_EQ(set.palettes[1]->Entry(2) & 0xFFFFFF, 0x070809u);
  EXPECT_EQ(set.Get(0)->desc.palette, set.palettes[1]);
  EXPECT_EQ(set.Get(1)->desc.palette, nullptr);
  EXPECT_EQ(set.Get(2)->desc.palette, set.palettes[0]);
  EXPECT_EQ(set.Get(0)->PelAtXYRGB(1, 0) & 0xFFFFFF, 0x040506u);
  EXPECT_EQ(set.Get(2)->PelAtXYRGB(1, 0) & 0xFFFFFF, 0x0A141Eu);
  EXPECT_EQ(pels(set.Get(0)), (Bytes{0, 1, 2, 0}));
  EXPECT_EQ(pels(set.Get(1)), (Bytes{1, 2, 3, 0, 4, 5, 6, 0}));
  EXPECT_EQ(pels(set.Get(2)), (Bytes{1, 0, 1}));
  EXPECT_EQ((std::vector<uint16_t>(set.paletteIndices, set.paletteIndices + 3)),
            (std::vector<uint16_t>{1, 0xFFFF, 0}));
  // Added images get no palette.
  EXPECT_EQ(set.Add(makeImage(1, 1, pel_FMT_X8R8G8B8)), 3u);
  EXPECT_EQ(set.paletteIndices[3], imgs_NO_PALETTE);
  // Loading again replaces what the set holds.
  set.LoadImgs(file("nopalettes").c_str());
  EXPECT_EQ(set.count, 1u);
  EXPECT_EQ(set.paletteCount, 0u);
  EXPECT_EQ(set.paletteIndices, nullptr);
}

TEST_F(ImageSetTest, Version0AndNoPalettes) {
  imgsCTy set;
  set.LoadImgs(file("v0").c_str());
  ASSERT_EQ(set.count, 2u);
  EXPECT_EQ(pels(set.Get(0)), (Bytes{9, 8, 7, 0, 6, 5, 4, 0}));
  EXPECT_EQ(pels(set.Get(1)), (Bytes{1, 1, 1, 0, 2, 2, 2, 0}));
  EXPECT_EQ(set.Get(1)->width, 2);
  EXPECT_EQ(set.paletteIndices, nullptr);
  EXPECT_EQ(set.Add(makeImage(1, 1, pel_FMT_X8R8G8B8)), 2u);
  EXPECT_EQ(set.paletteIndices, nullptr);
  set.Clear();
  EXPECT_EQ(set.count, 0u);
  set.Clear();  // on an empty set
  EXPECT_EQ(set.images, nullptr);
  EXPECT_EQ(set.Add(makeImage(1, 1, pel_FMT_X8R8G8B8)), 0u);
  EXPECT_EQ(reports().size(), 0u);
}

// Broken files: the set stays empty with one report; left-out images: the
// others load in order.
TEST_F(ImageSetTest, BrokenFiles) {
  struct Case {
    const char* file;
    uint32_t count;       // images loaded
    const char* report;   // the one report, or null for none
  } cases[] = {
      {"count_past_data", 0, "(-5)"},
      {"offset_past_data", 0, "(-5)"},
      {"palette_count_past_data", 0, "(-5)"},
      {"palette_index_past_count", 0, "(-5)"},
      {"names_51", 0, "(-5)"},
      {"class_index_past_names", 0, "(-5)"},
      {"string_past_data", 0, "(-5)"},
      {"truncated_header", 0, "(-5)"},
      {"missing", 0, "missing.imgs"},  // the rw layer's report only
      {"unknown_class_v0", 2, "noSuchClass"},
      {"waits_for_palette", 1, nullptr},
      {"version_2", 0, nullptr},
  };
  for (const Case& c : cases) {
    imgsCTy set;
    set.Add(makeImage(1, 1, pel_FMT_X8R8G8B8));
    set.LoadImgs(file(c.file).c_str());
    EXPECT_EQ(set.count, c.count) << c.file;
    EXPECT_EQ(set.stream, nullptr) << c.file;
    const std::vector<std::string> got = reports();
    if (!c.report) {
      EXPECT_EQ(got.size(), 0u) << c.file;
      continue;
    }
    ASSERT_EQ(got.size(), 1u) << c.file;
    EXPECT_NE(got[0].find(c.report), std::string::npos) << c.file << ": " << got[0];
    if (c.count == 0) {
      EXPECT_EQ(set.paletteCount, 0u) << c.file;
    }
  }
  // The kept images of the unknown class's file are the first and the last.
  imgsCTy set;
  set.LoadImgs(file("unknown_class_v0").c_str());
  ASSERT_EQ(set.count, 2u);
  EXPECT_EQ(pels(set.Get(1)), (Bytes{1, 1, 1, 0, 2, 2, 2, 0}));
}
