// The per-pel operations: the worked values, every member against a plain
// widened reference written here (exhaustive over field pairs), the A1R5G5B5
// members against their X1R5G5B5 twins, and fields, byte 3 and bit 15 kept
// under any weight.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/draw/pel_ops.h"

namespace {

// A pel in memory, with a guard byte after it.
struct Cell {
  uint8_t bytes[5] = {0, 0, 0, 0, 0xA5};
  uint32_t get(int size) const {
    uint32_t v = 0;
    std::memcpy(&v, bytes, size_t(size));
    return v;
  }
};

template <class L>
constexpr int sizeOf() {
  return std::is_same_v<L, R8G8B8> ? 3 : std::is_same_v<L, X8R8G8B8> ? 4 : 2;
}

template <class L>
Cell cellOf(uint32_t v) {
  Cell c;
  std::memcpy(c.bytes, &v, sizeOf<L>());
  return c;
}

// Field layout of a word: bits of R, G, B and where they lie.
struct Fields {
  int rBits, gBits, bBits, rShift, gShift;
};
template <class L>
constexpr Fields fieldsOf() {
  if constexpr (sizeOf<L>() > 2) return {8, 8, 8, 16, 8};
  else if constexpr (std::is_same_v<L, R5G6B5>) return {5, 6, 5, 11, 5};
  else return {5, 5, 5, 10, 5};
}

int field(uint32_t v, int shift, int bits) { return int(v >> shift) & ((1 << bits) - 1); }

// The reference: each field widened by shifting left, the rule applied,
// narrowed by shifting right; byte 3 and bit 15 of the destination kept.
template <class S, class D>
uint32_t reference(uint32_t d, uint32_t s, const std::function<int(int, int, int)>& rule, bool native) {
  constexpr Fields fd = fieldsOf<D>(), fs = fieldsOf<S>();
  const int shifts[3] = {0, fd.gShift, fd.rShift}, sShifts[3] = {0, fs.gShift, fs.rShift};
  const int bits[3] = {fd.bBits, fd.gBits, fd.rBits}, sBits[3] = {fs.bBits, fs.gBits, fs.rBits};
  uint32_t out = sizeOf<D>() == 4 ? d & 0xFF000000u : sizeOf<D>() == 2 && fd.rShift == 10 ? d & 0x8000u : 0;
  for (int c = 0; c < 3; ++c) {
    int dv = field(d, shifts[c], bits[c]), sv = field(s, sShifts[c], sBits[c]);
    int r;
    if (native) {  // Alpha onto 16 bits: the source refitted to the destination's width
      sv = sBits[c] >= bits[c] ? sv >> (sBits[c] - bits[c]) : sv << (bits[c] - sBits[c]);
      r = rule(dv, sv, bits[c]);
    } else {
      r = rule(dv << (8 - bits[c]), sv << (8 - sBits[c]), 8) >> (8 - bits[c]);
    }
    out |= uint32_t(r & ((1 << bits[c]) - 1)) << shifts[c];
  }
  return out;
}

template <class Op>
int modeRule(int d, int s, int) {
  return Op::ch(d, s);
}

// Every value of one field of the destination against every value of the
// same field of the source (8-bit channels in steps of 3, with 255), the
// other fields from random pels.
template <class S, class D, class Member>
void exhaustive(const char* name, Member member, const std::function<int(int, int, int)>& rule, bool native) {
  std::mt19937 rng(42);
  constexpr Fields fd = fieldsOf<D>(), fs = fieldsOf<S>();
  const int shifts[3] = {0, fd.gShift, fd.rShift}, sShifts[3] = {0, fs.gShift, fs.rShift};
  const int bits[3] = {fd.bBits, fd.gBits, fd.rBits}, sBits[3] = {fs.bBits, fs.gBits, fs.rBits};
  int failures = 0;
  for (int c = 0; c < 3; ++c) {
    const int dStep = bits[c] == 8 ? 3 : 1, sStep = sBits[c] == 8 ? 3 : 1;
    for (int dv = 0; dv < (1 << bits[c]); dv = dv + dStep == (1 << bits[c]) - 1 + dStep ? dv + 1 : dv + dStep)
      for (int sv = 0; sv < (1 << sBits[c]); sv += sStep) {
        const int svv = sv + sStep >= (1 << sBits[c]) ? (1 << sBits[c]) - 1 : sv;
        uint32_t d = rng(), s = rng();
        d = (d & ~(uint32_t((1 << bits[c]) - 1) << shifts[c])) | uint32_t(dv) << shifts[c];
        s = (s & ~(uint32_t((1 << sBits[c]) - 1) << sShifts[c])) | uint32_t(svv) << sShifts[c];
        if (sizeOf<D>() < 4) d &= (1u << (8 * sizeOf<D>())) - 1;
        Cell dc = cellOf<D>(d);
        const Cell sc = cellOf<S>(s);
        member(dc.bytes, sc.bytes);
        const uint32_t want = reference<S, D>(d, s, rule, native);
        if (dc.get(sizeOf<D>()) != want && ++failures < 4)
          ADD_FAILURE() << name << ": d " << std::hex << d << " s " << s << " gave " << dc.get(sizeOf<D>())
                        << ", want " << want;
        if (dc.bytes[4] != 0xA5 || (sizeOf<D>() == 3 && dc.bytes[3] != 0)) ADD_FAILURE() << name << " wrote past its pel";
      }
  }
}

template <class S, class D>
void allMembersOfPair(const std::string& pair) {
  using namespace imgOp;
  exhaustive<S, D>((pair + " Add").c_str(), [](void* d, const void* s) { pelAdd<S, D>{}(d, s); }, modeRule<Add>, false);
  exhaustive<S, D>((pair + " Modulate").c_str(), [](void* d, const void* s) { pelModulate<S, D>{}(d, s); },
                   modeRule<Modulate>, false);
  exhaustive<S, D>((pair + " Modulate2X").c_str(), [](void* d, const void* s) { pelModulate2X<S, D>{}(d, s); },
                   modeRule<Modulate2X>, false);
  exhaustive<S, D>((pair + " Modulate4X").c_str(), [](void* d, const void* s) { pelModulate4X<S, D>{}(d, s); },
                   modeRule<Modulate4X>, false);
  exhaustive<S, D>((pair + " AddSigned").c_str(), [](void* d, const void* s) { pelAddSigned<S, D>{}(d, s); },
                   modeRule<AddSigned>, false);
  exhaustive<S, D>((pair + " AddSigned2X").c_str(), [](void* d, const void* s) { pelAddSigned2X<S, D>{}(d, s); },
                   modeRule<AddSigned2X>, false);
  exhaustive<S, D>((pair + " Subtract").c_str(), [](void* d, const void* s) { pelSubtract<S, D>{}(d, s); },
                   modeRule<Subtract>, false);
  exhaustive<S, D>((pair + " AddSmooth").c_str(), [](void* d, const void* s) { pelAddSmooth<S, D>{}(d, s); },
                   modeRule<AddSmooth>, false);
  for (int a : {0, 1, 77, 128, 255, 256}) {
    const std::string w = " at " + std::to_string(a);
    exhaustive<S, D>((pair + " AlphaAdd" + w).c_str(), [a](void* d, const void* s) { pelAlphaAdd<S, D>(d, s, a); },
                     [a](int d, int s, int) { return std::min(255, ((d * (256 - a)) >> 8) + s); }, false);
    constexpr bool bytes = sizeOf<D>() > 2;
    exhaustive<S, D>((pair + " Alpha" + w).c_str(), [a](void* d, const void* s) { pelAlpha<S, D>(d, s, a); },
                     [a](int d, int s, int) { return ((d * (256 - a)) >> 8) + ((s * a) >> 8); }, !bytes);
  }
}

}  // namespace

