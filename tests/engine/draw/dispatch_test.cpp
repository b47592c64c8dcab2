// Kernel selection: the choice of cell by mode, scaling, depth images and
// key; the key pels; the byte copies of P8 onto P8 and the scale refusals.
#include <cmath>
#include <limits>
#include <optional>

#include "draw_model.h"
#include "engine/draw/dispatch.h"
#include "engine/draw/kernel_table.h"

using namespace draw_test;

namespace {

struct Choice {
  imgKernelOp op;
  imgVariant plain;  // the keyed variant is the next one
};
using Maybe = std::optional<Choice>;

// The selection table: unscaled without depth images, unscaled with them,
// scaled.
struct Row {
  int mode;
  Maybe flat, depth, scaled;
};
const Row kSelection[] = {
    {-1, {}, {}, {}},
    {pel_OP_COPY, Choice{opCopy, vPlain}, Choice{opCopy, vZ}, Choice{opCopy, vScaled}},
    {pel_OP_ALPHA, Choice{opAlpha, vPlain}, Choice{opAlpha, vPlain}, Choice{opAlpha, vScaled}},
    {pel_OP_NONE, {}, {}, {}},
    {pel_OP_ALPHAMAP, Choice{opAlphaMap, vPlain}, Choice{opAlphaMap, vPlain}, {}},
    {pel_OP_MODULATE, Choice{opModulate, vPlain}, Choice{opModulate, vZ}, {}},
    {pel_OP_MODULATE2X, Choice{opModulate2X, vPlain}, Choice{opModulate2X, vZ}, {}},
    {pel_OP_MODULATE4X, Choice{opModulate4X, vPlain}, Choice{opModulate4X, vZ}, {}},
    {pel_OP_ADD, Choice{opAdd, vPlain}, Choice{opAdd, vZ}, Choice{opAdd, vScaled}},
    {pel_OP_ADDSIGNED, Choice{opAddSigned, vPlain}, Choice{opAddSigned, vZ}, {}},
    {pel_OP_ADDSIGNED2X, Choice{opAddSigned2X, vPlain}, Choice{opAddSigned2X, vZ}, {}},
    {pel_OP_SUBTRACT, Choice{opSubtract, vPlain}, Choice{opSubtract, vZ}, {}},
    {pel_OP_ADDSMOOTH, Choice{opAddSmooth, vPlain}, Choice{opAddSmooth, vZ}, {}},
    {pel_OP_ALPHAADD, Choice{opAlphaAdd, vPlain}, Choice{opAlphaAdd, vPlain}, {}},
    {pel_OP_STRETCH, Choice{opCopy, vScaled}, Choice{opCopy, vScaled}, Choice{opCopy, vScaled}},
    {pel_OP_SRCALPHA, Choice{opCopy, vPlain}, Choice{opCopy, vZ}, Choice{opCopy, vScaled}},
    {pel_OP_SRCALPHAK, Choice{opAlpha, vPlain}, Choice{opAlpha, vPlain}, Choice{opAlpha, vScaled}},
    {16, {}, {}, {}},
};

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    errInit();
    plat::test::takeMessageBoxes();
  }
};

palCTy& greys() {
  static palCTy p;
  if (!p.count) {
    uint8_t quads[256 * 4];
    for (int i = 0; i < 256; ++i) quads[4 * i] = quads[4 * i + 1] = quads[4 * i + 2] = uint8_t(i), quads[4 * i + 3] = 0;
    p.Set(quads, 256);
  }
  return p;
}

// Draws src's whole rectangle at (0, 0); true when a pel of dst changed.
bool changes(imgRowCTy& src, imgRowCTy& dst, const imgDrawParams& p) {
  Image before(static_cast<imgRowCTy*>(dst.Clone()));
  const rectCTy r{0, 0, src.width, src.height};
  src.DrawEx(&dst, 0, 0, &r, &p);
  EXPECT_EQ(src.data, nullptr);
  EXPECT_EQ(dst.data, nullptr);
  return std::memcmp(before->buffer, dst.buffer, size_t(dst.BufferBytes())) != 0;
}

}  // namespace

