// The alpha image's draw: the kernels onto A8R8G8B8, R5G6B5, X1R5G5B5 and
// A1R5G5B5 by their worked values, the draw entry points and the kernel
// table.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <tuple>

#include "alpha_fixture.h"
#include "engine/alpha/alpha_kernel_list.h"
#include "img/VectorLevel.h"

using namespace alpha_test;
namespace vector_level = talvo::g::vector_level;

namespace {

using AlphaDraw = engine_test::ImagesTest;

Bytes words(std::initializer_list<uint16_t> list) {
  Bytes out;
  for (uint16_t v : list) out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
  return out;
}
uint16_t x1(int r, int g, int b, int bit = 0) { return uint16_t(bit << 15 | r << 10 | g << 5 | b); }

// A transparent, a translucent and an opaque pel.
Pels tlo(const A8R8G8B8& translucent, const A8R8G8B8& opaque) { return {{9, 9, 9, 0}, translucent, opaque}; }

}  // namespace

TEST_F(AlphaDraw, WorkedValues) {
  const A8R8G8B8 white128{255, 255, 255, 128}, white{255, 255, 255, 255};
  struct Case {
    const char* what;
    Pels pels;  // 3 x 1: the destination's three pels under them
    Coding how;
    int mode;
    int K;
    int format;
    Bytes before, after;
  } cases[] = {
      // Table A: A8R8G8B8.
      {"SrcAlpha: white at 128 onto clear black, white at 254 onto white", tlo(white128, {255, 255, 255, 254}), {},
       pel_OP_SRCALPHA, 0, pel_FMT_A8R8G8B8, {1, 2, 3, 4, 0, 0, 0, 0, 255, 255, 255, 255},
       {1, 2, 3, 4, 127, 127, 127, 128, 254, 254, 254, 254}},
      {"SrcAlpha of an opaque pel writes alpha 255", tlo({0, 0, 0, 1}, {10, 20, 30, 255}), {}, pel_OP_SRCALPHA, 0,
       pel_FMT_A8R8G8B8, Bytes(12, 0), {0, 0, 0, 0, 0, 0, 0, 1, 10, 20, 30, 255}},
      {"Add moves A from 200 to 255 and keeps it under opaque pels", tlo({0, 0, 0, 100}, {5, 5, 5, 255}), {},
       pel_OP_ADD, 0, pel_FMT_A8R8G8B8, {0, 0, 0, 0, 1, 1, 1, 200, 1, 1, 1, 7}, {0, 0, 0, 0, 1, 1, 1, 255, 6, 6, 6, 7}},
      {"Add moves A from 100 to 200", tlo({0, 0, 0, 100}, white), {}, pel_OP_ADD, 0, pel_FMT_A8R8G8B8,
       {0, 0, 0, 0, 1, 1, 1, 100, 1, 1, 1, 1}, {0, 0, 0, 0, 1, 1, 1, 200, 255, 255, 255, 1}},
      {"Copy writes a translucent pel unblended with its alpha", tlo({10, 20, 30, 40}, white), {}, pel_OP_COPY, 0,
       pel_FMT_A8R8G8B8, Bytes(12, 99), {99, 99, 99, 99, 10, 20, 30, 40, 255, 255, 255, 255}},
      {"an R5G6B5 white copies as 248, 252, 248 with alpha 255", tlo({0, 0, 0, 1}, white),
       {.storage = pel_FMT_R5G6B5}, pel_OP_COPY, 0, pel_FMT_A8R8G8B8, Bytes(12, 0),
       {0, 0, 0, 0, 0, 0, 0, 1, 248, 252, 248, 255}},
      {"premultiplied 200 at 128 copies as 200 with alpha 128", tlo({200, 200, 200, 128}, white),
       {.premultiplied = true}, pel_OP_COPY, 0, pel_FMT_A8R8G8B8, Bytes(12, 0),
       {0, 0, 0, 0, 200, 200, 200, 128, 255, 255, 255, 255}},
      {"premultiplied R5G6B5 red 248 at 128 copies as 240", tlo({0, 0, 248, 128}, white),
       {.storage = pel_FMT_R5G6B5, .premultiplied = true}, pel_OP_COPY, 0, pel_FMT_A8R8G8B8, Bytes(12, 0),
       {0, 0, 0, 0, 0, 0, 240, 128, 248, 252, 248, 255}},
      {"SrcAlphaK at 0: 255 becomes 254, A under a translucent pel too", tlo(white128, white), {}, pel_OP_SRCALPHAK,
       0, pel_FMT_A8R8G8B8, Bytes(12, 255), {255, 255, 255, 255, 254, 254, 254, 254, 254, 254, 254, 255}},
      // Table B: R5G6B5.
      {"an X1R5G5B5 white onto R5G6B5 is 31, 62, 31", tlo({0, 0, 0, 1}, white), {.storage = pel_FMT_X1R5G5B5},
       pel_OP_COPY, 0, pel_FMT_R5G6B5, words({7, 7, 7}), words({7, 0, 31 << 11 | 62 << 5 | 31})},
      {"premultiplied R5G6B5 red 248 at 128 is the field 30", tlo({0, 0, 248, 128}, {0, 0, 0, 255}),
       {.storage = pel_FMT_R5G6B5, .premultiplied = true}, pel_OP_COPY, 0, pel_FMT_R5G6B5, words({7, 7, 7}),
       words({7, 30 << 11, 0})},
      {"SrcAlphaK at 0 onto R5G6B5: 31 becomes 30, 63 becomes 62", tlo(white128, white), {}, pel_OP_SRCALPHAK, 0,
       pel_FMT_R5G6B5, words({0xFFFF, 0xFFFF, 0xFFFF}), words({0xFFFF, 0xF7DE, 0xF7DE})},
      // The field table: X1R5G5B5 and A1R5G5B5.
      {"SrcAlpha of white at 128 onto black with bit 15 set: 0xBDEF", tlo(white128, white), {}, pel_OP_SRCALPHA, 0,
       pel_FMT_X1R5G5B5, words({0x8000, 0x8000, 0}), words({0x8000, 0xBDEF, 0x7FFF})},
      {"the same onto A1R5G5B5 with bit 15 clear sets it", tlo(white128, white), {}, pel_OP_SRCALPHA, 0,
       pel_FMT_A1R5G5B5, words({0, 0, 0}), words({0, 0xBDEF, 0xFFFF})},
      {"at 127 the fields are 15 again and bit 15 clear", tlo({255, 255, 255, 127}, white), {}, pel_OP_SRCALPHA, 0,
       pel_FMT_A1R5G5B5, words({0, 0x8000, 0}), words({0, 0x3DEF, 0xFFFF})},
      {"X8R8G8B8 green 128 is the field 16, green 255 31", tlo({0, 128, 0, 1}, {0, 255, 0, 255}),
       {.storage = pel_FMT_X8R8G8B8}, pel_OP_COPY, 0, pel_FMT_X1R5G5B5, words({0, 0x8000, 0x8000}),
       words({0, x1(0, 16, 0, 1), x1(0, 31, 0, 1)})},
      {"an R5G6B5 white is 31, 31, 31; green 1 is 0", tlo({0, 4, 0, 100}, white), {.storage = pel_FMT_R5G6B5},
       pel_OP_COPY, 0, pel_FMT_A1R5G5B5, words({0, 0, 0}), words({0, 0, 0xFFFF})},
      {"premultiplied 200 at 128 copies as 25 with bit 15 set", tlo({200, 200, 200, 128}, {0, 0, 0, 255}),
       {.premultiplied = true}, pel_OP_COPY, 0, pel_FMT_A1R5G5B5, words({0, 0, 0}),
       words({0, x1(25, 25, 25, 1), 0x8000})},
      {"premultiplied X1R5G5B5 red 248 at 128 is the field 30, bit 15 kept", tlo({0, 0, 248, 128}, white),
       {.storage = pel_FMT_X1R5G5B5, .premultiplied = true}, pel_OP_COPY, 0, pel_FMT_X1R5G5B5,
       words({0, 0x8000, 0x8000}), words({0, x1(30, 0, 0, 1), 0x7FFF})},
      {"Add saturates at 8-bit scale: 20 + 200, 10 + 100", tlo({200, 100, 0, 1}, {0, 0, 0, 255}), {}, pel_OP_ADD, 0,
       pel_FMT_X1R5G5B5, words({0, x1(0, 10, 20), 0}), words({0, x1(0, 22, 31), 0})},
      {"X1R5G5B5 storage: 20 + 15 and 10 + 12", tlo({120, 96, 0, 1}, {0, 0, 0, 255}),
       {.storage = pel_FMT_X1R5G5B5}, pel_OP_ADD, 0, pel_FMT_X1R5G5B5, words({0, x1(0, 10, 20), 0}),
       words({0, x1(0, 22, 31), 0})},
      // The bit-15 table.
      {"Add never clears bit 15; a at 100 leaves it clear", tlo({0, 0, 0, 100}, {0, 0, 0, 255}), {}, pel_OP_ADD, 0,
       pel_FMT_A1R5G5B5, words({0, 0, 0}), words({0, 0, 0})},
      {"Add with a at 200 sets bit 15; an opaque pel keeps a set one", tlo({0, 0, 0, 200}, {0, 0, 0, 255}), {},
       pel_OP_ADD, 0, pel_FMT_A1R5G5B5, words({0, 0, 0x8000}), words({0, 0x8000, 0x8000})},
      {"SrcAlphaK at 0 onto A1R5G5B5: translucent clears bit 15, opaque keeps it", tlo(white128, white), {},
       pel_OP_SRCALPHAK, 0, pel_FMT_A1R5G5B5, words({0xFFFF, 0xFFFF, 0xFFFF}), words({0xFFFF, 0x7BDE, 0xFBDE})},
      {"X1R5G5B5 storage copies its words whole onto X1R5G5B5", tlo({255, 255, 255, 1}, white),
       {.storage = pel_FMT_X1R5G5B5}, pel_OP_COPY, 0, pel_FMT_X1R5G5B5, words({5, 0x8000, 0x8000}),
       words({5, 0x7FFF, 0x7FFF})},
  };
  const rectCTy r{0, 0, 3, 1};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Image image = coded(3, 1, c.pels, c.how);
    const size_t size = size_t(pelBytes(c.format));
    ASSERT_EQ(c.before.size(), 3 * size);
    Destination dst(c.format, 3, 1, 3);
    std::memcpy(dst.pel(0, 0), c.before.data(), 3 * size);
    imgDrawParams p = imgDrawParamsOf(c.mode);
    p.alpha = c.K;
    imgRowCTy* target = dst.at(r);
    target->Unlock();
    image->DrawEx(target, 0, 0, &r, &p);
    EXPECT_EQ(Bytes(dst.pel(0, 0), dst.pel(0, 0) + 3 * size), c.after);
    EXPECT_TRUE(dst.guardsIntact());
  }
}

