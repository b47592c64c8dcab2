// The log settings file: tokens, numbers, the statements of whole files and
// the thresholds they leave, reading the file beside the program, and a
// program whose first log entry already follows the file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <climits>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sandbox.h"
#include "support/shell.h"
#include "talvo/LogConfig.h"

namespace {

namespace fs = std::filesystem;
using talvo::LogConfigToken;
using talvo::LogSettings;
using talvo_test::read_file;
using talvo_test::write_file;

constexpr int32_t M = INT32_MAX;
constexpr int32_t kAbsent = INT32_MIN;  // the record must not exist

// Puts every settings record back as it was.
class SettingsSnapshot {
 public:
  SettingsSnapshot() {
    for (auto& [name, record] : talvo::log_settings_map()) records_.emplace(name, Saved{record, record.is_default});
    records_.emplace("!", Saved{talvo::log_switch, talvo::log_switch.is_default});
    records_.emplace("*", Saved{talvo::log_defaults, talvo::log_defaults.is_default});
  }
  ~SettingsSnapshot() {
    auto& map = talvo::log_settings_map();
    for (auto it = map.begin(); it != map.end();) it = records_.count(it->first) ? std::next(it) : map.erase(it);
    for (auto& [name, saved] : records_) {
      LogSettings* record = talvo::find_log_settings(name);
      *record = saved.settings;
      record->is_default = saved.is_default;
    }
  }

 private:
  struct Saved {
    LogSettings settings;
    uint8_t is_default;
  };
  std::map<std::string, Saved> records_;
};

struct Row {
  std::string name;
  int32_t error, warning, info;
};

std::vector<int32_t> thresholds(const LogSettings& s) { return {s.threshold[0], s.threshold[1], s.threshold[2]}; }

// The listed records hold the listed thresholds; every other record, the
// switch and the defaults included, still lets everything pass.
void expect_settings(const std::vector<Row>& rows) {
  std::set<std::string> listed;
  for (const Row& row : rows) {
    SCOPED_TRACE("record \"" + row.name + "\"");
    listed.insert(row.name);
    LogSettings* record = talvo::find_log_settings(row.name);
    if (row.error == kAbsent) {
      EXPECT_EQ(record, nullptr);
      continue;
    }
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(thresholds(*record), (std::vector<int32_t>{row.error, row.warning, row.info}));
  }
  std::vector<std::string> others = {"!", "*"};
  for (auto& [name, record] : talvo::log_settings_map()) others.push_back(name);
  for (const std::string& name : others) {
    if (listed.count(name)) continue;
    SCOPED_TRACE("unlisted record \"" + name + "\"");
    EXPECT_EQ(thresholds(*talvo::find_log_settings(name)), (std::vector<int32_t>{M, M, M}));
  }
  EXPECT_EQ(talvo::log_switch.disable, 0);
}

TEST(LogConfig, Tokens) {
  using T = LogConfigToken;
  const struct {
    const char* text;
    T::Type type;
    const char* token_text;
  } cases[] = {
      {"", T::end, ""},
      {" \t\r\n\v\f", T::end, ""},
      {"*", T::number, "+*"},
      {"+5", T::number, "+5"},
      {"- 7x", T::number, "-7"},
      {"+ *", T::number, "+*"},
      {"-x", T::number, "-*"},
      {"+x", T::number, "+*"},
      {"=5", T::number, "5"},
      {"= + 5", T::number, "+5"},
      {"=- 12", T::number, "-12"},
      {"=-*", T::number, "-*"},
      {"=*", T::number, "+*"},
      {"=x", T::number, "*"},
      {"=+x", T::number, "+*"},
      {"=-x", T::number, "-*"},
      {"+=", T::malformed, "+="},
      {"- \n =", T::malformed, "-="},
      {"+", T::stray, ""},
      {"= -", T::stray, ""},
      {"/x", T::stray, ""},
      {"E", T::stray, ""},
      {"7", T::stray, ""},
      {"x", T::stray, ""},
      {"\xe9", T::stray, ""},
      {"exception", T::error_level, ""},
      {"w", T::warning_level, ""},
      {"info", T::info_level, ""},
      {"; a comment\n", T::comment, " a comment"},
      {"//c", T::comment, "c"},
      {"#word  the rest\nnext", T::line_comment, "the rest"},
      {"#\nnext", T::line_comment, ""},
      {"[ talvo.io]", T::name, "talvo.io"},
      {"[a b ]", T::name, "a b "},
      {"[\\x\\]\\n]", T::name, "\\x]\n"},
      {"['a\\]b' ]", T::name, "a]b"},
      {"[\"\\a\\b\\f\\n\\r\\t\\v\\\\\\\"\"]", T::name, "\a\b\f\n\r\t\v\\\""},
      {"['a]b']", T::name, "a"},
      {"[abc", T::stray, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "'" << c.text << "'");
    std::istringstream in(c.text);
    LogConfigToken token = talvo::next_log_config_token(in);
    EXPECT_EQ(token.type, c.type);
    EXPECT_EQ(token.text, c.token_text);
  }
}

TEST(LogConfig, NumberValues) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"+*", M},           {"-*", talvo::log_off_marker}, {"*", 0},
      {"5", 5},            {"+5", 5},                     {"-12", -12},
      {"99999999999", M},  {"-99999999999", INT32_MIN},   {"-2147483647", talvo::log_off_marker},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(talvo::parse_log_number(c.text), c.value);
  }
}

