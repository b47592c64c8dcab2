// Resampling: the worked examples, the filtered resampler against an
// independent model, nearest neighbour against its index arithmetic, the
// entry points' copies and refusals, and one-pel and large sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Lib/talvo/src/img/pel_reference.h"
#include "Lib/talvo/src/img/resample_reference.h"
#include "Lib/talvo/src/img/vector_levels.h"
#include "img/Image.h"
#include "img/Resample.h"
#include "img/VectorLevel.h"
#include "talvo/Exception.h"

using namespace talvo::g;

namespace {

using Pels = std::vector<std::uint32_t>;

constexpr std::uint32_t grey(std::uint32_t v) { return v * 0x010101u; }
Pels greys(std::initializer_list<std::uint32_t> levels) {
  Pels out;
  for (std::uint32_t v : levels) out.push_back(grey(v));
  return out;
}

// The pels of an image as numbers, row by row.
Pels pels_of(Image& image) {
  Pels out;
  Image::Lock lock(image, nullptr, Image::Lock::read);
  const int size = bytes_per_pel(image.type());
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      out.push_back(pelref::load(lock.row(y) + std::size_t(x) * size, size));
  return out;
}

void write_pels(Image& image, const Pels& pels) {
  Image::Lock lock(image, nullptr, Image::Lock::write_all);
  const int size = bytes_per_pel(image.type());
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      pelref::store(lock.row(y) + std::size_t(x) * size, size, pels[std::size_t(y) * image.width() + x]);
}

// A source over a borrowed buffer, top-down or bottom-up, with slack at the
// end of each row and guard bytes around it.
struct Borrowed {
  std::mt19937 rng{7};
  pelref::Buffer buffer;
  ImageRow image;
  Borrowed(PelType type, int w, int h, const Pels& pels, bool bottom_up)
      : buffer(w, h, bytes_per_pel(type), bottom_up, rng),
        image(w, h, PelFmt(type), buffer.first_row(), buffer.signed_pitch()) {
    write_pels(image, pels);
  }
};

using vector_levels::at_every_level;

}  // namespace