TEST_F(AlphaDraw, ScaleOneDrawsAsUnscaledForEveryKernel) {
  for (int format : {pel_FMT_A8R8G8B8, pel_FMT_R5G6B5, pel_FMT_X1R5G5B5, pel_FMT_A1R5G5B5})
    expectScaleOneIsUnscaled(format);
}

TEST_F(AlphaDraw, TheTableServesEveryCellOnceButTheTwoWordCopies) {
  std::vector<imgAlphaDrawFn> kernels;
  for (int format = pel_FMT_R8G8B8; format <= pel_FMT_A1R5G5B5; ++format)
    for (bool premultiplied : {false, true})
      for (bool scaled : {false, true})
        for (int op = cellCopy; op <= cellSrcAlphaK; ++op)
          for (int storage : kStorages) {
            const imgAlphaDrawFn k = imgAlphaKernelOf(format, premultiplied, scaled, op, storage);
            EXPECT_NE(k, nullptr);
            kernels.push_back(k);
          }
  EXPECT_EQ(kernels.size(), 384u);
  std::sort(kernels.begin(), kernels.end());
  EXPECT_EQ(std::unique(kernels.begin(), kernels.end()) - kernels.begin(), 382);
  for (bool scaled : {false, true})
    EXPECT_EQ(imgAlphaKernelOf(pel_FMT_X1R5G5B5, false, scaled, cellCopy, pel_FMT_X1R5G5B5),
              imgAlphaKernelOf(pel_FMT_R5G6B5, false, scaled, cellCopy, pel_FMT_R5G6B5));
  for (auto [format, op, storage] : {std::tuple{0, 0, 1}, {7, 0, 1}, {9, 0, 1}, {1, -1, 1}, {1, 4, 1}, {1, 0, 3},
                                      {1, 0, 6}, {1, 0, 0}})
    EXPECT_EQ(imgAlphaKernelOf(format, false, false, op, storage), nullptr);
}

