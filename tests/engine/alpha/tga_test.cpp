// TGA pictures into alpha images: the pictures of make_pictures.py (group
// tga) against what Pillow reads from them.
#include <fstream>
#include <sstream>
#include <string>

#include "alpha_fixture.h"
#include "support/shell.h"
#include "support/temp_dir.h"
#include "talvo/Exception.h"

using namespace alpha_test;

namespace {

using AlphaTga = engine_test::ImagesTest;

// NAME.expect: "WIDTH HEIGHT\n", then R, G, B, A per pel, top row first.
struct Expect {
  int width = 0, height = 0;
  Bytes rgba;
};
Expect readExpect(const std::string& path) {
  const std::string all = readBytes(path);
  Expect e;
  std::istringstream(all) >> e.width >> e.height;
  e.rgba.assign(all.begin() + ptrdiff_t(all.find('\n') + 1), all.end());
  return e;
}

}  // namespace

TEST_F(AlphaTga, VisiblePelsAreThePicturesPels) {
  TempDir dir;
  ASSERT_EQ(runPython({MAKE_PICTURES_SCRIPT, dir.path.string(), "tga"}), 0);
  // The picture, whether Pillow's alpha is compared, and at how many bits
  // the colours are (the image library widens 5-bit channels by shifting,
  // Pillow by scaling).
  struct Case {
    const char* file;
    bool alpha;
    int bits;
  } cases[] = {
      {"tga_p_bottom.tga", true, 8},  {"tga_p_rle_top.tga", true, 8}, {"tga_l_top.tga", true, 8},
      {"tga_rgb_bottom.tga", true, 8}, {"tga_rgb_rle_top.tga", true, 8}, {"tga_rgba_bottom.tga", true, 8},
      {"tga_rgba_top.tga", true, 8},  {"tga_rgba_rle_bottom.tga", true, 8}, {"tga_rgb_tr.tga", true, 8},
      {"tga16.tga", false, 5},        {"tga16_rle.tga", false, 5},      {"tga_la.tga", true, 8},
      {"tga_big.tga", true, 8},
  };
  int translucent = 0, transparent = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Expect want = readExpect(dir.file(std::string(c.file) + ".expect"));
    imgAlpha image;
    image.LoadTga(dir.file(c.file).c_str());
    ASSERT_EQ(image.width, want.width);
    ASSERT_EQ(image.height, want.height);
    const Pels got = decoded(image);
    int wrong = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      const uint8_t* w = want.rgba.data() + 4 * i;
      const A8R8G8B8& g = got[i];
      const int a = c.alpha ? w[3] : 255;
      const int cut = 8 - c.bits;
      if (a == 0) {
        wrong += g.a != 0;
        ++transparent;
        continue;
      }
      translucent += a != 255;
      wrong += g.a != a || g.r >> cut != w[0] >> cut || g.g >> cut != w[1] >> cut || g.b >> cut != w[2] >> cut;
    }
    EXPECT_EQ(wrong, 0);
  }
  // The pictures hold pels of every kind.
  EXPECT_GT(translucent, 100);
  EXPECT_GT(transparent, 0);
}

TEST_F(AlphaTga, TheKeyTheImageHasIsApplied) {
  TempDir dir;
  ASSERT_EQ(runPython({MAKE_PICTURES_SCRIPT, dir.path.string(), "tga"}), 0);
  imgAlpha plain, keyed;
  plain.LoadTga(dir.file("tga_rgb_top.tga").c_str());
  const uint32_t first = pelRaw(decoded(plain)[0]) & 0xFFFFFF;
  keyed.SetColorKeyRGB(first);
  keyed.LoadTga(dir.file("tga_rgb_top.tga").c_str());
  const Pels a = decoded(plain), b = decoded(keyed);
  for (size_t i = 0; i < a.size(); ++i) {
    if ((pelRaw(a[i]) & 0xFFFFFF) == first)
      EXPECT_EQ(b[i].a, 0) << i;
    else
      EXPECT_EQ(pelRaw(b[i]), pelRaw(a[i])) << i;
  }
}

TEST_F(AlphaTga, AMissingFileThrows) {
  TempDir dir;
  imgAlpha image;
  EXPECT_THROW(image.LoadTga(dir.file("missing.tga").c_str()), talvo::io::Failure);
  // Not a picture: the decoder's exception passes through.
  writeBytes(dir.file("text.tga"), "not a picture at all, only words");
  EXPECT_THROW(image.LoadTga(dir.file("text.tga").c_str()), talvo::Exception);
  EXPECT_EQ(image.runs, nullptr);
}
