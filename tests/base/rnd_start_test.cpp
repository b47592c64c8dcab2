// The first random generator starts at the same state in every run: the
// sequence a process sees from its start. The program runs one test per
// process (ONE_PER_PROCESS), so nothing steps the generator before.
#include <gtest/gtest.h>

#include <vector>

#include "base/rnd.h"

namespace {

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

}  // namespace
