// Every served cell of the kernel table drawn through imgCTy::DrawEx on small
// images, against the reference model: odd widths (vector tails), a pitch
// larger than the rectangle and the pels round it as guards, both 4-byte
// formats for the X8R8G8B8 group, every vector level forced in turn.
#include <string>

#include "draw_model.h"
#include "engine/draw/dispatch.h"
#include "engine/draw/kernel_table.h"

using namespace draw_test;

namespace {

const int kModeOfOp[kernelOps] = {pel_OP_COPY,      -1,          -1,
                                  -1,               pel_OP_MODULATE,    pel_OP_MODULATE2X,
                                  pel_OP_MODULATE4X, pel_OP_ADD,         pel_OP_ADDSIGNED,
                                  pel_OP_ADDSIGNED2X, pel_OP_SUBTRACT,   pel_OP_ADDSMOOTH};

std::vector<int> srcFormats(int group) {
  switch (group) {
    case srcP8: return {pel_FMT_P8};
    case srcR8G8B8: return {pel_FMT_R8G8B8};
    case srcX8R8G8B8: return {pel_FMT_X8R8G8B8, pel_FMT_A8R8G8B8};
    case srcR5G6B5: return {pel_FMT_R5G6B5};
    case srcX1R5G5B5: return {pel_FMT_X1R5G5B5};
    default: return {pel_FMT_A1R5G5B5};
  }
}

std::vector<int> dstFormats(int srcGroup, int group) {
  switch (group) {
    case dstR8G8B8: return {pel_FMT_R8G8B8};
    case dstX8R8G8B8: return {pel_FMT_X8R8G8B8, pel_FMT_A8R8G8B8};
    case dstR5G6B5: return {pel_FMT_R5G6B5};
    case dstX1R5G5B5:
      if (srcGroup == srcP8) return {pel_FMT_X1R5G5B5, pel_FMT_A1R5G5B5};
      return {pel_FMT_X1R5G5B5};
    case dstA1R5G5B5: return {pel_FMT_A1R5G5B5};
    default: return {pel_FMT_P8};
  }
}

// A palette of 40 entries: entries 5 and 9 one colour, alphas on both sides
// of 128; indices past 40 read zero entries.
palCTy& testPalette() {
  static palCTy p;
  if (!p.count) {
    uint8_t quads[40 * 4];
    std::mt19937 rng(7);
    for (uint8_t& q : quads) q = uint8_t(rng());
    std::memcpy(quads + 9 * 4, quads + 5 * 4, 4);
    p.Set(quads, 40);
    for (uint32_t i = 0; i < 40; ++i) p.entries[i].a = uint8_t(i * 37);
    p.entries[9].a = p.entries[5].a;
  }
  return p;
}

class AllCells : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    errInit();
    plat::test::takeMessageBoxes();
  }
};

}  // namespace

TEST_P(AllCells, DrawAsTheModelSays) {
  const int group = GetParam();
  std::mt19937 rng(1000 + group);
  int drawn = 0;
  for (const imgKernelCell& cell : drawTable::cells) {
    if (cell.src != group || !cell.kernel || cell.dst == dstP8) continue;
    const int mode = kModeOfOp[cell.op];
    ASSERT_GE(mode, 0) << "a cell of an operation this test does not draw";
    const bool keyed = cell.variant == vKey;
    ASSERT_TRUE(keyed || cell.variant == vPlain);
    for (int sf : srcFormats(cell.src))
      for (int df : dstFormats(cell.src, cell.dst))
        for (int w : {1, 6, 17, 37})
          for (int level : levels()) {
            ForcedLevel forced(level);
            Image src = makeImage(41, 5, sf, sf == pel_FMT_P8 ? &testPalette() : nullptr);
            fillFrom(*src, someValues(sf, rng), rng);
            const rectCTy r{3, 1, w, 3};
            if (keyed) src->SetColorKeyRGB(src->desc.ToRGB(pelAt(*src, 4, 1), pel_FMT_X8R8G8B8));
            Image dst = makeImage(45, 6, df);
            fillFrom(*dst, someValues(df, rng), rng);
            Image want(static_cast<imgRowCTy*>(dst->Clone()));
            modelDraw(*src, *want, 1, 2, r, mode);
            imgDrawParams p{};
            p.mode = mode;
            src->DrawEx(dst.get(), 1, 2, &r, &p);
            const std::string what = "cell " + std::to_string(cell.src) + "->" + std::to_string(cell.dst) + " op " +
                                     std::to_string(cell.op) + (keyed ? " key" : "") + ", formats " +
                                     std::to_string(sf) + "->" + std::to_string(df) + ", w " + std::to_string(w) +
                                     ", level " + std::to_string(level);
            ASSERT_EQ(0, std::memcmp(dst->buffer, want->buffer, size_t(dst->BufferBytes()))) << what;
            EXPECT_EQ(dst->data, nullptr) << what;
            EXPECT_EQ(src->data, nullptr) << what;
            ++drawn;
          }
  }
  EXPECT_GT(drawn, 0);
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(SourceGroups, AllCells,
                         ::testing::Values(srcP8, srcR8G8B8, srcX8R8G8B8, srcR5G6B5, srcX1R5G5B5, srcA1R5G5B5));

namespace {

// The key pel the dispatcher builds for the source, and the bits compared.
bool matchesKey(const imgRowCTy& src, int dstFormat, uint32_t pel, uint32_t colour) {
  if (src.desc.palette) {
    const int layout = dstFormat == pel_FMT_A1R5G5B5 ? pel_FMT_X1R5G5B5 : dstFormat;
    const uint32_t entry = src.desc.ToRGB(pel, pel_FMT_X8R8G8B8);
    return ((imgPalettedKey(layout, entry) ^ imgPalettedKey(layout, colour)) & keyMask(layout)) == 0;
  }
  return ((pel ^ imgDirectKey(src.PelFormat(), colour)) & keyMask(src.PelFormat())) == 0;
}

}  // namespace

TEST_P(AllCells, AKeyMatchingNoPelDrawsAsThePlainTwin) {
  const int group = GetParam();
  std::mt19937 rng(2000 + group);
  for (const imgKernelCell& cell : drawTable::cells) {
    if (cell.src != group || cell.variant != vKey || !cell.kernel) continue;
    for (int sf : srcFormats(cell.src))
      for (int df : dstFormats(cell.src, cell.dst)) {
        Image src = makeImage(23, 3, sf, sf == pel_FMT_P8 ? &testPalette() : nullptr);
        fillFrom(*src, someValues(sf, rng), rng);
        uint32_t colour = 0;
        for (bool clear = false; !clear;) {
          colour = rng();
          clear = true;
          for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 23; ++x) clear = clear && !matchesKey(*src, df, pelAt(*src, x, y), colour);
        }
        Image dst = makeImage(23, 3, df);
        fillFrom(*dst, someValues(df, rng), rng);
        Image twin(static_cast<imgRowCTy*>(dst->Clone()));
        imgDrawParams p{};
        p.mode = kModeOfOp[cell.op];
        src->DrawEx(twin.get(), 0, 0, nullptr, &p);
        src->SetColorKeyRGB(colour);
        src->DrawEx(dst.get(), 0, 0, nullptr, &p);
        EXPECT_EQ(0, std::memcmp(dst->buffer, twin->buffer, size_t(dst->BufferBytes())))
            << "cell " << int(cell.src) << "->" << int(cell.dst) << " op " << int(cell.op) << " formats " << sf
            << "->" << df;
      }
  }
}
