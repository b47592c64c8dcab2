// Keyboard and mouse: the table of the 256 virtual keys, the cursor, and the
// SDL input events that feed them and become key and mouse messages.
#include <SDL.h>

#include <array>
#include <climits>
#include <mutex>

#include "platform/detail.h"
#include "platform/test_api.h"
#include "platform/win_kernel.h"
#include "platform/win_user.h"

namespace {

struct KeyRow {
  int vk;
  SDL_Scancode scancode;
};

// Keys besides the letters, digits and F1-F12, which follow SDL's scancode
// order (see keyMaps). A virtual key with two rows is sent for both; the
// first row is the one injected.
constexpr KeyRow kKeyRows[] = {
    {VK_RETURN, SDL_SCANCODE_RETURN},  {VK_RETURN, SDL_SCANCODE_KP_ENTER}, {VK_ESCAPE, SDL_SCANCODE_ESCAPE},
    {VK_SPACE, SDL_SCANCODE_SPACE},    {VK_LEFT, SDL_SCANCODE_LEFT},       {VK_UP, SDL_SCANCODE_UP},
    {VK_RIGHT, SDL_SCANCODE_RIGHT},    {VK_DOWN, SDL_SCANCODE_DOWN},       {VK_LSHIFT, SDL_SCANCODE_LSHIFT},
    {VK_RSHIFT, SDL_SCANCODE_RSHIFT},  {VK_LCONTROL, SDL_SCANCODE_LCTRL},  {VK_RCONTROL, SDL_SCANCODE_RCTRL},
    {VK_LMENU, SDL_SCANCODE_LALT},     {VK_RMENU, SDL_SCANCODE_RALT},
};

// Keys whose generic code is down while either side is.
constexpr struct {
  int generic, left, right;
} kSidedKeys[] = {
    {VK_SHIFT, VK_LSHIFT, VK_RSHIFT},
    {VK_CONTROL, VK_LCONTROL, VK_RCONTROL},
    {VK_MENU, VK_LMENU, VK_RMENU},
};

constexpr struct {
  Uint8 button;
  int vk;
} kButtons[] = {{SDL_BUTTON_LEFT, VK_LBUTTON}, {SDL_BUTTON_RIGHT, VK_RBUTTON}, {SDL_BUTTON_MIDDLE, VK_MBUTTON}};

struct KeyMaps {
  std::array<int, SDL_NUM_SCANCODES> vkOf{};
  std::array<SDL_Scancode, 256> scancodeOf{};
};

const KeyMaps& keyMaps() {
  static const KeyMaps maps = [] {
    KeyMaps m;
    auto add = [&m](int vk, int scancode) {
      m.vkOf[scancode] = vk;
      if (m.scancodeOf[vk] == SDL_SCANCODE_UNKNOWN) m.scancodeOf[vk] = static_cast<SDL_Scancode>(scancode);
    };
    for (int i = 0; i < 26; ++i) add('A' + i, SDL_SCANCODE_A + i);
    for (int i = 1; i <= 9; ++i) add('0' + i, SDL_SCANCODE_1 + i - 1);
    add('0', SDL_SCANCODE_0);
    for (int i = 0; i < 12; ++i) add(VK_F1 + i, SDL_SCANCODE_F1 + i);
    for (const auto& row : kKeyRows) add(row.vk, row.scancode);
    return m;
  }();
  return maps;
}

struct Key {
  bool down = false;
  bool latch = false;  // went down since the last GetAsyncKeyState for it
};

std::mutex g_mutex;
std::array<Key, 256> g_keys;
POINT g_cursor{0, 0};
bool g_cursorFails = false;

void press(int vk, bool down) {
  Key& k = g_keys[vk];
  if (down && !k.down) k.latch = true;
  k.down = down;
}

void setKey(int vk, bool down) {
  press(vk, down);
  for (const auto& s : kSidedKeys)
    if (vk == s.left || vk == s.right) press(s.generic, g_keys[s.left].down || g_keys[s.right].down);
}

int genericOf(int vk) {
  for (const auto& s : kSidedKeys)
    if (vk == s.left || vk == s.right) return s.generic;
  return vk;
}

int leftOf(int vk) {
  for (const auto& s : kSidedKeys)
    if (vk == s.generic) return s.left;
  return vk;
}

WPARAM mouseKeyFlags() {
  WPARAM flags = 0;
  if (g_keys[VK_LBUTTON].down) flags |= MK_LBUTTON;
  if (g_keys[VK_RBUTTON].down) flags |= MK_RBUTTON;
  if (g_keys[VK_SHIFT].down) flags |= MK_SHIFT;
  if (g_keys[VK_CONTROL].down) flags |= MK_CONTROL;
  if (g_keys[VK_MBUTTON].down) flags |= MK_MBUTTON;
  return flags;
}

void keyEvent(const SDL_KeyboardEvent& e) {
  int vk = keyMaps().vkOf[e.keysym.scancode];
  if (vk == 0) return;
  const bool down = e.type == SDL_KEYDOWN;
  bool wasDown, altBefore, altAfter;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    wasDown = g_keys[vk].down;
    altBefore = g_keys[VK_MENU].down;
    if (!e.repeat) setKey(vk, down);
    altAfter = g_keys[VK_MENU].down;
  }
  HWND target = plat::detail::windowOfSdlId(e.windowID);
  if (!target) return;
  // Keys pressed or released while Alt is held (Alt itself included), and
  // F10, are system keys.
  const bool alt = altBefore || altAfter;
  const bool sys = alt || vk == VK_F10;
  UINT message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  DWORD bits = 1;  // repeat count
  if (alt) bits |= 1u << 29;
  if (wasDown) bits |= 1u << 30;
  if (!down) bits |= 1u << 31;
  PostMessageA(target, message, static_cast<WPARAM>(genericOf(vk)), static_cast<LPARAM>(bits));
}

