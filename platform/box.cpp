// MessageBoxA and ShowCursor.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
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

int showSdlBox(HWND owner, const char* text, const char* caption, UINT type) {
  plat::detail::MessageBoxLayout layout = plat::detail::messageBoxLayout(type);
  SDL_MessageBoxData data{};
  data.flags = layout.flags;
  data.window = plat::detail::sdlWindowOf(owner);
  data.title = caption ? caption : "Error";
  data.message = text ? text : "";
  data.numbuttons = layout.count;
  data.buttons = layout.buttons;
  int hit = -1;
  const int shown = SDL_ShowMessageBox(&data, &hit);
  return plat::detail::messageBoxAnswer(layout, shown, hit);
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
  if (plat::test::headless()) {
    std::fprintf(stderr, "[%s]\n%s\n", caption ? caption : "Error", text ? text : "");
    return plat::detail::messageBoxLayout(type).headless;
  }
  return showSdlBox(owner, text, caption, type);
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

namespace plat::detail {

MessageBoxLayout messageBoxLayout(UINT type) {
  auto b = [](int id, const char* text) { return SDL_MessageBoxButtonData{0, id, text}; };
  // Per type: the buttons, and the answers where no button was chosen. A box
  // without Cancel cannot be dismissed on Windows; here it can be closed, and
  // answers with the button that does no harm (Ignore, No), as headless.
  MessageBoxLayout l{};
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: l = {2, {b(IDOK, "OK"), b(IDCANCEL, "Cancel"), {}}, 0, IDCANCEL, IDCANCEL}; break;
    case MB_ABORTRETRYIGNORE:
      l = {3, {b(IDABORT, "Abort"), b(IDRETRY, "Retry"), b(IDIGNORE, "Ignore")}, 0, IDIGNORE, IDIGNORE};
      break;
    case MB_YESNOCANCEL:
      l = {3, {b(IDYES, "Yes"), b(IDNO, "No"), b(IDCANCEL, "Cancel")}, 0, IDCANCEL, IDCANCEL};
      break;
    case MB_YESNO: l = {2, {b(IDYES, "Yes"), b(IDNO, "No"), {}}, 0, IDNO, IDNO}; break;
    case MB_RETRYCANCEL: l = {2, {b(IDRETRY, "Retry"), b(IDCANCEL, "Cancel"), {}}, 0, IDCANCEL, IDCANCEL}; break;
    case MB_CANCELTRYCONTINUE:
      l = {3, {b(IDCANCEL, "Cancel"), b(IDTRYAGAIN, "Try Again"), b(IDCONTINUE, "Continue")}, 0, IDCANCEL, IDCONTINUE};
      break;
    default: l = {1, {b(IDOK, "OK"), {}, {}}, 0, IDOK, IDOK}; break;
  }
  unsigned def = (type & MB_DEFMASK) >> 8;
  if (def >= static_cast<unsigned>(l.count)) def = 0;
  l.buttons[def].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  for (int i = 0; i < l.count; ++i)
    if (l.buttons[i].buttonid == IDCANCEL || l.count == 1) l.buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: l.flags = SDL_MESSAGEBOX_ERROR; break;
    case MB_ICONEXCLAMATION: l.flags = SDL_MESSAGEBOX_WARNING; break;
    default: l.flags = SDL_MESSAGEBOX_INFORMATION; break;
  }
  return l;
}

int messageBoxAnswer(const MessageBoxLayout& layout, int shown, int hit) {
  if (shown != 0) return 0;
  for (int i = 0; i < layout.count; ++i)
    if (layout.buttons[i].buttonid == hit) return hit;
  return layout.closed;
}

}  // namespace plat::detail

namespace plat::test {

void pushMessageBoxAnswer(int answer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_answers.push_back(answer);
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
