// The game's scene coordinates and the position keys of its objects.
//
// The scene is the main window's client area: a mouse position in scene
// coordinates is the cursor's screen position minus the client area's
// origin on the screen, read each time ((0, 0) without a window). In full
// screen the two agree.
#pragma once

// Reads the configuration integers "<name>_x" and "<name>_y" (0 when
// missing).
void gameReadPos(const char* name, int* x, int* y);

// The main window's client origin on the screen; (0, 0) without a window.
void gameClientOrigin(int* x, int* y);
// The mouse in scene coordinates.
int gameMouseX();
int gameMouseY();
// Puts the cursor on a scene point (inpSetMouse at the point plus the
// client origin).
void gameSetMouse(int x, int y);
