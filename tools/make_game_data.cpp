// make_game_data <game directory>: writes the game's data directory DATA/,
// the configuration file maze.cfg (only when it is missing, so that a stored
// best time survives) and, for the tests, solution.txt: the maze's solution
// as scene points from the start to the goal, one "x y" a line.
//
// Everything comes from the layout and fixed seeds: two runs write the same
// bytes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "tools/audio.h"
#include "tools/ball_set.h"
#include "tools/files.h"
#include "tools/layout.h"
#include "tools/pictures.h"

namespace {

constexpr uint32_t kMazeSeed = 0x6D617A65;  // "maze"
constexpr uint32_t kMusicSeed = 31;

void writeConfig(const std::string& path) {
  if (std::filesystem::exists(path)) return;
  std::string text;
  auto put = [&](const std::string& name, const std::string& value) { text += name + " = " + value + "\n"; };
  put("SCR_LX", "800");
  put("SCR_LY", "600");
  put("SCR_BPP", "16");
  put("USE_GFX", "1");
  put("FULL_SCREEN", "0");
  put("WND_NAME", "Ball Maze");
  put("FPS_LIMIT", "10");
  put("NEED_DRAW_FPS", "0");
  put("start_x", std::to_string(Maze::start().x));
  put("start_y", std::to_string(Maze::start().y));
  put("music", "1");
  put("snd_volume", "80");
  put("share_image", "0");
  put("best_result", "0");
  for (const Placement& p : kPlacements) {
    put(std::string(p.name) + "_x", std::to_string(p.x));
    put(std::string(p.name) + "_y", std::to_string(p.y));
  }
  writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void writeSolution(const std::string& path, const Maze& maze) {
  std::string text;
  for (const ScenePoint& p : maze.solution()) text += std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
  writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_game_data <game directory>\n");
    return 2;
  }
  try {
    const std::filesystem::path root = argv[1];
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