namespace {

// The mode that draws with an op by itself.
int modeOf(imgKernelOp op) {
  switch (op) {
    case opCopy: return pel_OP_COPY;
    case opAlpha: return pel_OP_ALPHA;
    case opAlphaAdd: return pel_OP_ALPHAADD;
    case opAlphaMap: return pel_OP_ALPHAMAP;
    default: return pel_OP_MODULATE + (op - opModulate);
  }
}

Image copyOf(imgRowCTy& image) { return Image(static_cast<imgRowCTy*>(image.Clone())); }

}  // namespace

// The selection table, drawn: each draw gives what the model draws with the
// table's op and variant, or leaves the destination (and the depths) as
// they were where the table has no cell or the pair no kernel for it. The
// key matches some pels, the scale 2 repeats pels, the weight image (64)
// differs from the weight (128) and the depths all lie in front, so that
// every choice shows in the pels or the depths written.
TEST_F(Dispatch, SelectionTableForADirectAndAPalettedPair) {
  Image depthS = makeImage(5, 3, pel_FMT_Z32), depthD = makeImage(5, 3, pel_FMT_Z32);
  Image weights = makeImage(5, 3, pel_FMT_P8);
  std::memset(depthS->buffer, 1, size_t(depthS->BufferBytes()));
  std::memset(weights->buffer, 64, size_t(weights->BufferBytes()));
  struct Pair {
    int srcFormat, dstFormat;
    imgSrcGroup sg;
    imgDstGroup dg;
  } pairs[] = {{pel_FMT_R8G8B8, pel_FMT_R5G6B5, srcR8G8B8, dstR5G6B5}, {pel_FMT_P8, pel_FMT_X8R8G8B8, srcP8, dstX8R8G8B8}};
  const rectCTy r{0, 0, 5, 3};
  std::mt19937 rng(5);
  for (const Pair& pair : pairs)
    for (const Row& row : kSelection)
      for (int scaled : {0, 1})
        for (int depth : {0, 1})
          for (int keyed : {0, 1}) {
            imgDrawParams p{};
            p.mode = row.mode;
            p.scaled = scaled;
            p.scaleX = p.scaleY = 2.0f;
            p.alpha = 128;
            p.alphaMap = weights.get();
            p.zSrc = depth ? depthS.get() : nullptr;
            p.zDst = depth ? depthD.get() : nullptr;
            std::memset(depthD->buffer, 0, size_t(depthD->BufferBytes()));
            const Maybe want = scaled ? row.scaled : depth ? row.depth : row.flat;
            const std::string what = "mode " + std::to_string(row.mode) + (scaled ? " scaled" : "") +
                                     (depth ? " depth" : "") + (keyed ? " keyed" : "") + ", " +
                                     std::to_string(pair.srcFormat) + "->" + std::to_string(pair.dstFormat);
            Image src = makeImage(5, 3, pair.srcFormat, pair.srcFormat == pel_FMT_P8 ? &greys() : nullptr);
            Image dst = makeImage(5, 3, pair.dstFormat);
            fillFrom(*src, {0x203040, 0x808080, 0xF0F0F0}, rng);
            fillFrom(*dst, {0x7BEF, 0x12345678}, rng);
            if (keyed) src->SetColorKeyRGB(0x808080);
            Image expected = copyOf(*dst), expectedZ = copyOf(*depthD);
            const imgVariant variant = want ? imgVariant(want->plain + keyed) : vPlain;
            if (want && imgKernelFor(pair.sg, pair.dg, want->op, variant)) {
              ModelParams m;
              m.mode = modeOf(want->op);
              m.scaled = want->plain == vScaled;
              m.alpha = p.alpha;
              m.scaleX = m.scaleY = p.scaleX;
              m.alphaMap = weights.get();
              if (want->plain == vZ) {
                m.zSrc = depthS.get();
                m.zDst = expectedZ.get();
              }
              modelDraw(*src, *expected, 0, 0, r, m);
            }
            src->DrawEx(dst.get(), 0, 0, &r, &p);
            EXPECT_EQ(src->data, nullptr) << what;
            EXPECT_EQ(dst->data, nullptr) << what;
            EXPECT_EQ(0, std::memcmp(dst->buffer, expected->buffer, size_t(dst->BufferBytes()))) << what;
            EXPECT_EQ(0, std::memcmp(depthD->buffer, expectedZ->buffer, size_t(depthD->BufferBytes()))) << what;
          }
  // AlphaMap without a weight image: nothing.
  Image src = makeImage(5, 3, pel_FMT_R8G8B8), dst = makeImage(5, 3, pel_FMT_R5G6B5);
  fillFrom(*src, {0x203040, 0x808080, 0xF0F0F0}, rng);
  imgDrawParams p{};
  p.mode = pel_OP_ALPHAMAP;
  p.alpha = 128;
  EXPECT_FALSE(changes(*src, *dst, p));
  // A source depth image alone: the keyed cell without depth test.
  p.mode = pel_OP_COPY;
  p.zSrc = depthS.get();
  src->SetColorKeyRGB(0x808080);
  Image expected = copyOf(*dst);
  modelDraw(*src, *expected, 0, 0, r, pel_OP_COPY);
  src->DrawEx(dst.get(), 0, 0, &r, &p);
  EXPECT_EQ(0, std::memcmp(dst->buffer, expected->buffer, size_t(dst->BufferBytes())));
}