TEST(Resample, WorkedExamples) {
  constexpr std::uint32_t K = 0xFF00FF;  // an Rgb888 key
  constexpr std::uint32_t K4 = 0x80FF00FF, O4 = 0xFFFF00FF;  // Rgba8888 keys
  constexpr std::uint32_t none = 0xFFFFFFFF;
  using M = ResampleMode;
  const PelType rgb = pel_type::rgb888;
  const struct {
    const char* what;
    PelType type;
    int sw, sh;
    Pels src;
    std::uint32_t key;  // `none`: no colour key
    int w, h;
    M mode;
    Pels want;
  } cases[] = {
      {"2x2 -> 4x2 nearest", rgb, 2, 2, greys({0, 255, 0, 255}), none, 4, 2, M::nearest,
       greys({0, 0, 255, 255, 0, 0, 255, 255})},
      {"2x2 -> 4x2 filter: W - 1 spreads the positions", rgb, 2, 2, greys({0, 255, 0, 255}), none, 4, 2,
       M::filter, greys({0, 63, 127, 191, 0, 63, 127, 191})},
      {"2x2 -> 4x2 rows wrap", rgb, 2, 2, greys({0, 255, 0, 255}), none, 4, 2, M::filter_wrap_y,
       greys({0, 63, 127, 191, 0, 63, 127, 191})},
      {"2x2 -> 4x2 columns wrap: the last pel lies between column 1 and 0", rgb, 2, 2,
       greys({0, 255, 0, 255}), none, 4, 2, M::filter_wrap_x, greys({0, 127, 255, 127, 0, 127, 255, 127})},
      {"2x2 -> 4x2 both wrap", rgb, 2, 2, greys({0, 255, 0, 255}), none, 4, 2, M::filter_wrap_xy,
       greys({0, 127, 255, 127, 0, 127, 255, 127})},
      {"4x2 -> 4x3 filter: the unchanged width still uses W - 1", rgb, 4, 2,
       greys({0, 80, 160, 240, 0, 80, 160, 240}), none, 4, 3, M::filter,
       greys({0, 70, 140, 180, 0, 70, 140, 180, 0, 70, 140, 180})},
      {"4x2 -> 4x3 rows wrap", rgb, 4, 2, greys({0, 80, 160, 240, 0, 80, 160, 240}), none, 4, 3,
       M::filter_wrap_y, greys({0, 70, 140, 180, 0, 70, 140, 180, 0, 70, 140, 180})},
      {"4x2 -> 4x3 columns wrap keep the columns", rgb, 4, 2, greys({0, 80, 160, 240, 0, 80, 160, 240}),
       none, 4, 3, M::filter_wrap_x, greys({0, 80, 160, 240, 0, 80, 160, 240, 0, 80, 160, 240})},
      {"4x2 -> 4x3 both wrap", rgb, 4, 2, greys({0, 80, 160, 240, 0, 80, 160, 240}), none, 4, 3,
       M::filter_wrap_xy, greys({0, 80, 160, 240, 0, 80, 160, 240, 0, 80, 160, 240})},
      {"5x2 -> 2x2 filter: corner sample plus inner columns", rgb, 5, 2,
       greys({10, 20, 30, 40, 50, 10, 20, 30, 40, 50}), none, 2, 2, M::filter, greys({20, 41, 20, 41})},
      {"5x2 -> 2x2 both wrap", rgb, 5, 2, greys({10, 20, 30, 40, 50, 10, 20, 30, 40, 50}), none, 2, 2,
       M::filter_wrap_xy, greys({20, 41, 20, 41})},
      {"4x4 -> 2x2 whole ratio: truncated block means", rgb, 4, 4,
       greys({0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3}), none, 2, 2, M::filter, greys({0, 2, 0, 2})},
      {"3x1 -> 6x1 both wrap: one row is allowed", rgb, 3, 1, greys({0, 90, 180}), none, 6, 1,
       M::filter_wrap_xy, greys({0, 45, 90, 135, 180, 90})},
      {"3x1 -> 6x1 columns wrap: the one row is its own neighbour", rgb, 3, 1, greys({0, 90, 180}), none, 6,
       1, M::filter_wrap_x, greys({0, 45, 90, 135, 180, 90})},
      {"3x1 -> 6x1 filter: truncation darkens, the last column is never reached", rgb, 3, 1,
       greys({0, 90, 180}), none, 6, 1, M::filter, greys({0, 29, 59, 90, 119, 149})},
      {"keyed 2x2 -> 1x1, three key pels", rgb, 2, 2, {K, K, K, grey(100)}, K, 1, 1, M::filter,
       greys({100})},
      {"keyed 2x2 -> 1x1, all key: the key pel", rgb, 2, 2, {K, K, K, K}, K, 1, 1, M::filter, {K}},
      {"keyed 2x2 -> 4x4, top right key: never mixed in", rgb, 2, 2, {grey(100), K, grey(50), grey(200)}, K,
       4, 4, M::filter,
       greys({100, 100, 100, 100, 87, 96, 106, 115, 75, 93, 112, 131, 62, 90, 118, 146})},
      {"the same without key: the key colour mixes in", rgb, 2, 2, {grey(100), K, grey(50), grey(200)}, none,
       4, 4, M::filter,
       {0x646464, 0x8a4b8a, 0xb132b1, 0xd819d8, 0x575757, 0x7d4e7d, 0xa444a4, 0xca3bca, 0x4b4b4b,
        0x715171, 0x975797, 0xbd5dbd, 0x3e3e3e, 0x645464, 0x8a6a8a, 0xaf80af}},
      {"Rgba8888 key, both wrap: the key goes over with alpha 255", pel_type::rgba8888, 2, 2,
       {K4, K4, O4, O4}, K4, 1, 1, M::filter_wrap_xy, {K4}},
      {"Rgba8888 key, filter: the key as it is", pel_type::rgba8888, 2, 2, {K4, K4, O4, O4}, K4, 1, 1,
       M::filter, {O4}},
      {"Rgba8888 key, both wrap, all skipped: key with alpha 255", pel_type::rgba8888, 2, 2,
       {O4, O4, O4, O4}, K4, 1, 1, M::filter_wrap_xy, {O4}},
      {"Rgba8888 key, filter, all skipped: the key", pel_type::rgba8888, 2, 2, {K4, K4, K4, K4}, K4, 1, 1,
       M::filter, {K4}},
      {"indices 4x3 -> 2x2 nearest: the pels under the centres", pel_type::index8, 4, 3,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, none, 2, 2, M::nearest, {2, 4, 10, 12}},
      {"indices are never filtered", pel_type::index8, 4, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 3, 2,
       2, M::filter_wrap_xy, {2, 4, 10, 12}},
      {"nearest from one pel: the whole pel everywhere", pel_type::rgbx8888, 1, 1, {0xAB123456}, none, 3, 2,
       M::nearest, Pels(6, 0xAB123456)},
  };
  for (const auto& c : cases) {
    for (bool bottom_up : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (bottom_up ? " (bottom-up source)" : ""));
      Borrowed s(c.type, c.sw, c.sh, c.src, bottom_up);
      if (c.key != none) s.image.set_color_key(c.key);
      ImageRow d;
      d.scale(s.image, c.w, c.h, c.mode);
      EXPECT_EQ(d.width(), c.w);
      EXPECT_EQ(d.height(), c.h);
      EXPECT_EQ(d.type(), c.type);
      EXPECT_FALSE(d.has_color_key());
      EXPECT_EQ(pels_of(d), c.want);
      EXPECT_TRUE(s.buffer.guards_intact());
    }
  }
}