namespace {

// The kernel the rules choose for a cell, called by name.
template <class Store, class Dst, class Op>
void byName(imgAlpha& image, imgCTy* d, const rectCTy& r, bool premultiplied, bool scaled, float sx, float sy,
            const Op& op) {
  if (scaled && premultiplied)
    image.imgAlphaDrawScaledPremul<Store, Dst, Op>(d, r, sx, sy, op, op);
  else if (scaled)
    image.imgAlphaDrawScaled<Store, Dst, Op>(d, r, sx, sy, op, op);
  else if (premultiplied)
    image.imgAlphaDrawPremul<Store, Dst, Op>(d, r, op, op);
  else
    image.imgAlphaDraw<Store, Dst, Op>(d, r, op, op);
}

template <class Store, class Dst>
void byNameOp(imgAlpha& image, imgCTy* d, const rectCTy& r, bool premultiplied, bool scaled, int op, int K) {
  constexpr bool x1OntoX1 = std::is_same_v<Store, X1R5G5B5> && std::is_same_v<Dst, X1R5G5B5>;
  switch (op) {
    case cellCopy:
      if constexpr (x1OntoX1) {
        // The straight word copy of X1R5G5B5 onto X1R5G5B5 is R5G6B5's kernel.
        const alphaOp::Copy c;
        if (!premultiplied)
          byName<R5G6B5, R5G6B5>(image, d, r, false, scaled, 1.0f, 1.0f, c);
        else if (scaled)
          image.imgAlphaDrawScaledPremul<Store, Dst, alphaOp::Copy>(d, r, 1.0f, 1.0f, c, c);
        else
          image.imgAlphaDrawPremul<Store, Dst, alphaOp::Copy>(d, r, c, c);
      } else {
        byName<Store, Dst>(image, d, r, premultiplied, scaled, 1.0f, 1.0f, alphaOp::Copy{});
      }
      break;
    case cellSrcAlpha: byName<Store, Dst>(image, d, r, premultiplied, scaled, 1.0f, 1.0f, alphaOp::SrcAlpha{}); break;
    case cellAdd: byName<Store, Dst>(image, d, r, premultiplied, scaled, 1.0f, 1.0f, alphaOp::Add{}); break;
    default: byName<Store, Dst>(image, d, r, premultiplied, scaled, 1.0f, 1.0f, alphaOp::SrcAlphaK{K}); break;
  }
}

template <class Dst>
void byNameStore(imgAlpha& image, imgCTy* d, const rectCTy& r, bool premultiplied, bool scaled, int op, int K) {
  switch (image.storageFormat) {
    case pel_FMT_R8G8B8: byNameOp<R8G8B8, Dst>(image, d, r, premultiplied, scaled, op, K); break;
    case pel_FMT_X8R8G8B8: byNameOp<X8R8G8B8, Dst>(image, d, r, premultiplied, scaled, op, K); break;
    case pel_FMT_R5G6B5: byNameOp<R5G6B5, Dst>(image, d, r, premultiplied, scaled, op, K); break;
    default: byNameOp<X1R5G5B5, Dst>(image, d, r, premultiplied, scaled, op, K); break;
  }
}

void byNameDst(imgAlpha& image, imgCTy* d, const rectCTy& r, bool premultiplied, bool scaled, int op, int K) {
  switch (d->PelFormat()) {
    case pel_FMT_R8G8B8: byNameStore<R8G8B8>(image, d, r, premultiplied, scaled, op, K); break;
    case pel_FMT_X8R8G8B8: byNameStore<X8R8G8B8>(image, d, r, premultiplied, scaled, op, K); break;
    case pel_FMT_A8R8G8B8: byNameStore<A8R8G8B8>(image, d, r, premultiplied, scaled, op, K); break;
    case pel_FMT_R5G6B5: byNameStore<R5G6B5>(image, d, r, premultiplied, scaled, op, K); break;
    case pel_FMT_X1R5G5B5: byNameStore<X1R5G5B5>(image, d, r, premultiplied, scaled, op, K); break;
    default: byNameStore<A1R5G5B5>(image, d, r, premultiplied, scaled, op, K); break;
  }
}

// The Op a mode draws with; -1 for none.
int opOfMode(int mode) {
  switch (mode) {
    case pel_OP_COPY: return cellCopy;
    case pel_OP_ADD: return cellAdd;
    case pel_OP_STRETCH:
    case pel_OP_SRCALPHA: return cellSrcAlpha;
    case pel_OP_SRCALPHAK: return cellSrcAlphaK;
    default: return -1;
  }
}

struct DispatchCase {
  int format;     // 1 to 6, or pel_FMT_P8
  bool palette;   // with pel_FMT_P8
  bool premultiplied;
  bool scaled;
};

std::string caseName(const ::testing::TestParamInfo<DispatchCase>& info) {
  const DispatchCase& c = info.param;
  return "format" + std::to_string(c.format) + (c.palette ? "_palette" : "") + (c.premultiplied ? "_premul" : "") +
         (c.scaled ? "_scaled" : "");
}

class AlphaDispatch : public engine_test::ImagesTest, public ::testing::WithParamInterface<DispatchCase> {};

std::vector<DispatchCase> dispatchCases() {
  std::vector<DispatchCase> out;
  for (bool premultiplied : {false, true})
    for (bool scaled : {false, true}) {
      for (int format = pel_FMT_R8G8B8; format <= pel_FMT_A1R5G5B5; ++format)
        out.push_back({format, false, premultiplied, scaled});
      out.push_back({pel_FMT_P8, false, premultiplied, scaled});
      out.push_back({pel_FMT_P8, true, premultiplied, scaled});
    }
  return out;
}

}  // namespace