// SrcAlpha draws as Copy and SrcAlphaK as Alpha, whatever else the draw has.
TEST_F(Dispatch, SrcAlphaModesDrawAsCopyAndAlpha) {
  Image z = makeImage(5, 3, pel_FMT_Z32), map = makeImage(5, 3, pel_FMT_P8);
  std::memset(z->buffer, 1, size_t(z->BufferBytes()));
  std::memset(map->buffer, 64, size_t(map->BufferBytes()));
  std::mt19937 rng(6);
  Image src = makeImage(5, 3, pel_FMT_R8G8B8), first = makeImage(5, 3, pel_FMT_X8R8G8B8);
  fillFrom(*src, {0x203040, 0x808080, 0xF0F0F0}, rng);
  fillFrom(*first, {0x7BEF, 0x12345678}, rng);
  const rectCTy r{0, 0, 5, 3};
  for (int scaled : {0, 1})
    for (int depth : {0, 1})
      for (int keyed : {0, 1}) {
        if (keyed) src->SetColorKeyRGB(0x808080);
        else src->keyFlag = 0;
        for (auto [mode, twin] : {std::pair{pel_OP_SRCALPHA, pel_OP_COPY}, std::pair{pel_OP_SRCALPHAK, pel_OP_ALPHA}}) {
          Image drawn[2] = {copyOf(*first), copyOf(*first)};
          Image depths[2] = {makeImage(5, 3, pel_FMT_Z32), makeImage(5, 3, pel_FMT_Z32)};
          for (int i : {0, 1}) {
            imgDrawParams p{};
            p.mode = i == 0 ? mode : twin;
            p.scaled = scaled;
            p.scaleX = p.scaleY = 2.0f;
            p.alpha = 128;
            p.alphaMap = map.get();
            p.zSrc = depth ? z.get() : nullptr;
            p.zDst = depth ? depths[i].get() : nullptr;
            src->DrawEx(drawn[i].get(), 0, 0, &r, &p);
          }
          const std::string what = "mode " + std::to_string(mode) + (scaled ? " scaled" : "") +
                                   (depth ? " depth" : "") + (keyed ? " keyed" : "");
          EXPECT_EQ(0, std::memcmp(drawn[0]->buffer, drawn[1]->buffer, size_t(first->BufferBytes()))) << what;
          EXPECT_EQ(0, std::memcmp(depths[0]->buffer, depths[1]->buffer, size_t(depths[0]->BufferBytes()))) << what;
        }
      }
}

