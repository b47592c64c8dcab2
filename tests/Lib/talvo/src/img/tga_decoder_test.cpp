// The TGA decoder: every image type, depth and origin it reads against
// Pillow, packets and colour maps built byte by byte, refusals, and packets
// or data that do not fit the picture.
#include "img/TgaDecoder.h"

#include <gtest/gtest.h>

#include <string>

#include "decoder_fixtures.h"
#include "talvo/Archive.h"
#include "talvo/Exception.h"

using namespace talvo::g;
using namespace decoder_test;
using namespace std::string_literals;

namespace {

struct TgaHeader {
  std::uint8_t id_length = 0, image_type = 2;
  std::uint16_t map_first = 0, map_length = 0;
  std::uint8_t map_bits = 0;
  std::uint16_t width = 1, height = 1;
  std::uint8_t depth = 24, descriptor = 0;

  std::string bytes() const {
    return u8(id_length) + u8(map_length ? 1 : 0) + u8(image_type) + u16(map_first) + u16(map_length) +
           u8(map_bits) + u16(0) + u16(0) + u16(width) + u16(height) + u8(depth) + u8(descriptor);
  }
};

TgaHeader header(std::uint8_t image_type, std::uint8_t depth, std::uint16_t width, std::uint16_t height) {
  TgaHeader h;
  h.image_type = image_type;
  h.depth = depth;
  h.width = width;
  h.height = height;
  return h;
}

// Loads the bytes from a file; the row's pels as stored, top row first.
std::vector<std::uint8_t> load_bytes(const std::string& bytes, ImageRow& row) {
  TgaDecoder().load(write_temp(bytes).c_str(), row);
  return pel_bytes(row);
}

using Bytes = std::vector<std::uint8_t>;

}  // namespace

TEST(TgaDecoder, ReadsEveryTypeDepthAndOriginLikePillow) {
  // 16-bit pels and colour-map entries are compared at their 5 bits.
  const LikePillow cases[] = {
      {"tga_p_bottom.tga", pel_type::index8, true},
      {"tga_p_top.tga", pel_type::index8, true},
      {"tga_p_rle_bottom.tga", pel_type::index8, true},
      {"tga_p_rle_top.tga", pel_type::index8, true},
      {"tga_l_bottom.tga", pel_type::index8, true},
      {"tga_l_top.tga", pel_type::index8, true},
      {"tga_rgb_bottom.tga", pel_type::rgb888, true},
      {"tga_rgb_top.tga", pel_type::rgb888, true},
      {"tga_rgb_rle_bottom.tga", pel_type::rgb888, true},
      {"tga_rgb_rle_top.tga", pel_type::rgb888, true},
      {"tga_rgba_bottom.tga", pel_type::rgba8888, true},
      {"tga_rgba_top.tga", pel_type::rgba8888, true},
      {"tga_rgba_rle_bottom.tga", pel_type::rgba8888, true},
      {"tga_rgba_rle_top.tga", pel_type::rgba8888, true},
      {"tga_id.tga", pel_type::rgb888, true},
      {"tga16.tga", pel_type::rgb888, false, 5},
      {"tga16_rle.tga", pel_type::rgb888, false, 5},
      {"tga24_map.tga", pel_type::rgb888, true},
      {"tga8_map16.tga", pel_type::index8, true, 5},
      {"tga_la.tga", pel_type::rgba8888, true},
      {"tga_big.tga", pel_type::rgba8888, true},
  };
  const std::string dir = make_pictures("tga");
  talvo::io::ZipFormat zip;
  TgaDecoder decoder;
  for (const LikePillow& c : cases) expect_like_pillow(decoder, dir, c);
  // The same pictures stored from each corner.
  for (const std::string kind : {"p", "p_rle", "rgb", "rgb_rle"}) {
    for (const char* corner : {"bl", "br", "tl", "tr"}) {
      const std::string name = "tga_" + kind + "_" + corner + ".tga";
      expect_like_pillow(decoder, dir, {name.c_str(), kind[0] == 'p' ? pel_type::index8 : pel_type::rgb888, true});
    }
  }
}

