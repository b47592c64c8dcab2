// The line primitives: runs with their patterns and pel sizes, lines pel by
// pel, the lock each operation takes, the formats without a writer, and
// runs and lines that reach past the image.
#include <set>
#include <string>
#include <tuple>

#include "draw_model.h"

using namespace draw_test;

namespace {

// Counts the locks and unlocks an operation takes and records the last
// lock's rectangle.
class Counting : public imgRowCTy {
 public:
  void Lock(const rectCTy* rect, int mode) override {
    ++locks;
    last = *rect;
    lastMode = mode;
    imgRowCTy::Lock(rect, mode);
  }
  void Unlock() override {
    ++unlocks;
    imgRowCTy::Unlock();
  }
  int locks = 0, unlocks = 0, lastMode = -1;
  rectCTy last{};
};

std::unique_ptr<Counting> counting(int w, int h, int format) {
  pelFmtDesc d;
  d.Set(format, nullptr);
  auto image = std::make_unique<Counting>();
  image->SetSize(w, h, &d);
  std::memset(image->buffer, 0, size_t(image->BufferBytes()));
  return image;
}

using Points = std::set<std::pair<int, int>>;

std::tuple<int, int, int, int> box(const rectCTy& r) { return {r.x, r.y, r.w, r.h}; }

// The pels of an image that are not zero.
Points drawn(const imgRowCTy& image) {
  Points out;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (pelAt(image, x, y)) out.insert({x, y});
  return out;
}

class Lines : public ::testing::Test {
 protected:
  void SetUp() override {
    errInit();
    plat::test::takeMessageBoxes();
  }
};

}  // namespace

TEST_F(Lines, LinesPelByPel) {
  struct Case {
    int x0, y0, x1, y1;
    Points want;
  } cases[] = {
      {0, 0, 10, 10, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 5}, {7, 6}, {8, 7}, {9, 8}, {10, 9}}},
      {10, 10, 0, 0, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 5}, {7, 6}, {8, 7}, {9, 8}, {10, 9}}},
      {0, 10, 10, 0, {{0, 10}, {1, 9}, {2, 8}, {3, 7}, {4, 6}, {5, 5}, {6, 5}, {7, 4}, {8, 3}, {9, 2}, {10, 1}}},
      {0, 0, 5, 6, {{0, 0}, {1, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {4, 6}}},
      {5, 6, 0, 0, {{0, 0}, {1, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {4, 6}}},
      {0, 0, 10, 5, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3}, {7, 3}, {8, 4}, {9, 4}, {10, 5}}},
      {3, 4, 3, 4, {{3, 4}}},
      {2, 7, 6, 7, {{2, 7}, {3, 7}, {4, 7}, {5, 7}, {6, 7}}},
      {9, 1, 9, 3, {{9, 1}, {9, 2}, {9, 3}}},
  };
  for (const Case& c : cases) {
    auto image = counting(12, 12, pel_FMT_X8R8G8B8);
    image->DrawLine(0xAABBCCDD, c.x0, c.y0, c.x1, c.y1, 77);
    EXPECT_EQ(drawn(*image), c.want) << c.x0 << "," << c.y0 << " to " << c.x1 << "," << c.y1;
    EXPECT_EQ(image->locks, 1);
    EXPECT_EQ(image->unlocks, 1);
    EXPECT_EQ(box(image->last), std::tuple(std::min(c.x0, c.x1), std::min(c.y0, c.y1), std::abs(c.x1 - c.x0) + 1,
                                           std::abs(c.y1 - c.y0) + 1));
    EXPECT_EQ(image->lastMode, img_LOCK_WRITE);
  }
}

TEST_F(Lines, RunsWithPatternsAndPelSizes) {
  struct Case {
    const char* what;
    int format;
    bool down;
    int length;
    uint32_t pel, pattern;
    std::vector<int> at;  // the pels drawn, counted from the run's start
    uint32_t stored;
  } cases[] = {
      {"length 0", pel_FMT_X8R8G8B8, false, 0, 0x11223344, ~0u, {}, 0},
      {"33 with pattern 1", pel_FMT_X8R8G8B8, false, 33, 0x11223344, 1, {0, 32}, 0x11223344},
      {"33 with pattern 1, down", pel_FMT_R5G6B5, true, 33, 0x1234, 1, {0, 32}, 0x1234},
      {"every other pel", pel_FMT_P8, false, 6, 0x1FF, 0x55555555, {0, 2, 4}, 0xFF},
      {"24 bits drop 24 to 31", pel_FMT_R8G8B8, false, 3, 0xFF102030, ~0u, {0, 1, 2}, 0x102030},
      {"16 bits keep bit 15", pel_FMT_X1R5G5B5, true, 2, 0xFFFF8001, ~0u, {0, 1}, 0x8001},
      {"32 bits whole", pel_FMT_A8R8G8B8, true, 2, 0x80102030, 3, {0, 1}, 0x80102030},
      {"depths", pel_FMT_Z32, false, 2, 0x80000000, 2, {1}, 0x80000000},
  };
  for (const Case& c : cases) {
    auto image = counting(40, 40, c.format);
    if (c.down)
      image->DrawVLine(c.pel, 2, 1, c.length, c.pattern);
    else
      image->DrawHLine(c.pel, 1, 2, c.length, c.pattern);
    Points want;
    for (int i : c.at) want.insert(c.down ? std::pair{2, 1 + i} : std::pair{1 + i, 2});
    EXPECT_EQ(drawn(*image), want) << c.what;
    for (auto [x, y] : want) EXPECT_EQ(pelAt(*image, x, y), c.stored) << c.what;
    EXPECT_EQ(image->locks, 1) << c.what;
    EXPECT_EQ(image->unlocks, 1) << c.what;
  }
}

