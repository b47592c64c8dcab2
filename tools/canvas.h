// A small RGBA picture the data tool paints its pictures on: filled shapes
// with anti-aliased edges (coverage from the distance to the shape), and
// texts in a 5 x 7 pixel font scaled by whole pels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgba {
  uint8_t r, g, b, a;
};

class Canvas {
 public:
  Canvas(int width, int height, Rgba fill);

  int width() const { return w_; }
  int height() const { return h_; }
  Rgba& at(int x, int y) { return pels_[static_cast<size_t>(y) * w_ + x]; }
  const Rgba& at(int x, int y) const { return pels_[static_cast<size_t>(y) * w_ + x]; }

  // Sets the pels of the rectangle (clipped), alpha included.
  void fillRect(int x, int y, int w, int h, Rgba colour);
  // Blends the colour over the pel with weight coverage * colour.a / 255.
  void blend(int x, int y, Rgba colour, double coverage);
  // A rounded rectangle with anti-aliased edges, blended.
  void roundRect(double x, double y, double w, double h, double radius, Rgba colour);
  // A stroke from (x0, y0) to (x1, y1) of the given half-width with round
  // ends, anti-aliased, blended.
  void capsule(double x0, double y0, double x1, double y1, double halfWidth, Rgba colour);
  // Text in the pixel font, each font pel a scale x scale square, set
  // (not blended) so that key-coloured pictures stay unblended.
  void text(int x, int y, const std::string& text, int scale, Rgba colour);

  // Width of a text in pels at a scale.
  static int textWidth(const std::string& text, int scale);

 private:
  int w_, h_;
  std::vector<Rgba> pels_;
};

// Coverage of a pel whose centre lies at a signed distance d outside an edge
// (negative: inside): 1 inside, 0 outside, linear over one pel.
double edgeCoverage(double d);
