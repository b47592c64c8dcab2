// Log channels, entries, settings and the log file buffer.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "sandbox.h"
#include "talvo/Log.h"

// Defined in log_second_unit.cpp, built before this library's own channels.
extern talvo::LogChannel second_unit_channel;

namespace {

using talvo::LogChannel;
using talvo::LogEntry;
using talvo::LogFileBuf;
using talvo::LogSettings;
using talvo::LogStream;
using talvo_test::fresh_dir;
using talvo_test::MainLogTail;
using talvo_test::read_file;

constexpr uint32_t kWriteTruncate = talvo::AbstractFile::out | talvo::AbstractFile::trunc;

// A log buffer and stream of their own, writing "<fresh dir>/own.log".
struct OwnLog {
  OwnLog() : path(fresh_dir() + "/own.log"), stream(&buffer, path.c_str(), kWriteTruncate) {}
  std::string text() const { return read_file(path); }
  std::string path;
  LogFileBuf buffer;
  LogStream stream;
};

TEST(LogFileBuf, PrefixesAndIndentation) {
  struct Case {
    const char* what;
    const char* channel;
    int level;
    std::string written;
    std::string file;
  } cases[] = {
      {"named error", "talvo.io", 0, "abc\n", "[talvo.io] error: abc\r\n"},
      {"named warning", "talvo.io", 1, "abc\n", "[talvo.io] warning: abc\r\n"},
      {"named info", "talvo.io", 2, "abc\n", "[talvo.io] abc\r\n"},
      {"unnamed error", "", 0, "abc\n", "[] error: abc\r\n"},
      {"unnamed info", "", 2, "abc\n", "[] abc\r\n"},
      {"continuation lines", "exception", 0, "one\ntwo\nthree\n",
       "[exception] error: one\r\n" + std::string(19, ' ') + "two\r\n" + std::string(19, ' ') + "three\r\n"},
      {"no line end", "talvo.io", 0, "abc", "[talvo.io] error: abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OwnLog log;
    log.buffer.begin_entry(c.channel, c.level, 0);
    log.stream << c.written << std::flush;
    EXPECT_EQ(log.text(), c.file);
  }
}

TEST(LogFileBuf, EntriesAndFlushes) {
  OwnLog log;
  const std::string pad(18, ' ');  // "[talvo.io] error: "
  // A plain flush leaves the line open: the next entry's prefix follows on it.
  log.buffer.begin_entry("talvo.io", 0, 0);
  log.stream << "abc" << std::flush;
  log.buffer.begin_entry("talvo.io", 0, 0);
  log.stream << "def" << std::endl;
  EXPECT_EQ(log.text(), "[talvo.io] error: abc[talvo.io] error: def\r\n");

  // A line end flushed alone indents the next block of the same entry.
  log.buffer.begin_entry("talvo.io", 0, 0);
  log.stream << "x\n" << std::flush << "y" << std::endl;
  EXPECT_EQ(log.text(), "[talvo.io] error: abc[talvo.io] error: def\r\n[talvo.io] error: x\r\n" + pad + "y\r\n");

  // Two entries of one channel and level without a flush between them form one
  // block; another channel or level flushes the pending text first.
  OwnLog joined;
  joined.buffer.begin_entry("talvo.io", 0, 0);
  joined.stream << "first\n";
  joined.buffer.begin_entry("talvo.io", 0, 3);  // another verbosity alone does not flush
  joined.stream << "second\n";
  EXPECT_EQ(joined.text(), "");
  joined.buffer.begin_entry("talvo.io", 1, 0);
  EXPECT_EQ(joined.text(), "[talvo.io] error: first\r\n" + pad + "second\r\n");
  joined.stream << "w" << std::endl;
  joined.buffer.begin_entry("exception", 1, 0);
  joined.stream << "e\n";
  joined.buffer.begin_entry(nullptr, 1, 0);  // null and "" are one channel
  joined.stream << "u\n";
  joined.buffer.begin_entry("", 1, 0);
  EXPECT_EQ(joined.text(), "[talvo.io] error: first\r\n" + pad + "second\r\n[talvo.io] warning: w\r\n"
                           "[exception] warning: e\r\n");

  // A flush with nothing pending writes nothing.
  EXPECT_EQ(joined.buffer.pubsync(), 0);
}

TEST(LogFileBuf, FullLineBufferFlushesAndThePrefixComesOnce) {
  OwnLog log;
  log.buffer.begin_entry("talvo.io", 2, 0);
  const std::string text(5000, 'q');
  log.stream << text;
  // 4094 characters fill the buffer and the next one flushes them all.
  EXPECT_EQ(log.text(), "[talvo.io] " + std::string(4095, 'q'));
  log.stream << std::flush;
  EXPECT_EQ(log.text(), "[talvo.io] " + text);
  EXPECT_TRUE(log.stream.good());
}

TEST(LogFileBuf, WithoutAFileNameTheStreamRefusesText) {
  LogFileBuf buffer;
  LogStream stream(&buffer);
  stream << "x";
  EXPECT_TRUE(stream.bad());
  LogFileBuf named;
  LogStream empty(&named, "", kWriteTruncate);
  EXPECT_TRUE(named.file_name().empty());
  empty << "x";
  EXPECT_TRUE(empty.bad());
}

TEST(LogFileBuf, StreamsPadAfterTheValue) {
  OwnLog log;
  log.buffer.begin_entry("", 2, 0);
  log.stream.width(5);
  log.stream << "ab";
  log.stream << "|" << std::endl;
  EXPECT_EQ(log.text(), "[] ab   |\r\n");
}

TEST(LogFileBuf, NamesTheOpenedFile) {
  OwnLog log;
  EXPECT_EQ(log.buffer.file_name(), log.path);
  log.stream << "x" << std::endl;
  // Opened with the directory's own separator added by the search.
  std::string dir = log.path.substr(0, log.path.rfind('/'));
  EXPECT_EQ(log.buffer.file_name(), dir + "\\own.log");
}

TEST(LogSettings, ThresholdsOfAChannel) {
  LogSettings* settings = talvo::log_settings_for("test.thresholds");
  settings->lower_threshold(talvo::log_all_levels, 4);  // 3 for every level
  LogChannel warnings("test.thresholds", talvo::log_warning_level, 0);
  MainLogTail log;
  for (int v = 0; v <= 5; ++v) warnings.entry(v) << "v" << v << std::endl;
  EXPECT_EQ(log.lines(), (std::vector<std::string>{
                             "[test.thresholds] warning: v0", "[test.thresholds] warning: v1",
                             "[test.thresholds] warning: v2", "[test.thresholds] warning: v3"}));

  settings->threshold[1] = -1;  // warnings off
  EXPECT_FALSE(warnings.entry(0));
  settings->threshold[1] = 3;
  ++settings->disable;
  EXPECT_FALSE(warnings.entry(0));
  --settings->disable;
  EXPECT_TRUE(warnings.entry(0));
}

TEST(LogSettings, TheGlobalSwitchCapsEveryChannel) {
  LogChannel mine("test.switch", talvo::log_info_level, 0);
  ASSERT_TRUE(mine.entry(0));
  ++talvo::log_switch.disable;
  EXPECT_FALSE(mine.entry(0));
  EXPECT_FALSE(talvo::io::error_log.entry(0));
  EXPECT_FALSE(talvo::info_log.entry(0));
  --talvo::log_switch.disable;
  EXPECT_TRUE(mine.entry(0));

  talvo::log_switch.threshold[2] = 1;
  EXPECT_TRUE(mine.entry(1));
  EXPECT_FALSE(mine.entry(2));
  EXPECT_TRUE(talvo::io::error_log.entry(2));  // errors are not capped
  talvo::log_switch.threshold[2] = INT_MAX;
}

TEST(LogSettings, RaiseLowerAndCopies) {
  LogSettings s;
  EXPECT_EQ(s.lower_threshold(talvo::log_error_level | talvo::log_info_level, 5), 4);
  EXPECT_EQ(s.threshold[0], 4);
  EXPECT_EQ(s.threshold[1], INT_MAX);
  EXPECT_EQ(s.threshold[2], 4);
  EXPECT_EQ(s.is_default, 0);
  s.lower_threshold(talvo::log_error_level, 9);  // only ever lowers
  EXPECT_EQ(s.threshold[0], 4);
  s.raise_threshold(talvo::log_error_level, 2);  // only ever raises
  EXPECT_EQ(s.threshold[0], 4);
  s.raise_threshold(talvo::log_error_level, 7);
  EXPECT_EQ(s.threshold[0], 7);
  LogSettings copy(s);
  EXPECT_EQ(copy.is_default, 1);
  EXPECT_EQ(copy.threshold[0], 7);

  LogSettings* changed = talvo::log_settings_for("test.changed");
  LogSettings* untouched = talvo::log_settings_for("test.untouched");
  changed->lower_threshold(talvo::log_all_levels, 1);
  talvo::apply_log_settings_to_all(s, false);
  EXPECT_EQ(changed->threshold[0], 0);
  EXPECT_EQ(untouched->threshold[0], 7);
  talvo::apply_log_settings_to_all(talvo::log_defaults, true);
  EXPECT_EQ(changed->threshold[0], INT_MAX);
  EXPECT_EQ(changed->is_default, 1);
}

TEST(LogSettings, LookupByName) {
  EXPECT_EQ(talvo::find_log_settings("!"), &talvo::log_switch);
  EXPECT_EQ(talvo::find_log_settings("*"), &talvo::log_defaults);
  EXPECT_EQ(talvo::find_log_settings("test.absent"), nullptr);
  LogSettings* added = talvo::log_settings_for("test.absent");
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(talvo::find_log_settings("test.absent"), added);
  EXPECT_EQ(talvo::find_log_settings("TEST.absent"), nullptr);  // names keep their case
  // The library's named channels are in the map from the start.
  for (const char* name : {"talvo.io", "exception", "assertion"}) {
    EXPECT_NE(talvo::find_log_settings(name), nullptr) << name;
  }
}

TEST(LogChannel, AChannelOfAnotherSourceFileGetsTheDefaults) {
  const LogSettings* record = talvo::find_log_settings("second.unit");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->is_default, 1);
  EXPECT_EQ(record->disable, 0);
  for (int level = 0; level < 3; ++level) EXPECT_EQ(record->threshold[level], INT_MAX);
  MainLogTail log;
  second_unit_channel << "from the second unit" << std::endl;
  EXPECT_EQ(log.lines(), std::vector<std::string>{"[second.unit] warning: from the second unit"});
}

TEST(LogChannel, LevelFlagsPickTheHighestLevel) {
  struct Case {
    unsigned flags;
    int level;
  } cases[] = {{1, 0}, {3, 0}, {7, 0}, {2, 1}, {6, 1}, {4, 2}, {0, 2}};
  for (const Case& c : cases) {
    LogChannel channel("test.levels", c.flags, 0);
    EXPECT_EQ(channel.level(), c.level) << c.flags;
  }
}

TEST(LogChannel, EntriesShareOneSentryAndEmptyEntriesIgnoreText) {
  OwnLog own;
  LogChannel channel(&own.stream, talvo::log_info_level, 0);
  {
    LogEntry first = channel.entry(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first.sentry().refs()->use_count, 1);
    {
      LogEntry second = first;
      EXPECT_EQ(second.sentry().get(), first.sentry().get());
      EXPECT_EQ(first.sentry().refs()->use_count, 2);
      EXPECT_EQ(first.sentry().refs()->weak_count, 2);
    }
    EXPECT_EQ(first.sentry().refs()->use_count, 1);
    first << "shared" << std::endl;
  }
  EXPECT_EQ(own.text(), "[] shared\r\n");

  LogEntry empty;
  EXPECT_FALSE(empty);
  EXPECT_EQ(empty.sentry().get(), nullptr);
  empty << "nothing" << 42 << std::endl;
  EXPECT_EQ(own.text(), "[] shared\r\n");
}

TEST(LogChannel, ASinkWithoutStreamIsAskedAgain) {
  static int calls = 0;
  static OwnLog* target = nullptr;
  calls = 0;
  LogChannel channel([]() -> LogStream* {
    ++calls;
    return target ? &target->stream : nullptr;
  }, talvo::log_error_level, 0);
  EXPECT_FALSE(channel.entry(0));
  EXPECT_FALSE(channel.entry(0));
  EXPECT_EQ(calls, 2);
  OwnLog own;
  target = &own;
  channel << "now" << std::endl;
  channel << "again" << std::endl;
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(own.text(), "[] error: now\r\n[] error: again\r\n");
  target = nullptr;
}

TEST(LogChannel, RefusedEntriesDoNotBuildTheStream) {
  LogSettings* settings = talvo::log_settings_for("test.refused");
  settings->threshold[0] = -1;
  LogChannel refused("test.refused", talvo::log_error_level, 0);
  EXPECT_FALSE(refused.entry(0));
  EXPECT_EQ(refused.stream(), nullptr);
}

}  // namespace
