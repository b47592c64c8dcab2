// Draw with source alpha: the copy for every source without alpha, blending by
// source alpha for the others, keys, and the dispatch outcomes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "image_ops/DrawRows.h"
#include "img/Image.h"
#include "img/Op.h"
#include "op_reference.h"
#include "talvo/Exception.h"

using namespace talvo::g;
using opref::Picture;

namespace {

void draw(Image& dst, std::int32_t x, std::int32_t y, Image& src, const Rect* source_rect) {
  opref::run_binary(dst, x, y, src, source_rect, dst.context()->new_draw());
}

}  // namespace


// For every source without alpha, and paletted sources, the draw writes what
// the copy writes, pel for pel, keyed or not, on top-down and bottom-up pictures.
TEST(Draw, SourcesWithoutAlphaDrawAsTheyCopy) {
  std::mt19937 rng(7);
  const Rgba8888 colours[] = {{0xFF0000FF}, {0x8000FF00}, {0x00123456}};
  Palette pal;
  pal.set(colours, 3);
  const PelFmt sources[] = {PelFmt(2), PelFmt(1), PelFmt(4), PelFmt(5), PelFmt(7), PelFmt(9, &pal)};
  const Rect s{1, 2, 7, 7};
  for (int dt : opref::all_types)
    for (const PelFmt& sf : sources)
      for (int variant = 0; variant < 4; ++variant) {
        const bool keyed = variant & 1, bottom_up = variant & 2;
        Picture src(8, 7, sf, !bottom_up, rng);
        const unsigned seed = rng();
        std::mt19937 a(seed), b(seed);
        Picture by_copy(11, 9, PelFmt(dt), bottom_up, a), by_draw(11, 9, PelFmt(dt), bottom_up, b);
        if (keyed) opref::plant_key(src, sf.palette() ? 0 : sf.type(), src.buf.pel(2, 3));
        by_copy.image.assign(3, 1, src.image, &s);
        draw(by_draw.image, 3, 1, src.image, &s);
        EXPECT_EQ(by_draw.buf.bytes, by_copy.buf.bytes)
            << pelref::layout(dt).name << " from type " << sf.type() << (sf.palette() ? " paletted" : "")
            << (keyed ? " keyed" : "") << (bottom_up ? " bottom-up" : "");
      }
}

namespace {

// One alpha source of type st drawn onto a destination of type dt, against
// the model; alphas 0 and full are planted often beside random ones.
void check_draw(int dt, int st, bool keyed, bool bottom_up, int w, std::mt19937& rng) {
  const Rect s{1, 2, 1 + w, 7};
  Picture dst(w + 5, 9, PelFmt(dt), bottom_up, rng);
  Picture src(w + 2, 7, PelFmt(st), !bottom_up, rng);
  const pelref::Chan a = pelref::layout(st).a;
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < w + 2; ++x) {
      std::uint32_t v = src.buf.pel(x, y) & ~(((1u << a.bits) - 1) << a.shift);
      const int pick = (x + 3 * y) % 4;
      const std::uint32_t alpha = pick == 0 ? 0 : pick == 1 ? (1u << a.bits) - 1 : a.get(rng());
      pelref::store(src.buf.at(x, y), src.buf.size, v | alpha << a.shift);
    }
  if (keyed) opref::plant_key(src, st, src.buf.pel(2, 3) | ((1u << a.bits) - 1) << a.shift);
  std::vector<std::uint8_t> want = dst.buf.bytes;
  for (int r = 0; r < s.height(); ++r)
    for (int c = 0; c < s.width(); ++c) {
      const std::uint32_t v = src.buf.pel(s.x0 + c, s.y0 + r);
      if (keyed && v == src.image.key_pel()) continue;
      std::uint8_t* at = dst.in(want, 3 + c, 1 + r);
      pelref::store(at, dst.buf.size, opref::draw_pel(dt, pelref::load(at, dst.buf.size), st, v));
    }
  draw(dst.image, 3, 1, src.image, &s);
  EXPECT_EQ(dst.buf.bytes, want) << pelref::layout(dt).name << " from " << pelref::layout(st).name
                                 << (keyed ? " keyed" : "") << (bottom_up ? " bottom-up" : "") << ", width " << w;
}

}  // namespace

// Sources with alpha onto every destination, against the model, at every
// vector level.
TEST(Draw, AlphaSourcesBlendByTheirAlpha) {
  std::mt19937 rng(8);
  opref::at_every_level([&] {
    for (int w : opref::row_widths)
      for (int dt : opref::all_types)
        for (int st : {3, 6, 8})
          for (int variant = 0; variant < 4; ++variant) check_draw(dt, st, variant & 1, variant & 2, w, rng);
  });
}

