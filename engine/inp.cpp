// The keyboard and mouse state.
#include "engine/inp.h"

#include <cstring>

#include "platform/win32.h"

namespace {

constexpr uint8_t kDown = 128;

constexpr inpCTy initialState() {
  inpCTy s{};
  s.smooth = 1;
  return s;
}

// All zero but the smoothing switch, before any code runs.
constinit inpCTy g_inp = initialState();

bool isDown(const uint8_t* keys, int vk) { return (keys[vk] & kDown) != 0; }

// The edges of the last update for a key.
uint8_t ownEdges(const inpCTy& s, int vk) {
  const bool was = isDown(s.prevKeys, vk), is = isDown(s.keys, vk);
  return uint8_t((!was && is ? kHeldPressed : 0) | (was && !is ? kHeldReleased : 0));
}

// The edges the queries report: the last update's and the held ones.
uint8_t edgesOf(const inpCTy& s, int vk) { return uint8_t(s.held[vk] | ownEdges(s, vk)); }

}  // namespace

void inpCTy::Reset() {
  if (initialised) return;
  prevX = prevY = x = y = 0;
  dx = dy = memX = memY = 0.0f;
  std::memset(keys, 0, sizeof keys);
  std::memset(prevKeys, 0, sizeof prevKeys);
  inject136 = inject137 = 0;
  downCount = pressedCount = releasedCount = 0;
  looked = 0;
  std::memset(held, 0, sizeof held);
  initialised = 1;
}

void inpCTy::Update() {
  if (!initialised) Reset();
  prevX = x;
  prevY = y;
  POINT p{prevX, prevY};
  if (!GetCursorPos(&p)) p = {prevX, prevY};
  x = p.x;
  y = p.y;
  const int rawX = x - prevX, rawY = y - prevY;
  if (smooth) {
    // Half the new movement plus 0.7 (as a float) of the last smoothed one,
    // in extended precision.
    const long double keep = 0.7f;
    dx = static_cast<float>(0.5L * rawX + keep * memX);
    dy = static_cast<float>(0.5L * rawY + keep * memY);
    memX = dx;
    memY = dy;
  } else {
    dx = static_cast<float>(rawX);
    dy = static_cast<float>(rawY);
  }
  // The last update's edges stay for the next reader when no key query
  // looked at them.
  for (int vk = 0; vk < 256; ++vk) held[vk] = looked ? 0 : ownEdges(*this, vk);
  looked = 0;
  std::memcpy(prevKeys, keys, sizeof keys);
  for (int vk = 0; vk < 256; ++vk) keys[vk] = GetAsyncKeyState(vk) != 0 ? kDown : 0;
  downCount = pressedCount = releasedCount = 0;
  for (int vk = 0; vk < 256; ++vk) {
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) continue;
    const bool was = isDown(prevKeys, vk), is = isDown(keys, vk);
    if (!was && is) ++pressedCount;
    if (was && !is) ++releasedCount;
    if (is) ++downCount;
  }
  if (inject136) {
    keys[136] = kDown;
    inject136 = 0;
  }
  if (inject137) {
    keys[137] = kDown;
    inject137 = 0;
  }
}

void inpUpdate() { g_inp.Update(); }

int inpKeyDown(int virtualKey) {
  g_inp.looked = 1;
  return isDown(g_inp.keys, virtualKey) ? 1 : 0;
}

int inpKeyPressed(int virtualKey) {
  g_inp.looked = 1;
  return (edgesOf(g_inp, virtualKey) & kHeldPressed) != 0 ? 1 : 0;
}

int inpKeyReleased(int virtualKey) {
  g_inp.looked = 1;
  return (edgesOf(g_inp, virtualKey) & kHeldReleased) != 0 ? 1 : 0;
}

int inpMouseX() { return g_inp.x; }
int inpMouseY() { return g_inp.y; }

int inpSetMouse(int x, int y) {
  g_inp.x = g_inp.prevX = x;
  g_inp.y = g_inp.prevY = y;
  return SetCursorPos(x, y);
}

const inpCTy& inpState() { return g_inp; }
