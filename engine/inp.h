// The keyboard and mouse state, polled once per pass of the main loop (and
// again by the game when it wants): every reader between two updates sees the
// same snapshot of the 256 virtual keys and the cursor.
//
// An edge (a key that went down or up) found by an update that no key query
// looked at is kept by the next update beside its own edges, once. So with
// two polls in a pass and the readers between them, what the second poll of
// a pass finds still reaches the readers of the next pass, and every press
// the platform saw, however short, is seen once.
#pragma once

#include <cstdint>

struct inpCTy {
  uint8_t initialised;   // set by Reset at the first update
  int32_t prevX, prevY;  // the cursor before the last update
  int32_t x, y;          // the cursor, desktop coordinates
  float dx, dy;          // the last update's movement, smoothed
  float memX, memY;      // the smoothed movement of the update before
  uint8_t keys[256];     // 128: down
  uint8_t prevKeys[256];
  uint8_t inject136, inject137;  // presses to add to keys 136 and 137 after the count
  int32_t downCount;     // keys down after the last update (generic Shift, Control, Alt not counted)
  int32_t pressedCount;  // keys that went down at the last update
  int32_t releasedCount; // keys that went up at the last update
  uint8_t smooth;        // 1: the movement is smoothed
  uint8_t looked;        // a key query ran since the last update
  uint8_t held[256];     // edges of the update before the last, which no query saw: kHeldPressed, kHeldReleased

  // Polls the cursor (GetCursorPos; the old position when it fails) and the
  // 256 keys (GetAsyncKeyState: any non-zero state is down).
  void Update();
  // The first-use initialisation; nothing once initialised.
  void Reset();
};

inline constexpr uint8_t kHeldPressed = 1, kHeldReleased = 2;

// The queries take codes 0 to 255 and do not initialise the state.
void inpUpdate();
int inpKeyDown(int virtualKey);
// The key went down (up) at the last update, or at the one before it when
// no key query ran between them; a key pressed and released between two
// readings reports both.
int inpKeyPressed(int virtualKey);
int inpKeyReleased(int virtualKey);
int inpMouseX();
int inpMouseY();
// Sets the current and previous position, then moves the system cursor;
// returns SetCursorPos's result. The movement values stay as they are.
int inpSetMouse(int x, int y);
// The state itself, for what the queries do not tell (movement, counts).
const inpCTy& inpState();
