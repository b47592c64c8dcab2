// Copy with conversion: every pair of formats, keys, palettes, index images,
// and the dispatch outcome of every destination and source type.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Lib/talvo/src/img/pel_reference.h"
#include "img/Image.h"
#include "img/Op.h"
#include "op_reference.h"
#include "talvo/Exception.h"

using namespace talvo::g;
using opref::all_types;
using opref::Picture;

namespace {

// Runs one copy of a source rectangle to (x, y) and checks every byte of the
// destination buffer, guards and the slack past each row included.
void check_copy(int dt, int st, bool keyed, bool dst_bottom_up, bool src_bottom_up, int w, std::mt19937& rng) {
  Picture dst(w + 5, 9, PelFmt(dt), dst_bottom_up, rng);
  Picture src(w + 2, 7, PelFmt(st), src_bottom_up, rng);
  const Rect s{1, 2, 1 + w, 7};
  const int x = 3, y = 1;
  const std::uint32_t key = src.buf.pel(2, 3);
  if (keyed) opref::plant_key(src, st, key);
  std::vector<std::uint8_t> want = dst.buf.bytes;
  const std::ptrdiff_t base = dst.buf.at(0, 0) - dst.buf.bytes.data();
  for (int r = 0; r < s.height(); ++r)
    for (int c = 0; c < s.width(); ++c) {
      const std::uint32_t v = src.buf.pel(s.x0 + c, s.y0 + r);
      if (keyed && ((v ^ key) & pelref::layout(st).key_mask) == 0) continue;
      std::uint8_t* at = want.data() + base + std::ptrdiff_t(y + r) * dst.buf.signed_pitch() +
                         (x + c) * dst.buf.size;
      pelref::store(at, dst.buf.size, pelref::copy_pel(dt, pelref::load(at, dst.buf.size), st, v));
    }
  dst.image.assign(x, y, src.image, &s);
  EXPECT_EQ(dst.buf.bytes, want) << pelref::layout(dt).name << " from " << pelref::layout(st).name
                                 << (keyed ? " keyed" : "") << (dst_bottom_up ? ", bottom-up destination" : "")
                                 << (src_bottom_up ? ", bottom-up source" : "");
}

}  // namespace

TEST(Copy, EveryPairOfFormatsMatchesThePerPelRule) {
  std::mt19937 rng(42);
  opref::at_every_level([&] {
    for (int w : opref::row_widths)
      for (int dt : all_types)
        for (int st : all_types)
          for (int keyed = 0; keyed < 2; ++keyed) {
            check_copy(dt, st, keyed, false, false, w, rng);
            check_copy(dt, st, keyed, true, (dt + st) % 2 == 0, w, rng);
          }
  });
}

// The telling cells of the rule table, on single pels.
TEST(Copy, TellingCells) {
  const struct {
    int dt, st;
    std::uint32_t dst_before, src, key;  // key 0xFFFFFFFF: no key
    std::uint32_t want;
  } cases[] = {
      {2, 3, 0x11000000, 0x80123456, ~0u, 0x80123456},  // whole word, byte 3 from alpha
      {2, 1, 0x11000000, 0x123456, ~0u, 0x11123456},    // byte 3 kept
      {2, 2, 0x11000000, 0x22123456, ~0u, 0x22123456},  // whole word
      {3, 2, 0, 0x00123456, ~0u, 0xFF123456},           // alpha 255 whatever byte 3 held
      {5, 6, 0x8000, 0x7FFF, ~0u, 0xFFFF},              // bit 15 kept
      {7, 8, 0xA000, 0x0123, ~0u, 0xA123},              // bits 12-15 kept
      {1, 3, 0, 0x80123456, ~0u, 0x123456},
      {2, 2, 0, 0x77123456, 0x00123456, 0},             // bytes 0-2 match: skipped
      {3, 3, 0, 0x77123456, 0x00123456, 0x77123456},    // alpha differs: copied
      {5, 5, 0, 0x8123, 0x0123, 0},                     // bit 15 ignored: skipped
      {6, 6, 0, 0x8123, 0x0123, 0x8123},                // alpha bit compared: copied
      {7, 7, 0, 0xF123, 0x0123, 0},                     // bits 12-15 ignored: skipped
  };
  for (const auto& c : cases) {
    std::uint32_t d = c.dst_before, s = c.src;
    ImageRow dst(1, 1, PelFmt(c.dt), reinterpret_cast<std::uint8_t*>(&d), 4);
    ImageRow src(1, 1, PelFmt(c.st), reinterpret_cast<std::uint8_t*>(&s), 4);
    if (c.key != ~0u) src.set_color_key(c.key);
    dst.assign(0, 0, src);
    EXPECT_EQ(d, c.want) << c.dt << " from " << c.st << std::hex << " of 0x" << c.src;
  }
}

