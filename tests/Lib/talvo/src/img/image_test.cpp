// Images, locks, colour keys and the first dispatch of Image::apply.
#include "img/Image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "img/Op.h"
#include "talvo/Exception.h"

using namespace talvo::g;

namespace {

// Records which slot ran and the rectangle it saw.
struct Recorder : BOp {
  std::string slot;
  Rect seen{-1, -1, -1, -1};
  void note(const char* s) {
    slot = s;
    if (rect) seen = *rect;
  }
  void on_palette() override { note("palette"); }
  void on_type9(std::uint8_t*) override { note("type9"); }
  void on_type10(std::uint16_t*) override { note("type10"); }
  void on_type11(std::uint32_t*) override { note("type11"); }
  void on_Rgbx4444(Rgbx4444*) override { note("Rgbx4444"); }
  void on_Rgba4444(Rgba4444*) override { note("Rgba4444"); }
  void on_Rgbx5551(Rgbx5551*) override { note("Rgbx5551"); }
  void on_Rgba5551(Rgba5551*) override { note("Rgba5551"); }
  void on_Rgb565(Rgb565*) override { note("Rgb565"); }
  void on_Rgb888(Rgb888*) override { note("Rgb888"); }
  void on_Rgba8888(Rgba8888*) override { note("Rgba8888"); }
  void on_Rgbx8888(Rgbx8888*) override { note("Rgbx8888"); }
};

Palette four_colours() {
  const Rgba8888 c[] = {{0xFF000000}, {0xFF0000FF}, {0xFF00FF00}, {0xFFFF0000}};
  Palette p;
  p.set(c, 4);
  return p;
}

}  // namespace

TEST(Rect, Intersect) {
  const struct {
    Rect a, b, want;
  } cases[] = {
      {{0, 0, 10, 10}, {5, 2, 20, 8}, {5, 2, 10, 8}},
      {{0, 0, 10, 10}, {20, 30, 40, 50}, {20, 30, 20, 30}},  // empty keeps x1 >= x0
      {{5, 5, 6, 6}, {0, 0, 100, 100}, {5, 5, 6, 6}},
  };
  for (const auto& c : cases) {
    Rect r = c.a, out{};
    EXPECT_EQ(c.a.intersection(c.b, out), c.want);
    EXPECT_EQ(r, c.a);
    r.intersect(c.b);
    EXPECT_EQ(r, c.want);
  }
}

TEST(Image, LockAddressesTheWindowOfAnyPitch) {
  std::vector<std::uint8_t> buffer(1200);
  std::uint8_t* first = buffer.data() + 900;
  ImageRow bottom_up(100, 4, PelFmt(pel_type::rgb888), first, -300);
  const Rect r{2, 3, 5, 4};
  {
    Image::Lock lock(bottom_up, &r, Image::Lock::write_all);
    EXPECT_EQ(lock.pels, first + 6 - 900);
    EXPECT_EQ(lock.pitch, -300);
    EXPECT_EQ(lock.mode, Image::Lock::write_all);
    EXPECT_EQ(lock.rect, r);
  }
  ImageRow owned;
  owned.create(7, 5, PelFmt(pel_type::rgb565));
  EXPECT_EQ(owned.pitch(), 14);
  EXPECT_TRUE(owned.owns_pels());
  Image::Lock whole(owned, nullptr, Image::Lock::read);
  EXPECT_EQ(whole.pels, owned.pels());
  EXPECT_EQ(whole.rect, (Rect{0, 0, 7, 5}));
}

TEST(Image, GetPelByType) {
  const std::uint8_t bytes[] = {1, 2, 3, 4};
  const struct {
    PelType type;
    std::uint32_t want;
  } cases[] = {
      {pel_type::rgb888, 0x030201},   {pel_type::rgbx8888, 0x030201}, {pel_type::rgba8888, 0x04030201},
      {pel_type::rgb565, 0x0201},     {pel_type::rgba4444, 0x0201},   {pel_type::index8, 0x01},
      {pel_type::reserved10, 0},      {pel_type::reserved11, 0},      {pel_type::none, 0},
  };
  for (const auto& c : cases) {
    std::uint8_t copy[4];
    std::memcpy(copy, bytes, 4);
    ImageRow img(1, 1, PelFmt(c.type), copy, 4);
    EXPECT_EQ(img.get_pel(0, 0), c.want) << c.type;
  }
}

