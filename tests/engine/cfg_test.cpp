#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/err.h"
#include "engine/cfg.h"
#include "platform/test_api.h"
#include "platform/win32.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs dump(const cfgCTy& t) {
  Pairs out;
  for (uint32_t i = 0; i < t.count; ++i) out.emplace_back(t.entries[i]->name, t.entries[i]->value);
  return out;
}

class CfgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    errInit();
    plat::test::clearMessageBoxAnswers();
    plat::test::takeMessageBoxes();
  }

  // Loads inside a TRY frame, as the start-up does; returns the text of the
  // error that ended the load, or "".
  static std::string loadCatching(cfgCTy& t, const fs::path& p) {
    std::string caught;
    ERR_TRY(frame) { t.Load(p.c_str()); }
    ERR_CATCH(frame, code) {
      EXPECT_EQ(code, ERR_PRINTF);
      caught = errGetState()->text ? errGetState()->text : "";
      errEndCatch(errGetState(), &frame);
    }
    ERR_END_TRY
    return caught;
  }

  TempDir tmp_;
  fs::path dir_ = tmp_.path;
};

}  // namespace

TEST_F(CfgTest, ParserLinesAndResults) {
  struct Case {
    std::string file;
    Pairs table;
    std::string error;  // raised once the file is read to its end
  };
  const std::string longValue(1019, 'x');
  std::vector<Case> cases = {
      {"  Volume Level  =   7  \n", {{"Volume Level", "7"}}, ""},
      {"key = a -- comment\n", {{"key", "a"}}, ""},
      {"key = a--b\n", {{"key", "a"}}, ""},
      {"key = a - b\n", {{"key", "a - b"}}, ""},
      {"key = x = y\n", {{"key", "x = y"}}, ""},
      {"key =\n", {{"key", ""}}, ""},
      {"key =   -- note\n", {{"key", ""}}, ""},
      {"-- a comment\n\n \t \nlast=1", {{"last", "1"}}, ""},
      {"a = 1\r\nb = 2\r\n", {{"a", "1"}, {"b", "2"}}, ""},
      {"x = 1\nX = 2\n", {{"x", "2"}}, ""},
      {"\xA0k = \xA0v\xA0\n", {{"\xA0k", "\xA0v\xA0"}}, ""},  // bytes from 128 up are not blank
      // A bad line is skipped: the lines after it are still read, and the
      // first error is raised at the end.
      {"a = 1\n= 5\nb = 2\n", {{"a", "1"}, {"b", "2"}}, "Empty variable name"},
      {"a = 1\njustaname\na--b = 1\n= 3\nb = 2\n", {{"a", "1"}, {"b", "2"}}, "Invalid line"},
      // 1023 bytes at a time: the rest of a long line is a line of its own.
      {"k = " + longValue + std::string(477, 'y') + "\nz = 9\n", {{"k", longValue}, {"z", "9"}}, "Invalid line"},
      {"k = " + longValue + "= 1\n", {{"k", longValue}}, "Empty variable name"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    fs::path p = dir_ / ("case" + std::to_string(i) + ".cfg");
    writeBytes(p, c.file);
    cfgCTy t;
    EXPECT_EQ(loadCatching(t, p), c.error) << "case " << i;
    EXPECT_EQ(dump(t), c.table) << "case " << i;
  }
  // A missing file reads as empty, without an error.
  cfgCTy t;
  EXPECT_EQ(loadCatching(t, dir_ / "missing.cfg"), "");
  EXPECT_EQ(t.count, 0u);
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
}

TEST_F(CfgTest, BadLinesOutsideATryFrameShowOneBoxAndTheRestIsRead) {
  fs::path p = dir_ / "game.cfg";
  writeBytes(p, "a = 1\n= 2\nnoequals\nc = 3\n");
  plat::test::pushMessageBoxAnswer(IDIGNORE);
  cfgCTy t;
  t.Load(p.c_str());
  EXPECT_EQ(dump(t), (Pairs{{"a", "1"}, {"c", "3"}}));
  auto boxes = plat::test::takeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("Empty variable name"), std::string::npos) << boxes[0].text;
}

