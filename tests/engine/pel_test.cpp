// Pel conversions, palettes and their tables, and pel format descriptors.
#include <functional>
#include <string>
#include <vector>

#include "engine/pal.h"
#include "images_fixture.h"

using namespace engine_test;

namespace {

using PelTest = ImagesTest;

uint32_t toNative(int format, uint32_t colour, palCTy* palette = nullptr) {
  pelFmtDesc d;
  d.Set(format, palette);
  return d.ToNative(colour, pel_FMT_X8R8G8B8);
}

uint32_t toRGB(int format, uint32_t pel, palCTy* palette = nullptr, int to = pel_FMT_X8R8G8B8) {
  pelFmtDesc d;
  d.Set(format, palette);
  return d.ToRGB(pel, to);
}

template <class Src, class Dst>
uint32_t convert(uint32_t src, uint32_t dst = 0) {
  Dst d = pelFromRaw<Dst>(dst);
  return pelRaw(pelConvert<Src, Dst>(d, pelFromRaw<Src>(src)));
}

}  // namespace

TEST_F(PelTest, ConversionsShiftAndKeepBit15) {
  palCTy pal;
  setColours(pal, {0xFF102030, 0x80FFFFFF, 0x00F82010});
  struct Case {
    const char* what;
    uint32_t got, want;
  } cases[] = {
      // Colours (0xAARRGGBB) into the formats.
      {"(B 10, G 20, R F8) -> R5G6B5", toNative(pel_FMT_R5G6B5, 0x00F82010), 0xF902},
      {"-> X1R5G5B5: bit 15 clear", toNative(pel_FMT_X1R5G5B5, 0xFFFFFFFF), 0x7FFF},
      {"-> A1R5G5B5: bit 15 set", toNative(pel_FMT_A1R5G5B5, 0x00F82010), 0xFC82},
      {"-> R8G8B8: fourth byte 0", toNative(pel_FMT_R8G8B8, 0x80F82010), 0x00F82010},
      {"-> X8R8G8B8 unchanged", toNative(pel_FMT_X8R8G8B8, 0x80F82010), 0x80F82010},
      {"-> P8 nearest", toNative(pel_FMT_P8, 0x00F02010, &pal), 2},
      {"-> P8 without palette unchanged", toNative(pel_FMT_P8, 0x00F02010), 0x00F02010},
      // Pels into colours: widened by shifts, never rounded.
      {"R5G6B5 FFFF -> F8 FC F8 FF", toRGB(pel_FMT_R5G6B5, 0xFFFF), 0xFFF8FCF8},
      {"X1R5G5B5 FFFF: bit 15 ignored", toRGB(pel_FMT_X1R5G5B5, 0xFFFF), 0xFFF8F8F8},
      {"A1R5G5B5 7FFF", toRGB(pel_FMT_A1R5G5B5, 0x7FFF), 0xFFF8F8F8},
      {"R8G8B8 gets A 255", toRGB(pel_FMT_R8G8B8, 0x00123456), 0xFF123456},
      {"A8R8G8B8 unchanged", toRGB(pel_FMT_A8R8G8B8, 0x12345678), 0x12345678},
      {"to a format other than 2 unchanged", toRGB(pel_FMT_R5G6B5, 0xF902, nullptr, pel_FMT_R8G8B8), 0xF902},
      {"P8 index -> its entry", toRGB(pel_FMT_P8, 1, &pal), 0x80FFFFFF},
      {"P8 index past the count -> 0", toRGB(pel_FMT_P8, 3, &pal), 0},
      {"P8 index -> R5G6B5", toRGB(pel_FMT_P8, 0, &pal, pel_FMT_R5G6B5), 0x1106},
      {"P8 index -> X1R5G5B5: bit 15 from the index", toRGB(pel_FMT_P8, 1, &pal, pel_FMT_X1R5G5B5), 0x7FFF},
      // The layout conversions.
      {"X1R5G5B5 -> R5G6B5: green shifted once", convert<X1R5G5B5, R5G6B5>(0x7FFF), 0xFFDF},
      {"X1R5G5B5 -> R5G6B5: bit 15 dropped", convert<X1R5G5B5, R5G6B5>(0x8000 | 16 << 5), 32 << 5},
      {"R5G6B5 -> X1R5G5B5: low green lost", convert<R5G6B5, X1R5G5B5>(33 << 5), 16 << 5},
      {"R5G6B5 -> X1R5G5B5: bit 15 kept", convert<R5G6B5, X1R5G5B5>(0xFFFF, 0x8000), 0xFFFF},
      {"R5G6B5 -> X1R5G5B5: bit 15 stays clear", convert<R5G6B5, X1R5G5B5>(0xFFFF, 0x7FFF), 0x7FFF},
      {"R8G8B8 -> X1R5G5B5: bit 15 kept", convert<R8G8B8, X1R5G5B5>(0xF82010, 0x8000), 0xFC82},
      {"R8G8B8 -> R5G6B5: all bits written", convert<R8G8B8, R5G6B5>(0xF82010, 0xFFFF), 0xF902},
      {"R5G6B5 -> R8G8B8", convert<R5G6B5, R8G8B8>(0xFFFF), 0xF8FCF8},
      {"X1R5G5B5 -> R8G8B8", convert<X1R5G5B5, R8G8B8>(0xFFFF), 0xF8F8F8},
      {"R5G6B5 -> X8R8G8B8", convert<R5G6B5, X8R8G8B8>(0x0821), 0xFF080408},
      {"X1R5G5B5 -> X8R8G8B8", convert<X1R5G5B5, X8R8G8B8>(0x0421), 0xFF080808},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_TRUE(reports().empty());
}

TEST_F(PelTest, BytesPerPelOutsideTheTableIsZero) {
  const int want[] = {4, 3, 4, 4, 2, 2, 2, 2, 2, 1, 4};
  for (int f = 0; f <= 10; ++f) EXPECT_EQ(pelBytes(f), want[f]) << f;
  for (int f : {-1, 11, 1000}) EXPECT_EQ(pelBytes(f), 0) << f;
}

TEST_F(PelTest, NearestColour) {
  struct Case {
    const char* what;
    std::vector<uint32_t> entries;
    uint32_t colour;
    int want;
  } cases[] = {
      {"empty palette", {}, 0x00102030, 0},
      {"nearest at 10000 counts as none", {0xFFFFFF, 0x000000}, 0x00000064, 0},
      {"nearest below 10000", {0xFFFFFF, 0x000000}, 0x00000063, 1},
      {"ties go to the lower index", {0xFFFFFF, 0x000010, 0x000030}, 0x00000020, 1},
      {"an exact match after a near one", {0x000000, 0x101010, 0x101011}, 0x00101011, 2},
      {"alpha takes no part", {0x00000000, 0xFF808080}, 0x00808080, 1},
  };
  for (const Case& c : cases) {
    palCTy p;
    setColours(p, c.entries);
    EXPECT_EQ(p.Nearest(c.colour), c.want) << c.what;
  }
  // A larger palette gives its index modulo 256.
  std::vector<uint32_t> many(300, 0xFFFFFF);
  many[257] = 0x000000;
  palCTy big;
  setColours(big, many);
  EXPECT_EQ(big.Nearest(0), 1);
}

TEST_F(PelTest, TablesPerFormatZeroPastTheCount) {
  palCTy p;
  setColours(p, {0xFF102030, 0x7FF82010, 0x80FFFFFF});
  struct Case {
    int format;
    std::vector<uint32_t> want;  // the entries as pels
  } cases[] = {
      {pel_FMT_R8G8B8, {0x102030, 0xF82010, 0xFFFFFF}},
      {pel_FMT_X8R8G8B8, {0xFF102030, 0x7FF82010, 0x80FFFFFF}},
      {pel_FMT_A8R8G8B8, {0xFF102030, 0x7FF82010, 0x80FFFFFF}},
      {pel_FMT_R5G6B5, {0x1106, 0xF902, 0xFFFF}},
      // Bit 15 is the entry's A >> 7, in both 16-bit tables.
      {pel_FMT_X1R5G5B5, {0x8886, 0x7C82, 0xFFFF}},
      {pel_FMT_A1R5G5B5, {0x8886, 0x7C82, 0xFFFF}},
  };
  for (const Case& c : cases) {
    p.BuildTbl(c.format);
    ASSERT_EQ(p.tableFormat, c.format);
    const int size = pelBytes(c.format);
    for (uint32_t i = 0; i < palCTy::kTableEntries; ++i) {
      uint32_t pel = 0;
      std::memcpy(&pel, p.table + i * size, size_t(size));
      EXPECT_EQ(pel, i < c.want.size() ? c.want[i] : 0) << c.format << " entry " << i;
    }
  }
  EXPECT_TRUE(reports().empty());
}

TEST_F(PelTest, TableBuiltOncePerFormatAndAfterChanges) {
  palCTy p;
  setColours(p, {0xFF0000FF});
  p.BuildTbl(pel_FMT_R5G6B5);
  EXPECT_EQ(p.table[0], 0x1F);
  // The same format again is not rebuilt (the entries were changed behind
  // the palette's back)...
  p.entries[0].b = 0;
  p.BuildTbl(pel_FMT_R5G6B5);
  EXPECT_EQ(p.table[0], 0x1F);
  // ...Assign is a change, Set too.
  palCTy other;
  setColours(other, {0xFF000008});
  p.Assign(other);
  EXPECT_EQ(p.tableFormat, 0);
  p.BuildTbl(pel_FMT_R5G6B5);
  EXPECT_EQ(p.table[0], 0x01);
  const uint8_t quad[4] = {0x10, 0, 0, 0x33};
  p.Set(quad, 1);
  EXPECT_EQ(p.entries[0].a, 255);
  p.BuildTbl(pel_FMT_R5G6B5);
  EXPECT_EQ(p.table[0], 0x02);

  // A format without a conversion: reported once, a zeroed table recorded.
  for (int format : {pel_FMT_X4R4G4B4, pel_FMT_P8, 11}) {
    p.BuildTbl(format);
    EXPECT_EQ(reported("palCTy::BuildTbl: not impelmetned yet"), 1) << format;
    EXPECT_EQ(p.tableFormat, format);
    for (int i = 0; i < 256 * pelBytes(format); ++i) ASSERT_EQ(p.table[i], 0) << format;
    p.BuildTbl(format);
    EXPECT_TRUE(reports().empty()) << format;
  }
}

TEST_F(PelTest, DescriptorOwnership) {
  palCTy shared;
  setColours(shared, {0xFF112233, 0xFF445566});

  // A copy of a borrowing descriptor owns a copy; destroying it leaves the
  // borrowed palette alive.
  {
    pelFmtDesc borrower;
    borrower.Set(pel_FMT_P8, &shared);
    pelFmtDesc copy(borrower);
    EXPECT_EQ(copy.format, pel_FMT_P8);
    EXPECT_EQ(copy.owns, 1);
    ASSERT_NE(copy.palette, &shared);
    EXPECT_EQ(copy.palette->count, 2u);
    pelFmtDesc none;
    pelFmtDesc noPalette(none);
    EXPECT_EQ(noPalette.palette, nullptr);
  }
  EXPECT_EQ(shared.Entry(1), 0xFF445566u);

  // Self cases copy before they release.
  pelFmtDesc owner;
  owner.Set(pel_FMT_P8, nullptr);
  owner.SetPaletteCopy(&shared);
  palCTy* own = owner.palette;
  owner = owner;
  EXPECT_EQ(owner.palette, own);
  own->Assign(*own);
  EXPECT_EQ(own->Entry(0), 0xFF112233u);
  owner.SetPaletteCopy(own);
  EXPECT_EQ(owner.palette->Entry(1), 0xFF445566u);
  pelFmtDesc borrowsOwners;
  borrowsOwners.Set(pel_FMT_P8, owner.palette);
  owner = borrowsOwners;  // the target's own palette, borrowed by the source
  EXPECT_EQ(owner.owns, 1);
  EXPECT_EQ(owner.palette->Entry(0), 0xFF112233u);
  owner.SharePalette(owner.palette);  // sharing the palette it owns
  EXPECT_EQ(owner.owns, 1);
  EXPECT_EQ(owner.palette->Entry(1), 0xFF445566u);

  // Sharing releases an owned palette; a copy then lets the borrowed one go.
  owner.SharePalette(&shared);
  EXPECT_EQ(owner.palette, &shared);
  EXPECT_EQ(owner.owns, 0);
  owner.SetPaletteCopy(&shared);
  EXPECT_NE(owner.palette, &shared);
  EXPECT_EQ(owner.owns, 1);
}

TEST_F(PelTest, PaletteAndDescriptorStreams) {
  palCTy p;
  setColours(p, {0xFF102030, 0xFFA0B0C0});
  pelFmtDesc owned;
  owned.Set(pel_FMT_P8, nullptr);
  owned.SetPaletteCopy(&p);
  pelFmtDesc borrowed;
  borrowed.Set(pel_FMT_P8, &p);
  pelFmtDesc plain;
  plain.Set(pel_FMT_R5G6B5, nullptr);

  rwStream* w = rwWrOpen(nullptr, nullptr);
  owned.Write(w);
  borrowed.Write(w);
  plain.Write(w);
  palCTy empty;
  empty.Write(w);
  // format 9, tag 1, count 2, R G B per entry; 9, tag 2; 4, tag 0; count 0.
  const Bytes want = {9, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0,  //
                      9, 0, 0, 0, 2, 0, 0, 0,                                                  //
                      4, 0, 0, 0, 0, 0, 0, 0,                                                  //
                      0, 0, 0, 0};
  EXPECT_EQ(written(w), want);

  rwStream* r = readStream(written(w));
  discard(w);
  pelFmtDesc a, b, c;
  a.Read(r);
  ASSERT_NE(a.palette, nullptr);
  EXPECT_EQ(a.owns, 1);
  EXPECT_EQ(a.palette->count, 2u);
  EXPECT_EQ(a.palette->Entry(0), 0xFF102030u);  // A = 255, as Set gives
  EXPECT_EQ(a.palette->Entry(1), 0xFFA0B0C0u);
  b.Read(r);
  EXPECT_EQ(b.palette, nullptr);  // waits for a shared palette, never address 1
  EXPECT_EQ(b.waitsShared, 1);
  EXPECT_EQ(b.owns, 0);
  EXPECT_EQ(b.ToRGB(0, pel_FMT_X8R8G8B8), 0u);  // counts as no palette
  c.Read(r);
  EXPECT_EQ(c.format, pel_FMT_R5G6B5);
  EXPECT_EQ(c.palette, nullptr);
  palCTy back;
  back.Read(r);
  EXPECT_EQ(back.count, 0u);
  EXPECT_EQ(r->failed, 0);
  rwClose(r);
  EXPECT_TRUE(reports().empty());
}

TEST_F(PelTest, HostileDescriptorsAndPalettes) {
  struct Case {
    const char* what;
    Bytes bytes;
    int failed;
    const char* report;
    int format;
    uint32_t count;  // of the palette read
  } cases[] = {
      {"unknown tag", {4, 0, 0, 0, 3, 0, 0, 0}, 0, "Unknow palette kind: 3", 4, 0},
      {"format 11", {11, 0, 0, 0, 0, 0, 0, 0}, 1, nullptr, 0, 0},
      {"format -1", {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, 1, nullptr, 0, 0},
      {"257 entries", {9, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0}, 1, nullptr, 9, 0},
      {"entries past the data", {9, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 2, 3, 4, 5}, 1, nullptr, 9, 0},
      {"no tag", {9, 0, 0, 0}, 1, nullptr, 9, 0},
  };
  for (const Case& c : cases) {
    rwStream* r = readStream(c.bytes);
    pelFmtDesc d;
    d.Read(r);
    EXPECT_EQ(r->failed, c.failed) << c.what;
    EXPECT_EQ(d.format, c.format) << c.what;
    EXPECT_EQ(d.palette ? d.palette->count : 0u, c.count) << c.what;
    if (c.report) {
      EXPECT_EQ(reported(c.report), 1) << c.what;
    } else {
      EXPECT_TRUE(reports().empty()) << c.what;
    }
    rwClose(r);
  }
}
