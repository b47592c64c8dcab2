// Clipping of integer and float segments. Built without contraction of
// multiplies and adds into fused ones: the crossings are computed in 32-bit
// floats step by step, as the lines' drawing expects.
#include "image_ops/Segment.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace talvo::g {

namespace {

template <class T>
struct Pt {
  T x, y;
};

// A row (at = its y) or a column (at = its x) of boundary pels, reaching
// from lo to hi along the other axis, both included.
template <class T>
struct Edge {
  T at, lo, hi;
};

// The clip scheme shared by both segment kinds; Geometry gives the
// rectangle's boundary and the crossing tests. Writes the clipped ends, a
// first, and tells whether the segment is kept.
template <class T, class Geometry>
bool clip_ends(Pt<T> a, Pt<T> b, const Geometry& g, Pt<T>& start, Pt<T>& end) {
  // A rectangle without pels has none to share; its edges would otherwise
  // cross over and give ends outside it.
  if (!(g.left <= g.right_col && g.top <= g.bottom_row)) return false;
  if (!(a.x <= b.x)) std::swap(a, b);
  const bool a_in = g.contains(a), b_in = g.contains(b);
  start = a;
  end = b;
  if (a_in && b_in) return true;
  bool has_start = a_in, has_end = b_in;
  const Edge<T> top{g.top, g.left, g.right_col}, bottom{g.bottom_row, g.left, g.right_col};
  const Edge<T> left{g.left, g.top, g.bottom_row}, right{g.right_col, g.top, g.bottom_row};
  auto on_row = [&](const Edge<T>& e, Pt<T>& p, bool& found) {
    if (g.cross_row(a, b, e, p)) found = true;
  };
  auto on_column = [&](const Edge<T>& e, Pt<T>& p, bool& found) {
    if (g.cross_column(a, b, e, p)) found = true;
  };
  if (a.y < b.y) {
    on_row(top, start, has_start);
    on_column(left, start, has_start);
    on_row(bottom, end, has_end);
    on_column(right, end, has_end);
  } else {
    on_row(bottom, start, has_start);
    on_column(left, start, has_start);
    on_row(top, end, has_end);
    on_column(right, end, has_end);
  }
  return has_start && has_end;
}

// Integer segments, in 64 bits so that no boundary or end overflows.
struct IntGeometry {
  using P = Pt<std::int64_t>;
  using E = Edge<std::int64_t>;
  std::int64_t left, top, right_col, bottom_row;

  explicit IntGeometry(const Rect& r)
      : left(r.x0), top(r.y0), right_col(std::int64_t(r.x1) - 1), bottom_row(std::int64_t(r.y1) - 1) {}

  bool contains(const P& p) const {
    return left <= p.x && p.x <= right_col && top <= p.y && p.y <= bottom_row;
  }
  // A vertical segment (a single point included) crosses a row within its
  // reach; nothing else does.
  static bool cross_row(const P& a, const P& b, const E& e, P& out) {
    if (a.x != b.x || a.x < e.lo || a.x > e.hi) return false;
    if (e.at < std::min(a.y, b.y) || e.at > std::max(a.y, b.y)) return false;
    out = {a.x, e.at};
    return true;
  }
  // A horizontal segment crosses a column within its reach; nothing else does.
  static bool cross_column(const P& a, const P& b, const E& e, P& out) {
    if (a.x == b.x || a.y != b.y || e.at < a.x || e.at > b.x) return false;
    if (a.y < e.lo || a.y > e.hi) return false;
    out = {e.at, a.y};
    return true;
  }
};

// Float segments, every step a 32-bit float.
struct FloatGeometry {
  using P = Pt<float>;
  using E = Edge<float>;
  float left, top, right_col, bottom_row;
  const FRect& r;

  explicit FloatGeometry(const FRect& r)
      : left(r.left), top(r.top), right_col(r.right - 1), bottom_row(r.bottom - 1), r(r) {}

  bool contains(const P& p) const { return r.contains(p.x, p.y); }
  static bool cross_row(const P& a, const P& b, const E& e, P& out) {
    const float y = e.at;
    if (a.x == b.x) {
      if (!(e.lo <= a.x && a.x <= e.hi)) return false;
      if (!(std::min(a.y, b.y) <= y && y <= std::max(a.y, b.y))) return false;
      out = {a.x, y};
      return true;
    }
    if (!((y - b.y) * (y - a.y) <= 0)) return false;
    const float k = (b.y - a.y) / (b.x - a.x);
    if (k == 0) return false;
    const float x = a.x + (y - a.y) / k;
    if (!(e.lo <= x && x <= e.hi)) return false;
    out = {x, y};
    return true;
  }
  static bool cross_column(const P& a, const P& b, const E& e, P& out) {
    const float x = e.at;
    if (a.x == b.x) return false;
    if (!((x - b.x) * (x - a.x) <= 0)) return false;
    const float slope = (b.y - a.y) / (b.x - a.x);
    const float y = a.y + slope * (x - a.x);
    if (!(e.lo <= y && y <= e.hi)) return false;
    out = {x, y};
    return true;
  }
};

std::int32_t saturate(std::int64_t v) {
  return std::int32_t(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

bool Segment::clip(const Rect& r, Segment& out) const {
  Pt<std::int64_t> start, end;
  if (!clip_ends<std::int64_t>({x0, y0}, {x1, y1}, IntGeometry(r), start, end)) return false;
  out = {std::int32_t(start.x), std::int32_t(start.y), std::int32_t(end.x), std::int32_t(end.y)};
  return true;
}

Rect Segment::bounds() const {
  const std::int64_t x = std::min(x0, x1), y = std::min(y0, y1);
  return {x0 < x1 ? x0 : x1, y0 < y1 ? y0 : y1, saturate(x + std::abs(std::int64_t(x1) - x0) + 1),
          saturate(y + std::abs(std::int64_t(y1) - y0) + 1)};
}

bool FSegment::clip(const FRect& r, FSegment& out) const {
  Pt<float> start, end;
  if (!clip_ends<float>({x0, y0}, {x1, y1}, FloatGeometry(r), start, end)) return false;
  out = {start.x, start.y, end.x, end.y};
  return true;
}

FRect FSegment::bounds() const {
  const float x = std::min(x0, x1), y = std::min(y0, y1);
  return {x, y, x + std::fabs(x1 - x0) + 1, y + std::fabs(y1 - y0) + 1};
}

}  // namespace talvo::g
