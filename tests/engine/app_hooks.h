// The game hooks of the application tests: each call is recorded, and a
// test scripts what the hooks do.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace app_test {

struct Script {
  // Hook names in call order; gameOnMessage is kept in `messages` instead.
  std::vector<std::string> calls;
  std::vector<UINT> messages;
  int frames = 0;
  int quitAfter = 1;  // gameFrame sets the quit flag at this frame
  int drawResult = 1;
  // Run by gameFrame (with the frame's number) and gameInit.
  std::function<void(int)> onFrame;
  std::function<void()> onInit;
  std::function<void()> onPreInit;
  // gameOnMessage's result (0 when not set).
  std::function<int(HWND, UINT, WPARAM, LPARAM)> onMessage;
};

Script& script();

}  // namespace app_test
