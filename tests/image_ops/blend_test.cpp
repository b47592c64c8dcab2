// Constant-weight blend: every pair of formats and paletted sources against
// the model, the weights 0 and 256, the worked values, weights out of range,
// and the dispatch outcomes.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "image_ops/BlendRows.h"
#include "img/Image.h"
#include "img/Op.h"
#include "op_reference.h"
#include "talvo/Exception.h"

using namespace talvo::g;
using opref::Picture;

namespace {

void blend(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect* source_rect, std::int32_t k) {
  opref::run_binary(dst, x, y, src, source_rect, dst.context()->new_alpha_k(k));
}

const Rgba8888 palette_colours[] = {{0xFF0000FF}, {0x8000FF00}, {0x40FF0000}, {0x00123456}, {0xFFFFFFFF}};

// One run of a source rectangle blended to (3, 1), against the model; st 0
// is a paletted source (indices past the palette read zero entries).
void check_blend(int dt, int st, bool keyed, bool bottom_up, int k, int w, std::mt19937& rng) {
  Palette pal;
  pal.set(palette_colours, 5);
  Picture dst(w + 5, 9, PelFmt(dt), bottom_up, rng);
  Picture src(w + 2, 7, st ? PelFmt(st) : PelFmt(9, &pal), !bottom_up, rng);
  const Rect s{1, 2, 1 + w, 7};
  const std::uint32_t key = src.buf.pel(2, 3);
  if (keyed) opref::plant_key(src, st, key);
  std::vector<std::uint8_t> want = dst.buf.bytes;
  for (int r = 0; r < s.height(); ++r)
    for (int c = 0; c < s.width(); ++c) {
      const std::uint32_t v = src.buf.pel(s.x0 + c, s.y0 + r);
      if (keyed && ((v ^ key) & (st ? pelref::layout(st).key_mask : 0xFFu)) == 0) continue;
      const std::uint32_t from = st ? v : v < 5 ? pelref::convert(dt, 0, 3, palette_colours[v].value) : 0;
      std::uint8_t* at = dst.in(want, 3 + c, 1 + r);
      pelref::store(at, dst.buf.size, opref::blend_pel(dt, pelref::load(at, dst.buf.size), st, from, k));
    }
  blend(dst.image, 3, 1, src.image, &s, k);
  EXPECT_EQ(dst.buf.bytes, want) << pelref::layout(dt).name << " from "
                                 << (st ? pelref::layout(st).name : "paletted") << " at k = " << k
                                 << (keyed ? " keyed" : "") << (bottom_up ? " bottom-up" : "") << ", width " << w;
}

}  // namespace

TEST(Blend, EveryPairMatchesItsRule) {
  std::mt19937 rng(21);
  opref::at_every_level([&] {
    for (int w : opref::row_widths)
      for (int dt : opref::all_types)
        for (int st : {2, 3, 1, 4, 6, 5, 8, 7, 0})
          for (int k : {0, 1, 77, 100, 128, 200, 254, 255, 256})
            for (int variant = 0; variant < 2; ++variant) check_blend(dt, st, variant, variant, k, w, rng);
  });
}

// k = 0 leaves every destination as it was; k = 256 gives every colour field
// the converted source's value and keeps the destination's x or alpha bits
// (no shortcut applies at 256). Checked on the outcome itself, every
// destination format against every source.
TEST(Blend, WeightsZeroAnd256) {
  std::mt19937 rng(22);
  Palette pal;
  pal.set(palette_colours, 5);
  for (int dt : opref::all_types)
    for (int st : {2, 3, 1, 4, 6, 5, 8, 7, 0})
      for (bool keyed : {false, true}) {
        Picture src(6, 4, st ? PelFmt(st) : PelFmt(9, &pal), false, rng);
        if (!st)
          for (int i = 0; i < 24; ++i) *src.buf.at(i % 6, i / 6) = std::uint8_t(i % 5);
        if (keyed) src.image.set_color_key(src.buf.pel(0, 0));
        Picture dst(6, 4, PelFmt(dt), true, rng);
        const std::vector<std::uint8_t> before = dst.buf.bytes;
        blend(dst.image, 0, 0, src.image, nullptr, 0);
        EXPECT_EQ(dst.buf.bytes, before) << pelref::layout(dt).name << " at k = 0";

        blend(dst.image, 0, 0, src.image, nullptr, 256);
        const pelref::Layout& d = pelref::layout(dt);
        const std::uint32_t colour = (((1u << d.r.bits) - 1) << d.r.shift) |
                                     (((1u << d.g.bits) - 1) << d.g.shift) |
                                     (((1u << d.b.bits) - 1) << d.b.shift);
        std::vector<std::uint8_t> prior = before;
        for (int y = 0; y < 4; ++y)
          for (int x = 0; x < 6; ++x) {
            const std::uint32_t v = src.buf.pel(x, y), old = pelref::load(dst.in(prior, x, y), dst.buf.size);
            const bool skipped =
                keyed && ((v ^ src.buf.pel(0, 0)) & (st ? pelref::layout(st).key_mask : 0xFF)) == 0;
            const std::uint32_t source =
                st ? pelref::convert(dt, 0, st, v) : pelref::convert(dt, 0, 3, palette_colours[v].value);
            const std::uint32_t want = skipped ? old : (old & ~colour) | (source & colour);
            EXPECT_EQ(dst.buf.pel(x, y), want)
                << d.name << " from " << (st ? pelref::layout(st).name : "paletted") << " at k = 256, pel "
                << x << "," << y;
          }
        EXPECT_TRUE(dst.buf.guards_intact());
      }
}