TEST(Image, CreateRefusesBadSizesBeforeAllocating) {
  ImageRow img;
  img.create(3, 2, PelFmt(pel_type::rgba8888));
  std::uint8_t* pels = img.pels();
  const struct {
    int w, h;
  } bad[] = {{0, 5}, {5, 0}, {-1, 5}, {5, -3}, {32769, 1}, {1, 32769}, {-2147483647 - 1, 1}};
  for (const auto& b : bad) {
    EXPECT_THROW(img.create(b.w, b.h, PelFmt(pel_type::rgb888)), talvo::Exception) << b.w << "x" << b.h;
    EXPECT_EQ(img.pels(), pels);
    EXPECT_EQ(img.width(), 3);
    EXPECT_EQ(img.type(), pel_type::rgba8888);
  }
  img.create(32768, 1, PelFmt(pel_type::index8));
  EXPECT_EQ(img.pitch(), 32768);
}

TEST(Image, ColourKeys) {
  ImageRow img;
  img.create(2, 2, PelFmt(pel_type::rgb565));
  img.set_color_key_rgb(Rgba8888{0xFF00FF00});
  EXPECT_TRUE(img.has_color_key());
  EXPECT_EQ(img.key_pel(), 0x07E0u);
  EXPECT_EQ(img.key_colour(), 0xFF00FF00u);

  img.set_color_key(0xF800);
  EXPECT_EQ(img.key_colour(), 0xFF0000u);
  img.clear_color_key();
  EXPECT_FALSE(img.has_color_key());
  EXPECT_EQ(img.key_pel(), 0xF800u);

  img.set_color_key(0x001F);
  img.create(2, 2, PelFmt(pel_type::rgb565));  // a new buffer drops the key
  EXPECT_FALSE(img.has_color_key());

  Palette p = four_colours();
  ImageRow indexed;
  indexed.create(2, 2, PelFmt(pel_type::index8, &p));
  indexed.set_color_key_rgb(Rgba8888{0x8000F010});
  EXPECT_EQ(indexed.key_pel(), 2u);
  EXPECT_EQ(indexed.key_colour(), 0x8000F010u);
  indexed.set_color_key(3);
  EXPECT_EQ(indexed.key_colour(), 0xFF0000u);
}

TEST(Image, OpaqueRect) {
  ImageRow img;
  img.create(4, 3, PelFmt(pel_type::rgbx5551));
  img.set_color_key(0x1234);
  Image::Lock lock(img, nullptr, Image::Lock::write);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) std::memcpy(lock.row(y) + 2 * x, "\x34\x92", 2);  // key but bit 15
  Rect r{9, 9, 9, 9};
  img.get_opaque_rect(r);
  EXPECT_EQ(r, (Rect{0, 0, 0, 0}));
  std::memcpy(lock.row(2) + 2 * 1, "\x35\x12", 2);
  std::memcpy(lock.row(0) + 2 * 3, "\x00\x00", 2);
  img.get_opaque_rect(r);
  EXPECT_EQ(r, (Rect{1, 0, 4, 3}));

  std::uint32_t none_pels[4] = {1, 2, 3, 4};
  ImageRow untyped(2, 2, PelFmt(), reinterpret_cast<std::uint8_t*>(none_pels), 8);
  r = Rect{9, 9, 9, 9};
  untyped.get_opaque_rect(r);
  EXPECT_EQ(r, (Rect{9, 9, 9, 9}));  // type 0: not written
}

