// SaveBmp (the layout written, files Pillow reads back, round trips) and
// depth text files.
#include <sys/resource.h>

#include <csignal>

#include "pictures_fixture.h"

using namespace engine_test;

namespace {

using PictureSaveTest = ImagesTest;

uint32_t word(const std::string& s, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}

// A w x h image of the format whose pel bytes count up from 1.
Image counting(int w, int h, int format, palCTy* palette = nullptr) {
  Image image(makeImage(w, h, format, 0, palette));
  for (int64_t i = 0; i < image->BufferBytes(); ++i) image->buffer[i] = uint8_t(i * 7 + 1);
  return image;
}

// What Pillow reads from a file, as NAME.expect holds it.
Expected pillowReads(const std::string& path) {
  const std::string program =
      "import sys\n"
      "from PIL import Image\n"
      "with Image.open(sys.argv[1]) as im:\n"
      "    im.load()\n"
      "    open(sys.argv[2], 'wb').write(b'%d %d\\n' % im.size + im.convert('RGBA').tobytes())\n";
  EXPECT_EQ(runPython({"-c", program, path, path + ".expect"}), 0) << path;
  return readExpected(path + ".expect");
}

}  // namespace

TEST_F(PictureSaveTest, SavedLayout) {
  palCTy three;
  setColours(three, {0xFF102030, 0xFF405060, 0xFF708090});
  struct Case {
    const char* name;
    int format;
    palCTy* palette;
    uint32_t bits, compression, offset, colours, rowBytes;
    std::vector<uint32_t> masks;
  } cases[] = {
      {"R5G6B5", pel_FMT_R5G6B5, nullptr, 16, 3, 66, 0, 8, {0xF800, 0x07E0, 0x001F}},
      {"X8R8G8B8", pel_FMT_X8R8G8B8, nullptr, 32, 3, 66, 0, 12, {0xFF0000, 0xFF00, 0xFF}},
      {"R8G8B8", pel_FMT_R8G8B8, nullptr, 24, 0, 54, 0, 12, {}},
      {"A8R8G8B8", pel_FMT_A8R8G8B8, nullptr, 32, 0, 54, 0, 12, {}},
      {"X1R5G5B5", pel_FMT_X1R5G5B5, nullptr, 16, 0, 54, 0, 8, {}},
      {"A1R5G5B5", pel_FMT_A1R5G5B5, nullptr, 16, 0, 54, 0, 8, {}},
      {"Z32", pel_FMT_Z32, nullptr, 32, 0, 54, 0, 12, {}},
      {"P8 without palette", pel_FMT_P8, nullptr, 8, 0, 1078, 256, 4, {}},
      {"P8 of three colours", pel_FMT_P8, &three, 8, 0, 66, 3, 4, {}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    Image image = counting(3, 2, c.format, c.palette);
    image->SaveBmp(dir.file("s.bmp").c_str());
    const std::string f = readBytes(dir.file("s.bmp"));
    ASSERT_EQ(f.size(), c.offset + 2 * c.rowBytes) << c.name;
    EXPECT_EQ(f.substr(0, 2), "BM") << c.name;
    EXPECT_EQ(word(f, 2), f.size()) << c.name;
    EXPECT_EQ(word(f, 10), c.offset) << c.name;
    EXPECT_EQ(word(f, 14), 40u) << c.name;
    EXPECT_EQ(word(f, 18), 3u) << c.name;
    EXPECT_EQ(word(f, 22), 2u) << c.name;
    EXPECT_EQ(word(f, 26), 1u | c.bits << 16) << c.name;
    EXPECT_EQ(word(f, 30), c.compression) << c.name;
    EXPECT_EQ(word(f, 34), 2 * c.rowBytes) << c.name;
    EXPECT_EQ(word(f, 46), c.colours) << c.name;
    for (size_t i = 0; i < c.masks.size(); ++i) EXPECT_EQ(word(f, 54 + 4 * i), c.masks[i]) << c.name;
    for (uint32_t i = 0; i < c.colours; ++i) {
      const uint32_t want = c.palette ? c.palette->Entry(i) & 0xFFFFFF : i * 0x010101u;
      EXPECT_EQ(word(f, 54 + 4 * i), want) << c.name << " colour " << i;
    }
    // Rows bottom first, the pel bytes as they stand, zero padding.
    const Bytes pels = pelsOf(*image);
    const size_t pelBytes = pels.size() / 2;
    for (int row = 0; row < 2; ++row) {
      const std::string fileRow = f.substr(c.offset + row * c.rowBytes, c.rowBytes);
      EXPECT_EQ(Bytes(fileRow.begin(), fileRow.begin() + std::ptrdiff_t(pelBytes)),
                Bytes(pels.begin() + std::ptrdiff_t((1 - row) * pelBytes), pels.begin() + std::ptrdiff_t((2 - row) * pelBytes)))
          << c.name << " row " << row;
      EXPECT_EQ(fileRow.substr(pelBytes), std::string(c.rowBytes - pelBytes, '\0')) << c.name;
    }
  }
  EXPECT_EQ(reports(), std::vector<std::string>{});
}

TEST_F(PictureSaveTest, PillowReadsSavedFiles) {
  palCTy colours;
  setColours(colours, {0xFF000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456});
  struct Case {
    int format;
    palCTy* palette;
  } cases[] = {{pel_FMT_R8G8B8, nullptr},  {pel_FMT_X8R8G8B8, nullptr}, {pel_FMT_R5G6B5, nullptr},
               {pel_FMT_X1R5G5B5, nullptr}, {pel_FMT_P8, &colours},     {pel_FMT_P8, nullptr}};
  for (const Case& c : cases) {
    TempDir dir;
    Image image = counting(5, 3, c.format, c.palette);
    if (c.format == pel_FMT_P8)
      for (int i = 0; i < 15; ++i) image->buffer[i] = uint8_t(c.palette ? i % 5 : i * 17);
    if (c.format == pel_FMT_X1R5G5B5)
      for (int i = 1; i < 30; i += 2) image->buffer[i] &= 0x7F;
    const std::string path = dir.file("s.bmp");
    image->SaveBmp(path.c_str());
    imgRowCTy grey;
    if (c.format == pel_FMT_P8 && !c.palette) {
      // Read through the grey ramp that was written.
      grey.LoadBmp(path.c_str());
      EXPECT_TRUE(likePillow(grey, pillowReads(path), false)) << c.format;
      EXPECT_EQ(pelsOf(grey), pelsOf(*image));
      continue;
    }
    EXPECT_TRUE(likePillow(*image, pillowReads(path), false)) << c.format;
  }
}

TEST_F(PictureSaveTest, RoundTrips) {
  struct Case {
    int format, loaded;
  } cases[] = {{pel_FMT_R8G8B8, pel_FMT_R8G8B8},
               {pel_FMT_X8R8G8B8, pel_FMT_A8R8G8B8},
               {pel_FMT_R5G6B5, pel_FMT_R5G6B5},
               {pel_FMT_X1R5G5B5, pel_FMT_X1R5G5B5}};
  for (const Case& c : cases) {
    TempDir dir;
    Image image = counting(7, 3, c.format);
    image->SaveBmp(dir.file("r.bmp").c_str());
    imgRowCTy back;
    back.LoadBmp(dir.file("r.bmp").c_str());
    EXPECT_EQ(back.PelFormat(), c.loaded) << c.format;
    EXPECT_EQ(pelsOf(back), pelsOf(*image)) << c.format;
  }
  EXPECT_EQ(reports(), std::vector<std::string>{});
}

TEST_F(PictureSaveTest, FilesThatCannotBeWritten) {
  TempDir dir;
  Image image = counting(3, 2, pel_FMT_R8G8B8);
  const std::string path = dir.file("no/such/dir.bmp");
  image->SaveBmp(path.c_str());
  EXPECT_TRUE(oneReport("Can't create file '" + path + "'"));
  // A file that may not grow past 100 bytes is not written whole.
  Image big = counting(20, 20, pel_FMT_R8G8B8);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  big->SaveBmp(dir.file("big.bmp").c_str());
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, handler);
  EXPECT_TRUE(oneReport("Can't write to file '" + dir.file("big.bmp") + "'"));
}

