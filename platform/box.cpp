// MessageBoxA and ShowCursor.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/detail.h"
#include "platform/test_api.h"
#include "platform/win_user.h"

namespace {

std::mutex g_mutex;
std::deque<int> g_answers;
std::vector<plat::test::MessageBoxRecord> g_boxes;
int g_cursorCount = 0;

int headlessAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_ABORTRETRYIGNORE: return IDIGNORE;
    case MB_YESNO: return IDNO;
    case MB_CANCELTRYCONTINUE: return IDCONTINUE;
    default: return IDCANCEL;  // OK/Cancel, Yes/No/Cancel, Retry/Cancel
  }
}

struct Buttons {
  int count;
  SDL_MessageBoxButtonData data[3];
};

Buttons buttonsFor(UINT type) {
  auto b = [](int id, const char* text) { return SDL_MessageBoxButtonData{0, id, text}; };
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {2, {b(IDOK, "OK"), b(IDCANCEL, "Cancel"), {}}};
    case MB_ABORTRETRYIGNORE: return {3, {b(IDABORT, "Abort"), b(IDRETRY, "Retry"), b(IDIGNORE, "Ignore")}};
    case MB_YESNOCANCEL: return {3, {b(IDYES, "Yes"), b(IDNO, "No"), b(IDCANCEL, "Cancel")}};
    case MB_YESNO: return {2, {b(IDYES, "Yes"), b(IDNO, "No"), {}}};
    case MB_RETRYCANCEL: return {2, {b(IDRETRY, "Retry"), b(IDCANCEL, "Cancel"), {}}};
    case MB_CANCELTRYCONTINUE:
      return {3, {b(IDCANCEL, "Cancel"), b(IDTRYAGAIN, "Try Again"), b(IDCONTINUE, "Continue")}};
    default: return {1, {b(IDOK, "OK"), {}, {}}};
  }
}

int showSdlBox(HWND owner, const char* text, const char* caption, UINT type) {
  Buttons buttons = buttonsFor(type);
  unsigned def = (type & MB_DEFMASK) >> 8;
  if (def >= static_cast<unsigned>(buttons.count)) def = 0;
  buttons.data[def].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  // Escape picks Cancel where there is one, else the only button.
  for (int i = 0; i < buttons.count; ++i)
    if (buttons.data[i].buttonid == IDCANCEL || buttons.count == 1)
      buttons.data[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: flags = SDL_MESSAGEBOX_ERROR; break;
    case MB_ICONEXCLAMATION: flags = SDL_MESSAGEBOX_WARNING; break;
    default: break;
  }
  SDL_MessageBoxData data{};
  data.flags = flags;
  data.window = plat::detail::sdlWindowOf(owner);
  data.title = caption ? caption : "Error";
  data.message = text ? text : "";
  data.numbuttons = buttons.count;
  data.buttons = buttons.data;
  int hit = -1;
  if (SDL_ShowMessageBox(&data, &hit) != 0) return 0;
  // Closing the box without a button answers like Escape would.
  if (hit < 0) return buttons.count == 1 ? IDOK : IDCANCEL;
  return hit;
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
    return headlessAnswer(type);
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
