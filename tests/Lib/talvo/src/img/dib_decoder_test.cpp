// The BMP decoder: every depth and header it reads against Pillow, the pel
// type chosen from depth, masks and palette, rectangles of the stored rows,
// and refused or short files.
#include "img/DibDecoder.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "decoder_fixtures.h"
#include "talvo/Archive.h"
#include "talvo/Exception.h"

using namespace talvo::g;
using namespace decoder_test;
using namespace std::string_literals;

namespace {

// A BMP built byte by byte: the 54 header bytes, what follows them (masks,
// the rest of a larger info header, the palette), then the stored rows.
struct Bmp {
  std::int32_t width = 1, height = 1;
  std::uint16_t bits = 24;
  std::uint32_t compression = 0, colours = 0, info_size = 40;
  std::string after_header, rows;
  std::int64_t offset = -1;  // the bit offset; -1: right after after_header
  std::string magic = "BM";

  std::string bytes() const {
    const std::uint32_t at = offset < 0 ? std::uint32_t(54 + after_header.size()) : std::uint32_t(offset);
    return magic + u32(54 + after_header.size() + rows.size()) + u32(0) + u32(at) + u32(info_size) +
           u32(width) + u32(height) + u16(1) + u16(bits) + u32(compression) + u32(rows.size()) + u32(0) +
           u32(0) + u32(colours) + u32(0) + after_header + rows;
  }
};

// Masks after the smallest info header (three), or inside a version-4 one.
std::string masks3(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return u32(r) + u32(g) + u32(b); }
std::string masks_v4(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  return masks3(r, g, b) + u32(a) + std::string(52, '\0');
}

// Opens the bytes on a stream with mask 0 (failures only set bits).
struct Opened {
  std::unique_ptr<talvo::io::IArcStream> stream;
  DibDecoder decoder;
  explicit Opened(const std::string& bytes) : stream(open_raw(write_temp(bytes), 0)) {}
};

}  // namespace

TEST(DibDecoder, ReadsEveryDepthAndHeaderLikePillow) {
  // Alpha is compared where Pillow reads it as the decoder does.
  const LikePillow cases[] = {
      {"bmp8.bmp", pel_type::index8, true},
      {"bmp8_grey.bmp", pel_type::index8, true},
      {"bmp8_v5.bmp", pel_type::index8, true},
      {"bmp24.bmp", pel_type::rgb888, true},
      {"bmp24_topdown.bmp", pel_type::rgb888, true},
      {"bmp24_v5.bmp", pel_type::rgb888, true},
      {"bmp24_gap.bmp", pel_type::rgb888, true},
      {"bmp32.bmp", pel_type::rgbx8888, false},
      {"bmp32_fields.bmp", pel_type::rgbx8888, false},
      {"bmp32_xbgr.bmp", pel_type::rgbx8888, false},
      {"bmp32_xbgr_3masks.bmp", pel_type::rgbx8888, false},
      {"bmp32_abgr.bmp", pel_type::rgba8888, true},
      {"bmp32_rgba.bmp", pel_type::rgba8888, true},
      {"bmp16_555.bmp", pel_type::rgbx5551, false},
      {"bmp16_565.bmp", pel_type::rgb565, true},
      {"bmp16_555_fields.bmp", pel_type::rgbx5551, false},
      {"bmp16_5551.bmp", pel_type::rgba5551, false},
      {"bmp16_4444.bmp", pel_type::rgba4444, true},
  };
  const std::string dir = make_pictures("bmp");
  talvo::io::ZipFormat zip;
  DibDecoder decoder;
  for (const LikePillow& c : cases) expect_like_pillow(decoder, dir, c);
}

