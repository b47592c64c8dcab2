#include "tools/pictures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/files.h"
#include "tools/layout.h"

namespace {

constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kBlack{0, 0, 0, 255};

void paintMaze(Canvas& c, const Maze& maze, Rgba wall, Rgba goal) {
  for (const Maze::Rect& r : maze.walls()) c.fillRect(r.x, r.y, r.w, r.h, wall);
  ScenePoint g = Maze::goal();
  c.fillRect(g.x - Maze::kGoalSize / 2, g.y - Maze::kGoalSize / 2, Maze::kGoalSize, Maze::kGoalSize, goal);
}

}  // namespace

Canvas paintMask(const Maze& maze) {
  Canvas c(kSceneW, kSceneH, kBlack);
  paintMaze(c, maze, kWhite, {255, 0, 0, 255});
  return c;
}

Canvas paintBackground(const Maze& maze) {
  Canvas c(kSceneW, kSceneH, {18, 24, 52, 255});
  // A faint grid on the floor, drawn under the walls.
  for (int y = 0; y < kBandTop; y += 20) c.fillRect(0, y, kSceneW, 1, {26, 34, 68, 255});
  for (int x = 0; x < kSceneW; x += 20) c.fillRect(x, 0, 1, kBandTop, {26, 34, 68, 255});
  paintMaze(c, maze, {196, 204, 228, 255}, {214, 36, 36, 255});
  c.fillRect(0, kBandTop, kSceneW, kSceneH - kBandTop, {36, 36, 44, 255});
  c.fillRect(0, kBandTop, kSceneW, 2, {90, 90, 110, 255});
  for (const Label& label : kLabels) c.text(label.x, label.y, label.text, kLabelScale, {230, 220, 160, 255});
  return c;
}

Canvas paintCursor() {
  static const char* const kArrow[] = {
      "#", "##", "#.#", "#..#", "#...#", "#....#", "#.....#", "#......#", "#.......#", "#........#",
      "#.....####", "#..#..#", "#.# #..#", "##  #..#", "#    #..#", "     #..#", "      ##",
  };
  Canvas c(16, 20, {255, 0, 255, 255});
  int row = 0;
  for (const char* line : kArrow) {
    for (int col = 0; line[col]; ++col) {
      if (line[col] == '#') c.at(1 + col, 1 + row) = kBlack;
      if (line[col] == '.') c.at(1 + col, 1 + row) = kWhite;
    }
    ++row;
  }
  return c;
}

Canvas paintBanner(const char* text, Rgba face) {
  Canvas c(kBannerW, kBannerH, {0, 0, 0, 0});
  c.roundRect(10, 10, kBannerW - 12, kBannerH - 12, 16, {0, 0, 0, 110});  // shadow
  c.roundRect(2, 2, kBannerW - 12, kBannerH - 12, 16, face);
  c.roundRect(8, 8, kBannerW - 24, kBannerH - 24, 11, {255, 255, 255, 40});
  int scale = 5;
  int x = 2 + (kBannerW - 12 - Canvas::textWidth(text, scale)) / 2;
  int y = 2 + (kBannerH - 12 - 7 * scale) / 2;
  c.text(x + 2, y + 2, text, scale, {0, 0, 0, 160});
  c.text(x, y, text, scale, kWhite);
  return c;
}

Canvas paintButton(const char* label, bool pressed) {
  Rgba face = pressed ? Rgba{150, 150, 160, 255} : Rgba{192, 192, 204, 255};
  Rgba light{236, 236, 244, 255}, dark{88, 88, 100, 255};
  Canvas c(kButtonW, kButtonH, face);
  Rgba topLeft = pressed ? dark : light, bottomRight = pressed ? light : dark;
  c.fillRect(0, 0, kButtonW, 2, topLeft);
  c.fillRect(0, 0, 2, kButtonH, topLeft);
  c.fillRect(0, kButtonH - 2, kButtonW, 2, bottomRight);
  c.fillRect(kButtonW - 2, 0, 2, kButtonH, bottomRight);
  int scale = 3, shift = pressed ? 1 : 0;
  c.text((kButtonW - Canvas::textWidth(label, scale)) / 2 + shift, (kButtonH - 7 * scale) / 2 + shift, label,
         scale, {24, 24, 40, 255});
  return c;
}

