// Thread message queues: PeekMessageA, PostMessageA, PostQuitMessage.
#include <SDL.h>

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

bool passes(const MSG& m, HWND window, UINT lo, UINT hi) {
  if (window == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
    if (m.hwnd != nullptr) return false;
  } else if (window != nullptr && m.hwnd != window) {
    return false;
  }
  if (lo == 0 && hi == 0) return true;
  if (m.message == WM_QUIT) return true;  // WM_QUIT ignores the number filter
  return m.message >= lo && m.message <= hi;
}

}  // namespace

namespace plat::detail {

void postToThread(std::thread::id thread, const MSG& msg) {
  std::lock_guard<std::mutex> lock(g_mutex);
  queues()[thread].messages.push_back(msg);
}

}  // namespace plat::detail

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = queues().find(std::this_thread::get_id());
  if (it == queues().end()) return FALSE;
  auto& q = it->second.messages;
  for (auto m = q.begin(); m != q.end(); ++m) {
    if (!passes(*m, window, filterMin, filterMax)) continue;
    if (msg) *msg = *m;
    if (removeMsg & PM_REMOVE) q.erase(m);
    return TRUE;
  }
  return FALSE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::thread::id owner = std::this_thread::get_id();
  if (window != nullptr && !plat::detail::windowThread(window, &owner)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  MSG m{window, message, wParam, lParam, tickNow(), {0, 0}};
  plat::detail::postToThread(owner, m);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  MSG m{nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0, tickNow(), {0, 0}};
  plat::detail::postToThread(std::this_thread::get_id(), m);
}
