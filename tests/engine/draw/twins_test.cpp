// Kernels against their twins, for every pair of formats: a scaled draw at
// 1.0 against the unscaled draw, a depth-tested draw with every source pel
// in front against the draw without depths (and with every pel behind
// against no draw), the SRCALPHA modes against COPY and ALPHA. Strong
// against a table cell wired to the wrong kernel.
#include <string>

#include "draw_model.h"

using namespace draw_test;

namespace {

const palCTy& randomPalette() {
  static palCTy p;
  if (!p.count) {
    uint8_t quads[256 * 4];
    std::mt19937 rng(11);
    for (uint8_t& q : quads) q = uint8_t(rng());
    p.Set(quads, 256);
  }
  return p;
}

const int kFormats[] = {pel_FMT_P8,       pel_FMT_R8G8B8,   pel_FMT_X8R8G8B8, pel_FMT_A8R8G8B8,
                        pel_FMT_R5G6B5,   pel_FMT_X1R5G5B5, pel_FMT_A1R5G5B5};

// One pair's images, filled alike for both draws; the key from a source pel.
struct Pair {
  Image src, a, b;
  Pair(int sf, int df, bool keyed, std::mt19937& rng) {
    src = makeImage(13, 3, sf, sf == pel_FMT_P8 ? &randomPalette() : nullptr);
    fillFrom(*src, someValues(sf, rng), rng);
    if (keyed) src->SetColorKeyRGB(src->desc.ToRGB(pelAt(*src, 2, 1), pel_FMT_X8R8G8B8));
    a = makeImage(13, 3, df);
    fillFrom(*a, someValues(df, rng), rng);
    b.reset(static_cast<imgRowCTy*>(a->Clone()));
  }
  bool same() const { return std::memcmp(a->buffer, b->buffer, size_t(a->BufferBytes())) == 0; }
};

// Runs f(sf, df, keyed, name) for every pair of direct formats and P8 onto
// each direct format, keyed and not.
template <class F>
void eachPair(F f) {
  for (int sf : kFormats)
    for (int df : kFormats)
      for (bool keyed : {false, true})
        if (df != pel_FMT_P8)
          f(sf, df, keyed, std::to_string(sf) + "->" + std::to_string(df) + (keyed ? " keyed" : ""));
}

const rectCTy kRect{1, 0, 11, 3};

}  // namespace

TEST(Twins, ScaleOneEqualsTheUnscaledDraw) {
  errInit();
  std::mt19937 rng(21);
  eachPair([&](int sf, int df, bool keyed, const std::string& what) {
    for (int mode : {pel_OP_COPY, pel_OP_ALPHA, pel_OP_ADD}) {
      Pair pair(sf, df, keyed, rng);
      imgDrawParams p{};
      p.mode = mode;
      p.alpha = int(rng() % 257);
      pair.src->DrawEx(pair.a.get(), 0, 0, &kRect, &p);
      p.scaled = 1;
      p.scaleX = p.scaleY = 1.0f;
      pair.src->DrawEx(pair.b.get(), 0, 0, &kRect, &p);
      EXPECT_TRUE(pair.same()) << what << " mode " << mode;
    }
  });
}

TEST(Twins, DepthInFrontEqualsNoDepthAndBehindDrawsNothing) {
  errInit();
  std::mt19937 rng(22);
  Image zSrc = makeImage(13, 3, pel_FMT_Z32), zDst = makeImage(13, 3, pel_FMT_Z32);
  eachPair([&](int sf, int df, bool keyed, const std::string& what) {
    for (int mode : {pel_OP_COPY, pel_OP_MODULATE, pel_OP_MODULATE2X, pel_OP_MODULATE4X, pel_OP_ADD,
                     pel_OP_ADDSIGNED, pel_OP_ADDSIGNED2X, pel_OP_SUBTRACT, pel_OP_ADDSMOOTH}) {
      Pair pair(sf, df, keyed, rng);
      imgDrawParams p{};
      p.mode = mode;
      pair.src->DrawEx(pair.a.get(), 0, 0, &kRect, &p);
      p.zSrc = zSrc.get();
      p.zDst = zDst.get();
      for (int i = 0; i < 39; ++i) setPel(*zSrc, i % 13, i / 13, uint32_t(int32_t(rng() % 1000) - 500));
      for (int i = 0; i < 39; ++i) setPel(*zDst, i % 13, i / 13, pelAt(*zSrc, i % 13, i / 13) - 1 - rng() % 50);
      pair.src->DrawEx(pair.b.get(), 0, 0, &kRect, &p);
      EXPECT_TRUE(pair.same()) << what << " mode " << mode << " in front";
      // Every destination depth now equals the source's: a second draw is
      // behind everywhere and changes neither pels nor depths.
      Image zBefore(static_cast<imgRowCTy*>(zDst->Clone()));
      Image before(static_cast<imgRowCTy*>(pair.b->Clone()));
      pair.src->DrawEx(pair.b.get(), 0, 0, &kRect, &p);
      EXPECT_EQ(0, std::memcmp(before->buffer, pair.b->buffer, size_t(before->BufferBytes()))) << what << " behind";
      EXPECT_EQ(0, std::memcmp(zBefore->buffer, zDst->buffer, size_t(zBefore->BufferBytes()))) << what << " behind";
    }
  });
}

TEST(Twins, SrcAlphaModesDrawAsCopyAndAlpha) {
  errInit();
  std::mt19937 rng(23);
  eachPair([&](int sf, int df, bool keyed, const std::string& what) {
    for (int scaled : {0, 1})
      for (auto [mode, twin] : {std::pair{pel_OP_SRCALPHAK, pel_OP_ALPHA}, {pel_OP_SRCALPHA, pel_OP_COPY}}) {
        Pair pair(sf, df, keyed, rng);
        imgDrawParams p{};
        p.mode = twin;
        p.alpha = int(rng() % 257);
        p.scaled = scaled;
        p.scaleX = 1.5f;
        p.scaleY = 2.0f;
        pair.src->DrawEx(pair.a.get(), 0, 0, &kRect, &p);
        p.mode = mode;
        pair.src->DrawEx(pair.b.get(), 0, 0, &kRect, &p);
        EXPECT_TRUE(pair.same()) << what << " mode " << mode << (scaled ? " scaled" : "");
      }
  });
}
