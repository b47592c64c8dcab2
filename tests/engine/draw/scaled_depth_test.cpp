// Which source pel a scaled kernel samples, and the depth test, by worked
// values.
#include "draw_model.h"

using namespace draw_test;

namespace {

// A 10 x 6 source whose pel (x, y) is 16y + x + 1, drawn scaled onto an
// 8 x 2 destination of zeros so that the rectangle lands at (0, 0); the
// source (column, row) each destination pel took, (-1, -1) where nothing was
// written.
using Samples = std::vector<std::pair<int, int>>;
Samples sampled(int format, int mode, int alpha, float sx, float sy, rectCTy r, int scaled = 1,
                const uint32_t* keyColour = nullptr) {
  Image src = makeImage(10, 6, format), dst = makeImage(8, 2, format);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) setPel(*src, x, y, uint32_t(16 * y + x + 1));
  if (keyColour) src->SetColorKeyRGB(*keyColour);
  imgDrawParams p{};
  p.mode = mode;
  p.alpha = alpha;
  p.scaled = scaled;
  p.scaleX = sx;
  p.scaleY = sy;
  src->DrawEx(dst.get(), -r.x, -r.y, &r, &p);
  Samples out;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 8; ++x) {
      const int v = int(pelAt(*dst, x, y) & 0xFFFF) - 1;
      out.push_back(v < 0 ? std::pair{-1, -1} : std::pair{v % 16, v / 16});
    }
  return out;
}

// The columns of row 0 and the row each destination row took.
struct SampleCase {
  float sx, sy;
  rectCTy r;
  std::vector<int> columns;  // of the first 8 destination pels; -1 not drawn
  int rows[2];
};

const SampleCase kSampling[] = {
    {1.0f, 1.0f, {2, 1, 8, 2}, {2, 3, 4, 5, 6, 7, 8, 9}, {1, 2}},
    {2.0f, 1.0f, {0, 0, 8, 2}, {0, 0, 1, 1, 2, 2, 3, 3}, {0, 1}},
    {2.0f, 1.0f, {1, 0, 8, 2}, {0, 1, 1, 2, 2, 3, 3, 4}, {0, 1}},
    {3.0f, 1.0f, {0, 0, 8, 2}, {0, 0, 0, 0, 1, 1, 1, 2}, {0, 1}},  // step 21845: 3 * 21845 < 65536
    {1.5f, 1.0f, {0, 0, 8, 2}, {0, 0, 1, 1, 2, 3, 3, 4}, {0, 1}},  // step 43690
    {0.5f, 1.0f, {0, 0, 5, 2}, {0, 2, 4, 6, 8, -1, -1, -1}, {0, 1}},
    {2.0f, 0.5f, {0, 1, 8, 2}, {0, 0, 1, 1, 2, 2, 3, 3}, {2, 4}},  // columns repeat, rows skip
};

}  // namespace

TEST(Scaled, SamplesTheSourcePelUnderTheTopLeftCorner) {
  errInit();
  // A copy, an Alpha at 256 and an Add onto zeros all write the sampled pel.
  struct Op {
    int format, mode, alpha;
  } ops[] = {{pel_FMT_R5G6B5, pel_OP_COPY, 0},
             {pel_FMT_X8R8G8B8, pel_OP_ALPHA, 256},
             {pel_FMT_R8G8B8, pel_OP_SRCALPHAK, 256},
             {pel_FMT_X8R8G8B8, pel_OP_ADD, 0}};
  for (int level : levels()) {
    ForcedLevel forced(level);
    for (const Op& op : ops)
      for (const SampleCase& c : kSampling) {
        Samples want;
        for (int y = 0; y < 2; ++y)
          for (int col : c.columns) want.push_back(col < 0 ? std::pair{-1, -1} : std::pair{col, c.rows[y]});
        EXPECT_EQ(sampled(op.format, op.mode, op.alpha, c.sx, c.sy, c.r), want)
            << "format " << op.format << " mode " << op.mode << " scales " << c.sx << "," << c.sy << " rect.x "
            << c.r.x;
      }
  }
  // Stretch without the scaled flag scales all the same.
  EXPECT_EQ(sampled(pel_FMT_R5G6B5, pel_OP_STRETCH, 0, 2.0f, 1.0f, {1, 0, 8, 2}, 0),
            sampled(pel_FMT_R5G6B5, pel_OP_COPY, 0, 2.0f, 1.0f, {1, 0, 8, 2}));
}

TEST(Scaled, KeyTestedOnTheSampledPel) {
  errInit();
  // Source pel (1, 0) is 2: R5G6B5 0x0002 is the colour (16, 0, 0).
  const uint32_t key = 0x000010;
  const Samples got = sampled(pel_FMT_R5G6B5, pel_OP_COPY, 0, 2.0f, 2.0f, {0, 0, 8, 2}, 1, &key);
  const Samples want = {{0, 0}, {0, 0}, {-1, -1}, {-1, -1}, {2, 0}, {2, 0}, {3, 0}, {3, 0},
                        {0, 0}, {0, 0}, {-1, -1}, {-1, -1}, {2, 0}, {2, 0}, {3, 0}, {3, 0}};
  EXPECT_EQ(got, want);
}

