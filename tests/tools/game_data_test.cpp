// The engine reads what make_game_data writes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/mem.h"
#include "engine/cfg.h"
#include "engine/pal.h"
#include "engine/rle8/img_rle8.h"
#include "engine/rw.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

class GameData : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(std::system(shellCommand({MAKE_GAME_DATA, dir.path.string()}).c_str()), 0);
  }
  TempDir dir;
};

TEST_F(GameData, ConfigurationReadsAsTheGameExpects) {
  cfgCTy cfg;
  cfg.Load(dir.file("maze.cfg").c_str());
  EXPECT_EQ(cfg.GetInt("SCR_LX"), 800);
  EXPECT_EQ(cfg.GetInt("SCR_LY"), 600);
  EXPECT_EQ(cfg.GetInt("USE_GFX"), 1);
  EXPECT_STREQ(cfg.GetStr("WND_NAME"), "Ball Maze");
  EXPECT_EQ(cfg.GetInt("best_result"), 0);
  // The ball starts on the start point; the start lies on the maze.
  EXPECT_EQ(cfg.GetInt("ball_x"), cfg.GetInt("start_x"));
  EXPECT_EQ(cfg.GetInt("ball_y"), cfg.GetInt("start_y"));
  EXPECT_GT(cfg.GetInt("start_x"), 0);
  EXPECT_GT(cfg.GetInt("start_y"), 0);
}

// The set's layout read step by step as an image set reads it: version 1,
// one shared palette, RLE8 frames created by class name.
TEST_F(GameData, BallFramesAreKeyedRle8ImagesSharingOnePalette) {
  rwStream* s = rwRdOpen(dir.file("DATA/ball.imgs").c_str());
  ASSERT_FALSE(s->failed);
  EXPECT_EQ(static_cast<uint32_t>(rwReadInt(s)), 0xFFFF0001u);
  const int count = rwReadInt(s);
  ASSERT_EQ(count, 16);
  ASSERT_EQ(rwReadInt(s), 1);
  palCTy palette;
  palette.Read(s);
  EXPECT_GE(palette.count, 2u);
  EXPECT_EQ(palette.Entry(0) & 0xFFFFFF, 0xFF00FFu);  // index 0 is the magenta key
  std::vector<uint16_t> indices(count);
  rwRead(s, indices.data(), count * 2);
  for (uint16_t i : indices) EXPECT_EQ(i, 0);
  std::vector<int32_t> offsets(count);
  for (int32_t& o : offsets) o = rwReadInt(s);
  char* name = rwReadString(s);
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "imgRle8CTy");
  std::string className = name;
  memHooks.free(name);
  EXPECT_EQ(rwReadString(s), nullptr);

  std::vector<std::unique_ptr<imgRle8CTy>> frames;
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(rwReadInt(s), 0);
    auto* frame = dynamic_cast<imgRle8CTy*>(rwObjCreateByClassName(className.c_str()));
    ASSERT_NE(frame, nullptr);
    frames.emplace_back(frame);
    frame->ReadHeader(s);
    EXPECT_TRUE(frame->desc.waitsShared) << "frame " << i;
    frame->SharePalette(&palette);
  }
  for (int i = 0; i < count; ++i) {
    rwSetPos(s, offsets[i]);
    frames[i]->ReadData(s);
  }
  EXPECT_FALSE(s->failed);
  rwClose(s);

  std::vector<uint8_t> previous;
  for (auto& frame : frames) {
    EXPECT_EQ(frame->width, 24);
    EXPECT_EQ(frame->height, 24);
    EXPECT_TRUE(frame->keyFlag);
    EXPECT_EQ(frame->keyPel, 0u);
    const rectCTy b = frame->GetBounds();
    EXPECT_GT(b.w, 16);
    EXPECT_GT(b.h, 16);
    // The corners are transparent; the centre is not.
    frame->Lock(nullptr, img_LOCK_READ);
    std::vector<uint8_t> pels(frame->data, frame->data + 24 * 24);
    frame->Unlock();
    EXPECT_EQ(pels[0], 0);
    EXPECT_EQ(pels[24 * 24 - 1], 0);
    EXPECT_NE(pels[12 * 24 + 12], 0);
    EXPECT_NE(pels, previous);  // the ball turns from frame to frame
    previous = pels;
  }
}

}  // namespace
