// AnimSprite: the mask test, the animation's timing, where frames come from,
// and a sprite without frames or without its list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "engine/alpha/alpha_fixture.h"
#include "game/anim_sprite.h"
#include "game/game.h"
#include "game_fixture.h"
#include "img/Image.h"
#include "talvo/CpuInfo.h"

namespace {

using game_test::GameObjects;

constexpr uint8_t kWall[3] = {255, 255, 255};  // B, G, R
constexpr uint8_t kGoal[3] = {0, 0, 255};

struct Pt {
  int x, y;
};

// A mask of w x h pels of floor in the pel type, with wall and goal pels.
void makeMask(talvo::g::ImageRow& mask, int w, int h, talvo::g::PelType type, const std::vector<Pt>& wall,
              const std::vector<Pt>& goal) {
  mask.create(w, h, talvo::g::PelFmt(type));
  const int bytes = talvo::g::bytes_per_pel(type);
  talvo::g::Image::Lock lock(mask, nullptr, talvo::g::Image::Lock::write_all);
  for (int y = 0; y < h; ++y) std::memset(lock.row(y), 40, size_t(w) * bytes);
  for (const Pt& p : wall) std::memcpy(lock.row(p.y) + p.x * bytes, kWall, 3);
  for (const Pt& p : goal) std::memcpy(lock.row(p.y) + p.x * bytes, kGoal, 3);
}

// A 30 x 40 R5G6B5 frame keyed on 0x1234, opaque only at the points.
imgRowCTy* keyedFrame(const std::vector<Pt>& opaque) {
  auto* frame = new imgRowCTy;
  pelFmtDesc desc;
  desc.Set(pel_FMT_R5G6B5, nullptr);
  frame->SetSize(30, 40, &desc);
  frame->Fill(0x1234, nullptr);
  for (const Pt& p : opaque) {
    const rectCTy r{p.x, p.y, 1, 1};
    frame->Fill(0xF800, &r);
  }
  frame->SetColorKey(0x1234);
  return frame;
}

// The frame as the object's only picture, outside any list.
void giveFrame(AnimSprite& sprite, imgCTy* frame) {
  sprite.frames.Add(frame);
  sprite.sprite.SetImage(frame);
}

TEST(AnimSpriteCollide, TheFirstOpaquePelOnWallOrGoalDecides) {
  // The frame's top-left corner lands on scene point (x - 15, y - 20).
  struct Case {
    const char* what;
    Pt topLeft;
    std::vector<Pt> opaque;  // frame pels
    std::vector<Pt> wall, goal;  // mask pels
    talvo::g::PelType maskType;
    int expected;
  };
  const talvo::g::PelType rgb = talvo::g::pel_type::rgb888;
  const Case cases[] = {
      {"opaque pel on wall", {10, 10}, {{3, 5}}, {{13, 15}}, {}, rgb, 0},
      {"opaque pel on goal", {10, 10}, {{3, 5}}, {}, {{13, 15}}, rgb, 1},
      {"only floor under it", {10, 10}, {{3, 5}}, {{12, 15}}, {{14, 15}}, rgb, -1},
      {"transparent pels over wall and goal", {10, 10}, {{0, 0}}, {{13, 15}}, {{11, 10}}, rgb, -1},
      {"last column of a row (entry row x 30 + column)", {10, 10}, {{29, 2}}, {{39, 12}}, {}, rgb, 0},
      {"last row", {10, 10}, {{0, 39}}, {}, {{10, 49}}, rgb, 1},
      {"wall in an earlier row than goal", {10, 10}, {{29, 2}, {0, 3}}, {{39, 12}}, {{10, 13}}, rgb, 0},
      {"goal in an earlier row than wall", {10, 10}, {{29, 3}, {0, 2}}, {{39, 13}}, {{10, 12}}, rgb, 1},
      {"left of and above the mask: only inside pels count", {-10, -10}, {{5, 5}, {12, 12}}, {}, {{2, 2}}, rgb, 1},
      {"pels outside the mask are not read", {-10, -10}, {{5, 5}}, {{0, 0}}, {}, rgb, -1},
      {"right of and below the mask", {50, 40}, {{20, 5}, {10, 10}, {5, 30}}, {{60, 50}}, {{6, 46}}, rgb, 0},
      {"wholly outside", {100, 100}, {{3, 5}}, {{63, 63}}, {}, rgb, -1},
      {"mask of 4 bytes a pel", {10, 10}, {{3, 5}}, {{13, 15}}, {}, talvo::g::pel_type::rgbx8888, -1},
      {"mask of 2 bytes a pel", {10, 10}, {{3, 5}}, {{13, 15}}, {}, talvo::g::pel_type::rgb565, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    talvo::g::ImageRow mask;
    makeMask(mask, 64, 64, c.maskType, c.wall, c.goal);
    AnimSprite sprite;
    giveFrame(sprite, keyedFrame(c.opaque));
    sprite.SetHotSpot(15, 20);
    sprite.SetPos(c.topLeft.x + 15, c.topLeft.y + 20);
    EXPECT_EQ(sprite.Collide(mask, kWall, kGoal), c.expected);
    if (c.maskType == rgb) {
      ASSERT_EQ(sprite.opaque.size(), 1u);
      EXPECT_EQ(sprite.opaque[0].size(), 1200u);
    }
  }
}

TEST(AnimSpriteCollide, TheBitmapIsBuiltOncePerFrame) {
  talvo::g::ImageRow mask;
  makeMask(mask, 64, 64, talvo::g::pel_type::rgb888, {{3, 5}}, {});
  AnimSprite sprite;
  imgRowCTy* frame = keyedFrame({{3, 5}});
  giveFrame(sprite, frame);
  EXPECT_EQ(sprite.Collide(mask, kWall, kGoal), 0);
  // Pels changed afterwards do not change the kept bitmap.
  frame->Fill(0x1234, nullptr);
  EXPECT_EQ(sprite.Collide(mask, kWall, kGoal), 0);
}

TEST(AnimSpriteCollide, AnAlphaFrameCollidesWhereVisible) {
  // 3 x 2 pels: transparent, translucent, opaque / transparent, opaque, transparent.
  alpha_test::Pels pels = {{0, 0, 0, 0}, {9, 9, 9, 100}, {0, 0, 0, 255}, {200, 0, 0, 0}, {1, 2, 3, 255}, {0, 0, 0, 0}};
  struct Case {
    Pt wall;
    int expected;
  };
  for (const Case& c : {Case{{0, 0}, -1}, Case{{1, 0}, 0}, Case{{2, 0}, 0}, Case{{0, 1}, -1}, Case{{1, 1}, 0}}) {
    talvo::g::ImageRow mask;
    makeMask(mask, 8, 8, talvo::g::pel_type::rgb888, {c.wall}, {});
    AnimSprite sprite;
    giveFrame(sprite, alpha_test::coded(3, 2, pels).release());
    EXPECT_EQ(sprite.Collide(mask, kWall, kGoal), c.expected) << c.wall.x << "," << c.wall.y;
  }
}

// Frame pels around the hot spot (15, 20) of a keyedFrame.
std::vector<Pt> square(int half) {
  std::vector<Pt> pels;
  for (int y = -half; y <= half; ++y)
    for (int x = -half; x <= half; ++x) pels.push_back({15 + x, 20 + y});
  return pels;
}
// Pels at a distance from the hot spot of at most `radius`, and at least
// `hole`.
std::vector<Pt> disc(int radius, int hole = 0) {
  std::vector<Pt> pels;
  for (int y = -radius; y <= radius; ++y)
    for (int x = -radius; x <= radius; ++x)
      if (x * x + y * y <= radius * radius && x * x + y * y >= hole * hole) pels.push_back({15 + x, 20 + y});
  return pels;
}
const std::vector<Pt> kPlus = {{15, 20}, {14, 20}, {16, 20}, {15, 19}, {15, 21}};
const std::vector<Pt> kRing = {{14, 19}, {15, 19}, {16, 19}, {14, 20}, {16, 20}, {14, 21}, {15, 21}, {16, 21}};

// Mask pels of the line x = column, of the line x + y = sum, or of the row
// y from x = 0 to x = last.
std::vector<Pt> column(int x) {
  std::vector<Pt> pels;
  for (int y = 0; y < 64; ++y) pels.push_back({x, y});
  return pels;
}
std::vector<Pt> antidiagonal(int sum) {
  std::vector<Pt> pels;
  for (int y = 0; y < 64; ++y)
    if (sum - y >= 0 && sum - y < 64) pels.push_back({sum - y, y});
  return pels;
}
std::vector<Pt> rowUpTo(int y, int last) {
  std::vector<Pt> pels;
  for (int x = 0; x <= last; ++x) pels.push_back({x, y});
  return pels;
}

// The move from `from` to `to` walked one pel at a time: each position the
// hot spot passes through, the nearest pel to the line at each pel along
// the longer axis (halves away from the start), tested with Collide; the
// first that decides ends the move. No move tests its end alone.
struct Walked {
  int result;
  Pt at;
};
Walked walkOnePel(AnimSprite& sprite, Pt from, Pt to, talvo::g::Image& mask) {
  const int dx = to.x - from.x, dy = to.y - from.y;
  const int n = std::max(std::abs(dx), std::abs(dy));
  auto nearest = [n](int d, int i) { return int(std::lround(double(d) * i / n)); };
  for (int i = n == 0 ? 0 : 1; i <= n; ++i) {
    const Pt p = n == 0 ? to : Pt{from.x + nearest(dx, i), from.y + nearest(dy, i)};
    sprite.SetPos(p.x, p.y);
    const int result = sprite.Collide(mask, kWall, kGoal);
    if (result != -1) return {result, p};
  }
  sprite.SetPos(to.x, to.y);
  return {-1, to};
}

// CollideAlong from `from` to `to`, with where it leaves the object.
Walked collideAlong(AnimSprite& sprite, Pt from, Pt to, talvo::g::Image& mask) {
  sprite.SetPos(to.x, to.y);
  const int result = sprite.CollideAlong(from.x, from.y, mask, kWall, kGoal);
  return {result, {sprite.x, sprite.y}};
}

TEST(AnimSpriteCollide, AMoveIsTestedAlongItsWayAndEndsWhereItIsDecided) {
  struct Case {
    const char* what;
    std::vector<Pt> opaque;  // frame pels
    Pt from, to;
    std::vector<Pt> wall, goal;
    int expected;
    bool endsOnTarget;
  };
  const Case cases[] = {
      {"a jump over a one-pel wall", square(2), {10, 30}, {50, 30}, column(30), {}, 0, false},
      {"a jump back over it", square(2), {50, 30}, {10, 30}, column(30), {}, 0, false},
      {"a diagonal jump over a diagonal one-pel wall", square(2), {20, 20}, {41, 40}, antidiagonal(60), {}, 0, false},
      {"a plus-shaped frame", kPlus, {10, 30}, {50, 33}, column(30), {}, 0, false},
      {"a frame with a hole at the hot spot", kRing, {10, 30}, {50, 30}, column(30), {}, 0, false},
      {"goal before wall: won", square(3), {5, 30}, {60, 30}, column(45), column(25), 1, false},
      {"wall before goal: lost", square(3), {60, 30}, {5, 30}, column(45), column(25), 0, false},
      {"a free way ends on the target", square(2), {5, 5}, {58, 50}, {{60, 10}}, {}, -1, true},
      {"no move: the position alone", square(2), {20, 20}, {20, 20}, column(22), {}, 0, true},
      {"a short move decided at its end", square(2), {20, 20}, {23, 17}, column(25), {}, 0, true},
      // A disc of radius 11, as the game's ball, clips the wall's end (10,
      // 24) from the positions (14, 14) to (20, 20) only: testing every 14
      // pels, at (24, 24) and (38, 38), sees neither.
      {"the rim clips a wall's end between positions 14 pels apart", disc(11), {10, 10}, {38, 38}, rowUpTo(24, 10),
       {}, 0, false},
      {"the rim clips a single goal pel the same way", disc(11), {10, 10}, {38, 38}, {}, {{10, 24}}, 1, false},
      // Along an axis the rim reaches 11 pels aside, but (10, 32) only from
      // (20, 36) to (20, 28): 12 pels apart, (20, 38) and (20, 26) miss it.
      {"the same along an axis", disc(11), {20, 50}, {20, 2}, rowUpTo(32, 10), {}, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    talvo::g::ImageRow mask;
    makeMask(mask, 64, 64, talvo::g::pel_type::rgb888, c.wall, c.goal);
    AnimSprite sprite;
    giveFrame(sprite, keyedFrame(c.opaque));
    sprite.SetHotSpot(15, 20);
    const Walked along = collideAlong(sprite, c.from, c.to, mask);
    EXPECT_EQ(along.result, c.expected);
    const Pt at = along.at;
    // The sprite is drawn where the object stands.
    EXPECT_EQ(sprite.sprite.x, at.x - 15);
    EXPECT_EQ(sprite.sprite.y, at.y - 20);
    if (c.endsOnTarget) {
      EXPECT_EQ(at.x, c.to.x);
      EXPECT_EQ(at.y, c.to.y);
    } else {
      // Short of the target, on the way, and deciding there alone.
      EXPECT_TRUE(at.x != c.to.x || at.y != c.to.y);
      EXPECT_LE(std::abs((at.x - c.from.x) * (c.to.y - c.from.y) - (at.y - c.from.y) * (c.to.x - c.from.x)),
                std::abs(c.to.x - c.from.x) + std::abs(c.to.y - c.from.y));
      EXPECT_EQ(sprite.Collide(mask, kWall, kGoal), c.expected);
    }
    // Where a walk one pel at a time stops, with its result.
    const Walked walked = walkOnePel(sprite, c.from, c.to, mask);
    EXPECT_EQ(along.result, walked.result);
    EXPECT_EQ(at.x, walked.at.x);
    EXPECT_EQ(at.y, walked.at.y);
  }
}

TEST(AnimSpriteCollide, RandomMovesGiveWhatAWalkOnePelAtATimeGives) {
  // One object with frames of several shapes, switched between moves as
  // the ball's frames turn: discs of several radii, a ring, a plus.
  AnimSprite sprite;
  for (const std::vector<Pt>& shape : {disc(0), disc(2), disc(5), disc(11), disc(8, 4), kPlus})
    sprite.frames.Add(keyedFrame(shape));
  sprite.SetHotSpot(15, 20);
  std::mt19937 random(20240611);
  auto uniform = [&random](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  int results[3] = {}, shortOfTarget = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    // Short walls of one to eight pels along an axis or a diagonal, and
    // single goal pels.
    std::vector<Pt> wall, goal;
    for (int n = uniform(0, 8); n > 0; --n) {
      Pt p{uniform(0, 63), uniform(0, 63)};
      const int sx = uniform(-1, 1), sy = uniform(-1, 1);
      for (int length = uniform(1, 8); length > 0 && p.x >= 0 && p.y >= 0 && p.x < 64 && p.y < 64; --length) {
        wall.push_back(p);
        p = {p.x + sx, p.y + sy};
      }
    }
    for (int n = uniform(0, 6); n > 0; --n) goal.push_back({uniform(0, 63), uniform(0, 63)});
    talvo::g::ImageRow mask;
    makeMask(mask, 64, 64, talvo::g::pel_type::rgb888, wall, goal);
    // Moves along an axis or a diagonal, and some of any slope, from inside
    // the mask or beside it.
    const Pt from{uniform(-12, 75), uniform(-12, 75)};
    const int length = uniform(0, 40);
    Pt to;
    if (trial % 4 == 3) {
      to = {from.x + uniform(-length, length), from.y + uniform(-length, length)};
    } else {
      const int sx = uniform(-1, 1), sy = uniform(-1, 1);
      to = {from.x + sx * length, from.y + sy * length};
    }
    sprite.frame = uniform(0, int(sprite.frames.count) - 1);
    sprite.sprite.SetImage(sprite.frames.Get(uint32_t(sprite.frame)));
    const Walked along = collideAlong(sprite, from, to, mask);
    const Walked walked = walkOnePel(sprite, from, to, mask);
    ASSERT_EQ(along.result, walked.result) << "trial " << trial;
    ASSERT_EQ(along.at.x, walked.at.x) << "trial " << trial;
    ASSERT_EQ(along.at.y, walked.at.y) << "trial " << trial;
    ++results[along.result + 1];
    if (along.at.x != to.x || along.at.y != to.y) ++shortOfTarget;
  }
  // The moves were of every kind: free, lost and won, many on their way.
  EXPECT_GT(results[0], 100);
  EXPECT_GT(results[1], 100);
  EXPECT_GT(results[2], 100);
  EXPECT_GT(shortOfTarget, 300);
}

// Ticks that read back as exactly `ms` milliseconds.
uint64_t ticksOf(uint64_t ms) {
  const uint64_t rate = talvo::tick_frequency();
  return (ms * rate + 999) / 1000;
}

TEST(AnimSpriteAnimate, FramesFollowTheWatchAndLoop) {
  for (uint8_t loop : {1, 0}) {
    SCOPED_TRACE(loop ? "looping" : "not looping");
    AnimSprite sprite;
    std::vector<imgRowCTy*> frames;
    for (int i = 0; i < 5; ++i) {
      frames.push_back(keyedFrame({}));
      sprite.frames.Add(frames.back());
    }
    sprite.loop = loop;
    sprite.frameTime = 30;
    sprite.Start();
    sprite.watch.pause();  // the watch moves only by hand
    struct Step {
      uint64_t ms;
      int frame;
      bool playing;
    };
    for (const Step& s : {Step{0, 0, true}, Step{29, 0, true}, Step{30, 1, true}, Step{149, 4, true}}) {
      sprite.watch.set_elapsed(ticksOf(s.ms));
      sprite.Animate();
      EXPECT_EQ(sprite.frame, s.frame) << s.ms;
      EXPECT_EQ(sprite.sprite.image, frames[size_t(s.frame)]) << s.ms;
    }
    // Past the last frame: the last frame once more, then the start again
    // (from 0 ms) or a stop.
    sprite.watch.set_elapsed(ticksOf(150));
    sprite.Animate();
    EXPECT_EQ(sprite.frame, 4);
    EXPECT_EQ(sprite.sprite.image, frames[4]);
    EXPECT_EQ(sprite.playing, loop);
    EXPECT_EQ(sprite.watch.elapsed_ms(), loop ? 0u : 150u);
    sprite.Animate();
    EXPECT_EQ(sprite.frame, loop ? 0 : 4);
  }
}

TEST(AnimSpriteAnimate, StartDoesNotRestartAPlayingSpriteAndFrameTimeZeroShowsFrameZero) {
  AnimSprite sprite;
  for (int i = 0; i < 3; ++i) sprite.frames.Add(keyedFrame({}));
  sprite.frameTime = 0;
  sprite.Start();
  sprite.watch.pause();
  sprite.watch.set_elapsed(ticksOf(60));
  sprite.Start();
  EXPECT_EQ(sprite.watch.elapsed_ms(), 60u);
  sprite.Animate();
  EXPECT_EQ(sprite.frame, 0);
  EXPECT_EQ(sprite.sprite.image, sprite.frames.Get(0));
  EXPECT_EQ(sprite.playing, 1);
}

class AnimSpriteLoad : public GameObjects {};

TEST_F(AnimSpriteLoad, NumberedFramesLoadInOrderWithTheFirstBmpKey) {
  app->cfg->SetInt("ball_x", 100);
  app->cfg->SetInt("ball_y", 80);
  game_test::writeBmp(data("ball_0000.bmp"), 11, 7, 0x102030, 0xFF00FF);
  game_test::writeBmp(data("ball_0001.bmp"), 12, 8, 0xFF00FF, 0x00FF00);  // its own corner is no key
  game_test::writeTga(data("ball_0003.tga"), 13, 9, 0x80FF0000);
  game_test::writeBmp(data("ball_0060.bmp"), 14, 10, 0, 0);  // past the numbers tried
  AnimSprite ball;
  ball.LoadFrames("ball", "ball", -10000, 30);
  ASSERT_EQ(ball.frames.count, 3u);
  EXPECT_EQ(ball.frames.Get(0)->width, 11);
  EXPECT_EQ(ball.frames.Get(1)->width, 12);
  EXPECT_EQ(ball.frames.Get(2)->width, 13);
  EXPECT_EQ(ball.frames.Get(2)->classId, imgClassAlpha);
  // Both BMP frames are keyed on frame 0's corner (magenta).
  for (uint32_t i : {0u, 1u}) {
    imgCTy* f = ball.frames.Get(i);
    EXPECT_TRUE(f->keyFlag) << i;
    EXPECT_EQ(f->keyPel, f->ToNative(0xFF00FF)) << i;
  }
  EXPECT_EQ(ball.sprite.drawParams.mode, pel_OP_SRCALPHA);
  EXPECT_EQ(ball.sprite.drawParams.scaled, 0);
  EXPECT_EQ(ball.sprite.drawParams.scaleX, 1.0f);
  EXPECT_EQ(ball.frameTime, 30);
  EXPECT_EQ(ball.playing, 0);
  // Attached, shown at frame 0 and the depth, the middle of frame 0 on the
  // position.
  EXPECT_EQ(ball.sprite.owner, &gameSprites);
  EXPECT_EQ(ball.list, &gameSprites);
  EXPECT_TRUE(ball.sprite.shown);
  EXPECT_EQ(ball.sprite.image, ball.frames.Get(0));
  EXPECT_EQ(ball.sprite.depth, -10000);
  EXPECT_EQ(ball.hotX, 5);
  EXPECT_EQ(ball.hotY, 3);
  EXPECT_EQ(ball.sprite.x, 95);
  EXPECT_EQ(ball.sprite.y, 77);
}

TEST_F(AnimSpriteLoad, AnImageSetIsPreferredToNumberedFrames) {
  namespace fs = std::filesystem;
  fs::copy_file(fs::path(TALVO_GAME_DIR) / "DATA" / "ball.imgs", data("ball.imgs"));
  game_test::writeBmp(data("ball_0000.bmp"), 11, 7, 0x102030, 0xFF00FF);
  AnimSprite ball;
  ball.LoadFrames("ball", "ball", -10000, 30);
  ASSERT_EQ(ball.frames.count, 16u);
  EXPECT_EQ(ball.frames.Get(0)->classId, imgClassRle8);
  EXPECT_EQ(ball.frames.Get(0)->width, 24);
  EXPECT_EQ(ball.sprite.drawParams.mode, pel_OP_COPY);
  EXPECT_EQ(ball.hotX, 12);
  EXPECT_EQ(ball.hotY, 12);
}

TEST_F(AnimSpriteLoad, LoadImageTriesBmpThenJpgThenTga) {
  // A TGA only: drawn with its alpha.
  game_test::writeTga(data("banner.tga"), 6, 4, 0xC0112233);
  AnimSprite banner;
  banner.LoadImage("banner", -24000);
  ASSERT_EQ(banner.frames.count, 1u);
  EXPECT_EQ(banner.frames.Get(0)->classId, imgClassAlpha);
  EXPECT_EQ(banner.sprite.drawParams.mode, pel_OP_SRCALPHA);
  EXPECT_EQ(banner.frameTime, 30);

  // A BMP beside it wins, keyed on its corner.
  game_test::writeBmp(data("cursor.bmp"), 5, 5, 0x000000, 0xFF00FF);
  game_test::writeTga(data("cursor.tga"), 6, 4, 0xC0112233);
  app->cfg->SetInt("cursor_x", 7);
  AnimSprite cursor;
  cursor.LoadImage("cursor", -100000);
  ASSERT_EQ(cursor.frames.count, 1u);
  EXPECT_EQ(cursor.frames.Get(0)->classId, imgClassRow);
  EXPECT_EQ(cursor.frames.Get(0)->width, 5);
  EXPECT_TRUE(cursor.frames.Get(0)->keyFlag);
  EXPECT_EQ(cursor.sprite.drawParams.mode, pel_OP_COPY);
  EXPECT_EQ(cursor.sprite.x, 7);
  cursor.SetHotSpot(1, 1);
  EXPECT_EQ(cursor.sprite.x, 6);
  EXPECT_EQ(cursor.sprite.y, -1);
}

TEST_F(AnimSpriteLoad, WithoutAnyPictureTheSpriteStaysHiddenAndHarmless) {
  talvo::g::ImageRow mask;
  makeMask(mask, 64, 64, talvo::g::pel_type::rgb888, {{0, 0}}, {});
  AnimSprite ball, banner;
  ball.LoadFrames("ball", "nothing", -10000, 30);
  banner.LoadImage("nothing", -24000);
  for (AnimSprite* s : {&ball, &banner}) {
    EXPECT_EQ(s->frames.count, 0u);
    EXPECT_EQ(s->sprite.image, nullptr);
    EXPECT_FALSE(s->sprite.shown);
    // Shown by hand, it draws nothing and is never hit.
    s->Show();
    s->Start();
    s->Animate();
    EXPECT_EQ(s->Collide(mask, kWall, kGoal), -1);
    EXPECT_EQ(gameSprites.HitTest(-1000000, 1000000, s->x, s->y, nullptr), nullptr);
  }
  imgRowCTy target;
  pelFmtDesc desc;
  desc.Set(pel_FMT_R5G6B5, nullptr);
  target.SetSize(gameSceneW, gameSceneH, &desc);
  gameSprites.DrawDirty(&target);
}

TEST_F(AnimSpriteLoad, DetachAndDestructionLeaveTheListAsItWas) {
  game_test::writeBmp(data("bkg.bmp"), 4, 4, 0x123456, 0x123456);
  const uint32_t before = gameSprites.Count();
  {
    AnimSprite bkg;
    bkg.LoadImage("bkg", 100000);
    EXPECT_EQ(gameSprites.Count(), before + 1);
    bkg.Detach();
    EXPECT_EQ(gameSprites.Count(), before);
    EXPECT_EQ(bkg.list, nullptr);
    bkg.Detach();
  }
  {
    AnimSprite bkg;
    bkg.LoadImage("bkg", 100000);
  }
  EXPECT_EQ(gameSprites.Count(), before);
}

TEST(AnimSpriteLifetime, ASpriteOutlivingItsListDetachesSafely) {
  // As at exit after a failed start-up: the list goes first.
  auto* list = new sprsCTy;
  list->SetSize(64, 64);
  auto* sprite = new AnimSprite;
  giveFrame(*sprite, keyedFrame({{1, 1}}));
  sprsCTy::Add(list, &sprite->sprite);
  sprite->list = list;
  sprite->sprite.Show();
  delete list;
  sprite->Detach();
  delete sprite;  // under ASan, any touch of the freed list fails here
}

}  // namespace