TEST_F(Dispatch, KeyPels) {
  imgDrawParams copy{};
  copy.mode = pel_OP_COPY;
  const rectCTy r{0, 0, 4, 1};
  struct Case {
    const char* what;
    int format;
    uint32_t key;              // colour
    std::vector<uint32_t> pels;
    std::vector<bool> drawn;
  } cases[] = {
      {"R5G6B5: exactly 0xF902", pel_FMT_R5G6B5, 0x00F82010, {0xF902, 0xF903, 0xF902, 0xF922}, {false, true, false, true}},
      {"A1R5G5B5: bit 15 compared", pel_FMT_A1R5G5B5, 0x00F82010, {0xFC82, 0x7C82, 0xFC83, 0xFC82},
       {false, true, true, false}},
      {"X1R5G5B5: bit 15 ignored", pel_FMT_X1R5G5B5, 0x00F82010, {0xFC82, 0x7C82, 0xFC83, 0x7C82},
       {false, false, true, false}},
      {"X8R8G8B8: byte A compared", pel_FMT_X8R8G8B8, 0x00030201, {0xFF030201, 0x00030201, 0x00030202, 0x80030201},
       {true, false, true, true}},
      {"R8G8B8: three bytes", pel_FMT_R8G8B8, 0xFF030201, {0x030201, 0x030202, 0x030201, 0x130201},
       {false, true, false, true}},
  };
  for (const Case& c : cases) {
    Image src = makeImage(4, 1, c.format), dst = makeImage(4, 1, pel_FMT_X8R8G8B8);
    for (int i = 0; i < 4; ++i) setPel(*src, i, 0, c.pels[size_t(i)]);
    src->SetColorKeyRGB(c.key);
    src->DrawEx(dst.get(), 0, 0, &r, &copy);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(pelAt(*dst, i, 0) != 0, c.drawn[size_t(i)]) << c.what << " pel " << i;
  }

  // A paletted key is a colour: two entries of one colour are both skipped.
  palCTy p;
  const uint8_t quads[] = {0x10, 0x20, 0x30, 0, 0x90, 0x90, 0x90, 0, 0x10, 0x20, 0x30, 0, 0x70, 0x70, 0x70, 0};
  p.Set(quads, 4);
  for (int format : {pel_FMT_R8G8B8, pel_FMT_X8R8G8B8, pel_FMT_R5G6B5, pel_FMT_X1R5G5B5, pel_FMT_A1R5G5B5}) {
    Image src = makeImage(4, 1, pel_FMT_P8, &p), dst = makeImage(4, 1, format);
    for (int i = 0; i < 4; ++i) setPel(*src, i, 0, uint32_t(i));
    src->SetColorKeyRGB(0xFF302010);  // entries have A 255
    src->DrawEx(dst.get(), 0, 0, &r, &copy);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(pelAt(*dst, i, 0) != 0, i % 2 == 1) << format << " pel " << i;
  }
  EXPECT_EQ(imgPalettedKey(pel_FMT_A1R5G5B5, 0x00F82010), 0x7C82u);  // bit 15 carries nothing
  EXPECT_EQ(imgDirectKey(pel_FMT_A1R5G5B5, 0x00F82010), 0xFC82u);
}

TEST_F(Dispatch, IndexImagesCopyIndices) {
  palCTy a, b;
  const uint8_t qa[] = {0, 0, 0, 0}, qb[] = {255, 255, 255, 0};
  a.Set(qa, 1);
  b.Set(qb, 1);
  Image src = makeImage(6, 4, pel_FMT_P8, &a), dst = makeImage(8, 6, pel_FMT_P8, &b);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) setPel(*src, x, y, uint32_t(10 * y + x + 1));
  src->SetColorKeyRGB(0);  // index 0's colour: plays no part
  // Every mode, none included, copies the indices of the rectangle.
  for (int mode : {pel_OP_NONE, pel_OP_COPY, pel_OP_ADD, 99}) {
    std::memset(dst->buffer, 0, 48);
    imgDrawParams p{};
    p.mode = mode;
    const rectCTy r{1, 1, 3, 2};
    src->DrawEx(dst.get(), 2, 1, &r, &p);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool inside = x >= 3 && x < 6 && y >= 2 && y < 4;
        EXPECT_EQ(pelAt(*dst, x, y), inside ? pelAt(*src, x - 2, y - 1) : 0u) << mode << " at " << x << "," << y;
      }
  }
}

