// Rows of the table that keeps the engine's draw and talvo::g's image
// operations apart, for the blends and the line primitives: a merge in
// either direction fails a row. The R5G6B5 difference form is the one blend
// the two layers share, bit for bit.
#include <set>

#include "draw_model.h"
#include "image_ops/op_reference.h"

using namespace draw_test;

namespace {

namespace g = talvo::g;

// talvo::g's blend of one row of pels (of `size` bytes) onto another at
// weight k.
std::vector<uint32_t> talvoBlend(g::PelFmt fmt, int size, const std::vector<uint32_t>& src,
                                 const std::vector<uint32_t>& dst, int k) {
  const int32_t n = int32_t(dst.size());
  std::vector<uint8_t> s(size_t(n * size) + 4), d(size_t(n * size) + 4);
  for (int32_t i = 0; i < n; ++i) {
    std::memcpy(&s[size_t(i * size)], &src[size_t(i)], size_t(size));
    std::memcpy(&d[size_t(i * size)], &dst[size_t(i)], size_t(size));
  }
  g::ImageRow si(n, 1, fmt, s.data(), n * size), di(n, 1, fmt, d.data(), n * size);
  opref::run_binary(di, 0, 0, si, nullptr, di.context()->new_alpha_k(k));
  std::vector<uint32_t> out(dst.size(), 0);
  for (int32_t i = 0; i < n; ++i) std::memcpy(&out[size_t(i)], &d[size_t(i * size)], size_t(size));
  return out;
}

// The pels talvo::g's line or span writes into a 12 x 12 image of 4-byte
// pels.
template <class Make>
std::set<std::pair<int, int>> talvoPels(Make make) {
  std::vector<uint32_t> pels(144, 0);
  g::ImageRow image(12, 12, g::PelFmt(g::pel_type::rgbx8888), reinterpret_cast<uint8_t*>(pels.data()), 48);
  opref::run_unary(image, nullptr, make(*image.context()));
  std::set<std::pair<int, int>> out;
  for (int i = 0; i < 144; ++i)
    if (pels[size_t(i)]) out.insert({i % 12, i / 12});
  return out;
}

std::set<std::pair<int, int>> enginePels(void (*draw)(imgCTy&)) {
  Image image = makeImage(12, 12, pel_FMT_X8R8G8B8);
  draw(*image);
  std::set<std::pair<int, int>> out;
  for (int i = 0; i < 144; ++i)
    if (pelAt(*image, i % 12, i / 12)) out.insert({i % 12, i / 12});
  return out;
}

}  // namespace

TEST(LayersDiffer, BlendAndLineRows) {
  errInit();
  using V = std::vector<uint32_t>;
  // R8G8B8 200 over 0 at weight 255: talvo::g's shortcut copies, the
  // engine's byte blend gives 199.
  EXPECT_EQ(talvoBlend(g::PelFmt(g::pel_type::rgb888), 3, {0xC8C8C8}, {0}, 255), V{0xC8C8C8});
  imgDrawParams p{};
  p.mode = pel_OP_ALPHA;
  p.alpha = 255;
  EXPECT_EQ(drawPels(pel_FMT_R8G8B8, {0xC8C8C8}, pel_FMT_R8G8B8, {0}, p), V{0xC7C7C7});

  // A line from (0, 0) to (10, 10): talvo::g reaches its end point, the
  // engine's ends at (10, 9).
  const auto talvoLine = talvoPels([](g::ImageContext& c) { return c.new_line(1, 0, 0, 10, 10, 0); });
  EXPECT_TRUE(talvoLine.count({10, 10}));
  const auto engineLine = enginePels([](imgCTy& i) { i.DrawLine(1, 0, 0, 10, 10, 0); });
  EXPECT_FALSE(engineLine.count({10, 10}));
  EXPECT_TRUE(engineLine.count({10, 9}));

  // A span of length 5 covers 6 pels (end minus start), a run of 5 pels 5.
  EXPECT_EQ(talvoPels([](g::ImageContext& c) { return c.new_hline(1, 0, 0, 5, ~0u); }).size(), 6u);
  EXPECT_EQ(enginePels([](imgCTy& i) { i.DrawHLine(1, 0, 0, 5, ~0u); }).size(), 5u);
}

TEST(LayersShare, TheDifferenceBlendOntoR5G6B5) {
  errInit();
  std::mt19937 rng(31);
  std::vector<uint32_t> src(64), dst(64);
  for (int k = 0; k <= 256; ++k) {
    for (size_t i = 0; i < 64; ++i) src[i] = rng() & 0xFFFF, dst[i] = rng() & 0xFFFF;
    imgDrawParams p{};
    p.mode = pel_OP_ALPHA;
    p.alpha = k;
    EXPECT_EQ(drawPels(pel_FMT_R5G6B5, src, pel_FMT_R5G6B5, dst, p),
              talvoBlend(g::PelFmt(g::pel_type::rgb565), 2, src, dst, k))
        << "weight " << k;
  }
}