// A 3 x 1 image (transparent, translucent, opaque) drawn at x 1 into a row of
// five pels, in every mode and storage form: the cells of the table draw what
// their kernel called by name draws, on the covered pels only; the others
// leave the row; the destination ends unlocked, locked or not before.
TEST_P(AlphaDispatch, EveryModeAndStorage) {
  const DispatchCase& c = GetParam();
  palCTy palette;
  engine_test::setColours(palette, {0xFF000000, 0xFFFFFFFF});
  const Pels pels = {{1, 2, 3, 0}, {200, 100, 50, 140}, {10, 250, 90, 255}};
  const rectCTy r{0, 0, 3, 1};
  for (int storage = 1; storage <= 6; ++storage) {
    for (int mode = -1; mode <= 16; ++mode) {
      SCOPED_TRACE(::testing::Message() << "storage " << storage << " mode " << mode);
      const bool valid = storage != 3 && storage != 6;
      Image image = coded(3, 1, pels, {.storage = valid ? storage : pel_FMT_R8G8B8, .premultiplied = c.premultiplied});
      image->storageFormat = storage;
      Destination got(c.format, 5, 1, 5, 0x5A), want(c.format, 5, 1, 5, 0x5A);
      imgRowCTy* target = got.at({0, 0, 5, 1});
      if (c.palette) target->SharePalette(&palette);
      if (mode % 2) target->Unlock();  // the other half comes locked
      imgDrawParams p{};
      p.mode = mode;
      p.scaled = c.scaled;
      p.alpha = 100;
      p.scaleX = p.scaleY = 1.0f;
      image->DrawEx(target, 1, 0, &r, &p);
      EXPECT_EQ(target->data, nullptr);
      const int op = opOfMode(mode);
      const bool drawn = c.format <= pel_FMT_A1R5G5B5 && valid && op >= 0;
      if (drawn)
        byNameDst(*image, want.at({1, 0, 3, 1}), r, c.premultiplied, c.scaled || mode == pel_OP_STRETCH, op, 100);
      EXPECT_EQ(got.bytes(), want.bytes());
      const Bytes untouched = Destination(c.format, 5, 1, 5, 0x5A).bytes();
      EXPECT_EQ(got.bytes() != untouched, drawn) << "the translucent and opaque pels change where a kernel draws";
      EXPECT_EQ(reported("imgCTy::Draw: This is not impelmetned yet"), c.palette ? 1 : 0);
      if (c.palette) target->SharePalette(nullptr);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cells, AlphaDispatch, ::testing::ValuesIn(dispatchCases()), caseName);

TEST_F(AlphaDraw, NullRectangleDrawsTheBounds) {
  // Visible pels in {10, 20, 5, 4} of 30 x 40, drawn at (3, 2).
  Pels pels(30 * 40, A8R8G8B8{0, 0, 0, 0});
  const Pels inside = randomPels(20, 21);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) pels[size_t((20 + y) * 30 + 10 + x)] = {uint8_t(x), uint8_t(y), 77, 255};
  pels[size_t(21 * 30 + 11)].a = 0;
  pels[size_t(22 * 30 + 12)].a = 100;
  Image image = coded(30, 40, pels);
  ASSERT_EQ(image->bounds.x, 10);
  ASSERT_EQ(image->bounds.h, 4);
  Destination got(pel_FMT_X8R8G8B8, 40, 30, 40), want(pel_FMT_X8R8G8B8, 40, 30, 40);
  image->Draw(got.at({0, 0, 40, 30}), 3, 2, nullptr);
  const rectCTy bounds{10, 20, 5, 4};
  const alphaOp::SrcAlpha op;
  image->imgAlphaDraw<R8G8B8, X8R8G8B8, alphaOp::SrcAlpha>(want.at({13, 22, 5, 4}), bounds, op, op);
  EXPECT_EQ(got.bytes(), want.bytes());

  // Nothing visible: the one pel the bounds cover is transparent.
  Image clear = coded(4, 4, Pels(16, A8R8G8B8{5, 5, 5, 0}));
  Destination none(pel_FMT_X8R8G8B8, 8, 8, 8);
  const Bytes before = none.bytes();
  clear->Draw(none.at({0, 0, 8, 8}), 2, 2, nullptr);
  EXPECT_EQ(none.bytes(), before);
}

TEST_F(AlphaDraw, ImagesWithoutCodedPelsDrawNothing) {
  Destination dst(pel_FMT_R5G6B5, 4, 4, 4);
  const Bytes before = dst.bytes();
  imgDrawParams p = imgDrawParamsOf(pel_OP_COPY);
  // No pels at all: bounds {0, 0, 1, 1}, no runs.
  Image empty = coded(0, 0, {});
  empty->DrawEx(dst.at({0, 0, 4, 4}), 1, 1, nullptr, &p);
  // New, with a size.
  Image bare(new imgAlpha);
  bare->SetSize(2, 2, nullptr);
  const rectCTy r{0, 0, 2, 2};
  bare->DrawEx(dst.at({0, 0, 4, 4}), 0, 0, &r, &p);
  // Refused by ReadData.
  Image refused = coded(2, 2, randomPels(4, 3));
  Bytes stream = stored(*refused);
  stream[28] = pel_FMT_A8R8G8B8;  // the storage format, after the 20 bytes of the image header and two flags
  refused = readBack(stream);
  EXPECT_EQ(reported("Data error"), 1);
  refused->DrawEx(dst.at({0, 0, 4, 4}), 0, 0, &r, &p);
  EXPECT_EQ(dst.bytes(), before);
}

TEST_F(AlphaDraw, DrawAlphaWeighsByTheFactorClamped) {
  const Pels pels = randomPels(8 * 3, 4);
  Image image = coded(8, 3, pels);
  const rectCTy r{0, 0, 8, 3};
  struct Case {
    float factor;
    int K;
  } cases[] = {{0.5f, 128},
               {0.999f, 255},
               {1.0f, 255},
               {-1.0f, 0},
               {std::numeric_limits<float>::quiet_NaN(), 0},
               {1e30f, 255},
               {-1e30f, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.factor);
    Destination got(pel_FMT_R5G6B5, 8, 3, 8), want(pel_FMT_R5G6B5, 8, 3, 8);
    image->DrawAlpha(got.at({0, 0, 8, 3}), 0, 0, &r, c.factor);
    const alphaOp::SrcAlphaK op{c.K};
    image->imgAlphaDraw<R8G8B8, R5G6B5, alphaOp::SrcAlphaK>(want.at({0, 0, 8, 3}), r, op, op);
    EXPECT_EQ(got.bytes(), want.bytes());
  }
}

TEST_F(AlphaDraw, CopiedOntoAnAlphaImageGivesBackItsPels) {
  const Pels pels = randomPels(6 * 5, 8);
  for (int storage : kStorages) {
    SCOPED_TRACE(storage);
    Image source = coded(6, 5, pels, {.storage = storage});
    imgAlpha glyphs;
    glyphs.SetSize(9, 7, nullptr);
    source->DrawEx(&glyphs, 2, 1, nullptr, nullptr);  // no parameters: nothing
    EXPECT_EQ(glyphs.runs, nullptr);
    const imgDrawParams p = imgDrawParamsOf(pel_OP_COPY);
    const rectCTy whole{0, 0, 6, 5};
    source->DrawEx(&glyphs, 2, 1, &whole, &p);
    EXPECT_EQ(glyphs.data, nullptr);
    const Pels expected = decoded(*source), got = decoded(glyphs);
    int wrong = 0;
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 9; ++x) {
        const A8R8G8B8& g = got[size_t(y * 9 + x)];
        const bool under = x >= 2 && x < 8 && y >= 1 && y < 6;
        const A8R8G8B8 e = under ? expected[size_t((y - 1) * 6 + x - 2)] : A8R8G8B8{0, 0, 0, 0};
        wrong += e.a == 0 ? g.a != 0 : pelRaw(g) != pelRaw(e);
      }
    EXPECT_EQ(wrong, 0);
  }
}

