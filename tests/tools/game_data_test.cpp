// The engine reads what make_game_data writes; a damaged data file comes
// back as the tool makes it; an existing maze.cfg is repaired into one the
// game plays with, the player's values kept.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/err.h"
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

// Every file below a directory: its bytes and modification time, by path.
struct Snapshot {
  std::map<std::string, std::string> bytes;
  std::map<std::string, std::filesystem::file_time_type> times;
};
Snapshot snapshot(const std::filesystem::path& root) {
  Snapshot s;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = std::filesystem::relative(entry.path(), root).string();
    s.bytes[name] = readBytes(entry.path().string());
    s.times[name] = entry.last_write_time();
  }
  return s;
}

// Every file dated back a day, so that a file written again shows.
void backdate(const std::filesystem::path& root) {
  const auto past = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.is_regular_file()) std::filesystem::last_write_time(entry.path(), past);
}

// The tool run once more over a damaged game directory brings back exactly
// what it made, and touches nothing else; over a good directory it writes
// nothing at all.
TEST_F(GameData, EveryDamagedDataFileComesBackByteForByte) {
  namespace fs = std::filesystem;
  const fs::path data = dir.path / "DATA";
  const auto flipByte = [](const fs::path& p) {
    std::string bytes = readBytes(p.string());
    bytes[bytes.size() / 2] ^= 0x40;  // same size, other content
    writeBytes(p.string(), bytes);
  };
  struct Case {
    const char* what;
    std::vector<std::string> damaged;  // below the game directory
    std::function<void()> damage;
  };
  const Case cases[] = {
      {"nothing", {}, [] {}},
      {"a deleted image set", {"DATA/ball.imgs"}, [&] { fs::remove(data / "ball.imgs"); }},
      {"a font cut short", {"DATA/big-digits.fda"}, [&] { fs::resize_file(data / "big-digits.fda", 100); }},
      {"a changed sound and mask",
       {"DATA/click.wav", "DATA/mask.bmp"},
       [&] {
         flipByte(data / "click.wav");
         flipByte(data / "mask.bmp");
       }},
      {"emptied music and solution",
       {"DATA/music.mid", "solution.txt"},
       [&] {
         fs::resize_file(data / "music.mid", 0);
         fs::resize_file(dir.path / "solution.txt", 0);
       }},
  };
  const Snapshot made = snapshot(dir.path);
  ASSERT_EQ(made.bytes.size(), 19u);  // 17 data files, maze.cfg, solution.txt
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    backdate(dir.path);
    const Snapshot before = snapshot(dir.path);
    c.damage();
    ASSERT_EQ(std::system(shellCommand({MAKE_GAME_DATA, dir.path.string()}).c_str()), 0);
    const Snapshot after = snapshot(dir.path);
    EXPECT_EQ(after.bytes, made.bytes);  // and nothing left beside them
    for (const auto& [name, time] : after.times) {
      const bool damaged = std::find(c.damaged.begin(), c.damaged.end(), name) != c.damaged.end();
      EXPECT_EQ(time == before.times.at(name), !damaged) << name;
    }
  }
  // The whole data directory gone.
  fs::remove_all(data);
  ASSERT_EQ(std::system(shellCommand({MAKE_GAME_DATA, dir.path.string()}).c_str()), 0);
  EXPECT_EQ(snapshot(dir.path).bytes, made.bytes);
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

// A configuration file read as the game reads it: a malformed line ends
// nothing but itself.
void loadAsGame(cfgCTy& cfg, const std::string& path) {
  ERR_TRY(load) { cfg.Load(path.c_str()); }
  ERR_CATCH(load, code) { errEndCatch(errGetState(), &load); }
  ERR_END_TRY
}

// Every pair of a configuration file, as the game reads it.
std::map<std::string, std::string> pairsOf(const std::string& path) {
  cfgCTy cfg;
  loadAsGame(cfg, path);
  std::map<std::string, std::string> pairs;
  for (uint32_t i = 0; i < cfg.count; ++i) pairs[cfg.entries[i]->name] = cfg.entries[i]->value;
  return pairs;
}

