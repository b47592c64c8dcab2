// Layer III Huffman decoding: a small writer encodes every code of every
// pair table (with linbits and sign bits) and of both count1 tables with the
// code tables; the decoder's readers must give the values back. A wrong
// lookup table fails here without the oracle.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "mpeg_support.h"
#include "sound/mpa_l3_huffman.h"
#include "sound/mpa_l3_private.h"

using namespace mpeg_test;

namespace {

constexpr int kLinbits[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};

// The layer III reader of dec over `bytes`, with no overrun mark in reach.
void startReader(mpaDecoder* dec, const Bytes& bytes) {
  dec->l3.br = mpaBitReader{bytes.data(), 0, int(bytes.size()), 0, 0, 0};
  dec->l3.overrun = int(bytes.size()) * 8 + 32;
}

int bitsRead(const mpaDecoder* dec) { return dec->l3.br.pos * 8 - dec->l3.br.bits; }

TEST(MpegL3Huffman, EveryPairCodeOfEveryTable) {
  std::mt19937 rng(5);
  Decoder dec;
  for (int t = 0; t < 32; ++t) {
    SCOPED_TRACE(t);
    const int base = t < 16 ? t : t < 24 ? 16 : 24;
    const uint16_t* code = nullptr;
    const uint8_t* len = nullptr;
    const int n = mpaL3CodeTable(base, &code, &len);
    if (n == 0) {
      // Tables 0, 4 and 14: zeros, no bits read.
      Bytes none(8, 0xFF);
      startReader(dec.get(), none);
      std::vector<int32_t> lines(6, 7);
      EXPECT_EQ(mpaL3HuffPairs(dec.get(), lines.data(), 6, t), 6);
      EXPECT_EQ(lines, std::vector<int32_t>(6, 0));
      EXPECT_EQ(bitsRead(dec.get()), 0);
      continue;
    }
    ASSERT_NE(mpaL3PairLookup(t), nullptr);
    // Every code in a random order, each value with its linbits and sign.
    std::vector<int> order(size_t(n * n));
    for (int i = 0; i < n * n; ++i) order[size_t(i)] = i;
    std::shuffle(order.begin(), order.end(), rng);
    BitWriter w;
    std::vector<int32_t> expect;
    for (int i : order) {
      w.put(code[i], len[i]);
      for (int v : {i / n, i % n}) {
        int value = v;
        if (kLinbits[t] && v == 15) {
          uint32_t extra = rng() & ((1u << kLinbits[t]) - 1);
          w.put(extra, kLinbits[t]);
          value += int(extra);
        }
        if (value) {
          bool negative = rng() & 1;
          w.put(negative, 1);
          if (negative) value = -value;
        }
        expect.push_back(value);
      }
    }
    const int bits = int(w.bytes.size()) * 8 - (w.used ? 8 - w.used : 0);
    w.padTo(w.bytes.size() + 8);
    startReader(dec.get(), w.bytes);
    std::vector<int32_t> lines(expect.size());
    EXPECT_EQ(mpaL3HuffPairs(dec.get(), lines.data(), int(lines.size()), t), int(lines.size()));
    EXPECT_EQ(lines, expect);
    EXPECT_EQ(bitsRead(dec.get()), bits);
  }
}

// Both count1 tables: every quadruple with random signs; the result is the
// lines up to the last non-zero quadruple (2 past its start when only v or w
// is set). A quadruple that runs past the bits left reads as zeros.
TEST(MpegL3Huffman, EveryQuadrupleOfBothCount1Tables) {
  std::mt19937 rng(8);
  Decoder dec;
  for (int tableB = 0; tableB < 2; ++tableB) {
    SCOPED_TRACE(tableB);
    ASSERT_NE(mpaL3QuadLookup(tableB), nullptr);
    std::vector<int> order(16);
    for (int v = 0; v < 16; ++v) order[size_t(v)] = v;
    std::shuffle(order.begin(), order.end(), rng);
    order.push_back(4);  // last: v = 0, w = 1, x = y = 0
    BitWriter w;
    std::vector<int32_t> expect;
    for (int vwxy : order) {
      int len = 4;
      int code = tableB ? 15 - vwxy : mpaL3Count1ACode(vwxy, &len);
      w.put(uint32_t(code), len);
      for (int k = 3; k >= 0; --k) {
        int v = (vwxy >> k) & 1;
        if (v && (rng() & 1)) {
          w.put(1, 1);
          v = -1;
        } else if (v) {
          w.put(0, 1);
        }
        expect.push_back(v);
      }
    }
    const int bits = int(w.bytes.size()) * 8 - (w.used ? 8 - w.used : 0);
    w.padTo(w.bytes.size() + 8);
    const int count = int(expect.size());
    std::vector<int32_t> lines(size_t(count), 9);
    startReader(dec.get(), w.bytes);
    EXPECT_EQ(mpaL3HuffQuads(dec.get(), lines.data(), count, bits, tableB), count - 2);
    EXPECT_EQ(lines, expect);
    // One bit fewer: the last quadruple reads as zeros, the one before ends.
    startReader(dec.get(), w.bytes);
    int lastNonzero = count - 4;
    while (lastNonzero > 0 && !(expect[size_t(lastNonzero - 4)] | expect[size_t(lastNonzero - 3)] |
                                expect[size_t(lastNonzero - 2)] | expect[size_t(lastNonzero - 1)]))
      lastNonzero -= 4;
    const bool xy = expect[size_t(lastNonzero - 2)] | expect[size_t(lastNonzero - 1)];
    EXPECT_EQ(mpaL3HuffQuads(dec.get(), lines.data(), count, bits - 1, tableB), lastNonzero - (xy ? 0 : 2));
    for (int k = count - 4; k < count; ++k) EXPECT_EQ(lines[size_t(k)], 0);
  }
}

}  // namespace
