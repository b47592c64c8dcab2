// Layer III Huffman lookups: every code of every written code table, and of
// count1 table A, walks its lookup to its own values and length.
#include <gtest/gtest.h>

#include <random>

#include "sound/mpa_l3_huffman.h"

namespace {

struct Walked {
  int x = -1, y = -1, nonzero = -1, len = 0;
};

// Walks `lookup` over the code word (len bits) followed by random bits,
// through its sub-tables.
Walked walkAll(const uint32_t* lookup, uint32_t code, int len, std::mt19937& rng) {
  uint64_t bits = (uint64_t(code) << (64 - len)) | (uint64_t(rng()) << (32 - len));
  Walked w;
  const uint32_t* t = lookup;
  for (int level = 0; level < 8; ++level) {
    int k = int(t[0]);
    const uint32_t* entry = t + 1 + (bits >> (64 - k));
    uint32_t e = *entry;
    if (e >> 24) {
      w.len += int(e >> 24);
      w.nonzero = int(e & 0xFF), w.x = int((e >> 8) & 0xFF), w.y = int((e >> 16) & 0xFF);
      return w;
    }
    bits <<= k;
    w.len += k;
    t = entry + e;
  }
  return w;
}

TEST(MpegL3Huffman, EveryCodeWalksToItsValues) {
  std::mt19937 rng(3);
  int tables = 0;
  for (int t = 1; t < 16; ++t) {
    const uint16_t* code = nullptr;
    const uint8_t* len = nullptr;
    int n = mpaL3CodeTable(t, &code, &len);
    const uint32_t* lookup = mpaL3PairLookup(t);
    if (!n) continue;
    ASSERT_NE(lookup, nullptr) << "table " << t;
    ++tables;
    for (int i = 0; i < n * n; ++i) {
      Walked w = walkAll(lookup, code[i], len[i], rng);
      EXPECT_EQ(w.x, i / n) << "table " << t << " code " << i;
      EXPECT_EQ(w.y, i % n) << "table " << t << " code " << i;
      EXPECT_EQ(w.len, len[i]) << "table " << t << " code " << i;
      EXPECT_EQ(w.nonzero, (i / n != 0) + (i % n != 0));
    }
  }
  EXPECT_EQ(tables, 12);  // 13, 16 and 24 still to be written
  const uint32_t* a = mpaL3Count1ALookup();
  ASSERT_NE(a, nullptr);
  for (int v = 0; v < 16; ++v) {
    int len = 0;
    int code = mpaL3Count1ACode(v, &len);
    Walked w = walkAll(a, uint32_t(code), len, rng);
    EXPECT_EQ(w.x, v);
    EXPECT_EQ(w.len, len);
  }
}

}  // namespace