// Random pictures of every format, mode, key and orientation against the
// model; most sizes are small, some are whole multiples, some one pel.
TEST(Resample, FilteredMatchesTheModel) {
  at_every_level([] {
    std::mt19937 rng(2024);
    const ResampleMode modes[] = {ResampleMode::filter, ResampleMode::filter_wrap_x,
                                  ResampleMode::filter_wrap_y, ResampleMode::filter_wrap_xy};
    auto size = [&] { return int(rng() % 4 == 0 ? 1 + rng() % 3 : 1 + rng() % 23); };
    int runs = 0;
    for (const pelref::Layout& l : pelref::layouts)
      for (ResampleMode mode : modes)
        for (int round = 0; round < 24; ++round) {
          const bool keyed = round % 2 == 1, bottom_up = round % 4 >= 2;
          int sw = size(), sh = size(), w = size(), h = size();
          if (round % 3 == 2) {  // whole multiples of the destination
            sw = w * (1 + rng() % 3);
            sh = h * (1 + rng() % 3);
          }
          if (sw == w && sh == h) ++w;
          // A few colours, one of them the key (x bits varied, which the key
          // test ignores).
          std::uint32_t colours[5];
          for (auto& c : colours) c = rng() & pelref::mask_of(l.size);
          resref::Picture src{sw, sh, {}};
          for (int i = 0; i < sw * sh; ++i)
            src.pels.push_back((colours[rng() % 5] ^ (rng() & l.x_mask)) & pelref::mask_of(l.size));
          const std::uint32_t key = colours[0];

          SCOPED_TRACE(std::string(l.name) + " mode " + std::to_string(int(mode)) + " " +
                       std::to_string(sw) + "x" + std::to_string(sh) + " -> " + std::to_string(w) + "x" +
                       std::to_string(h) + (keyed ? " keyed" : "") + (bottom_up ? " bottom-up" : ""));
          Borrowed s(l.type, sw, sh, src.pels, bottom_up);
          if (keyed) s.image.set_color_key(key);
          ImageRow d;
          d.scale(s.image, w, h, mode);
          const resref::Picture want = resref::resample(l.type, int(mode), keyed, key, src, w, h);
          ASSERT_EQ(pels_of(d), want.pels);
          ++runs;
        }
    EXPECT_EQ(runs, 8 * 4 * 24);
  });
}

// Other ratios of 8888 pels at every level, up and down in each direction:
// footprints of one to four columns (counts that are and are not powers of
// two), fractions up to 65535, odd widths and rows that leave tails, and
// bright pels that take the sums near their bounds.
TEST(Resample, OtherRatiosOf8888AtEveryLevel) {
  at_every_level([] {
    std::mt19937 rng(3);
    const int sizes[][4] = {{37, 5, 50, 7},   {37, 9, 17, 4},  {3, 2, 41, 9},   {41, 7, 11, 3},
                            {400, 2, 9, 2},   {5, 3, 8191, 1},  {13, 13, 4, 5}, {2, 40, 23, 13}};
    for (PelType type : {pel_type::rgbx8888, pel_type::rgba8888})
      for (const auto& z : sizes)
        for (int m = 1; m <= 4; ++m) {
          const int sw = z[0], sh = z[1], w = z[2], h = z[3];
          resref::Picture src{sw, sh, {}};
          for (int i = 0; i < sw * sh; ++i)
            src.pels.push_back(rng() % 3 == 0 ? rng() : 0xFFFFFFFFu ^ (rng() & 0x01010101u));
          SCOPED_TRACE(std::to_string(int(type)) + " mode " + std::to_string(m) + " " + std::to_string(sw) + "x" +
                       std::to_string(sh) + " -> " + std::to_string(w) + "x" + std::to_string(h));
          Borrowed s(type, sw, sh, src.pels, m % 2 == 0);
          ImageRow d;
          d.scale(s.image, w, h, ResampleMode(m));
          ASSERT_EQ(pels_of(d), resref::resample(type, m, false, 0, src, w, h).pels);
          EXPECT_TRUE(s.buffer.guards_intact());
        }
  });
}