void buttonEvent(const SDL_MouseButtonEvent& e) {
  for (const auto& b : kButtons) {
    if (b.button != e.button) continue;
    std::lock_guard<std::mutex> lock(g_mutex);
    setKey(b.vk, e.type == SDL_MOUSEBUTTONDOWN);
  }
}

void motionEvent(const SDL_MouseMotionEvent& e) {
  HWND target = plat::detail::windowOfSdlId(e.windowID);
  POINT origin;
  if (!target || !plat::detail::clientOrigin(target, &origin)) return;
  WPARAM flags;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_cursor = {origin.x + e.x, origin.y + e.y};
    flags = mouseKeyFlags();
  }
  plat::detail::noteMouseInside(target);
  PostMessageA(target, WM_MOUSEMOVE, flags, MAKELPARAM(e.x, e.y));
}

}  // namespace

namespace plat::detail {

void handleInputEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      keyEvent(event.key);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      buttonEvent(event.button);
      break;
    case SDL_MOUSEMOTION:
      motionEvent(event.motion);
      break;
    default:
      break;
  }
}

POINT cursorPos() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_cursor;
}

void moveCursor(LONG x, LONG y) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_cursor = {x, y};
  }
  pointerMoved({x, y});
}

}  // namespace plat::detail

SHORT GetAsyncKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  std::lock_guard<std::mutex> lock(g_mutex);
  Key& k = g_keys[virtualKey];
  unsigned state = (k.down ? 0x8000u : 0u) | (k.latch ? 1u : 0u);
  k.latch = false;
  return static_cast<SHORT>(static_cast<USHORT>(state));
}

BOOL GetCursorPos(POINT* point) {
  if (!point) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_cursorFails) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!plat::test::headless() && SDL_WasInit(SDL_INIT_VIDEO)) {
    // SDL's X11 driver answers from a cache that only raw device events
    // refresh: pointers moved by other means (XTest, as xdotool does) leave
    // it stale. The desktop's answer is taken when it moved; otherwise the
    // cursor stays where our windows' motion events and SetCursorPos put it.
    static POINT lastGlobal{INT_MIN, INT_MIN};
    int x, y;
    SDL_GetGlobalMouseState(&x, &y);
    if (x != lastGlobal.x || y != lastGlobal.y) {
      lastGlobal = {x, y};
      g_cursor = {x, y};
    }
  }
  *point = g_cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  if (!plat::test::headless() && SDL_WasInit(SDL_INIT_VIDEO)) {
    // The window system reports the move as motion events.
    if (SDL_WarpMouseGlobal(x, y) != 0) return FALSE;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_cursor = {x, y};
    return TRUE;
  }
  plat::detail::moveCursor(x, y);
  return TRUE;
}

namespace plat::test {

void injectCursorMove(int x, int y) { plat::detail::moveCursor(x, y); }

void injectKey(int virtualKey, bool down) {
  if (virtualKey < 0 || virtualKey > 255) return;
  int vk = leftOf(virtualKey);
  SDL_Event e{};
  for (const auto& b : kButtons) {
    if (b.vk != vk) continue;
    e.button.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = plat::detail::foregroundSdlId();
    e.button.button = b.button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    plat::detail::handleInputEvent(e);
    return;
  }
  SDL_Scancode scancode = keyMaps().scancodeOf[vk];
  if (scancode == SDL_SCANCODE_UNKNOWN) {
    // A key the window system does not report: the table alone.
    std::lock_guard<std::mutex> lock(g_mutex);
    setKey(vk, down);
    return;
  }
  e.key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = plat::detail::foregroundSdlId();
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = scancode;
  plat::detail::handleInputEvent(e);
}

void setCursorPosFails(bool fail) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_cursorFails = fail;
}

void resetInput() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_keys = {};
  g_cursor = {0, 0};
  g_cursorFails = false;
}

}  // namespace plat::test