TEST_F(CfgTest, LoadSaveRoundTripKeepsOrderAndSpelling) {
  cfgCTy t;
  t.SetInt("USE_GFX", 1);
  t.SetStr("WND_NAME", "Sample Demo Game");
  t.SetInt("FPS_LIMIT", 0);
  fs::path in = dir_ / "Game.CFG";
  writeBytes(in, "use_gfx = 0\nbest_result = 1234\n-- note\nfps_limit=20\nlabel =   padded value  -- c\n");
  t.Load((dir_ / "game.cfg").c_str());  // names of files are matched without case
  t.SetInt("new_key", -7);
  t.UpdateInt("missing", 3);
  t.UpdateInt("Best_Result", 999);
  t.SetStr("spaced", "  a -- b  ");
  t.SetStr("px", " 12px");
  t.SetStr("abc", "abc");
  t.SetStr("empty", "");
  t.Save((dir_ / "game.cfg").c_str());
  EXPECT_EQ(readBytes(in),
            "USE_GFX = 0\nWND_NAME = Sample Demo Game\nFPS_LIMIT = 20\nbest_result = 999\nlabel = padded value\n"
            "new_key = -7\nspaced =   a -- b  \npx =  12px\nabc = abc\nempty = \n");
  EXPECT_FALSE(fs::exists(dir_ / "game.cfg"));  // written back to the file it read

  struct {
    const char* name;
    int asInt;
    const char* asText;
  } reads[] = {
      {"missing", 0, ""}, {"EMPTY", 0, ""},     {"abc", 0, "abc"},   {"px", 12, " 12px"},
      {"NEW_KEY", -7, "-7"}, {"use_gfx", 0, "0"}, {"wnd_name", 0, "Sample Demo Game"},
  };
  for (const auto& r : reads) {
    EXPECT_EQ(t.GetInt(r.name), r.asInt) << r.name;
    EXPECT_STREQ(t.GetStr(r.name), r.asText) << r.name;
  }
  EXPECT_EQ(t.Find("missing"), nullptr);

  // Read back, a value loses its outer blanks and everything from "--" on.
  cfgCTy back;
  back.Load(in.c_str());
  EXPECT_STREQ(back.GetStr("spaced"), "a");
  EXPECT_STREQ(back.GetStr("px"), "12px");
  EXPECT_EQ(back.count, t.count);
}

TEST_F(CfgTest, FailedSaveLeavesTheOldFileIntact) {
  fs::path p = dir_ / "game.cfg";
  writeBytes(p, "old = 1\n");
  chmod(p.c_str(), 0640);
  cfgCTy t;
  for (int i = 0; i < 300; ++i) t.SetInt(("key" + std::to_string(i)).c_str(), i);

  // The disk fills up while the new file is written.
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 512;
  auto handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved512 = t.Save(p.c_str());
  const DWORD why = GetLastError();
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, handler);
  EXPECT_FALSE(saved512);
  EXPECT_EQ(why, DWORD(ERROR_FILE_TOO_LARGE));
  EXPECT_EQ(readBytes(p), "old = 1\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);  // no file left behind

  // With room, the new file replaces the old one and keeps its mode.
  EXPECT_TRUE(t.Save(p.c_str()));
  std::string text = readBytes(p);
  EXPECT_EQ(text.rfind("key0 = 0\nkey1 = 1\n", 0), 0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 300);
  EXPECT_EQ(fs::status(p).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write |
                                                                fs::perms::group_read);
  // Nowhere to write: nothing happens, and the caller learns why.
  EXPECT_FALSE(t.Save((dir_ / "none" / "game.cfg").c_str()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  fs::create_directory(dir_ / "adir");
  EXPECT_FALSE(t.Save((dir_ / "adir").c_str()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY_NOT_SUPPORTED));
  EXPECT_FALSE(fs::exists(dir_ / "none"));
  EXPECT_TRUE(fs::is_directory(dir_ / "adir"));
}

// A full disk: the old file stays, nothing is left beside it, and the
// failure's words name the file and the system's reason.
TEST_F(CfgTest, AFullDiskKeepsTheOldFileAndSaysWhy) {
  const fs::path p = dir_ / "maze.cfg";
  writeBytes(p, "best_result = 1234\n");
  cfgCTy t;
  t.SetInt("best_result", 99);
  plat::test::failNext("WriteFile", 1, ENOSPC);
  EXPECT_FALSE(t.Save(p.c_str()));
  const DWORD why = GetLastError();
  plat::test::clearFaults();
  EXPECT_EQ(why, DWORD(ENOSPC));
  EXPECT_EQ(readBytes(p), "best_result = 1234\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  EXPECT_EQ(cfgSaveFailure(p.c_str(), why), "'" + p.string() + "' could not be written: No space left on device");
  EXPECT_EQ(cfgSaveFailure("maze.cfg", ERROR_DIRECTORY_NOT_SUPPORTED), "'maze.cfg' is not a file but a directory");
}

// A configuration file that is a symbolic link stays one: the file it leads
// to gets the table.
TEST_F(CfgTest, ALinkStaysALink) {
  fs::create_directory(dir_ / "elsewhere");
  writeBytes(dir_ / "elsewhere" / "real.cfg", "best_result = 1234\n");
  fs::create_symlink("elsewhere/real.cfg", dir_ / "maze.cfg");
  cfgCTy t;
  t.SetInt("best_result", 99);
  EXPECT_TRUE(t.Save((dir_ / "maze.cfg").c_str()));
  EXPECT_EQ(fs::read_symlink(dir_ / "maze.cfg"), "elsewhere/real.cfg");
  EXPECT_EQ(readBytes(dir_ / "elsewhere" / "real.cfg"), "best_result = 99\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

// A file the user made read-only is kept as it was, also where the saver
// could write it anyway (root), and nothing is left beside it.
TEST_F(CfgTest, ReadOnlyFileIsNotReplaced) {
  const fs::path p = dir_ / "maze.cfg";
  writeBytes(p, "best_result = 1234\n");
  chmod(p.c_str(), 0444);
  cfgCTy t;
  t.SetInt("best_result", 99);
  EXPECT_FALSE(t.Save(p.c_str()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(readBytes(p), "best_result = 1234\n");
  EXPECT_EQ(fs::status(p).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}
