#include <gtest/gtest.h>

#include <vector>

#include "base/rnd.h"
#include "base/tm.h"
#include "platform/win32.h"

namespace {

// The only test of this program that steps the first generator, so it sees
// the sequence of a fresh run.
TEST(Random, FirstGeneratorFromItsFixedStart) {
  EXPECT_EQ(rndNext(), 0x000D0034u);
  EXPECT_EQ(rndNext(), 0x338D6270u);
  EXPECT_EQ(rndNext(), 0xE5852355u);
  std::vector<uint32_t> range100, range7;
  for (int i = 0; i < 10; ++i) range100.push_back(rndRange(100));
  for (int i = 0; i < 5; ++i) range7.push_back(rndRange(7));
  EXPECT_EQ(range100, (std::vector<uint32_t>{93, 90, 99, 6, 14, 23, 32, 25, 91, 34}));
  EXPECT_EQ(range7, (std::vector<uint32_t>{3, 1, 3, 1, 4}));
  EXPECT_EQ(rndFloat(), 0.7634589672088623f);
  EXPECT_EQ(rndDouble(), 0.14795509972054366);
  for (int i = 0; i < 1000; ++i) {
    float f = rndFloat();
    double d = rndDouble();
    ASSERT_TRUE(f >= 0.0f && f < 1.0f);
    ASSERT_TRUE(d >= 0.0 && d < 1.0);
    ASSERT_LT(rndNext31(), 0x80000000u);
  }
  EXPECT_EQ(rndRange(0), 0u);  // no division by zero
}

TEST(Random, SecondGeneratorFromItsSeed) {
  auto run = [](uint32_t seed, int n, uint32_t range) {
    rnd2Seed(seed);
    std::vector<uint32_t> v;
    for (int i = 0; i < n; ++i) v.push_back(range ? rnd2Range(range) : rnd2Next());
    return v;
  };
  // The first value is the one the seeding step made.
  EXPECT_EQ(run(20240101, 5, 0),
            (std::vector<uint32_t>{0xDB1AB00Au, 0x6D138B65u, 0xC5870144u, 0xD25E5E02u, 0x4FDCDA5Du}));
  EXPECT_EQ(run(20240101, 5, 0), run(20240101, 5, 0));
  EXPECT_EQ(run(7, 6, 1000), (std::vector<uint32_t>{189, 269, 207, 539, 874, 286}));
  rnd2Seed(20240101);
  EXPECT_EQ(rnd2Next31(), 0x5B1AB00Au);
  EXPECT_EQ(rnd2Next(), 0x6D138B65u);
  EXPECT_EQ(rnd2Range(0), 0u);
}

TEST(Clock, FollowsThePerformanceCounter) {
  tmCalibrate();
  LARGE_INTEGER before, after;
  QueryPerformanceCounter(&before);
  uint64_t t0 = tmMilliseconds();
  Sleep(30);
  uint64_t t1 = tmMilliseconds();
  QueryPerformanceCounter(&after);
  const int64_t perMs = 1000000;  // the platform counter counts nanoseconds
  EXPECT_GE(t0, static_cast<uint64_t>(before.QuadPart / perMs));
  EXPECT_LE(t1, static_cast<uint64_t>(after.QuadPart / perMs));
  EXPECT_GE(t1 - t0, 29u);
  // After tmDone the clock calibrates again on its next use.
  tmDone();
  EXPECT_GE(tmMilliseconds(), t1);
}

}  // namespace
