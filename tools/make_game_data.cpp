// make_game_data <game directory>: writes the game's data directory DATA/,
// the configuration file maze.cfg and, for the tests, solution.txt: the
// maze's solution as scene points from the start to the goal, one "x y" a
// line. An existing maze.cfg is kept and only repaired where the game could
// not play with it, so that the player's best time and settings survive.
//
// make_game_data --config <game directory>: only maze.cfg, written or
// repaired (what `make run` does before every start).
//
// Everything comes from the layout and fixed seeds: two runs write the same
// bytes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "tools/audio.h"
#include "tools/ball_set.h"
#include "tools/config.h"
#include "tools/files.h"
#include "tools/layout.h"
#include "tools/pictures.h"

namespace {

constexpr uint32_t kMazeSeed = 0x6D617A65;  // "maze"
constexpr uint32_t kMusicSeed = 31;

// A new maze.cfg, or the existing one repaired where the game could not
// play with it: rewritten only when something changed, through a new file
// that replaces it once written whole.
void writeConfig(const std::string& path) {
  std::string text;
  if (std::filesystem::exists(path)) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text = repairGameConfig(old);
    if (text == old) return;
  } else {
    text = newGameConfig();
  }
  const std::string fresh = path + ".new";
  writeFile(fresh, std::vector<uint8_t>(text.begin(), text.end()));
  std::filesystem::rename(fresh, path);
}

void writeSolution(const std::string& path, const Maze& maze) {
  std::string text;
  for (const ScenePoint& p : maze.solution()) text += std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
  writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

int main(int argc, char** argv) {
  const bool configOnly = argc == 3 && std::string(argv[1]) == "--config";
  if (argc != 2 && !configOnly) {
    std::fprintf(stderr, "usage: make_game_data [--config] <game directory>\n");
    return 2;
  }
  try {
    const std::filesystem::path root = argv[argc - 1];
    if (configOnly) {
      writeConfig((root / "maze.cfg").string());
      return 0;
    }
    const std::filesystem::path data = root / "DATA";
    std::filesystem::create_directories(data);
    auto in = [&](const char* name) { return (data / name).string(); };

    const Maze maze(kMazeSeed);
    writeBmp24(in("mask.bmp"), paintMask(maze));
    writeJpeg(in("bkg.jpg"), paintBackground(maze), 92);
    writeBallSet(in("ball.imgs"), paintBall());
    writeBmp24(in("cursor.bmp"), paintCursor());
    writeTga32(in("game_over.tga"), paintBanner("GAME OVER", {196, 40, 40, 235}));
    writeTga32(in("game_win.tga"), paintBanner("YOU WIN!", {40, 150, 64, 235}));
    writeBmp24(in("but_new0.bmp"), paintButton("NEW", false));
    writeBmp24(in("but_new1.bmp"), paintButton("NEW", true));
    writeBmp24(in("but_exit0.bmp"), paintButton("QUIT", false));
    writeBmp24(in("but_exit1.bmp"), paintButton("QUIT", true));
    DigitFont font = paintDigitFont();
    writeFile(in("big-digits.fda"), font.description);
    writeTga32(in("big-digits.tga"), font.glyphs);
    writeWav(in("click.wav"), soundClick(), kSoundRate);
    writeWav(in("start.wav"), soundStart(), kSoundRate);
    writeWav(in("gamewin.wav"), soundWin(), kSoundRate);
    writeWav(in("gameover.wav"), soundLose(), kSoundRate);
    writeFile(in("music.mid"), musicMidi(kMusicSeed));
    writeConfig((root / "maze.cfg").string());
    writeSolution((root / "solution.txt").string(), maze);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_game_data: %s\n", e.what());
    return 1;
  }
  return 0;
}
