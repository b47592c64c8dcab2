// The image base class and the memory image: single pels, fills, locks,
// colour keys, the draw wrappers, sizes and copies.
#include <cmath>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

#include "images_fixture.h"

using namespace engine_test;

namespace {

using ImgTest = ImagesTest;
using Image = std::unique_ptr<imgRowCTy>;

// Records what reaches the DrawEx slot.
class SpyImage : public imgRowCTy {
 public:
  void DrawEx(imgCTy* destination, int x, int y, const rectCTy* rect, const imgDrawParams* params) override {
    calls.push_back({destination, x, y, rect, *params});
  }
  struct Call {
    imgCTy* destination;
    int x, y;
    const rectCTy* rect;
    imgDrawParams params;
  };
  std::vector<Call> calls;
};

}  // namespace

TEST_F(ImgTest, PelsAndFillsPerFormat) {
  struct Case {
    int format;
    uint32_t pel;   // filled, then read back at the last pel
    Bytes stored;   // the bytes of one pel after the fill
    uint32_t read;  // PelAtXY's value
  } cases[] = {
      {pel_FMT_R8G8B8, 0x00112233, {0x33, 0x22, 0x11}, 0x112233},
      {pel_FMT_R8G8B8, 0xFF112233, {0x33, 0x22, 0x11}, 0x112233},  // the fourth byte goes nowhere
      {pel_FMT_X8R8G8B8, 0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFF},
      {pel_FMT_A8R8G8B8, 0x80102030, {0x30, 0x20, 0x10, 0x80}, 0x80102030},
      {pel_FMT_R5G6B5, 0xABCDF902, {0x02, 0xF9}, 0xF902},  // upper 16 bits zero
      {pel_FMT_X1R5G5B5, 0x8001, {0x01, 0x80}, 0x8001},
      {pel_FMT_A1R5G5B5, 0x7FFF, {0xFF, 0x7F}, 0x7FFF},
      {pel_FMT_P8, 0x1234, {0x34}, 0x34},
      {pel_FMT_Z32, 0xFFFF0000, {0, 0, 0xFF, 0xFF}, 0xFFFF0000},
  };
  for (const Case& c : cases) {
    Image image(makeImage(3, 2, c.format, 0xEE));
    image->Fill(c.pel, nullptr);
    const int size = pelBytes(c.format);
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(Bytes(image->buffer + i * size, image->buffer + (i + 1) * size), c.stored) << c.format << " pel " << i;
    EXPECT_EQ(image->PelAtXY(2, 1), c.read) << c.format;
    EXPECT_EQ(image->data, nullptr) << c.format;
  }

  // A rectangle: only its pels.
  Image image(makeImage(4, 3, pel_FMT_R5G6B5));
  const rectCTy r{1, 1, 2, 1};
  image->Fill(0xFFFF, &r);
  const Bytes want = {0, 0, 0,    0,    0,    0,    0, 0,  //
                      0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0,  //
                      0, 0, 0,    0,    0,    0,    0, 0};
  EXPECT_EQ(Bytes(image->buffer, image->buffer + 24), want);
  EXPECT_EQ(image->PelAtXYRGB(1, 1), 0xFFF8FCF8u);
  EXPECT_TRUE(reports().empty());

  // Formats without pels here: reported, nothing written, both unlocked.
  for (int format : {pel_FMT_X4R4G4B4, pel_FMT_A4R4G4B4, pel_FMT_UNKNOWN}) {
    Image odd(makeImage(2, 2, format, 0x5A));
    EXPECT_EQ(odd->PelAtXY(1, 1), 0xFFFFFFFFu) << format;
    EXPECT_EQ(reported("imgCTy::PelAtXY : this is not implemented yet"), 1) << format;
    odd->Fill(0, nullptr);
    EXPECT_EQ(reported("imgCTy::Fill: This is not impelmetned yet"), 1) << format;
    for (int64_t i = 0; i < odd->BufferBytes(); ++i) ASSERT_EQ(odd->buffer[i], 0x5A) << format;
    EXPECT_EQ(odd->data, nullptr) << format;
  }
}