// A paletted source onto every direct-colour format: a short palette, indices
// past it read zero entries (and nothing past the table under ASan), with and
// without a key index.
TEST(Copy, PalettedSources) {
  std::mt19937 rng(3);
  const Rgba8888 colours[] = {{0xFF0000FF}, {0x8000FF00}, {0x40FF0000}, {0x00123456}, {0xFFFFFFFF}};
  Palette pal;
  pal.set(colours, 5);
  for (int dt : all_types)
    for (int keyed = 0; keyed < 2; ++keyed) {
      Picture dst(9, 9, PelFmt(dt), keyed, rng);
      Picture src(16, 16, PelFmt(pel_type::index8, &pal), !keyed, rng);
      for (int i = 0; i < 256; ++i) *src.buf.at(i % 16, i / 16) = std::uint8_t(i * 7 + 3);
      const std::uint32_t key = *src.buf.at(3, 2);
      if (keyed) src.image.set_color_key(key);
      const Rect s{2, 1, 10, 9};
      std::vector<std::uint8_t> want = dst.buf.bytes;
      const std::ptrdiff_t base = dst.buf.at(0, 0) - dst.buf.bytes.data();
      const int size = dst.buf.size;
      for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
          const std::uint8_t index = *src.buf.at(s.x0 + c, s.y0 + r);
          if (keyed && index == key) continue;
          const std::uint32_t entry = index < 5 ? pelref::convert(dt, 0, 3, colours[index].value) : 0;
          pelref::store(want.data() + base + std::ptrdiff_t(1 + r) * dst.buf.signed_pitch() + (1 + c) * size,
                        size, entry);
        }
      dst.image.assign(1, 1, src.image, &s);
      EXPECT_EQ(dst.buf.bytes, want) << pelref::layout(dt).name << (keyed ? " keyed" : "");
    }
}

TEST(Copy, IndexImagesCopyTheirBytes) {
  std::mt19937 rng(5);
  const Rgba8888 a[] = {{0xFF000000}, {0xFFFFFFFF}};
  const Rgba8888 b[] = {{0xFF0000FF}};
  Palette pa, pb;
  pa.set(a, 2);
  pb.set(b, 1);
  const PelFmt fmts[] = {PelFmt(pel_type::index8), PelFmt(pel_type::index8, &pa),
                         PelFmt(pel_type::index8, &pb)};
  for (const PelFmt& df : fmts)
    for (const PelFmt& sf : fmts)
      for (int keyed = 0; keyed < 2; ++keyed) {
        Picture dst(6, 5, df, false, rng);
        Picture src(6, 5, sf, true, rng);
        const std::uint8_t key = *src.buf.at(0, 0);
        // The key test takes the key pel's low byte.
        if (keyed) src.image.set_color_key(0x300u | key);
        std::vector<std::uint8_t> want = dst.buf.bytes;
        const std::ptrdiff_t base = dst.buf.at(0, 0) - dst.buf.bytes.data();
        for (int r = 0; r < 5; ++r)
          for (int c = 0; c < 6; ++c)
            if (!keyed || *src.buf.at(c, r) != key)
              want[base + std::ptrdiff_t(r) * dst.buf.signed_pitch() + c] = *src.buf.at(c, r);
        dst.image.assign(0, 0, src.image);
        EXPECT_EQ(dst.buf.bytes, want);
      }
}