TEST(TgaDecoder, EveryOriginReadsLikeItsTopLeftTwin) {
  // A 3 x 2 picture whose pels count 1 to 6 from the top left, stored from
  // each corner (image descriptor bit 4: right to left, bit 5: top down),
  // as indices and as 24-bit pels, uncompressed and as one raw packet.
  const Bytes picture = {1, 2, 3, 4, 5, 6};
  const auto stored = [&](std::uint8_t descriptor) {
    Bytes pels;
    for (int i = 0; i < 2; ++i) {
      const int y = descriptor & 0x20 ? i : 1 - i;
      for (int j = 0; j < 3; ++j) pels.push_back(picture[3 * y + (descriptor & 0x10 ? 2 - j : j)]);
    }
    return pels;
  };
  const struct {
    const char* what;
    std::uint8_t image_type, depth;
  } kinds[] = {{"grey indices", 3, 8}, {"grey indices, run-length", 9, 8}, {"24 bits", 2, 24},
               {"24 bits, run-length", 10, 24}};
  for (const auto& k : kinds) {
    Bytes twin;
    for (const std::uint8_t descriptor : {0x20, 0x00, 0x10, 0x30}) {
      SCOPED_TRACE(testing::Message() << k.what << ", descriptor " << int(descriptor));
      TgaHeader h = header(k.image_type, k.depth, 3, 2);
      h.descriptor = descriptor;
      std::string bytes = h.bytes();
      if (k.image_type >= 9) bytes += u8(5);  // one raw packet of six pels
      for (const std::uint8_t v : stored(descriptor))
        bytes += k.depth == 8 ? u8(v) : u8(v) + u8(v + 10) + u8(v + 20);
      ImageRow row;
      const Bytes pels = load_bytes(bytes, row);
      if (descriptor == 0x20) {
        twin = pels;
        Bytes want;
        for (const std::uint8_t v : picture) {
          want.push_back(v);
          if (k.depth == 24) want.insert(want.end(), {std::uint8_t(v + 10), std::uint8_t(v + 20)});
        }
        EXPECT_EQ(pels, want);
      }
      EXPECT_EQ(pels, twin);
    }
  }
}

