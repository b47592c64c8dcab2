// MessageBoxA and ShowCursor.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/box_layout.h"
#include "platform/detail.h"
#include "platform/test_api.h"
#include "platform/win_user.h"

namespace {

std::mutex g_mutex;
std::deque<int> g_answers;
std::vector<plat::test::MessageBoxRecord> g_boxes;
int g_cursorCount = 0;
plat::test::MessageBoxShower g_shower = nullptr;

// A box where none can be shown: its caption and text on the standard error.
void printBox(const char* text, const char* caption) {
  std::fprintf(stderr, "[%s]\n%s\n", caption ? caption : "Error", text ? text : "");
}

// The usable width of the first display, where the box appears; 800 pels
// before any display is open.
int screenWidth() {
  SDL_Rect usable;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 800;
  return SDL_GetDisplayUsableBounds(0, &usable) == 0 ? usable.w : 800;
}

// The window system's box, or the shower standing in for it. SDL is given no
// owner window. Its X11 box places itself over an owner by the owner's place
// in its parent, counted twice, and nothing keeps it on the screen: without a
// window manager a box over a centred 640-pel window ran off the right edge of
// a 1024-pel screen, and a box wider than its owner runs off the left edge
// whenever the owner touches it. A box without an owner is centred on the
// first display, whose width its lines are wrapped to. (The engine's error
// and exception boxes hide its window first: no owner need keep them above.)
int showBox(const char* text, const char* caption, const plat::detail::MessageBoxLayout& layout,
            plat::test::MessageBoxShower shower) {
  const std::string shown = plat::detail::wrapBoxText(text ? text : "", plat::detail::boxColumns(screenWidth()));
  if (shower) return shower(shown.c_str(), caption ? caption : "Error");
  SDL_MessageBoxData data{};
  data.flags = layout.flags;
  data.window = nullptr;
  data.title = caption ? caption : "Error";
  data.message = shown.c_str();
  data.numbuttons = layout.count;
  data.buttons = layout.buttons;
  int hit = -1;
  const int result = SDL_ShowMessageBox(&data, &hit);
  if (result != 0) return -1;
  return plat::detail::messageBoxAnswer(layout, result, hit);
}

// While a box is up. SDL's X11 box runs in a process it forks and then waits
// for (the Wayland one in zenity): that process ends with this one, else its
// box would stay on the screen after the program is killed. A termination,
// interrupt or hang-up signal closes the box (a box asked for while such a
// request waits is not shown): it answers as closed without a button, its
// text goes to the standard error, and the program goes on to end through its
// windows (quit_signals.cpp).
int boxAnswer(const char* text, const char* caption, UINT type, plat::test::MessageBoxShower shower) {
  const plat::detail::MessageBoxLayout layout = plat::detail::messageBoxLayout(type);
  const int ticket = plat::detail::boxStarted();
  const int answer = plat::detail::boxCut(ticket) ? -1 : showBox(text, caption, layout, shower);
  if (plat::detail::boxEnded(ticket)) {
    printBox(text, caption);
    return layout.closed;
  }
  if (answer >= 0) return answer;
  printBox(text, caption);  // e.g. an X server without fonts
  return 0;
}

}  // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  int scripted = 0;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_boxes.push_back({owner, text ? text : "", caption ? caption : "Error", type});
    if (!g_answers.empty()) {
      scripted = g_answers.front();
      g_answers.pop_front();
    }
  }
  if (scripted) return scripted;
  plat::test::MessageBoxShower shower;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    shower = g_shower;
  }
  if (!shower && plat::test::headless()) {
    printBox(text, caption);
    return plat::detail::messageBoxLayout(type).headless;
  }
  return boxAnswer(text, caption, type, shower);
}

int ShowCursor(BOOL show) {
  int count;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    count = show ? ++g_cursorCount : --g_cursorCount;
  }
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(count >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return count;
}

HWND GetLastActivePopup(HWND window) { return window; }

namespace plat::test {

void pushMessageBoxAnswer(int answer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_answers.push_back(answer);
}

void setMessageBoxShower(MessageBoxShower show) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_shower = show;
}

void clearMessageBoxAnswers() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_answers.clear();
}

std::vector<MessageBoxRecord> takeMessageBoxes() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<MessageBoxRecord> out;
  out.swap(g_boxes);
  return out;
}

int cursorCount() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_cursorCount;
}

void setCursorCount(int count) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_cursorCount = count;
}

bool headless() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0)) return true;
  const char* x = std::getenv("DISPLAY");
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  return !(x && *x) && !(wl && *wl);
}

}  // namespace plat::test
