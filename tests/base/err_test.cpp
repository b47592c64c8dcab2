#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "base/err.h"
#include "err_fixture.h"
#include "platform/test_api.h"
#include "platform/win32.h"

namespace {

using RaiseTest = ErrTest;
using TryTest = ErrTest;

// Raises outside any TRY frame: the text chosen, the level, whether the box
// showed, and what the raise returned.
TEST_F(RaiseTest, TextLookupLevelsAndBoxOutsideTry) {
  struct Case {
    const char* name;
    std::function<errCode()> raise;
    const char* text;
    unsigned levelBit;
    bool box;
    errCode result;
  } cases[] = {
      {"plain text of a file code", [] { return errRaise(-17); }, "Can't open file", ERR_LEVEL_ERROR, true, -93},
      {"file-name variant", [] { return errRaiseArg(-17, "data\\mask.bmp"); }, "Can't open file 'data\\mask.bmp'",
       ERR_LEVEL_ERROR, true, -93},
      {"code without file variant ignores the name", [] { return errRaiseArg(-5, "x.rw"); }, "Data error",
       ERR_LEVEL_ERROR, true, -93},
      {"unknown code falls back", [] { return errRaise(-4); }, "Error -4", ERR_LEVEL_ERROR, true, -93},
      {"unknown positive code falls back", [] { return errRaise(0x1234); }, "Error 4660", ERR_LEVEL_ERROR, true, -93},
      {"warning level: hook only", [] { return errRaise(-70); }, "Number overflow", ERR_LEVEL_WARNING, false, -70},
      {"drive variant", [] {
         errGetState()->drive = 2;
         return errRaise(-25);
       },
       "Disk 'C' is full", ERR_LEVEL_ERROR, true, -93},
      {"drive code without drive", [] { return errRaiseArg(-25, "f.dat"); }, "Disk is full", ERR_LEVEL_ERROR, true,
       -93},
      {"printf text at error level", [] { return errPrintf(ERR_LEVEL_ERROR, "bad %s #%d", "line", 7); },
       "bad line #7", ERR_LEVEL_ERROR, true, -93},
      {"printf text at warning level", [] { return errPrintf(ERR_LEVEL_WARNING, "careful"); }, "careful",
       ERR_LEVEL_WARNING, false, -97},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    hookCalls().clear();
    errGetState()->drive = ERR_NO_DRIVE;
    errCode r = c.raise();
    EXPECT_EQ(r, c.result);
    ASSERT_EQ(hookCalls().size(), 1u);
    EXPECT_EQ(hookCalls()[0].text, c.text);
    EXPECT_TRUE(hookCalls()[0].level & c.levelBit);
    auto boxes = plat::test::takeMessageBoxes();
    ASSERT_EQ(boxes.size(), c.box ? 1u : 0u);
    if (c.box) {
      EXPECT_NE(boxes[0].text.find(std::string("\n\n") + c.text + "\n"), std::string::npos) << boxes[0].text;
      EXPECT_EQ(boxes[0].caption, "Error Message");
    }
  }
}

TEST_F(RaiseTest, CodeZeroDoesNothingAndOutcomesDoNotStick) {
  errGetState()->code = 0;
  EXPECT_EQ(errRaise(0), 0);
  EXPECT_EQ(errRaiseArg(0, "f"), 0);
  EXPECT_TRUE(hookCalls().empty());
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());

  plat::test::pushMessageBoxAnswer(IDRETRY);
  EXPECT_EQ(errRaise(-2), ERR_OUTCOME_RETRY);
  EXPECT_EQ(errGetState()->lastOutcome, ERR_OUTCOME_RETRY);
  // A later raise that shows no box returns its own code.
  EXPECT_EQ(errRaise(-70), -70);
  EXPECT_EQ(errGetState()->lastOutcome, 0);
}

// A raise while a raise is being handled is stored but neither handled nor
// jumped: a message hook that raises gets its code back at once.
TEST_F(RaiseTest, RaiseInsideHandlingIsOnlyStored) {
  static errCode inner;
  static int calls;
  static bool caughtInHook;
  calls = 0;
  caughtInHook = false;
  errGetState()->messageHook = [](errState*, const char*) {
    ++calls;
    // Not even a frame opened here takes it.
    ERR_TRY(frame) { inner = errRaise(-5); }
    ERR_CATCH(frame, code) {
      caughtInHook = code != 0;
      errEndCatch(errGetState(), &frame);
    }
    ERR_END_TRY
  };
  EXPECT_EQ(errRaise(-70), -70);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(inner, -5);
  EXPECT_FALSE(caughtInHook);
  EXPECT_EQ(errGetState()->code, -5);  // stored
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
  EXPECT_EQ(errGetState()->handlerFlags, 0);
}