DigitFont paintDigitFont() {
  DigitFont font;
  // Seven segments a to g as strokes between these points of a glyph.
  constexpr double L = 9, R = 31, T = 8, M = 28, B = 48, kHalf = 4.5;
  const double segments[7][4] = {{L, T, R, T}, {R, T, R, M}, {R, M, R, B}, {L, B, R, B},
                                 {L, M, L, B}, {L, T, L, M}, {L, M, R, M}};
  // Which segments each digit lights, a to g as bits 0 to 6.
  const uint8_t lit[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
  for (int d = 0; d < 10; ++d) {
    double x0 = d * DigitFont::kAdvance;
    for (int s = 0; s < 7; ++s)
      if (lit[d] >> s & 1)
        font.glyphs.capsule(x0 + segments[s][0], segments[s][1], x0 + segments[s][2], segments[s][3], kHalf,
                            {255, 226, 120, 255});
  }

  std::vector<uint8_t>& f = font.description;
  put32(f, 0x01746E66);  // "fnt" 1
  put32(f, '0');         // default glyph
  put32(f, 4);           // spacing
  put32(f, 20);          // space width
  put32(f, DigitFont::kGlyphH);
  put32(f, 0);
  put32(f, 0);
  for (int c = 0; c < 256; ++c) {
    // Characters without a glyph repeat the default glyph's record.
    int x = (c >= '0' && c <= '9') ? (c - '0') * DigitFont::kAdvance : 0;
    put32(f, x);
    put32(f, 0);
    put32(f, DigitFont::kGlyphW - 1);
    put32(f, DigitFont::kGlyphH);
  }
  put32(f, 0);
  return font;
}

BallFrames paintBall() {
  BallFrames ball;
  // 0 transparent; 1 to 31 orange from dark to light; 32 to 62 the stripe's
  // blue; 63 the outline.
  ball.palette.push_back({255, 0, 255, 255});
  for (int i = 1; i < 32; ++i) {
    double l = i / 31.0;
    ball.palette.push_back({static_cast<uint8_t>(60 + 195 * l), static_cast<uint8_t>(25 + 140 * l),
                            static_cast<uint8_t>(10 + 40 * l), 255});
  }
  for (int i = 1; i < 32; ++i) {
    double l = i / 31.0;
    ball.palette.push_back({static_cast<uint8_t>(20 + 120 * l), static_cast<uint8_t>(40 + 170 * l),
                            static_cast<uint8_t>(80 + 175 * l), 255});
  }
  ball.palette.push_back({30, 14, 6, 255});

  constexpr double kCentre = BallFrames::kSize / 2.0, kRadius = 11.5;
  for (int k = 0; k < BallFrames::kFrames; ++k) {
    double angle = 2 * std::numbers::pi * k / BallFrames::kFrames;
    std::array<uint8_t, BallFrames::kSize * BallFrames::kSize> frame{};
    for (int y = 0; y < BallFrames::kSize; ++y)
      for (int x = 0; x < BallFrames::kSize; ++x) {
        double dx = (x + 0.5 - kCentre) / kRadius, dy = (y + 0.5 - kCentre) / kRadius;
        double rr = dx * dx + dy * dy;
        if (rr >= 1) continue;
        uint8_t index = 63;
        if (rr < 0.8) {
          double dz = std::sqrt(1 - rr);
          double light = std::max(0.0, -0.45 * dx - 0.55 * dy + 0.7 * dz);
          int shade = std::clamp(static_cast<int>(std::lround(4 + 27 * light)), 1, 31);
          // A band around the ball, turning about the vertical axis.
          double u = dx * std::cos(angle) + dz * std::sin(angle);
          index = static_cast<uint8_t>(std::fabs(u) < 0.3 ? 31 + shade : shade);
        }
        frame[y * BallFrames::kSize + x] = index;
      }
    ball.frames.push_back(frame);
  }
  return ball;
}
