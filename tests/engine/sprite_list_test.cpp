// Sprite lists: collecting the dirty grid into rectangles, dirty draws, depth
// order, the hit test and the two orders of destruction.
#include "sprites_fixture.h"

using namespace engine_test;

namespace {

using SpriteListTest = ImagesTest;

// Marks the rectangles of a fresh 160 x 160 list (cells of 10 x 10) with
// their counts, within the limit (the list's area when empty), then
// collects: the rectangles and the counters left.
struct Collected {
  std::vector<rectCTy> rects;
  std::vector<std::string> left;
};
Collected collect(const std::vector<std::pair<rectCTy, int>>& marks, rectCTy limit = rect(0, 0, 0, 0)) {
  sprsCTy list;
  list.SetSize(160, 160);
  if (!limit.w) limit = list.area;
  for (auto& [r, count] : marks) list.MarkDirty(&r, &limit, count);
  list.CollectDirtyRects();
  return {list.grid.rects, counters(list)};
}

}  // namespace

TEST_F(SpriteListTest, CollectMergesRunsAndFullRows) {
  const std::string none(16, '0');
  struct Case {
    const char* name;
    std::vector<std::pair<rectCTy, int>> marks;
    std::vector<rectCTy> rects;
    rectCTy limit = rect(0, 0, 0, 0);
  } cases[] = {
      {"the whole area", {{rect(0, 0, 160, 160), 1}}, {rect(0, 0, 160, 160)}},
      {"two cells of a row", {{rect(0, 20, 10, 10), 1}, {rect(50, 20, 10, 10), 1}},
       {rect(0, 20, 10, 10), rect(50, 20, 10, 10)}},
      {"a run of a row", {{rect(15, 20, 20, 1), 1}}, {rect(10, 20, 30, 10)}},
      {"full rows joined, then a run",
       {{rect(0, 30, 160, 20), 1}, {rect(0, 50, 30, 10), 1}, {rect(0, 0, 160, 10), 1}},
       {rect(0, 0, 160, 10), rect(0, 30, 160, 20), rect(0, 50, 30, 10)}},
      {"a run, then a full row", {{rect(0, 0, 30, 10), 1}, {rect(0, 10, 160, 10), 1}},
       {rect(0, 0, 30, 10), rect(0, 10, 160, 10)}},
      {"nothing", {}, {}},
      {"count 0", {{rect(0, 0, 160, 160), 0}}, {}},
      // Marks are cut to the limit; past the grid they are dropped whole.
      {"cut to the area", {{rect(150, -5, 20, 10), 1}}, {rect(150, 0, 10, 10)}},
      {"past the right edge", {{rect(150, 0, 20, 10), 1}}, {}, rect(0, 0, 400, 400)},
      {"left of the grid", {{rect(-5, 0, 20, 10), 1}}, {}, rect(-100, 0, 400, 400)},
  };
  for (const Case& c : cases) {
    Collected got = collect(c.marks, c.limit);
    EXPECT_EQ(got.rects, c.rects) << c.name;
    EXPECT_EQ(got.left, std::vector<std::string>(16, none)) << c.name;
  }
  // A mark lowers what a cell still holds; collecting counts down by one.
  Collected got = collect({{rect(0, 0, 10, 10), 3}, {rect(0, 0, 20, 10), 1}, {rect(100, 0, 10, 10), 3}});
  EXPECT_EQ(got.left[0], std::string("0000000000200000"));
  EXPECT_EQ(got.rects, (std::vector<rectCTy>{rect(0, 0, 20, 10), rect(100, 0, 10, 10)}));
}

