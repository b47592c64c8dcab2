// The BMP reader on files it refuses, short files and missing files: one
// report each, and no pel of the image left as it was before the load.
#include "pictures_fixture.h"
#include "talvo/Exception.h"
#include "talvo/Stream.h"
#include "talvo/StreamBuf.h"

using namespace engine_test;

namespace {

using BmpHostileTest = ImagesTest;

// A 3 x 2 24-bit picture: rows of 9 pel bytes and 3 of padding.
BmpFields valid24() {
  BmpFields f;
  for (int i = 0; i < 2; ++i) f.rows += std::string(9, char(0x11 * (i + 1))) + std::string(3, '\0');
  return f;
}

// An 8-bit picture with a table of `colours` entries.
BmpFields valid8(uint32_t colours) {
  BmpFields f;
  f.bits = 8;
  f.colours = colours;
  f.table = std::string(4 * colours, '\x40');
  f.rows = std::string(8, '\1');
  return f;
}

std::string cut(const std::string& s, size_t n) { return s.substr(0, n); }

// The image's pels after a load from a stream over the bytes.
void loadFromMemory(imgCTy& image, const std::string& bytes, uint32_t mask) {
  talvo::io::MemBuf buffer;
  char* block = static_cast<char*>(std::malloc(bytes.size() + 1));
  std::memcpy(block, bytes.data(), bytes.size());
  buffer.set_data(block, bytes.size(), bytes.size());
  talvo::io::IStream in(&buffer);
  in.exceptions(mask);
  image.LoadBmpStream(&in);
}

}  // namespace

TEST_F(BmpHostileTest, RefusedFilesReportOnceAndLeaveTheImage) {
  auto with = [](auto change) {
    BmpFields f = valid24();
    change(f);
    return f.bytes();
  };
  const std::string good = valid24().bytes();
  std::string notBm = good;
  notBm[1] = 'X';
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"short header", cut(good, 40)},
      {"signature", notBm},
      {"RLE8 compression", with([](BmpFields& f) { f.compression = 1; })},
      {"4 bits per pel", with([](BmpFields& f) { f.bits = 4; })},
      {"1 bit per pel", with([](BmpFields& f) { f.bits = 1; })},
      {"15 bits per pel", with([](BmpFields& f) { f.bits = 15; })},
      {"a table with 24 bits", with([](BmpFields& f) {
         f.colours = 2;
         f.table = std::string(8, '\0');
       })},
      {"257 colours", [] {
         BmpFields f = valid8(257);
         return f.bytes();
       }()},
      {"4-4-4-4 bit fields", with([](BmpFields& f) {
         f.bits = 16;
         f.compression = 3;
         f.masks = le32(0x0F00) + le32(0x00F0) + le32(0x000F);
       })},
      {"width 0", with([](BmpFields& f) { f.width = 0; })},
      {"negative width", with([](BmpFields& f) { f.width = -3; })},
      {"height 0", with([](BmpFields& f) { f.height = 0; })},
      {"most negative height", with([](BmpFields& f) { f.height = INT32_MIN; })},
      {"core header", with([](BmpFields& f) { f.infoSize = 12; })},
      {"rows past 2 GiB", with([](BmpFields& f) { f.width = 0x7FFFFFF0; })},
      {"short table", cut(valid8(16).bytes(), 54 + 30)},
  };
  for (const Case& c : cases) {
    Image image(makeImage(2, 2, pel_FMT_R5G6B5, 7));
    TempDir dir;
    writeBytes(dir.file("p.bmp"), c.bytes);
    image->LoadBmp(dir.file("p.bmp").c_str());
    EXPECT_TRUE(oneReport("Data error")) << c.name;
    EXPECT_EQ(image->width, 2) << c.name;
    EXPECT_EQ(image->PelFormat(), pel_FMT_R5G6B5) << c.name;
    EXPECT_EQ(pelsOf(*image), Bytes(8, 7)) << c.name;
  }
}

// Short files: the rows that are there, zero for the rest, one report.
TEST_F(BmpHostileTest, ShortFilesGiveZeroRows) {
  const std::string good = valid24().bytes();
  BmpFields farRows = valid24();
  farRows.pelOffset = 5000;
  const Bytes bottom(9, 0x11), top(9, 0x22), zero(9, 0);
  auto rows = [](const Bytes& t, const Bytes& b) {
    Bytes all = t;
    all.insert(all.end(), b.begin(), b.end());
    return all;
  };
  struct Case {
    const char* name;
    std::string bytes;
    Bytes pels;  // top row first
    int reports;
  } cases[] = {
      {"whole", good, rows(top, bottom), 0},
      {"without the last padding", cut(good, good.size() - 3), rows(top, bottom), 0},
      {"one row", cut(good, 54 + 12), rows(zero, bottom), 1},
      {"a row and a half", cut(good, 54 + 12 + 4), rows(Bytes{0x22, 0x22, 0x22, 0x22, 0, 0, 0, 0, 0}, bottom), 1},
      {"headers only", cut(good, 54), rows(zero, zero), 1},
      {"pels past the end", farRows.bytes().substr(0, 200), rows(zero, zero), 1},
  };
  for (const Case& c : cases) {
    TempDir dir;
    writeBytes(dir.file("p.bmp"), c.bytes);
    PoisonedImage image;
    image.LoadBmp(dir.file("p.bmp").c_str());
    EXPECT_EQ(int(reports().size()), c.reports) << c.name;
    EXPECT_EQ(image.PelFormat(), pel_FMT_R8G8B8) << c.name;
    EXPECT_EQ(pelsOf(image), c.pels) << c.name;
    EXPECT_EQ(image.data, nullptr) << c.name;
  }
}

// A stream that throws on a short read: the failure reaches the caller, the
// image is unlocked and its unread rows are zero.
TEST_F(BmpHostileTest, ThrowingStream) {
  const std::string good = valid24().bytes();
  PoisonedImage image;
  EXPECT_THROW(loadFromMemory(image, cut(good, 54 + 12), talvo::io::Stream::failbit), talvo::io::Failure);
  EXPECT_EQ(image.data, nullptr);
  Bytes want(9, 0);
  want.insert(want.end(), 9, 0x11);
  EXPECT_EQ(pelsOf(image), want);
  loadFromMemory(image, good, talvo::io::Stream::failbit | talvo::io::Stream::badbit);
  EXPECT_EQ(pelsOf(image)[0], 0x22);
  EXPECT_EQ(reports(), std::vector<std::string>{});
}

TEST_F(BmpHostileTest, MissingFileIsReportedOnce) {
  TempDir dir;
  Image image(makeImage(2, 2, pel_FMT_R5G6B5, 7));
  const std::string path = dir.file("none.bmp");
  image->LoadBmp(path.c_str());
  EXPECT_TRUE(oneReport("Can't open file '" + path + "'"));
  EXPECT_EQ(pelsOf(*image), Bytes(8, 7));
}
