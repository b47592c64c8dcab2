// A clean error system for each test: set up, default hooks, a recording
// message hook, no scripted box answers, a known program path.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/err.h"
#include "platform/test_api.h"

struct HookCall {
  std::string text;
  unsigned level;
  errCode code;
};

inline std::vector<HookCall>& hookCalls() {
  static std::vector<HookCall> calls;
  return calls;
}

inline void recordingHook(errState* state, const char* text) {
  hookCalls().push_back({text ? text : "(null)", state->level, state->code});
}

class ErrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    errInit();
    errState* s = errGetState();
    saved_ = *s;
    s->messageHook = recordingHook;
    s->exitHook = errDefaultExit;
    s->code = 0;
    s->fileArg = nullptr;
    s->drive = ERR_NO_DRIVE;
    s->handlerFlags = 0;
    errSetBoxHooks(nullptr);
    hookCalls().clear();
    plat::test::clearMessageBoxAnswers();
    plat::test::takeMessageBoxes();
    plat::test::takeShowWindowCalls();
    plat::test::setModuleFileName("C:\\Games\\Maze\\maze.exe");
  }
  void TearDown() override {
    errState* s = errGetState();
    s->messageHook = saved_.messageHook;
    s->exitHook = saved_.exitHook;
    s->handler = saved_.handler;
    s->code = 0;
    s->drive = ERR_NO_DRIVE;
    errSetTryHead(nullptr);
    errSetBoxHooks(nullptr);
    plat::test::setModuleFileName(nullptr);
  }
  errState saved_{};
};

// The report text a raise of `code` with `message` shows for the test's program.
inline std::string reportText(errCode code, const std::string& message, const char* codeLine) {
  std::string t = "Program     : C:\\Games\\Maze\\maze.exe\n";
  if (code != 0) t += codeLine;
  t += "\n";
  if (!message.empty()) t += "\n" + message + "\n";
  return t + "\nPress Retry to debug the application";
}
