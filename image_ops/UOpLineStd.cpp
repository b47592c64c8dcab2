// Lines: the two dispatches of UOpLineStd and its writer, a digital
// differential analyser on 32-bit floats.
//
// Built without contraction of multiplies and adds into fused ones and
// without fast-math: the running coordinate is a 32-bit float rounded at
// every step, and which pel a step lands on depends on that rounding (from
// (0, 0) to (9, 3) the running y after nine steps of 1/3 is just under 3).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "image_ops/Dispatch.h"
#include "image_ops/Segment.h"
#include "img/Op.h"

namespace talvo::g {

namespace {

// The pel coordinate of v held within [lo, hi]: floor(v), which for the
// non-negative coordinates of an image is also its truncation toward zero;
// NaN gives lo. The bounds are pel coordinates of an image, far inside the
// range of an int.
std::int32_t pel_within(float v, std::int32_t lo, std::int32_t hi) {
  if (!(v >= float(lo))) return lo;
  if (!(v < float(hi))) return hi;
  return std::clamp(std::int32_t(std::floor(v)), lo, hi);
}

// Pels of a line along one major axis. Coordinates are named for an x-major
// line (c a column, y the running row); a y-major line passes its
// coordinates swapped and swaps them back in `put`. (X0, Y0) to (X1, Y1) is
// the clipped segment ordered so that X0 <= X1; the major coordinate stays
// within [major_lo, major_hi], the minor one within [minor_lo, minor_hi].
template <class Put>
void walk(float X0, float Y0, float X1, float Y1, std::int32_t major_lo, std::int32_t major_hi,
          std::int32_t minor_lo, std::int32_t minor_hi, Put put) {
  put(pel_within(X0, major_lo, major_hi), pel_within(Y0, minor_lo, minor_hi));
  // Ends on the same major coordinate: the slope is undefined, the start pel
  // is the line.
  if (!(X1 > X0)) return;
  const float m = (Y1 - Y0) / (X1 - X0);
  const float c0 = std::ceil(X0);
  float y = Y0 + (c0 - X0) * m;
  // ceil(X1) can be the rectangle's far edge: the loop ends on its last pel,
  // and the running y, a float, is held within the rectangle.
  const std::int32_t first = pel_within(c0, major_lo, major_hi);
  const std::int32_t last = pel_within(std::ceil(X1), major_lo, major_hi);
  for (std::int32_t c = first; c <= last; ++c) {
    put(c, pel_within(y, minor_lo, minor_hi));
    y = y + m;
  }
}

template <int Size>
void line_dda(Image& image, const Rect& rect, std::uint32_t pel, float x0, float y0, float x1, float y1,
              std::uint32_t /*word*/) {
  if (rect.empty()) return;
  const FRect frect{float(rect.x0), float(rect.y0), float(rect.x1), float(rect.y1)};
  FSegment s;
  if (!FSegment{x0, y0, x1, y1}.clip(frect, s)) return;
  const std::int32_t adx = std::int32_t(std::fabs(s.x0 - s.x1)), ady = std::int32_t(std::fabs(s.y0 - s.y1));
  const bool x_major = !(adx < ady);
  // The ends ordered along the major axis, as (major, minor) pairs.
  const bool flip = x_major ? !(s.x0 <= s.x1) : !(s.y0 <= s.y1);
  const float a_major = x_major ? s.x0 : s.y0, a_minor = x_major ? s.y0 : s.x0;
  const float b_major = x_major ? s.x1 : s.y1, b_minor = x_major ? s.y1 : s.x1;
  const float X0 = flip ? b_major : a_major, Y0 = flip ? b_minor : a_minor;
  const float X1 = flip ? a_major : b_major, Y1 = flip ? a_minor : b_minor;
  const std::int32_t major_lo = x_major ? rect.x0 : rect.y0, major_hi = (x_major ? rect.x1 : rect.y1) - 1;
  const std::int32_t minor_lo = x_major ? rect.y0 : rect.x0, minor_hi = (x_major ? rect.y1 : rect.x1) - 1;

  // One lock covers the pels along the major axis from the start pel to the
  // loop's last one, and the whole rectangle across it: the running float
  // may stray past the segment's own bounds there and is held only by the
  // rectangle.
  const std::int32_t first = pel_within(X0, major_lo, major_hi);
  const std::int32_t last = std::max(first, pel_within(std::ceil(X1), major_lo, major_hi));
  const Rect locked =
      x_major ? Rect{first, rect.y0, last + 1, rect.y1} : Rect{rect.x0, first, rect.x1, last + 1};
  Image::Lock lock(image, &locked, Image::Lock::write);
  if (!lock.pels) return;
  auto put_at = [&](std::int32_t col, std::int32_t row) {
    std::uint8_t* p =
        lock.pels + std::intptr_t(row - locked.y0) * lock.pitch + std::intptr_t(col - locked.x0) * Size;
    std::memcpy(p, &pel, Size);
  };
  if (x_major)
    walk(X0, Y0, X1, Y1, first, last, minor_lo, minor_hi, put_at);
  else
    walk(X0, Y0, X1, Y1, first, last, minor_lo, minor_hi,
         [&](std::int32_t row, std::int32_t col) { put_at(col, row); });
}

}  // namespace

// Second dispatch over the image's struct: every instance writes by pel size
// only, so the eight share the writers of three sizes.
template <class P>
struct UOpLineStdImplementation final : FormatSlots<UOpLineStdImplementation<P>, UOpLineStd> {
  explicit UOpLineStdImplementation(const UOpLineStd& op) { static_cast<UOpLineStd&>(*this) = op; }

  template <class S>
  void run() {
    line_dda<S::size>(*this->image, within_image(*this->rect, *this->image), this->pel, this->x0, this->y0,
                      this->x1, this->y1, this->word);
  }
};

// First dispatch: only direct-colour images take lines.
TALVO_G_REFUSE_INDEXED(UOpLineStd)
TALVO_G_FIRST_DISPATCH(UOpLineStd, UOpLineStdImplementation, image)

}  // namespace talvo::g
