// imgCTy::DrawEx: where the rectangle lands, the locks taken and given up,
// the draws that do nothing, and the destination-palette report.
#include "draw_model.h"

using namespace draw_test;

namespace {

class Entry : public ::testing::Test {
 protected:
  void SetUp() override {
    errInit();
    errSetTryHead(nullptr);
    plat::test::takeMessageBoxes();
  }
  void TearDown() override { errSetTryHead(nullptr); }
};

// Counts its locks.
class Counting : public imgRowCTy {
 public:
  void Lock(const rectCTy* rect, int mode) override {
    ++locks;
    imgRowCTy::Lock(rect, mode);
  }
  int locks = 0;
};

imgDrawParams paramsOf(int mode) {
  imgDrawParams p{};
  p.mode = mode;
  p.scaleX = p.scaleY = 1.0f;
  return p;
}

}  // namespace

TEST_F(Entry, PlacesTheRectangleAtTheOriginPlusItsCorner) {
  Image src = makeImage(8, 10, pel_FMT_R5G6B5), dst = makeImage(30, 40, pel_FMT_R5G6B5);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 8; ++x) setPel(*src, x, y, uint32_t(0x100 * y + x + 1));
  const rectCTy r{2, 3, 4, 5};
  const imgDrawParams p = paramsOf(pel_OP_COPY);
  src->DrawEx(dst.get(), 10, 20, &r, &p);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 30; ++x) {
      const bool inside = x >= 12 && x <= 15 && y >= 23 && y <= 27;
      ASSERT_EQ(pelAt(*dst, x, y), inside ? pelAt(*src, x - 10, y - 20) : 0u) << x << "," << y;
    }
  // A null rectangle is the source's bounds, at (x, y).
  Image whole = makeImage(30, 40, pel_FMT_R5G6B5);
  src->DrawEx(whole.get(), 1, 2, nullptr, &p);
  EXPECT_EQ(pelAt(*whole, 1, 2), 1u);
  EXPECT_EQ(pelAt(*whole, 8, 11), 0x908u);
  EXPECT_EQ(pelAt(*whole, 9, 11), 0u);
}

TEST_F(Entry, DrawsThatDoNothingStillUnlock) {
  Image src = makeImage(4, 4, pel_FMT_R8G8B8), dst = makeImage(4, 4, pel_FMT_R8G8B8);
  std::memset(src->buffer, 0x77, 48);
  for (int mode : {pel_OP_NONE, 16, -1, INT32_MIN}) {
    const imgDrawParams p = paramsOf(mode);
    src->DrawEx(dst.get(), 0, 0, nullptr, &p);
    EXPECT_EQ(pelAt(*dst, 3, 3), 0u) << mode;
    EXPECT_EQ(src->data, nullptr) << mode;
    EXPECT_EQ(dst->data, nullptr) << mode;
  }
  // Formats without kernels, a P8 source without palette (or one still
  // waiting for its shared palette), an image without pels.
  const imgDrawParams copy = paramsOf(pel_OP_COPY);
  for (int format : {pel_FMT_X4R4G4B4, pel_FMT_A4R4G4B4, pel_FMT_Z32, pel_FMT_UNKNOWN, pel_FMT_P8}) {
    Image odd = makeImage(4, 4, format);
    std::memset(odd->buffer, 0x77, size_t(odd->BufferBytes()));
    odd->desc.waitsShared = format == pel_FMT_P8;
    odd->DrawEx(dst.get(), 0, 0, nullptr, &copy);
    dst->DrawEx(odd.get(), 0, 0, nullptr, &copy);
    EXPECT_EQ(pelAt(*dst, 0, 0), 0u) << format;
    EXPECT_EQ(pelAt(*odd, 0, 0) & 0xFF, 0x77u) << format;
  }
  imgRowCTy empty;
  empty.desc.format = pel_FMT_R8G8B8;
  empty.width = empty.height = 4;
  empty.DrawEx(dst.get(), 0, 0, nullptr, &copy);
  dst->DrawEx(&empty, 0, 0, nullptr, &copy);
  EXPECT_EQ(pelAt(*dst, 0, 0), 0u);
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
}

TEST_F(Entry, LocksTheCallerHeldAreGivenUp) {
  Image src = makeImage(4, 4, pel_FMT_X8R8G8B8), dst = makeImage(4, 4, pel_FMT_X8R8G8B8);
  std::memset(src->buffer, 0x11, 64);
  const rectCTy one{3, 3, 1, 1};
  src->Lock(&one, img_LOCK_READWRITE);
  dst->Lock(&one, img_LOCK_READWRITE);
  const imgDrawParams p = paramsOf(pel_OP_COPY);
  src->DrawEx(dst.get(), 0, 0, nullptr, &p);
  EXPECT_EQ(src->data, nullptr);
  EXPECT_EQ(dst->data, nullptr);
  EXPECT_EQ(pelAt(*dst, 0, 0), 0x11111111u);  // drawn from the whole rectangle, not the caller's lock
  // A source depth image alone: the plain copy, the depth image unlocked.
  Image z = makeImage(4, 4, pel_FMT_Z32);
  std::memset(dst->buffer, 0, 64);
  imgDrawParams q = p;
  q.zSrc = z.get();
  src->DrawEx(dst.get(), 0, 0, nullptr, &q);
  EXPECT_EQ(pelAt(*dst, 3, 3), 0x11111111u);
  EXPECT_EQ(z->data, nullptr);
}

TEST_F(Entry, DestinationWithPaletteIsReported) {
  palCTy pal;
  const uint8_t quad[4] = {1, 2, 3, 0};
  pal.Set(quad, 1);
  Image src = makeImage(4, 4, pel_FMT_R5G6B5), dst = makeImage(4, 4, pel_FMT_P8, &pal);
  std::memset(src->buffer, 0x55, 32);
  const imgDrawParams p = paramsOf(pel_OP_COPY);
  src->DrawEx(dst.get(), 0, 0, nullptr, &p);
  auto boxes = plat::test::takeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("imgCTy::Draw: This is not impelmetned yet"), std::string::npos);
  EXPECT_EQ(pelAt(*dst, 0, 0), 0u);
  EXPECT_EQ(src->data, nullptr);
  EXPECT_EQ(dst->data, nullptr);
  // Inside a TRY frame the report jumps out of the draw; both are unlocked.
  errCode caught = 0;
  ERR_TRY(frame) { src->DrawEx(dst.get(), 0, 0, nullptr, &p); }
  ERR_CATCH(frame, code) {
    caught = code;
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  EXPECT_EQ(caught, ERR_PRINTF);
  EXPECT_EQ(src->data, nullptr);
  EXPECT_EQ(dst->data, nullptr);
}

TEST_F(Entry, MirroredSlotsDoNothingAndSelfDrawIsRefused) {
  Counting src, dst;
  pelFmtDesc d;
  d.Set(pel_FMT_R5G6B5, nullptr);
  src.SetSize(4, 4, &d);
  dst.SetSize(4, 4, &d);
  std::memset(src.buffer, 0x33, 32);
  std::memset(dst.buffer, 0, 32);
  const imgDrawParams p = paramsOf(pel_OP_COPY);
  rectCTy r{0, 0, 4, 4};
  src.DrawMirrorH(&dst, 0, 0, &r);
  src.DrawExMirrorH(&dst, 0, 0, &r, &p);
  EXPECT_EQ(src.locks + dst.locks, 0);
  EXPECT_EQ(pelAt(dst, 0, 0), 0u);
  EXPECT_DEBUG_DEATH(src.DrawEx(&src, 0, 0, &r, &p), "destination != this");
}