// Single pels with known results.
TEST(Blend, WorkedValues) {
  const struct {
    const char* what;
    int dt, st, k;
    std::uint32_t dst_before, src, key;  // key 0xFFFFFFFF: no key
    std::uint32_t want;
  } cases[] = {
      {"255 stores the converted pel, alpha 255", 3, 1, 255, 0x00000000, 0x102030, ~0u, 0xFF102030},
      {"255 onto Rgbx8888 keeps the x byte", 2, 1, 255, 0x55000000, 0x102030, ~0u, 0x55102030},
      {"Rgbx8888 onto itself at 255: 200 gives 199", 2, 2, 255, 0x7700FF10, 0x66C8C8C8, ~0u, 0x77C7C7C7},
      {"Rgba8888 onto Rgbx8888 at 255: alpha into x", 2, 3, 255, 0x11000000, 0x80102030, ~0u, 0x80102030},
      {"128, both 255: 254", 1, 1, 128, 0xFFFFFF, 0xFFFFFF, ~0u, 0xFEFEFE},
      {"128, both 31 in 5 bits: 30", 6, 6, 128, 0x7FFF, 0x7FFF, ~0u, 0x7BDE},
      {"Rgb565 onto itself keeps 31", 4, 4, 128, 0xFFFF, 0xFFFF, ~0u, 0xFFFF},
      {"5551 at 128", 6, 6, 128, 0x7FFF, 0x8000, ~0u, 0x3DEF},
      {"5551 at 255 copies the source", 6, 6, 255, 0x7FFF, 0x8000, ~0u, 0x8000},
      {"5551 at 256", 6, 6, 256, 0x7FFF, 0x8000, ~0u, 0x0000},
      {"565 white onto black at 255", 4, 4, 255, 0x0000, 0xFFFF, ~0u, (30u << 11) | (62u << 5) | 30u},
      {"565 black onto white at 255", 4, 4, 255, 0xFFFF, 0x0000, ~0u, 0x0000},
      {"565 white onto black at 128", 4, 4, 128, 0x0000, 0xFFFF, ~0u, (15u << 11) | (31u << 5) | 15u},
      {"565 black onto white at 128", 4, 4, 128, 0xFFFF, 0x0000, ~0u, (15u << 11) | (31u << 5) | 15u},
      {"565 at 256 equals the source", 4, 4, 256, 0x1234, 0xABCD, ~0u, 0xABCD},
      {"keyed Rgbx8888, x byte differs: skipped", 2, 2, 128, 0x00000000, 0x11FFFFFF, 0x22FFFFFF, 0x00000000},
      {"keyed Rgba8888, alpha differs: blended", 2, 3, 128, 0x00000000, 0x11FFFFFF, 0x22FFFFFF, 0x007F7F7F},
  };
  for (const auto& c : cases) {
    std::uint32_t d = c.dst_before, s = c.src;
    ImageRow dst(1, 1, PelFmt(c.dt), reinterpret_cast<std::uint8_t*>(&d), 4);
    ImageRow src(1, 1, PelFmt(c.st), reinterpret_cast<std::uint8_t*>(&s), 4);
    if (c.key != ~0u) src.set_color_key(c.key);
    blend(dst, 0, 0, src, nullptr, c.k);
    EXPECT_EQ(d, c.want) << c.what;
  }
  // The per-pel step on its own.
  Rgb565 p{0x0000};
  blend_pel_k(p, Rgb565{0xFFFF}, 255);
  EXPECT_EQ(p.raw(), (30u << 11) | (62u << 5) | 30u);
}

