// The main log file: where and when it is created, its previous run, unique
// names, what happens when it cannot be written, and the report box before
// the log is open. Each test watches the main log from the start of its
// process (the program is ONE_PER_PROCESS).
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/test_api.h"
#include "sandbox.h"
#include "talvo/Log.h"
#include "talvo/Report.h"

namespace {

namespace fs = std::filesystem;
using talvo_test::read_file;
using talvo_test::sandbox;
using talvo_test::write_file;

TEST(MainLog, CreatedBesideTheProgramAtTheFirstFlushKeepingThePreviousRun) {
  const std::string log = sandbox() + "/game.log";
  const std::string previous = sandbox() + "/game.prev.log";
  write_file(log, "last run\r\n");
  write_file(previous, "the run before\r\n");

  ASSERT_NE(talvo::default_log_stream(), nullptr);
  talvo::io::error_log << "abc";
  EXPECT_EQ(read_file(log), "last run\r\n");  // nothing flushed yet
  // The second entry of the same channel and level joins the pending text.
  talvo::io::error_log << "def" << std::endl;
  EXPECT_EQ(read_file(log), "[talvo.io] error: abcdef\r\n");
  EXPECT_EQ(read_file(previous), "last run\r\n");
  talvo::exception_log << "two\nlines" << std::endl;
  EXPECT_EQ(read_file(log), "[talvo.io] error: abcdef\r\n"
                            "[exception] error: two\r\n                   lines\r\n");
}

TEST(MainLog, FileNameComesWithTheUnnamedInfoChannel) {
  EXPECT_EQ(talvo::log_file_name(), nullptr);
  talvo::io::info_log << "io" << std::endl;
  talvo::error_log << "error" << std::endl;
  EXPECT_EQ(talvo::log_file_name(), nullptr);
  talvo::info_log << "info" << std::endl;
  ASSERT_NE(talvo::log_file_name(), nullptr);
  EXPECT_EQ(std::string(talvo::log_file_name()), sandbox() + "/game.log");
  EXPECT_EQ(read_file(sandbox() + "/game.log"), "[talvo.io] io\r\n[] error: error\r\n[] info\r\n");
}

TEST(MainLog, UniqueNameWhenTheLogCannotBeCreated) {
  // game.log and game_1.log are directories, and game.log cannot be moved
  // aside: game.prev.log is a directory that is not empty.
  fs::create_directories(sandbox() + "/game.log");
  fs::create_directories(sandbox() + "/game.prev.log/keep");
  fs::create_directories(sandbox() + "/game_1.log");
  talvo::info_log << "hello" << std::endl;
  ASSERT_NE(talvo::log_file_name(), nullptr);
  EXPECT_EQ(std::string(talvo::log_file_name()), sandbox() + "/game_2.log");
  // The retry notes are not logged while the log itself is being opened.
  EXPECT_EQ(read_file(sandbox() + "/game_2.log"), "[] hello\r\n");
}

TEST(MainLog, UnknownProgramLogsAsTalvoInTheTemporaryDirectory) {
  plat::test::setModuleFileName("");
  talvo::info_log << "where" << std::endl;
  EXPECT_EQ(talvo::log_file_path(), "_talvo.log");
  EXPECT_EQ(talvo::log_config_path(), "_talvo.log.ini");
  EXPECT_EQ(read_file(sandbox() + "/tmp/_talvo.log"), "[] where\r\n");
}

TEST(MainLog, SilentForGoodWhenNoDirectoryTakesTheLog) {
  const std::string gone = sandbox() + "/gone";
  plat::test::setModuleFileName((gone + "/bin/game.exe").c_str());
  setenv("TMPDIR", (gone + "/tmp").c_str(), 1);
  // The current directory is one that no longer exists.
  const fs::path start = fs::current_path();
  fs::create_directory(gone);
  fs::current_path(gone);
  fs::remove(gone);

  talvo::info_log << "lost" << std::endl;
  talvo::LogStream* stream = talvo::default_log_stream();
  EXPECT_TRUE(stream->bad());
  EXPECT_EQ(std::string(talvo::log_file_name()), "");
  talvo::info_log << "still lost" << std::endl;
  fs::current_path(start);
  EXPECT_FALSE(fs::exists(gone));
}

// A write to the log file that fails is reported on a channel of the same
// log; that report must not write into the log again.
TEST(MainLog, FailingWritesDoNotLogIntoTheLog) {
  talvo::io::error_log << "before the limit" << std::endl;
  const std::string log = sandbox() + "/game.log";
  const size_t size = read_file(log).size();
  ASSERT_GT(size, 0u);

  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = size + 10;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  for (int i = 0; i < 3; ++i) {
    talvo::io::info_log << "a line that does not fit " << i << std::endl;
    talvo::exception_log << "nor does this one" << std::endl;
  }
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  std::signal(SIGXFSZ, SIG_DFL);

  // The first flush wrote what fitted; the log then went quiet.
  EXPECT_EQ(read_file(log).size(), size + 10);
  EXPECT_TRUE(talvo::default_log_stream()->bad());
}

// Before the unnamed info channel has opened the log, a report box shows no
// log section.
TEST(Report, BoxTextBeforeTheInfoChannelHasItsStream) {
  talvo::error_log << "not shown" << std::endl;
  struct Case {
    const char* text;
    const char* footer;
    std::string box;
  } cases[] = {
      {"message", "footer", "message\n\nfooter"},
      {"message", nullptr, "message\n\n"},
      {nullptr, "footer", "footer"},
      {nullptr, nullptr, ""},
  };
  for (const Case& c : cases) {
    talvo::report_error(c.text, "c", 0, nullptr, c.footer);
    std::vector<plat::test::MessageBoxRecord> boxes = plat::test::takeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.box);
  }
}

}  // namespace
