// Fill of a rectangle with one pel.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "Lib/talvo/src/img/pel_reference.h"
#include "img/Image.h"
#include "op_reference.h"
#include "talvo/Exception.h"

using namespace talvo::g;
using pelref::Buffer;

TEST(Fill, RectanglesOfEveryPelSize) {
  std::mt19937 rng(11);
  const Rect rects[] = {
      {1, 1, 6, 3},  // width 5: pairs and one odd pel
      {0, 0, 1, 5},  // width 1
      {2, 2, 6, 4},  // width 4
      {3, 0, 4, 1},  // one pel
      {1, 1, 20, 3},  // width 19: whole 32-byte blocks and a tail
      {0, 0, 21, 5},  // the whole image
      {2, 2, 2, 4},  // empty
      {5, 1, 3, 3},  // x1 < x0
  };
  // High bytes past the pel size are ignored; a pel of like bytes is
  // written another way than others.
  const std::uint32_t pels[] = {0xDEADBEEF, 0x5A5A5A5A, 0x12EFEFEF, 0xEFEF1234};
  for (int type : {1, 2, 3, 4, 5, 6, 7, 8})
    for (const Rect& r : rects)
      for (const std::uint32_t pel : pels)
        for (bool bottom_up : {false, true}) {
          const int size = bytes_per_pel(type);
          Buffer buf(21, 5, size, bottom_up, rng);
          ImageRow img(21, 5, PelFmt(type), buf.first_row(), buf.signed_pitch());
          std::vector<std::uint8_t> want = buf.bytes;
          const std::ptrdiff_t base = buf.at(0, 0) - buf.bytes.data();
          for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x)
              pelref::store(want.data() + base + std::ptrdiff_t(y) * buf.signed_pitch() + x * size, size, pel);
          img.fill(pel, &r);
          EXPECT_EQ(buf.bytes, want) << "type " << type << " rect " << r.x0 << "," << r.y0 << "," << r.x1
                                     << "," << r.y1 << std::hex << " pel 0x" << pel << (bottom_up ? " bottom-up" : "");
        }
}

TEST(Fill, NullRectangleCoversTheImageAndOthersAreCutToIt) {
  ImageRow img;
  img.create(5, 4, PelFmt(pel_type::rgb888));
  img.fill(0x010203);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(img.get_pel(x, y), 0x010203u);

  const Rect beyond{-3, 2, 9, 40};
  img.fill(0x0A0B0C, &beyond);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(img.get_pel(x, y), y >= 2 ? 0x0A0B0Cu : 0x010203u);

  const Rect outside{10, 10, 12, 12};
  img.fill(0x222222, &outside);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(img.get_pel(x, y), y >= 2 ? 0x0A0B0Cu : 0x010203u);

  img.set_clip_rect(Rect{1, 0, 3, 1});
  img.fill(0x111111);
  EXPECT_EQ(img.get_pel(0, 0), 0x010203u);
  EXPECT_EQ(img.get_pel(1, 0), 0x111111u);
  EXPECT_EQ(img.get_pel(2, 0), 0x111111u);
  EXPECT_EQ(img.get_pel(3, 0), 0x010203u);
  EXPECT_EQ(img.get_pel(1, 1), 0x010203u);
}

TEST(Fill, IndexAndReservedTypesAreRefused) {
  opref::check_refused_on_indexed([](Image& img) { img.fill(0); });
  std::uint32_t pel = 7;
  ImageRow none(1, 1, PelFmt(0), reinterpret_cast<std::uint8_t*>(&pel), 4);
  none.fill(0);  // no slot for type 0: nothing happens
  EXPECT_EQ(pel, 7u);
}

// Rows without slack between them are filled as one block, and nothing past
// the last pel is written.
TEST(Fill, RowsWithoutSlack) {
  for (int type : {pel_type::rgb888, pel_type::rgbx8888, pel_type::rgb565})
    for (const std::uint32_t pel : {0x00123456u, 0x5A5A5A5Au}) {
      const int size = bytes_per_pel(type);
      std::vector<std::uint8_t> bytes(std::size_t(13 * 3 * size) + 8, 0xEE);
      ImageRow img(13, 3, PelFmt(type), bytes.data(), 13 * size);
      img.fill(pel);
      for (int i = 0; i < 13 * 3; ++i)
        EXPECT_EQ(pelref::load(bytes.data() + i * size, size), pel & pelref::mask_of(size)) << type;
      for (std::size_t i = bytes.size() - 8; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0xEE) << type;
    }
}
