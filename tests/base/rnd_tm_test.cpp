#include <gtest/gtest.h>

#include <vector>

#include "base/rnd.h"
#include "base/tm.h"
#include "platform/win32.h"

namespace {

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