TEST(GameConfig, AnExistingFileIsMadePlayableAndKeepsThePlayersValues) {
  errInit();
  TempDir dir;
  const std::string fresh = configAfterTool(dir, nullptr);
  writeBytes(dir.file("fresh.cfg"), fresh);
  const auto scene = pairsOf(dir.file("fresh.cfg"));
  // The keys a repair may set: the scene's, and those added when missing.
  std::set<std::string> repairable = {"SCR_LX", "SCR_LY", "USE_GFX", "WND_NAME", "start_x", "start_y", "FPS_LIMIT"};
  for (const char* object : {"bkg", "score", "highscore", "game_over", "game_win", "cursor", "but_new", "but_exit",
                             "ball"})
    for (const char* axis : {"_x", "_y"}) repairable.insert(std::string(object) + axis);

  std::string players = withValue(fresh, "best_result", "777");
  for (const auto& [name, value] : {std::pair<std::string, std::string>{"music", "0"}, {"snd_volume", "0"},
                                    {"FPS_LIMIT", "25"}, {"WINDOW_STORE_POSITION", "1"}, {"WINDOW_X", "300"}})
    players = withValue(players, name, value);
  std::string damaged = "-- a comment\r\n" + fresh + "a line without its equals sign\n";
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
      // A pass a second is the slowest kept; none or below is no limit.
      {"a pass every 100 s", withValue(players, "FPS_LIMIT", "100000"), false, {{"FPS_LIMIT", "10"}}},
      {"a pass every 1.001 s", withValue(players, "FPS_LIMIT", "1001"), false, {{"FPS_LIMIT", "10"}}},
      {"a pass a second", withValue(players, "FPS_LIMIT", "1000"), true, {}},
      {"no limit", withValue(players, "FPS_LIMIT", "0"), true, {}},
      {"a negative limit", withValue(players, "FPS_LIMIT", "-5"), true, {}},
      {"no limit key", without(players, "FPS_LIMIT"), true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string after = configAfterTool(dir, &c.before);
    if (c.unchanged) {
      EXPECT_EQ(after, c.before);
      continue;
    }
    // Written as the engine writes its table.
    cfgCTy table;
    loadAsGame(table, dir.file("maze.cfg"));
    EXPECT_TRUE(table.Save(dir.file("engine-written.cfg").c_str()));
    EXPECT_EQ(after, readBytes(dir.file("engine-written.cfg")));
    const auto pairs = pairsOf(dir.file("maze.cfg"));
    for (const auto& [key, value] : scene) {
      if (!repairable.count(key) || key == "FPS_LIMIT") continue;
      EXPECT_EQ(pairs.at(key), value) << key;
    }
    for (const auto& [key, value] : c.kept)
      EXPECT_EQ(pairs.count(key) ? pairs.at(key) : "(missing)", value) << key;
    // Nothing else moved: every other value the file held stands.
    writeBytes(dir.file("before.cfg"), c.before);
    for (const auto& [key, value] : pairsOf(dir.file("before.cfg"))) {
      if (repairable.count(key)) continue;
      EXPECT_EQ(pairs.at(key), value) << key;
    }
    // Once repaired, a file is good.
    EXPECT_EQ(configAfterTool(dir, &after), after);
  }
}

// The tool over a maze.cfg it may not replace: what it holds is kept, and
// the tool says why with a status that is not 0. One it need not write is
// left alone, read-only or not; a symbolic link stays a link.
TEST(GameConfig, AFileTheToolMayNotWriteIsKeptAndSaidSo) {
  namespace fs = std::filesystem;
  TempDir dir;
  const std::string good = configAfterTool(dir, nullptr);
  const std::string needsRepair = withValue(withValue(good, "SCR_LX", "640"), "best_result", "4321");
  const std::string path = dir.file("maze.cfg");
  const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  struct Case {
    const char* what;
    std::function<void()> lay;  // puts maze.cfg in place
    int status;
    const char* said;  // in the tool's stderr
  };
  const Case cases[] = {
      {"a read-only file that needs a repair",
       [&] {
         writeBytes(path, needsRepair);
         fs::permissions(path, readOnly);
       },
       1, "Permission denied"},
      {"a good read-only file",
       [&] {
         writeBytes(path, good);
         fs::permissions(path, readOnly);
       },
       0, ""},
      {"a directory", [&] { fs::create_directories(dir.file("maze.cfg/inside")); }, 1, "is not a file"},
      {"a link to a file that needs a repair",
       [&] {
         writeBytes(dir.file("kept.cfg"), needsRepair);
         fs::create_symlink("kept.cfg", path);
       },
       0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(path);
    fs::remove_all(dir.file("kept.cfg"));
    c.lay();
    const auto before = snapshot(dir.path);
    const int status = std::system(
        (shellCommand({MAKE_GAME_DATA, "--config", dir.path.string()}) + " 2>" + shellQuote(dir.file("said"))).c_str());
    const std::string said = readBytes(dir.file("said"));
    fs::remove(dir.file("said"));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.status) << said;
    if (*c.said) {
      EXPECT_NE(said.find(path), std::string::npos) << said;
      EXPECT_NE(said.find(c.said), std::string::npos) << said;
    } else {
      EXPECT_EQ(said, "");
    }
    if (fs::is_symlink(fs::symlink_status(path))) {
      EXPECT_EQ(fs::read_symlink(path), "kept.cfg");
      EXPECT_EQ(pairsOf(dir.file("kept.cfg")).at("SCR_LX"), "800");
      EXPECT_EQ(pairsOf(dir.file("kept.cfg")).at("best_result"), "4321");
      continue;
    }
    EXPECT_EQ(snapshot(dir.path).bytes, before.bytes);  // kept, and nothing left beside it
    if (fs::is_regular_file(path)) {
      EXPECT_EQ(fs::status(path).permissions(), readOnly);
    }
  }
  fs::remove_all(path);
}

}  // namespace
