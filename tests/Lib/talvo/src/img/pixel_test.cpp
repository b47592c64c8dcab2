// Pixel types: width tables, pel conversions, to_type and pel equality.
#include "img/Pixel.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "Lib/talvo/src/img/pel_reference.h"

using namespace talvo::g;

namespace {

template <class F>
void for_each_struct(F&& f) {
  f(static_cast<Rgbx8888*>(nullptr));
  f(static_cast<Rgba8888*>(nullptr));
  f(static_cast<Rgb888*>(nullptr));
  f(static_cast<Rgb565*>(nullptr));
  f(static_cast<Rgba5551*>(nullptr));
  f(static_cast<Rgbx5551*>(nullptr));
  f(static_cast<Rgba4444*>(nullptr));
  f(static_cast<Rgbx4444*>(nullptr));
}

template <class T>
using Bare = std::remove_pointer_t<T>;

// D's assignment from S over a previous destination value.
template <class D, class S>
std::uint32_t assign_over(std::uint32_t prior, std::uint32_t source) {
  D d = D::from_raw(prior);
  d = S::from_raw(source);
  return d.raw();
}

}  // namespace

TEST(BitDepthTables, EveryEntryIsTheNearestInteger) {
  const struct {
    const std::uint8_t* table;
    int s, d;
  } tables[] = {
      {bit_depth_tables.t1_4.v, 1, 4}, {bit_depth_tables.t1_8.v, 1, 8},
      {bit_depth_tables.t4_1.v, 4, 1}, {bit_depth_tables.t4_5.v, 4, 5},
      {bit_depth_tables.t4_6.v, 4, 6}, {bit_depth_tables.t4_8.v, 4, 8},
      {bit_depth_tables.t5_4.v, 5, 4}, {bit_depth_tables.t5_6.v, 5, 6},
      {bit_depth_tables.t5_8.v, 5, 8}, {bit_depth_tables.t6_4.v, 6, 4},
      {bit_depth_tables.t6_5.v, 6, 5}, {bit_depth_tables.t6_8.v, 6, 8},
      {bit_depth_tables.t8_1.v, 8, 1}, {bit_depth_tables.t8_4.v, 8, 4},
      {bit_depth_tables.t8_5.v, 8, 5}, {bit_depth_tables.t8_6.v, 8, 6},
  };
  for (const auto& t : tables)
    for (std::uint32_t v = 0; v < (1u << t.s); ++v)
      EXPECT_EQ(t.table[v], pelref::scale(v, t.s, t.d)) << t.s << ">" << t.d << " at " << v;

  // Worked values.
  const std::uint8_t t5_8[] = {0, 8, 16, 25, 33};
  for (int v = 0; v < 5; ++v) EXPECT_EQ(bit_depth_tables.t5_8.v[v], t5_8[v]);
  const std::uint8_t t4_5[] = {0, 2, 4, 6, 8, 10, 12, 14, 17, 19, 21, 23, 25, 27, 29, 31};
  for (int v = 0; v < 16; ++v) EXPECT_EQ(bit_depth_tables.t4_5.v[v], t4_5[v]);
  for (int v = 0; v < 256; ++v) EXPECT_EQ(bit_depth_tables.t8_1.v[v], v >= 128 ? 1 : 0);
  EXPECT_EQ(bit_depth_tables.t6_5.v[63], 31);
  EXPECT_EQ(bit_depth_tables.t6_5.v[1], 0);
  EXPECT_EQ(bit_depth_tables.t5_6.v[31], 63);
  EXPECT_EQ(bit_depth_tables.t5_6.v[1], 2);
  EXPECT_EQ(bit_depth_tables.t4_6.v[3], 13);
}

// Every 16-bit pel of every 16-bit format through every conversion, over a
// destination whose x field is all ones and one whose x field is zero; and
// random pels of the 24- and 32-bit formats.
TEST(PelConversion, MatchesTheRuleForEveryPair) {
  std::mt19937 rng(7);
  for_each_struct([&](auto* dtag) {
    using D = Bare<decltype(dtag)>;
    for_each_struct([&](auto* stag) {
      using S = Bare<decltype(stag)>;
      if constexpr (!std::is_same_v<D, S>) {
        int failures = 0;
        auto check = [&](std::uint32_t prior, std::uint32_t v) {
          const std::uint32_t want = pelref::convert(D::type, prior, S::type, v) & pelref::mask_of(D::size);
          const std::uint32_t got = assign_over<D, S>(prior, v);
          if (got != want && ++failures <= 3)
            ADD_FAILURE() << pelref::layout(D::type).name << " from " << pelref::layout(S::type).name
                          << " of 0x" << std::hex << v << " over 0x" << prior << ": 0x" << got
                          << ", want 0x" << want;
        };
        if constexpr (S::size == 2) {
          for (std::uint32_t v = 0; v < 0x10000; ++v) {
            check(0xFFFFFFFFu & pelref::mask_of(D::size), v);
            check(0, v);
          }
        } else {
          for (int i = 0; i < 20000; ++i) check(rng() & pelref::mask_of(D::size), rng() & pelref::mask_of(S::size));
        }
      }
    });
  });
}

