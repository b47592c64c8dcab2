// Rectangles, sprites and what they mark in their list's grid.
#include <functional>

#include "sprites_fixture.h"

using namespace engine_test;

namespace {

using SpriteTest = ImagesTest;

}  // namespace

TEST_F(SpriteTest, RectIntersect) {
  struct Case {
    rectCTy a, b;
    int result;
    rectCTy out;
  } cases[] = {
      {rect(0, 0, 10, 10), rect(10, 0, 5, 5), 0, rect(10, 0, 0, 0)},  // touching edges
      {rect(0, 0, 10, 10), rect(5, 5, 10, 10), 1, rect(5, 5, 5, 5)},
      {rect(0, 0, 10, 10), rect(2, 3, 4, 5), 1, rect(2, 3, 4, 5)},     // inside
      {rect(-5, -5, 10, 10), rect(0, 0, 10, 10), 1, rect(0, 0, 5, 5)},
      {rect(0, 0, 10, 10), rect(3, 20, 4, 4), 0, rect(3, 20, 0, 0)},   // apart, x and y kept
      {rect(0, 0, 10, 0), rect(0, 0, 10, 10), 0, rect(0, 0, 0, 0)},    // an empty one
      {rect(0, 0, 10, 10), rect(0, 0, -3, 10), 0, rect(0, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    rectCTy out = rect(-1, -1, -1, -1);
    EXPECT_EQ(out.Intersect(&c.a, &c.b), c.result) << c.a << " " << c.b;
    EXPECT_EQ(out, c.out) << c.a << " " << c.b;
  }
}

TEST_F(SpriteTest, GridGeometry) {
  struct Case {
    int w, h;
    uint32_t cols, rows, cellW, cellH;
  } cases[] = {
      {800, 600, 16, 20, 50, 30},
      {10, 10, 10, 10, 1, 1},
      {34, 48, 17, 16, 2, 3},
      {15, 16, 15, 16, 1, 1},
      {97, 51, 97, 17, 1, 3},  // a prime side gives cells of one pel
      {1, 1, 1, 1, 1, 1},
  };
  for (const Case& c : cases) {
    sprsCTy list;
    list.SetSize(c.w, c.h);
    EXPECT_EQ(list.grid.cols, c.cols) << c.w;
    EXPECT_EQ(list.grid.rows, c.rows) << c.h;
    EXPECT_EQ(list.grid.cellW, c.cellW) << c.w;
    EXPECT_EQ(list.grid.cellH, c.cellH) << c.h;
    EXPECT_EQ(counters(list), marked(list, {})) << c.w;
  }
  // A new size gives a new zeroed grid; no size, no grid and no marks.
  sprsCTy list;
  const rectCTy all = rect(0, 0, 100, 100);
  list.MarkDirty(&all, &all, 3);
  list.SetSize(160, 160);
  list.MarkDirty(&all, &all, 3);
  list.SetSize(160, 160);
  EXPECT_EQ(counters(list), marked(list, {}));
  list.SetSize(0, 5);
  EXPECT_EQ(list.grid.cells, nullptr);
  list.MarkDirty(&all, &all, 3);
}

// Each change of a sprite in a 160 x 160 list (cells of 10 x 10) marks what
// it should, read from the counters.
TEST_F(SpriteTest, ChangesMarkTheirRectangles) {
  Image small = solid(20, 10, 0x112233), big = solid(35, 25, 0x445566);
  struct Case {
    const char* name;
    bool attached;
    std::function<void(sprImgCTy&)> change;
    std::vector<rectCTy> marks;
  } cases[] = {
      {"SetPos to the same place", true, [](sprImgCTy& s) { s.SetPos(40, 30); }, {}},
      {"SetPos elsewhere", true, [](sprImgCTy& s) { s.SetPos(100, 120); },
       {rect(40, 30, 20, 10), rect(100, 120, 20, 10)}},
      {"SetPos detached", false, [](sprImgCTy& s) { s.SetPos(100, 120); }, {}},
      {"SetImage the same", true, [&](sprImgCTy& s) { s.SetImage(small.get()); }, {}},
      {"SetImage another", true, [&](sprImgCTy& s) { s.SetImage(big.get()); },
       {rect(40, 30, 20, 10), rect(40, 30, 35, 25)}},
      {"SetImage none", true, [](sprImgCTy& s) { s.SetImage(nullptr); }, {rect(40, 30, 20, 10)}},
      // Shrinking by the parameters marks the old rectangle too.
      {"SetDrawParams shrinking", true,
       [](sprImgCTy& s) {
         imgDrawParams p = s.drawParams;
         p.scaled = 1;
         p.scaleX = p.scaleY = 0.1f;
         s.SetDrawParams(&p);
       },
       {rect(40, 30, 20, 10)}},
      {"SetDrawParams moving the bounds", true,
       [](sprImgCTy& s) {
         imgDrawParams p = s.drawParams;
         p.scaled = 1;
         p.scaleX = 2.0f;
         s.SetDrawParams(&p);
       },
       {rect(40, 30, 40, 10)}},
      {"Hide", true, [](sprImgCTy& s) { s.Hide(); }, {rect(40, 30, 20, 10)}},
      {"Hide detached", false, [](sprImgCTy& s) { s.Hide(); }, {}},
      {"Show when shown", true, [](sprImgCTy& s) { s.Show(); }, {}},
      {"Hide, Show", true,
       [](sprImgCTy& s) {
         s.Hide();
         s.Show();
       },
       {rect(40, 30, 20, 10)}},
      {"SetZ", true, [](sprImgCTy& s) { s.SetZ(7); }, {rect(40, 30, 20, 10)}},
      {"SetZ the same", true, [](sprImgCTy& s) { s.SetZ(spr_DEFAULT_Z); }, {}},
      {"SetZ detached", false, [](sprImgCTy& s) { s.SetZ(7); }, {}},
      // Hidden sprites mark their moves too.
      {"SetPos hidden", true,
       [](sprImgCTy& s) {
         s.Hide();
         s.SetPos(0, 0);
       },
       {rect(40, 30, 20, 10), rect(0, 0, 20, 10)}},
  };
  for (const Case& c : cases) {
    sprsCTy list;
    list.SetSize(160, 160);
    sprImgCTy s;
    s.SetImage(small.get());
    s.SetPos(40, 30);
    s.Show();
    if (c.attached) sprsCTy::Add(&list, &s);
    EXPECT_EQ(s.depth, spr_DEFAULT_Z) << c.name;
    EXPECT_EQ(counters(list), marked(list, {})) << c.name << ": Add marks nothing";
    c.change(s);
    EXPECT_EQ(counters(list), marked(list, c.marks)) << c.name;
  }
}

TEST_F(SpriteTest, DetachedSpritesKeepShownFlagAndDepth) {
  Image image = solid(10, 10, 0xFFFFFF);
  sprImgCTy s;
  s.SetImage(image.get());
  s.Show();
  s.Hide();  // detached: stays shown
  s.SetZ(5);  // detached: ignored
  EXPECT_EQ(s.shown, 1);
  EXPECT_EQ(s.depth, spr_DEFAULT_Z);
  sprsCTy list;
  list.SetSize(20, 20);
  sprsCTy::Add(&list, &s);
  Image target = solid(20, 20, 0);
  list.DrawDirty(target.get());
  EXPECT_EQ(rgb(*target, 5, 5), 0u) << "nothing is drawn before the area is marked";
  const rectCTy all = list.area;
  list.MarkDirty(&all, &all, 1);
  list.DrawDirty(target.get());
  EXPECT_EQ(rgb(*target, 5, 5), 0xFFFFFFu);
  EXPECT_EQ(rgb(*target, 15, 15), 0u);
}

TEST_F(SpriteTest, GetRect) {
  Image image = solid(16, 8, 0);
  struct Case {
    const char* name;
    imgCTy* image;
    int32_t mode, scaled;
    float scaleX, scaleY;
    uint8_t mirror;
    rectCTy want;
  } cases[] = {
      {"plain", image.get(), pel_OP_COPY, 0, 3.0f, 3.0f, 0, rect(10, 20, 16, 8)},
      {"scaled", image.get(), pel_OP_COPY, 1, 2.0f, 2.0f, 0, rect(10, 20, 32, 16)},
      {"stretch", image.get(), pel_OP_STRETCH, 0, 2.0f, 0.5f, 0, rect(10, 20, 32, 4)},
      {"truncated", image.get(), pel_OP_COPY, 1, 1.3f, 0.99f, 0, rect(10, 20, 20, 7)},
      {"mirrored", image.get(), pel_OP_COPY, 0, 1.0f, 1.0f, 1, rect(11, 20, 16, 8)},
      {"no image", nullptr, pel_OP_COPY, 1, 2.0f, 2.0f, 0, rect(0, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    sprImgCTy s;
    s.SetImage(c.image);
    s.SetPos(10, 20);
    imgDrawParams p = s.drawParams;
    p.mode = c.mode;
    p.scaled = c.scaled;
    p.scaleX = c.scaleX;
    p.scaleY = c.scaleY;
    s.SetDrawParams(&p);
    s.mirror = c.mirror;
    rectCTy r = rect(-1, -1, -1, -1);
    s.GetRect(&r);
    EXPECT_EQ(r, c.want) << c.name;
  }
  sprImgCTy fresh;
  EXPECT_EQ(fresh.drawParams.alpha, 0);
  EXPECT_EQ(fresh.drawParams.mode, pel_OP_COPY);
  EXPECT_EQ(fresh.shown, 0);
}

// A mirrored sprite of a memory image draws nothing: only RLE8 images draw
// mirrored.
TEST_F(SpriteTest, MirroredMemoryImageDrawsNothing) {
  Image image = solid(4, 4, 0xFFFFFF), target = solid(8, 8, 0);
  sprsCTy list;
  list.SetSize(8, 8);
  sprImgCTy s;
  sprsCTy::Add(&list, &s);
  s.SetImage(image.get());
  s.mirror = 1;
  s.Show();
  list.DrawDirty(target.get());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(rgb(*target, x, y), 0u);
}
