// Logged throws, the report box, the assertion box and the ring of recent log
// lines they show.
#include <gtest/gtest.h>

#include <csignal>
#include <sstream>
#include <string>
#include <vector>

#include "platform/test_api.h"
#include "platform/win32.h"
#include "sandbox.h"
#include "talvo/Log.h"
#include "talvo/Report.h"

namespace {

using plat::test::MessageBoxRecord;
using talvo::SourceLocation;
using talvo_test::MainLogTail;
using talvo_test::sandbox;

constexpr UINT kBoxFlags = MB_ICONHAND | MB_SETFOREGROUND | MB_TOPMOST;
const std::string kStreamFile = "\\Lib\\talvo\\src\\talvo\\stream.cpp";
const std::string kInstructions =
    "\nPress 'Abort'  to stop program execution\n"
    "Press 'Retry'  to debug program\n"
    "Press 'Ignore' to continue program execution\n";

MessageBoxRecord onlyBox() {
  std::vector<MessageBoxRecord> boxes = plat::test::takeMessageBoxes();
  EXPECT_EQ(boxes.size(), 1u);
  return boxes.empty() ? MessageBoxRecord{} : boxes.front();
}

// Makes the last nine lines of the main log known: "[] recent 1" to "[] recent 9".
// Returns the log section the boxes show for them.
std::string knownLogSection() {
  for (int i = 1; i <= 9; ++i) talvo::info_log << "recent " << i << std::endl;
  std::string section = "Recent log entries (\"" + sandbox() + "/game.log\"):\n";
  for (int i = 1; i <= 9; ++i) section += "[] recent " + std::to_string(i) + "\n";
  return section + "\n";
}

TEST(Report, WriteLocation) {
  struct Case {
    SourceLocation location;
    const char* text;
  } cases[] = {
      {{"a.cpp", 12, "talvo::f"}, "a.cpp(12) : talvo::f : "},
      {{nullptr, 12, "f"}, "f : "},
      {{"", 0, "f"}, "f : "},
      {{"a.cpp", 0, nullptr}, "a.cpp(0) : "},
      {{"a.cpp", 7, ""}, "a.cpp(7) : "},
      {{nullptr, 3, nullptr}, ""},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    talvo::write_location(out, c.location);
    EXPECT_EQ(out.str(), c.text);
  }
  std::ostringstream indented;
  indented << talvo::indent << "x";
  EXPECT_EQ(indented.str(), "    x");
}

TEST(Report, LogThrowWritesThreeLinesOnTheExceptionChannel) {
  MainLogTail log;
  const SourceLocation where{kStreamFile.c_str(), 120, "talvo::io::Stream::throw_failure_"};
  EXPECT_FALSE(talvo::log_throw(where, talvo::io::Failure(nullptr)));
  EXPECT_FALSE(talvo::log_throw({nullptr, 0, nullptr}, talvo::Exception("two\nlines")));
  const std::string pad(19, ' ');
  EXPECT_EQ(log.lines(), (std::vector<std::string>{
                             "[exception] error: class talvo::io::Failure",
                             pad + "    " + kStreamFile + "(120) : talvo::io::Stream::throw_failure_ : ",
                             pad + "    i/o error",
                             "[exception] error: class talvo::Exception",
                             pad + "    ",
                             pad + "    two",
                             pad + "lines",
                         }));
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
}

TEST(Report, ThrowLoggedThrowsTheExceptionItLogged) {
  MainLogTail log;
  try {
    talvo::TextualErrorInfo info("unexpected end", "a.tga");
    talvo::throw_logged({"x.cpp", 1, "g"}, talvo::io::Failure(info));
  } catch (const talvo::io::Failure& e) {
    EXPECT_STREQ(e.what(), "unexpected end ('a.tga')");
  }
  std::vector<std::string> lines = log.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "[exception] error: class talvo::io::Failure");
}

