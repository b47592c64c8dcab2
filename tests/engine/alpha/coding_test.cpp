// The alpha image's coding, locks, keys, sizes and colour conversion.
#include "alpha_fixture.h"

using namespace alpha_test;

namespace {

using AlphaCoding = engine_test::ImagesTest;

std::vector<imgAlphaRun> runsOf(const imgAlpha& image) { return {image.runs, image.runs + image.runCount}; }
Bytes alphasOf(const imgAlpha& image) { return {image.alphas, image.alphas + image.alphaCount}; }
Bytes coloursOf(const imgAlpha& image) {
  return {image.colors, image.colors + image.colorCount * imgAlphaColourBytes(image.storageFormat)};
}
imgAlphaRun run(uint32_t length, int kind) { return imgAlphaRun(length << 2 | uint32_t(kind)); }
bool sameRect(const rectCTy& a, const rectCTy& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }

}  // namespace

TEST_F(AlphaCoding, KindsRunsBytesAndBounds) {
  const Pels opaque16384(16384, A8R8G8B8{1, 2, 3, 255});
  Bytes colours16384;
  for (int i = 0; i < 16384; ++i) colours16384.insert(colours16384.end(), {1, 2, 3});
  Pels onePel(20, A8R8G8B8{9, 9, 9, 0});
  onePel[2 * 5 + 3] = {7, 8, 9, 200};
  struct Case {
    const char* what;
    int w, h;
    Pels pels;
    Coding how;
    std::vector<imgAlphaRun> runs;
    Bytes alphas, colours;
    rectCTy bounds;
  } cases[] = {
      {"A 0 is transparent whatever the colour", 2, 1, {{255, 255, 255, 0}, {1, 2, 3, 0}}, {}, {run(2, 0)}, {}, {},
       {0, 0, 1, 1}},
      {"the key's B, G, R are transparent at any A", 4, 1,
       {{1, 2, 3, 255}, {1, 2, 3, 128}, {1, 2, 4, 255}, {5, 6, 7, 100}}, {.keyed = true, .key = 0x00030201},
       {run(2, 0), run(1, 2), run(1, 1)}, {100}, {1, 2, 4, 5, 6, 7}, {2, 0, 2, 1}},
      {"runs break at 16383 pels", 16384, 1, opaque16384, {}, {run(16383, 2), run(1, 2)}, {},
       colours16384, {0, 0, 16384, 1}},
      {"one visible pel at (3, 2)", 5, 4, onePel, {}, {run(13, 0), run(1, 1), run(6, 0)}, {200}, {7, 8, 9},
       {3, 2, 1, 1}},
      {"a run across a row's end reaches both sides", 3, 2,
       {{0, 0, 0, 0}, {0, 0, 0, 0}, {1, 1, 1, 255}, {2, 2, 2, 255}, {0, 0, 0, 0}, {0, 0, 0, 0}}, {},
       {run(2, 0), run(2, 2), run(2, 0)}, {}, {1, 1, 1, 2, 2, 2}, {0, 0, 3, 2}},
      {"the matte step: 100, 150, 200 at 128 over black", 2, 1, {{0, 0, 0, 0}, {100, 150, 200, 128}},
       {.matte = true}, {run(1, 0), run(1, 1)}, {128}, {199, 255, 255}, {1, 0, 1, 1}},
      {"premultiplied: 255 - a and c * a >> 8", 2, 1, {{200, 100, 255, 128}, {10, 20, 30, 255}},
       {.premultiplied = true}, {run(1, 1), run(1, 2)}, {127}, {100, 50, 127, 10, 20, 30}, {0, 0, 2, 1}},
      {"X8R8G8B8 keeps the A byte fourth", 2, 1, {{1, 2, 3, 77}, {4, 5, 6, 255}}, {.storage = pel_FMT_X8R8G8B8},
       {run(1, 1), run(1, 2)}, {77}, {1, 2, 3, 77, 4, 5, 6, 255}, {0, 0, 2, 1}},
      {"X1R5G5B5 stores bit 15 clear", 1, 1, {{255, 255, 255, 255}}, {.storage = pel_FMT_X1R5G5B5},
       {run(1, 2)}, {}, {0xFF, 0x7F}, {0, 0, 1, 1}},
      {"R5G6B5", 1, 1, {{8, 4, 16, 255}}, {.storage = pel_FMT_R5G6B5}, {run(1, 2)}, {}, {0x21, 0x10},
       {0, 0, 1, 1}},
      {"no pels", 0, 3, {}, {}, {}, {}, {}, {0, 0, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Image image = coded(c.w, c.h, c.pels, c.how);
    EXPECT_EQ(runsOf(*image), c.runs);
    EXPECT_EQ(alphasOf(*image), c.alphas);
    EXPECT_EQ(coloursOf(*image), c.colours);
    EXPECT_TRUE(sameRect(image->GetBounds(), c.bounds))
        << image->bounds.x << "," << image->bounds.y << "," << image->bounds.w << "," << image->bounds.h;
    EXPECT_EQ(image->matte, 0) << "coded once, the colours are straight";
    EXPECT_EQ(image->runCount == 0, image->runs == nullptr);
  }
}

TEST_F(AlphaCoding, LockCoversTheImageWithThePointerAtTheRectangle) {
  Image image = coded(10, 10, randomPels(100, 1));
  const rectCTy r{5, 4, 2, 2};
  image->Lock(&r, img_LOCK_READ);
  EXPECT_TRUE(sameRect(image->lockRect, rectCTy{0, 0, 10, 10}));
  EXPECT_EQ(image->data, image->lockBuffer + 45 * 4);
  EXPECT_EQ(image->pitch, 10);
  // A second lock changes nothing (and leaks nothing).
  uint8_t* buffer = image->lockBuffer;
  image->Lock(nullptr, img_LOCK_READWRITE);
  EXPECT_EQ(image->lockBuffer, buffer);
  EXPECT_EQ(image->data, buffer + 45 * 4);
  image->Unlock();
  EXPECT_EQ(image->data, nullptr);
  EXPECT_EQ(image->lockBuffer, nullptr);
}

TEST_F(AlphaCoding, LockModes) {
  const Pels pels = randomPels(24, 2);
  const Pels blank(24, A8R8G8B8{0, 0, 0, 0});
  struct Case {
    int mode;
    bool decodes;  // the buffer starts with the pels, not zeros
    bool codes;    // the unlock codes what was written
  } cases[] = {{img_LOCK_READWRITE, true, true}, {img_LOCK_READ, true, false}, {img_LOCK_WRITE, true, true},
               {img_LOCK_WRITE_ALL, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    Image image = coded(6, 4, pels);
    const Pels before = decoded(*image);
    image->Lock(nullptr, c.mode);
    Pels seen(24);
    std::memcpy(seen.data(), image->data, 24 * 4);
    const Pels& start = c.decodes ? before : blank;
    EXPECT_EQ(0, std::memcmp(seen.data(), start.data(), 24 * 4));
    // One pel written: opaque red at (1, 1).
    std::memcpy(image->data + 7 * 4, "\0\0\xff\xff", 4);
    image->Unlock();
    Pels want = c.codes ? start : before;
    if (c.codes) want[7] = {0, 0, 255, 255};
    const Pels after = decoded(*image);
    EXPECT_EQ(0, std::memcmp(after.data(), want.data(), 24 * 4));
  }
}

TEST_F(AlphaCoding, DecodedPels) {
  // Premultiplied: the byte 155 is alpha 100; 50 * 256 / 100 = 128.
  Image premul(new imgAlpha);
  premul->SetSize(1, 1, nullptr);
  premul->premultiplied = 1;
  premul->runs = static_cast<imgAlphaRun*>(memAlloc(2));
  premul->runs[0] = imgAlphaRun(1 << 2 | imgAlphaTranslucent);
  premul->runCount = 1;
  premul->alphas = static_cast<uint8_t*>(memAlloc(1));
  premul->alphas[0] = 155;
  premul->alphaCount = 1;
  premul->colors = static_cast<uint8_t*>(memAlloc(3));
  std::memset(premul->colors, 50, 3);
  premul->colorCount = 1;
  const A8R8G8B8 p = decoded(*premul)[0];
  EXPECT_EQ((std::vector<int>{p.b, p.g, p.r, p.a}), (std::vector<int>{128, 128, 128, 100}));

  // A stored 16-bit white widens with zero low bits; transparent pels take
  // the key's B, G, R.
  const Pels pels = {{255, 255, 255, 255}, {9, 9, 9, 0}};
  for (auto [storage, white] : {std::pair{pel_FMT_R5G6B5, A8R8G8B8{248, 252, 248, 255}},
                                std::pair{pel_FMT_X1R5G5B5, A8R8G8B8{248, 248, 248, 255}}}) {
    Image image = coded(2, 1, pels, {.storage = storage, .keyed = true, .key = 0x00302010});
    const Pels got = decoded(*image);
    EXPECT_EQ(pelRaw(got[0]), pelRaw(white)) << storage;
    EXPECT_EQ(pelRaw(got[1]), 0x00302010u) << storage;
  }
}

TEST_F(AlphaCoding, LockAndUnlockKeepTheCodedPels) {
  const Pels pels = randomPels(7 * 5, 3);
  for (int storage : {pel_FMT_R8G8B8, pel_FMT_X8R8G8B8, pel_FMT_R5G6B5, pel_FMT_X1R5G5B5}) {
    for (bool premultiplied : {false, true}) {
      for (bool matte : {false, true}) {
        SCOPED_TRACE(::testing::Message() << storage << " premultiplied " << premultiplied << " matte " << matte);
        Image image = coded(7, 5, pels, {.storage = storage, .premultiplied = premultiplied});
        // A matte image as a stream brings it: colours composited, the flag
        // set; its first unlock un-composites them once.
        image->matte = matte;
        if (matte) {
          image->Lock(nullptr, img_LOCK_READWRITE);
          image->Unlock();
          EXPECT_EQ(image->matte, 0);
        }
        const Bytes before = stored(*image);
        for (int i = 0; i < 3; ++i) {
          image->Lock(nullptr, img_LOCK_READWRITE);
          image->Unlock();
          EXPECT_EQ(stored(*image), before) << "after " << i + 1 << " locks";
        }
      }
    }
  }
}

TEST_F(AlphaCoding, SetColorKeyRGB) {
  const Pels pels = {{1, 2, 3, 255}, {4, 5, 6, 255}, {1, 2, 3, 200}};
  Image image = coded(3, 1, pels, {.keyed = true, .key = 0xFF030201});
  EXPECT_EQ(runsOf(*image), (std::vector<imgAlphaRun>{run(1, 0), run(1, 2), run(1, 0)}));
  // The same four bytes: nothing is coded again.
  const imgAlphaRun* runs = image->runs;
  image->SetColorKeyRGB(0xFF030201);
  EXPECT_EQ(image->runs, runs);
  // Another A: coded again, the same pels.
  image->SetColorKeyRGB(0x00030201);
  EXPECT_NE(image->runs, runs);
  EXPECT_EQ(runsOf(*image), (std::vector<imgAlphaRun>{run(1, 0), run(1, 2), run(1, 0)}));
  // Another colour: its pels go, the old key's do not come back.
  image->SetColorKeyRGB(0x00060504);
  EXPECT_EQ(runsOf(*image), (std::vector<imgAlphaRun>{run(3, 0)}));
  EXPECT_EQ(image->keyFlag, 1);
  EXPECT_EQ(image->keyColor, 0x00060504u);
}

TEST_F(AlphaCoding, ConvertColors) {
  // One colour, B 0x9C, G 0x5A, R 0xE7, stored in each form and converted to
  // each; the 16-bit forms widen with zero low bits (224, 88, 152).
  const Bytes stored[4] = {{0x9C, 0x5A, 0xE7}, {0x9C, 0x5A, 0xE7, 0xFF}, {0xD3, 0xE2}, {0x73, 0x71}};
  const int formats[4] = {pel_FMT_R8G8B8, pel_FMT_X8R8G8B8, pel_FMT_R5G6B5, pel_FMT_X1R5G5B5};
  const Bytes converted[4][4] = {
      // into R8G8B8, X8R8G8B8, R5G6B5, X1R5G5B5
      {stored[0], stored[1], stored[2], stored[3]},                         // from R8G8B8
      {stored[0], stored[1], stored[2], stored[3]},                         // from X8R8G8B8
      {{0x98, 0x58, 0xE0}, {0x98, 0x58, 0xE0, 0xFF}, stored[2], stored[3]},  // from R5G6B5
      {{0x98, 0x58, 0xE0}, {0x98, 0x58, 0xE0, 0xFF}, stored[2], stored[3]},  // from X1R5G5B5
  };
  const Pels pels = {{0x9C, 0x5A, 0xE7, 255}};
  for (int from = 0; from < 4; ++from) {
    for (int to = 0; to < 4; ++to) {
      SCOPED_TRACE(::testing::Message() << formats[from] << " to " << formats[to]);
      Image image = coded(1, 1, pels, {.storage = formats[from]});
      EXPECT_EQ(coloursOf(*image), stored[from]);
      image->ConvertColors(&formats[to]);
      EXPECT_EQ(image->storageFormat, formats[to]);
      EXPECT_EQ(coloursOf(*image), converted[from][to]);
    }
  }

  // Without colours only the storage format changes: the next coding's form.
  Image empty = coded(2, 1, {{1, 1, 1, 0}, {2, 2, 2, 0}});
  empty->ConvertColors(&formats[3]);
  EXPECT_EQ(empty->storageFormat, pel_FMT_X1R5G5B5);
  EXPECT_EQ(empty->colorCount, 0);
  EXPECT_EQ(reported("This is not impelmetned yet"), 0);

  // A form that is not a storage form is reported and changes nothing.
  Image image = coded(1, 1, pels);
  const int a8 = pel_FMT_A8R8G8B8;
  image->ConvertColors(&a8);
  EXPECT_EQ(reported("imgAlpha::ConvertColors: This is not impelmetned yet"), 1);
  EXPECT_EQ(image->storageFormat, pel_FMT_R8G8B8);
  EXPECT_EQ(coloursOf(*image), stored[0]);
}

TEST_F(AlphaCoding, SetSizeStoresOnlyTheSize) {
  Image image = coded(2, 2, randomPels(4, 4));
  const imgAlphaRun* runs = image->runs;
  pelFmtDesc r565;
  r565.Set(pel_FMT_R5G6B5, nullptr);
  image->SetSize(3, 5, &r565);
  EXPECT_EQ(reported("imgAlpha::SetSize: Only pel_FMT_R8G8B8, pel_FMT_A8R8G8B8 available"), 1);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 5);
  EXPECT_EQ(image->PelFormat(), pel_FMT_A8R8G8B8);
  EXPECT_EQ(image->runs, runs);
  pelFmtDesc rgb;
  rgb.Set(pel_FMT_R8G8B8, nullptr);
  image->SetSize(4, 4, &rgb);
  image->SetSize(4, 4, nullptr);
  EXPECT_EQ(reports().size(), 0u);
}

TEST_F(AlphaCoding, FreeDataKeepsSizeFlagsAndBounds) {
  Image image = coded(3, 1, randomPels(3, 5), {.storage = pel_FMT_R5G6B5, .premultiplied = true});
  const rectCTy bounds = image->bounds;
  image->FreeData();
  EXPECT_EQ(image->runs, nullptr);
  EXPECT_EQ(image->alphas, nullptr);
  EXPECT_EQ(image->colors, nullptr);
  EXPECT_EQ(image->runCount + image->alphaCount + image->colorCount, 0);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->storageFormat, pel_FMT_R5G6B5);
  EXPECT_EQ(image->premultiplied, 1);
  EXPECT_TRUE(sameRect(image->bounds, bounds));
  // A lock of an image without coded pels is all zero.
  EXPECT_EQ(pelRaw(decoded(*image)[2]), 0u);
  EXPECT_EQ(image->Clone(), nullptr);
}