// Which outcome each destination and source type gives: the copy runs,
// nothing happens, or "NOT IMPLEMENTED" is thrown before any pel changes.
TEST(Copy, DispatchOutcomes) {
  std::mt19937 rng(9);
  const Rgba8888 c[] = {{0xFF102030}};
  Palette pal;
  pal.set(c, 1);
  struct Kind {
    const char* name;
    PelFmt fmt;
  };
  const Kind kinds[] = {
      {"Rgb888", PelFmt(1)},   {"Rgbx8888", PelFmt(2)}, {"Rgba8888", PelFmt(3)},
      {"Rgb565", PelFmt(4)},   {"Rgbx5551", PelFmt(5)}, {"Rgba5551", PelFmt(6)},
      {"Rgbx4444", PelFmt(7)}, {"Rgba4444", PelFmt(8)}, {"index", PelFmt(9)},
      {"type10", PelFmt(10)},  {"type11", PelFmt(11)},  {"paletted", PelFmt(9, &pal)},
      {"none", PelFmt(0)},
  };
  auto direct = [](const PelFmt& f) { return !f.palette() && f.type() >= 1 && f.type() <= 8; };
  for (const Kind& d : kinds)
    for (const Kind& s : kinds) {
      std::string want;
      if (direct(d.fmt))
        want = direct(s.fmt) || s.fmt.palette() ? "copied"
               : s.fmt.type() >= 9 && s.fmt.type() <= 11 ? "NOT IMPLEMENTED"
                                                            : "nothing";
      else if (d.fmt.type() == 9)
        want = s.fmt.type() == 9 ? "copied" : "nothing";
      else
        want = "nothing";

      Picture dst(4, 3, d.fmt, false, rng);
      Picture src(4, 3, s.fmt, false, rng);
      std::memset(src.buf.first_row(), 0, std::size_t(src.buf.pitch) * 3);  // index 0, pel 0
      const std::vector<std::uint8_t> before = dst.buf.bytes;
      std::string got;
      try {
        dst.image.assign(0, 0, src.image);
        got = dst.buf.bytes == before ? "nothing" : "copied";
      } catch (const talvo::Exception& e) {
        got = e.what();
        EXPECT_EQ(dst.buf.bytes, before);
      }
      EXPECT_EQ(got, want) << d.name << " from " << s.name;
    }
}

TEST(Copy, EmptySourceRectangleWritesNothing) {
  opref::check_empty_source_rects(4, 2, [](Image& dst, Image& src, const Rect* s) { dst.assign(0, 0, src, s); });
}

// Same-format copies between images whose rows follow each other without
// slack, and within one image where the two rectangles overlap: the rows go
// over one after another, top row first.
TEST(Copy, RowsWithoutSlack) {
  std::uint16_t a[4 * 6], b[4 * 6];
  for (int i = 0; i < 24; ++i) a[i] = std::uint16_t(0x1000 + i), b[i] = 0;
  ImageRow from(4, 6, PelFmt(pel_type::rgb565), reinterpret_cast<std::uint8_t*>(a), 8);
  ImageRow to(4, 6, PelFmt(pel_type::rgb565), reinterpret_cast<std::uint8_t*>(b), 8);
  const Rect rows{0, 1, 4, 5};
  to.assign(0, 2, from, &rows);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(b[i], i >= 8 ? 0x1000 + i - 4 : 0) << i;

  const Rect first{0, 0, 4, 4};
  from.assign(0, 1, from, &first);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(a[i], i < 4 || i >= 20 ? 0x1000 + i : 0x1000 + i % 4) << i;
}

// The vector kernels narrow 8-bit channels to 5 and 6 bits by closed forms
// of the width tables: every byte value in each channel, at every level.
TEST(Copy, EveryChannelByteNarrowsToRgb565AsTheTables) {
  for (int st : {int(pel_type::rgbx8888), int(pel_type::rgba8888)}) {
    std::vector<std::uint32_t> src(256);
    for (std::uint32_t i = 0; i < 256; ++i) src[i] = i | (255 - i) << 8 | (i * 37 % 256) << 16 | (i ^ 0x5A) << 24;
    ImageRow from(256, 1, PelFmt(st), reinterpret_cast<std::uint8_t*>(src.data()), 4 * 256);
    opref::at_every_level([&] {
      std::vector<std::uint16_t> dst(256, 0);
      ImageRow to(256, 1, PelFmt(pel_type::rgb565), reinterpret_cast<std::uint8_t*>(dst.data()), 2 * 256);
      to.assign(0, 0, from);
      for (int i = 0; i < 256; ++i)
        ASSERT_EQ(dst[std::size_t(i)], pelref::copy_pel(pel_type::rgb565, 0, st, src[std::size_t(i)]))
            << pelref::layout(st).name << " pel " << i;
    });
  }
}