TEST(PelConversion, WorkedExamples) {
  const struct {
    const char* what;
    std::uint32_t got, want;
  } cases[] = {
      {"Rgb565 red to Rgb888", assign_over<Rgb888, Rgb565>(0, 0xF800), 0xFF0000},
      {"Rgba5551 white, alpha 0, to Rgba8888", assign_over<Rgba8888, Rgba5551>(0, 0x7FFF), 0x00FFFFFF},
      {"Rgb888 white to Rgbx4444 keeps x nibble", assign_over<Rgbx4444, Rgb888>(0xA000, 0xFFFFFF), 0xAFFF},
      {"Rgba8888 red, alpha 128, to Rgba5551", assign_over<Rgba5551, Rgba8888>(0, 0x80FF0000), 0xFC00},
      {"Rgb565 green to Rgba8888", assign_over<Rgba8888, Rgb565>(0, 0x07E0), 0xFF00FF00},
      {"Rgb565 green to Rgbx8888 keeps x byte", assign_over<Rgbx8888, Rgb565>(0x12000000, 0x07E0), 0x1200FF00},
      {"Rgba5551 green to Rgbx8888", assign_over<Rgbx8888, Rgba5551>(0, 0x83E0), 0x0000FF00},
      {"Rgba5551 green to Rgba4444", assign_over<Rgba4444, Rgba5551>(0, 0x83E0), 0xF0F0},
      {"Rgbx8888 green to Rgba5551", assign_over<Rgba5551, Rgbx8888>(0, 0x0000FF00), 0x83E0},
      {"Rgb565 blue to Rgbx4444 keeps x nibble", assign_over<Rgbx4444, Rgb565>(0x5000, 0x001F), 0x500F},
      {"Rgb565 blue to Rgba4444", assign_over<Rgba4444, Rgb565>(0, 0x001F), 0xF00F},
      {"Rgb888 writes its three bytes only", assign_over<Rgb888, Rgba8888>(0, 0x7F010203), 0x010203},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(PelConversion, Rgb888WritesThreeBytesAndNoMore) {
  std::uint8_t bytes[4] = {9, 9, 9, 0x77};
  auto* p = reinterpret_cast<Rgb888*>(bytes);
  *p = Rgb565::from_raw(0x001F);
  EXPECT_EQ(bytes[0], 255);
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[2], 0);
  EXPECT_EQ(bytes[3], 0x77);
}

TEST(ToType, WorkedExamples) {
  const Rgbx5551 p = Rgbx5551::from_raw(0x8012);
  EXPECT_EQ(to_type(p, 5), 0x8012u);  // its own code: unchanged, x bit kept
  EXPECT_EQ(to_type(p, 6), 0x8012u);  // alpha set: the source has none
  EXPECT_EQ(to_type(p, 7), 0x0009u);  // blue 18 of 5 bits is 9 of 4 bits, x nibble 0
  EXPECT_EQ(to_type(p, 2), 148u);
  EXPECT_EQ(to_type(Rgba8888::from_raw(0x80112233), 2), 0x112233u);
  EXPECT_EQ(to_type(Rgba8888::from_raw(0x80112233), 3), 0x80112233u);
  EXPECT_EQ(to_type(Rgbx8888::from_raw(0x80112233), 3), 0xFF112233u);
  EXPECT_EQ(to_type(Rgbx8888::from_raw(0x80112233), 2), 0x112233u);
}

// For every 16-bit pel and every target code: the conversion into a zeroed
// pel, the source unchanged for its own code, 0 for codes without a struct.
TEST(ToType, EveryTargetOfEvery16BitPel) {
  for_each_struct([&](auto* stag) {
    using S = Bare<decltype(stag)>;
    if constexpr (S::size == 2) {
      int failures = 0;
      for (std::uint32_t v = 0; v < 0x10000; ++v) {
        for (PelType t = -1; t <= 12; ++t) {
          std::uint32_t want = 0;
          if (t == S::type)
            want = v;
          else if (t >= 1 && t <= 8)
            want = pelref::convert(t, 0, S::type, v);
          const std::uint32_t got = to_type(S::from_raw(v), t);
          if (got != want && ++failures <= 3)
            ADD_FAILURE() << pelref::layout(S::type).name << " 0x" << std::hex << v << " to "
                          << std::dec << t << ": 0x" << std::hex << got << ", want 0x" << want;
        }
      }
    }
  });
}

TEST(PelEquality, XFieldsAreIgnoredWhereTheFormatHasThem) {
  EXPECT_TRUE(Rgbx4444::from_raw(0x1234) == Rgbx4444::from_raw(0xF234));
  EXPECT_FALSE(Rgbx4444::from_raw(0x1234) != Rgbx4444::from_raw(0xF234));
  EXPECT_TRUE(Rgbx4444::from_raw(0x1234) != Rgbx4444::from_raw(0x1235));
  EXPECT_FALSE(Rgba4444::from_raw(0x1234) == Rgba4444::from_raw(0xF234));
  EXPECT_FALSE(Rgba5551::from_raw(0x1234) == Rgba5551::from_raw(0x9234));
  EXPECT_TRUE(Rgb565::from_raw(0x1234) != Rgb565::from_raw(0x9234));
  EXPECT_TRUE(matches_key(Rgbx8888::from_raw(0x00112233), 0xFF112233));
  EXPECT_FALSE(matches_key(Rgba8888::from_raw(0x00112233), 0xFF112233));
  EXPECT_TRUE(matches_key(Rgbx5551::from_raw(0x1234), 0x9234));
}

TEST(PixelTypes, BytesPerPel) {
  const int want[] = {4, 3, 4, 4, 2, 2, 2, 2, 2, 1, 2, 4};
  for (int t = 0; t < 12; ++t) EXPECT_EQ(bytes_per_pel(t), want[t]) << t;
  EXPECT_EQ(bytes_per_pel(12), 0);
  EXPECT_EQ(bytes_per_pel(-1), 0);
}
