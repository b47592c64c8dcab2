// Every cell of the kernel table drawn through imgCTy::DrawEx on small
// images, against the reference model: odd widths (vector tails), a pitch
// larger than the rectangle and the pels round it as guards, both 4-byte
// formats for the X8R8G8B8 group, every vector level forced in turn. Weights
// from 0 to 256 and weight images, scales that repeat and skip pels, depth
// images with their own pitches and equal, negative and extreme depths.
#include <string>

#include "draw_model.h"
#include "engine/draw/dispatch.h"
#include "engine/draw/kernel_table.h"

using namespace draw_test;

namespace {

const int kModeOfOp[kernelOps] = {pel_OP_COPY,      pel_OP_ALPHA, pel_OP_ALPHAADD,
                                  pel_OP_ALPHAMAP,  pel_OP_MODULATE,    pel_OP_MODULATE2X,
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

namespace {

bool keyedVariant(int v) { return v == vKey || v == vKeyZ || v == vScaledKey; }

// The images and parameters of one draw of a cell; every image a few pels
// larger than the rectangle, so pitches differ and guards surround it.
struct Draw {
  Image src, dst, map, zSrc, zDst;
  rectCTy r;
  imgDrawParams p{};
  ModelParams model;

  Draw(const imgKernelCell& cell, int sf, int df, int w, std::mt19937& rng) {
    const bool scaled = cell.variant == vScaled || cell.variant == vScaledKey;
    const bool depth = cell.variant == vZ || cell.variant == vKeyZ;
    // Scaled draws sample the whole source: up to twice as far as the
    // rectangle reaches at scale 0.5.
    src = makeImage(scaled ? 2 * w + 8 : 41, scaled ? 12 : 5, sf, sf == pel_FMT_P8 ? &testPalette() : nullptr);
    fillFrom(*src, someValues(sf, rng), rng);
    r = {3, 1, w, 3};
    if (keyedVariant(cell.variant)) src->SetColorKeyRGB(src->desc.ToRGB(pelAt(*src, 4, 1), pel_FMT_X8R8G8B8));
    dst = makeImage(scaled ? 2 * w + 12 : 45, 8, df);
    fillFrom(*dst, someValues(df, rng), rng);
    p.mode = kModeOfOp[cell.op];
    if (cell.op == opAlpha && rng() % 2) p.mode = pel_OP_SRCALPHAK;
    if (cell.op == opCopy && rng() % 2) p.mode = pel_OP_SRCALPHA;
    const int weights[] = {0, 1, 128, 255, 256, int(rng() % 257)};
    p.alpha = weights[rng() % 6];
    if (cell.op == opAlphaMap) {
      map = makeImage(43, 5, pel_FMT_P8);
      for (int i = 0; i < 43 * 5; ++i) map->buffer[i] = uint8_t(i % 7 == 0 ? 255 : i % 5 == 0 ? 0 : rng());
      p.alphaMap = map.get();
    }
    if (depth) {
      const std::vector<uint32_t> depths = {0, 5, 99, 100, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000};
      zSrc = makeImage(42, 7, pel_FMT_Z32);
      zDst = makeImage(47, 6, pel_FMT_Z32);
      fillFrom(*zSrc, depths, rng);
      fillFrom(*zDst, depths, rng);
      p.zSrc = zSrc.get();
      p.zDst = zDst.get();
    }
    if (scaled) {
      const float scales[][2] = {{1.5f, 0.5f}, {2.0f, 3.0f}, {0.5f, 1.0f}, {1.0f, 2.0f}};
      const auto& sc = scales[rng() % 4];
      p.scaled = 1;
      p.scaleX = sc[0];
      p.scaleY = sc[1];
      r = {int(rng() % 3), int(rng() % 3), w, 3};
    }
    model.mode = p.mode;
    model.scaled = p.scaled != 0;
    model.alpha = p.alpha;
    model.scaleX = p.scaleX;
    model.scaleY = p.scaleY;
    model.alphaMap = map.get();
    model.zSrc = zSrc.get();
  }
};

}  // namespace

TEST_P(AllCells, DrawAsTheModelSays) {
  const int group = GetParam();
  std::mt19937 rng(1000 + group);
  int drawn = 0;
  for (const imgKernelCell& cell : drawTable::cells) {
    if (cell.src != group || !cell.kernel || cell.dst == dstP8) continue;
    for (int sf : srcFormats(cell.src))
      for (int df : dstFormats(cell.src, cell.dst))
        for (int w : {1, 6, 17, 37})
          for (int level : levels()) {
            ForcedLevel forced(level);
            Draw draw(cell, sf, df, w, rng);
            Image want(static_cast<imgRowCTy*>(draw.dst->Clone()));
            Image wantZ(draw.zDst ? static_cast<imgRowCTy*>(draw.zDst->Clone()) : nullptr);
            Image zSrcBefore(draw.zSrc ? static_cast<imgRowCTy*>(draw.zSrc->Clone()) : nullptr);
            draw.model.zDst = wantZ.get();
            modelDraw(*draw.src, *want, 1, 2, draw.r, draw.model);
            draw.src->DrawEx(draw.dst.get(), 1, 2, &draw.r, &draw.p);
            const std::string what = "cell " + std::to_string(cell.src) + "->" + std::to_string(cell.dst) + " op " +
                                     std::to_string(cell.op) + " variant " + std::to_string(cell.variant) +
                                     ", formats " + std::to_string(sf) + "->" + std::to_string(df) + ", w " +
                                     std::to_string(w) + ", level " + std::to_string(level) + ", alpha " +
                                     std::to_string(draw.p.alpha) + ", scales " + std::to_string(draw.p.scaleX) +
                                     "," + std::to_string(draw.p.scaleY);
            ASSERT_EQ(0, std::memcmp(draw.dst->buffer, want->buffer, size_t(draw.dst->BufferBytes()))) << what;
            if (wantZ) {
              ASSERT_EQ(0, std::memcmp(draw.zDst->buffer, wantZ->buffer, size_t(wantZ->BufferBytes()))) << what;
              ASSERT_EQ(0, std::memcmp(draw.zSrc->buffer, zSrcBefore->buffer, size_t(zSrcBefore->BufferBytes())))
                  << what;
            }
            EXPECT_EQ(draw.dst->data, nullptr) << what;
            EXPECT_EQ(draw.src->data, nullptr) << what;
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
    if (cell.src != group || !keyedVariant(cell.variant) || !cell.kernel) continue;
    for (int sf : srcFormats(cell.src))
      for (int df : dstFormats(cell.src, cell.dst)) {
        Draw draw(cell, sf, df, 9, rng);
        imgRowCTy& src = *draw.src;
        src.keyFlag = 0;
        uint32_t colour = 0;
        for (bool clear = false; !clear;) {
          colour = rng();
          clear = true;
          for (int y = 0; y < src.height; ++y)
            for (int x = 0; x < src.width; ++x) clear = clear && !matchesKey(src, df, pelAt(src, x, y), colour);
        }
        Image twin(static_cast<imgRowCTy*>(draw.dst->Clone()));
        Image twinZ(draw.zDst ? static_cast<imgRowCTy*>(draw.zDst->Clone()) : nullptr);
        imgDrawParams p = draw.p;
        p.zDst = twinZ.get();
        src.DrawEx(twin.get(), 0, 0, &draw.r, &p);
        src.SetColorKeyRGB(colour);
        src.DrawEx(draw.dst.get(), 0, 0, &draw.r, &draw.p);
        EXPECT_EQ(0, std::memcmp(draw.dst->buffer, twin->buffer, size_t(twin->BufferBytes())))
            << "cell " << int(cell.src) << "->" << int(cell.dst) << " op " << int(cell.op) << " variant "
            << int(cell.variant) << " formats " << sf << "->" << df;
      }
  }
}
