// Pixel formats and palettes.
#include "img/Palette.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace talvo::g;

namespace {

Palette greys(std::uint32_t count) {
  std::vector<Rgba8888> c(count);
  for (std::uint32_t i = 0; i < count; ++i) c[i].value = 0xFF000000u | i * 0x010101u;
  Palette p;
  p.set(c.data(), count);
  return p;
}

}  // namespace

TEST(PelFmt, CopiesOwnTheirPalette) {
  Palette borrowed = greys(4);
  auto original = std::make_unique<PelFmt>(pel_type::index8, &borrowed);
  EXPECT_FALSE(original->owns_palette());

  PelFmt assigned;
  assigned = *original;
  PelFmt constructed(*original);
  PelFmt chained(assigned);
  original.reset();
  borrowed.set(nullptr, 0);

  for (const PelFmt* f : {&assigned, &constructed, &chained}) {
    ASSERT_NE(f->palette(), nullptr);
    EXPECT_NE(f->palette(), &borrowed);
    EXPECT_TRUE(f->owns_palette());
    EXPECT_EQ(f->type(), pel_type::index8);
    EXPECT_EQ(f->convert(3, pel_type::rgbx8888), 0x030303u);
  }
  EXPECT_NE(assigned.palette(), constructed.palette());
  EXPECT_NE(assigned.palette(), chained.palette());

  assigned = assigned;  // self-assignment keeps the palette
  EXPECT_EQ(assigned.convert(2, pel_type::rgbx8888), 0x020202u);
  assigned = PelFmt(pel_type::rgb565);
  EXPECT_EQ(assigned.palette(), nullptr);
  EXPECT_EQ(assigned.type(), pel_type::rgb565);
}

TEST(Palette, CopyConstructorAndAssignmentAreDeep) {
  auto original = std::make_unique<Palette>(greys(3));
  original->converted(pel_type::rgb565);
  Palette copy(*original);
  Palette assigned;
  assigned = *original;
  original.reset();
  for (Palette* p : {&copy, &assigned}) {
    EXPECT_EQ(p->count(), 3u);
    EXPECT_EQ(p->entry(2, pel_type::rgbx8888), 0x020202u);
    EXPECT_EQ(p->converted(pel_type::rgbx8888)[8], 2);
  }
}

TEST(PelFmt, Convert) {
  EXPECT_EQ(PelFmt(pel_type::index8).convert(5, pel_type::rgbx8888), 0u);
  EXPECT_EQ(PelFmt(pel_type::index8).convert(0xFFFF, pel_type::rgba8888), 0u);
  Palette p = greys(256);
  PelFmt f(pel_type::index8, &p);
  EXPECT_EQ(f.convert(5, pel_type::rgbx8888), 5u | 5u << 8 | 5u << 16);
  EXPECT_EQ(PelFmt(pel_type::rgb565).convert(0xF800, pel_type::rgbx8888), 0xFF0000u);
  EXPECT_EQ(PelFmt(pel_type::rgb888).convert(0xFF123456, pel_type::rgba8888), 0xFF123456u);
  EXPECT_EQ(PelFmt(pel_type::reserved10).convert(0x1234, pel_type::rgba8888), 0u);
  EXPECT_EQ(PelFmt().convert(0x1234, pel_type::rgba8888), 0u);
}

TEST(PelFmt, FromRgba) {
  const Rgba8888 green{0xFF00FF00};
  EXPECT_EQ(PelFmt(pel_type::rgb565).from_rgba(green), 0x07E0u);
  EXPECT_EQ(PelFmt(pel_type::rgba8888).from_rgba(Rgba8888{0x12345678}), 0x12345678u);
  EXPECT_EQ(PelFmt(pel_type::index8).from_rgba(green), 0u);
  Palette p = greys(256);
  EXPECT_EQ(PelFmt(pel_type::index8, &p).from_rgba(Rgba8888{0x00404040}), 0x40u);
}

TEST(Palette, Nearest) {
  std::vector<Rgba8888> c(12, Rgba8888{0xFF000000});
  c[7].value = c[9].value = 0x00102030;
  c[3].value = 0x00000070;
  Palette p;
  p.set(c.data(), std::uint32_t(c.size()));
  const struct {
    std::uint32_t colour, want;
  } cases[] = {
      {0xFF102030, 7},  // exactly entries 7 and 9; alpha is not compared
      {0x00102031, 7},  // nearest, ties to the lower index
      {0x00000060, 3},  // distance 256 to entry 3, 9216 to entry 0
      {0x00000064, 3},
      {0x00640000, 0},  // distance 10000 to entry 0 is not below the start
      {0x00FFFFFF, 0},  // nothing within 10000
  };
  for (const auto& k : cases) EXPECT_EQ(p.nearest(Rgba8888{k.colour}), k.want) << std::hex << k.colour;

  Palette empty;
  empty.set(nullptr, 0);
  EXPECT_EQ(empty.nearest(Rgba8888{0x00102030}), 0u);
  EXPECT_EQ(empty.count(), 0u);
}

TEST(Palette, ConvertedTableIsCachedPerTypeAndPadded) {
  std::vector<Rgba8888> c = {{0xFF0000FF}, {0x8000FF00}, {0x00FF0000}};
  Palette p;
  p.set(c.data(), 3);
  const std::uint8_t* t565 = p.converted(pel_type::rgb565);
  EXPECT_EQ(p.converted(pel_type::rgb565), t565);
  auto u16 = [](const std::uint8_t* t, int i) { return std::uint32_t(t[2 * i] | t[2 * i + 1] << 8); };
  EXPECT_EQ(u16(t565, 0), 0x001Fu);
  EXPECT_EQ(u16(t565, 1), 0x07E0u);
  EXPECT_EQ(u16(t565, 2), 0xF800u);
  // Indices past the entry count read zero entries, up to 255.
  for (int i = 3; i < 256; ++i) EXPECT_EQ(u16(t565, i), 0u) << i;

  const std::uint8_t* t4444 = p.converted(pel_type::rgbx4444);
  EXPECT_EQ(u16(t4444, 0), 0x000Fu);  // x nibble 0
  EXPECT_EQ(u16(t4444, 2), 0x0F00u);
  const std::uint8_t* t888 = p.converted(pel_type::rgb888);
  EXPECT_EQ(t888[3 * 1 + 1], 0xFF);
  EXPECT_EQ(t888[3 * 255 + 2], 0);
  const std::uint8_t* ta = p.converted(pel_type::rgba8888);
  EXPECT_EQ(ta[4 * 1 + 3], 0x80);  // alpha of the entry kept

  p.set(c.data(), 1);  // forgets the table
  EXPECT_EQ(u16(p.converted(pel_type::rgb565), 1), 0u);
  EXPECT_EQ(p.entry(1, pel_type::rgb565), 0u);
}
