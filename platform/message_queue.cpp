// Thread message queues and message dispatch: PeekMessageA, PostMessageA,
// PostQuitMessage, TranslateMessage, DispatchMessageA, DefWindowProcA.
#include <SDL.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/detail.h"
#include "platform/win_kernel.h"
#include "platform/win_user.h"

namespace {

struct Queue {
  std::deque<MSG> messages;
};

std::mutex g_mutex;
std::map<std::thread::id, Queue>& queues() {
  static auto* q = new std::map<std::thread::id, Queue>;  // lives for the process
  return *q;
}

DWORD tickNow() { return SDL_GetTicks(); }

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

bool passesNumber(UINT message, UINT lo, UINT hi) {
  if (lo == 0 && hi == 0) return true;
  if (message == WM_QUIT) return true;  // WM_QUIT ignores the number filter
  return message >= lo && message <= hi;
}

bool passes(const MSG& m, HWND window, UINT lo, UINT hi) {
  if (window == kThreadMessagesOnly) {
    if (m.hwnd != nullptr) return false;
  } else if (window != nullptr && m.hwnd != window) {
    return false;
  }
  return passesNumber(m.message, lo, hi);
}

}  // namespace

namespace plat::detail {

void postToThread(std::thread::id thread, const MSG& msg) {
  std::lock_guard<std::mutex> lock(g_mutex);
  queues()[thread].messages.push_back(msg);
}

void dropWindowMessages(HWND window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto& [thread, q] : queues()) {
    auto& m = q.messages;
    m.erase(std::remove_if(m.begin(), m.end(), [window](const MSG& x) { return x.hwnd == window; }), m.end());
  }
}

}  // namespace plat::detail

namespace {

BOOL peekOnce(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = queues().find(std::this_thread::get_id());
    if (it != queues().end()) {
      auto& q = it->second.messages;
      for (auto m = q.begin(); m != q.end(); ++m) {
        if (!passes(*m, window, filterMin, filterMax)) continue;
        if (msg) *msg = *m;
        if (removeMsg & PM_REMOVE) q.erase(m);
        return TRUE;
      }
    }
  }
  // WM_PAINT comes when nothing else is queued and stays until the window is
  // validated (BeginPaint), whatever PM_REMOVE says.
  if (window != kThreadMessagesOnly && passesNumber(WM_PAINT, filterMin, filterMax) &&
      plat::detail::nextPaintMessage(window, msg))
    return TRUE;
  return FALSE;
}

}  // namespace

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
  plat::detail::pumpEvents();
  if (peekOnce(msg, window, filterMin, filterMax, removeMsg)) return TRUE;
  // A main-loop pass: every message of one window asked for, none queued.
  const bool pass = window != nullptr && window != kThreadMessagesOnly && filterMin == 0 && filterMax == 0;
  // The script's steps run there; the messages they cause belong to the same
  // pass, which ends when they are all taken.
  thread_local bool passOpen = false;
  if (!pass) return FALSE;
  if (passOpen) {
    passOpen = false;
    return FALSE;
  }
  if (plat::detail::runScriptPass(window)) {
    plat::detail::pumpEvents();
    if (peekOnce(msg, window, filterMin, filterMax, removeMsg)) {
      passOpen = true;
      return TRUE;
    }
  }
  return FALSE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::thread::id owner = std::this_thread::get_id();
  if (window != nullptr && !plat::detail::windowThread(window, &owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  MSG m{window, message, wParam, lParam, tickNow(), plat::detail::cursorPos()};
  plat::detail::postToThread(owner, m);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  MSG m{nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0, tickNow(), plat::detail::cursorPos()};
  plat::detail::postToThread(std::this_thread::get_id(), m);
}

BOOL TranslateMessage(const MSG* msg) {
  // No character messages are made; key messages are reported as translated.
  if (!msg) return FALSE;
  switch (msg->message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  std::thread::id owner;
  if (!plat::detail::windowThread(msg->hwnd, &owner) || owner != std::this_thread::get_id()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return plat::detail::sendMessage(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    default:
      return 0;
  }
}
