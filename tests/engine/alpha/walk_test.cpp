// The run walk and the kernels onto R8G8B8 and X8R8G8B8, called directly on
// a locked memory image.
#include <functional>
#include <string>

#include "alpha_fixture.h"
#include "engine/alpha/alpha_kernel_list.h"

using namespace alpha_test;

namespace {

using AlphaWalk = engine_test::ImagesTest;


// 300 x 60 pels whose visible pel (x, y) holds B = x & 255, G = y, R = x >>
// 8 (opaque) or 0x80 | x >> 8 (translucent): short runs of every kind
// across the rows' ends, a transparent run over the end of row 0, and one
// opaque run of 16383 pels.
constexpr int W = 300, H = 60;
const Pels& coordinates() {
  static const Pels pels = [] {
    Pels p = randomPels(size_t(W) * H, 11);
    for (int i = 250; i < 350; ++i) p[size_t(i)].a = 0;
    for (int i = 1500; i < 1500 + 16383; ++i) p[size_t(i)].a = 255;
    for (int i = 0; i < W * H; ++i) {
      const int x = i % W, y = i / W;
      A8R8G8B8& q = p[size_t(i)];
      q = {uint8_t(x), uint8_t(y), uint8_t((q.a == 255 ? 0 : 0x80) | x >> 8), q.a};
    }
    return p;
  }();
  return pels;
}

// What a straight Copy leaves in an X8R8G8B8 pel under the source pel of
// index i (past the pels: transparent).
uint32_t copied(int64_t i, uint32_t under) {
  if (i < 0 || i >= int64_t(W) * H || coordinates()[size_t(i)].a == 0) return under;
  return pelRaw(coordinates()[size_t(i)]) | 0xFF000000;
}

uint32_t read32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Draws with `draw` into a destination of w x h at a pitch of w + 7 and
// checks every pel against want(i, j) (untouched pels hold 0xA5A5A5A5).
void expectDrawn(int w, int h, const std::function<void(imgCTy*)>& draw,
                 const std::function<uint32_t(int, int)>& want) {
  const int pitch = w + 7;
  Destination dst(pel_FMT_X8R8G8B8, std::max(w, 1), std::max(h, 1), pitch);
  draw(dst.at({0, 0, w, h}));
  int wrong = 0;
  std::string first;
  for (int i = 0; i < std::max(h, 1); ++i)
    for (int j = 0; j < pitch; ++j) {
      const uint32_t expected = i < h && j < w ? want(i, j) : 0xA5A5A5A5;
      const uint32_t got = read32(dst.pel(j, i));
      if (got != expected && wrong++ == 0)
        first = "pel (" + std::to_string(j) + ", " + std::to_string(i) + ") is " + std::to_string(got) + " not " +
                std::to_string(expected);
    }
  EXPECT_EQ(wrong, 0) << first;
  EXPECT_TRUE(dst.guardsIntact());
}

}  // namespace

TEST_F(AlphaWalk, UnscaledDrawsThePelsUnderTheRectangle) {
  Image image = coded(W, H, coordinates());
  std::vector<rectCTy> rects = {{0, 0, W, H},    {0, 0, 0, 5},    {5, 5, 10, 0},  {7, 3, 50, 20},
                                {W - 1, H - 1, 1, 1}, {250, 0, 50, 3}, {1, 0, W - 1, 2}, {0, 4, W, 56},
                                {123, 9, 1, 40}, {299, 0, 1, 60}};
  std::mt19937 rng(5);
  for (int i = 0; i < 40; ++i) {
    const int x = int(rng() % W), y = int(rng() % H);
    rects.push_back({x, y, int(rng() % uint32_t(W - x + 1)), int(rng() % uint32_t(H - y + 1))});
  }
  const alphaOp::Copy op;
  for (const rectCTy& r : rects) {
    SCOPED_TRACE(::testing::Message() << r.x << "," << r.y << "," << r.w << "," << r.h);
    expectDrawn(
        r.w, r.h, [&](imgCTy* d) { image->imgAlphaDraw<R8G8B8, X8R8G8B8, alphaOp::Copy>(d, r, op, op); },
        [&](int i, int j) { return copied(int64_t(r.y + i) * W + r.x + j, 0xA5A5A5A5); });
  }
}