// Whole ratios of 8888 pels at every level: blocks of one, two and more
// pels across, block counts that are and are not powers of two, and widths
// that fill whole vectors and leave tails (odd, and shorter than a vector).
TEST(Resample, WholeRatiosOf8888AtEveryLevel) {
  at_every_level([] {
    std::mt19937 rng(33);
    const int widths[] = {1, 3, 4, 5, 8, 17, 37};
    const int ratios[][2] = {{1, 2}, {2, 1}, {2, 2}, {2, 3}, {1, 4}, {4, 2}, {3, 3}, {16, 16}, {5, 1}};
    for (PelType type : {pel_type::rgbx8888, pel_type::rgba8888})
      for (int w : widths)
        for (const auto& r : ratios) {
          const int h = 2, sw = w * r[0], sh = h * r[1];
          resref::Picture src{sw, sh, {}};
          // Mostly bright bytes, so that the sums reach the top of 16 bits.
          for (int i = 0; i < sw * sh; ++i)
            src.pels.push_back(rng() % 3 == 0 ? rng() : 0xFFFFFFFFu ^ (rng() & 0x03030303u));
          SCOPED_TRACE(std::to_string(int(type)) + " " + std::to_string(sw) + "x" + std::to_string(sh) + " -> " +
                       std::to_string(w) + "x" + std::to_string(h));
          Borrowed s(type, sw, sh, src.pels, w % 2 == 1);
          ImageRow d;
          d.scale(s.image, w, h, ResampleMode::filter);
          ASSERT_EQ(pels_of(d), resref::resample(type, 1, false, 0, src, w, h).pels);
          EXPECT_TRUE(s.buffer.guards_intact());
        }
  });
}

// Each destination pel is a copy of the source pel the 16.16 index
// arithmetic names, which lies under the destination pel's centre (the
// truncated steps only ever move it left or up by at most one).
TEST(Resample, NearestFollowsTheIndexArithmetic) {
  std::mt19937 rng(99);
  const PelType types[] = {pel_type::index8, pel_type::rgb565, pel_type::rgb888, pel_type::rgba8888};
  for (PelType type : types)
    for (int round = 0; round < 30; ++round) {
      const int size = bytes_per_pel(type);
      const int limit = size == 1 ? 15 : 60;
      const int sw = 1 + rng() % limit, sh = 1 + rng() % limit, w = 1 + rng() % 70, h = 1 + rng() % 70;
      SCOPED_TRACE(std::to_string(type) + ": " + std::to_string(sw) + "x" + std::to_string(sh) + " -> " +
                   std::to_string(w) + "x" + std::to_string(h));
      // Each source pel names its column and row.
      auto name = [&](std::int64_t c, std::int64_t r) {
        return std::uint32_t(size == 1 ? r * 16 + c : r << (4 * size) | c);
      };
      Pels src;
      for (int r = 0; r < sh; ++r)
        for (int c = 0; c < sw; ++c) src.push_back(name(c, r));
      Borrowed s(type, sw, sh, src, round % 2 == 1);
      ImageRow d;
      d.scale(s.image, w, h, ResampleMode::nearest);
      const Pels got = pels_of(d);
      const std::int64_t step_x = (std::int64_t(sw) << 16) / w, step_y = (std::int64_t(sh) << 16) / h;
      for (std::int64_t i = 0; i < h; ++i)
        for (std::int64_t j = 0; j < w; ++j) {
          const std::int64_t c = (step_x / 2 + j * step_x) >> 16, r = (step_y / 2 + i * step_y) >> 16;
          const std::int64_t centre_c = (2 * j + 1) * sw / (2 * w), centre_r = (2 * i + 1) * sh / (2 * h);
          ASSERT_TRUE(c <= centre_c && c >= centre_c - 1 && c < sw) << j;
          ASSERT_TRUE(r <= centre_r && r >= centre_r - 1 && r < sh) << i;
          ASSERT_EQ(got[std::size_t(i * w + j)], name(c, r)) << j << "," << i;
        }
    }
}

