// Colour collectors: truncating averages at the type's own depth, and the
// key-skipping twins that move a key pel's weight to its partner.
#include "img/Collector.h"

#include <gtest/gtest.h>

using namespace talvo::g;

namespace {

Rgb888 grey(std::uint32_t v) { return Rgb888::from_raw(v * 0x010101u); }

}  // namespace

TEST(Collector, AveragesTruncateAtTheTypesOwnDepth) {
  // Red 31 and red 0: 15.5 truncates to 15.
  RGBCollector<Rgb565> c565;
  c565.add(Rgb565::from_raw(0xF800));
  c565.add(Rgb565::from_raw(0x0000));
  EXPECT_EQ(c565.get().raw(), 0x7800u);

  // A 1-bit alpha survives only where every sample has it; colour channels
  // are averaged straight, not weighted by alpha.
  RGBACollector<Rgba5551> c5551;
  for (std::uint32_t v : {0xFC00u, 0xFC00u, 0xFC00u, 0x7C00u}) c5551.add(Rgba5551::from_raw(v));
  EXPECT_EQ(c5551.get().raw(), 0x7C00u);

  // Two-sample add of 10 and 11 at one half: 10.5, which gives 10.
  RGBCollector<Rgb888> c888;
  c888.add(grey(10), grey(11), 32768);
  EXPECT_EQ(c888.get().raw(), grey(10).raw());

  // Four-sample add: each row in 16.16, the rows mixed and truncated once.
  c888.add(grey(0), grey(255), grey(255), grey(255), 16384, 0);
  EXPECT_EQ(c888.get().raw(), grey(63).raw());

  // x fields are not computed: they come back 0.
  RGBCollector<Rgbx8888> cx;
  cx.add(Rgbx8888::from_raw(0xAB123456));
  EXPECT_EQ(cx.get().raw(), 0x00123456u);
}

TEST(Collector, GetClearsAndAnEmptyPlainAverageIsZero) {
  RGBACollector<Rgba8888> c;
  c.add(Rgba8888::from_raw(0xFFFFFFFF));
  EXPECT_EQ(c.get().raw(), 0xFFFFFFFFu);
  c.add(Rgba8888::from_raw(0x02040608));
  EXPECT_EQ(c.get().raw(), 0x02040608u);  // nothing of the earlier sample left
  EXPECT_EQ(c.get().raw(), 0u);           // no samples: a zero pel, no division
}

TEST(Collector, KeySkippingMovesTheWeightOfKeyPels) {
  const Rgb888 k = Rgb888::from_raw(0xFF00FF);
  const Rgb888 a = grey(40), b = grey(200);
  struct Case {
    const char* what;
    Rgb888 tl, tr, bl, br;
    std::int32_t fx, fy;
    std::uint32_t want;  // grey level; 0x1FF: nothing added, get gives the key
  } cases[] = {
      {"top right key, fy 0: top left whatever fx", a, k, b, b, 50000, 0, 40},
      {"top left key: the top row is its right pel", k, a, b, b, 0, 0, 40},
      {"bottom left key, fy 1/2: (40 + 200) / 2", a, a, k, b, 0, 32768, 120},
      {"whole top row key: the bottom row only", k, k, a, b, 32768, 0, 120},
      {"whole bottom row key: the top row only", a, b, k, k, 16384, 65535, 80},
      {"all four key: nothing added", k, k, k, k, 1234, 4321, 0x1FF},
  };
  for (const auto& c : cases) {
    RGBCollectorVoid<Rgb888> col(k);
    col.add(c.tl, c.tr, c.bl, c.br, c.fx, c.fy);
    EXPECT_EQ(col.get().raw(), c.want == 0x1FF ? k.raw() : grey(c.want).raw()) << c.what;
  }

  RGBCollectorVoid<Rgb888> two(k);
  two.add(a, k, 60000);  // second pel key: the first, whatever f is
  EXPECT_EQ(two.get().raw(), a.raw());
  two.add(k, b, 1);  // first pel key: the second
  EXPECT_EQ(two.get().raw(), b.raw());
  two.add(k, k, 100);  // both key: nothing
  two.add(k);
  EXPECT_EQ(two.get().raw(), k.raw());
}

TEST(Collector, KeyTestComparesTheBitsTheKeyComparesAndAnEmptyGetGivesTheWholeKeyPel) {
  // Rgbx8888: the x byte is ignored, so this pel is key; the empty average
  // is the key pel with its own x byte.
  RGBCollectorVoid<Rgbx8888> x(Rgbx8888::from_raw(0x7F102030));
  x.add(Rgbx8888::from_raw(0x00102030));
  EXPECT_EQ(x.get().raw(), 0x7F102030u);
  // Rgba8888: a pel that differs only in alpha is a sample.
  RGBACollectorVoid<Rgba8888> a(Rgba8888::from_raw(0xFF102030));
  a.add(Rgba8888::from_raw(0x80102030));
  EXPECT_EQ(a.get().raw(), 0x80102030u);
  // Rgbx4444: the top nibble is ignored.
  RGBCollectorVoid<Rgbx4444> n(Rgbx4444::from_raw(0x0ABC));
  n.add(Rgbx4444::from_raw(0xFABC));
  n.add(Rgbx4444::from_raw(0x0AB0));
  EXPECT_EQ(n.get().raw(), 0x0AB0u);
}
