// DIB blocks, rectangle copies and BMP loading.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/dib.h"
#include "base/mem.h"
#include "base/mf.h"
#include "err_fixture.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct DibDeleter {
  void operator()(dibHeader* d) const { memHooks.free(d); }
};
using Dib = std::unique_ptr<dibHeader, DibDeleter>;

uint32_t rowBytes(int width, int bits) { return static_cast<uint32_t>((width * bits + 31) / 32 * 4); }

// Where the pel at top-down (x, y) starts in the rows of a picture of 8 bits
// or more (a negative height stores the top row first).
size_t pelOffset(int width, int height, int bits, int x, int y) {
  const int h = std::abs(height);
  const int row = height > 0 ? h - 1 - y : y;
  return static_cast<size_t>(row) * rowBytes(width, bits) + static_cast<size_t>(x) * bits / 8;
}

// The pel at top-down (x, y) of a DIB of 8 bits or more, as an integer.
uint32_t pelAt(const dibHeader* d, int x, int y) {
  const uint8_t* p = dibBits(d) + pelOffset(d->biWidth, d->biHeight, d->biBitCount, x, y);
  uint32_t v = 0;
  for (int i = d->biBitCount / 8 - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

void setPel(dibHeader* d, int x, int y, uint32_t v) {
  uint8_t* p = dibBits(d) + pelOffset(d->biWidth, d->biHeight, d->biBitCount, x, y);
  for (int i = 0; i < d->biBitCount / 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
  put16(b, at, v);
  put16(b, at + 2, v >> 16);
}

// A BMP file of 8 bits or more whose pel at top-down (x, y) is pel(x, y).
struct BmpSpec {
  int width = 5, height = 3;  // a negative height stores the top row first
  int bits = 8;
  uint32_t compression = BI_RGB;
  uint32_t colours = 4;        // biClrUsed
  std::vector<uint32_t> table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};  // entries or masks
  uint32_t gap = 0;            // bytes between the table and the rows
  std::function<uint32_t(int, int)> pel = [](int x, int y) { return static_cast<uint32_t>((x + y) % 4); };
};

Bytes makeBmp(const BmpSpec& s) {
  const uint32_t rows = rowBytes(s.width, s.bits) * static_cast<uint32_t>(std::abs(s.height));
  const uint32_t tableBytes = static_cast<uint32_t>(s.table.size()) * 4;
  const uint32_t offset = 54 + tableBytes + s.gap;
  Bytes b(offset + rows, 0);
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, static_cast<uint32_t>(b.size()));
  put32(b, 10, offset);
  put32(b, 14, 40);
  put32(b, 18, static_cast<uint32_t>(s.width));
  put32(b, 22, static_cast<uint32_t>(s.height));
  put16(b, 26, 1);
  put16(b, 28, static_cast<uint32_t>(s.bits));
  put32(b, 30, s.compression);
  put32(b, 34, rows);
  put32(b, 46, s.colours);
  for (size_t i = 0; i < s.table.size(); ++i) put32(b, 54 + 4 * i, s.table[i]);
  for (int y = 0; y < std::abs(s.height); ++y) {
    for (int x = 0; x < s.width; ++x) {
      const uint32_t v = s.pel(x, y);
      const size_t at = offset + pelOffset(s.width, s.height, s.bits, x, y);
      for (int i = 0; i < s.bits / 8; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
  }
  return b;
}

class DibTest : public ErrTest {
 protected:
  Dib load(const Bytes& file, int x, int y, int w, int h) {
    const std::string path = dir_.file("pic.bmp");
    writeBytes(path, std::string(file.begin(), file.end()));
    Dib d(bmp8Load(path.c_str(), x, y, w, h));
    EXPECT_EQ(mfOpenFiles(), nullptr);  // the file is never left open
    return d;
  }
  TempDir dir_;
};

TEST_F(DibTest, CreateSizesAndTables) {
  struct Case {
    int width, height, bits, colours;
    uint32_t clrUsed, compression, paletteBytes, imageSize;
    std::vector<uint32_t> masks;
  } cases[] = {
      {10, 5, 8, 0, 0, BI_RGB, 1024, 60, {}},  // no colour count: the full table
      {10, 5, 8, 16, 16, BI_RGB, 64, 60, {}},
      {10, -5, 4, 300, 0, BI_RGB, 64, 40, {}},  // above 256 counts as 0
      {1, 1, 1, 0, 0, BI_RGB, 8, 4, {}},
      {3, 2, 16, 3, 0, BI_BITFIELDS, 12, 16, {0xF800, 0x07E0, 0x001F}},
      {3, 2, 32, 3, 0, BI_BITFIELDS, 12, 24, {0xFF0000, 0x00FF00, 0x0000FF}},
      {3, 2, 24, 0, 0, BI_RGB, 0, 24, {}},
      {3, 2, 16, 0, 0, BI_RGB, 0, 16, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits << " colours " << c.colours);
    Dib d(dibCreate(c.width, c.height, c.bits, c.colours, 1));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->biSize, 40u);
    EXPECT_EQ(d->biPlanes, 1);
    EXPECT_EQ(d->biClrUsed, c.clrUsed);
    EXPECT_EQ(d->biCompression, c.compression);
    EXPECT_EQ(dibPaletteBytes(d.get()), c.paletteBytes);
    EXPECT_EQ(d->biSizeImage, c.imageSize);
    const auto* table = reinterpret_cast<const uint32_t*>(d.get() + 1);
    for (size_t i = 0; i < c.masks.size(); ++i) EXPECT_EQ(table[i], c.masks[i]);
    if (c.masks.empty() && c.paletteBytes) {
      EXPECT_EQ(table[c.paletteBytes / 4 - 1], 0u);  // zero-filled
    }
    std::memset(dibBits(d.get()), 0xAB, c.imageSize);  // the block holds every row
  }
  EXPECT_EQ(dibColors(Dib(dibCreate(2, 2, 8, 0, 0)).get()), 256u);
  EXPECT_TRUE(hookCalls().empty());
  EXPECT_EQ(dibCreate(2, 2, 0, 0, 1), nullptr);
  EXPECT_EQ(hookCalls().back().code, ERR_BAD_ARGUMENT);
  EXPECT_EQ(dibCreate(65536, 65536, 32, 0, 1), nullptr);
  EXPECT_EQ(hookCalls().back().code, ERR_NO_MEMORY);
}

// Files written by Pillow: an 8-bit paletted and a 24-bit picture.
TEST_F(DibTest, LoadsPillowFiles) {
  const std::string p8 = dir_.file("p8.bmp"), p24 = dir_.file("p24.bmp");
  const std::string script = dir_.file("make.py");
  writeBytes(script,
             "import sys\nfrom PIL import Image\n"
             "a = Image.new('P', (37, 23))\n"
             "a.putpalette([v for i in range(256) for v in (i, 255 - i, i // 2)])\n"
             "a.putdata([(x * 3 + y * 5) % 256 for y in range(23) for x in range(37)])\n"
             "a.save(sys.argv[1])\n"
             "b = Image.new('RGB', (29, 17))\n"
             "b.putdata([(x * 8, y * 12, (x + y) * 4) for y in range(17) for x in range(29)])\n"
             "b.save(sys.argv[2])\n");
  ASSERT_EQ(runPython({script, p8, p24}), 0);

  Dib whole(bmp8Load(p8.c_str(), 0, 0, 37, 23));
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->biWidth, 37);
  EXPECT_EQ(whole->biHeight, 23);
  EXPECT_EQ(whole->biBitCount, 8);
  EXPECT_EQ(dibColors(whole.get()), 256u);
  const auto* palette = reinterpret_cast<const RGBQUAD*>(whole.get() + 1);
  EXPECT_EQ(palette[10].rgbRed, 10);
  EXPECT_EQ(palette[10].rgbGreen, 245);
  EXPECT_EQ(palette[10].rgbBlue, 5);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) ASSERT_EQ(pelAt(whole.get(), x, y), static_cast<uint32_t>((x * 3 + y * 5) % 256));

  // A rectangle reaching past the picture is clipped.
  Dib part(bmp8Load(p24.c_str(), 20, 10, 100, 100));
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->biWidth, 9);
  EXPECT_EQ(part->biHeight, 7);
  EXPECT_EQ(part->biBitCount, 24);
  EXPECT_EQ(dibPaletteBytes(part.get()), 0u);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 9; ++x) {
      const int fx = x + 20, fy = y + 10;
      const uint32_t rgb = static_cast<uint32_t>(fx * 8) << 16 | static_cast<uint32_t>(fy * 12) << 8 |
                           static_cast<uint32_t>((fx + fy) * 4);
      ASSERT_EQ(pelAt(part.get(), x, y), rgb) << x << "," << y;
    }
  }
  // Nothing of the rectangle in the picture: no DIB and no error.
  EXPECT_EQ(bmp8Load(p24.c_str(), 29, 0, 5, 5), nullptr);
  EXPECT_EQ(bmp8Load(p24.c_str(), -5, 3, 5, 5), nullptr);
  EXPECT_TRUE(hookCalls().empty());
  EXPECT_EQ(mfOpenFiles(), nullptr);
}