// The sprite list over a prime width yields more than 1000 rectangles.
TEST_F(SpriteListTest, PrimeSizedListPastAThousandRectangles) {
  sprsCTy list;
  list.SetSize(2011, 3);
  ASSERT_EQ(list.grid.cols, 2011u);
  const rectCTy all = list.area;
  for (int x = 0; x < 2011; x += 2) {
    const rectCTy cell = rect(x, 0, 1, 3);
    list.MarkDirty(&cell, &all, 1);
  }
  CountingSprite s(rect(0, 0, 2011, 3));
  sprsCTy::Add(&list, &s);
  s.shown = 1;
  Image target = solid(2011, 3, 0);
  list.DrawDirty(target.get());
  EXPECT_EQ(s.clips.size(), 3u * 1006u);  // one clip per rectangle and row
  EXPECT_TRUE(list.grid.rects.empty());
}

TEST_F(SpriteListTest, MovedSpriteIsRedrawnInThreeDirtyDraws) {
  sprsCTy list;
  list.SetSize(160, 160);
  CountingSprite s(rect(0, 0, 10, 10));
  sprsCTy::Add(&list, &s);
  s.Show();
  s.SetPos(25, 45);
  Image target = solid(160, 160, 0);
  std::vector<size_t> draws;
  for (int i = 0; i < 4; ++i) {
    s.clips.clear();
    list.DrawDirty(target.get());
    draws.push_back(s.clips.size());
  }
  // The old place (one cell) and the new one (two runs of two cells): the
  // two runs cross the sprite's new place in each of three passes.
  EXPECT_EQ(draws, (std::vector<size_t>{2, 2, 2, 0}));
}

// Each sprite draws only inside the dirty rectangles, clipped in its own
// coordinates.
TEST_F(SpriteListTest, DirtyDrawsStayInsideTheMarkedCells) {
  Image back = solid(64, 64, 0x0000FF), ball = solid(10, 10, 0xFF0000);
  sprsCTy list;
  list.SetSize(64, 64);  // 16 x 16 cells of 4 x 4 pels
  sprImgCTy bg, sp;
  sprsCTy::Add(&list, &bg);
  sprsCTy::Add(&list, &sp);
  bg.SetImage(back.get());
  bg.SetZ(100);
  sp.SetImage(ball.get());
  sp.SetZ(1);
  sp.SetPos(3, 3);
  bg.Show();
  sp.Show();
  Image target = solid(64, 64, 0x00FF00);
  list.DrawDirty(target.get());
  clearGrid(list);
  EXPECT_EQ(rgb(*target, 3, 3), 0xFF0000u);
  EXPECT_EQ(rgb(*target, 20, 20), 0x0000FFu);
  target->Fill(0x00FF00, nullptr);
  sp.SetPos(21, 3);  // cells 0 to 3 and 5 to 7 of rows 0 to 3
  list.DrawDirty(target.get());
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const bool dirty = y < 16 && (x < 16 || (x >= 20 && x < 32));
      const bool onBall = x >= 21 && x < 31 && y >= 3 && y < 13;
      const uint32_t want = !dirty ? 0x00FF00 : onBall ? 0xFF0000 : 0x0000FF;
      ASSERT_EQ(rgb(*target, x, y), want) << x << ", " << y;
    }
  }
}

// The debug outline frames each dirty rectangle with the line primitives,
// one colour per rectangle; the inside is what the sprites drew.
TEST_F(SpriteListTest, DebugOutlineFramesTheDirtyRectangles) {
  sprsCTy list;
  list.SetSize(64, 64);  // cells of 4 x 4
  list.SetDebugOutline(1);
  rectCTy r = rect(8, 12, 12, 8);
  list.MarkDirty(&r, &list.area, 1);
  Image target = solid(64, 64, 0);
  // No sprite draws: the outline is the only thing that reaches the target.
  // The grid gives one rectangle per row of cells: 8,12 and 8,16, 12 x 4.
  list.DrawDirty(target.get());
  const rectCTy rows[] = {rect(8, 12, 12, 4), rect(8, 16, 12, 4)};
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      uint32_t want = 0;
      for (const rectCTy& row : rows) {
        // Lines of width - 1 and height - 1 pels: the far corner stays out.
        const int right = row.x + row.w - 1, bottom = row.y + row.h - 1;
        const bool across = (y == row.y || y == bottom) && x >= row.x && x < right;
        const bool down = (x == row.x || x == right) && y >= row.y && y < bottom;
        if (across || down) want = rgb(*target, row.x, row.y);
      }
      ASSERT_EQ(rgb(*target, x, y), want) << x << ", " << y;
    }
  }
  EXPECT_NE(rgb(*target, 8, 12) | rgb(*target, 8, 16), 0u);
  // Off again: nothing but the sprites.
  list.SetDebugOutline(0);
  list.MarkDirty(&r, &list.area, 1);
  target->Fill(0, nullptr);
  list.DrawDirty(target.get());
  EXPECT_EQ(rgb(*target, 8, 12), 0u);
}

