// The game's configuration file maze.cfg: the text of a new one, and the
// repair of an existing one into one the game can play with.
#pragma once

#include <string>

// A new maze.cfg: the scene's size, window, start point and positions, the
// music on, the sound at 80, no best time yet.
std::string newGameConfig();

// The file's text with every key the game and its scene need made usable,
// the rest unchanged. Written with the values of a new file are: SCR_LX,
// SCR_LY, USE_GFX, WND_NAME, start_x, start_y and the objects' positions
// when missing or unusable (another scene size, USE_GFX 0, an empty title
// or the engine's own default title, a position that is not a whole number
// inside the scene), music and snd_volume when missing. Everything else is
// the player's and stays as it is: the best time, music or sound switched
// off, the window's position, FPS_LIMIT, comments and every other line. An
// unusable value is replaced on the line that sets it; a missing key is
// added at the end. Lines are read as the engine reads them (names without
// regard to case, "--" comments, the last of two lines for one name wins).
// A file that needs nothing comes back byte for byte.
std::string repairGameConfig(const std::string& text);
