// The engine reads what make_game_data writes; an existing maze.cfg is
// repaired into one the game plays with, the player's values kept.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/mem.h"
#include "engine/app/app.h"
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

// make_game_data --config over a directory holding maze.cfg (or none);
// the file's text afterwards.
std::string configAfterTool(const TempDir& dir, const std::string* before) {
  const std::string path = dir.file("maze.cfg");
  if (before) writeBytes(path, *before);
  else std::filesystem::remove(path);
  EXPECT_EQ(std::system(shellCommand({MAKE_GAME_DATA, "--config", dir.path.string()}).c_str()), 0);
  return readBytes(path);
}

// The table as the engine writes it back at exit: its defaults in their
// order, then the given keys.
std::string engineWritten(const TempDir& dir, const std::map<std::string, std::string>& keys) {
  auto app = std::make_unique<gaCTy>();
  app->appName = dir.file("engine");
  app->SetDefaults();
  for (const auto& [name, value] : keys) app->cfg->SetStr(name.c_str(), value.c_str());
  app.reset();
  return readBytes(dir.file("engine.cfg"));
}

// A key set on the line of its name, or added at the end.
std::string withValue(std::string text, const std::string& name, const std::string& value) {
  const size_t at = text.find(name + " = ");
  if (at == std::string::npos) return text + name + " = " + value + "\n";
  const size_t end = text.find('\n', at);
  return text.replace(at, end - at, name + " = " + value);
}
std::string without(std::string text, const std::string& name) {
  const size_t at = text.find(name + " = ");
  return at == std::string::npos ? text : text.erase(at, text.find('\n', at) + 1 - at);
}

TEST(GameConfig, AnExistingFileIsMadePlayableAndKeepsThePlayersValues) {
  TempDir dir;
  const std::string fresh = configAfterTool(dir, nullptr);
  cfgCTy scene;
  writeBytes(dir.file("fresh.cfg"), fresh);
  scene.Load(dir.file("fresh.cfg").c_str());
  // The keys of the scene: repaired to a new file's values.
  std::vector<std::string> sceneKeys = {"SCR_LX", "SCR_LY", "USE_GFX", "WND_NAME", "start_x", "start_y"};
  for (const char* object : {"bkg", "score", "highscore", "game_over", "game_win", "cursor", "but_new", "but_exit",
                             "ball"})
    for (const char* axis : {"_x", "_y"}) sceneKeys.push_back(std::string(object) + axis);

  std::string players = withValue(fresh, "best_result", "777");
  for (const auto& [name, value] : {std::pair<std::string, std::string>{"music", "0"}, {"snd_volume", "0"},
                                    {"FPS_LIMIT", "25"}, {"WINDOW_STORE_POSITION", "1"}, {"WINDOW_X", "300"}})
    players = withValue(players, name, value);
  std::string damaged = "-- kept as it stands\r\n" + fresh;
  for (const auto& [name, value] : {std::pair<std::string, std::string>{"SCR_LX", "640"}, {"USE_GFX", "0"},
                                    {"WND_NAME", ""}, {"start_x", "abc"}, {"but_new_y", "9999"}, {"music", "0"}})
    damaged = withValue(damaged, name, value);
  damaged = without(without(without(damaged, "ball_x"), "snd_volume"), "best_result");

  struct Case {
    const char* what;
    std::string before;
    bool unchanged;
    std::map<std::string, std::string> kept;  // the player's values afterwards
  };
  const Case cases[] = {
      {"the engine's defaults written back with a best time",
       engineWritten(dir, {{"best_result", "1234"}, {"WINDOW_X", "120"}, {"WINDOW_Y", "90"}}),
       false,
       {{"best_result", "1234"}, {"WINDOW_X", "120"}, {"WINDOW_Y", "90"}, {"FPS_LIMIT", "0"}, {"music", "1"},
        {"snd_volume", "80"}}},
      {"a new file", fresh, true, {}},
      {"a file with the player's values", players, true, {}},
      {"damaged and missing values",
       damaged,
       false,
       {{"music", "0"}, {"snd_volume", "80"}, {"best_result", "(missing)"}, {"FPS_LIMIT", "10"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string after = configAfterTool(dir, &c.before);
    if (c.unchanged) {
      EXPECT_EQ(after, c.before);
      continue;
    }
    // What the engine reads from it.
    cfgCTy cfg;
    cfg.Load(dir.file("maze.cfg").c_str());
    for (const std::string& key : sceneKeys) EXPECT_STREQ(cfg.GetStr(key.c_str()), scene.GetStr(key.c_str())) << key;
    for (const auto& [key, value] : c.kept)
      EXPECT_EQ(cfg.Find(key.c_str()) ? cfg.GetStr(key.c_str()) : "(missing)", value) << key;
    // Lines that needed nothing stand as they were: the first (a comment in
    // the damaged file) is one.
    EXPECT_EQ(after.substr(0, after.find('\n')), c.before.substr(0, c.before.find('\n')));
    // Once repaired, a file is good.
    EXPECT_EQ(configAfterTool(dir, &after), after);
  }
}

}  // namespace