TEST(DibDecoder, TypeFromDepthMasksAndPalette) {
  const std::string pel16 = u16(0x8421) + u16(0);
  const std::string pel32 = "\x01\x02\x03\x04"s;
  const struct {
    const char* what;
    Bmp bmp;
    PelType type;
    std::uint32_t pel;  // the pel at (0, 0)
  } cases[] = {
      {"16 bits without masks", {2, 1, 16, 0, 0, 40, "", pel16}, pel_type::rgbx5551, 0x8421},
      {"5-6-5 masks", {2, 1, 16, 3, 0, 40, masks3(0xF800, 0x07E0, 0x001F), pel16}, pel_type::rgb565, 0x8421},
      {"5-6-5 masks, any alpha mask",
       {2, 1, 16, 3, 0, 108, masks_v4(0xF800, 0x07E0, 0x001F, 0x1234), pel16},
       pel_type::rgb565,
       0x8421},
      // After the smallest info header three masks follow; the pels that
      // come next (00 80 00 00) are no alpha mask.
      {"5-5-5 masks, pels after three masks",
       {2, 1, 16, 3, 0, 40, masks3(0x7C00, 0x03E0, 0x001F), u16(0x8000) + u16(0)},
       pel_type::rgbx5551,
       0x8000},
      {"5-5-5-1 masks",
       {2, 1, 16, 3, 0, 108, masks_v4(0x7C00, 0x03E0, 0x001F, 0x8000), pel16},
       pel_type::rgba5551,
       0x8421},
      {"4-4-4-4 masks without alpha",
       {2, 1, 16, 3, 0, 108, masks_v4(0x0F00, 0x00F0, 0x000F, 0), pel16},
       pel_type::rgbx4444,
       0x8421},
      {"4-4-4-4 masks with alpha",
       {2, 1, 16, 3, 0, 108, masks_v4(0x0F00, 0x00F0, 0x000F, 0xF000), pel16},
       pel_type::rgba4444,
       0x8421},
      {"32 bits without masks", {1, 1, 32, 0, 0, 40, "", pel32}, pel_type::rgbx8888, 0x030201},
      {"standard 32-bit masks with alpha",
       {1, 1, 32, 3, 0, 108, masks_v4(0xFF0000, 0xFF00, 0xFF, 0xFF000000), pel32},
       pel_type::rgbx8888,
       0x030201},
      // Other 32-bit orders are honoured: the pel 0x04030201 as its masks
      // say (a byte no mask covers reads 0).
      {"32-bit masks a byte up",
       {1, 1, 32, 3, 0, 108, masks_v4(0xFF000000, 0xFF0000, 0xFF00, 0), pel32},
       pel_type::rgbx8888,
       0x040302},
      {"32-bit masks a byte up with alpha",
       {1, 1, 32, 3, 0, 108, masks_v4(0xFF000000, 0xFF0000, 0xFF00, 0xFF), pel32},
       pel_type::rgba8888,
       0x01040302},
      {"32-bit masks in red, green, blue, alpha order",
       {1, 1, 32, 3, 0, 108, masks_v4(0xFF, 0xFF00, 0xFF0000, 0xFF000000), pel32},
       pel_type::rgba8888,
       0x04010203},
      {"32-bit masks after the smallest info header",
       {1, 1, 32, 3, 0, 40, masks3(0xFF00, 0xFF0000, 0xFF000000), pel32},
       pel_type::rgbx8888,
       0x020304},
      {"32-bit masks all 0", {1, 1, 32, 3, 0, 40, masks3(0, 0, 0), pel32}, pel_type::rgbx8888, 0x030201},
      {"24 bits with 32-bit masks",
       {1, 1, 24, 3, 0, 40, masks3(0xFF000000, 0xFF0000, 0xFF00), "\x01\x02\x03\x00"s},
       pel_type::rgb888,
       0x030201},
      {"16 bits with a palette, which is skipped",
       {2, 1, 16, 0, 2, 40, u32(0x123456) + u32(0x654321), pel16},
       pel_type::rgbx5551,
       0x8421},
      {"8 bits with masks",
       {1, 1, 8, 3, 1, 40, masks3(0xF800, 0x07E0, 0x001F) + u32(0x00ABCDEF), "\x00\0\0\0"s},
       pel_type::index8,
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ImageRow row;
    const std::string path = write_temp(c.bmp.bytes());
    ASSERT_EQ(thrown([&] { DibDecoder().load(path.c_str(), row); }), "");
    EXPECT_EQ(row.type(), c.type);
    EXPECT_EQ(row.get_pel(0, 0), c.pel);
  }
}

TEST(DibDecoder, RefusesWhatItCannotRead) {
  const auto sized = [](std::int32_t w, std::int32_t h) {
    Bmp b;
    b.width = w;
    b.height = h;
    return b;
  };
  const auto with = [](std::uint16_t bits, std::uint32_t compression, std::uint32_t colours) {
    Bmp b;
    b.bits = bits;
    b.compression = compression;
    b.colours = colours;
    b.rows = std::string(4, '\0');
    return b;
  };
  Bmp ba;
  ba.magic = "BA";
  const struct {
    const char* what;
    std::string bytes;
    const char* text;
  } cases[] = {
      {"not BM", ba.bytes(), "Invalid BMP file"},
      {"short header", Bmp().bytes().substr(0, 30), "Invalid BMP file"},
      {"width 0", sized(0, 1).bytes(), "Invalid BMP file"},
      {"negative width", sized(-3, 1).bytes(), "Invalid BMP file"},
      {"height 0", sized(1, 0).bytes(), "Invalid BMP file"},
      {"width past the image cap", sized(32769, 1).bytes(), "Invalid BMP file"},
      {"top-down height past the image cap", sized(1, -32769).bytes(), "Invalid BMP file"},
      {"smallest height", sized(1, INT_MIN).bytes(), "Invalid BMP file"},
      {"257 colours", with(8, 0, 257).bytes(), "Invalid BMP file"},
      {"24 bits, 300 colours", with(24, 0, 300).bytes(), "Invalid BMP file"},
      {"1 bit", with(1, 0, 0).bytes(), "Unsupported BMP Image Type"},
      {"4 bits", with(4, 0, 0).bytes(), "Unsupported BMP Image Type"},
      {"4 bits with a palette", with(4, 0, 16).bytes(), "Unsupported BMP Image Type"},
      {"run-length 8 bits", with(8, 1, 0).bytes(), "Unsupported BMP Image Type"},
      {"run-length 4 bits", with(4, 2, 0).bytes(), "Unsupported BMP Image Type"},
      {"JPEG inside", with(24, 4, 0).bytes(), "Unsupported BMP Image Type"},
      {"32-bit masks of 10 bits",
       Bmp{1, 1, 32, 3, 0, 40, masks3(0x3FF00000, 0xFFC00, 0x3FF), std::string(4, '\0')}.bytes(),
       "Unsupported BMP Image Type"},
      {"32-bit masks that overlap",
       Bmp{1, 1, 32, 3, 0, 40, masks3(0xFF00, 0xFF00, 0xFF), std::string(4, '\0')}.bytes(),
       "Unsupported BMP Image Type"},
      {"32-bit alpha mask of 4 bits",
       Bmp{1, 1, 32, 3, 0, 108, masks_v4(0xFF000000, 0xFF0000, 0xFF00, 0xF), std::string(4, '\0')}.bytes(),
       "Unsupported BMP Image Type"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Opened o(c.bytes);
    EXPECT_EQ(thrown([&] { o.decoder.open(*o.stream); }), std::string("Exception: ") + c.text);
  }
  // Through a load from a path, a short header is the stream's failure.
  ImageRow row;
  const std::string path = write_temp(Bmp().bytes().substr(0, 30));
  EXPECT_EQ(thrown([&] { DibDecoder().load(path.c_str(), row); }), "Failure: i/o error ('" + path + "')");
}

TEST(DibDecoder, ReadsEveryRectangleOfTheStoredRows) {
  // 5 x 3 pels of 24 bits: 16 row bytes, one of them padding. Every byte
  // tells its place in the rows as stored.
  for (const bool top_down : {false, true}) {
    SCOPED_TRACE(top_down ? "top-down" : "bottom-up");
    Bmp b;
    b.width = 5;
    b.height = top_down ? -3 : 3;
    for (int i = 0; i < 48; ++i) b.rows += char(i + 1);
    Opened o(b.bytes());
    o.decoder.open(*o.stream);
    for (std::int32_t y0 = 0; y0 < 3; ++y0)
      for (std::int32_t y1 = y0 + 1; y1 <= 3; ++y1)
        for (std::int32_t x0 = 0; x0 < 5; ++x0)
          for (std::int32_t x1 = x0 + 1; x1 <= 5; ++x1) {
            const Rect source{x0, y0, x1, y1};
            const Rect destination{1, 1, 1 + x1 - x0, 1 + y1 - y0};
            ImageRow row;
            row.create(6, 4, PelFmt(pel_type::rgb888));
            o.decoder.read(&source, row, &destination, ResampleMode::filter);
            for (std::int32_t y = y0; y < y1; ++y)
              for (std::int32_t x = x0; x < x1; ++x) {
                const int stored = top_down ? y : 2 - y;
                const std::uint32_t at = std::uint32_t(stored * 16 + 3 * x + 1);
                ASSERT_EQ(row.get_pel(1 + x - x0, 1 + y - y0), at | (at + 1) << 8 | (at + 2) << 16)
                    << "rectangle " << x0 << "," << y0 << "-" << x1 << "," << y1 << " pel " << x << "," << y;
              }
          }
  }
}

TEST(DibDecoder, RowsStartAtTheBitOffsetUnlessItPointsIntoTheHeaders) {
  const struct {
    const char* what;
    std::int64_t offset;
    std::string between;  // bytes between the headers and the rows
  } cases[] = {
      {"offset right after the headers", -1, ""},
      {"offset past a gap", 54 + 7, "gapgap!"},
      {"offset into the headers", 20, ""},
      {"offset 0", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bmp b;
    b.offset = c.offset;
    b.after_header = c.between;
    b.rows = "\x11\x22\x33\x00"s;
    ImageRow row;
    DibDecoder().load(write_temp(b.bytes()).c_str(), row);
    EXPECT_EQ(row.get_pel(0, 0), 0x332211u);
  }
}

TEST(DibDecoder, IndicesPastThePaletteReadAZeroEntry) {
  Bmp b;
  b.width = 2;
  b.bits = 8;
  b.colours = 2;
  b.after_header = u32(0x00FF0000) + u32(0x0000FF00);
  b.rows = "\x01\xC8\0\0"s;  // index 1, index 200
  ImageRow row;
  DibDecoder decoder;
  decoder.load(write_temp(b.bytes()).c_str(), row);
  ASSERT_EQ(row.palette()->count(), 2u);
  ImageRow rgba;
  rgba.create(2, 1, PelFmt(pel_type::rgba8888));
  rgba.assign(0, 0, row);
  EXPECT_EQ(rgba.get_pel(0, 0), 0xFF00FF00u);
  EXPECT_EQ(rgba.get_pel(1, 0), 0u);
}

TEST(DibDecoder, ShortRowsFailTheStreamAndLeaveTheRestUnread) {
  // 2 x 3 pels of 24 bits, of which only the bottom row is stored.
  Bmp b;
  b.width = 2;
  b.height = 3;
  b.rows = "\x01\x02\x03\x04\x05\x06\0\0"s;
  {
    // Straight into the row: rows not read keep what the row held.
    Opened o(b.bytes());
    ImageRow row;
    row.create(2, 3, PelFmt(pel_type::rgb888));
    row.fill(0xABCDEF);
    o.decoder.open(*o.stream);
    o.decoder.read(row, ResampleMode::filter);
    EXPECT_TRUE(o.stream->fail());
    EXPECT_EQ(row.get_pel(1, 2), 0x060504u);
    EXPECT_EQ(row.get_pel(0, 0), 0xABCDEFu);
  }
  {
    // Through a temporary image: rows not read are black.
    Opened o(b.bytes());
    ImageRow row;
    row.create(2, 3, PelFmt(pel_type::rgba8888));
    row.fill(0x12345678);
    o.decoder.open(*o.stream);
    o.decoder.read(row, ResampleMode::filter);
    EXPECT_EQ(row.get_pel(0, 2), 0xFF030201u);
    EXPECT_EQ(row.get_pel(0, 0), 0xFF000000u);
  }
  ImageRow row;
  const std::string path = write_temp(b.bytes());
  EXPECT_EQ(thrown([&] { DibDecoder().load(path.c_str(), row); }), "Failure: i/o error ('" + path + "')");
}

TEST(DibDecoder, RowsBehindAStreamHeader) {
  // The positions the decoder keeps are the buffer's own: the header's
  // length is in them once.
  Bmp b;
  b.width = 2;
  b.height = 2;
  b.rows = "\x01\x02\x03\x04\x05\x06\0\0\x11\x12\x13\x14\x15\x16\0\0"s;
  const std::string path = write_temp("talvo::io::Stream"s + u32(0) + b.bytes());
  talvo::io::IArcStream stream;
  stream.open(path.c_str(), talvo::AbstractFile::in, talvo::io::Stream::badbit | talvo::io::Stream::failbit);
  ASSERT_EQ(stream.data_start(), 21);
  DibDecoder decoder;
  decoder.open(stream);
  ImageRow row;
  row.create(2, 2, PelFmt(pel_type::rgb888));
  decoder.read(row, ResampleMode::filter);
  EXPECT_EQ(row.get_pel(0, 0), 0x131211u);
  EXPECT_EQ(row.get_pel(1, 1), 0x060504u);
}