TEST_F(AlphaWalk, ScaledSamplesTheNearestPelBefore) {
  Image image = coded(W, H, coordinates());
  struct Case {
    float sx, sy;
    rectCTy r;
  } cases[] = {
      {3.0f, 1.0f, {0, 0, 12, 4}},     // columns 0 to 3 take column 0
      {2.0f, 1.0f, {10, 0, 6, 3}},     // the first column takes column 5
      {1.0f, 2.0f, {0, 0, 20, 10}},    // every row twice: the walk restarts
      {1.0f, 2.0f, {1, 3, 1, 10}},     // one column: no restart needed
      {0.5f, 0.5f, {0, 0, 200, 40}},   // columns past the width, rows past the end
      {1.7f, 0.3f, {3, 2, 40, 10}},
      {1.0f, 1.0f, {5, 5, 0, 3}},      // width 0
      {4.0f, 4.0f, {1190, 230, 8, 9}},
  };
  const alphaOp::Copy op;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.sx << " x " << c.sy << " at " << c.r.x << "," << c.r.y);
    const int64_t stepX = int64_t(65536.0 / double(c.sx)), stepY = int64_t(65536.0 / double(c.sy));
    expectDrawn(
        c.r.w, c.r.h,
        [&](imgCTy* d) { image->imgAlphaDrawScaled<R8G8B8, X8R8G8B8, alphaOp::Copy>(d, c.r, c.sx, c.sy, op, op); },
        [&](int i, int j) {
          const int64_t row = ((c.r.y + i) * stepY) >> 16, col = ((c.r.x + j) * stepX) >> 16;
          return copied(row * W + col, 0xA5A5A5A5);
        });
  }
  // Scales that give no step draw nothing.
  for (float bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    1e-6f}) {
    expectDrawn(
        4, 4, [&](imgCTy* d) { image->imgAlphaDrawScaled<R8G8B8, X8R8G8B8, alphaOp::Copy>(d, {0, 0, 4, 4}, bad, 1.0f, op, op); },
        [](int, int) { return 0xA5A5A5A5u; });
  }
}

TEST_F(AlphaWalk, ScaleOneDrawsAsUnscaledForEveryKernel) {
  expectScaleOneIsUnscaled(pel_FMT_R8G8B8);
  expectScaleOneIsUnscaled(pel_FMT_X8R8G8B8);
}