// Single pels with known results.
TEST(Draw, WorkedValues) {
  const struct {
    const char* what;
    int dt, st;
    std::uint32_t dst_before, src, key;  // key 0xFFFFFFFF: no key
    std::uint32_t want;
  } cases[] = {
      {"200 under 100 at 128", 1, 3, 0xC8C8C8, 0x80646464, ~0u, 0x969696},
      {"white under black at 17", 1, 8, 0xFFFFFF, 0x1000, ~0u, 0xEEEEEE},
      {"alpha 0 leaves", 2, 3, 0x11223344, 0x00FFFFFF, ~0u, 0x11223344},
      {"alpha 255 replaces, x byte too", 2, 3, 0x11223344, 0xFFABCDEF, ~0u, 0xFFABCDEF},
      {"Rgb888 takes b, g, r at 255", 1, 3, 0x010203, 0xFFABCDEF, ~0u, 0xABCDEF},
      {"alpha bit set replaces", 4, 6, 0x0000, 0xFFFF, ~0u, 0xFFFF},
      {"alpha bit clear leaves", 4, 6, 0x1234, 0x7FFF, ~0u, 0x1234},
      {"alpha 15 replaces", 7, 8, 0x5000, 0xF123, ~0u, 0x5123},
      {"alpha 8 blends at 136", 8, 8, 0x0000, 0x8FFF, ~0u, 0x0777},
      {"Rgba8888 keeps alpha 0", 3, 3, 0x00000000, 0x80FFFFFF, ~0u, 0x007F7F7F},
      {"Rgba5551 keeps its bit", 6, 3, 0x0000, 0x80FFFFFF, ~0u, 0x3DEF},
      {"key equal in every bit", 2, 3, 0x11223344, 0xFFABCDEF, 0xFFABCDEF, 0x11223344},
      {"key differs in alpha only", 2, 3, 0x11223344, 0xFFABCDEF, 0xFEABCDEF, 0xFFABCDEF},
  };
  for (const auto& c : cases) {
    std::uint32_t d = c.dst_before, s = c.src;
    ImageRow dst(1, 1, PelFmt(c.dt), reinterpret_cast<std::uint8_t*>(&d), 4);
    ImageRow src(1, 1, PelFmt(c.st), reinterpret_cast<std::uint8_t*>(&s), 4);
    if (c.key != ~0u) src.set_color_key(c.key);
    draw(dst, 0, 0, src, nullptr);
    EXPECT_EQ(d, c.want) << c.what;
  }
}

// The per-pel step on its own, for the pairs the worked values name.
TEST(Draw, PelStep) {
  Rgb888 d = Rgb888::from_raw(0xC8C8C8);
  draw_pel(d, Rgba8888{0x80646464});
  EXPECT_EQ(d.raw(), 0x969696u);
  Rgbx8888 x{0x00000000};
  draw_pel(x, Rgba8888{0xFF102030});
  EXPECT_EQ(x.raw(), 0xFF102030u);
  Rgbx4444 n{0xA000};
  draw_pel(n, Rgba4444{0x8FFF});
  EXPECT_EQ(n.raw(), 0xA777u);
}

// Which outcome each kind of destination and source gives: the draw runs,
// nothing happens, or "NOT IMPLEMENTED" is thrown before any pel changes.
TEST(Draw, DispatchOutcomes) {
  const Rgba8888 c[] = {{0xFF102030}};
  Palette pal;
  pal.set(c, 1);
  opref::check_dispatch(
      {
          {PelFmt(2), PelFmt(3), "written"},
          {PelFmt(4), PelFmt(9, &pal), "written"},
          {PelFmt(9, &pal), PelFmt(9), "nothing"},  // the index copy: index 0 onto index 0
          {PelFmt(9, &pal), PelFmt(3), "nothing"},
          {PelFmt(10), PelFmt(3), "nothing"},
          {PelFmt(11), PelFmt(9), "nothing"},
          {PelFmt(0), PelFmt(3), "nothing"},
          {PelFmt(3), PelFmt(9), "NOT IMPLEMENTED"},
          {PelFmt(6), PelFmt(10), "NOT IMPLEMENTED"},
          {PelFmt(1), PelFmt(11), "NOT IMPLEMENTED"},
      },
      [](Image& dst, Image& src) { draw(dst, 0, 0, src, nullptr); });
}

// Index images onto an index destination take the copy's index copy.
TEST(Draw, IndexImagesCopyTheirBytes) {
  const Rgba8888 c[] = {{0xFF102030}};
  Palette pal;
  pal.set(c, 1);
  std::uint8_t from[4] = {7, 1, 9, 3}, to[4] = {0, 0, 0, 0};
  ImageRow src(4, 1, PelFmt(9), from, 4), dst(4, 1, PelFmt(9, &pal), to, 4);
  src.set_color_key(9);
  draw(dst, 0, 0, src, nullptr);
  EXPECT_EQ(to[0], 7);
  EXPECT_EQ(to[1], 1);
  EXPECT_EQ(to[2], 0);
  EXPECT_EQ(to[3], 3);
}

TEST(Draw, EmptySourceRectangleWritesNothing) {
  opref::check_empty_source_rects(4, 3,
                                  [](Image& dst, Image& src, const Rect* s) { draw(dst, 0, 0, src, s); });
}
