// Bitmap fonts: the cache, the loader's refusals, the repacked glyph image
// and the measures.
#include <filesystem>

#include "fonts_fixture.h"

using namespace engine_test;

namespace {

using FontCacheTest = FontTest;
using FontLayoutTest = FontTest;

}  // namespace

// One sequence through the cache; each load is seen by whether the
// description file is needed.
TEST_F(FontCacheTest, ReferencesCaseAndRetries) {
  const std::string fda = name() + ".fda", aside = name() + ".aside";
  fntFont* a = fntGet("%s", name().c_str());
  ASSERT_NE(a, nullptr);
  // The same name in other letter case finds the entry: no file is read.
  std::filesystem::rename(fda, aside);
  const std::string upper = dir.file("FONT");
  EXPECT_EQ(fntGet("%s", upper.c_str()), a);  // count 2
  fntRelease(a);                              // count 1: still cached
  EXPECT_EQ(fntGet("%s/%s", dir.path.c_str(), "Font"), a);
  fntRelease(a);
  fntRelease(a);  // count 0: freed and out of the cache (LSan sees the rest)
  EXPECT_EQ(reports().size(), 0u);

  // Missing: reported each time, nothing cached.
  EXPECT_EQ(fntGet("%s", name().c_str()), nullptr);
  EXPECT_EQ(fntGet("%s", name().c_str()), nullptr);
  EXPECT_EQ(reported("Font's file not found : " + fda), 2);
  std::filesystem::rename(aside, fda);
  fntFont* b = fntGet("%s", name().c_str());
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(reports().size(), 0u);
  fntRelease(b);
  // A font still held at shutdown is freed; releases after it do nothing.
  ASSERT_NE(fntGet("%s", name().c_str()), nullptr);
  fntSystemDone();
  fntRelease(b);
  EXPECT_EQ(fntGet("%s", name().c_str()), nullptr);
}

TEST_F(FontCacheTest, RefusedFontsReportOnceAndCacheNothing) {
  struct Case {
    const char* font;
    std::string message;
  } cases[] = {
      {"badmagic", "Wrong font's version : " + name("badmagic")},
      {"baddefault", "Wrong font's version : " + name("baddefault")},
      {"nopicture", "Font's picture not found : " + name("nopicture")},
      {"badpicture", ""},  // the picture loader's own report
      {"badtga", "Font's picture refused : " + name("badtga") + ".tga"},
      // TGA glyphs go into alpha images, which this program does not link.
      {"tga", "Unknown class name. imgAlpha"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fntGet("%s", name(c.font).c_str()), nullptr) << c.font;
    const std::vector<std::string> got = reports();
    ASSERT_EQ(got.size(), 1u) << c.font;
    EXPECT_NE(got[0].find(c.message), std::string::npos) << c.font << ": " << got[0];
  }
  // A name is data, never a format.
  EXPECT_EQ(fntGet("%s", dir.file("%s%n%d").c_str()), nullptr);
  EXPECT_EQ(reported("Font's file not found : " + dir.file("%s%n%d") + ".fda"), 1);
}

// The strip's glyphs are at most 6 wide: rows of 64; each glyph lands after
// the previous one, the default first, black between and below them.
TEST_F(FontLayoutTest, RepackedGlyphs) {
  fntFont* f = fntGet("%s", name().c_str());
  ASSERT_NE(f, nullptr);
  imgCTy& image = *f->image;
  EXPECT_EQ(f->baseImage, f->image);
  EXPECT_EQ(image.width, 64);
  EXPECT_EQ(image.height, 8);
  struct Record {
    char c;
    fntGlyph g;
  } records[] = {
      {'?', {0, 0, 3, 8}}, {'A', {4, 0, 4, 8}}, {'B', {9, 0, 5, 7}}, {'C', {15, 0, 2, 8}},
      {'D', {18, 0, 2, 8}},  // cut before the strip's last column
      {'Z', {0, 0, 3, 8}},   // missing: the default glyph's record
      {'\0', {0, 0, 3, 8}},
  };
  for (const Record& r : records) {
    const fntGlyph& g = f->glyphs[uint8_t(r.c)];
    EXPECT_EQ((std::vector<int>{g.x, g.y, g.w1, g.h}), (std::vector<int>{r.g.x, r.g.y, r.g.w1, r.g.h})) << r.c;
  }
  // Every pel: the glyph's strip pel where a glyph lies, else black.
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      uint32_t want = 0;
      for (char c : std::string("?ABCD")) {
        const StripGlyph s = stripGlyph(c);
        const fntGlyph& g = f->glyphs[uint8_t(c)];
        if (x >= g.x && x < g.x + s.w && y < s.h) want = stripPel(s.x + x - g.x, y);
      }
      ASSERT_EQ(image.PelAtXYRGB(x, y) & 0xFFFFFF, want) << x << ", " << y;
    }
  }
  EXPECT_TRUE(image.keyFlag);
  EXPECT_EQ(image.keyColor & 0xFFFFFF, 0xFF00FFu);
  fntRelease(f);
}

TEST_F(FontLayoutTest, Measures) {
  fntFont* f = fntGet("%s", name().c_str());
  ASSERT_NE(f, nullptr);
  struct Case {
    const char* text;
    int width;
  } cases[] = {
      {"", 0}, {"A", 5}, {"AB", 5 + 1 + 6}, {" ", 3}, {"\t", 1}, {"A D", 5 + 1 + 3 + 1 + 3}, {"Z", 4},
  };
  for (const Case& c : cases) EXPECT_EQ(fntStrWidth(f, c.text), c.width) << '"' << c.text << '"';
  EXPECT_EQ(fntStrWidth(nullptr, "A"), 0);
  EXPECT_EQ(fntStrWidth(f, nullptr), 0);
  EXPECT_EQ(fntCharHeight(f, 'B'), 7);
  EXPECT_EQ(fntCharWidth(f, char(0xC8)), 4);  // a byte above 127: missing, the default glyph
  fntRelease(f);
}