// The vector spans against the per-pel operations: a row of a transparent
// lead-in of 0 to 7 pels (every place in a block of 8), then n pels of one
// kind, then transparent pels, drawn at every level onto random destination
// pels. The span's colours end the colour array, so a read past them is an
// ASan fault.
TEST_F(AlphaDraw, VectorSpansDrawAsThePerPelOperations) {
  std::mt19937 rng(31);
  const int levels[] = {vector_level::portable, vector_level::sse2, vector_level::avx2};
  int compared = 0;
  for (int storage : kStorages)
    for (int format : {pel_FMT_R5G6B5, pel_FMT_X8R8G8B8})
      for (int op = cellCopy; op <= cellSrcAlphaK; ++op)
        for (bool translucent : {false, true})
          for (int n = 0; n <= 70; ++n)
            for (int lead = 0; lead < 8; ++lead) {
              const int w = lead + n + 3;
              Pels pels(size_t(w), A8R8G8B8{0, 0, 0, 0});
              for (int i = 0; i < n; ++i) {
                const uint32_t v = rng();
                pels[size_t(lead + i)] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16),
                                          uint8_t(translucent ? 1 + v % 254 : 255)};
              }
              Image image = coded(w, 1, pels, {.storage = storage});
              const int K = int(rng() % 256);
              Bytes first;
              for (int level : levels) {
                vector_level::force(level);
                Destination dst(format, w, 1, w, 0);
                uint8_t* p = dst.pel(0, 0);
                std::mt19937 fill{uint32_t(n)};
                for (int i = 0; i < w * pelBytes(format); ++i) p[i] = uint8_t(fill());
                imgDrawParams params{};
                params.scaleX = params.scaleY = 1.0f;
                const rectCTy r{0, 0, w, 1};
                imgAlphaKernelOf(format, false, false, op, storage)(*image, dst.at(r), r, params, K);
                if (first.empty())
                  first = dst.bytes();
                else
                  EXPECT_EQ(dst.bytes(), first) << "storage " << storage << " onto " << format << " op " << op
                                                << " n " << n << " lead " << lead << " level " << level;
                ++compared;
              }
            }
  vector_level::force(-1);
  EXPECT_EQ(compared, 4 * 2 * 4 * 2 * 71 * 8 * 3);
}

