// The RLE8 image class: locks, sizes, copies, and its stored form (golden
// bytes, version 0, reading in place, streams that must be refused).
#include <string>

#include "rle8_fixture.h"
#include "rle8_golden.h"

using namespace rle8_test;

namespace {

using Rle8Class = engine_test::ImagesTest;

// 9 x 3, key index 0, the middle row all key:
//   0 5 5 7 7 7 3 0 0
//   0 0 0 0 0 0 0 0 0
//   0 0 0 1 2 3 4 0 0
const Bytes kPels = {0, 5, 5, 7, 7, 7, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 0, 0};

// The image above with a palette of 8 entries, entry i grey i * 0x11.
Image goldenImage() {
  Image image(new imgRle8CTy);
  palCTy palette;
  std::vector<uint32_t> colours;
  for (uint32_t i = 0; i < 8; ++i) colours.push_back(0xFF000000u | i * 0x111111u);
  engine_test::setColours(palette, colours);
  pelFmtDesc d;
  d.Set(pel_FMT_P8, &palette);
  image->SetSize(9, 3, &d);
  d.Set(pel_FMT_P8, nullptr);
  image->SetColorKey(0);
  image->Lock(nullptr, img_LOCK_READWRITE);
  std::memcpy(image->data, kPels.data(), kPels.size());
  image->Unlock();
  return image;
}

// Its stored form (the table at 76, the rows at 92), both versions.
using rle8_golden::kVersion0;
using rle8_golden::kVersion1;
constexpr size_t kBoundsAt = 60, kTableAt = 76;

// An image read from the bytes, copied or in place (the stream then must
// live as long as the image's rows).
Image readFrom(ExactStream& s, bool inPlace) {
  Image image(new imgRle8CTy);
  if (inPlace) image->ReadInPlace(&s.stream);
  else image->Read(&s.stream);
  return image;
}

bool noRows(const imgRle8CTy& image) {
  return !image.rows && image.bounds.x == 0 && image.bounds.y == 0 && image.bounds.w == 0 && image.bounds.h == 0;
}

}  // namespace

TEST_F(Rle8Class, GoldenBytesReadCopiedAndInPlace) {
  Image image = goldenImage();
  EXPECT_EQ(image->bounds.x, 1);
  EXPECT_EQ(image->bounds.w, 6);
  EXPECT_EQ(image->bounds.h, 3);
  EXPECT_EQ(image->rows[1], nullptr);
  EXPECT_EQ(image->RowBytes(0), 7);
  EXPECT_EQ(image->RowBytes(1), 0);
  EXPECT_EQ(stored(*image), hex(kVersion1));

  for (const std::string* bytes : {&kVersion1, &kVersion0}) {
    for (bool inPlace : {false, true}) {
      SCOPED_TRACE(std::string(bytes == &kVersion1 ? "version 1" : "version 0") + (inPlace ? " in place" : " copied"));
      ExactStream s(hex(*bytes));
      Image back = readFrom(s, inPlace);
      EXPECT_EQ(s.stream.failed, 0);
      EXPECT_EQ(back->borrowedPels, inPlace ? 1 : 0);
      EXPECT_EQ(back->version, bytes == &kVersion1 ? 1u : 0u);
      ASSERT_NE(back->rows, nullptr);
      EXPECT_EQ(back->rows[1], nullptr);
      if (inPlace) {
        EXPECT_EQ(back->rows[0], s.stream.data + 92);
      } else {
        EXPECT_EQ(s.stream.position, int32_t(s.stream.length));
      }
      EXPECT_EQ(unpacked(*back), kPels);
      // Written again, it is version 1 whatever it was read from.
      EXPECT_EQ(stored(*back), hex(kVersion1));
      // A clone owns its rows: it outlives the image and the stream.
      Image clone(static_cast<imgRle8CTy*>(back->Clone()));
      EXPECT_EQ(clone->borrowedPels, 0);
      // A lock written back packs owned rows; the stream's are not freed
      // (ASan would see a free inside its block).
      back->Lock(nullptr, img_LOCK_READWRITE);
      back->Unlock();
      EXPECT_EQ(back->borrowedPels, 0);
      EXPECT_EQ(unpacked(*back), kPels);
      back.reset();
      std::memset(s.stream.data, 0xEE, size_t(s.stream.length));
      EXPECT_EQ(unpacked(*clone), kPels);
    }
  }
  EXPECT_EQ(reports().size(), 0u);
}