TEST(Resample, ScaleAtTheSameSizeCopies) {
  ImageRow self;
  self.create(2, 2, PelFmt(pel_type::rgb565));
  write_pels(self, {1, 2, 3, 4});
  self.set_color_key(3);
  std::uint8_t* const before = self.pels();
  self.scale(self, 2, 2, ResampleMode::filter);
  self.resize(2, 2, ResampleMode(77));  // an unchanged size does nothing, whatever the mode
  EXPECT_EQ(self.pels(), before);
  EXPECT_TRUE(self.has_color_key());
  EXPECT_EQ(self.key_pel(), 3u);

  // From another image: the source pel for pel, with its key; the fresh pels
  // under the source's key pels get the key pel.
  ImageRow copy;
  copy.create(5, 5, PelFmt(pel_type::rgb888));
  copy.set_color_key(9);
  copy.scale(self, 2, 2, ResampleMode::nearest);
  EXPECT_EQ(copy.type(), pel_type::rgb565);
  EXPECT_EQ(pels_of(copy), (Pels{1, 2, 3, 4}));
  EXPECT_TRUE(copy.has_color_key());
  EXPECT_EQ(copy.key_pel(), 3u);
  // A source without a key leaves no key behind.
  self.clear_color_key();
  copy.scale(self, 2, 2, ResampleMode::nearest);
  EXPECT_FALSE(copy.has_color_key());

  // An Rgbx8888 pel of the key colour takes the key pel's x byte.
  ImageRow x;
  x.create(2, 1, PelFmt(pel_type::rgbx8888));
  write_pels(x, {0x11ABCDEF, 0x22000001});
  x.set_color_key(0x33ABCDEF);
  ImageRow xcopy;
  xcopy.scale(x, 2, 1, ResampleMode::filter);
  EXPECT_EQ(pels_of(xcopy), (Pels{0x33ABCDEF, 0x22000001}));
}

// Index images have no fill: a keyed one is copied byte for byte, key
// indices included, and resampled by nearest neighbour in every mode, its
// palette kept.
TEST(Resample, KeyedIndexImages) {
  const Rgba8888 colours[] = {{0xFF000000}, {0xFF0000FF}, {0xFF00FF00}, {0xFFFF0000}};
  Palette palette;
  palette.set(colours, 4);
  ImageRow src;
  src.create(2, 2, PelFmt(pel_type::index8, &palette));
  write_pels(src, {0, 1, 2, 3});
  src.set_color_key(2);

  ImageRow same;
  same.scale(src, 2, 2, ResampleMode::filter);
  EXPECT_EQ(pels_of(same), (Pels{0, 1, 2, 3}));
  EXPECT_TRUE(same.has_color_key());
  EXPECT_EQ(same.key_pel(), 2u);

  same.resize(4, 2, ResampleMode::filter_wrap_xy);
  EXPECT_EQ(pels_of(same), (Pels{0, 0, 1, 1, 2, 2, 3, 3}));
  EXPECT_FALSE(same.has_color_key());
  ASSERT_NE(same.palette(), nullptr);
  EXPECT_NE(same.palette(), &palette);
  EXPECT_EQ(same.palette()->count(), 4u);
  EXPECT_EQ(same.palette()->entry(3, pel_type::rgba8888), 0xFFFF0000u);
}

TEST(Resample, ResizeOfAKeyedRowSkipsTheKeyAndDropsIt) {
  const std::uint32_t K = 0x001F;  // Rgb565 blue
  ImageRow row;
  row.create(2, 2, PelFmt(pel_type::rgb565));
  write_pels(row, {K, K, K, 0x1234});
  row.set_color_key(K);
  row.resize(1, 1, ResampleMode::filter);
  EXPECT_EQ(pels_of(row), (Pels{0x1234}));
  EXPECT_FALSE(row.has_color_key());
}

TEST(Resample, ResizeOfBorrowedPelsLeavesThemAlone) {
  Borrowed s(pel_type::rgb888, 2, 2, greys({0, 255, 0, 255}), false);
  const std::vector<std::uint8_t> before = s.buffer.bytes;
  s.image.resize(4, 2, ResampleMode::filter);
  EXPECT_TRUE(s.image.owns_pels());
  EXPECT_EQ(pels_of(s.image), greys({0, 63, 127, 191, 0, 63, 127, 191}));
  EXPECT_EQ(s.buffer.bytes, before);
}