// Without a handler (before set-up) a raise only jumps or returns its code.
TEST_F(RaiseTest, WithoutHandlerRaiseOnlyJumps) {
  errGetState()->handler = nullptr;
  EXPECT_EQ(errRaise(-2), -2);
  EXPECT_TRUE(hookCalls().empty());
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
  errCode got = 0;
  ERR_TRY(frame) { errRaise(-5); }
  ERR_CATCH(frame, code) {
    got = code;
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  EXPECT_EQ(got, -5);
  EXPECT_EQ(errTryHead(), nullptr);
}

// The CATCH block names its code freely, also after the frame's own fields.
TEST_F(RaiseTest, CatchCodeTakesAnyName) {
  errGetState()->handler = nullptr;
  errCode got = 0;
  ERR_TRY(frame) { errRaise(-9); }
  ERR_CATCH(frame, caught) {
    got = caught;
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  EXPECT_EQ(got, -9);
  ERR_TRY(other) { errRaise(-2); }
  ERR_CATCH(other, prev) {
    got = prev;
    errEndCatch(errGetState(), &other);
  }
  ERR_END_TRY
  EXPECT_EQ(got, -2);
  EXPECT_EQ(errTryHead(), nullptr);
}

TEST_F(RaiseTest, SetupAgainAfterDoneLinksNoTableTwice) {
  auto chain = [] {
    std::vector<const errTextTable*> v;
    for (const errTextTable* t = errGetState()->tables; t && v.size() < 100; t = t->next) v.push_back(t);
    return v;
  };
  auto before = chain();
  ASSERT_EQ(before.size(), 2u);
  EXPECT_EQ(before[0], &errFileTable);
  EXPECT_EQ(before[1], &errGeneralTable);
  errDone();
  errSetup();
  errInit();
  errPushTable(&errFileTable);
  errPushTable(nullptr);
  EXPECT_EQ(chain(), before);

  // A pushed table is searched first.
  static const errTextRecord records[] = {{-17, ERR_LEVEL_ERROR, "Surface lost", nullptr}, {0, 0, nullptr, nullptr}};
  static errTextTable extra = {nullptr, ERR_LANGUAGE, 0, records, nullptr};
  errPushTable(&extra);
  EXPECT_EQ(std::string(errLookupText(-17, 0)), "Surface lost");
  EXPECT_EQ(std::string(errLookupText(-3, 0)), "Array too large");
  // Unlink it again for the other tests of this process.
  errGetState()->tables = extra.next;
}

TEST_F(RaiseTest, MinusOneEndsTheProcessWithoutBox) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(errRaise(-1), ::testing::ExitedWithCode(255), "");
}

struct Tracker {
  int* count;
  ~Tracker() { ++*count; }
};

void raiseDeep(int depth, int* destroyed, errCode code) {
  Tracker t{destroyed};
  if (depth == 0) {
    errRaise(code);
    ADD_FAILURE() << "raise returned inside a TRY frame";
    return;
  }
  raiseDeep(depth - 1, destroyed, code);
}

TEST_F(TryTest, RaiseJumpsToInnermostFrameAndRunsDestructors) {
  int destroyed = 0;
  errCode got = 0;
  bool after = false;
  ERR_TRY(frame) {
    EXPECT_EQ(errTryHead(), &frame);
    raiseDeep(3, &destroyed, -41);
    after = true;
  }
  ERR_CATCH(frame, code) {
    got = code;
    // The CATCH path starts with the frame popped; the state still holds the raise.
    EXPECT_EQ(errTryHead(), nullptr);
    EXPECT_EQ(errGetState()->code, -41);
    EXPECT_STREQ(errGetState()->text, "Bad data in file");
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  EXPECT_FALSE(after);
  EXPECT_EQ(got, -41);
  EXPECT_EQ(destroyed, 4);
  EXPECT_TRUE(hookCalls().empty());
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
}

TEST_F(TryTest, NestedFramesReraiseWithReportCurrent) {
  errCode innerCode = 0, outerCode = 0;
  std::string outerText;
  ERR_TRY(outer) {
    ERR_TRY(inner) {
      EXPECT_EQ(inner.prev, &outer);
      errRaiseArg(-19, "save.rw");
    }
    ERR_CATCH(inner, code) {
      innerCode = code;
      EXPECT_EQ(errTryHead(), &outer);
      errReportCurrent();  // goes on to the outer frame with its text
      ADD_FAILURE() << "errReportCurrent returned";
    }
    ERR_END_TRY
  }
  ERR_CATCH(outer, code) {
    outerCode = code;
    outerText = errGetState()->text;
    EXPECT_STREQ(errGetState()->fileArg, "save.rw");
    errEndCatch(errGetState(), &outer);
  }
  ERR_END_TRY
  EXPECT_EQ(innerCode, -19);
  EXPECT_EQ(outerCode, -19);
  EXPECT_EQ(outerText, "Can't read from file 'save.rw'");
  EXPECT_EQ(errTryHead(), nullptr);
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
}

TEST_F(TryTest, EndCatchBookkeepingAndReportOutsideFrames) {
  errTryFrame* before = errTryHead();
  std::string reported;
  ERR_TRY(frame) {
    errGetState()->drive = 3;
    errRaiseArg(-17, "a.bmp");
  }
  ERR_CATCH(frame, code) {
    EXPECT_EQ(code, -17);
    // Outside every frame the stored text reaches the box.
    plat::test::pushMessageBoxAnswer(IDIGNORE);
    EXPECT_EQ(errReportCurrent(), ERR_OUTCOME_IGNORE);
    auto boxes = plat::test::takeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    reported = boxes[0].text;
    // The CATCH path already popped the frame; errEndCatch leaves the head at
    // its previous frame all the same.
    errSetTryHead(&frame);
    EXPECT_EQ(errEndCatch(errGetState(), &frame), 0);
    EXPECT_EQ(errTryHead(), before);
    EXPECT_EQ(errGetState()->code, 0);
    EXPECT_EQ(errGetState()->fileArg, nullptr);
    EXPECT_EQ(errGetState()->drive, ERR_NO_DRIVE);
    // After errEndCatch there is nothing left to report.
    EXPECT_EQ(errReportCurrent(), 0);
  }
  ERR_END_TRY
  EXPECT_NE(reported.find("\n\nCan't open file 'a.bmp'\n"), std::string::npos) << reported;
  EXPECT_NE(reported.find("0xFFFFFFEF (-17)"), std::string::npos) << reported;
}

TEST_F(TryTest, KeptCodeRaisedAgainAfterEndCatchLooksUpItsText) {
  errCode kept = 0;
  ERR_TRY(outer) {
    ERR_TRY(inner) { errRaiseArg(-35, "big.dat"); }
    ERR_CATCH(inner, code) {
      kept = code;
      errEndCatch(errGetState(), &inner);
      errRaise(kept);  // the plain text now: no file name is stored any more
    }
    ERR_END_TRY
  }
  ERR_CATCH(outer, code) {
    EXPECT_EQ(code, -35);
    EXPECT_STREQ(errGetState()->text, "File seek error");
    errEndCatch(errGetState(), &outer);
  }
  ERR_END_TRY
  EXPECT_EQ(kept, -35);
}

TEST_F(TryTest, PrintfWarningInsideFrameStillJumps) {
  errCode got = 0;
  ERR_TRY(frame) {
    errPrintf(ERR_LEVEL_WARNING, "volume %d of %d", 3, 10);
    ADD_FAILURE() << "errPrintf returned inside a TRY frame";
  }
  ERR_CATCH(frame, code) {
    got = code;
    EXPECT_STREQ(errGetState()->text, "volume 3 of 10");
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  EXPECT_EQ(got, ERR_PRINTF);
  EXPECT_TRUE(hookCalls().empty());
}

TEST_F(TryTest, BodyThatReturnsEarlyLeavesNoFrameBehind) {
  auto leave = [] {
    ERR_TRY(frame) { return 1; }
    ERR_CATCH(frame, code) { return static_cast<int>(code); }
    ERR_END_TRY
    return 0;
  };
  EXPECT_EQ(leave(), 1);
  EXPECT_EQ(errTryHead(), nullptr);
  EXPECT_EQ(errRaise(-70), -70);  // reaches the hook, not a dead frame
}

TEST_F(TryTest, RaiseOnAnotherThreadDoesNotJumpIntoThisThreadsFrame) {
  errCode threadResult = 0;
  errTryFrame* threadHead = reinterpret_cast<errTryFrame*>(1);
  bool bodyFinished = false;
  ERR_TRY(frame) {
    plat::test::pushMessageBoxAnswer(IDIGNORE);
    std::thread([&] {
      threadHead = errTryHead();
      threadResult = errRaise(-2);
    }).join();
    EXPECT_EQ(errTryHead(), &frame);
    bodyFinished = true;
  }
  ERR_CATCH(frame, code) {
    ADD_FAILURE() << "caught " << code;
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  EXPECT_TRUE(bodyFinished);
  EXPECT_EQ(threadHead, nullptr);
  EXPECT_EQ(threadResult, ERR_OUTCOME_IGNORE);
  auto boxes = plat::test::takeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("No memory"), std::string::npos);
}

}  // namespace
