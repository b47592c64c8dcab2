// The weighted kernels and the specialised kernels by worked values: the
// byte blend, the members and the two blends of their own (one shift onto
// X8R8G8B8, the difference form onto R5G6B5) side by side, so that no merge
// of two of them passes; AlphaAdd, AlphaMap with weight images, and the
// specialised Modulate2X and Subtract.
#include "draw_model.h"

using namespace draw_test;

namespace {

// A palette whose entry i is grey i (alpha 255).
const palCTy& greys() {
  static palCTy p;
  if (!p.count) {
    uint8_t quads[256 * 4];
    for (int i = 0; i < 256; ++i) quads[4 * i] = quads[4 * i + 1] = quads[4 * i + 2] = uint8_t(i), quads[4 * i + 3] = 255;
    p.Set(quads, 256);
  }
  return p;
}

struct Case {
  const char* what;
  int srcFormat;
  uint32_t src;
  int dstFormat;
  uint32_t dst;
  int mode;
  int alpha;  // for AlphaMap the weight byte
  uint32_t want;
};

const int R888 = pel_FMT_R8G8B8, X888 = pel_FMT_X8R8G8B8, A888 = pel_FMT_A8R8G8B8, R565 = pel_FMT_R5G6B5,
          X555 = pel_FMT_X1R5G5B5, I8 = pel_FMT_P8;

const Case kCases[] = {
    // The byte blend: each product truncated before the sum.
    {"byte blend at 256 takes the source", R888, 0x102030, R888, 0xA0B0C0, pel_OP_ALPHA, 256, 0x102030},
    {"byte blend at 0 keeps the destination", R888, 0x102030, R888, 0xA0B0C0, pel_OP_ALPHA, 0, 0xA0B0C0},
    {"255 over 0 at 128", R888, 0xFFFFFF, R888, 0, pel_OP_ALPHA, 128, 0x7F7F7F},
    {"255 over 255 at 128", R888, 0xFFFFFF, R888, 0xFFFFFF, pel_OP_ALPHA, 128, 0xFEFEFE},
    {"SRCALPHAK blends as ALPHA", R888, 0xFFFFFF, R888, 0xFFFFFF, pel_OP_SRCALPHAK, 128, 0xFEFEFE},
    {"AlphaMap 255 never weighs fully", R888, 0xFFFFFF, R888, 0, pel_OP_ALPHAMAP, 255, 0xFEFEFE},
    {"AlphaMap 0 keeps the destination", R888, 0xFFFFFF, R888, 0x123456, pel_OP_ALPHAMAP, 0, 0x123456},
    {"byte blend onto 4 bytes keeps byte 3", R888, 0xFFFFFF, X888, 0x5A000000, pel_OP_ALPHA, 128, 0x5A7F7F7F},
    {"white onto white at 1, byte blend", R888, 0xFFFFFF, X888, 0x5AFFFFFF, pel_OP_ALPHA, 1, 0x5AFEFEFE},
    {"P8 onto R8G8B8 is the byte blend", I8, 255, R888, 0xFFFFFF, pel_OP_ALPHA, 1, 0xFEFEFE},
    // One shift onto X8R8G8B8 from P8 and 4-byte sources.
    {"white onto white at 1, one shift", X888, 0x00FFFFFF, X888, 0x5AFFFFFF, pel_OP_ALPHA, 1, 0x5AFFFFFF},
    {"10, 20, 30 onto 100 at 1", X888, 0x001E140A, A888, 0x11646464, pel_OP_ALPHA, 1, 0x11636363},
    {"P8 onto X8R8G8B8, one shift", I8, 255, X888, 0x80FFFFFF, pel_OP_ALPHA, 1, 0x80FFFFFF},
    {"AlphaMap 255 onto X8R8G8B8", X888, 0xFFC80000, X888, 0x22640001, pel_OP_ALPHAMAP, 255, 0x22C70000},
    {"AlphaMap 255 onto X8R8G8B8, white", A888, 0x00FFFFFF, X888, 0x00FFFFFF, pel_OP_ALPHAMAP, 255, 0x00FFFFFF},
    // The difference form onto R5G6B5 from P8 and R5G6B5; the member from
    // other 16-bit sources.
    {"fields 3 and 1 at 128, difference", R565, 0x0001, R565, 0x0003, pel_OP_ALPHA, 128, 0x0002},
    {"fields 3 and 1 at 128, member", X555, 0x0001, R565, 0x0003, pel_OP_ALPHA, 128, 0x0001},
    {"0 over 0xFFFF at 128, difference", R565, 0, R565, 0xFFFF, pel_OP_ALPHA, 128, 0x7BEF},
    {"0 over 0xFFFF at 128, member", X555, 0, R565, 0xFFFF, pel_OP_ALPHA, 128, 0x7BEF},
    {"0 over 0xFFFF at 128, difference map", R565, 0, R565, 0xFFFF, pel_OP_ALPHAMAP, 128, 0x7BEF},
    {"difference at 256 takes the source", R565, 0x1234, R565, 0xFEDC, pel_OP_ALPHA, 256, 0x1234},
    {"P8 onto R5G6B5, difference", I8, 8, R565, 0x0003, pel_OP_ALPHA, 128, 0x0022},
    {"member onto X1R5G5B5 keeps bit 15", R888, 0xFFFFFF, X555, 0x8000, pel_OP_ALPHA, 128, 0xBDEF},
    // AlphaAdd: the destination weakened, the source added, saturated.
    {"AlphaAdd", R888, 0x102030, R888, 0xFFFFFF, pel_OP_ALPHAADD, 128, 0x8F9FAF},
    {"AlphaAdd saturates", X888, 0x00FFFFFF, X888, 0x33FFFFFF, pel_OP_ALPHAADD, 0, 0x33FFFFFF},
    {"AlphaAdd onto R5G6B5", R565, 0x0841, R565, 0xFFFF, pel_OP_ALPHAADD, 256, 0x0841},
    // The specialised Modulate2X and Subtract compute the generic rules.
    {"Modulate2X 128 x 1, 100 x 100, 255 x 255", X888, 0x00FF6480, X888, 0x33FF6401, pel_OP_MODULATE2X, 0,
     0x33FF4E01},
    {"Modulate2X from P8", I8, 128, X888, 0x33010101, pel_OP_MODULATE2X, 0, 0x33010101},
    {"Subtract floors at 0 per channel", X888, 0x00102030, X888, 0x44200F40, pel_OP_SUBTRACT, 0, 0x44100010},
    {"Subtract onto R5G6B5", R565, 0x0841, R565, 0x1002, pel_OP_SUBTRACT, 0, 0x0801},
};

}  // namespace

