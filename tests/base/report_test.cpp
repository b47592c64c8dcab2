#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/err.h"
#include "err_fixture.h"
#include "platform/test_api.h"
#include "platform/win32.h"

namespace {

using ReportTest = ErrTest;

constexpr UINT kReportStyle = MB_ABORTRETRYIGNORE | MB_SYSTEMMODAL | MB_ICONHAND | MB_SETFOREGROUND;

TEST_F(ReportTest, DefaultExitHookShowsTheRaise) {
  EXPECT_EQ(errRaise(-2), ERR_OUTCOME_IGNORE);
  auto boxes = plat::test::takeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, reportText(-2, "No memory", "Error Code  : 0xFFFFFFFE (-2)"));
  EXPECT_EQ(boxes[0].caption, "Error Message");
  EXPECT_EQ(boxes[0].style, kReportStyle);
  EXPECT_EQ(boxes[0].owner, nullptr);

  // The message is data: a directive in it is shown as it stands.
  errPrintf(ERR_LEVEL_ERROR, "%s", "50%d %s");
  boxes = plat::test::takeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, reportText(-97, "50%d %s", "Error Code  : 0xFFFFFF9F (-97)"));
}

TEST_F(ReportTest, ReportTexts) {
  const std::string longPath = "C:\\" + std::string(60, 'p') + "\\game.exe";  // 72 characters
  const std::string file65 = std::string(55, 'f') + "\\source.c";        // 64 characters
  const std::string file66 = "x" + file65;
  struct Case {
    const char* name;
    const char* module;
    const char* srcFile;
    int line;
    errCode code;
    unsigned level;
    std::string message;
    std::string text;
    const char* caption;
  } cases[] = {
      {"all lines", "C:\\maze.exe", "draw.cpp", 120, -5, ERR_LEVEL_ERROR, "bad",
       "Program     : C:\\maze.exe\nFile        : draw.cpp\nLine        : 120\nError Code  : 0xFFFFFFFB (-5)\n\nbad\n"
       "\nPress Retry to debug the application",
       "Error Message"},
      {"long program path and 64-character file", longPath.c_str(), file65.c_str(), 0, 0, ERR_LEVEL_WARNING, "",
       "Program     : ..." + longPath.substr(longPath.size() - 61) + "\nFile        : " + file65 +
           "\n\n\n\nPress Retry to debug the application",
       "Warning Message"},
      {"65-character file and negative line", "", file66.c_str(), -3, static_cast<errCode>(0x887601C2), 0, "m",
       "Program     : unknown\nFile        : ..." + file66.substr(file66.size() - 61) +
           "\n\nError Code  : 0x887601C2 (450)\n\nm\n\nPress Retry to debug the application",
       "Message"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    plat::test::setModuleFileName(c.module);
    errGetState()->level = static_cast<uint8_t>(c.level);
    errGetState()->srcFile = "kept";
    int outcome = c.message.empty() ? errReportAt(c.srcFile, c.line, c.code, nullptr)
                                    : errReportAt(c.srcFile, c.line, c.code, "%s", c.message.c_str());
    EXPECT_EQ(outcome, ERR_OUTCOME_IGNORE);
    EXPECT_EQ(errGetState()->srcFile, nullptr);
    auto boxes = plat::test::takeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.text);
    EXPECT_EQ(boxes[0].caption, c.caption);
  }
}

TEST_F(ReportTest, UserMessageLimit) {
  errGetState()->level = ERR_LEVEL_ERROR;
  const std::string fits(511, 'a');
  errReportAt(nullptr, 0, -5, "%s", fits.c_str());
  auto boxes = plat::test::takeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("\n" + fits + "\n"), std::string::npos);

  const std::string tooLong(600, 'b');
  errReportAt(nullptr, 0, -5, "%s", tooLong.c_str());
  boxes = plat::test::takeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("\n" + std::string(490, 'b') + "User message too long\n"), std::string::npos);
}

TEST_F(ReportTest, OutcomesFromTheButtons) {
  struct {
    int answer;
    int outcome;
  } cases[] = {{IDRETRY, ERR_OUTCOME_RETRY}, {IDIGNORE, ERR_OUTCOME_IGNORE}, {IDOK, ERR_OUTCOME_IGNORE}};
  for (auto c : cases) {
    plat::test::pushMessageBoxAnswer(c.answer);  // any result but Retry and Abort is Ignore
    EXPECT_EQ(errRaise(-63), c.outcome);
    EXPECT_EQ(errGetState()->lastOutcome, c.outcome);
  }
}

TEST_F(ReportTest, AbortEndsTheProcessWithTheStateCode) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        plat::test::pushMessageBoxAnswer(IDABORT);
        errRaise(-2);
      },
      ::testing::ExitedWithCode(254), "");
  EXPECT_EXIT(
      {
        // The exit code is the state's code, not the code argument.
        plat::test::pushMessageBoxAnswer(IDABORT);
        errGetState()->code = 3;
        errReportAt(nullptr, 0, -63, "x");
      },
      ::testing::ExitedWithCode(3), "");
}

std::vector<std::string>& events() {
  static std::vector<std::string> e;
  return e;
}

TEST_F(ReportTest, HooksOwnerCursorAndSecondCall) {
  static HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x4242));
  events().clear();
  errBoxHooks hooks = {
      [] { return owner; },
      [] {
        events().push_back("before box");
        // A box asked for while one is open.
        int r = errMessageBox("inner", "Inner", MB_OK | MB_TASKMODAL | MB_ICONQUESTION);
        events().push_back("second call " + std::to_string(r));
      },
      [] { events().push_back("after box"); },
      [] { events().push_back("before report"); },
      [](int result) { events().push_back("after report " + std::to_string(result)); },
  };
  errSetBoxHooks(&hooks);
  plat::test::setCursorCount(-2);
  plat::test::pushMessageBoxAnswer(IDOK);
  plat::test::pushMessageBoxAnswer(IDRETRY);
  EXPECT_EQ(errRaise(-5), ERR_OUTCOME_RETRY);

  EXPECT_EQ(events(), (std::vector<std::string>{"before report", "before box", "second call 1", "after box",
                                                 "after report 4"}));
  EXPECT_GE(plat::test::cursorCount(), 0);
  auto boxes = plat::test::takeMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, "Debug Message - SECOND CALL");
  EXPECT_EQ(boxes[0].text, "inner");
  EXPECT_EQ(boxes[0].style, MB_OK | MB_SYSTEMMODAL | MB_ICONHAND | MB_SETFOREGROUND);
  EXPECT_EQ(boxes[1].owner, owner);
  EXPECT_EQ(boxes[1].caption, "Error Message");
  EXPECT_EQ(boxes[1].style, kReportStyle);
  // The owner is hidden for each box; the stub reports it as not visible
  // before, so it is not shown again.
  auto shows = plat::test::takeShowWindowCalls();
  ASSERT_EQ(shows.size(), 2u);
  for (const auto& s : shows) {
    EXPECT_EQ(s.window, owner);
    EXPECT_EQ(s.command, SW_HIDE);
  }
  plat::test::setCursorCount(0);
}

}  // namespace
