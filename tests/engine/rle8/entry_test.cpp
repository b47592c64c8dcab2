// The draw entries one by one: the mirrored example, the stretched draws,
// DrawAlpha's weights, and the draws that draw nothing.
#include <cmath>
#include <limits>
#include <string>

#include "engine/img_row.h"
#include "rle8_fixture.h"

using namespace rle8_test;
using engine_test::makeImage;

namespace {

using Rle8Entry = engine_test::ImagesTest;
using Row = std::unique_ptr<imgRowCTy>;

// Index i drawn onto X8R8G8B8 reads back from B and G (indexPalette).
int indexAt(const imgRowCTy& d, int x, int y) {
  const uint8_t* p = d.buffer + 4 * (size_t(y) * d.width + x);
  return p[3] == 0 ? -1 : p[0] >> 3 | (p[1] >> 3) << 5;
}

// 10 x 4, key 0, columns 2 to 6 opaque: pel (x, y) = 1 + x + 10 y.
Image tenByFour() {
  Bytes pels(40, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 2; x <= 6; ++x) pels[size_t(y * 10 + x)] = uint8_t(1 + x + 10 * y);
  return packed(10, 4, pels, 0);
}

}  // namespace

TEST_F(Rle8Entry, MirroredDrawLandsOnePelRightOfTheReflection) {
  Image image = tenByFour();
  ASSERT_EQ(image->bounds.x, 2);
  ASSERT_EQ(image->bounds.w, 5);
  Row dst(makeImage(20, 4, pel_FMT_X8R8G8B8, 0));
  image->DrawMirrorH(dst.get(), 3, 0, nullptr);
  // At x + 4 (10 - 5 - 2 + 1) to x + 8; the row's first pel at x + 8.
  for (int x = 0; x < 20; ++x) {
    const int want = x >= 7 && x <= 11 ? 1 + (2 + 11 - x) : -1;
    EXPECT_EQ(indexAt(*dst, x, 0), want) << x;
  }
  EXPECT_EQ(indexAt(*dst, 11, 3), 1 + 2 + 30);
  // A rectangle given takes its x mirrored back.
  rectCTy r{5, 1, 2, 1};
  image->DrawMirrorH(dst.get(), 0, 0, &r);
  EXPECT_EQ(r.x, 4);
  EXPECT_EQ(dst->data, nullptr);
}

// Mode 13 without a rectangle: the bounds scaled, at (x, y) plus their
// scaled corner; pel (i, j) of it samples the bounds' pel (j * step >> 16,
// i * step >> 16), skips leaving the destination. Mirrored, the same pels
// land on the scaled rectangle mirrored by the rule, row by row reversed.
TEST_F(Rle8Entry, StretchedDraws) {
  Bytes pels(size_t(12 * 5), 0);
  for (int y = 1; y < 5; ++y)
    for (int x = 3; x < 11; ++x) pels[size_t(y * 12 + x)] = (x + y) % 4 == 0 ? 0 : uint8_t(x + 12 * y);
  pels[size_t(2 * 12 + 3)] = 0;  // a skip at the bounds' left edge
  Image image = packed(12, 5, pels, 0);
  const rectCTy b = image->bounds;
  ASSERT_EQ(b.x, 3);
  for (float scale : {1.0f, 2.0f, 0.5f, 1.5f}) {
    for (bool mirror : {false, true}) {
      SCOPED_TRACE(std::to_string(scale) + (mirror ? " mirrored" : ""));
      Row dst(makeImage(40, 16, pel_FMT_X8R8G8B8, 0));
      imgDrawParams p{};
      p.mode = pel_OP_STRETCH;
      p.scaleX = p.scaleY = scale;
      const int bx = int(float(b.x) * scale), by = int(float(b.y) * scale);
      const int bw = int(float(b.w) * scale), bh = int(float(b.h) * scale);
      const uint32_t step = uint32_t(1.0 / double(scale) * 65536.0);
      int left = bx;
      if (mirror) {
        left = int(float(12) * scale) - bw - bx + 1;
        image->DrawExMirrorH(dst.get(), 2, 1, nullptr, &p);
      } else {
        image->DrawEx(dst.get(), 2, 1, nullptr, &p);
      }
      int drawn = 0;
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 40; ++x) {
          const int i = y - 1 - by, j = mirror ? 2 + left + bw - 1 - x : x - 2 - left;
          int want = -1;
          if (i >= 0 && i < bh && j >= 0 && j < bw) {
            const int sx = b.x + int((uint64_t(j) * step) >> 16), sy = b.y + int((uint64_t(i) * step) >> 16);
            if (sx < b.x + b.w && sy < b.y + b.h && pels[size_t(sy * 12 + sx)]) want = pels[size_t(sy * 12 + sx)];
          }
          drawn += want >= 0;
          ASSERT_EQ(indexAt(*dst, x, y), want) << x << ", " << y;
        }
      EXPECT_GT(drawn, 0);
    }
  }
  // Scales that give no step draw nothing.
  for (float scale : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 1e-9f}) {
    Row dst(makeImage(40, 16, pel_FMT_X8R8G8B8, 0));
    imgDrawParams p{};
    p.mode = pel_OP_STRETCH;
    p.scaleX = p.scaleY = scale;
    const rectCTy r{3, 1, 2, 2};
    image->DrawEx(dst.get(), 2, 1, &r, &p);
    image->DrawExMirrorH(dst.get(), 2, 1, nullptr, &p);
    EXPECT_EQ(Bytes(dst->buffer, dst->buffer + dst->BufferBytes()), Bytes(size_t(dst->BufferBytes()), 0)) << scale;
  }
}

