// The stopwatch on a clock the test moves by hand, and once on the real one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"
#include "talvo/Stopwatch.h"

// Built while static objects are built, as the game's timer is: its first
// tick read identifies the processor.
talvo::Stopwatch g_static_watch;

namespace {

// 1000 ticks per millisecond; starts far from 0, as the real ticks do.
struct HandClock {
  static inline uint64_t ticks = 0;
  static uint64_t now() { return ticks; }
  static uint64_t to_ms(uint64_t t) { return t / 1000; }
};
using Watch = talvo::BasicStopwatch<HandClock>;
constexpr uint64_t kSecond = 1000000;

enum class Op { none, pause, resume, set };
struct Step {
  uint64_t advance;  // ticks the clock moves before the step
  Op op;
  uint64_t value;    // set_elapsed's argument
  uint64_t shows;    // elapsed() after the step
};

TEST(Stopwatch, Scripts) {
  const struct {
    const char* what;
    std::vector<Step> steps;
  } scripts[] = {
      {"paused after 5 s, resumed 3 s later",
       {{5 * kSecond, Op::pause, 0, 5 * kSecond},
        {3 * kSecond, Op::resume, 0, 5 * kSecond},
        {1 * kSecond, Op::none, 0, 6 * kSecond}}},
      {"the game's new run: paused, set to 0, resumed at the first move",
       {{7 * kSecond, Op::pause, 0, 7 * kSecond},
        {0, Op::set, 0, 0},
        {4 * kSecond, Op::none, 0, 0},
        {0, Op::resume, 0, 0},
        {2 * kSecond, Op::none, 0, 2 * kSecond}}},
      {"set to 0 while running counts on from 0",
       {{9 * kSecond, Op::set, 0, 0}, {3 * kSecond, Op::none, 0, 3 * kSecond}}},
      {"pausing twice keeps the first frozen time",
       {{2 * kSecond, Op::pause, 0, 2 * kSecond},
        {5 * kSecond, Op::pause, 0, 2 * kSecond},
        {1 * kSecond, Op::resume, 0, 2 * kSecond},
        {1 * kSecond, Op::none, 0, 3 * kSecond}}},
      {"resuming a running watch changes nothing",
       {{4 * kSecond, Op::resume, 0, 4 * kSecond}, {1 * kSecond, Op::none, 0, 5 * kSecond}}},
      {"a paused watch set to 12 s continues from 12 s",
       {{1 * kSecond, Op::pause, 0, 1 * kSecond},
        {1 * kSecond, Op::set, 12 * kSecond, 12 * kSecond},
        {5 * kSecond, Op::resume, 0, 12 * kSecond},
        {1 * kSecond, Op::none, 0, 13 * kSecond}}},
  };
  for (const auto& script : scripts) {
    SCOPED_TRACE(script.what);
    HandClock::ticks = 1000 * kSecond;
    Watch watch;
    EXPECT_EQ(watch.elapsed(), 0u);
    int index = 0;
    for (const Step& step : script.steps) {
      SCOPED_TRACE(testing::Message() << "step " << index++);
      HandClock::ticks += step.advance;
      switch (step.op) {
        case Op::none: break;
        case Op::pause: watch.pause(); break;
        case Op::resume: watch.resume(); break;
        case Op::set: watch.set_elapsed(step.value); break;
      }
      EXPECT_EQ(watch.elapsed(), step.shows);
      EXPECT_EQ(watch.elapsed_ms(), step.shows / 1000);
    }
  }
}

TEST(Stopwatch, SetBeyondTheClockStartsAtZero) {
  HandClock::ticks = 50;
  Watch watch;
  EXPECT_EQ(watch.set_elapsed(100), 0u);
  EXPECT_EQ(watch.elapsed(), 50u);  // a running watch now shows the tick count
  HandClock::ticks = 70;
  EXPECT_EQ(watch.set_elapsed(30), 40u);
  EXPECT_EQ(watch.elapsed(), 30u);
}

TEST(Stopwatch, OffsetAndRawElapsed) {
  HandClock::ticks = 10 * kSecond;
  Watch ahead(-static_cast<int64_t>(3 * kSecond));
  EXPECT_EQ(ahead.elapsed(), 3 * kSecond);
  Watch behind(static_cast<int64_t>(kSecond));
  HandClock::ticks += 2 * kSecond;
  EXPECT_EQ(behind.elapsed(), kSecond);
  // raw_elapsed ignores the pause.
  behind.pause();
  HandClock::ticks += kSecond;
  EXPECT_EQ(behind.elapsed(), kSecond);
  EXPECT_EQ(behind.raw_elapsed(), 2 * kSecond);
}

TEST(Stopwatch, StaticWatchRunsFromStartUp) {
  const uint64_t before = g_static_watch.elapsed();
  Sleep(2);
  EXPECT_GT(g_static_watch.elapsed(), before);
  EXPECT_LT(g_static_watch.elapsed_ms(), 60000u);
}

TEST(Stopwatch, OnTheTickClock) {
  talvo::Stopwatch watch;
  EXPECT_LT(watch.elapsed_ms(), 20u);
  Sleep(30);
  const uint64_t ms = watch.elapsed_ms();
  EXPECT_GE(ms, 27u);
  EXPECT_LT(ms, 2000u);
  watch.pause();
  const uint64_t frozen = watch.elapsed();
  Sleep(5);
  EXPECT_EQ(watch.elapsed(), frozen);
}

}  // namespace
