// Picture files read into memory images: BMP by the engine's own reader, TGA
// and JPEG through the image library's decoders, each from its file and as a
// zip member, compared with Pillow's (or djpeg's) reading.
#include <sstream>

#include "pictures_fixture.h"
#include "talvo/Archive.h"
#include "talvo/Exception.h"
#include "talvo/Stream.h"

using namespace engine_test;

namespace {

class PicturesTest : public ImagesTest {
 protected:
  talvo::io::ZipFormat zip;
};

struct Picture {
  const char* file;
  int format;
  bool alpha;
};

// Loads each picture with the slot from its file and from pics.zip.
void expectLikePillow(const TempDir& dir, const Picture& p, void (imgCTy::*load)(const char*)) {
  const Expected want = readExpected(dir.file(std::string(p.file) + ".expect"));
  for (const std::string& path : {dir.file(p.file), dir.file(std::string("pics/") + p.file)}) {
    imgRowCTy image;
    (image.*load)(path.c_str());
    EXPECT_EQ(image.PelFormat(), p.format) << path;
    EXPECT_TRUE(likePillow(image, want, p.alpha)) << path;
  }
}

}  // namespace

TEST_F(PicturesTest, BmpFilesLikePillow) {
  auto dir = writePictures("bmp");
  const Picture pictures[] = {
      {"bmp8.bmp", pel_FMT_P8, true},
      {"bmp8_0colours.bmp", pel_FMT_P8, true},
      {"bmp8_grey.bmp", pel_FMT_P8, true},
      {"bmp8_v5.bmp", pel_FMT_P8, true},
      {"bmp16_555.bmp", pel_FMT_X1R5G5B5, false},
      {"bmp16_565.bmp", pel_FMT_R5G6B5, false},
      {"bmp16_555_fields.bmp", pel_FMT_X1R5G5B5, false},
      {"bmp16_5551.bmp", pel_FMT_X1R5G5B5, false},
      {"bmp24.bmp", pel_FMT_R8G8B8, false},  // rows of 21 bytes and 3 of padding
      {"bmp24_topdown.bmp", pel_FMT_R8G8B8, false},
      {"bmp24_v5.bmp", pel_FMT_R8G8B8, false},
      {"bmp24_gap.bmp", pel_FMT_R8G8B8, false},
      {"bmp24_big.bmp", pel_FMT_R8G8B8, false},
      {"bmp32.bmp", pel_FMT_A8R8G8B8, false},
      {"bmp32_fields.bmp", pel_FMT_A8R8G8B8, true},
  };
  for (const Picture& p : pictures) expectLikePillow(*dir, p, &imgCTy::LoadBmp);
  EXPECT_EQ(reports(), std::vector<std::string>{});

  // The palette is the image's own, every entry opaque.
  imgRowCTy image;
  image.LoadBmp(dir->file("bmp8_0colours.bmp").c_str());
  ASSERT_NE(image.desc.palette, nullptr);
  EXPECT_EQ(image.desc.palette->count, 256u);
  EXPECT_EQ(image.desc.owns, 1);
  for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(image.desc.palette->entries[i].a, 255) << i;

  // The fourth byte of a 32-bit file is the alpha, as it stands.
  image.LoadBmp(dir->file("bmp32.bmp").c_str());
  const std::string file = readBytes(dir->file("bmp32.bmp"));
  EXPECT_EQ(pelsOf(image)[3], uint8_t(file[54 + 4 * 7 * 4 + 3])) << "top row, first pel";
}

TEST_F(PicturesTest, TgaAndJpegFiles) {
  auto tga = writePictures("tga");
  const Picture pictures[] = {
      {"tga_rgb_bottom.tga", pel_FMT_R8G8B8, false},
      {"tga_rgb_rle_top.tga", pel_FMT_R8G8B8, false},
      {"tga_rgba_bottom.tga", pel_FMT_A8R8G8B8, true},
      {"tga_p_top.tga", pel_FMT_P8, false},
      {"tga_p_rle_br.tga", pel_FMT_P8, false},
  };
  for (const Picture& p : pictures) expectLikePillow(*tga, p, &imgCTy::LoadTga);

  // Through a stream too.
  imgRowCTy image;
  talvo::io::IArcStream in;
  in.set_flags(in.flags() | talvo::io::Stream::raw);
  in.open(tga->file("tga_p_bottom.tga").c_str(), talvo::AbstractFile::in, talvo::io::Stream::badbit);
  image.LoadTgaStream(&in);
  EXPECT_TRUE(likePillow(image, readExpected(tga->file("tga_p_bottom.tga.expect")), false));
  EXPECT_EQ(image.desc.owns, 1) << "an 8-bit TGA keeps its palette";

  // A JPEG is djpeg's fast, undithered reading, as B, G, R.
  auto jpg = writePictures("jpg");
  for (const char* name : {"jpg_420.jpg", "jpg_grey.jpg", "jpg_progressive.jpg"}) {
    for (const std::string& path : {jpg->file(name), jpg->file(std::string("pics/") + name)}) {
      imgRowCTy j;
      j.LoadJpg(path.c_str());
      const Expected want = readExpected(jpg->file(std::string(name) + ".bgr"));
      EXPECT_EQ(j.PelFormat(), pel_FMT_R8G8B8) << path;
      EXPECT_EQ(j.width, want.width) << path;
      EXPECT_EQ(pelsOf(j), want.pels) << path;
    }
  }

  // The decoders' failures pass to the caller; the image is left as it was.
  Image keep(makeImage(2, 2, pel_FMT_R5G6B5, 7));
  const std::string junk = tga->file("junk.tga");
  writeBytes(junk, "not a picture");
  EXPECT_THROW(keep->LoadTga(tga->file("missing.tga").c_str()), talvo::Exception);
  EXPECT_THROW(keep->LoadJpg(junk.c_str()), talvo::Exception);
  EXPECT_EQ(keep->width, 2);
  EXPECT_EQ(pelsOf(*keep), Bytes(8, 7));
  EXPECT_EQ(reports(), std::vector<std::string>{});
}

// A picture of a size the image refuses is reported once.
TEST_F(PicturesTest, RefusedSizes) {
  auto dir = writePictures("bmp");
  auto tga = writePictures("tga");
  PoisonedImage image;
  image.maxSide = 4;  // the pictures are 7 x 5
  image.LoadBmp(dir->file("bmp24.bmp").c_str());
  EXPECT_TRUE(oneReport("Data error"));
  image.LoadTga(tga->file("tga_rgb_bottom.tga").c_str());
  EXPECT_TRUE(oneReport("Data error"));
  EXPECT_EQ(image.width, 0);
}