TEST_F(Lines, FormatsWithoutAWriterReport) {
  struct Op {
    const char* text;
    void (*draw)(imgCTy&);
  } ops[] = {
      {"imgCTy::DrawHLine: This is not impelmetned yet", [](imgCTy& i) { i.DrawHLine(1, 0, 0, 2, ~0u); }},
      {"imgCTy::DrawVLine: This is not impelmetned yet", [](imgCTy& i) { i.DrawVLine(1, 0, 0, 2, ~0u); }},
      {"imgCTy::DrawLine: This is not impelmetned yet", [](imgCTy& i) { i.DrawLine(1, 0, 0, 1, 1, 0); }},
  };
  for (int format : {pel_FMT_X4R4G4B4, pel_FMT_A4R4G4B4, pel_FMT_UNKNOWN})
    for (const Op& op : ops) {
      auto image = counting(4, 4, format);
      op.draw(*image);
      const auto boxes = plat::test::takeMessageBoxes();
      ASSERT_EQ(boxes.size(), 1u) << op.text;
      EXPECT_NE(boxes[0].text.find(op.text), std::string::npos) << boxes[0].text;
      EXPECT_EQ(image->locks, 1) << op.text;
      EXPECT_EQ(image->unlocks, 1) << op.text;
      EXPECT_EQ(image->data, nullptr);
      for (int64_t i = 0; i < image->BufferBytes(); ++i) ASSERT_EQ(image->buffer[i], 0) << op.text;
    }
}

TEST_F(Lines, PastTheImageAndAnEarlierLock) {
  // Runs and lines reaching past the image draw their pels inside it, the
  // pattern counted from the run's first pel; the lock cut to the image.
  auto image = counting(6, 4, pel_FMT_R5G6B5);
  image->DrawHLine(0x1111, -3, 1, 20, 0x5555555A);  // bits 1, 3, 4, 6, 8 ...: pels -2, 0, 1, 3, 5
  EXPECT_EQ(drawn(*image), (Points{{0, 1}, {1, 1}, {3, 1}, {5, 1}}));
  EXPECT_EQ(box(image->last), std::tuple(0, 1, 6, 1));
  image->DrawVLine(0x2222, 2, -10, 100, ~0u);
  image->DrawHLine(0x3333, 0, 9, 5, ~0u);  // below the image: nothing
  image->DrawHLine(0x3333, 0, 3, -4, ~0u);  // negative length: nothing
  EXPECT_EQ(drawn(*image), (Points{{0, 1}, {1, 1}, {2, 0}, {2, 1}, {2, 2}, {2, 3}, {3, 1}, {5, 1}}));
  auto line = counting(6, 4, pel_FMT_R5G6B5);
  line->DrawLine(0x4444, -2, -2, 7, 7, 0);
  EXPECT_EQ(drawn(*line), (Points{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 3}}));
  EXPECT_EQ(box(line->last), std::tuple(0, 0, 6, 4));
  EXPECT_EQ(image->locks, image->unlocks);
  EXPECT_EQ(line->locks, line->unlocks);

  // An image the caller holds locked: its lock is given up, the run drawn
  // where it was asked for.
  auto held = counting(6, 4, pel_FMT_P8);
  const rectCTy r{4, 2, 2, 2};
  held->Lock(&r, img_LOCK_READWRITE);
  held->DrawHLine(7, 0, 0, 2, ~0u);
  EXPECT_EQ(drawn(*held), (Points{{0, 0}, {1, 0}}));
  EXPECT_EQ(held->data, nullptr);
}

TEST_F(Lines, ColourRunsConvertOnce) {
  auto image = counting(4, 4, pel_FMT_R5G6B5);
  const uint32_t colour = 0xFFF8FC08;  // R 248, G 252, B 8
  image->DrawHLineRGB(&colour, 0, 0, 4, ~0u);
  image->DrawVLineRGB(&colour, 3, 1, 3, ~0u);
  image->DrawHLineRGB(nullptr, 0, 3, 4, ~0u);
  for (auto [x, y] : drawn(*image)) EXPECT_EQ(pelAt(*image, x, y), 0xFFE1u);
  EXPECT_EQ(drawn(*image), (Points{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {3, 3}}));
}
