// What every decoder does the same way: loads, reads of any rectangle into
// any rectangle of a row of any format, and failed loads that leave the
// decoder to its destructor.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "Lib/talvo/src/talvo/sandbox.h"
#include "decoder_fixtures.h"
#include "img/DibDecoder.h"
#include "img/JpgDecoder.h"
#include "img/TgaDecoder.h"
#include "talvo/Archive.h"
#include "talvo/Exception.h"

using namespace talvo::g;
using namespace decoder_test;

namespace {

struct Picture {
  const char* group;
  const char* file;
  std::function<std::unique_ptr<ImageDecoderI>()> make;
};

const Picture pictures[] = {
    {"bmp", "bmp24_big.bmp", [] { return std::make_unique<DibDecoder>(); }},
    {"tga", "tga_big.tga", [] { return std::make_unique<TgaDecoder>(); }},
    {"jpg", "jpg_420.jpg", [] { return std::make_unique<JpgDecoder>(); }},
};

// The rectangle of the image as an image of its own.
std::unique_ptr<ImageRow> cut(ImageRow& image, const Rect& r) {
  auto part = std::make_unique<ImageRow>();
  part->create(r.width(), r.height(), image.format());
  part->assign(0, 0, image, &r);
  return part;
}

void fill_row(ImageRow& row, std::int32_t width, std::int32_t height, PelType type) {
  row.create(width, height, PelFmt(type));
  std::memset(row.pels(), 0x5A, std::size_t(row.pitch()) * std::size_t(height));
}

}  // namespace

TEST(ImageDecoder, ReadsAnyRectangleIntoAnyRectangle) {
  talvo::io::ZipFormat zip;
  for (const Picture& p : pictures) {
    const std::string dir = make_pictures(p.group);
    for (const std::string& path : {dir + "/" + p.file, dir + "/pics/" + p.file}) {
      SCOPED_TRACE(path);
      ImageRow whole;
      p.make()->load(path.c_str(), whole);
      const PelType own = whole.type();

      // One decoder read many times (the JPEG decoder decodes again).
      auto stream = open_raw(path, 5);
      auto decoder = p.make();
      decoder->open(*stream);
      ImageDecoderI::Info info;
      decoder->get_info(info);
      EXPECT_EQ(info.width, whole.width());
      EXPECT_EQ(info.height, whole.height());
      EXPECT_EQ(info.format.type(), own);

      const Rect source{3, 4, 20, 17};
      const struct {
        const char* what;
        const Rect* source;
        PelType type;
        Rect destination;  // inside a row of 30 x 25
        ResampleMode mode;
      } cases[] = {
          {"part, same size and type", &source, own, {5, 6, 22, 19}, ResampleMode::filter},
          {"part, same size, other type", &source, pel_type::rgb565, {5, 6, 22, 19}, ResampleMode::filter},
          {"part, other size and type", &source, pel_type::rgba8888, {2, 1, 12, 9}, ResampleMode::filter},
          {"part, other size, nearest", &source, own, {0, 0, 30, 25}, ResampleMode::nearest},
          {"whole, other size", nullptr, own, {1, 2, 21, 17}, ResampleMode::filter_wrap_xy},
      };
      for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ImageRow got;
        fill_row(got, 30, 25, c.type);
        decoder->read(c.source, got, &c.destination, c.mode);

        const Rect all{0, 0, whole.width(), whole.height()};
        auto part = cut(whole, c.source ? *c.source : all);
        part->resize(c.destination.width(), c.destination.height(), c.mode);
        ImageRow want;
        fill_row(want, 30, 25, c.type);
        want.assign(c.destination.x0, c.destination.y0, *part, nullptr);
        EXPECT_EQ(pel_bytes(got), pel_bytes(want));
      }
      decoder->close();
      EXPECT_FALSE(decoder->opened());
    }
  }
}

TEST(ImageDecoder, LoadSizesTheRowToThePicture) {
  const std::string dir = make_pictures("jpg");
  ImageRow row;
  JpgDecoder decoder;
  decoder.load((dir + "/jpg_small.jpg").c_str(), row);
  EXPECT_EQ(row.width(), 3);
  EXPECT_EQ(row.height(), 2);
  EXPECT_EQ(row.type(), pel_type::rgb888);
  EXPECT_EQ(row.pitch(), 9);
  EXPECT_FALSE(decoder.opened());

  // Read into a row of another type of the same size: converted, opaque.
  ImageRow rgba;
  rgba.create(3, 2, PelFmt(pel_type::rgba8888));
  auto stream = open_raw(dir + "/jpg_small.jpg", 5);
  decoder.open(*stream);
  EXPECT_TRUE(decoder.opened());
  decoder.read(rgba, ResampleMode::filter);
  for (std::int32_t y = 0; y < 2; ++y)
    for (std::int32_t x = 0; x < 3; ++x) {
      const std::uint32_t pel = rgba.get_pel(x, y);
      EXPECT_EQ(pel >> 24, 0xFFu);
      EXPECT_EQ(pel & 0xFFFFFF, row.get_pel(x, y));
    }
}

TEST(ImageDecoder, MissingOrShortFilesThrowTheStreamsFailure) {
  const std::string dir = make_pictures("jpg");
  const std::string jpg = talvo_test::read_file(dir + "/jpg_420.jpg");
  const std::size_t scan = jpg.find("\xFF\xDA");
  const std::string short_jpg = write_temp(jpg.substr(0, scan + (jpg.size() - scan) / 2));
  const std::function<std::unique_ptr<ImageDecoderI>()> makers[] = {
      [] { return std::make_unique<DibDecoder>(); },
      [] { return std::make_unique<TgaDecoder>(); },
      [] { return std::make_unique<JpgDecoder>(); },
  };
  for (const auto& make : makers) {
    ImageRow row;
    EXPECT_THROW(make()->load((dir + "/missing.bmp").c_str(), row), talvo::io::Failure);
  }
  // A failed load leaves the decoder open, and its destructor releases
  // what it holds (the leak checker watches); closing twice is harmless.
  JpgDecoder decoder;
  ImageRow row;
  EXPECT_THROW(decoder.load(short_jpg.c_str(), row), talvo::io::Failure);
  EXPECT_TRUE(decoder.opened());
  decoder.close();
  decoder.close();
}