TEST_F(AlphaWalk, KernelWorkedValues) {
  // A 3 x 1 image: transparent, translucent, opaque; the destination's three
  // pels start as `before` (each 4 bytes; R8G8B8 destinations take the
  // first three).
  const A8R8G8B8 white128{255, 255, 255, 128}, white{255, 255, 255, 255};
  struct Case {
    const char* what;
    Pels pels;
    Coding how;
    std::function<void(imgAlpha&, imgCTy*)> draw;
    int format;
    Bytes before, after;
  };
  const alphaOp::Copy copy;
  const alphaOp::SrcAlpha srcAlpha;
  const alphaOp::Add add;
  const alphaOp::SrcAlphaK k0{0}, k128{128};
  const rectCTy r{0, 0, 3, 1};
  const Case cases[] = {
      {"translucent white at 128 over white gives 254, its opaque neighbour 255",
       {{0, 0, 0, 0}, white128, white}, {},
       [&](imgAlpha& i, imgCTy* d) { i.imgAlphaDraw<R8G8B8, R8G8B8, alphaOp::SrcAlpha>(d, r, srcAlpha, srcAlpha); },
       pel_FMT_R8G8B8, Bytes(9, 255), {255, 255, 255, 254, 254, 254, 255, 255, 255}},
      {"premultiplied white at 128 copies as 254",
       {{0, 0, 0, 0}, white128, white}, {.premultiplied = true},
       [&](imgAlpha& i, imgCTy* d) { i.imgAlphaDrawPremul<R8G8B8, X8R8G8B8, alphaOp::Copy>(d, r, copy, copy); },
       pel_FMT_X8R8G8B8, Bytes(12, 9), {9, 9, 9, 9, 254, 254, 254, 255, 255, 255, 255, 255}},
      {"premultiplied white at 128 over white gives 253",
       {{0, 0, 0, 0}, white128, white}, {.storage = pel_FMT_X8R8G8B8, .premultiplied = true},
       [&](imgAlpha& i, imgCTy* d) { i.imgAlphaDrawPremul<X8R8G8B8, X8R8G8B8, alphaOp::SrcAlpha>(d, r, srcAlpha, srcAlpha); },
       pel_FMT_X8R8G8B8, {255, 255, 255, 7, 255, 255, 255, 7, 255, 255, 255, 7},
       {255, 255, 255, 7, 253, 253, 253, 7, 255, 255, 255, 255}},
      {"straight Copy writes a translucent pel unblended, the fourth byte 255",
       {{0, 0, 0, 0}, {10, 20, 30, 40}, {50, 60, 70, 255}}, {},
       [&](imgAlpha& i, imgCTy* d) { i.imgAlphaDraw<R8G8B8, X8R8G8B8, alphaOp::Copy>(d, r, copy, copy); },
       pel_FMT_X8R8G8B8, Bytes(12, 1), {1, 1, 1, 1, 10, 20, 30, 255, 50, 60, 70, 255}},
      {"Add never touches the fourth byte and adds the whole colour",
       {{0, 0, 0, 0}, {10, 200, 30, 1}, {50, 60, 250, 255}}, {.storage = pel_FMT_X8R8G8B8},
       [&](imgAlpha& i, imgCTy* d) { i.imgAlphaDraw<X8R8G8B8, X8R8G8B8, alphaOp::Add>(d, r, add, add); },
       pel_FMT_X8R8G8B8, Bytes(12, 100), {100, 100, 100, 100, 110, 255, 130, 100, 150, 160, 255, 100}},
      {"Add of R5G6B5 storage onto R8G8B8 widens the opaque colour",
       {{0, 0, 0, 0}, {8, 4, 8, 1}, {255, 255, 255, 255}}, {.storage = pel_FMT_R5G6B5},
       [&](imgAlpha& i, imgCTy* d) { i.imgAlphaDraw<R5G6B5, R8G8B8, alphaOp::Add>(d, r, add, add); },
       pel_FMT_R8G8B8, Bytes(9, 3), {3, 3, 3, 11, 7, 11, 251, 255, 251}},
      {"a stored R5G6B5 white copies as 248, 252, 248",
       {{0, 0, 0, 0}, white128, white}, {.storage = pel_FMT_R5G6B5},
       [&](imgAlpha& i, imgCTy* d) { i.imgAlphaDraw<R5G6B5, R8G8B8, alphaOp::Copy>(d, r, copy, copy); },
       pel_FMT_R8G8B8, Bytes(9, 0), {0, 0, 0, 248, 252, 248, 248, 252, 248}},
      {"SrcAlphaK at 0 still writes: 255 becomes 254, the fourth byte stays",
       {{0, 0, 0, 0}, white128, white}, {.storage = pel_FMT_X1R5G5B5},
       [&](imgAlpha& i, imgCTy* d) { i.imgAlphaDraw<X1R5G5B5, X8R8G8B8, alphaOp::SrcAlphaK>(d, r, k0, k0); },
       pel_FMT_X8R8G8B8, Bytes(12, 255), {255, 255, 255, 255, 254, 254, 254, 255, 254, 254, 254, 255}},
      {"SrcAlphaK at 128: opaque weighs by K, translucent by a * K >> 8",
       {{0, 0, 0, 0}, white128, white}, {},
       [&](imgAlpha& i, imgCTy* d) { i.imgAlphaDraw<R8G8B8, R8G8B8, alphaOp::SrcAlphaK>(d, r, k128, k128); },
       pel_FMT_R8G8B8, Bytes(9, 0), {0, 0, 0, 63, 63, 63, 127, 127, 127}},
      {"premultiplied SrcAlphaK at 128 over black: (127 * 128) >> 8",
       {{0, 0, 0, 0}, white128, white}, {.premultiplied = true},
       [&](imgAlpha& i, imgCTy* d) { i.imgAlphaDrawPremul<R8G8B8, R8G8B8, alphaOp::SrcAlphaK>(d, r, k128, k128); },
       pel_FMT_R8G8B8, Bytes(9, 0), {0, 0, 0, 63, 63, 63, 127, 127, 127}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Image image = coded(3, 1, c.pels, c.how);
    const size_t size = size_t(pelBytes(c.format));
    Destination dst(c.format, 3, 1, 3);
    for (int i = 0; i < 3; ++i) std::memcpy(dst.pel(i, 0), c.before.data() + size * size_t(i), size);
    c.draw(*image, dst.at(r));
    EXPECT_EQ(Bytes(dst.pel(0, 0), dst.pel(0, 0) + 3 * size), c.after);
    EXPECT_TRUE(dst.guardsIntact());
  }
}