// Of equal depths, the sprite whose entry went in first is on top: drawn
// last and found first.
TEST_F(SpriteListTest, DepthTies) {
  Image red = solid(4, 4, 0xFF0000), green = solid(4, 4, 0x00FF00), blue = solid(4, 4, 0x0000FF);
  sprsCTy list;
  list.SetSize(4, 4);
  sprImgCTy a, b, c;
  for (auto [s, image] : {std::pair{&a, red.get()}, {&b, green.get()}, {&c, blue.get()}}) {
    sprsCTy::Add(&list, s);
    s->SetImage(image);
    s->Show();
  }
  Image target = solid(4, 4, 0);
  list.DrawDirty(target.get());
  EXPECT_EQ(rgb(*target, 1, 1), 0xFF0000u);
  EXPECT_EQ(list.HitTest(INT32_MIN, INT32_MAX, 1, 1, nullptr), &a);
  // b, then a move to 5: b is now the earlier entry of that depth.
  b.SetZ(5);
  a.SetZ(5);
  list.DrawDirty(target.get());
  EXPECT_EQ(rgb(*target, 1, 1), 0x00FF00u);
  EXPECT_EQ(list.HitTest(INT32_MIN, INT32_MAX, 1, 1, nullptr), &b);
  EXPECT_EQ(list.HitTest(INT32_MIN, INT32_MAX, 1, 1, &b), &a);
  EXPECT_EQ(list.HitTest(INT32_MIN, INT32_MAX, 1, 1, &a), &c);
  EXPECT_EQ(list.HitTest(INT32_MIN, INT32_MAX, 1, 1, &c), nullptr);
}

TEST_F(SpriteListTest, HitTest) {
  // Near to far: a keyed sprite whose key lies under (5, 5), a hidden one, a
  // black one (pel value 0), a white background.
  Image keyed = solid(10, 10, 0x123456), black = solid(10, 10, 0), white = solid(40, 40, 0xFFFFFF);
  keyed->Fill(0x00FF00, nullptr);
  const rectCTy corner = rect(0, 0, 6, 6);
  keyed->Fill(0xFF00FF, &corner);
  keyed->SetColorKey(0xFF00FF);
  sprsCTy list;
  list.SetSize(40, 40);
  sprImgCTy near, hidden, dark, back;
  struct {
    sprImgCTy* s;
    imgCTy* image;
    int z, x, y;
  } setup[] = {{&near, keyed.get(), 1, 0, 0},
               {&hidden, white.get(), 2, 0, 0},
               {&dark, black.get(), 3, 3, 3},
               {&back, white.get(), 4, 0, 0}};
  for (auto& e : setup) {
    sprsCTy::Add(&list, e.s);
    e.s->SetImage(e.image);
    e.s->SetZ(e.z);
    e.s->SetPos(e.x, e.y);
    e.s->Show();
  }
  hidden.Hide();
  struct Case {
    int32_t zmin, zmax, x, y;
    sprCTy* after;
    sprCTy* want;
  } cases[] = {
      {0, 100, 8, 8, nullptr, &near},    // outside the key
      {0, 100, 5, 5, nullptr, &dark},    // the key and the hidden sprite let it through
      {0, 100, 2, 2, nullptr, &back},    // outside the dark sprite
      {0, 100, 30, 30, nullptr, &back},  // only the background there
      {0, 100, 8, 8, &near, &dark},      // continuing after a sprite
      {2, 100, 8, 8, nullptr, &dark},    // nearer than zmin skipped
      {0, 0, 8, 8, nullptr, nullptr},    // zmax above nothing
      {0, 3, 2, 2, nullptr, nullptr},    // stops at the background's depth
      {0, 100, 40, 40, nullptr, nullptr},
      {0, 100, -1, 0, nullptr, nullptr},
  };
  for (const Case& c : cases)
    EXPECT_EQ(list.HitTest(c.zmin, c.zmax, c.x, c.y, c.after), c.want) << c.x << ", " << c.y << " z " << c.zmax;
  // A sprite of no list to continue after finds nothing.
  sprImgCTy stranger;
  EXPECT_EQ(list.HitTest(0, 100, 8, 8, &stranger), nullptr);
}

