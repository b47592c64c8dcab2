// What the picture-file tests share: the decoders' fixture writer run into a
// fresh directory, its expectation files, images whose fresh pels are not
// zero, and BMPs built field by field.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/img_row.h"
#include "images_fixture.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace engine_test {

using Image = std::unique_ptr<imgRowCTy>;

// A directory with the pictures of a group of the fixture writer ("bmp",
// "tga", "jpg") and pics.zip holding them all.
inline std::unique_ptr<TempDir> writePictures(const char* group) {
  auto dir = std::make_unique<TempDir>();
  EXPECT_EQ(runPython({MAKE_PICTURES_SCRIPT, dir->path.string(), group}), 0) << group;
  return dir;
}

// "W H\n" and the pels (NAME.expect: R, G, B, A; NAME.bgr: B, G, R).
struct Expected {
  int width = 0, height = 0;
  Bytes pels;
};
inline Expected readExpected(const std::string& path) {
  const std::string all = readBytes(path);
  Expected e;
  std::sscanf(all.c_str(), "%d %d", &e.width, &e.height);
  const size_t start = all.find('\n') + 1;
  e.pels.assign(all.begin() + std::ptrdiff_t(start), all.end());
  return e;
}

// A memory image whose fresh pels are 0xCD, and which refuses sizes with a
// side above maxSide (as a surface of limited size would).
class PoisonedImage : public imgRowCTy {
 public:
  void SetSize(int w, int h, const pelFmtDesc* descriptor) override {
    if (w > maxSide || h > maxSide) return;
    imgRowCTy::SetSize(w, h, descriptor);
    if (buffer) std::memset(buffer, 0xCD, size_t(BufferBytes()));
  }
  int maxSide = 1 << 20;
};

// The image's pels (all rows, no padding), unlocked.
inline Bytes pelsOf(imgCTy& image) {
  Bytes out;
  image.Lock(nullptr, img_LOCK_READ);
  const size_t row = size_t(image.width) * size_t(image.BytesPerPel());
  for (int y = 0; image.data && y < image.height; ++y) {
    const uint8_t* p = image.data + size_t(y) * size_t(image.pitch) * size_t(image.BytesPerPel());
    out.insert(out.end(), p, p + row);
  }
  image.Unlock();
  return out;
}

// The pel at (x, y) as R, G, B, A at its format's field widths (bits per
// channel), a P8 pel through the image's palette.
struct Channels {
  uint32_t r, g, b, a;
  int bits[4];
};
inline Channels channelsAt(imgCTy& image, const Bytes& pels, int x, int y) {
  const int size = image.BytesPerPel();
  uint32_t v = 0;
  std::memcpy(&v, pels.data() + (size_t(y) * size_t(image.width) + size_t(x)) * size_t(size), size_t(size));
  switch (image.PelFormat()) {
    case pel_FMT_P8: {
      const uint32_t c = image.desc.palette->Entry(v);
      return {c >> 16 & 255, c >> 8 & 255, c & 255, c >> 24, {8, 8, 8, 8}};
    }
    case pel_FMT_R5G6B5:
      return {v >> 11, v >> 5 & 63, v & 31, 255, {5, 6, 5, 0}};
    case pel_FMT_X1R5G5B5:
      return {v >> 10 & 31, v >> 5 & 31, v & 31, 255, {5, 5, 5, 0}};
    case pel_FMT_R8G8B8:
      return {v >> 16 & 255, v >> 8 & 255, v & 255, 255, {8, 8, 8, 0}};
    default:
      return {v >> 16 & 255, v >> 8 & 255, v & 255, v >> 24, {8, 8, 8, 8}};
  }
}

// Every pel equals Pillow's R, G, B (and A when asked) cut to the field
// widths.
inline ::testing::AssertionResult likePillow(imgCTy& image, const Expected& want, bool alpha) {
  if (image.width != want.width || image.height != want.height)
    return ::testing::AssertionFailure() << "size " << image.width << "x" << image.height;
  const Bytes pels = pelsOf(image);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const Channels c = channelsAt(image, pels, x, y);
      const uint8_t* w = want.pels.data() + 4 * (size_t(y) * size_t(want.width) + size_t(x));
      const uint32_t got[4] = {c.r, c.g, c.b, c.a};
      for (int i = 0; i < (alpha ? 4 : 3); ++i)
        if (c.bits[i] && got[i] != uint32_t(w[i] >> (8 - c.bits[i])))
          return ::testing::AssertionFailure() << "channel " << i << " of (" << x << ", " << y << ") is " << got[i]
                                               << ", Pillow reads " << int(w[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

// Exactly one report was shown since the last look, holding the message.
inline ::testing::AssertionResult oneReport(const std::string& message) {
  const auto boxes = plat::test::takeMessageBoxes();
  if (boxes.size() != 1) return ::testing::AssertionFailure() << boxes.size() << " reports";
  if (boxes[0].text.find(message) == std::string::npos)
    return ::testing::AssertionFailure() << "the report says " << boxes[0].text;
  return ::testing::AssertionSuccess();
}

// Little-endian fields.
inline std::string le16(uint32_t v) { return {char(v), char(v >> 8)}; }
inline std::string le32(uint32_t v) { return le16(v) + le16(v >> 16); }

// A BMP: the headers with these fields, the masks and table given, then the
// rows as given (already padded, in file order).
struct BmpFields {
  int32_t width = 3, height = 2;
  uint16_t bits = 24;
  uint32_t compression = 0, colours = 0, infoSize = 40;
  uint32_t pelOffset = 0;  // 0: right after the table
  std::string masks, table, rows;

  std::string bytes() const {
    std::string info = le32(infoSize) + le32(uint32_t(width)) + le32(uint32_t(height)) + le16(1) + le16(bits) +
                       le32(compression) + le32(uint32_t(rows.size())) + le32(0) + le32(0) + le32(colours) + le32(0);
    info += masks;
    if (info.size() < infoSize) info.resize(infoSize, '\0');
    const uint32_t offset = pelOffset ? pelOffset : uint32_t(14 + info.size() + table.size());
    std::string out = "BM" + le32(uint32_t(offset + rows.size())) + le32(0) + le32(offset) + info + table;
    if (out.size() < offset) out.resize(offset, '\0');
    return out + rows;
  }
};

}  // namespace engine_test
