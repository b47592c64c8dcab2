// MessageBoxA and ShowCursor.
#include <SDL.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
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

// While a box is up. SDL's X11 box runs in a process it forks and then waits
// for: that process must end with this one (else its box stays on the screen
// after the program is killed). A termination or interrupt signal must end
// the program, box and all: SDL's handlers only queue a quit event, which
// nobody reads while the box waits. The signals' earlier handling comes back
// when the last box closes; an ignored signal stays ignored.
std::mutex g_signalMutex;
int g_boxesUp = 0;
struct sigaction g_savedTerm, g_savedInt;
thread_local bool t_showing = false;
thread_local pid_t t_process = 0;

// In a process forked by a thread showing a box (async-signal-safe calls only).
void forkedByBox() {
  if (!t_showing) return;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != t_process) _exit(1);  // the program ended before that was set
}

void endOnSignal(int signal, struct sigaction* saved) {
  sigaction(signal, nullptr, saved);
  if (saved->sa_handler == SIG_IGN) return;
  struct sigaction end{};
  end.sa_handler = SIG_DFL;
  sigemptyset(&end.sa_mask);
  sigaction(signal, &end, nullptr);
}

class BoxUp {
 public:
  BoxUp() {
    static std::once_flag once;
    std::call_once(once, [] { pthread_atfork(nullptr, nullptr, forkedByBox); });
    t_process = getpid();
    t_showing = true;
    std::lock_guard<std::mutex> lock(g_signalMutex);
    if (g_boxesUp++ > 0) return;
    endOnSignal(SIGTERM, &g_savedTerm);
    endOnSignal(SIGINT, &g_savedInt);
  }
  ~BoxUp() {
    t_showing = false;
    std::lock_guard<std::mutex> lock(g_signalMutex);
    if (--g_boxesUp > 0) return;
    sigaction(SIGTERM, &g_savedTerm, nullptr);
    sigaction(SIGINT, &g_savedInt, nullptr);
  }
  BoxUp(const BoxUp&) = delete;
  BoxUp& operator=(const BoxUp&) = delete;
};

// A box where none can be shown: its caption and text on the standard error.
void printBox(const char* text, const char* caption) {
  std::fprintf(stderr, "[%s]\n%s\n", caption ? caption : "Error", text ? text : "");
}

// The width of the screen the box appears on: the owner's display, else the
// first; 800 pels before any display is open.
int screenWidth(SDL_Window* owner) {
  SDL_Rect usable;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 800;
  const int display = owner ? std::max(SDL_GetWindowDisplayIndex(owner), 0) : 0;
  return SDL_GetDisplayUsableBounds(display, &usable) == 0 ? usable.w : 800;
}

int showBox(HWND owner, const char* text, const char* caption, UINT type, plat::test::MessageBoxShower shower) {
  BoxUp up;
  SDL_Window* window = plat::detail::sdlWindowOf(owner);
  const std::string shown =
      plat::detail::wrapBoxText(text ? text : "", plat::detail::boxColumns(screenWidth(window)));
  if (shower) return shower(shown.c_str(), caption ? caption : "Error");
  plat::detail::MessageBoxLayout layout = plat::detail::messageBoxLayout(type);
  SDL_MessageBoxData data{};
  data.flags = layout.flags;
  data.window = window;
  data.title = caption ? caption : "Error";
  data.message = shown.c_str();
  data.numbuttons = layout.count;
  data.buttons = layout.buttons;
  int hit = -1;
  const int result = SDL_ShowMessageBox(&data, &hit);
  if (result != 0) printBox(text, caption);  // e.g. an X server without fonts
  return plat::detail::messageBoxAnswer(layout, result, hit);
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
  return showBox(owner, text, caption, type, shower);
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
