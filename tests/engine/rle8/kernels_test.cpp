// The run kernels: each mode's numbers, the widened 16-bit cells, the key and
// depth tests, and spans entered and left anywhere in a row.
#include <functional>
#include <string>

#include "engine/rle8/rle8_members.h"
#include "rle8_fixture.h"

using namespace rle8_test;

namespace {

using RowDraw = std::function<void(const uint8_t* row, const uint8_t* end, uint8_t* d, const uint8_t* table, const void* extra)>;

// A kernel drawing one whole row (start 0, count = the row's pels).
template <auto K>
RowDraw whole(int count) {
  return [count](const uint8_t* row, const uint8_t* end, uint8_t* d, const uint8_t* table, const void* extra) {
    K(row, end, 0, count, d, table, extra);
  };
}

// Draws index 0 (entry s) onto d with the kernel; the row is "81 00".
Bytes onePel(const RowDraw& run, Bytes d, const Bytes& s, const void* extra) {
  const Bytes row = hex("81 00");
  run(row.data(), row.data() + row.size(), d.data(), s.data(), extra);
  return d;
}

}  // namespace

TEST(Rle8Kernels, ModeNumbers) {
  using namespace imgOp;
  const int32_t half = 128, none = 0, all = 256;
  const uint32_t keyBgr = 0x00332211, key565 = 0x1234, keyX1 = 0x1234;
  const rle8AlphaKey alphaKeyed{256, 0x11223344};
  struct Case {
    const char* what;
    RowDraw run;
    Bytes d, s;
    const void* extra;
    Bytes want;
  } cases[] = {
      {"AddSigned R8G8B8", whole<rle8Run<R8G8B8, AddSigned>>(1), {100, 150, 200}, {50, 60, 20}, nullptr, {22, 82, 92}},
      {"AddSigned X8R8G8B8", whole<rle8Run<X8R8G8B8, AddSigned>>(1), {100, 150, 200, 7}, {50, 60, 20, 9}, nullptr, {22, 82, 92, 7}},
      {"AddSigned2X R8G8B8", whole<rle8Run<R8G8B8, AddSigned2X>>(1), {100, 150, 200}, {50, 60, 20}, nullptr, {44, 164, 184}},
      {"AddSigned2X X8R8G8B8", whole<rle8Run<X8R8G8B8, AddSigned2X>>(1), {100, 150, 200, 7}, {50, 60, 20, 9}, nullptr, {44, 164, 184, 7}},
      {"Modulate2X X8R8G8B8", whole<rle8Run<X8R8G8B8, Modulate2X>>(1), {200, 100, 0, 7}, {200, 64, 9, 9}, nullptr, {255, 50, 0, 7}},
      {"Modulate X8R8G8B8", whole<rle8Run<X8R8G8B8, Modulate>>(1), {200, 100, 0, 7}, {200, 64, 9, 9}, nullptr, {156, 25, 0, 7}},
      {"Subtract X8R8G8B8", whole<rle8Run<X8R8G8B8, Subtract>>(1), {200, 10, 5, 7}, {50, 60, 5, 9}, nullptr, {150, 0, 0, 7}},
      // Red 31 over red 0 at 128: the floor of -15.5.
      {"Alpha R5G6B5 floors", whole<rle8Run<R5G6B5, Alpha>>(1), {0x00, 0xF8}, {0x00, 0x00}, &half, {0x00, 0x78}},
      {"Alpha R5G6B5 rising", whole<rle8Run<R5G6B5, Alpha>>(1), {0x00, 0x00}, {0x1F, 0xF8}, &half, {0x0F, 0x78}},
      {"Alpha R8G8B8 1 over 1", whole<rle8Run<R8G8B8, Alpha>>(1), {1, 1, 1}, {1, 1, 1}, &half, {0, 0, 0}},
      {"Alpha X8R8G8B8 1 over 1", whole<rle8Run<X8R8G8B8, Alpha>>(1), {1, 1, 1, 5}, {1, 1, 1, 9}, &half, {1, 1, 1, 5}},
      {"Alpha X1R5G5B5 at 128", whole<rle8Run<X1R5G5B5, Alpha>>(1), {0x1F, 0xFC}, {0x00, 0x00}, &half, {0x0F, 0xBC}},
      {"Alpha 0 R8G8B8", whole<rle8Run<R8G8B8, Alpha>>(1), {1, 2, 3}, {9, 9, 9}, &none, {1, 2, 3}},
      {"Alpha 0 X8R8G8B8", whole<rle8Run<X8R8G8B8, Alpha>>(1), {1, 2, 3, 4}, {9, 9, 9, 9}, &none, {1, 2, 3, 4}},
      {"Alpha 0 R5G6B5", whole<rle8Run<R5G6B5, Alpha>>(1), {0x34, 0x12}, {0xFF, 0xFF}, &none, {0x34, 0x12}},
      {"Alpha 0 X1R5G5B5", whole<rle8Run<X1R5G5B5, Alpha>>(1), {0x34, 0x12}, {0xFF, 0xFF}, &none, {0x34, 0x12}},
      {"Alpha 256 R8G8B8", whole<rle8Run<R8G8B8, Alpha>>(1), {1, 2, 3}, {9, 8, 7}, &all, {9, 8, 7}},
      {"Alpha 256 X8R8G8B8", whole<rle8Run<X8R8G8B8, Alpha>>(1), {1, 2, 3, 4}, {9, 8, 7, 6}, &all, {9, 8, 7, 4}},
      {"Alpha 256 R5G6B5", whole<rle8Run<R5G6B5, Alpha>>(1), {0x34, 0x12}, {0xCD, 0xAB}, &all, {0xCD, 0xAB}},
      {"Alpha 256 X1R5G5B5 keeps bit 15", whole<rle8Run<X1R5G5B5, Alpha>>(1), {0x34, 0x12}, {0xCD, 0xAB}, &all, {0xCD, 0x2B}},
      // Byte 3 and bit 15: Copy writes them, the other modes keep them.
      {"Copy A8R8G8B8", whole<rle8Run<X8R8G8B8, Copy>>(1), {1, 2, 3, 4}, {9, 8, 7, 6}, nullptr, {9, 8, 7, 6}},
      {"Add A8R8G8B8", whole<rle8Run<X8R8G8B8, Add>>(1), {1, 2, 3, 4}, {9, 8, 7, 6}, nullptr, {10, 10, 10, 4}},
      {"Copy A1R5G5B5", whole<rle8Run<R5G6B5, Copy>>(1), {0x00, 0x00}, {0x01, 0x80}, nullptr, {0x01, 0x80}},
      {"Add A1R5G5B5", whole<rle8Run<X1R5G5B5, Add>>(1), {0x00, 0x80}, {0x01, 0x00}, nullptr, {0x01, 0x80}},
      {"Modulate A1R5G5B5", whole<rle8Run<X1R5G5B5, Modulate>>(1), {0xFF, 0x7F}, {0xFF, 0xFF}, nullptr, {0xDE, 0x7B}},
      // Key compares.
      {"key R8G8B8 equal", whole<rle8RunKey<R8G8B8, Copy>>(1), {0, 0, 0}, {0x11, 0x22, 0x33}, &keyBgr, {0, 0, 0}},
      {"key R8G8B8 unequal", whole<rle8RunKey<R8G8B8, Copy>>(1), {0, 0, 0}, {0x11, 0x22, 0x34}, &keyBgr, {0x11, 0x22, 0x34}},
      {"key X8R8G8B8 differs in byte 3", whole<rle8RunKey<X8R8G8B8, Copy>>(1), {0, 0, 0, 0}, {0x11, 0x22, 0x33, 0x01}, &keyBgr, {0x11, 0x22, 0x33, 0x01}},
      {"key X8R8G8B8 equal", whole<rle8RunKey<X8R8G8B8, Add>>(1), {0, 0, 0, 0}, {0x11, 0x22, 0x33, 0x00}, &keyBgr, {0, 0, 0, 0}},
      {"key R5G6B5 bit 15 counts", whole<rle8RunKey<R5G6B5, Copy>>(1), {0, 0}, {0x34, 0x92}, &key565, {0x34, 0x92}},
      {"key X1R5G5B5 without bit 15", whole<rle8RunKey<X1R5G5B5, Copy>>(1), {0, 0}, {0x34, 0x92}, &keyX1, {0, 0}},
      {"key X1R5G5B5 Subtract", whole<rle8RunKey<X1R5G5B5, Subtract>>(1), {0xFF, 0x7F}, {0x34, 0x92}, &keyX1, {0xFF, 0x7F}},
      {"Alpha keyed equal", whole<rle8RunKey<X8R8G8B8, Alpha>>(1), {0, 0, 0, 0}, {0x44, 0x33, 0x22, 0x11}, &alphaKeyed, {0, 0, 0, 0}},
      {"Alpha keyed unequal", whole<rle8RunKey<X8R8G8B8, Alpha>>(1), {0, 0, 0, 0}, {0x44, 0x33, 0x22, 0x12}, &alphaKeyed, {0x44, 0x33, 0x22, 0}},
      {"mirrored MirrorKey", whole<rle8RunMirrorKey<R8G8B8, Copy>>(1), {0, 0, 0}, {0x11, 0x22, 0x33}, &keyBgr, {0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(onePel(c.run, c.d, c.s, c.extra), c.want) << c.what;
}

// Depth first: a pel lands only on a smaller depth and leaves its depth
// there, also when the key then keeps its colour out; equal depths keep all.
TEST(Rle8Kernels, DepthOrder) {
  const Bytes row = hex("83 00 00 01");  // entries 0, 0, 1
  const Bytes table = {0x11, 0x22, 0x33, 0x00, 0x44, 0x55, 0x66, 0x00};
  const uint32_t key = 0x00665544;  // entry 1
  struct Case {
    bool keyed;
    int32_t src[3], dst[3];
    int32_t wantDepth[3];
    bool drawn[3];
  } cases[] = {
      {false, {5, 5, -1}, {4, 5, -2}, {5, 5, -1}, {true, false, true}},
      {true, {5, -7, 9}, {4, -6, 8}, {5, -6, 9}, {true, false, false}},
  };
  for (const Case& c : cases) {
    Bytes d(12, 0xEE);
    int32_t zd[3];
    std::memcpy(zd, c.dst, sizeof zd);
    const auto* zs = reinterpret_cast<const uint8_t*>(c.src);
    auto* zdp = reinterpret_cast<uint8_t*>(zd);
    if (c.keyed) rle8RunKeyZ<X8R8G8B8, imgOp::Copy>(row.data(), row.data() + row.size(), 0, 3, zs, zdp, d.data(), table.data(), &key);
    else rle8RunZ<X8R8G8B8, imgOp::Copy>(row.data(), row.data() + row.size(), 0, 3, zs, zdp, d.data(), table.data(), nullptr);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(zd[i], c.wantDepth[i]) << i;
      EXPECT_EQ(d[size_t(4 * i)] != 0xEE, c.drawn[i]) << i;
    }
  }
}

// Every 16-bit field of every mode the widened rule serves, every pair of
// values, against the 8-bit rule on the fields made 8-bit.
TEST(Rle8Kernels, WidenedCellsPerField) {
  using namespace imgOp;
  struct Layout {
    const char* name;
    int shift, bits;
  };
  const Layout r565[] = {{"R5G6B5 red", 11, 5}, {"R5G6B5 green", 5, 6}, {"R5G6B5 blue", 0, 5}};
  const Layout x1[] = {{"X1R5G5B5 red", 10, 5}, {"X1R5G5B5 green", 5, 5}, {"X1R5G5B5 blue", 0, 5}};
  using Rule = int (*)(int, int);
  struct Mode {
    const char* name;
    Rule rule;
    void (*on565)(RLE8_RUN_ARGS);
    void (*onX1)(RLE8_RUN_ARGS);
  } modes[] = {
      {"Modulate", Modulate::ch, rle8Run<R5G6B5, Modulate>, rle8Run<X1R5G5B5, Modulate>},
      {"Modulate2X", Modulate2X::ch, rle8Run<R5G6B5, Modulate2X>, rle8Run<X1R5G5B5, Modulate2X>},
      {"Modulate4X", Modulate4X::ch, rle8Run<R5G6B5, Modulate4X>, rle8Run<X1R5G5B5, Modulate4X>},
      {"Add", Add::ch, rle8Run<R5G6B5, Add>, rle8Run<X1R5G5B5, Add>},
      {"AddSigned", AddSigned::ch, rle8Run<R5G6B5, AddSigned>, rle8Run<X1R5G5B5, AddSigned>},
      {"AddSigned2X", AddSigned2X::ch, rle8Run<R5G6B5, AddSigned2X>, rle8Run<X1R5G5B5, AddSigned2X>},
      {"Subtract", Subtract::ch, rle8Run<R5G6B5, Subtract>, rle8Run<X1R5G5B5, Subtract>},
      {"AddSmooth", AddSmooth::ch, rle8Run<R5G6B5, AddSmooth>, rle8Run<X1R5G5B5, AddSmooth>},
  };
  // One row of 64 literal pels: entries 0 to 63 hold s = 0 .. 63 in the field.
  Bytes row = {0x80 | 63};
  for (int i = 0; i < 63; ++i) row.push_back(uint8_t(i));
  row.push_back(0x81);
  row.push_back(63);
  for (const Mode& m : modes) {
    for (bool isX1 : {false, true}) {
      for (const Layout& f : isX1 ? x1 : r565) {
        const int values = 1 << f.bits;
        std::vector<uint16_t> table(256, 0);
        for (int s = 0; s < values; ++s) table[size_t(s)] = uint16_t(s << f.shift);
        int wrong = 0;
        for (int d = 0; d < values; ++d) {
          // Bit 15 set in the destination: the 15-bit layout keeps it.
          std::vector<uint16_t> dst(size_t(values), uint16_t(d << f.shift | (isX1 ? 0x8000 : 0)));
          (isX1 ? m.onX1 : m.on565)(row.data(), row.data() + row.size(), 0, values, reinterpret_cast<uint8_t*>(dst.data()),
                                   reinterpret_cast<const uint8_t*>(table.data()), nullptr);
          const int widen = 8 - f.bits;
          for (int s = 0; s < values; ++s) {
            const int want = (m.rule(d << widen, s << widen) >> widen) << f.shift | (isX1 ? 0x8000 : 0);
            // The other fields are 0 on both sides, and every rule gives 0
            // for 0 with 0.
            wrong += dst[size_t(s)] != want;
          }
        }
        EXPECT_EQ(wrong, 0) << m.name << " " << f.name;
      }
    }
  }
}

// Spans starting anywhere (inside a literal, a repeat, a skip) and ending
// anywhere, unmirrored and mirrored, on rows in exact-size blocks; codes
// of no pels cover nothing and a repeat of none still has its index.
TEST(Rle8Kernels, SpansAnywhere) {
  const Bytes rows[] = {hex("83 010203 C4 04 03 82 0506"), hex("80 C0 09 00 83 010203 00 C2 04 80 02 C0 07 81 05")};
  Bytes table(256 * 4);
  for (int i = 0; i < 256; ++i) table[size_t(4 * i)] = uint8_t(i);
  for (const Bytes& codes : rows) {
    auto* row = static_cast<uint8_t*>(memAlloc(codes.size()));
    std::memcpy(row, codes.data(), codes.size());
    const uint8_t* end = row + codes.size();
    size_t used = 0;
    int width = 0;
    while (rle8RowCovers(row, codes.size(), width + 1, &used)) ++width;
    Bytes pels(size_t(width), 0xEE);
    rle8UnpackRow(row, codes.size(), 0, width, pels.data());
    for (int start = 0; start < width; ++start) {
      for (int count = 1; start + count <= width; ++count) {
        for (bool mirror : {false, true}) {
          std::vector<uint32_t> d(size_t(count), 0xEE);
          if (mirror)
            rle8RunMirror<X8R8G8B8, imgOp::Copy>(row, end, start, count, reinterpret_cast<uint8_t*>(&d[size_t(count - 1)]),
                                                 table.data(), nullptr);
          else
            rle8Run<X8R8G8B8, imgOp::Copy>(row, end, start, count, reinterpret_cast<uint8_t*>(d.data()), table.data(), nullptr);
          for (int k = 0; k < count; ++k)
            ASSERT_EQ(d[size_t(mirror ? count - 1 - k : k)], pels[size_t(start + k)])
                << "start " << start << " count " << count << (mirror ? " mirrored" : "");
        }
      }
    }
    // A count of 0 draws nothing.
    uint32_t untouched = 0xEE;
    rle8Run<X8R8G8B8, imgOp::Copy>(row, end, 1, 0, reinterpret_cast<uint8_t*>(&untouched), table.data(), nullptr);
    EXPECT_EQ(untouched, 0xEEu);
    memHooks.free(row);
  }
}

// Copies of runs of every length, which go by blocks of pels: literals and
// repeats of 0 to 63 pels after a literal and before a skip, keyed pels
// anywhere in them, spans cut at either end, both directions, every pel
// size. The oracle is the row's own description; the destination around
// the span must stay as it was.
TEST(Rle8Kernels, CopiesOfEveryRunLength) {
  using imgOp::Copy;
  struct Kernel {
    const char* name;
    int bytes;
    bool keyed, mirror;
    void (*run)(RLE8_RUN_ARGS);
  } kernels[] = {
      {"R8G8B8", 3, false, false, rle8Run<R8G8B8, Copy>},
      {"R8G8B8 key", 3, true, false, rle8RunKey<R8G8B8, Copy>},
      {"R8G8B8 mirror", 3, false, true, rle8RunMirror<R8G8B8, Copy>},
      {"R8G8B8 mirror key", 3, true, true, rle8RunMirrorKey<R8G8B8, Copy>},
      {"X8R8G8B8", 4, false, false, rle8Run<X8R8G8B8, Copy>},
      {"X8R8G8B8 key", 4, true, false, rle8RunKey<X8R8G8B8, Copy>},
      {"X8R8G8B8 mirror", 4, false, true, rle8RunMirror<X8R8G8B8, Copy>},
      {"X8R8G8B8 mirror key", 4, true, true, rle8RunMirrorKey<X8R8G8B8, Copy>},
      {"R5G6B5", 2, false, false, rle8Run<R5G6B5, Copy>},
      {"R5G6B5 key", 2, true, false, rle8RunKey<R5G6B5, Copy>},
      {"R5G6B5 mirror", 2, false, true, rle8RunMirror<R5G6B5, Copy>},
      {"R5G6B5 mirror key", 2, true, true, rle8RunMirrorKey<R5G6B5, Copy>},
      {"X1R5G5B5 key", 2, true, false, rle8RunKey<X1R5G5B5, Copy>},
      {"X1R5G5B5 mirror key", 2, true, true, rle8RunMirrorKey<X1R5G5B5, Copy>},
  };
  constexpr int kKeyIndex = 9;
  for (const Kernel& k : kernels) {
    const size_t B = size_t(k.bytes);
    // Entries that differ in every layout's key bits (bit 15 and byte 3 are
    // set in some).
    Bytes table(256 * B);
    for (size_t i = 0; i < 256; ++i) {
      const uint32_t e = B == 2 ? uint32_t(i * 37 + 5) | uint32_t(i & 1) << 15 : uint32_t(i | (i ^ 0x5A) << 8 | (0x80 | i >> 1) << 16 | (i * 3) << 24);
      std::memcpy(&table[i * B], &e, B);
    }
    uint32_t key = 0;
    std::memcpy(&key, &table[kKeyIndex * B], B);
    for (bool repeat : {false, true}) {
      for (int n = 0; n < 64; ++n) {
        // The row, and pel by pel the index it draws (-1 for a skip).
        Bytes row;
        std::vector<int> pels;
        auto literal = [&](const Bytes& indices) {
          row.push_back(uint8_t(0x80 | indices.size()));
          for (uint8_t i : indices) row.push_back(i), pels.push_back(i);
        };
        auto fill = [&](int m, uint8_t i) {
          row.push_back(uint8_t(0xC0 | m)), row.push_back(i);
          pels.insert(pels.end(), size_t(m), i);
        };
        literal({3, 4});
        if (repeat) {
          fill(n, uint8_t(n % 3 == 1 ? kKeyIndex : 20 + n));
        } else {
          Bytes indices;
          for (int j = 0; j < n; ++j) indices.push_back(uint8_t((j + n) % 5 == 2 ? kKeyIndex : 30 + j));
          literal(indices);
        }
        row.push_back(1), pels.push_back(-1);
        fill(2, 5);
        const int width = int(pels.size());
        for (int start = 0; start <= 3; ++start) {
          for (int cut = 0; cut <= 3; ++cut) {
            const int count = width - start - cut;
            if (count < 1) continue;
            constexpr size_t margin = 32;
            Bytes d(size_t(count) * B + 2 * margin);
            for (size_t i = 0; i < d.size(); ++i) d[i] = uint8_t(i * 13 + 7);
            Bytes want = d;
            for (int x = 0; x < count; ++x) {
              const int i = pels[size_t(start + x)];
              if (i < 0 || (k.keyed && i == kKeyIndex)) continue;
              std::memcpy(&want[margin + size_t(k.mirror ? count - 1 - x : x) * B], &table[size_t(i) * B], B);
            }
            k.run(row.data(), row.data() + row.size(), start, count, d.data() + margin + (k.mirror ? size_t(count - 1) * B : 0),
                  table.data(), &key);
            ASSERT_EQ(d, want) << k.name << (repeat ? " repeat " : " literal ") << n << " start " << start
                               << " cut " << cut;
          }
        }
      }
    }
  }
}