// A destination of w x h pels in a buffer of exactly that many: a write or
// read past the last pel is an ASan fault.
struct TightDestination {
  Bytes pels;
  imgRowCTy image;
  TightDestination(int format, int w, int h) : pels(size_t(w) * h * size_t(pelBytes(format))) {
    pelFmtDesc d;
    d.Set(format, nullptr);
    image.SetSize(w, h, &d);
    memHooks.free(image.buffer);
    image.buffer = pels.data();
    image.ownsBuffer = 0;
  }
  ~TightDestination() {
    image.Unlock();
    image.buffer = nullptr;
  }
  imgRowCTy* at(const rectCTy& r) {
    image.Unlock();
    image.Lock(&r, img_LOCK_READWRITE);
    return &image;
  }
};

namespace {

// Pels in runs whose lengths `length` draws (the kinds random) for each row
// in turn, runs carried across the ends of rows; with `changing`, each run's
// kind differs from the one before (the coder joins runs of one kind).
Pels runsOf(int w, int h, std::mt19937& rng, bool changing, const std::function<int(int row)>& length) {
  Pels pels;
  int kind = 0;
  while (pels.size() < size_t(w * h)) {
    kind = changing ? (kind + 1 + int(rng() % 2)) % 3 : int(rng() % 3);
    const int n = length(int(pels.size()) / w);
    for (int i = 0; i < n; ++i) {
      const uint32_t v = rng();
      pels.push_back({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16),
                      uint8_t(kind == 0 ? 0 : kind == 2 ? 255 : 1 + v % 254)});
    }
  }
  pels.resize(size_t(w * h));
  return pels;
}