TEST_F(DibTest, OrientationMasksAndBitOffset) {
  BmpSpec bottomUp;
  bottomUp.width = 6;
  bottomUp.height = 4;
  BmpSpec topDown = bottomUp;
  topDown.height = -4;
  Dib a = load(makeBmp(bottomUp), 1, 1, 4, 2);
  Dib b = load(makeBmp(topDown), 1, 1, 4, 2);
  ASSERT_TRUE(a && b);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(pelAt(a.get(), x, y), static_cast<uint32_t>((x + y + 2) % 4));
      EXPECT_EQ(pelAt(b.get(), x, y), pelAt(a.get(), x, y));
    }

  BmpSpec rgb565;
  rgb565.bits = 16;
  rgb565.compression = BI_BITFIELDS;
  rgb565.colours = 0;
  rgb565.table = {0xF800, 0x07E0, 0x001F};
  rgb565.pel = [](int x, int y) { return static_cast<uint32_t>(x * 2048 + y * 32 + 7); };
  Dib c = load(makeBmp(rgb565), 0, 0, 5, 3);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->biCompression, BI_BITFIELDS);
  const auto* masks = reinterpret_cast<const uint32_t*>(c.get() + 1);
  EXPECT_EQ(masks[0], 0xF800u);
  EXPECT_EQ(masks[2], 0x001Fu);
  EXPECT_EQ(pelAt(c.get(), 4, 2), 4u * 2048 + 2 * 32 + 7);

  // The rows start at the file header's bit offset, here 8 bytes after the table.
  BmpSpec gap = bottomUp;
  gap.gap = 8;
  Dib d = load(makeBmp(gap), 0, 0, 6, 4);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(pelAt(d.get(), 5, 3), static_cast<uint32_t>((5 + 3) % 4));
  // A bit offset into the headers or past the end: the rows follow the table.
  for (uint32_t offset : {0u, 20u, 100000u}) {
    Bytes file = makeBmp(bottomUp);
    put32(file, 10, offset);
    Dib e = load(file, 0, 0, 6, 4);
    ASSERT_NE(e, nullptr) << offset;
    EXPECT_EQ(pelAt(e.get(), 5, 3), static_cast<uint32_t>((5 + 3) % 4));
  }
  EXPECT_TRUE(hookCalls().empty());
}