TEST_F(ImgTest, LockArithmetic) {
  Image image(makeImage(10, 10, pel_FMT_R8G8B8));
  const rectCTy r{2, 3, 4, 5};
  image->Lock(&r, img_LOCK_READWRITE);
  EXPECT_EQ(image->data, image->buffer + (3 * 10 + 2) * 3);
  EXPECT_EQ(image->pitch, 10);
  EXPECT_EQ(image->lockMode, img_LOCK_READWRITE);
  // A second lock of the same rectangle keeps the first (mode included).
  image->Lock(&r, img_LOCK_READ);
  EXPECT_EQ(image->data, image->buffer + 96);
  EXPECT_EQ(image->lockMode, img_LOCK_READWRITE);
  image->Unlock();
  EXPECT_EQ(image->data, nullptr);
  // Null is the whole image.
  image->Lock(nullptr, img_LOCK_READ);
  EXPECT_EQ(image->data, image->buffer);
  EXPECT_EQ(image->lockRect.w, 10);
  image->Unlock();
  EXPECT_EQ(image->GetBounds().w, 10);
  EXPECT_EQ(image->GetBounds().h, 10);

  // Without pels a lock gives no pointer.
  imgRowCTy empty;
  empty.Lock(nullptr, img_LOCK_READ);
  EXPECT_EQ(empty.data, nullptr);

  // In debug builds the contract is checked: rectangles inside, a relock
  // asking for what the first lock holds, single pels inside.
  const rectCTy outside{8, 8, 3, 1}, other{0, 0, 1, 1};
  EXPECT_DEBUG_DEATH(image->Lock(&outside, img_LOCK_READ), "Inside");
  EXPECT_DEBUG_DEATH(
      {
        image->Lock(&r, img_LOCK_READ);
        image->Lock(&other, img_LOCK_READ);
      },
      "sameRect");
  EXPECT_DEBUG_DEATH(image->PelAtXY(10, 0), "");
}

TEST_F(ImgTest, ColourKeyFollowsThePalette) {
  palCTy first, second;
  setColours(first, {0xFF000000, 0xFFFF0000, 0xFF00FF00});
  setColours(second, {0xFF00FF00, 0xFFFF0000});
  Image image(makeImage(2, 2, pel_FMT_P8, 0, &first));
  image->SetColorKeyRGB(0x00FE0101);  // nearest: red
  EXPECT_EQ(image->keyFlag, 1);
  EXPECT_EQ(image->keyPel, 1u);
  image->SetPalette(&second);
  EXPECT_EQ(image->keyPel, 1u);
  image->SharePalette(&first);
  EXPECT_EQ(image->keyPel, 1u);
  image->SetColorKeyRGB(0x0000FF00);
  EXPECT_EQ(image->keyPel, 2u);
  image->SetPalette(&second);
  EXPECT_EQ(image->keyPel, 0u);

  // SetSize with a descriptor that brings another palette: the key follows.
  pelFmtDesc d;
  d.Set(pel_FMT_P8, &first);
  image->SetSize(3, 3, &d);
  EXPECT_EQ(image->keyPel, 2u);
  EXPECT_EQ(image->desc.owns, 1);
  // Into another format the key pel is the colour in that format.
  d.Set(pel_FMT_R5G6B5, nullptr);
  image->SetSize(3, 3, &d);
  EXPECT_EQ(image->keyPel, 0x07E0u);

  // SetColorKey takes a pel and derives the colour.
  image->SetColorKey(0xF902);
  EXPECT_EQ(image->keyColor, 0xFFF82010u);
}

