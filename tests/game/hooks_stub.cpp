// Hook functions that do nothing, for test programs of the game's objects
// that need an application object but not the game.
#include "engine/app/game_hooks.h"

void gamePreInit() {}
void gameInit() {}
void gameFrame() {}
int gameDraw() { return 0; }
void gameShutdown() {}
void gameExit() {}
int gameOnMessage(HWND, UINT, WPARAM, LPARAM) { return 0; }
void gameOnActivate() {}