TEST_F(DibTest, HostileFilesAreDataErrors) {
  const Bytes valid = makeBmp(BmpSpec{});
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  } cases[] = {
      {"not BM", [](Bytes& b) { b[0] = 'X'; }},
      {"core header", [](Bytes& b) { put32(b, 14, 12); }},
      {"width 0", [](Bytes& b) { put32(b, 18, 0); }},
      {"negative width", [](Bytes& b) { put32(b, 18, static_cast<uint32_t>(-5)); }},
      {"huge width", [](Bytes& b) { put32(b, 18, 0x40000000); }},
      {"height 0", [](Bytes& b) { put32(b, 22, 0); }},
      {"height INT_MIN", [](Bytes& b) { put32(b, 22, 0x80000000u); }},
      {"RLE8", [](Bytes& b) { put32(b, 30, 1); }},
      {"7 bits", [](Bytes& b) { put16(b, 28, 7); }},
      {"300 colours", [](Bytes& b) { put32(b, 46, 300); }},
      {"more rows than the file holds", [](Bytes& b) { put32(b, 22, 4); }},
      {"colour table past the end", [](Bytes& b) { put32(b, 46, 256); }},
      {"rows past the end from the bit offset", [](Bytes& b) { put32(b, 10, static_cast<uint32_t>(b.size() - 1)); }},
      {"last byte missing", [](Bytes& b) { b.pop_back(); }},
  };
  auto expectDataError = [&](const Bytes& file) {
    hookCalls().clear();
    EXPECT_EQ(load(file, 0, 0, 100, 100), nullptr);
    ASSERT_EQ(hookCalls().size(), 1u);
    EXPECT_EQ(hookCalls()[0].text, "Data error");
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = valid;
    c.damage(file);
    expectDataError(file);
  }
  for (size_t cut = 0; cut < valid.size(); ++cut) {
    SCOPED_TRACE(cut);
    expectDataError(Bytes(valid.begin(), valid.begin() + static_cast<long>(cut)));
  }
  hookCalls().clear();
  const std::string missing = dir_.file("missing.bmp");
  EXPECT_EQ(bmp8Load(missing.c_str(), 0, 0, 1, 1), nullptr);
  EXPECT_EQ(hookCalls().back().text, "Can't open file '" + missing + "'");
}

