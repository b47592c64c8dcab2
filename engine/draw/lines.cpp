// The line primitives of the image base class: runs of one pel along a row
// or a column, masked by a pattern that repeats every 32 pels, and free
// lines between two points. The pel value is stored as it stands: no blend,
// no key, no draw mode. Each operation gives up a lock the caller held,
// locks the rectangle it covers (cut to the image: pels outside it are
// skipped), hands the pels to the writer of the image's pel size and
// unlocks, also when a report jumps out.
//
// Built with -ffp-contract=off and without fast-math (CMakeLists.txt): the
// line's offsets are doubles that round at every step.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/err.h"
#include "engine/img.h"
#include "platform/win_kernel.h"

namespace {

// The writers of one pel size: Size bytes of the pel value, low byte first
// (3-byte pels drop bits 24-31, 16-bit ones keep bit 15).
template <int Size>
struct imgLineWriter {
  static void put(uint8_t* p, uint32_t pel) { std::memcpy(p, &pel, Size); }

  // Pels first..last of a run, p at pel `first`, step bytes apart; pel i is
  // drawn when bit (i mod 32) of the pattern is set.
  static void run(uint8_t* p, int64_t step, uint32_t pel, int64_t first, int64_t last, uint32_t pattern) {
    for (int64_t i = first; i <= last; ++i, p += step)
      if (pattern >> (i & 31) & 1) put(p, pel);
  }

  // One pel at (x, y) of the image, `at` the lock's first pel (at lockX,
  // lockY); skipped outside the image.
  static void plot(const imgCTy& image, int64_t x, int64_t y, uint32_t pel) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
    put(image.data + ((y - image.lockRect.y) * image.pitch + (x - image.lockRect.x)) * Size, pel);
  }
};

struct Writer {
  int size;
  void (*run)(uint8_t*, int64_t, uint32_t, int64_t, int64_t, uint32_t);
  void (*plot)(const imgCTy&, int64_t, int64_t, uint32_t);
};

template <int Size>
constexpr Writer writer{Size, imgLineWriter<Size>::run, imgLineWriter<Size>::plot};

// The writer of a pel format: R8G8B8 (imgHLine24 and its kin), the 4-byte
// formats and Z32 (32), the three 16-bit colour formats (16), P8 (8); none
// for the others.
const Writer* writerOf(int format) {
  switch (format) {
    case pel_FMT_R8G8B8: return &writer<3>;
    case pel_FMT_X8R8G8B8:
    case pel_FMT_A8R8G8B8:
    case pel_FMT_Z32: return &writer<4>;
    case pel_FMT_R5G6B5:
    case pel_FMT_X1R5G5B5:
    case pel_FMT_A1R5G5B5: return &writer<2>;
    case pel_FMT_P8: return &writer<1>;
    default: return nullptr;
  }
}

// Holds the image locked on r (write only) for one operation; an earlier
// lock is given up first, as its rectangle is not the one written.
struct CoveredLock {
  imgCTy& image;
  CoveredLock(imgCTy& i, const rectCTy& r) : image(i) {
    if (image.data) image.Unlock();
    image.Lock(&r, img_LOCK_WRITE);
  }
  ~CoveredLock() { image.Unlock(); }
};

void reportMissing(const char* text) {
  if (errPrintf(ERR_LEVEL_ERROR, text) == ERR_OUTCOME_RETRY) DebugBreak();
}

// The rectangle [x0, x1] x [y0, y1] cut to the image; empty when nothing of
// it lies inside.
rectCTy cut(const imgCTy& image, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  x0 = std::max<int64_t>(x0, 0), y0 = std::max<int64_t>(y0, 0);
  x1 = std::min<int64_t>(x1, image.width - 1), y1 = std::min<int64_t>(y1, image.height - 1);
  if (x0 > x1 || y0 > y1) return {0, 0, 0, 0};
  return {int32_t(x0), int32_t(y0), int32_t(x1 - x0 + 1), int32_t(y1 - y0 + 1)};
}

