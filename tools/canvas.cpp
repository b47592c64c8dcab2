#include "tools/canvas.h"

#include <algorithm>
#include <cmath>

namespace {

// 5 x 7 glyphs: seven rows of five columns, '#' set.
struct Glyph {
  char c;
  const char* rows[7];
};

constexpr Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
};

const Glyph* findGlyph(char c) {
  for (const Glyph& g : kFont)
    if (g.c == c) return &g;
  return nullptr;
}

}  // namespace

double edgeCoverage(double d) { return std::clamp(0.5 - d, 0.0, 1.0); }

Canvas::Canvas(int width, int height, Rgba fill)
    : w_(width), h_(height), pels_(static_cast<size_t>(width) * height, fill) {}

void Canvas::fillRect(int x, int y, int w, int h, Rgba colour) {
  for (int yy = std::max(y, 0); yy < std::min(y + h, h_); ++yy)
    for (int xx = std::max(x, 0); xx < std::min(x + w, w_); ++xx) at(xx, yy) = colour;
}

void Canvas::blend(int x, int y, Rgba colour, double coverage) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_ || coverage <= 0) return;
  double weight = coverage * colour.a / 255.0;
  Rgba& p = at(x, y);
  // "Over" with straight alpha: the result's alpha grows toward 255.
  double outA = weight + p.a / 255.0 * (1 - weight);
  if (outA <= 0) return;
  double under = p.a / 255.0 * (1 - weight);
  auto channel = [&](uint8_t u, uint8_t o) {
    return static_cast<uint8_t>(std::lround((o * weight + u * under) / outA));
  };
  p = {channel(p.r, colour.r), channel(p.g, colour.g), channel(p.b, colour.b),
       static_cast<uint8_t>(std::lround(outA * 255))};
}

void Canvas::roundRect(double x, double y, double w, double h, double radius, Rgba colour) {
  double cx = x + w / 2, cy = y + h / 2;
  double hx = w / 2 - radius, hy = h / 2 - radius;
  for (int py = std::max(0, static_cast<int>(y) - 1); py < std::min(h_, static_cast<int>(y + h) + 2); ++py)
    for (int px = std::max(0, static_cast<int>(x) - 1); px < std::min(w_, static_cast<int>(x + w) + 2); ++px) {
      double dx = std::max(std::fabs(px + 0.5 - cx) - hx, 0.0);
      double dy = std::max(std::fabs(py + 0.5 - cy) - hy, 0.0);
      blend(px, py, colour, edgeCoverage(std::hypot(dx, dy) - radius));
    }
}

void Canvas::capsule(double x0, double y0, double x1, double y1, double halfWidth, Rgba colour) {
  double vx = x1 - x0, vy = y1 - y0, len2 = vx * vx + vy * vy;
  int left = static_cast<int>(std::floor(std::min(x0, x1) - halfWidth - 1));
  int right = static_cast<int>(std::ceil(std::max(x0, x1) + halfWidth + 1));
  int top = static_cast<int>(std::floor(std::min(y0, y1) - halfWidth - 1));
  int bottom = static_cast<int>(std::ceil(std::max(y0, y1) + halfWidth + 1));
  for (int py = std::max(top, 0); py < std::min(bottom, h_); ++py)
    for (int px = std::max(left, 0); px < std::min(right, w_); ++px) {
      double qx = px + 0.5 - x0, qy = py + 0.5 - y0;
      double t = len2 > 0 ? std::clamp((qx * vx + qy * vy) / len2, 0.0, 1.0) : 0.0;
      double d = std::hypot(qx - t * vx, qy - t * vy) - halfWidth;
      blend(px, py, colour, edgeCoverage(d));
    }
}

int Canvas::textWidth(const std::string& text, int scale) {
  return text.empty() ? 0 : static_cast<int>(text.size()) * 6 * scale - scale;
}

void Canvas::text(int x, int y, const std::string& text, int scale, Rgba colour) {
  for (size_t i = 0; i < text.size(); ++i) {
    const Glyph* g = findGlyph(text[i]);
    if (!g) continue;
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col)
        if (g->rows[row][col] == '#')
          fillRect(x + (static_cast<int>(i) * 6 + col) * scale, y + row * scale, scale, scale, colour);
  }
}