TEST(LogConfig, FilesAndTheirThresholds) {
  const struct {
    const char* what;
    std::string file;
    std::vector<Row> rows;
    bool complete;
  } cases[] = {
      {"empty file", "", {}, true},
      {"error=0 lets only verbosity 0 errors pass", "[talvo.io] error=0", {{"talvo.io", 0, M, M}}, true},
      {"-4 applies to all levels", "[talvo.io] -4", {{"talvo.io", 3, 3, 3}}, true},
      {"a positive value only raises", "[talvo.io] -4 =1", {{"talvo.io", 3, 3, 3}}, true},
      {"=7 raises", "[talvo.io] -4 =7", {{"talvo.io", 7, 7, 7}}, true},
      {"=3 at INT_MAX changes nothing", "[talvo.io] =3", {{"talvo.io", M, M, M}}, true},
      {"-5", "[exception] -5", {{"exception", 4, 4, 4}}, true},
      {"several statements on one line", "[talvo.io] e-1 w-2 i-3 e-5", {{"talvo.io", 0, 1, 2}}, true},
      {"the defaults reach every named channel",
       "[*] -*",
       {{"*", -1, -1, -1}, {"talvo.io", -1, -1, -1}, {"exception", -1, -1, -1}, {"assertion", -1, -1, -1}},
       true},
      {"one level switched back on",
       "[*] -*\n[exception] error=*",
       {{"*", -1, -1, -1}, {"talvo.io", -1, -1, -1}, {"exception", M, -1, -1}, {"assertion", -1, -1, -1}},
       true},
      {"the defaults replace earlier changes",
       "[talvo.io] error=0 [exception] -2 [*] -3",
       {{"*", 2, 2, 2}, {"talvo.io", 2, 2, 2}, {"exception", 2, 2, 2}, {"assertion", 2, 2, 2}},
       true},
      {"the example", "[talvo.io]\ninfo -*\n[!]\nwarning =-*\n", {{"talvo.io", M, M, -1}, {"!", M, -1, M}}, true},
      {"before any section", "-1", {{"", 0, 0, 0}}, true},
      {"escaped ]", "[a\\]b] -1", {{"a]b", 0, 0, 0}}, true},
      {"quoted, escaped ]", "['a\\]b'] -1", {{"a]b", 0, 0, 0}}, true},
      {"quote ended by ]", "['a]b'] -1", {{"a", 0, 0, 0}, {"a]b", kAbsent, 0, 0}}, true},
      {"uppercase letters are stray", "[talvo.io] Error=-*", {{"talvo.io", -1, -1, -1}}, true},
      {"characters above 127 are stray", "[talvo.io] \xe9rror=-2 [caf\xe9] -1",
       {{"talvo.io", 1, 1, 1}, {"caf\xe9", 0, 0, 0}}, true},
      {"a stray digit between level and number", "[talvo.io] error 7 -2", {{"talvo.io", 1, 1, 1}}, true},
      {"/ and another character are stray", "[talvo.io] error /x -1", {{"talvo.io", 0, 0, 0}}, true},
      {"; keeps the level word", "[talvo.io]\nerror ; comment\n=-*", {{"talvo.io", -1, M, M}}, true},
      {"// keeps the level word", "[talvo.io]\nwarning // comment\n-1", {{"talvo.io", M, 0, M}}, true},
      {"# ends the level word", "[talvo.io]\nerror # comment\n=-*", {{"talvo.io", -1, -1, -1}}, true},
      {"# alone keeps the next line", "[talvo.io]\n#\n-3\n", {{"talvo.io", 2, 2, 2}}, true},
      {"# and a word keep the next line", "[talvo.io]\n#note\ninfo -3", {{"talvo.io", M, M, 2}}, true},
      {"a number at the end of the file", "[talvo.io] info=-5", {{"talvo.io", M, M, 4}}, true},
      {"-* at the end of the file", "[talvo.io] info=-*", {{"talvo.io", M, M, -1}}, true},
      {"a sign at the end of the file", "[talvo.io] -1 +", {{"talvo.io", 0, 0, 0}}, true},
      {"= and another character", "[talvo.io] warning = x", {{"talvo.io", M, 0, M}}, true},
      {"=- and another character", "[talvo.io] info=-x", {{"talvo.io", M, M, -1}}, true},
      {"+ and another character", "[talvo.io] -1 +x", {{"talvo.io", M, M, M}}, true},
      {"* alone", "[talvo.io] -1 *", {{"talvo.io", M, M, M}}, true},
      {"CR LF lines", "[talvo.io]\r\nerror\r\n-1\r\n", {{"talvo.io", 0, M, M}}, true},
      {"numbers past 32 bits",
       "[talvo.io] -3 =99999999999 [exception] -99999999999 [assertion] =-4294967297 [x] 4294967297",
       {{"talvo.io", M, M, M}, {"exception", M, M, M}, {"assertion", M, M, M}, {"x", M, M, M}},
       true},
      {"+= stops the reading, keeping what came before",
       "[talvo.io] -2\n[exception] + = 3\n[assertion] -1",
       {{"talvo.io", 1, 1, 1}},
       false},
      {"-= too", "[talvo.io] -= 2 -1", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SettingsSnapshot snapshot;
    std::istringstream in(c.file);
    EXPECT_EQ(talvo::parse_log_config(in), c.complete);
    expect_settings(c.rows);
  }
}

TEST(LogConfig, ReadsTheFileBesideTheProgram) {
  const std::string path = talvo_test::sandbox() + "/game.log.ini";
  const struct {
    const char* what;
    std::string file;
    std::vector<Row> rows;
    std::string complaint;
  } cases[] = {
      {"no file", "", {}, ""},
      {"CR LF lines", "[talvo.io]\r\ninfo -*\r\n[!]\r\nwarning=-*\r\n", {{"talvo.io", M, M, -1}, {"!", M, -1, M}}, ""},
      {"a malformed statement", "[exception] -3\r\n[talvo.io] +=1\r\n[!] -*\r\n",
       {{"exception", 2, 2, 2}},
       path + ": \"+=\" and \"-=\" are not understood; the settings after them are ignored\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SettingsSnapshot snapshot;
    if (!c.file.empty()) write_file(path, c.file);
    testing::internal::CaptureStderr();
    talvo::load_log_config();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.complaint);
    expect_settings(c.rows);
    fs::remove(path);
  }
}

// The helper program, copied into a fresh directory as "maze" beside a
// settings file; its log and what it wrote to stderr.
struct HelperRun {
  std::vector<std::string> log;
  std::string errors;
};
HelperRun run_helper(const std::string& settings) {
  const std::string dir = talvo_test::fresh_dir();
  fs::copy_file(LOG_INI_HELPER, dir + "/maze");
  if (!settings.empty()) write_file(dir + "/maze.log.ini", settings);
  const std::string command = "cd " + shellQuote(dir) + " && ./maze 2>errors.txt";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  HelperRun run;
  std::istringstream log(read_file(dir + "/maze.log"));
  for (std::string line; std::getline(log, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    run.log.push_back(line);
  }
  run.errors = read_file(dir + "/errors.txt");
  return run;
}

TEST(LogConfig, TakesEffectAtTheFirstEntryOfAProgram) {
  using Lines = std::vector<std::string>;
  const Lines everything = {"[talvo.io] io info", "[talvo.io] error: io error", "[exception] error: exception 3",
                            "[exception] error: exception 5", "[] warning: warning", "[] info"};
  const struct {
    const char* what;
    std::string settings;
    Lines log;
    bool complains;
  } cases[] = {
      {"no settings file", "", everything, false},
      {"settings", "[talvo.io]\r\ninfo -*\r\n[exception] -5\r\n[!]\r\nwarning =-*\r\n",
       {"[talvo.io] error: io error", "[exception] error: exception 3", "[] info"}, false},
      {"a malformed statement", "[talvo.io] info -*\n[exception] +=2\n[!] -*\n", Lines(everything.begin() + 1, everything.end()),
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HelperRun run = run_helper(c.settings);
    EXPECT_EQ(run.log, c.log);
    if (c.complains) {
      EXPECT_NE(run.errors.find("maze.log.ini: \"+=\" and \"-=\" are not understood"), std::string::npos) << run.errors;
    } else {
      EXPECT_EQ(run.errors, "");
    }
  }
}

}  // namespace