TEST_F(PictureSaveTest, DepthTextFiles) {
  constexpr int32_t none = int32_t(0x8AD00000);
  struct Case {
    const char* name;
    std::string text;
    int w, h;
    std::vector<int32_t> pels;
    const char* report;
  } cases[] = {
      {"values", "2\n2\n1.5\n0\n0.00001\n-0.5\n", 2, 2, {98304, none, none, -32768}, nullptr},
      {"past the 16.16 range", "3\n1\n1e6\n-1e6\n32767.5\n", 3, 1, {INT32_MAX, INT32_MIN, 2147450880}, nullptr},
      {"fewer values", "2\n2\n3\n-2\n", 2, 2, {196608, -131072, none, none}, "Data error"},
      {"no values", "1\n3\n", 1, 3, {none, none, none}, "Data error"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    writeBytes(dir.file("z.txt"), c.text);
    PoisonedImage image;
    image.LoadZText(dir.file("z.txt").c_str());
    EXPECT_EQ(image.PelFormat(), pel_FMT_Z32) << c.name;
    EXPECT_EQ(image.width, c.w) << c.name;
    EXPECT_EQ(image.height, c.h) << c.name;
    const Bytes pels = pelsOf(image);
    std::vector<int32_t> got(pels.size() / 4);
    std::memcpy(got.data(), pels.data(), pels.size());
    EXPECT_EQ(got, c.pels) << c.name;
    if (c.report)
      EXPECT_TRUE(oneReport(c.report)) << c.name;
    else
      EXPECT_EQ(reports(), std::vector<std::string>{}) << c.name;
  }
  // Files refused before the image changes.
  struct Refused {
    const char* name;
    std::string text;
  } refused[] = {{"width 0", "0\n3\n1\n"}, {"negative height", "2\n-1\n"}, {"no numbers", "depth\n"},
                 {"too many pels", "65536\n65536\n"}};
  for (const Refused& r : refused) {
    TempDir dir;
    writeBytes(dir.file("z.txt"), r.text);
    Image image(makeImage(1, 1, pel_FMT_R5G6B5, 7));
    image->LoadZText(dir.file("z.txt").c_str());
    EXPECT_TRUE(oneReport("Data error")) << r.name;
    EXPECT_EQ(image->PelFormat(), pel_FMT_R5G6B5) << r.name;
  }
  TempDir dir;
  Image image(makeImage(1, 1, pel_FMT_R5G6B5, 7));
  image->LoadZText(dir.file("none.txt").c_str());
  EXPECT_TRUE(oneReport("Can't open file '" + dir.file("none.txt") + "'"));
}