// Same-layout copies move each row by pieces chosen from its length in
// bytes: every length up to past the memcpy bound, from an odd column onto
// another, touches exactly the rectangle.
TEST_F(Dispatch, IndexCopiesAtEveryRowLength) {
  constexpr int kW = 300, kH = 4;
  Image src = makeImage(kW, kH, pel_FMT_P8, &greys()), dst = makeImage(kW, kH, pel_FMT_P8, &greys());
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) setPel(*src, x, y, uint32_t((7 * x + 31 * y) % 251 + 1));
  imgDrawParams p{};
  for (int w = 0; w <= kW - 4; ++w) {
    std::memset(dst->buffer, 0, size_t(dst->BufferBytes()));
    const rectCTy r{3, 1, w, 2};
    src->DrawEx(dst.get(), -2, 0, &r, &p);  // onto columns 1 .. w of rows 1 and 2
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const bool inside = x >= 1 && x <= w && y >= 1 && y <= 2;
        ASSERT_EQ(pelAt(*dst, x, y), inside ? pelAt(*src, x + 2, y) : 0u) << "w " << w << " at " << x << "," << y;
      }
  }
}

TEST_F(Dispatch, ScaledByteCopySamplesAndRefuses) {
  Image src = makeImage(6, 4, pel_FMT_P8, &greys()), dst = makeImage(8, 4, pel_FMT_P8, &greys());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) setPel(*src, x, y, uint32_t(10 * y + x + 1));
  auto draw = [&](float sx, float sy, rectCTy r, int scaled = 1, int mode = pel_OP_COPY) {
    std::memset(dst->buffer, 0, 32);
    imgDrawParams p{};
    p.mode = mode;
    p.scaled = scaled;
    p.scaleX = sx;
    p.scaleY = sy;
    src->DrawEx(dst.get(), -r.x, -r.y, &r, &p);  // the rectangle lands at (0, 0)
    std::vector<uint32_t> row;
    for (int x = 0; x < 8; ++x) row.push_back(pelAt(*dst, x, 0));
    EXPECT_EQ(src->data, nullptr);
    return row;
  };
  using Row = std::vector<uint32_t>;
  // Stretch at scale 1 without the flag copies the rectangle itself.
  EXPECT_EQ(draw(1.0f, 1.0f, {1, 2, 3, 1}, 0, pel_OP_STRETCH), (Row{22, 23, 24, 0, 0, 0, 0, 0}));
  // 2.0 from rect.x 0 and 1; 1.5 truncates its step (43690).
  EXPECT_EQ(draw(2.0f, 1.0f, {0, 0, 8, 1}), (Row{1, 1, 2, 2, 3, 3, 4, 4}));
  EXPECT_EQ(draw(2.0f, 1.0f, {1, 0, 7, 1}), (Row{1, 2, 2, 3, 3, 4, 4, 0}));
  EXPECT_EQ(draw(1.5f, 1.0f, {0, 0, 8, 1}), (Row{1, 1, 2, 2, 3, 4, 4, 5}));  // columns 0,0,1,1,2,3,3,4
  EXPECT_EQ(draw(0.5f, 2.0f, {0, 1, 3, 1}), (Row{1, 3, 5, 0, 0, 0, 0, 0}));
  // Refused: nothing is drawn.
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const Row nothing(8, 0);
  for (float bad : {0.0f, -1.0f, nan, inf, 1e-6f}) EXPECT_EQ(draw(bad, 1.0f, {0, 0, 2, 1}), nothing) << bad;
  EXPECT_EQ(draw(1.0f, nan, {0, 0, 2, 1}), nothing);
  EXPECT_EQ(draw(1.0f, 1.0f, {-1, 0, 2, 1}), nothing);      // origin negative
  EXPECT_EQ(draw(0.5f, 1.0f, {0, 0, 4, 1}), nothing);       // samples column 6 of 6
  EXPECT_EQ(draw(1.0f, 0.5f, {0, 2, 1, 1}), nothing);       // samples row 4 of 4
  EXPECT_EQ(draw(0.5f, 1.0f, {0, 0, 3, 1}), (Row{1, 3, 5, 0, 0, 0, 0, 0}));  // the last column inside
}