// What no resampler handles is refused before the image changes.
TEST(Resample, RefusalsLeaveTheImageAsItWas) {
  const struct {
    const char* what;
    PelType type;
    int w, h;
    ResampleMode mode;
    const char* message;
  } cases[] = {
      {"width 0", pel_type::rgb565, 0, 3, ResampleMode::filter, "Invalid image size"},
      {"negative height", pel_type::rgb565, 3, -1, ResampleMode::nearest, "Invalid image size"},
      {"past the largest side", pel_type::rgb565, 32769, 1, ResampleMode::nearest, "Invalid image size"},
      {"mode 5", pel_type::rgb565, 3, 3, ResampleMode(5), "NOT IMPLEMENTED"},
      {"mode -1", pel_type::index8, 3, 3, ResampleMode(-1), "NOT IMPLEMENTED"},
      {"type 0", pel_type::none, 3, 3, ResampleMode::nearest, "NOT IMPLEMENTED"},
      {"type 10", pel_type::reserved10, 3, 3, ResampleMode::filter, "NOT IMPLEMENTED"},
      {"type 11", pel_type::reserved11, 3, 3, ResampleMode::nearest, "NOT IMPLEMENTED"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ImageRow row;
    row.create(2, 2, PelFmt(c.type));
    write_pels(row, {1, 2, 3, 4});
    row.set_color_key(4);
    std::uint8_t* const before = row.pels();
    try {
      row.resize(c.w, c.h, c.mode);
      ADD_FAILURE() << "not refused";
    } catch (const talvo::Exception& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(row.pels(), before);
    EXPECT_EQ(row.width(), 2);
    EXPECT_TRUE(row.has_color_key());
    EXPECT_EQ(pels_of(row), (Pels{1, 2, 3, 4}));
  }
  // A source without pels is refused as well.
  ImageRow empty, d;
  EXPECT_THROW(d.scale(empty, 2, 2, ResampleMode::filter), talvo::Exception);
}

// A one-pel source in every mode, and sizes where 16.16 positions leave 32
// bits: a wide borrowed source (W * 65536 past 2^31) and the largest
// destination side, against the model; no read or write outside the pels.
TEST(Resample, OnePelAndLargeSizes) {
  for (int m = 0; m <= 4; ++m) {
    SCOPED_TRACE(m);
    Borrowed one(pel_type::rgb888, 1, 1, {0x123456}, m % 2 == 1);
    ImageRow d;
    d.scale(one.image, 5, 3, ResampleMode(m));
    EXPECT_EQ(pels_of(d), Pels(15, 0x123456));
    EXPECT_TRUE(one.buffer.guards_intact());
  }

  std::mt19937 rng(5);
  resref::Picture wide{40000, 2, {}};
  for (int i = 0; i < 80000; ++i) wide.pels.push_back(rng() & 0xFFFF);
  Borrowed s(pel_type::rgb565, 40000, 2, wide.pels, true);
  for (int m = 1; m <= 4; ++m) {
    SCOPED_TRACE(m);
    ImageRow d;
    d.scale(s.image, 7, 3, ResampleMode(m));
    EXPECT_EQ(pels_of(d), resref::resample(pel_type::rgb565, m, false, 0, wide, 7, 3).pels);
    // Centres at 6666.67, 20000 and 33333.3; the truncated steps give the
    // columns 6666, 19999 and 33333, rows 0 and 1.
    d.scale(s.image, 3, 2, ResampleMode::nearest);
    const int columns[] = {6666, 19999, 33333};
    Pels want;
    for (int r = 0; r < 2; ++r)
      for (int c : columns) want.push_back(wide.pels[std::size_t(r) * 40000 + c]);
    EXPECT_EQ(pels_of(d), want);
  }

  resref::Picture two{2, 2, {0x0000, 0xFFFF, 0x07E0, 0xF800}};
  Borrowed small(pel_type::rgb565, 2, 2, two.pels, false);
  ImageRow big;
  big.scale(small.image, 32768, 2, ResampleMode::filter);
  EXPECT_EQ(pels_of(big), resref::resample(pel_type::rgb565, 1, false, 0, two, 32768, 2).pels);
  EXPECT_TRUE(small.buffer.guards_intact());
}