// A run of `length` pels from (x, y), rightwards or downwards. A length of 0
// or less draws nothing.
void drawRun(imgCTy& image, uint32_t pel, int x, int y, int length, uint32_t pattern, bool down, const char* report) {
  const int64_t last = int64_t(length) - 1;
  const rectCTy r = down ? cut(image, x, y, x, y + last) : cut(image, x, y, x + last, y);
  const Writer* w = writerOf(image.PelFormat());
  CoveredLock lock(image, r);
  if (!w) return reportMissing(report);
  if (r.w <= 0 || r.h <= 0 || !image.data) return;
  // The pattern counts from the run's first pel, also where it starts
  // outside the image.
  const int64_t first = down ? r.y - int64_t(y) : r.x - int64_t(x);
  const int64_t step = down ? int64_t(image.pitch) * w->size : w->size;
  w->run(image.data, step, pel, first, first + (down ? r.h : r.w) - 1, pattern);
}

// The line from (x0, y0) to (x1, y1) along its major axis, one pel per
// step: the minor offset h starts at the first end point's and grows by the
// minor extent over the pel count (so the line can end one pel short of the
// far end point on the minor axis), added at every step and rounded half up.
template <class Plot>
void walkLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, Plot plot) {
  const int64_t dx = x0 > x1 ? x0 - x1 : x1 - x0, dy = y0 > y1 ? y0 - y1 : y1 - y0;
  const int64_t left = std::min(x0, x1), top = std::min(y0, y1);
  if (dx + 1 < dy + 1) {
    // Steep: from the upper end point down.
    const bool firstUpper = y0 < y1;
    const int64_t fromX = firstUpper ? x0 : x1, toX = firstUpper ? x1 : x0;
    double h = double(fromX - left);
    const double step = (toX > fromX ? 1.0 : -1.0) * (double(dx) / double(dy + 1));
    for (int64_t i = 0; i <= dy; ++i, h += step) plot(left + int64_t(h + 0.5), top + i);
  } else {
    // From the left end point (the first one when both share x) rightwards.
    const bool firstLeft = x0 <= x1;
    const int64_t fromY = firstLeft ? y0 : y1, toY = firstLeft ? y1 : y0;
    double h = double(fromY - top);
    const double step = (toY > fromY ? 1.0 : -1.0) * (double(dy) / double(dx + 1));
    for (int64_t i = 0; i <= dx; ++i, h += step) plot(left + i, top + int64_t(h + 0.5));
  }
}

}  // namespace

void imgCTy::DrawHLine(uint32_t pel, int x, int y, int length, uint32_t pattern) {
  drawRun(*this, pel, x, y, length, pattern, false, "imgCTy::DrawHLine: This is not impelmetned yet");
}

void imgCTy::DrawVLine(uint32_t pel, int x, int y, int length, uint32_t pattern) {
  drawRun(*this, pel, x, y, length, pattern, true, "imgCTy::DrawVLine: This is not impelmetned yet");
}

// The sixth argument plays no part.
void imgCTy::DrawLine(uint32_t pel, int x0, int y0, int x1, int y1, int) {
  const rectCTy r = cut(*this, std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1));
  const Writer* w = writerOf(PelFormat());
  CoveredLock lock(*this, r);
  if (!w) return reportMissing("imgCTy::DrawLine: This is not impelmetned yet");
  if (r.w <= 0 || r.h <= 0 || !data) return;
  walkLine(x0, y0, x1, y1, [&](int64_t x, int64_t y) { w->plot(*this, x, y, pel); });
}

void imgCTy::DrawHLineRGB(const uint32_t* colour, int x, int y, int length, uint32_t pattern) {
  if (colour) DrawHLine(ToNative(*colour), x, y, length, pattern);
}

void imgCTy::DrawVLineRGB(const uint32_t* colour, int x, int y, int length, uint32_t pattern) {
  if (colour) DrawVLine(ToNative(*colour), x, y, length, pattern);
}