namespace {

Image depths(const Pels& values) {
  Image z = makeImage(int(values.size()), 1, pel_FMT_Z32);
  for (size_t i = 0; i < values.size(); ++i) setPel(*z, int(i), 0, values[i]);
  return z;
}

Pels pelsOf(const imgRowCTy& image) {
  Pels out;
  for (int x = 0; x < image.width; ++x) out.push_back(pelAt(image, x, 0));
  return out;
}

}  // namespace

TEST(Depth, GreaterSignedDepthDrawsAndIsStoredFirst) {
  errInit();
  // zs against zd: equal, one in front, -1 behind 5, 5 before -1, the
  // greatest before the least; then a keyed pel in front and behind.
  const Pels zs = {100, 100, 0xFFFFFFFF, 5, 0x7FFFFFFF, 7, 7};
  const Pels zd = {100, 99, 5, 0xFFFFFFFF, 0x80000000, 6, 8};
  const Pels zAfter = {100, 100, 5, 5, 0x7FFFFFFF, 7, 8};
  const uint32_t A = 0x102030, K = 0x0A0B0C, keyColour = 0x0A0B0C;
  struct Case {
    const char* what;
    int srcFormat, dstFormat, mode;
    Pels src, dst, want;
    bool keyed;
  } cases[] = {
      {"Copy Z writes byte 3 of drawn pels only", pel_FMT_R8G8B8, pel_FMT_X8R8G8B8, pel_OP_COPY, Pels(7, A),
       Pels(7, 0x11000000), {0x11000000, 0xFF102030, 0x11000000, 0xFF102030, 0xFF102030, 0xFF102030, 0x11000000},
       false},
      {"KeyZ: a keyed pel in front takes the depth, keeps its colour", pel_FMT_R8G8B8, pel_FMT_R8G8B8, pel_OP_COPY,
       {A, A, A, A, A, K, K}, Pels(7, 0x445566), {0x445566, A, 0x445566, A, A, 0x445566, 0x445566}, true},
      {"Modulate Z keeps byte 3", pel_FMT_X8R8G8B8, pel_FMT_X8R8G8B8, pel_OP_MODULATE, Pels(7, 0xFFFFFFFF),
       Pels(7, 0x22808080), {0x22808080, 0x227F7F7F, 0x22808080, 0x227F7F7F, 0x227F7F7F, 0x227F7F7F, 0x22808080},
       false},
      {"Subtract Z of a specialised pair", pel_FMT_R5G6B5, pel_FMT_R5G6B5, pel_OP_SUBTRACT, Pels(7, 0x0841),
       Pels(7, 0x1863), {0x1863, 0x1022, 0x1863, 0x1022, 0x1022, 0x1022, 0x1863}, false},
  };
  for (const Case& c : cases) {
    Image src = makeImage(7, 1, c.srcFormat), dst = makeImage(7, 1, c.dstFormat);
    for (int i = 0; i < 7; ++i) setPel(*src, i, 0, c.src[size_t(i)]), setPel(*dst, i, 0, c.dst[size_t(i)]);
    if (c.keyed) src->SetColorKeyRGB(keyColour);
    Image zSrc = depths(zs), zDst = depths(zd);
    imgDrawParams p{};
    p.mode = c.mode;
    p.zSrc = zSrc.get();
    p.zDst = zDst.get();
    src->DrawEx(dst.get(), 0, 0, nullptr, &p);
    EXPECT_EQ(pelsOf(*dst), c.want) << c.what;
    EXPECT_EQ(pelsOf(*zDst), zAfter) << c.what;
    EXPECT_EQ(pelsOf(*zSrc), zs) << c.what;
    // A second identical draw changes nothing.
    src->DrawEx(dst.get(), 0, 0, nullptr, &p);
    EXPECT_EQ(pelsOf(*dst), c.want) << c.what << ", drawn twice";
    EXPECT_EQ(pelsOf(*zDst), zAfter) << c.what << ", drawn twice";
  }
}

TEST(Depth, EmptyRectanglesAndAMissingDepthImage) {
  errInit();
  Image src = makeImage(4, 1, pel_FMT_R5G6B5), dst = makeImage(4, 1, pel_FMT_R5G6B5);
  setPel(*src, 0, 0, 0xFFFF);
  Image zSrc = depths({9, 9, 9, 9}), zDst = depths({0, 0, 0, 0});
  imgDrawParams p{};
  p.mode = pel_OP_COPY;
  p.zSrc = zSrc.get();
  p.zDst = zDst.get();
  for (rectCTy r : {rectCTy{0, 0, 0, 1}, rectCTy{0, 0, 2, 0}, rectCTy{0, 0, -1, 1}, rectCTy{0, 0, 2, -3}})
    src->DrawEx(dst.get(), 0, 0, &r, &p);
  EXPECT_EQ(pelsOf(*dst), Pels(4, 0));
  EXPECT_EQ(pelsOf(*zDst), Pels(4, 0));
  // A source depth image without a destination one: the plain cell draws.
  p.zDst = nullptr;
  src->DrawEx(dst.get(), 0, 0, nullptr, &p);
  EXPECT_EQ(pelAt(*dst, 0, 0), 0xFFFFu);
}