TEST(PelMembers, WorkedValues) {
  using namespace imgOp;
  struct Case {
    const char* what;
    int got, want;
  } cases[] = {
      {"Modulate2X 255 by 255", Modulate2X::ch(255, 255), 255}, {"Modulate2X 100 by 100", Modulate2X::ch(100, 100), 78},
      {"Modulate4X 64 by 64", Modulate4X::ch(64, 64), 64},      {"Modulate4X 200 by 100", Modulate4X::ch(200, 100), 255},
      {"Modulate 255 by 255", Modulate::ch(255, 255), 254},     {"AddSigned 128 128", AddSigned::ch(128, 128), 128},
      {"AddSigned 0 0", AddSigned::ch(0, 0), 0},                {"AddSigned 255 255", AddSigned::ch(255, 255), 255},
      {"AddSigned2X 100 30", AddSigned2X::ch(100, 30), 4},      {"AddSigned2X 64 64", AddSigned2X::ch(64, 64), 0},
      {"AddSigned2X 128 128", AddSigned2X::ch(128, 128), 255},  {"AddSmooth 128 128", AddSmooth::ch(128, 128), 192},
      {"AddSmooth 0 255", AddSmooth::ch(0, 255), 255},          {"AddSmooth 255 77", AddSmooth::ch(255, 77), 255},
      {"Subtract 10 20", Subtract::ch(10, 20), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;

  // Pels.
  auto run = [](auto member, uint32_t d, uint32_t s, int dSize = 2, int sSize = 3) {
    uint8_t db[5] = {0, 0, 0, 0, 0xA5}, sb[4] = {};
    std::memcpy(db, &d, size_t(dSize));
    std::memcpy(sb, &s, size_t(sSize));
    member(db, sb);
    uint32_t v = 0;
    std::memcpy(&v, db, size_t(dSize));
    return v;
  };
  // AddSigned per channel from its own sum: (B 10, G 200, R 100) + (10, 100, 100).
  EXPECT_EQ(run(pelAddSigned<R8G8B8, R8G8B8>{}, 0x64C80A, 0x64640A, 3), 0x48AC00u);
  EXPECT_EQ(run([](void* d, const void* s) { pelAlphaAdd<R8G8B8, R8G8B8>(d, s, 128); }, 200, 100, 3) & 255, 200u);
  EXPECT_EQ(run([](void* d, const void* s) { pelAlphaAdd<R8G8B8, R8G8B8>(d, s, 0); }, 200, 100, 3) & 255, 255u);
  EXPECT_EQ(run(pelAdd<R5G6B5, R5G6B5>{}, 0xF800, 0x0800, 2, 2), 0xF800u);
  EXPECT_EQ(run(pelAdd<X1R5G5B5, X1R5G5B5>{}, 0x8001, 0x0001, 2, 2), 0x8002u);  // bit 15 of the destination kept
  EXPECT_EQ(run(pelAdd<X1R5G5B5, X1R5G5B5>{}, 0x0001, 0x8001, 2, 2), 0x0002u);  // of the source ignored
  // Alpha onto R5G6B5 works in its own widths.
  EXPECT_EQ(run([](void* d, const void* s) { pelAlpha<R8G8B8, R5G6B5>(d, s, 256); }, 0xFFFF, 0x123456), 0x11AAu);
  EXPECT_EQ(run([](void* d, const void* s) { pelAlpha<R8G8B8, R5G6B5>(d, s, 128); }, 0, 0xFF0307), 0x7800u);
  // An A1R5G5B5 green of 16 widens to 128.
  EXPECT_EQ(run(pelAdd<A1R5G5B5, A1R5G5B5>{}, 16 << 5, 16 << 5, 2, 2), 31u << 5);
  EXPECT_EQ(run(pelModulate<R8G8B8, A1R5G5B5>{}, 0x8000 | 16 << 5, 0x00FF00), 0x8000u | 15 << 5);

  // The conversions into A1R5G5B5.
  const A8R8G8B8 opaque{0x56, 0x34, 0x12, 0x80}, clear{0x56, 0x34, 0x12, 0x7F};
  EXPECT_EQ((pelConvert<A8R8G8B8, A1R5G5B5>(opaque).v), 0x88CA);
  EXPECT_EQ((pelConvert<A8R8G8B8, A1R5G5B5>(clear).v), 0x08CA);
  EXPECT_EQ((pelConvert<R8G8B8, A1R5G5B5>(R8G8B8{0x56, 0x34, 0x12}).v), 0x88CA);
  EXPECT_EQ((pelConvert<X8R8G8B8, A1R5G5B5>(X8R8G8B8{0x56, 0x34, 0x12, 0}).v), 0x88CA);
  A1R5G5B5 old{0x0000};
  EXPECT_EQ((pelConvert<X8R8G8B8, A1R5G5B5>(old, X8R8G8B8{0xFF, 0xFF, 0xFF, 0}).v), 0xFFFF);  // every bit written
}

TEST(PelMembers, EveryMemberAgainstTheWidenedRule) {
  allMembersOfPair<R8G8B8, R8G8B8>("R8G8B8->R8G8B8");
  allMembersOfPair<R8G8B8, X8R8G8B8>("R8G8B8->X8R8G8B8");
  allMembersOfPair<R8G8B8, R5G6B5>("R8G8B8->R5G6B5");
  allMembersOfPair<R8G8B8, X1R5G5B5>("R8G8B8->X1R5G5B5");
  allMembersOfPair<R8G8B8, A1R5G5B5>("R8G8B8->A1R5G5B5");
  allMembersOfPair<X8R8G8B8, A1R5G5B5>("X8R8G8B8->A1R5G5B5");
  allMembersOfPair<R5G6B5, R8G8B8>("R5G6B5->R8G8B8");
  allMembersOfPair<R5G6B5, R5G6B5>("R5G6B5->R5G6B5");
  allMembersOfPair<R5G6B5, X1R5G5B5>("R5G6B5->X1R5G5B5");
  allMembersOfPair<R5G6B5, A1R5G5B5>("R5G6B5->A1R5G5B5");
  allMembersOfPair<X1R5G5B5, R8G8B8>("X1R5G5B5->R8G8B8");
  allMembersOfPair<X1R5G5B5, R5G6B5>("X1R5G5B5->R5G6B5");
  allMembersOfPair<X1R5G5B5, X1R5G5B5>("X1R5G5B5->X1R5G5B5");
  allMembersOfPair<X1R5G5B5, A1R5G5B5>("X1R5G5B5->A1R5G5B5");
  allMembersOfPair<A1R5G5B5, R8G8B8>("A1R5G5B5->R8G8B8");
  allMembersOfPair<A1R5G5B5, R5G6B5>("A1R5G5B5->R5G6B5");
  allMembersOfPair<A1R5G5B5, X1R5G5B5>("A1R5G5B5->X1R5G5B5");
  allMembersOfPair<A1R5G5B5, A1R5G5B5>("A1R5G5B5->A1R5G5B5");
}

TEST(PelMembers, A1MembersEqualTheirX1Twins) {
  std::mt19937 rng(3);
  for (int i = 0; i < 20000; ++i) {
    const uint16_t d0 = uint16_t(rng()), s0 = uint16_t(rng());
    const int a = int(rng() % 257);
    auto pair = [&](auto x1, auto a1) {
      uint16_t dx = d0, da = d0;
      x1(&dx, &s0);
      a1(&da, &s0);
      EXPECT_EQ(dx, da) << std::hex << d0 << " " << s0;
    };
    pair(pelAdd<X1R5G5B5, X1R5G5B5>{}, pelAdd<A1R5G5B5, A1R5G5B5>{});
    pair(pelSubtract<X1R5G5B5, R5G6B5>{}, pelSubtract<A1R5G5B5, R5G6B5>{});
    pair(pelAddSmooth<R5G6B5, X1R5G5B5>{}, pelAddSmooth<R5G6B5, A1R5G5B5>{});
    pair([a](void* d, const void* s) { pelAlpha<X1R5G5B5, X1R5G5B5>(d, s, a); },
         [a](void* d, const void* s) { pelAlpha<A1R5G5B5, A1R5G5B5>(d, s, a); });
    pair([a](void* d, const void* s) { pelAlphaAdd<X1R5G5B5, R5G6B5>(d, s, a); },
         [a](void* d, const void* s) { pelAlphaAdd<A1R5G5B5, R5G6B5>(d, s, a); });
  }
}

TEST(PelMembers, WeightsOutsideTheRangeStayInTheirFields) {
  std::mt19937 rng(9);
  for (int a : {-1, 257, INT_MIN, INT_MAX, -300, 100000}) {
    for (int i = 0; i < 500; ++i) {
      const uint32_t d = rng(), s = rng(), s2 = s ^ 0x00FF00FFu;  // the source's B and R changed, G kept
      // A 4-byte destination keeps byte 3; the green it gets does not depend
      // on the other channels.
      auto bytes = [&](uint32_t src, auto member) {
        uint8_t db[5];
        std::memcpy(db, &d, 4);
        db[4] = 0xA5;
        member(db, &src);
        EXPECT_EQ(db[3], uint8_t(d >> 24)) << a;
        EXPECT_EQ(db[4], 0xA5) << a;
        return db[1];
      };
      auto alpha = [a](void* x, const void* y) { pelAlpha<R8G8B8, X8R8G8B8>(x, y, a); };
      auto alphaAdd = [a](void* x, const void* y) { pelAlphaAdd<R8G8B8, X8R8G8B8>(x, y, a); };
      EXPECT_EQ(bytes(s, alpha), bytes(s2, alpha)) << a;
      EXPECT_EQ(bytes(s, alphaAdd), bytes(s2, alphaAdd)) << a;
      // 16-bit destinations keep bit 15, and their green likewise.
      auto word = [&](uint32_t src, auto member) {
        uint16_t dw = uint16_t(d);
        member(&dw, &src);
        EXPECT_EQ(dw & 0x8000, d & 0x8000) << a;
        return dw & 0x03E0;
      };
      auto x1 = [a](void* x, const void* y) { pelAlpha<R8G8B8, X1R5G5B5>(x, y, a); };
      auto x1Add = [a](void* x, const void* y) { pelAlphaAdd<R8G8B8, A1R5G5B5>(x, y, a); };
      auto r565 = [a](void* x, const void* y) { pelAlpha<X1R5G5B5, R5G6B5>(x, y, a); };
      EXPECT_EQ(word(s, x1), word(s2, x1)) << a;
      EXPECT_EQ(word(s, x1Add), word(s2, x1Add)) << a;
      uint16_t d565 = uint16_t(d), e565 = uint16_t(d);
      const uint16_t s16 = uint16_t(s), s16b = uint16_t(s ^ 0x7C1F);  // red and blue changed
      r565(&d565, &s16);
      r565(&e565, &s16b);
      EXPECT_EQ(d565 & 0x07E0, e565 & 0x07E0) << a;
    }
  }
}
