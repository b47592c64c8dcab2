// A stopwatch over the tick clock: it can be paused, resumed and set to a
// given elapsed time.
//
//   talvo::Stopwatch watch;        // running from 0
//   watch.pause();                 // elapsed() stays where it was
//   watch.set_elapsed(0);          // still paused, shows 0
//   watch.resume();                // counts on from 0
//   uint64_t ms = watch.elapsed_ms();
#pragma once

#include <cstdint>

#include "talvo/CpuInfo.h"

namespace talvo {

// The clock a stopwatch reads: now() in ticks and to_ms() of a tick count.
struct TickClock {
  static uint64_t now() { return read_ticks(); }
  static uint64_t to_ms(uint64_t ticks) { return ticks_to_ms(ticks); }
};

template <class Clock>
class BasicStopwatch {
 public:
  // Starts running with start = now + offset (offset 0: the watch shows 0).
  explicit BasicStopwatch(int64_t offset = 0) : start_(Clock::now() + static_cast<uint64_t>(offset)) {}

  // now - start, paused or not (wraps).
  uint64_t raw_elapsed() const { return Clock::now() - start_; }
  // The frozen time while paused, else now - start.
  uint64_t elapsed() const { return paused_ ? frozen_ : Clock::now() - start_; }
  uint64_t elapsed_ms() const { return Clock::to_ms(elapsed()); }
  bool paused() const { return paused_ != 0; }
  uint64_t start() const { return start_; }

  // The elapsed time becomes t without changing the state: a paused watch
  // shows t and continues from t when resumed. When the clock has not yet
  // reached t, start becomes 0. Returns the new start.
  uint64_t set_elapsed(uint64_t t) {
    start_ = Clock::now() > t ? Clock::now() - t : 0;
    frozen_ = t;
    return start_;
  }
  // Freezes the elapsed time; nothing when already paused.
  void pause() {
    if (paused_) return;
    frozen_ = Clock::now() - start_;
    paused_ = 1;
  }
  // Counts on from the frozen time; nothing when running.
  void resume() {
    if (!paused_) return;
    start_ = Clock::now() - frozen_;
    paused_ = 0;
  }

 private:
  uint64_t start_;
  uint64_t frozen_ = 0;
  uint8_t paused_ = 0;
};

class Stopwatch : public BasicStopwatch<TickClock> {
 public:
  using BasicStopwatch::BasicStopwatch;
};

}  // namespace talvo
