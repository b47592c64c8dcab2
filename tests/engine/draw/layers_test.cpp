// Rows of the table that keeps the engine's draw and talvo::g's copy apart:
// a merge of the two in either direction fails a row.
#include "draw_model.h"
#include "img/Image.h"
#include "img/Palette.h"

using namespace draw_test;

namespace {

namespace g = talvo::g;

// talvo::g's copy of a one-row image onto another; the destination's pels.
// The source row holds as many pels as the destination; 4 bytes hold 4
// indices.
std::vector<uint32_t> talvoCopy(g::PelFmt srcFmt, std::vector<uint32_t> src, g::PelFmt dstFmt, std::vector<uint32_t> dst,
                                const uint32_t* keyPel) {
  g::ImageRow s(int32_t(dst.size()), 1, srcFmt, reinterpret_cast<uint8_t*>(src.data()), int32_t(4 * src.size()));
  g::ImageRow d(int32_t(dst.size()), 1, dstFmt, reinterpret_cast<uint8_t*>(dst.data()), int32_t(4 * dst.size()));
  if (keyPel) s.set_color_key(*keyPel);
  d.assign(0, 0, s);
  return dst;
}

// The engine's copy of a one-row image of 4-byte pels (or indices).
std::vector<uint32_t> engineCopy(int srcFormat, const std::vector<uint32_t>& src, int dstFormat,
                                 const std::vector<uint32_t>& dst, const palCTy* palette, const uint32_t* keyColour) {
  Image s = makeImage(int(src.size()), 1, srcFormat, palette), d = makeImage(int(dst.size()), 1, dstFormat);
  for (size_t i = 0; i < src.size(); ++i) setPel(*s, int(i), 0, src[i]);
  for (size_t i = 0; i < dst.size(); ++i) setPel(*d, int(i), 0, dst[i]);
  if (keyColour) s->SetColorKeyRGB(*keyColour);
  imgDrawParams p{};
  s->DrawEx(d.get(), 0, 0, nullptr, &p);
  std::vector<uint32_t> out;
  for (size_t i = 0; i < dst.size(); ++i) out.push_back(pelAt(*d, int(i), 0));
  return out;
}

}  // namespace

TEST(LayersDiffer, DrawRows) {
  errInit();
  using V = std::vector<uint32_t>;
  // Rgbx8888 <- Rgb888: talvo::g keeps the destination's x byte, the engine
  // writes 255.
  EXPECT_EQ(talvoCopy(g::PelFmt(g::pel_type::rgb888), {0x00302010}, g::PelFmt(g::pel_type::rgbx8888), {0x12000000},
                      nullptr)[0],
            0x12302010u);
  EXPECT_EQ(engineCopy(pel_FMT_R8G8B8, {0x302010}, pel_FMT_X8R8G8B8, {0x12000000}, nullptr, nullptr)[0], 0xFF302010u);

  // An X8R8G8B8 key: talvo::g compares 24 bits, the engine all 32.
  const uint32_t key = 0xFF030201;
  EXPECT_EQ(talvoCopy(g::PelFmt(g::pel_type::rgbx8888), {0x00030201}, g::PelFmt(g::pel_type::rgbx8888), {0}, &key),
            V{0});
  EXPECT_EQ(engineCopy(pel_FMT_X8R8G8B8, {0x00030201}, pel_FMT_X8R8G8B8, {0}, nullptr, &key), V{0x00030201});

  // A paletted key: talvo::g compares the index, the engine the colour (two
  // indices of one colour both skipped).
  const g::Rgba8888 colours[3] = {g::Rgba8888::from_raw(0xFF102030), g::Rgba8888::from_raw(0xFF405060),
                                  g::Rgba8888::from_raw(0xFF102030)};
  g::Palette tp;
  tp.set(colours, 3);
  const uint32_t index0 = 0;
  EXPECT_EQ(talvoCopy(g::PelFmt(g::pel_type::index8, &tp), {0x020100}, g::PelFmt(g::pel_type::rgbx8888), {0, 0, 0},
                      &index0),
            (V{0, 0x405060, 0x102030}));  // index 2 drawn (the x byte kept)
  palCTy ep;
  const uint8_t quads[] = {0x30, 0x20, 0x10, 0, 0x60, 0x50, 0x40, 0, 0x30, 0x20, 0x10, 0};
  ep.Set(quads, 3);
  const uint32_t colour = 0xFF102030;
  EXPECT_EQ(engineCopy(pel_FMT_P8, {0, 1, 2}, pel_FMT_X8R8G8B8, {0, 0, 0}, &ep, &colour), (V{0, 0xFF405060, 0}));
}