TEST(TgaDecoder, PacketsPalettesAndWidening) {
  const struct {
    const char* what;
    std::string bytes;
    Bytes pels;  // as stored in the row, top row first
  } cases[] = {
      {"32-bit run", header(10, 32, 2, 1).bytes() + "\x81\x01\x02\x03\x04"s, {1, 2, 3, 4, 1, 2, 3, 4}},
      {"32-bit raw packet",
       header(10, 32, 2, 1).bytes() + "\x01\x01\x02\x03\x04\x05\x06\x07\x08"s,
       {1, 2, 3, 4, 5, 6, 7, 8}},
      {"8-bit run, one byte a pel", header(9, 8, 3, 1).bytes() + "\x82\x07"s, {7, 7, 7}},
      {"packets across rows",
       header(10, 24, 2, 2).bytes() + "\x82\x01\x02\x03\x00\x09\x08\x07"s,
       {1, 2, 3, 9, 8, 7, 1, 2, 3, 1, 2, 3}},
      {"16-bit pels widened",
       header(2, 16, 3, 1).bytes() + u16(0x7FFF) + u16(0x8000) + u16(0x7C1F),
       {248, 248, 248, 0, 0, 0, 248, 0, 248}},
      {"15 bits read as 16", header(2, 15, 1, 1).bytes() + u16(0x03E0), {0, 248, 0}},
      {"16-bit grey pels: grey and alpha",
       header(3, 16, 2, 1).bytes() + "\x10\x80\xC8\xFF"s,
       {0x10, 0x10, 0x10, 0x80, 0xC8, 0xC8, 0xC8, 0xFF}},
      {"run packet longer than the picture",
       header(10, 32, 2, 2).bytes() + "\xFF\x01\x02\x03\x04"s,
       {1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4}},
      {"raw packet longer than the picture",
       header(10, 24, 1, 2).bytes() + "\x7F"s + std::string(128 * 3, '\x05'), Bytes(2 * 3, 5)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ImageRow row;
    EXPECT_EQ(load_bytes(c.bytes, row), c.pels);
  }

  // Grey and alpha read into a type without alpha is the grey.
  const std::string path = write_temp(header(3, 16, 2, 1).bytes() + "\x10\x80\xC8\xFF"s);
  auto stream = open_raw(path, talvo::io::Stream::badbit | talvo::io::Stream::failbit);
  TgaDecoder decoder;
  decoder.open(*stream);
  ImageRow rgb;
  rgb.create(2, 1, PelFmt(pel_type::rgb888));
  decoder.read(rgb, ResampleMode::filter);
  EXPECT_EQ(pel_bytes(rgb), (Bytes{0x10, 0x10, 0x10, 0xC8, 0xC8, 0xC8}));
}

TEST(TgaDecoder, EightBitPalettes) {
  TgaHeader grey = header(3, 8, 2, 1);
  TgaHeader mapped = header(1, 8, 3, 1);
  mapped.map_length = 2;
  mapped.map_bits = 24;
  TgaHeader late = mapped;
  late.map_first = 5;
  TgaHeader wide = mapped;
  wide.map_bits = 32;
  const struct {
    const char* what;
    std::string bytes;
    std::uint32_t rgba[3];
  } cases[] = {
      {"no colour map: greys", grey.bytes() + "\xC8\x00"s, {0xFFC8C8C8, 0xFF000000}},
      {"24-bit entries; an index past them reads a zero entry",
       mapped.bytes() + "\x01\x02\x03\x04\x05\x06"s + "\x00\x01\xC8"s,
       {0xFF030201, 0xFF060504, 0}},
      {"entries from index 5",
       late.bytes() + "\x01\x02\x03\x04\x05\x06"s + "\x05\x06\x00"s,
       {0xFF030201, 0xFF060504, 0}},
      {"32-bit entries",
       wide.bytes() + "\x01\x02\x03\x00\x04\x05\x06\x00"s + "\x00\x01\x01"s,
       {0xFF030201, 0xFF060504, 0xFF060504}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ImageRow row;
    TgaDecoder().load(write_temp(c.bytes).c_str(), row);
    ASSERT_EQ(row.type(), pel_type::index8);
    ImageRow rgba;
    rgba.create(row.width(), 1, PelFmt(pel_type::rgba8888));
    rgba.assign(0, 0, row);
    for (std::int32_t x = 0; x < row.width(); ++x) EXPECT_EQ(rgba.get_pel(x, 0), c.rgba[x]) << "pel " << x;
  }
}

TEST(TgaDecoder, RefusesWhatItCannotRead) {
  TgaHeader bad_map = header(1, 8, 1, 1);
  bad_map.map_length = 2;
  bad_map.map_bits = 8;
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"image type 0", header(0, 24, 1, 1).bytes()},
      {"image type 11", header(11, 8, 1, 1).bytes()},
      {"image type 4", header(4, 24, 1, 1).bytes()},
      {"depth 12", header(2, 12, 1, 1).bytes()},
      {"depth 0", header(2, 0, 1, 1).bytes()},
      {"depth 40", header(2, 40, 1, 1).bytes()},
      {"width 0", header(2, 24, 0, 1).bytes()},
      {"height 0", header(2, 24, 1, 0).bytes()},
      {"width past the image cap", header(2, 24, 65535, 1).bytes()},
      {"height past the image cap", header(10, 32, 1, 40000).bytes()},
      {"colour map of 8-bit entries", bad_map.bytes() + "\0\0"s},
      {"short header", header(2, 24, 1, 1).bytes().substr(0, 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto stream = open_raw(write_temp(c.bytes), 0);
    TgaDecoder decoder;
    try {
      decoder.open(*stream);
      ADD_FAILURE() << "not refused";
    } catch (const talvo::io::Failure& e) {
      ADD_FAILURE() << "stream failure " << e.what();
    } catch (const talvo::Exception& e) {
      EXPECT_STREQ(e.what(), "Unknown TGA Image Type");
    }
  }
}

TEST(TgaDecoder, ShortDataEndsInBlackOrFailsTheLoad) {
  const struct {
    const char* what;
    std::string bytes;
    Bytes pels;
  } cases[] = {
      {"uncompressed",
       header(2, 24, 2, 2).bytes() + "\x01\x02\x03\x04\x05\x06\x07"s,
       {7, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6}},
      {"run-length",
       header(10, 24, 2, 2).bytes() + "\x81\x01\x02\x03\x01\x09"s,
       {0, 0, 0, 0, 0, 0, 1, 2, 3, 1, 2, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = write_temp(c.bytes);
    auto stream = open_raw(path, 0);
    TgaDecoder decoder;
    decoder.open(*stream);
    EXPECT_TRUE(stream->fail());
    ImageRow row;
    row.create(2, 2, PelFmt(pel_type::rgb888));
    decoder.read(row, ResampleMode::filter);
    EXPECT_EQ(pel_bytes(row), c.pels);

    ImageRow loaded;
    EXPECT_THROW(TgaDecoder().load(path.c_str(), loaded), talvo::io::Failure);
  }
}