// factor * 256 truncated, clamped to 0..256; NaN gives 0. One R8G8B8 pel of
// blue 200 over 0: blue = 200 * a >> 8.
TEST_F(Rle8Entry, DrawAlphaWeights) {
  Image image = packed(1, 1, {31});  // entry 31: blue 248
  struct Case {
    float factor;
    int blue;
  } cases[] = {{0.5f, 124}, {1.0f, 248}, {0.3f, 73}, {1.5f, 248}, {-2.0f, 0}, {std::nanf(""), 0}, {1e30f, 248}};
  for (const Case& c : cases) {
    Row dst(makeImage(1, 1, pel_FMT_R8G8B8, 0));
    image->DrawAlpha(dst.get(), 0, 0, nullptr, c.factor);
    EXPECT_EQ(dst->buffer[0], c.blue) << c.factor;
  }
}

TEST_F(Rle8Entry, DrawsThatDrawNothing) {
  Image image = tenByFour();
  Row weights(makeImage(10, 4, pel_FMT_P8, 0x80));
  // Onto a destination with a palette: reported, nothing drawn, unlocked.
  palCTy palette;
  indexPalette(palette);
  Row p8(makeImage(20, 4, pel_FMT_P8, 0xEE, &palette));
  imgDrawParams p{};
  image->DrawEx(p8.get(), 0, 0, nullptr, &p);
  EXPECT_EQ(reported("imgRle8CTy::DrawEx: This is not impelmetned yet"), 1);
  image->Draw(p8.get(), 0, 0, nullptr);
  image->DrawAlpha(p8.get(), 0, 0, nullptr, 0.5f);
  EXPECT_EQ(reported("imgRle8CTy::Draw: This is not impelmetned yet"), 2);
  image->DrawMirrorH(p8.get(), 0, 0, nullptr);
  EXPECT_EQ(reported("imgRle8CTy::DrawMirrorH: This is not impelmetned yet"), 1);
  image->DrawExMirrorH(p8.get(), 0, 0, nullptr, &p);
  EXPECT_EQ(reported("imgRle8CTy::DrawExMirrorH: This is not impelmetned yet"), 1);
  EXPECT_EQ(Bytes(p8->buffer, p8->buffer + p8->BufferBytes()), Bytes(80, 0xEE));
  EXPECT_EQ(p8->data, nullptr);

  // DrawAlphaMap, an image after FreeData, an image without a palette.
  Row dst(makeImage(20, 4, pel_FMT_X8R8G8B8, 0));
  image->DrawAlphaMap(dst.get(), 0, 0, nullptr, weights.get());
  EXPECT_EQ(weights->data, nullptr);
  Image freed = tenByFour();
  freed->FreeData();
  freed->Draw(dst.get(), 0, 0, nullptr);
  imgRle8CTy bare;
  bare.SetSize(4, 1, nullptr);
  bare.Lock(nullptr, img_LOCK_READWRITE);
  std::memset(bare.data, 3, 4);
  bare.Unlock();
  bare.Draw(dst.get(), 0, 0, nullptr);
  EXPECT_EQ(Bytes(dst->buffer, dst->buffer + dst->BufferBytes()), Bytes(size_t(dst->BufferBytes()), 0));
  EXPECT_EQ(dst->data, nullptr);
  EXPECT_EQ(reports().size(), 0u);
}
