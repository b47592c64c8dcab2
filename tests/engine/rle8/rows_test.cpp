// Packed rows: the packer's codes, unpacking any stretch of them, the
// coverage check and the opaque bounds.
#include <random>

#include "rle8_fixture.h"

using namespace rle8_test;

namespace {

Bytes repeat(int n, uint8_t v) { return Bytes(size_t(n), v); }
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
// 1, 2, 3, ..., n: no three equal in a row.
Bytes counting(int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) out.push_back(uint8_t(1 + i % 200));
  return out;
}

Bytes pack(const Bytes& pels, int key) {
  int length = -1;
  uint8_t* row = rle8PackRow(pels.data(), int(pels.size()), key, &length);
  Bytes out(row, row + (row ? length : 0));
  memHooks.free(row);
  return out;
}

}  // namespace

TEST(Rle8Rows, PackedCodes) {
  const Bytes lit63 = counting(63), lit64 = counting(64);
  struct Case {
    const char* name;
    Bytes pels;
    int key;
    Bytes codes;
  } cases[] = {
      {"runs and a trailing skip", {5, 5, 7, 7, 7, 3, 0, 0, 0}, 0, hex("82 0505 C3 07 81 03 03")},
      {"literal then 200 key pels", Bytes{1, 2, 3, 4} + repeat(200, 0), 0, hex("84 01020304 7F 49")},
      {"repeat of 70 then a skip", repeat(70, 9) + repeat(3, 0), 0, hex("FF 09 C7 09 03")},
      {"skip of 128 then one pel", repeat(128, 0) + Bytes{6}, 0, hex("7F 01 81 06")},
      {"skip of 127", repeat(127, 0) + Bytes{1}, 0, hex("7F 81 01")},
      {"skip of 254", repeat(254, 0) + Bytes{1}, 0, hex("7F 7F 81 01")},
      {"skip of 255", repeat(255, 0) + Bytes{1}, 0, hex("7F 7F 01 81 01")},
      {"two equal stay literal", {5, 5, 3}, 0, hex("83 050503")},
      {"three equal repeat", {5, 5, 5, 3}, 0, hex("C3 05 81 03")},
      {"literal of 63", lit63, 0, Bytes{0xBF} + lit63},
      {"literal of 64", lit64, 0, Bytes{0xBF} + Bytes(lit64.begin(), lit64.begin() + 63) + Bytes{0x81, lit64[63]}},
      {"repeat of 64", repeat(64, 4), 0, hex("FF 04 C1 04")},
      {"key 257 packs every pel", {0, 0, 0, 1}, 257, hex("C3 00 81 01")},
      {"key absent", {3, 4}, 9, hex("82 0304")},
      {"all key", repeat(10, 7), 7, {}},
      {"no pels", {}, 0, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(pack(c.pels, c.key), c.codes) << c.name;
}

// unpack(pack(row)) == row on random rows of every kind of stretch, from
// every start, in an exact-size block: nothing reads past the row.
TEST(Rle8Rows, RoundTripFromAnyStart) {
  std::mt19937 rng(30);
  const int lengths[] = {1, 2, 3, 63, 64, 127, 128, 254, 255};
  for (int key : {0, 7, 257}) {
    for (int trial = 0; trial < 60; ++trial) {
      Bytes pels;
      while (pels.size() < 700) {
        const int n = lengths[rng() % 9] + int(rng() % 3) - 1;
        const int kind = int(rng() % 3);
        for (int i = 0; i < n; ++i)
          pels.push_back(kind == 0 ? uint8_t(key == 257 ? 0 : key) : kind == 1 ? uint8_t(rng() % 4 + 1) : uint8_t(rng()));
      }
      const Bytes codes = pack(pels, key);
      if (codes.empty()) continue;
      EXPECT_LE(codes.size(), 3 * pels.size());
      Bytes exact = codes;  // an exact-size copy for ASan
      uint8_t* row = static_cast<uint8_t*>(memAlloc(exact.size()));
      std::memcpy(row, exact.data(), exact.size());
      size_t used = 0;
      EXPECT_TRUE(rle8RowCovers(row, exact.size(), int(pels.size()), &used));
      EXPECT_EQ(used, exact.size());
      const uint8_t fill = key == 257 ? 0 : uint8_t(key);
      for (int start : {0, 1, int(rng() % pels.size()), int(pels.size()) - 1}) {
        const int count = int(pels.size()) - start - int(rng() % 2) * int(rng() % (pels.size() - start));
        Bytes out(pels.size(), fill);
        rle8UnpackRow(row, exact.size(), start, count, out.data());
        Bytes want(pels.size(), fill);
        std::copy(pels.begin() + start, pels.begin() + start + count, want.begin() + start);
        ASSERT_EQ(out, want) << "key " << key << " start " << start << " count " << count;
      }
      memHooks.free(row);
    }
  }
}

// A row whose codes end before the width is not a whole row; codes of 0
// pels cover nothing, and a repeat of 0 still has its index byte.
TEST(Rle8Rows, Coverage) {
  struct Case {
    Bytes codes;
    int width;
    bool covers;
    size_t used;
  } cases[] = {
      {hex("82 0505 C3 07"), 5, true, 5},
      {hex("82 0505 C3 07 81 03"), 5, true, 5},  // bytes past the width unused
      {hex("82 0505 C3"), 5, false, 0},           // a repeat without its index
      {hex("84 0102"), 4, false, 0},              // a literal cut short
      {hex("03"), 4, false, 0},
      {hex("05"), 4, true, 1},                    // a last skip past the width
      {hex("00 80 C0 09 81 01"), 1, true, 6},
      {{}, 1, false, 0},
  };
  for (const Case& c : cases) {
    size_t used = 0;
    EXPECT_EQ(rle8RowCovers(c.codes.data(), c.codes.size(), c.width, &used), c.covers);
    if (c.covers) {
      EXPECT_EQ(used, c.used);
    }
  }
  Bytes out(3, 0xEE);
  const Bytes zeros = hex("00 80 C0 09 83 010203");
  rle8UnpackRow(zeros.data(), zeros.size(), 0, 3, out.data());
  EXPECT_EQ(out, (Bytes{1, 2, 3}));
}

TEST(Rle8Rows, OpaqueBounds) {
  // 5 x 4, key 0, pitch 6 (the sixth column is not looked at).
  const Bytes pels = {0, 0, 0, 0, 0, 9,  //
                      0, 0, 3, 0, 0, 9,  //
                      0, 4, 0, 0, 0, 9,  //
                      0, 0, 0, 0, 0, 9};
  rectCTy r{9, 9, 9, 9};
  rle8OpaqueBounds(pels.data(), 6, 5, 4, 0, &r);
  EXPECT_EQ(r.x, 1);
  EXPECT_EQ(r.y, 1);
  EXPECT_EQ(r.w, 2);
  EXPECT_EQ(r.h, 2);
  rle8OpaqueBounds(pels.data(), 6, 5, 4, 9, &r);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.w, 5);
  EXPECT_EQ(r.h, 4);
  const Bytes keyOnly(12, 7);
  rle8OpaqueBounds(keyOnly.data(), 4, 4, 3, 7, &r);
  EXPECT_EQ(r.x | r.y | r.w | r.h, 0);
}
