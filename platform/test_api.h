// The platform layer's test API: scripts what a user would answer, captures
// what the program showed, and injects what the machine would report.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"

namespace plat::test {

struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
};

// The next boxes answer these results, in order (each answer is used once).
// Without a scripted answer and without a display a box answers IDIGNORE for
// Abort/Retry/Ignore, IDOK for OK, IDCANCEL for boxes with Cancel, IDNO for
// Yes/No and IDCONTINUE for Cancel/Try again/Continue.
void pushMessageBoxAnswer(int answer);
void clearMessageBoxAnswers();
// Every box shown since the last call (also when answered by a script).
std::vector<MessageBoxRecord> takeMessageBoxes();

struct ShowWindowRecord {
  HWND window;
  int command;
};
std::vector<ShowWindowRecord> takeShowWindowCalls();

// Replaces the executable path GetModuleFileNameA reports (null: the real one).
void setModuleFileName(const char* path);

// OutputDebugStringA texts are kept while capturing is on.
void captureDebugOutput(bool on);
std::vector<std::string> takeDebugOutput();

// The cursor display counter ShowCursor keeps.
int cursorCount();
void setCursorCount(int count);

// True when no box or window can be shown (SDL's dummy or offscreen video
// driver, or no display at all).
bool headless();

}  // namespace plat::test
