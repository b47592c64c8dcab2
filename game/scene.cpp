#include "game/scene.h"

#include <cstdio>

#include "engine/app/app.h"
#include "engine/inp.h"
#include "platform/win_window.h"

void gameReadPos(const char* name, int* x, int* y) {
  char key[1024];
  std::snprintf(key, sizeof key, "%s_x", name);
  *x = gaApp->cfg->GetInt(key);
  std::snprintf(key, sizeof key, "%s_y", name);
  *y = gaApp->cfg->GetInt(key);
}

void gameClientOrigin(int* x, int* y) {
  POINT origin{0, 0};
  if (gaApp && gaApp->window && !ClientToScreen(gaApp->window, &origin)) origin = {0, 0};
  *x = origin.x;
  *y = origin.y;
}

int gameMouseX() {
  int x, y;
  gameClientOrigin(&x, &y);
  return inpMouseX() - x;
}

int gameMouseY() {
  int x, y;
  gameClientOrigin(&x, &y);
  return inpMouseY() - y;
}

void gameSetMouse(int x, int y) {
  int originX, originY;
  gameClientOrigin(&originX, &originY);
  inpSetMouse(x + originX, y + originY);
}