TEST(Weighted, WorkedValues) {
  errInit();
  for (int level : levels()) {
    ForcedLevel forced(level);
    for (const Case& c : kCases) {
      imgDrawParams p{};
      p.mode = c.mode;
      p.alpha = c.alpha;
      // A row of 19 pels, so the vector paths draw the case too.
      Image map = makeImage(19, 1, I8);
      std::memset(map->buffer, c.alpha, 19);
      p.alphaMap = map.get();
      const Pels got = drawPels(c.srcFormat, Pels(19, c.src), c.dstFormat, Pels(19, c.dst), p, 1,
                                c.srcFormat == I8 ? &greys() : nullptr);
      EXPECT_EQ(got, Pels(19, c.want)) << c.what << ", level " << level;
    }
  }
}

// A keyed pel leaves its destination and the next pel takes its own weight;
// the weight image is wider than the rectangle, so each row's weights start
// one weight pitch further.
TEST(Weighted, AlphaMapKeyStepsOverKeyedPels) {
  errInit();
  const uint32_t white = 0xFFFFFF, keyed = 0x010203, keyColour = 0x010203;
  Image map = makeImage(6, 2, I8);
  const uint8_t weights[] = {0, 64, 128, 255, 9, 9, 255, 128, 64, 0, 9, 9};
  std::memcpy(map->buffer, weights, sizeof weights);
  imgDrawParams p{};
  p.mode = pel_OP_ALPHAMAP;
  p.alphaMap = map.get();
  const rectCTy r{0, 0, 4, 2};
  const Pels src = {white, keyed, white, white, white, keyed, white, white};
  for (int level : levels()) {
    ForcedLevel forced(level);
    EXPECT_EQ(drawPels(R888, src, R888, Pels(8, 0x123456), p, 2, nullptr, &keyColour, &r),
              (Pels{0x123456, 0x123456, 0x8899AA, 0xFEFEFE, 0xFEFEFE, 0x123456, 0x4C667F, 0x123456}));
  }
  // Without a weight image nothing is drawn.
  p.alphaMap = nullptr;
  EXPECT_EQ(drawPels(R888, src, R888, Pels(8, 0), p, 2, nullptr, nullptr, &r), Pels(8, 0));
}

// Weights outside 0..256 are clamped by the dispatcher.
TEST(Weighted, WeightsClampedTo0To256) {
  errInit();
  imgDrawParams p{};
  p.mode = pel_OP_ALPHA;
  for (auto [alpha, as] : {std::pair{-5, 0}, {300, 256}, {INT32_MIN, 0}, {INT32_MAX, 256}})
    for (int df : {R888, X888, R565, X555}) {
      imgDrawParams q = p;
      q.alpha = as;
      p.alpha = alpha;
      const Pels src = {0x00FF8040, 0x00123456}, dst = {0x44A0B0C0, 0x44010203};
      EXPECT_EQ(drawPels(X888, src, df, dst, p), drawPels(X888, src, df, dst, q)) << alpha << " onto " << df;
    }
}
