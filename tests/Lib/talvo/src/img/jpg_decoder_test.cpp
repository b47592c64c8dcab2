// The JPEG decoder: pictures of several encodings compared byte for byte
// with djpeg's fast-DCT output, and libjpeg's errors, warnings and the
// stream's failures coming out as exceptions.
#include "img/JpgDecoder.h"

#include <gtest/gtest.h>

#include <string>

#include "Lib/talvo/src/talvo/sandbox.h"
#include "decoder_fixtures.h"
#include "talvo/Archive.h"
#include "talvo/Exception.h"

using namespace talvo::g;
using namespace decoder_test;

TEST(JpgDecoder, DecodesLikeDjpeg) {
  const char* files[] = {
      "jpg_420.jpg",     "jpg_444.jpg",   "jpg_grey.jpg",    "jpg_progressive.jpg",
      "jpg_restart.jpg", "jpg_small.jpg", "jpg_comment.jpg",
  };
  const std::string dir = make_pictures("jpg");
  talvo::io::ZipFormat zip;
  for (const char* file : files) {
    const Pels want = read_pels(dir + "/" + file + ".bgr");
    for (const std::string& path : {dir + "/" + file, dir + "/pics/" + file}) {
      SCOPED_TRACE(path);
      ImageRow row;
      JpgDecoder().load(path.c_str(), row);
      EXPECT_EQ(row.type(), pel_type::rgb888);
      EXPECT_EQ(row.width(), want.width);
      EXPECT_EQ(row.height(), want.height);
      EXPECT_TRUE(pel_bytes(row) == want.bytes);
    }
  }
}

TEST(JpgDecoder, BadDataThrowsLibjpegsMessage) {
  const std::string dir = make_pictures("jpg");
  const std::string jpg = talvo_test::read_file(dir + "/jpg_420.jpg");
  const std::size_t scan = jpg.find("\xFF\xDA");
  ASSERT_NE(scan, std::string::npos);
  std::string corrupt = jpg;
  for (std::size_t i = scan + 20; i < corrupt.size() - 2; i += 7) corrupt[i] = char(0xFF);

  const struct {
    const char* what;
    std::string bytes;
    const char* unmasked;  // on a stream whose mask lets failures pass
    const char* loaded;    // loaded from a path
  } cases[] = {
      {"cut in the scan data", jpg.substr(0, scan + (jpg.size() - scan) / 2),
       "Exception: Premature end of JPEG file", "Failure"},
      {"cut after the scan data", jpg.substr(0, jpg.size() - 2), "Exception: Premature end of JPEG file",
       "Failure"},
      {"empty", "", "Exception: Empty input file", "Failure"},
      {"not a JPEG", "BM and more", "Exception: Not a JPEG file: starts with 0x42 0x4d",
       "Exception: Not a JPEG file: starts with 0x42 0x4d"},
      {"marker bytes in the scan data", corrupt, "Exception", "Exception"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = write_temp(c.bytes);
    auto stream = open_raw(path, 0);
    JpgDecoder decoder;
    ImageRow row;
    row.create(45, 31, PelFmt(pel_type::rgb888));
    const std::string unmasked = thrown([&] {
      decoder.open(*stream);
      decoder.read(row, ResampleMode::filter);
    });
    EXPECT_EQ(unmasked.substr(0, std::string(c.unmasked).size()), c.unmasked);
    const std::string loaded = thrown([&] { JpgDecoder().load(path.c_str(), row); });
    EXPECT_EQ(loaded.substr(0, std::string(c.loaded).size()), c.loaded);
  }
}

TEST(JpgDecoder, ReadsAgainAfterAFailedRead) {
  const std::string dir = make_pictures("jpg");
  const Pels want = read_pels(dir + "/jpg_420.jpg.bgr");
  auto stream = open_raw(dir + "/jpg_420.jpg", talvo::io::Stream::badbit | talvo::io::Stream::failbit);
  JpgDecoder decoder;
  decoder.open(*stream);
  ImageRow row;
  row.create(want.width, want.height, PelFmt(pel_type::rgb888));
  // An empty source rectangle fails in the middle of the decompression.
  const Rect empty{0, 0, 0, 0};
  EXPECT_EQ(thrown([&] { decoder.read(&empty, row, nullptr, ResampleMode::filter); }),
            "Exception: Invalid image size");
  for (int i = 0; i < 2; ++i) {
    decoder.read(row, ResampleMode::filter);
    EXPECT_TRUE(pel_bytes(row) == want.bytes);
  }
}
