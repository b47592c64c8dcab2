// The game's pictures, painted from the maze and the scene's layout.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/canvas.h"
#include "tools/maze.h"

// The mask: white walls, a red goal, every other pel black floor.
Canvas paintMask(const Maze& maze);
// The background: the same maze in softer colours, with the "TIME" and
// "BEST" labels in the band below it.
Canvas paintBackground(const Maze& maze);
// The arrow cursor on magenta, its tip at (1, 1).
Canvas paintCursor();
// A banner with soft edges and a translucent shadow.
Canvas paintBanner(const char* text, Rgba face);
// A 120 x 40 button, normal or pressed.
Canvas paintButton(const char* label, bool pressed);

// The digit font: the glyph picture (ten glyphs side by side with alpha) and
// the 4128-byte description.
struct DigitFont {
  static constexpr int kGlyphW = 40;
  static constexpr int kGlyphH = 56;
  static constexpr int kAdvance = 44;  // glyph x of digit d is d * kAdvance
  Canvas glyphs{10 * kAdvance, kGlyphH, {0, 0, 0, 0}};
  std::vector<uint8_t> description;
};
DigitFont paintDigitFont();

// The ball: frames of 24 x 24 palette indices (0 transparent) sharing one
// palette of B, G, R entries.
struct BallFrames {
  static constexpr int kSize = 24;
  static constexpr int kFrames = 16;
  std::vector<std::array<uint8_t, kSize * kSize>> frames;
  std::vector<Rgba> palette;
};
BallFrames paintBall();