TEST_F(Rle8Class, LocksAndSizes) {
  Image image = goldenImage();
  const auto rowsBefore = image->rows;
  // A read-only lock unpacks every pel whatever the rectangle asked, and
  // keeps the rows.
  const rectCTy one{4, 2, 1, 1};
  image->Lock(&one, img_LOCK_READ);
  EXPECT_EQ(image->pitch, 9);
  EXPECT_EQ(image->data[0], 2);
  EXPECT_EQ(image->data[-2 * 9 - 4], 0);
  EXPECT_EQ(image->data[-2 * 9 - 3], 5);
  image->data[0] = 6;
  image->Unlock();
  EXPECT_EQ(image->rows, rowsBefore);
  EXPECT_EQ(unpacked(*image), kPels);

  // A written lock packs anew, with tight bounds.
  image->Lock(nullptr, img_LOCK_READWRITE);
  image->Lock(nullptr, img_LOCK_READWRITE);  // a second lock does nothing
  std::memset(image->data, 0, 27);
  image->data[9 + 8] = 3;
  image->Unlock();
  EXPECT_EQ(image->bounds.x, 8);
  EXPECT_EQ(image->bounds.y, 1);
  EXPECT_EQ(image->bounds.w, 1);
  EXPECT_EQ(image->bounds.h, 1);
  // All key: no rows, nothing stored after the bounds.
  image->Lock(nullptr, img_LOCK_WRITE);
  std::memset(image->data, 0, 27);
  image->Unlock();
  EXPECT_TRUE(noRows(*image) || image->bounds.h == 0);
  const Bytes all = stored(*image);
  EXPECT_EQ(all.size(), kTableAt);

  // Without a key: the whole image, key 257, no skips, no null rows.
  Image plain = packed(9, 3, kPels);
  EXPECT_EQ(plain->keyPel, 257u);
  EXPECT_EQ(plain->bounds.w, 9);
  EXPECT_EQ(plain->bounds.h, 3);
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(plain->rows[i], nullptr);
    for (int at = 0; at < plain->RowBytes(i);) {
      const int code = plain->rows[i][at];
      EXPECT_NE(code & 0x80, 0);
      at += 1 + ((code & 0x40) ? 1 : code & 0x3F);
    }
  }
  EXPECT_EQ(unpacked(*plain), kPels);

  // SetSize empties the image; a lock of a keyless image starts at 0, so a
  // partial write packs zeros around it.
  plain->SetSize(4, 2, nullptr);
  EXPECT_TRUE(noRows(*plain) || plain->bounds.h == 0);
  const rectCTy corner{3, 1, 1, 1};
  plain->Lock(&corner, img_LOCK_READWRITE);
  plain->data[0] = 9;
  plain->Unlock();
  EXPECT_EQ(unpacked(*plain), (Bytes{0, 0, 0, 0, 0, 0, 0, 9}));

  // Another pel format is reported; the image stays P8.
  pelFmtDesc rgb;
  rgb.Set(pel_FMT_R5G6B5, nullptr);
  plain->SetSize(2, 2, &rgb);
  EXPECT_EQ(reported("Unsupported pel's format"), 1);
  EXPECT_EQ(plain->PelFormat(), pel_FMT_P8);

  // FreeData leaves no rows; a lock then sees key pels only.
  image = goldenImage();
  image->FreeData();
  EXPECT_EQ(image->rows, nullptr);
  EXPECT_EQ(unpacked(*image), Bytes(27, 0));
}

// Streams that lie are refused once with "Data error" and leave no rows
// and no pels (a refused header's format may claim wider pels than a lock
// gives); every cut of a good stream is refused too. Read from exact-size
// blocks.
TEST_F(Rle8Class, RefusesWhatItCannotTrust) {
  struct Patch {
    size_t at;
    Bytes bytes;
  };
  struct Case {
    const char* what;
    const std::string* base;
    std::vector<Patch> patches;
  } cases[] = {
      {"bounds past the width", &kVersion1, {{kBoundsAt, {0x04}}}},
      {"bounds past the height", &kVersion1, {{kBoundsAt + 12, {0x04}}}},
      {"negative bounds", &kVersion1, {{kBoundsAt + 4, {0xFF, 0xFF, 0xFF, 0xFF}}}},
      {"a decreasing table", &kVersion1, {{kTableAt + 8, {0x50}}}},
      {"a table past the data", &kVersion1, {{kTableAt + 12, {0x5A}}}},
      {"a row short of the width", &kVersion1, {{kTableAt + 4, {0x52}}}},
      {"a row whose codes stop short", &kVersion1, {{92 + 5, {0x82}}}},
      {"a table entry wrapping around", &kVersion1, {{kTableAt + 12, {0xFF, 0xFF, 0xFF, 0xFF}}}},
      {"version 0 with a first row elsewhere", &kVersion0, {{kTableAt, {0x5D}}}},
      {"another pel format", &kVersion1, {{24, {0x04}}}},
  };
  for (const Case& c : cases) {
    for (bool inPlace : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (inPlace ? " in place" : " copied"));
      Bytes bytes = hex(*c.base);
      for (const Patch& p : c.patches) std::copy(p.bytes.begin(), p.bytes.end(), bytes.begin() + ptrdiff_t(p.at));
      ExactStream s(bytes);
      Image image = readFrom(s, inPlace);
      EXPECT_TRUE(noRows(*image));
      EXPECT_EQ(s.stream.failed, 1);
      EXPECT_EQ(reported("Data error"), 1);
      EXPECT_EQ(reports().size(), 0u);
      EXPECT_EQ(image->width, 0);
      EXPECT_EQ(image->height, 0);
    }
  }
  for (const std::string* base : {&kVersion1, &kVersion0}) {
    const Bytes whole = hex(*base);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
      for (bool inPlace : {false, true}) {
        ExactStream s(Bytes(whole.begin(), whole.begin() + ptrdiff_t(cut)));
        Image image = readFrom(s, inPlace);
        EXPECT_TRUE(noRows(*image) || image->bounds.h == 0) << cut;
        EXPECT_EQ(s.stream.failed, 1) << cut;
        EXPECT_LE(reported("Data error"), 1);
      }
    }
  }
}