TEST_F(DibTest, NoMemoryForTheCopyClosesTheFile) {
  const Bytes file = makeBmp(BmpSpec{});
  memHookTable saved = memHooks;
  memHooks.alloc2 = [](size_t) -> void* { return nullptr; };
  EXPECT_EQ(load(file, 0, 0, 5, 3), nullptr);
  memHooks = saved;
  ASSERT_EQ(hookCalls().size(), 1u);
  EXPECT_EQ(hookCalls()[0].code, ERR_NO_MEMORY);
}

TEST_F(DibTest, CopyRectClipsAndKeepsOverlappingRows) {
  // Into an existing DIB at a position partly outside it.
  Dib src(dibCreate(4, 4, 8, 0, 1));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) setPel(src.get(), x, y, static_cast<uint32_t>(10 * y + x));
  Dib dst(dibCreate(3, -3, 8, 0, 1));
  std::memset(dibBits(dst.get()), 0xEE, dst->biSizeImage);
  EXPECT_EQ(dibCopyRect(dst.get(), nullptr, -1, 1, src.get(), nullptr, 0, 0, 4, 4), dst.get());
  const uint32_t expected[3][3] = {{0xEE, 0xEE, 0xEE}, {1, 2, 3}, {11, 12, 13}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(pelAt(dst.get(), x, y), expected[y][x]) << x << "," << y;
  EXPECT_EQ(dibCopyRect(dst.get(), nullptr, 3, 0, src.get(), nullptr, 0, 0, 4, 4), dst.get());  // all outside
  EXPECT_EQ(dibCopyRect(nullptr, nullptr, 0, 0, src.get(), nullptr, 0, 0, 0, 4), nullptr);

  // Rows moved down and up within one picture, both row orders.
  for (int height : {6, -6}) {
    for (int shift : {1, -1}) {
      SCOPED_TRACE(testing::Message() << "height " << height << " shift " << shift);
      Dib pic(dibCreate(3, height, 24, 0, 1));
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 3; ++x) setPel(pic.get(), x, y, static_cast<uint32_t>(100 * y + x));
      dibCopyRect(pic.get(), nullptr, 0, 2 + shift, pic.get(), nullptr, 0, 2, 3, 3);
      for (int y = 0; y < 6; ++y) {
        const int from = y >= 2 + shift && y < 5 + shift ? y - shift : y;
        for (int x = 0; x < 3; ++x) ASSERT_EQ(pelAt(pic.get(), x, y), static_cast<uint32_t>(100 * from + x)) << y;
      }
    }
  }
}

