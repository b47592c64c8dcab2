// The engine's image layer and talvo::g keep their own arithmetic: the
// engine shifts where talvo::g rounds. One row per difference; a merge of
// the two layers' conversions in either direction fails a row.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>

#include "engine/pal.h"
#include "img/Image.h"
#include "img/Palette.h"
#include "img/Pixel.h"

namespace {

namespace g = talvo::g;

uint32_t talvoConvert(g::PelType from, uint32_t pel, g::PelType to) { return g::PelFmt(from).convert(pel, to); }

uint32_t engineToRGB(int format, uint32_t pel) {
  pelFmtDesc d;
  d.Set(format, nullptr);
  return d.ToRGB(pel, pel_FMT_X8R8G8B8);
}

uint32_t engineToNative(int format, uint32_t colour) {
  pelFmtDesc d;
  d.Set(format, nullptr);
  return d.ToNative(colour, pel_FMT_X8R8G8B8);
}

uint32_t talvoTableEntry(uint32_t colour, g::PelType to) {
  g::Palette p;
  const g::Rgba8888 c = g::Rgba8888::from_raw(colour);
  p.set(&c, 1);
  uint32_t v = 0;
  std::memcpy(&v, p.converted(to), size_t(g::bytes_per_pel(to)));
  return v;
}

uint32_t engineTableEntry(uint32_t colour, int to) {
  palCTy p;
  const uint8_t quad[4] = {uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour >> 16), 0};
  p.Set(quad, 1);
  p.entries[0].a = uint8_t(colour >> 24);
  p.BuildTbl(to);
  uint32_t v = 0;
  std::memcpy(&v, p.table, size_t(pelBytes(to)));
  return v;
}

}  // namespace

TEST(LayersDiffer, ConversionsRoundVersusShift) {
  struct Row {
    const char* input;
    uint32_t talvo, engine;
  } rows[] = {
      {"R5G6B5 FFFF as colour bytes", talvoConvert(g::pel_type::rgb565, 0xFFFF, g::pel_type::rgbx8888) & 0xFFFFFF,
       engineToRGB(pel_FMT_R5G6B5, 0xFFFF) & 0xFFFFFF},
      {"X1R5G5B5 7FFF as R5G6B5", talvoConvert(g::pel_type::rgbx5551, 0x7FFF, g::pel_type::rgb565),
       pelRaw(pelConvert<X1R5G5B5, R5G6B5>(X1R5G5B5{0x7FFF}))},
      {"(B 10, G 20, R F8) as R5G6B5", talvoConvert(g::pel_type::rgbx8888, 0x00F82010, g::pel_type::rgb565),
       engineToNative(pel_FMT_R5G6B5, 0x00F82010)},
      {"5-bit blue 3 widened", talvoConvert(g::pel_type::rgbx5551, 3, g::pel_type::rgbx8888) & 0xFF,
       engineToRGB(pel_FMT_X1R5G5B5, 3) & 0xFF},
      {"X8R8G8B8 table entry of A 80: the x byte", talvoTableEntry(0x80102030, g::pel_type::rgbx8888) >> 24,
       engineTableEntry(0x80102030, pel_FMT_X8R8G8B8) >> 24},
  };
  const uint32_t want[][2] = {{0xFFFFFF, 0xF8FCF8}, {0xFFFF, 0xFFDF}, {0xF102, 0xF902}, {25, 24}, {0, 0x80}};
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(rows[i].talvo, want[i][0]) << rows[i].input;
    EXPECT_EQ(rows[i].engine, want[i][1]) << rows[i].input;
  }
}
