// Segments between two points and their clipping to a rectangle: integer
// segments for the spans, float segments for the lines.
//
// Both clips follow one scheme. The ends are ordered by x (a, then b). An end
// inside the rectangle is kept; then the rectangle's boundary pels are
// searched for crossings: the top row (y = top), the bottom row
// (y = bottom - 1), the left column (x = left) and the right column
// (x = right - 1). When a.y < b.y the start is sought on the top row and then
// the left column and the end on the bottom row and then the right column;
// otherwise the start on the bottom row and then the left column, the end on
// the top row and then the right column. Each crossing found replaces the
// start (or end) found before it. The segment is kept when both a start and
// an end were found. A rectangle without pels keeps nothing.
#pragma once

#include <cstdint>

#include "img/Image.h"

namespace talvo::g {

// Two integer points, the ends of a span.
struct Segment {
  std::int32_t x0, y0, x1, y1;

  // This segment cut to the rectangle, into `out`; false when it shares no
  // pel with it. Meant for horizontal and vertical segments (a single point
  // counts as vertical); a sloped segment has no crossings, so it is kept
  // only when both its ends lie inside.
  bool clip(const Rect& r, Segment& out) const;
  // The rectangle of the pels the segment covers (saturated to 32 bits).
  Rect bounds() const;
};

// A rectangle of floats; a point is inside when left <= x < right and
// top <= y < bottom.
struct FRect {
  float left, top, right, bottom;

  bool contains(float x, float y) const { return left <= x && x < right && top <= y && y < bottom; }
};

// Two points of 32-bit floats, the ends of a line.
struct FSegment {
  float x0, y0, x1, y1;

  // This segment cut to the rectangle, into `out`; false when the clip cannot
  // enter it. An end inside the rectangle but past its last full row or
  // column is moved back onto that row or column when the segment crosses it
  // there (unless both ends lie inside).
  bool clip(const FRect& r, FSegment& out) const;
  // {min x, min y, min x + |x1 - x0| + 1, min y + |y1 - y0| + 1}.
  FRect bounds() const;
};

}  // namespace talvo::g