TEST_F(ImgTest, DrawWrappersFillTheirRecords) {
  SpyImage spy;
  Image destination(makeImage(2, 2, pel_FMT_R5G6B5));
  Image weights(makeImage(2, 2, pel_FMT_P8));
  const rectCTy r{0, 0, 1, 1};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float factor;
    int32_t alpha;
  } cases[] = {{0.5f, 128},  {0.999f, 255}, {1.0f, 256},         {-0.5f, -128},
               {nan, 0},     {1e10f, INT32_MAX}, {-1e10f, INT32_MIN}, {0.0f, 0}};
  for (const Case& c : cases) spy.DrawAlpha(destination.get(), 3, 4, &r, c.factor);
  ASSERT_EQ(spy.calls.size(), std::size(cases));
  for (size_t i = 0; i < spy.calls.size(); ++i) {
    const imgDrawParams& p = spy.calls[i].params;
    EXPECT_EQ(p.alpha, cases[i].alpha) << cases[i].factor;
    EXPECT_EQ(p.mode, pel_OP_ALPHA);
    EXPECT_EQ(p.scaled, 0);
    EXPECT_EQ(p.scaleX, 1.0f);
    EXPECT_EQ(p.scaleY, 1.0f);
    EXPECT_EQ(p.alphaMap, nullptr);
    EXPECT_EQ(spy.calls[i].destination, destination.get());
    EXPECT_EQ(spy.calls[i].x, 3);
    EXPECT_EQ(spy.calls[i].rect, &r);
  }
  spy.calls.clear();
  spy.Draw(destination.get(), 1, 2, nullptr);
  spy.DrawAlphaMap(destination.get(), 1, 2, nullptr, weights.get());
  ASSERT_EQ(spy.calls.size(), 2u);
  const imgDrawParams& copy = spy.calls[0].params;
  EXPECT_EQ(copy.mode, pel_OP_COPY);
  EXPECT_EQ(copy.alpha, 0);  // value-initialised, not left undefined
  EXPECT_EQ(copy.scaleX, 1.0f);
  EXPECT_EQ(copy.zSrc, nullptr);
  EXPECT_EQ(copy.zDst, nullptr);
  const imgDrawParams& map = spy.calls[1].params;
  EXPECT_EQ(map.mode, pel_OP_ALPHAMAP);
  EXPECT_EQ(map.alphaMap, weights.get());
  EXPECT_EQ(map.scaleY, 1.0f);
}

TEST_F(ImgTest, SizesBuffersAndCopies) {
  // A null descriptor keeps the format.
  Image image(makeImage(2, 2, pel_FMT_A8R8G8B8));
  image->SetSize(5, 3, nullptr);
  EXPECT_EQ(image->PelFormat(), pel_FMT_A8R8G8B8);
  EXPECT_EQ(image->BufferBytes(), 5 * 3 * 4);
  EXPECT_EQ(image->rowLength, 5);
  EXPECT_EQ(image->bounds.w, 5);
  image->Fill(0x01020304, nullptr);  // reaches every byte (ASan checks the size)
  EXPECT_EQ(image->PelAtXY(4, 2), 0x01020304u);

  // Copies: own pels equal to the source's, bounds of the size, unlocked.
  image->SetColorKeyRGB(0x00010203);
  image->Lock(nullptr, img_LOCK_READ);
  Image copy(static_cast<imgRowCTy*>(image->Clone()));
  image->Unlock();
  EXPECT_NE(copy->buffer, image->buffer);
  EXPECT_EQ(Bytes(copy->buffer, copy->buffer + 60), Bytes(image->buffer, image->buffer + 60));
  EXPECT_EQ(copy->data, nullptr);
  EXPECT_EQ(copy->keyPel, image->keyPel);
  EXPECT_EQ(copy->bounds.w, 5);
  EXPECT_EQ(copy->bounds.h, 3);
  EXPECT_STREQ(copy->GetClassName(), "imgRowCTy");
  imgRowCTy none;
  none.width = 4;
  none.height = 4;
  imgRowCTy noneCopy(none);
  EXPECT_EQ(noneCopy.buffer, nullptr);

  // FreeData, then an image the owner points at its own buffer: never freed.
  image->FreeData();
  EXPECT_EQ(image->buffer, nullptr);
  EXPECT_EQ(image->ownsBuffer, 0);
  uint8_t own[5 * 3 * 4] = {};
  image->buffer = own;
  image->Fill(0xFFFFFFFF, nullptr);
  EXPECT_EQ(own[59], 0xFF);
  image->FreeData();
  EXPECT_EQ(own[59], 0xFF);

  // Negative sizes allocate nothing.
  image->SetSize(-3, 4, nullptr);
  EXPECT_EQ(image->BufferBytes(), 0);
}
