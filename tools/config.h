// The game's configuration file maze.cfg, held in the engine's configuration
// table, read and written as the game reads and writes it: a new file's
// keys, the repair of an existing one into one the game can play with, and
// the file brought to either.
#pragma once

#include <string>

class cfgCTy;

// A new maze.cfg: the scene's size, window, start point and positions, the
// music on, the sound at 80, no best time yet.
void newGameConfig(cfgCTy* cfg);

// Every key the game and its scene need made usable, the rest unchanged;
// true when something was set. Set to a new file's values are: SCR_LX,
// SCR_LY, USE_GFX, WND_NAME, start_x, start_y and the objects' positions
// when missing or unusable (another scene size, USE_GFX 0, an empty title
// or the engine's own default title, a position that is not a whole number
// inside the scene), FPS_LIMIT when above 1000 (a pass a second or slower;
// 0, below and missing stay: no limit), music and snd_volume when missing. Everything else
// is the player's and stays as it is: the best time, music or sound switched
// off, the window's position, every other key. A missing key is added at the
// end, an unusable value is set in its key's place.
bool repairGameConfig(cfgCTy* cfg);

// The file at path made one the game plays with: a new one when missing;
// otherwise read as the game reads it (a malformed line is skipped) and,
// when repaired, written back through the table's save, which keeps a
// read-only file, the file's mode and a symbolic link. A good file is not
// touched. Throws std::runtime_error saying why when a directory stands at
// path, or the file cannot be read or written (it is then kept as it was).
void restoreGameConfig(const std::string& path);