// The first dispatch: which slot runs for which image.
TEST(Image, ApplyCallsTheSlotOfTheType) {
  Palette p = four_colours();
  const struct {
    PelFmt fmt;
    const char* slot;
  } cases[] = {
      {PelFmt(pel_type::rgb888), "Rgb888"},     {PelFmt(pel_type::rgbx8888), "Rgbx8888"},
      {PelFmt(pel_type::rgba8888), "Rgba8888"}, {PelFmt(pel_type::rgb565), "Rgb565"},
      {PelFmt(pel_type::rgbx5551), "Rgbx5551"}, {PelFmt(pel_type::rgba5551), "Rgba5551"},
      {PelFmt(pel_type::rgbx4444), "Rgbx4444"}, {PelFmt(pel_type::rgba4444), "Rgba4444"},
      {PelFmt(pel_type::index8), "type9"},      {PelFmt(pel_type::reserved10), "type10"},
      {PelFmt(pel_type::reserved11), "type11"}, {PelFmt(pel_type::index8, &p), "palette"},
      {PelFmt(pel_type::none), ""},             {PelFmt(12), ""},
  };
  std::uint8_t pels[64] = {};
  for (const auto& c : cases) {
    ImageRow img(3, 2, c.fmt, pels, 12);
    Recorder op;
    img.apply(op);
    EXPECT_EQ(op.slot, c.slot) << c.fmt.type();
    if (*c.slot) {
      EXPECT_EQ(op.seen, (Rect{0, 0, 3, 2}));
    }
    EXPECT_EQ(op.rect, nullptr);  // the run's rectangle is not left behind
  }
}

TEST(Image, ApplyCutsTheRectangleToTheClip) {
  ImageRow img;
  img.create(10, 10, PelFmt(pel_type::rgb565));
  img.set_clip_rect(Rect{2, 3, 8, 9});
  const Rect r{0, 0, 5, 5};
  Recorder op;
  op.rect = &r;
  img.apply(op);
  EXPECT_EQ(op.seen, (Rect{2, 3, 5, 5}));
  EXPECT_EQ(op.rect, &r);

  Recorder outside;
  const Rect far{8, 0, 10, 3};
  outside.rect = &far;
  img.apply(outside);
  EXPECT_EQ(outside.slot, "");

  img.create(4, 4, PelFmt(pel_type::rgb565));  // the clip follows a new size
  EXPECT_EQ(img.clip_rect(), (Rect{0, 0, 4, 4}));
}

TEST(Image, ApplyBinaryPlacesTheSourceRectangle) {
  ImageRow dst, src;
  dst.create(40, 40, PelFmt(pel_type::rgb565));
  src.create(10, 20, PelFmt(pel_type::rgb888));
  struct Capture : Recorder {
    Rect d{}, t{};
    void on_Rgb565(Rgb565*) override {
      d = *rect;
      t = *source_rect;
      slot = "Rgb565";
    }
  };
  Capture op;
  dst.apply_binary(5, 7, src, nullptr, op);
  EXPECT_EQ(op.d, (Rect{5, 7, 15, 27}));
  EXPECT_EQ(op.t, (Rect{0, 0, 10, 20}));

  // With a clip, the destination is cut and the source rectangle follows.
  dst.set_clip_rect(Rect{8, 10, 12, 40});
  const Rect s{1, 2, 9, 12};
  Capture clipped;
  dst.apply_binary(5, 7, src, &s, clipped);
  EXPECT_EQ(clipped.d, (Rect{8, 10, 12, 17}));
  EXPECT_EQ(clipped.t, (Rect{4, 5, 8, 12}));

  // The source's clip does not cut the destination rectangle.
  dst.clear_clip_rect();
  src.set_clip_rect(Rect{0, 0, 1, 1});
  Capture unclipped;
  dst.apply_binary(5, 7, src, nullptr, unclipped);
  EXPECT_EQ(unclipped.d, (Rect{5, 7, 15, 27}));
}

TEST(Image, CloneCopiesPelsAndStartsKeyPelsAtZero) {
  ImageRow img;
  img.create(3, 2, PelFmt(pel_type::rgba8888));
  const std::uint32_t pels[6] = {1, 0x55, 3, 0x55, 5, 6};
  {
    Image::Lock lock(img, nullptr, Image::Lock::write_all);
    for (int y = 0; y < 2; ++y) std::memcpy(lock.row(y), pels + 3 * y, 12);
  }
  std::unique_ptr<Image> plain(img.clone());
  img.set_color_key(0x55);
  std::unique_ptr<Image> keyed(img.clone());
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(plain->get_pel(i % 3, i / 3), pels[i]);
    EXPECT_EQ(keyed->get_pel(i % 3, i / 3), pels[i] == 0x55 ? 0u : pels[i]);
  }
  EXPECT_FALSE(keyed->has_color_key());
  EXPECT_EQ(keyed->key_pel(), 0u);
}