TEST(Blend, PalettedSourceSkipsTheKeyIndex) {
  const Rgba8888 colours[] = {{0xFF000000}, {0xFFFFFFFF}};
  Palette pal;
  pal.set(colours, 2);
  std::uint8_t indices[4] = {0, 1, 1, 0};
  ImageRow src(4, 1, PelFmt(9, &pal), indices, 4);
  src.set_color_key(1);
  std::uint16_t pels[4] = {0xFFFF, 0xFFFF, 0x0000, 0x0000};
  ImageRow dst(4, 1, PelFmt(pel_type::rgb565), reinterpret_cast<std::uint8_t*>(pels), 8);
  blend(dst, 0, 0, src, nullptr, 128);
  EXPECT_EQ(pels[0], (15u << 11) | (31u << 5) | 15u);
  EXPECT_EQ(pels[1], 0xFFFFu);
  EXPECT_EQ(pels[2], 0x0000u);
  EXPECT_EQ(pels[3], 0x0000u);
}

// A weight outside 0 to 256 gives no checked result, but each field stays in
// its bits: the destination's x or alpha bits never change, and no pel
// outside the rectangle does.
TEST(Blend, WeightsOutOfRangeKeepToTheirFields) {
  std::mt19937 rng(23);
  for (int dt : opref::all_types)
    for (int st : {2, 3, 4, 8})
      for (int k : {-1, -255, 257, 511, 100000, INT_MIN, INT_MAX}) {
        Picture dst(7, 5, PelFmt(dt), false, rng);
        Picture src(4, 3, PelFmt(st), false, rng);
        const std::vector<std::uint8_t> before = dst.buf.bytes;
        blend(dst.image, 2, 1, src.image, nullptr, k);
        const pelref::Layout& d = pelref::layout(dt);
        const std::uint32_t kept = pelref::mask_of(d.size) & ~((((1u << d.r.bits) - 1) << d.r.shift) |
                                                               (((1u << d.g.bits) - 1) << d.g.shift) |
                                                               (((1u << d.b.bits) - 1) << d.b.shift));
        std::vector<std::uint8_t> prior = before;
        for (int y = 0; y < 5; ++y)
          for (int x = 0; x < 7; ++x) {
            const std::uint32_t old = pelref::load(dst.in(prior, x, y), d.size), now = dst.buf.pel(x, y);
            const bool inside = x >= 2 && x < 6 && y >= 1 && y < 4;
            if (inside)
              EXPECT_EQ(now & kept, old & kept) << d.name << " k = " << k;
            else
              EXPECT_EQ(now, old) << d.name << " k = " << k;
          }
        EXPECT_TRUE(dst.buf.guards_intact());
      }
}

TEST(Blend, DispatchOutcomes) {
  const Rgba8888 c[] = {{0xFF102030}};
  Palette pal;
  pal.set(c, 1);
  opref::check_dispatch(
      {
          {PelFmt(2), PelFmt(3), "written"},
          {PelFmt(8), PelFmt(9, &pal), "written"},
          {PelFmt(9, &pal), PelFmt(9), "NOT IMPLEMENTED"},
          {PelFmt(9), PelFmt(3), "NOT IMPLEMENTED"},
          {PelFmt(10), PelFmt(3), "NOT IMPLEMENTED"},
          {PelFmt(11), PelFmt(3), "NOT IMPLEMENTED"},
          {PelFmt(3), PelFmt(9), "NOT IMPLEMENTED"},
          {PelFmt(4), PelFmt(10), "NOT IMPLEMENTED"},
          {PelFmt(1), PelFmt(11), "NOT IMPLEMENTED"},
      },
      [](Image& dst, Image& src) { blend(dst, 0, 0, src, nullptr, 128); });
}

TEST(Blend, EmptySourceRectangleWritesNothing) {
  opref::check_empty_source_rects(
      2, 2, [](Image& dst, Image& src, const Rect* s) { blend(dst, 0, 0, src, s, 128); });
}
