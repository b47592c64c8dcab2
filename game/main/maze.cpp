// The game's program: the engine's entry point with the game's hooks.
#include "engine/app/app.h"
#include "platform/win_kernel.h"
#include "platform/win_user.h"

int main() {
  static char commandLine[] = "";
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
}
