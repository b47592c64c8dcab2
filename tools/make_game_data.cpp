// make_game_data <game directory>: brings the game's data directory DATA/,
// the configuration file maze.cfg and, for the tests, solution.txt (the
// maze's solution as scene points from the start to the goal, one "x y" a
// line) to what the game needs. Each data file is written where it is
// missing or does not hold exactly what the tool makes; one that does is not
// touched, so a run over a good directory writes nothing. An existing
// maze.cfg is kept and only repaired where the game could not play with it,
// so that the player's best time and settings survive.
//
// make_game_data --config <game directory>: only maze.cfg, written or
// repaired.
//
// Everything comes from the layout and fixed seeds: two runs make the same
// bytes.
#include <cstdio>
#include <filesystem>
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

Bytes solution(const Maze& maze) {
  std::string text;
  for (const ScenePoint& p : maze.solution()) text += std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
  return Bytes(text.begin(), text.end());
}

// Every data file, restored; in a game directory made before, what was
// missing or changed is named on stdout.
void restoreData(const std::filesystem::path& root) {
  const std::filesystem::path data = root / "DATA";
  const bool existed = std::filesystem::is_directory(data);
  if (!existed && std::filesystem::exists(root / "maze.cfg"))
    std::printf("make_game_data: %s was missing: written again\n", data.string().c_str());
  std::filesystem::create_directories(data);
  auto restore = [&](const std::filesystem::path& path, const Bytes& bytes) {
    const FileWas was = restoreFile(path.string(), bytes);
    if (existed && was != FileWas::Same)
      std::printf("make_game_data: %s %s: written again\n", path.string().c_str(),
                  was == FileWas::Missing ? "was missing" : "differed from what the tool makes");
  };
  auto in = [&](const char* name) { return data / name; };

  const Maze maze(kMazeSeed);
  restore(in("mask.bmp"), bmp24(paintMask(maze)));
  restore(in("bkg.jpg"), jpeg(paintBackground(maze), 92));
  restore(in("ball.imgs"), ballSet(paintBall()));
  restore(in("cursor.bmp"), bmp24(paintCursor()));
  restore(in("game_over.tga"), tga32(paintBanner("GAME OVER", {196, 40, 40, 235})));
  restore(in("game_win.tga"), tga32(paintBanner("YOU WIN!", {40, 150, 64, 235})));
  restore(in("but_new0.bmp"), bmp24(paintButton("NEW", false)));
  restore(in("but_new1.bmp"), bmp24(paintButton("NEW", true)));
  restore(in("but_exit0.bmp"), bmp24(paintButton("QUIT", false)));
  restore(in("but_exit1.bmp"), bmp24(paintButton("QUIT", true)));
  const DigitFont font = paintDigitFont();
  restore(in("big-digits.fda"), font.description);
  restore(in("big-digits.tga"), tga32(font.glyphs));
  restore(in("click.wav"), wav(soundClick(), kSoundRate));
  restore(in("start.wav"), wav(soundStart(), kSoundRate));
  restore(in("gamewin.wav"), wav(soundWin(), kSoundRate));
  restore(in("gameover.wav"), wav(soundLose(), kSoundRate));
  restore(in("music.mid"), musicMidi(kMusicSeed));
  restoreFile((root / "solution.txt").string(), solution(maze));
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
    if (!configOnly) restoreData(root);
    restoreGameConfig((root / "maze.cfg").string());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_game_data: %s\n", e.what());
    return 1;
  }
  return 0;
}