TEST(Report, ButtonsAndOutcomes) {
  struct Case {
    unsigned request;
    UINT style;
    int answer;
    int outcome;
  } cases[] = {
      {0, MB_OK, IDOK, 0},
      {1, MB_OK, IDOK, 0},  // 1 alone is dropped
      {2, MB_OK, IDOK, 0},
      {3, MB_RETRYCANCEL, IDRETRY, 2},
      {3, MB_RETRYCANCEL, IDCANCEL, 1},
      {3, MB_RETRYCANCEL, IDTRYAGAIN, 2},
      {4, MB_OK, IDOK, 0},
      {5, MB_OK, IDOK, 0},
      {6, MB_OK, IDOK, 0},
      {7, MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDABORT, 1},
      {7, MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY, 2},
      {7, MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDIGNORE, 4},
      {7, MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDCONTINUE, 4},
      {7, MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDYES, 0},
      {7, MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDNO, 0},
  };
  plat::test::takeMessageBoxes();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "request " << c.request << " answer " << c.answer);
    plat::test::pushMessageBoxAnswer(c.answer);
    HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
    EXPECT_EQ(talvo::report_error("text", "Caption", c.request, owner, nullptr), c.outcome);
    MessageBoxRecord box = onlyBox();
    EXPECT_EQ(box.style, c.style | kBoxFlags);
    EXPECT_EQ(box.owner, owner);
    EXPECT_EQ(box.caption, "Caption");
  }
  // Closing a Retry/Cancel box answers Cancel.
  EXPECT_EQ(talvo::report_error("text", "Caption", 3, nullptr, nullptr), 1);
  onlyBox();
}

TEST(Report, BoxShowsTheLastLinesOfTheLog) {
  const std::string section = knownLogSection();
  struct Case {
    const char* text;
    const char* footer;
    std::string box;
  } cases[] = {
      {"message", "footer", "message\n\n" + section + "footer"},
      {nullptr, "footer", section + "footer"},
      {nullptr, nullptr, section},
  };
  for (const Case& c : cases) {
    talvo::report_error(c.text, "c", 0, nullptr, c.footer);
    EXPECT_EQ(onlyBox().text, c.box);
  }
}

TEST(Report, ReportException) {
  const std::string section = knownLogSection();
  talvo::io::Failure failure("bad data");
  HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x42));
  EXPECT_EQ(talvo::report_exception(failure, 0, owner, nullptr), 0);
  MessageBoxRecord box = onlyBox();
  EXPECT_EQ(box.caption, "class talvo::io::Failure");
  EXPECT_EQ(box.text, "bad data\n\n" + section);
  EXPECT_EQ(box.style, MB_OK | kBoxFlags);
  EXPECT_EQ(box.owner, owner);
}

// The ring keeps the last nine lines read, oldest first; empty lines take a
// place but are not shown.
TEST(Report, RecentEntriesRing) {
  auto numbered = [](int from, int to, const char* end) {
    std::string text;
    for (int i = from; i <= to; ++i) text += "line " + std::to_string(i) + end;
    return text;
  };
  auto shown = [&](int from, int to) { return numbered(from, to, "\n"); };
  const std::string overlong(300, 'o');
  struct Case {
    const char* what;
    std::string log;
    std::string shown;
  } cases[] = {
      {"twenty lines", numbered(1, 20, "\n"), shown(12, 20)},
      {"three lines", numbered(1, 3, "\n"), shown(1, 3)},
      {"no final line end", numbered(1, 3, "\n") + "tail", shown(1, 3) + "tail\n"},
      {"CR LF line ends", numbered(1, 12, "\r\n"), shown(4, 12)},
      {"empty lines", "a\n\n\nb\n", "a\nb\n"},
      {"empty log", "", ""},
      {"overlong line in the middle", numbered(1, 5, "\r\n") + overlong + "\r\n" + numbered(6, 10, "\r\n"),
       shown(3, 5) + std::string(258, 'o') + "\n" + shown(6, 10)},
      {"overlong last line", numbered(1, 2, "\n") + overlong, shown(1, 2) + std::string(258, 'o') + "\n"},
      {"258 characters and CR LF", std::string(258, 'x') + "\r\n" + "next\n",
       std::string(258, 'x') + "\nnext\n"},
      {"257 characters and CR LF", std::string(257, 'y') + "\r\n", std::string(257, 'y') + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    talvo::RecentEntry ring[talvo::recent_entries];
    for (int i = 0; i < talvo::recent_entries; ++i) {
      ring[i].text[0] = '\0';
      ring[i].next = &ring[(i + 1) % talvo::recent_entries];
    }
    std::istringstream in(c.log);
    in.seekg(0);
    talvo::RecentEntry* end = talvo::read_recent_entries(in, ring);
    EXPECT_EQ(end->text[0], '\0');
    // The stream is back where it was, and usable.
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.tellg(), 0);
    std::ostringstream out;
    talvo::write_recent_entries(out, end);
    EXPECT_EQ(out.str(), c.shown);
  }
}

