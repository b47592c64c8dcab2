// The eight functions through which the engine calls the game. The engine
// declares them; the program defines them (the game, or a test's hook set).
#pragma once

#include "platform/win_types.h"

// Before the main window exists.
void gamePreInit();
// The last step of the start-up.
void gameInit();
// Once per pass of the main loop, active or not.
void gameFrame();
// Once per pass while the window is active, not minimised and in the
// foreground; non-zero asks for the screen update.
int gameDraw();
// The first step of the shutdown.
void gameShutdown();
// After the main window is destroyed.
void gameExit();
// First for every message of the main window; above 0 leaves it to
// DefWindowProcA without the engine's handling.
int gameOnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// After every WM_ACTIVATEAPP.
void gameOnActivate();
