// The stored form of the alpha image: golden bytes, round trips, and
// streams that must be refused.
#include <sstream>
#include <string>

#include "alpha_fixture.h"
#include "support/hex.h"

using namespace alpha_test;

namespace {

using AlphaStored = engine_test::ImagesTest;

using test_support::hex;

// 3 x 2: transparent, translucent (40, 50, 60 at 128), opaque (70, 80, 90),
// opaque (5, 6, 7: the key below), two transparent.
const Pels kPels = {{10, 20, 30, 0}, {40, 50, 60, 128}, {70, 80, 90, 255}, {5, 6, 7, 255}, {0, 0, 0, 0}, {0, 0, 0, 0}};
constexpr uint32_t kKey = 0xFF070605;

// The stored form of kPels, key off, storage R8G8B8.
const std::string kKeyOffRgb =
    "03000000 02000000 00000000"            // width, height, key flag
    "03000000 00000000"                     // pel format A8R8G8B8, no palette
    "00000000 00000000 01000000"            // matte, premultiplied, storage R8G8B8
    "04000000 0400 0500 0A00 0800"          // runs: transparent 1, translucent 1, opaque 2, transparent 2
    "01000000 80"                           // alpha bytes
    "03000000 28323C 46505A 050607"         // colours B, G, R
    "00000000 00000000 03000000 02000000";  // bounds

bool noCodedPels(const imgAlpha& image) {
  return !image.runs && !image.alphas && !image.colors && image.runCount == 0 && image.alphaCount == 0 &&
         image.colorCount == 0;
}

}  // namespace