TEST(Report, AssertionBoxTextsAndOutcomes) {
  const std::string section = knownLogSection();
  struct Case {
    SourceLocation location;
    std::string footer;
  } locations[] = {
      {{"a.cpp", 12, "talvo::f"}, "File:     a.cpp\nLine:     12\nFunction: talvo::f\n"},
      {{"", 0, "talvo::f"}, "Function: talvo::f\n"},
      {{nullptr, 5, nullptr}, "Line:     5\n"},
      {{"b.cpp", 0, ""}, "File:     b.cpp\nFunction: \n"},
  };
  for (const Case& c : locations) {
    plat::test::pushMessageBoxAnswer(IDIGNORE);
    EXPECT_EQ(talvo::show_assertion_message(c.location, "index < size"), talvo::assertion_ignore);
    MessageBoxRecord box = onlyBox();
    EXPECT_EQ(box.caption, "Assertion failed!");
    EXPECT_EQ(box.style, MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | kBoxFlags);
    EXPECT_EQ(box.owner, nullptr);  // no active window
    EXPECT_EQ(box.text, "index < size\n\n" + section + c.footer + kInstructions);
  }
  struct Answer {
    int answer;
    int outcome;
  } answers[] = {{IDRETRY, talvo::assertion_retry},
                 {IDIGNORE, talvo::assertion_ignore},
                 {IDABORT, talvo::assertion_abort},
                 {IDOK, talvo::assertion_abort}};
  for (const Answer& a : answers) {
    plat::test::pushMessageBoxAnswer(a.answer);
    EXPECT_EQ(talvo::show_assertion_message({"a.cpp", 1, "f"}, "m"), a.outcome);
    onlyBox();
  }
}

TEST(Report, AssertionBoxKeepsAPendingQuit) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  PostQuitMessage(7);
  EXPECT_EQ(talvo::show_assertion_message({"a.cpp", 1, "f"}, "m"), talvo::assertion_ignore);
  onlyBox();
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(Report, ThrowAssertingAsksFirst) {
  talvo::throw_asserting = true;
  MainLogTail log;
  plat::test::pushMessageBoxAnswer(IDIGNORE);
  EXPECT_FALSE(talvo::log_throw({"s.cpp", 9, "h"}, talvo::Exception("checked")));
  EXPECT_EQ(onlyBox().text.substr(0, 9), "checked\n\n");
  plat::test::pushMessageBoxAnswer(IDRETRY);
  EXPECT_TRUE(talvo::log_throw({"s.cpp", 9, "h"}, talvo::Exception("checked")));
  onlyBox();
  // Both throws were logged after the box.
  EXPECT_EQ(log.lines().size(), 6u);
  EXPECT_EXIT(
      {
        plat::test::pushMessageBoxAnswer(IDABORT);
        talvo::log_throw({"s.cpp", 9, "h"}, talvo::Exception("stop"));
      },
      testing::KilledBySignal(SIGABRT), "");
  talvo::throw_asserting = false;
}

TEST(Report, AssertionChoice) {
  EXPECT_TRUE(talvo::assertion_choice(talvo::assertion_retry));
  EXPECT_FALSE(talvo::assertion_choice(talvo::assertion_ignore));
  for (int outcome : {talvo::assertion_abort, 7, -1}) {
    EXPECT_EXIT(talvo::assertion_choice(outcome), testing::KilledBySignal(SIGABRT), "") << outcome;
  }
}

}  // namespace
