// The game hooks of the application tests.
#include "app_hooks.h"

#include "engine/app/app.h"
#include "engine/app/game_hooks.h"

namespace app_test {

Script& script() {
  static Script s;
  return s;
}

}  // namespace app_test

using app_test::script;

void gamePreInit() {
  script().calls.push_back("gamePreInit");
  if (script().onPreInit) script().onPreInit();
}

void gameInit() {
  script().calls.push_back("gameInit");
  if (script().onInit) script().onInit();
}

void gameFrame() {
  script().calls.push_back("gameFrame");
  const int frame = ++script().frames;
  if (script().onFrame) script().onFrame(frame);
  if (frame >= script().quitAfter) gaApp->quit = 1;
}

int gameDraw() {
  script().calls.push_back("gameDraw");
  return script().drawResult;
}

void gameShutdown() { script().calls.push_back("gameShutdown"); }

void gameExit() { script().calls.push_back("gameExit"); }

int gameOnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  script().messages.push_back(message);
  return script().onMessage ? script().onMessage(window, message, wParam, lParam) : 0;
}

void gameOnActivate() { script().calls.push_back("gameOnActivate"); }