// Pels narrower than a byte: a partly covered last byte is copied whole, so
// an odd width keeps its last column. A colour table larger than a new DIB
// holds is cut to it.
TEST_F(DibTest, CopyRectKeepsPartBytesAndBoundsTheTable) {
  Dib p4(dibCreate(3, 1, 4, 0, 1));
  dibBits(p4.get())[0] = 0x12;
  dibBits(p4.get())[1] = 0x30;
  Dib copy4(dibCopyRect(nullptr, nullptr, 0, 0, p4.get(), nullptr, 0, 0, 3, 1));
  ASSERT_NE(copy4, nullptr);
  EXPECT_EQ(dibBits(copy4.get())[1] & 0xF0, 0x30);
  Dib p1(dibCreate(5, 1, 1, 0, 1));
  dibBits(p1.get())[0] = 0xA8;
  Dib copy1(dibCopyRect(nullptr, nullptr, 0, 0, p1.get(), nullptr, 0, 0, 5, 1));
  ASSERT_NE(copy1, nullptr);
  EXPECT_EQ(dibBits(copy1.get())[0] & 0xF8, 0xA8);

  // 300 table entries: the new DIB gets the first 256.
  auto* big = static_cast<dibHeader*>(memAllocChecked(sizeof(dibHeader) + 300 * 4 + 4));
  *big = dibHeader{40, 1, 1, 1, 8, BI_RGB, 4, 0, 0, 300, 0};
  for (uint32_t i = 0; i < 300; ++i) reinterpret_cast<uint32_t*>(big + 1)[i] = i;
  dibBits(big)[0] = 7;
  Dib copy(dibCopyRect(nullptr, nullptr, 0, 0, big, nullptr, 0, 0, 1, 1));
  memHooks.free(big);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(dibPaletteBytes(copy.get()), 1024u);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(copy.get() + 1)[255], 255u);
  EXPECT_EQ(pelAt(copy.get(), 0, 0), 7u);
}

TEST_F(DibTest, CopyRectConvertsSomeBitCounts) {
  Dib p8(dibCreate(2, 1, 8, 3, 1));
  auto* table = reinterpret_cast<RGBQUAD*>(p8.get() + 1);
  table[0] = {0x00, 0x00, 0xFF, 0};  // red
  table[1] = {0xFF, 0x80, 0x00, 0};
  setPel(p8.get(), 0, 0, 0);
  setPel(p8.get(), 1, 0, 1);
  Dib rgb24(dibCreate(2, 1, 24, 0, 1));
  Dib rgb555(dibCreate(2, 1, 16, 0, 1));
  Dib rgb565(dibCreate(2, 1, 16, 3, 1));
  ASSERT_EQ(dibCopyRect(rgb24.get(), nullptr, 0, 0, p8.get(), nullptr, 0, 0, 2, 1), rgb24.get());
  EXPECT_EQ(pelAt(rgb24.get(), 0, 0), 0xFF0000u);
  EXPECT_EQ(pelAt(rgb24.get(), 1, 0), 0x0080FFu);
  ASSERT_EQ(dibCopyRect(rgb555.get(), nullptr, 0, 0, p8.get(), nullptr, 0, 0, 2, 1), rgb555.get());
  EXPECT_EQ(pelAt(rgb555.get(), 0, 0), 0x7C00u);
  EXPECT_EQ(pelAt(rgb555.get(), 1, 0), 0x0200u | 0x1F);
  ASSERT_EQ(dibCopyRect(rgb565.get(), nullptr, 0, 0, rgb24.get(), nullptr, 0, 0, 2, 1), rgb565.get());
  EXPECT_EQ(pelAt(rgb565.get(), 0, 0), 0xF800u);
  EXPECT_EQ(pelAt(rgb565.get(), 1, 0), 0x0400u | 0x1F);
  EXPECT_TRUE(hookCalls().empty());
  EXPECT_EQ(dibCopyRect(p8.get(), nullptr, 0, 0, rgb565.get(), nullptr, 0, 0, 2, 1), nullptr);
  EXPECT_EQ(hookCalls().back().text, "Function is not implemented");
}

}  // namespace