TEST_F(AlphaStored, GoldenBytes) {
  const std::string keyOnRgb =
      "03000000 02000000 01000000 050607FF 00000000"  // key flag, key B, G, R, A, key pel
      "03000000 00000000"
      "00000000 00000000 01000000"
      "04000000 0400 0500 0600 0C00"  // the key's pel is transparent
      "01000000 80"
      "02000000 28323C 46505A"
      "01000000 00000000 02000000 01000000";
  const std::string keyOffX1 =
      "03000000 02000000 00000000"
      "03000000 00000000"
      "00000000 00000000 05000000"
      "04000000 0400 0500 0A00 0800"
      "01000000 80"
      "03000000 C51C 482D 0000"  // (R >> 3) << 10 | (G >> 3) << 5 | B >> 3
      "00000000 00000000 03000000 02000000";
  const std::string keyOnX1 =
      "03000000 02000000 01000000 050607FF 00000000"
      "03000000 00000000"
      "00000000 00000000 05000000"
      "04000000 0400 0500 0600 0C00"
      "01000000 80"
      "02000000 C51C 482D"
      "01000000 00000000 02000000 01000000";
  struct Case {
    Coding how;
    std::string bytes;
  } cases[] = {
      {{}, kKeyOffRgb},
      {{.keyed = true, .key = kKey}, keyOnRgb},
      {{.storage = pel_FMT_X1R5G5B5}, keyOffX1},
      {{.storage = pel_FMT_X1R5G5B5, .keyed = true, .key = kKey}, keyOnX1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    Image image = coded(3, 2, kPels, c.how);
    EXPECT_EQ(stored(*image), hex(c.bytes));
    Image back = readBack(hex(c.bytes));
    EXPECT_EQ(stored(*back), hex(c.bytes));
    EXPECT_EQ(reports().size(), 0u);
  }
}

TEST_F(AlphaStored, WriteReadWriteGivesTheSameBytes) {
  const Pels pels = randomPels(11 * 7, 6);
  for (int storage : {pel_FMT_R8G8B8, pel_FMT_X8R8G8B8, pel_FMT_R5G6B5, pel_FMT_X1R5G5B5}) {
    for (bool premultiplied : {false, true}) {
      for (bool keyed : {false, true}) {
        SCOPED_TRACE(::testing::Message() << storage << " " << premultiplied << " " << keyed);
        Image image = coded(11, 7, pels, {storage, premultiplied, false, keyed, pelRaw(pels[5])});
        const Bytes first = stored(*image);
        Image back = readBack(first);
        EXPECT_EQ(stored(*back), first);
        EXPECT_EQ(back->premultiplied, int(premultiplied));
        // Read pels draw and lock as the written ones.
        EXPECT_EQ(0, std::memcmp(decoded(*back).data(), decoded(*image).data(), pels.size() * 4));
      }
    }
  }
  // A matte image never coded again writes its flag back as read.
  Image matte = coded(11, 7, pels);
  matte->matte = 1;
  const Bytes withFlag = stored(*matte);
  EXPECT_EQ(stored(*readBack(withFlag)), withFlag);
  // An image without coded pels reads back as one.
  Image bare(new imgAlpha);
  bare->SetSize(4, 3, nullptr);
  const Bytes none = stored(*bare);
  Image back = readBack(none);
  EXPECT_TRUE(noCodedPels(*back));
  EXPECT_EQ(back->width, 4);
  EXPECT_EQ(stored(*back), none);
  EXPECT_EQ(reports().size(), 0u);
}

TEST_F(AlphaStored, RefusesWhatItCannotTrust) {
  // Offsets into kKeyOffRgb's bytes.
  constexpr size_t premultiplied = 24, storage = 28, runCount = 32, runs = 36, alphaCount = 44, alpha = 48,
                   colourCount = 49, bounds = 62;
  struct Patch {
    size_t at;
    Bytes bytes;
  };
  struct Case {
    const char* what;
    std::vector<Patch> patches;
  } cases[] = {
      {"runs adding up past the pels", {{runs + 6, {0x0C, 0x00}}}},
      {"runs adding up short of the pels", {{runs + 6, {0x04, 0x00}}}},
      {"a run of length 0", {{runs, {0x00, 0x00}}, {runs + 6, {0x0C, 0x00}}}},
      {"a run of kind 3", {{runs + 2, {0x07, 0x00}}}},
      {"a run count past the end", {{runCount, {0xE8, 0x03, 0x00, 0x00}}}},
      {"a negative run count", {{runCount, {0xFF, 0xFF, 0xFF, 0xFF}}}},
      {"an alpha count past the translucent pels", {{alphaCount, {0x02, 0x00, 0x00, 0x00}}}},
      {"a colour count past the end", {{colourCount, {0xFF, 0xFF, 0xFF, 0x7F}}}},
      {"a colour count short of the visible pels", {{colourCount, {0x02, 0x00, 0x00, 0x00}}}},
      {"storage 3", {{storage, {0x03, 0x00, 0x00, 0x00}}}},
      {"storage 0", {{storage, {0x00, 0x00, 0x00, 0x00}}}},
      {"a premultiplied alpha byte of 255", {{premultiplied, {0x01}}, {alpha, {0xFF}}}},
      {"bounds past the width", {{bounds, {0x01}}}},
      {"bounds of negative width", {{bounds + 8, {0xFF, 0xFF, 0xFF, 0xFF}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bytes = hex(kKeyOffRgb);
    for (const Patch& p : c.patches) std::copy(p.bytes.begin(), p.bytes.end(), bytes.begin() + ptrdiff_t(p.at));
    ExactStream s(bytes);
    imgAlpha image;
    image.Read(&s.stream);
    EXPECT_TRUE(noCodedPels(image));
    EXPECT_EQ(s.stream.failed, 1);
    EXPECT_EQ(reported("Data error"), 1);
    EXPECT_EQ(reports().size(), 0u);
  }
  // The premultiplied flag alone is fine: 128 is a valid byte there.
  Bytes premul = hex(kKeyOffRgb);
  premul[premultiplied] = 1;
  EXPECT_EQ(readBack(premul)->runCount, 4);
  EXPECT_EQ(reports().size(), 0u);
}

TEST_F(AlphaStored, EveryCutOfAStreamIsRefused) {
  const Bytes whole = hex(kKeyOffRgb);
  for (size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    ExactStream s(Bytes(whole.begin(), whole.begin() + ptrdiff_t(length)));
    imgAlpha image;
    image.Read(&s.stream);
    EXPECT_TRUE(noCodedPels(image));
    EXPECT_EQ(s.stream.failed, 1);
    // Cuts inside the image header fail the stream there; the data's own
    // checks raise once.
    EXPECT_LE(reported("Data error"), 1);
    EXPECT_EQ(reports().size(), 0u);
  }
}

TEST_F(AlphaStored, ReadInPlaceDoesNothing) {
  ExactStream s(hex(kKeyOffRgb));
  imgAlpha image;
  image.ReadInPlace(&s.stream);
  image.ReadDataInPlace(&s.stream);
  EXPECT_EQ(s.stream.position, 0);
  EXPECT_TRUE(noCodedPels(image));
  EXPECT_EQ(image.width, 0);
}