// What a stream may hold and the coder never makes, with the same pels: a
// run of no pels before every fifth run, transparent runs coded as kind 3;
// and alpha bytes of 0 and 255 in every seventh translucent pel.
void makeHostile(imgAlpha& image) {
  std::vector<imgAlphaRun> runs;
  for (int i = 0; i < image.runCount; ++i) {
    const imgAlphaRun run = image.runs[i];
    if (i % 5 == 0) runs.push_back(imgAlphaRun(i % 3));
    runs.push_back((run & 3) == imgAlphaTransparent && i % 2 ? imgAlphaRun(run | 3) : run);
  }
  memHooks.free(image.runs);
  image.runs = static_cast<imgAlphaRun*>(memAlloc(runs.size() * sizeof(imgAlphaRun)));
  std::memcpy(image.runs, runs.data(), runs.size() * sizeof(imgAlphaRun));
  image.runCount = int(runs.size());
  for (int i = 0; i < image.alphaCount; i += 7) image.alphas[i] = uint8_t(i % 2 ? 255 : 0);
}

}  // namespace

// The vector kernels' runs and stretches against the per-pel operations:
// pictures of runs of every length (streaks of one-pel runs, runs crossing
// the ends of rows, rows longer than a stage, rows of short runs and of long
// ones by turns, so that a row is drawn otherwise than the one before),
// whose last pels are a visible one, ten transparent ones and a visible one,
// so that the colours or the alpha bytes end a few pels before the draw
// does; each picture also as a stream may hold it (makeHostile). Drawn whole
// and by rectangles that start and end inside runs, at every level onto
// random pels of rows longer than the rectangle, and once more onto a
// destination that ends with the rectangle. Reads past the source's arrays
// and past the destination are ASan faults; other writes outside the
// rectangle show in the bytes around it.
TEST_F(AlphaDraw, RunsOfEveryLengthDrawAsThePerPelOperations) {
  std::mt19937 rng(57);
  // Half the runs one pel long, the rest up to 80.
  auto halfOnes = [&](int) { return rng() % 2 ? 1 : 1 + int(rng() % 80); };
  // Runs of 1 to 128 pels, about equal shares of the pels in runs of 1, 2,
  // 3-4, ..., 65-128 (each band as often as 1 / its mean length).
  const double shares[] = {1.0, 1 / 2.0, 1 / 3.5, 1 / 6.5, 1 / 12.5, 1 / 24.5, 1 / 48.5, 1 / 96.5};
  std::discrete_distribution<int> band(std::begin(shares), std::end(shares));
  auto bands = [&](int) {
    const int b = band(rng), shortest = b == 0 ? 1 : (1 << (b - 1)) + 1;
    return shortest + int(rng() % uint32_t((1 << b) - shortest + 1));
  };
  // Rows of runs of 1 to 3 pels and of 20 to 59 by turns.
  auto turns = [&](int row) { return row % 2 ? 20 + int(rng() % 40) : 1 + int(rng() % 3); };
  struct Picture {
    int w, h;
    int lastAlpha;  // of the visible pels at the end: 255 opaque, else translucent
    Pels pels;
  } pictures[] = {
      {70, 5, 255, runsOf(70, 5, rng, false, halfOnes)},
      {131, 3, 77, runsOf(131, 3, rng, false, halfOnes)},
      {19, 7, 200, runsOf(19, 7, rng, false, halfOnes)},
      {300, 6, 255, runsOf(300, 6, rng, true, bands)},
      {97, 4, 77, runsOf(97, 4, rng, true, [](int) { return 1; })},
      {90, 8, 200, runsOf(90, 8, rng, true, turns)},
  };
  const int levels[] = {vector_level::portable, vector_level::sse2, vector_level::avx2};
  int compared = 0;
  for (Picture& picture : pictures) {
    const int w = picture.w, h = picture.h;
    Pels& pels = picture.pels;
    for (size_t i = pels.size() - 12; i < pels.size(); ++i)
      pels[i].a = uint8_t(i == pels.size() - 12 || i == pels.size() - 1 ? picture.lastAlpha : 0);
    const rectCTy rects[] = {{0, 0, w, h}, {1, 0, w - 1, h}, {0, 1, w - 2, h - 1}, {w / 3, 1, w / 2, h - 2},
                             {w - 1, 0, 1, h}, {2, h - 1, w - 2, 1}};
    for (bool hostile : {false, true})
      for (int storage : {pel_FMT_R8G8B8, pel_FMT_X8R8G8B8}) {
        Image image = coded(w, h, pels, {.storage = storage});
        if (hostile) makeHostile(*image);
        for (int format : {pel_FMT_R5G6B5, pel_FMT_X8R8G8B8})
          for (int op = cellCopy; op <= cellSrcAlphaK; ++op)
            for (const rectCTy& r : rects) {
              const int K = int(rng() % 256);
              const uint32_t seed = rng();
              const imgAlphaDrawFn kernel = imgAlphaKernelOf(format, false, false, op, storage);
              imgDrawParams params{};
              params.scaleX = params.scaleY = 1.0f;
              Bytes portable;
              for (int level : levels) {
                vector_level::force(level);
                Destination dst(format, w, h, w + 3);
                std::mt19937 fill{seed};
                for (uint8_t* p = dst.pel(0, 0); p != dst.pel(0, h); ++p) *p = uint8_t(fill());
                kernel(*image, dst.at(r), r, params, K);
                EXPECT_TRUE(dst.guardsIntact());
                if (portable.empty())
                  portable = dst.bytes();
                else
                  EXPECT_EQ(dst.bytes(), portable) << w << "x" << h << (hostile ? " hostile" : "") << " storage "
                                                   << storage << " onto " << format << " op " << op << " rect "
                                                   << r.x << "," << r.y << " " << r.w << "x" << r.h << " level "
                                                   << level;
                ++compared;
                const rectCTy end{w - r.w, h - r.h, r.w, r.h};
                TightDestination tight(format, w, h);
                kernel(*image, tight.at(end), r, params, K);
              }
            }
      }
  }
  vector_level::force(-1);
  EXPECT_EQ(compared, 6 * 2 * 2 * 2 * 4 * 6 * 3);
}
