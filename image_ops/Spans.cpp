// Horizontal and vertical spans: the two dispatches of UOpHLineStd and
// UOpVLineStd and their writers.
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#include "image_ops/Dispatch.h"
#include "image_ops/Segment.h"
#include "img/Op.h"

namespace talvo::g {

namespace {

// start + length, held within 32 bits: every rectangle lies within them, so
// what a span shares with one does not change.
std::int32_t span_end(std::int32_t start, std::int32_t length) {
  const std::int64_t end = std::int64_t(start) + length;
  if (end > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (end < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return std::int32_t(end);
}

// Writes `pel` (its low Size bytes) along the span from `start` (x, y) over
// `length` further pels (negative: left or up), cut to the rectangle, where
// bit ((c - start) mod 32) of the pattern is set at the span's coordinate c.
// The pattern is anchored at the start point; clipping does not shift it.
template <int Size, bool Vertical>
void span(Image& image, const Rect& rect, std::uint32_t pel, std::int32_t x, std::int32_t y,
          std::int32_t length, std::uint32_t pattern) {
  const Segment whole =
      Vertical ? Segment{x, y, x, span_end(y, length)} : Segment{x, y, span_end(x, length), y};
  Segment seg;
  if (!whole.clip(rect, seg)) return;
  const Rect b = seg.bounds();
  Image::Lock lock(image, &b, Image::Lock::write);
  if (!lock.pels) return;
  const std::int32_t first = Vertical ? b.y0 : b.x0, last = Vertical ? b.y1 : b.x1;
  const std::intptr_t step = Vertical ? std::intptr_t(lock.pitch) : Size;
  // Rotated once so that the first pel written takes bit 0; the bit index
  // then wraps from 31 to 0. The offset is taken modulo 32 as a number, also
  // for pels before the start.
  const std::uint32_t offset = (std::uint32_t(first) - std::uint32_t(Vertical ? y : x)) & 31u;
  std::uint32_t bits = std::rotr(pattern, int(offset));
  std::uint8_t* p = lock.pels;
  for (std::int32_t c = first; c < last; ++c, p += step, bits = std::rotr(bits, 1))
    if (bits & 1u) std::memcpy(p, &pel, Size);
}

template <int Size>
void hspan(Image& image, const Rect& rect, std::uint32_t pel, std::int32_t x, std::int32_t y,
           std::int32_t length, std::uint32_t pattern) {
  span<Size, false>(image, rect, pel, x, y, length, pattern);
}

template <int Size>
void vspan(Image& image, const Rect& rect, std::uint32_t pel, std::int32_t x, std::int32_t y,
           std::int32_t length, std::uint32_t pattern) {
  span<Size, true>(image, rect, pel, x, y, length, pattern);
}

}  // namespace

// Second dispatch over the image's struct: every instance writes by pel size
// only, so the eight share the writers of three sizes.
template <class P>
struct UOpHLineStdImplementation final : FormatSlots<UOpHLineStdImplementation<P>, UOpHLineStd> {
  explicit UOpHLineStdImplementation(const UOpHLineStd& op) { static_cast<UOpHLineStd&>(*this) = op; }

  template <class S>
  void run() {
    hspan<S::size>(*this->image, within_image(*this->rect, *this->image), this->pel, this->x, this->y,
                   this->length, this->pattern);
  }
};

template <class P>
struct UOpVLineStdImplementation final : FormatSlots<UOpVLineStdImplementation<P>, UOpVLineStd> {
  explicit UOpVLineStdImplementation(const UOpVLineStd& op) { static_cast<UOpVLineStd&>(*this) = op; }

  template <class S>
  void run() {
    vspan<S::size>(*this->image, within_image(*this->rect, *this->image), this->pel, this->x, this->y,
                   this->length, this->pattern);
  }
};

// First dispatch: only direct-colour images take spans.
TALVO_G_REFUSE_INDEXED(UOpHLineStd)
TALVO_G_FIRST_DISPATCH(UOpHLineStd, UOpHLineStdImplementation, image)
TALVO_G_REFUSE_INDEXED(UOpVLineStd)
TALVO_G_FIRST_DISPATCH(UOpVLineStd, UOpVLineStdImplementation, image)

}  // namespace talvo::g