TEST_F(SpriteListTest, SpriteDestroyedInItsListLeavesIt) {
  Image image = solid(10, 10, 0xFFFFFF), target = solid(40, 40, 0);
  sprsCTy list;
  list.SetSize(40, 40);
  auto s = std::make_unique<sprImgCTy>();
  sprsCTy::Add(&list, s.get());
  s->SetImage(image.get());
  s->SetPos(20, 20);
  s->Show();
  list.DrawDirty(target.get());
  clearGrid(list);
  s.reset();
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(counters(list), marked(list, {rect(20, 20, 10, 10)}));
  list.DrawDirty(target.get());  // no sprite left to reach
  EXPECT_EQ(list.HitTest(INT32_MIN, INT32_MAX, 25, 25, nullptr), nullptr);
}

TEST_F(SpriteListTest, ListDestroyedBeforeItsSprites) {
  Image image = solid(10, 10, 0xFFFFFF);
  sprImgCTy a, b;
  {
    sprsCTy list;
    list.SetSize(40, 40);
    sprsCTy::Add(&list, &a);
    sprsCTy::Add(&list, &b);
    a.SetImage(image.get());
    a.Show();
  }
  EXPECT_EQ(a.owner, nullptr);
  EXPECT_EQ(b.owner, nullptr);
  a.SetPos(5, 5);  // detached: marks nothing anywhere
  a.Hide();
  EXPECT_EQ(a.shown, 1);
}

// Adding a sprite of one list to another takes it out of the first.
TEST_F(SpriteListTest, AddMovesASpriteBetweenLists) {
  Image image = solid(10, 10, 0xFFFFFF);
  sprsCTy one, two;
  one.SetSize(40, 40);
  two.SetSize(40, 40);
  sprImgCTy s;
  sprsCTy::Add(&one, &s);
  s.SetImage(image.get());
  s.SetZ(3);
  clearGrid(one);
  sprsCTy::Add(&two, &s);
  EXPECT_EQ(one.Count(), 0u);
  EXPECT_EQ(two.Count(), 1u);
  EXPECT_EQ(s.depth, spr_DEFAULT_Z);
  EXPECT_EQ(counters(one), marked(one, {rect(0, 0, 10, 10)}));
  sprsCTy::Add(&two, &s);
  EXPECT_EQ(two.Count(), 1u);
  one.Remove(&s);  // not its list: nothing
  EXPECT_EQ(two.Count(), 1u);
  two.Remove(&s);
  EXPECT_EQ(two.Count(), 0u);
  EXPECT_EQ(s.owner, nullptr);
}

// A target smaller than the list is drawn only where it has pels.
TEST_F(SpriteListTest, DrawsStayInsideASmallerTarget) {
  Image image = solid(10, 10, 0xFFFFFF), target = solid(20, 20, 0);
  sprsCTy list;
  list.SetSize(40, 40);
  sprImgCTy s;
  sprsCTy::Add(&list, &s);
  s.SetImage(image.get());
  s.SetPos(15, 15);
  s.Show();
  list.DrawDirty(target.get());
  EXPECT_EQ(rgb(*target, 19, 19), 0xFFFFFFu);
  EXPECT_EQ(rgb(*target, 14, 14), 0u);
}
