// The per-pel operations of the alpha kernels: worked values, the 16-bit
// additions exhaustively, and every operation on every pair of layouts
// against a model written from the rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "engine/alpha/alpha_pel.h"

namespace {

using Bytes = std::vector<uint8_t>;

template <class... T>
struct List {};
template <class... T, class F>
void forEach(List<T...>, F&& f) {
  (f(static_cast<T*>(nullptr)), ...);
}
using Stores = List<X8R8G8B8, R8G8B8, R5G6B5, X1R5G5B5>;
using Dsts = List<R8G8B8, X8R8G8B8, A8R8G8B8, R5G6B5, X1R5G5B5, A1R5G5B5>;
template <class P>
using Tag = std::remove_pointer_t<P>;

Bytes word(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }

TEST(AlphaPel, WorkedValues) {
  struct Case {
    const char* what;
    std::function<void(uint8_t*)> op;
    Bytes before, after;
  } cases[] = {
      {"SrcAlpha onto R5G6B5: red 20 over 10 at 128 gives 14",
       [](uint8_t* d) { alphaPelSrcAlpha<R5G6B5, R5G6B5>{}(d, word(20 << 11).data(), 128); }, word(10 << 11),
       word(14 << 11)},
      {"SrcAlpha onto A8R8G8B8: white at 254 over white gives 254 and A 254",
       [](uint8_t* d) { alphaPelSrcAlpha<R8G8B8, A8R8G8B8>{}(d, Bytes{255, 255, 255}.data(), 254); },
       {255, 255, 255, 255}, {254, 254, 254, 254}},
      {"SrcAlpha onto A8R8G8B8: white at 128 over clear black gives 127 and A 128",
       [](uint8_t* d) { alphaPelSrcAlpha<R8G8B8, A8R8G8B8>{}(d, Bytes{255, 255, 255}.data(), 128); },
       {0, 0, 0, 0}, {127, 127, 127, 128}},
      {"SrcAlpha of a stored X1R5G5B5 white (248) onto A8R8G8B8",
       [](uint8_t* d) { alphaPelSrcAlpha<X1R5G5B5, A8R8G8B8>{}(d, word(0x7FFF).data(), 128); }, {0, 0, 0, 0},
       {124, 124, 124, 128}},
      {"SrcAlphaPremul: white at 128 (127, 127) over white gives 253",
       [](uint8_t* d) { alphaPelSrcAlphaPremul<R8G8B8, X8R8G8B8>{}(d, Bytes{127, 127, 127}.data(), 127); },
       {255, 255, 255, 9}, {253, 253, 253, 9}},
      {"Add adds the whole colour; onto A8R8G8B8 A takes the alpha: 200 + 100",
       [](uint8_t* d) { alphaPelAdd<R8G8B8, A8R8G8B8>{}(d, Bytes{10, 200, 0}.data(), 100); },
       {250, 100, 7, 200}, {255, 255, 7, 255}},
      {"Add onto A8R8G8B8: A 100 + 100",
       [](uint8_t* d) { alphaPelAdd<R8G8B8, A8R8G8B8>{}(d, Bytes{0, 0, 0}.data(), 100); }, {1, 2, 3, 100},
       {1, 2, 3, 200}},
      {"Add onto R5G6B5: green 60 + 20 gives 63, red 10 + 40 gives 15",
       [](uint8_t* d) { alphaPelAdd<R8G8B8, R5G6B5>{}(d, Bytes{0, 20, 40}.data(), 1); },
       word(10 << 11 | 60 << 5), word(15 << 11 | 63 << 5)},
      {"AddPremul: a stored R5G6B5 red 4 at alpha 64 adds 128",
       [](uint8_t* d) { alphaPelAddPremul<R5G6B5, R8G8B8>{}(d, word(4 << 11).data(), 255 - 64); }, {0, 0, 10},
       {0, 0, 138}},
      {"SrcAlphaPremul onto A1R5G5B5: alpha 128 sets bit 15",
       [](uint8_t* d) { alphaPelSrcAlphaPremul<R8G8B8, A1R5G5B5>{}(d, Bytes{0, 0, 0}.data(), 127); }, word(0),
       word(0x8000)},
      {"SrcAlphaPremul onto A1R5G5B5: alpha 127 clears it",
       [](uint8_t* d) { alphaPelSrcAlphaPremul<R8G8B8, A1R5G5B5>{}(d, Bytes{0, 0, 0}.data(), 128); },
       word(0x8000), word(0)},
      {"AlphaK at K 0 leaves d * 255 >> 8",
       [](uint8_t* d) { alphaPelAlphaK<R8G8B8, R8G8B8>{0}(d, Bytes{255, 255, 255}.data()); }, {200, 1, 255},
       {199, 0, 254}},
      {"SrcAlphaK at K 128 and a 200 weighs by 100",
       [](uint8_t* d) { alphaPelSrcAlphaK<R8G8B8, A8R8G8B8>{128}(d, Bytes{255, 255, 255}.data(), 200); },
       {0, 0, 0, 0}, {99, 99, 99, 100}},
      {"X8R8G8B8 green 128 onto A1R5G5B5 is the field 16",
       [](uint8_t* d) { alphaPelAdd<X8R8G8B8, A1R5G5B5>{}(d, Bytes{0, 128, 0, 99}.data(), 1); }, word(0),
       word(16 << 5)},
      {"Unpremul onto X1R5G5B5 keeps bit 15: red 15 at alpha 128 gives 30",
       [](uint8_t* d) { alphaPelUnpremul<R5G6B5, X1R5G5B5>{}(d, word(15 << 11).data(), 127); }, word(0x8000),
       word(0x8000 | 30 << 10)},
      {"SrcAlphaKPremul onto R5G6B5 keeps fields apart",
       [](uint8_t* d) { alphaPelSrcAlphaKPremul<R8G8B8, R5G6B5>{255}(d, Bytes{127, 127, 127}.data(), 127); },
       word(0xFFFF), word(30 << 11 | 62 << 5 | 30)},
  };
  for (const Case& c : cases) {
    Bytes pel = c.before;
    c.op(pel.data());
    EXPECT_EQ(pel, c.after) << c.what;
  }
}

// The Add cells onto 16-bit layouts, per field over every destination field
// and source value, against widening the field, adding the 8-bit source,
// saturating at 255 and narrowing again.
template <class Dst>
struct Fields {
  static constexpr int green = std::is_same_v<Dst, R5G6B5> ? 6 : 5;
  static constexpr int redAt = 5 + green;
  static int get(uint16_t v, int c) { return c == 0 ? v & 31 : c == 1 ? (v >> 5) & ((1 << green) - 1) : (v >> redAt) & 31; }
  static int shift(int c) { return c == 1 ? 8 - green : 3; }
  static int widest(int c) { return 255 >> shift(c); }
  static uint16_t with(int c, int v) { return uint16_t(v << (c == 0 ? 0 : c == 1 ? 5 : redAt)); }
};

// A stored colour whose channel c (0 B, 1 G, 2 R) widens to the value's top
// bits; v runs over the channel's stored values.
template <class Store>
int storedValues(int c) {
  if constexpr (sizeof(Store) != 2) return 256;
  return c == 1 && std::is_same_v<Store, R5G6B5> ? 64 : 32;
}
template <class Store>
Bytes storedColour(int c, int v) {
  if constexpr (sizeof(Store) != 2) {
    Bytes b(sizeof(Store), 0);
    b[size_t(c)] = uint8_t(v);
    return b;
  } else {
    const int at = c == 0 ? 0 : c == 1 ? 5 : std::is_same_v<Store, R5G6B5> ? 11 : 10;
    return word(uint16_t(v << at));
  }
}
template <class Store>
int widened(int c, int v) {
  if constexpr (sizeof(Store) != 2) return v;
  return v << (c == 1 && std::is_same_v<Store, R5G6B5> ? 2 : 3);
}

TEST(AlphaPel, SixteenBitAdditionsExhaustively) {
  forEach(Stores{}, [](auto* s) {
    using Store = Tag<decltype(s)>;
    forEach(List<R5G6B5, X1R5G5B5, A1R5G5B5>{}, [](auto* t) {
      using Dst = Tag<decltype(t)>;
      using F = Fields<Dst>;
      SCOPED_TRACE(::testing::Message() << "store " << sizeof(Store) << " " << typeid(Store).name() << " onto "
                                        << typeid(Dst).name());
      int wrong = 0;
      for (int c = 0; c < 3; ++c) {
        for (int v = 0; v < storedValues<Store>(c); ++v) {
          const Bytes colour = storedColour<Store>(c, v);
          for (int d = 0; d <= F::widest(c); ++d) {
            for (uint16_t bit : {0, 0x8000}) {
              // Bit 15 of R5G6B5 is red's.
              if (std::is_same_v<Dst, R5G6B5> && bit) continue;
              const uint16_t before = uint16_t(F::with(c, d) | bit);
              const int sum = std::min(255, (d << F::shift(c)) + widened<Store>(c, v)) >> F::shift(c);
              Bytes pel = word(before);
              alphaPelAdd<Store, Dst>{}(pel.data(), colour.data(), 100);
              uint16_t got = uint16_t(pel[0] | pel[1] << 8);
              const bool dstBit = !std::is_same_v<Dst, R5G6B5>;
              // Bit 15: kept by X1R5G5B5, min(255, A + a) >> 7 onto A1R5G5B5 (a
              // set bit stays, 100 sets none).
              const uint16_t wantBit = dstBit ? bit : 0;
              wrong += F::get(got, c) != sum || (dstBit && (got & 0x8000) != wantBit);
              if constexpr (std::is_same_v<Store, X8R8G8B8>) {
                pel = word(before);
                alphaPelAddOpaque<Store, Dst>{}(pel.data(), colour.data());
                got = uint16_t(pel[0] | pel[1] << 8);
                wrong += F::get(got, c) != sum || (dstBit && (got & 0x8000) != wantBit);
              }
              // Premultiplied at alpha 255 - 127 = 128: the straight colour is
              // twice the stored one (low 8 bits).
              pel = word(before);
              alphaPelAddPremul<Store, Dst>{}(pel.data(), colour.data(), 127);
              got = uint16_t(pel[0] | pel[1] << 8);
              const int straight = (widened<Store>(c, v) * 256 / 128) & 255;
              const int premulSum = std::min(255, (d << F::shift(c)) + straight) >> F::shift(c);
              const uint16_t premulBit = std::is_same_v<Dst, A1R5G5B5> ? 0x8000 : wantBit;  // 128 sets it
              wrong += F::get(got, c) != premulSum || (dstBit && (got & 0x8000) != premulBit);
            }
          }
        }
      }
      EXPECT_EQ(wrong, 0);
    });
  });
}

// --- Every operation on every pair, against a model -------------------------

struct Model {
  int bits[3];  // field widths B, G, R
  int alpha;    // 0 none, 1 a fourth byte, 2 bit 15
};

template <class Dst>
Model modelOf() {
  if constexpr (sizeof(Dst) != 2) return {{8, 8, 8}, std::is_same_v<Dst, A8R8G8B8> ? 1 : 0};
  else if constexpr (std::is_same_v<Dst, R5G6B5>) return {{5, 6, 5}, 0};
  else return {{5, 5, 5}, std::is_same_v<Dst, A1R5G5B5> ? 2 : 0};
}

// The destination's fields and its alpha as 0..255 (255 for a set bit).
struct Pel {
  int f[3];
  int A;
  Bytes rest;  // bytes or bits the operation must keep
};

Pel readPel(const Model& m, const Bytes& b) {
  Pel p{};
  if (m.bits[1] == 8) {
    for (int c = 0; c < 3; ++c) p.f[c] = b[size_t(c)];
    p.A = b.size() == 4 ? b[3] : 0;
  } else {
    const int v = b[0] | b[1] << 8;
    p.f[0] = v & 31;
    p.f[1] = (v >> 5) & ((1 << m.bits[1]) - 1);
    p.f[2] = (v >> (5 + m.bits[1])) & 31;
    p.A = (v & 0x8000) ? 255 : 0;
  }
  return p;
}

template <class Store>
std::array<int, 3> wide8(const Bytes& colour) {
  if constexpr (sizeof(Store) != 2) {
    return {colour[0], colour[1], colour[2]};
  } else {
    const int v = colour[0] | colour[1] << 8;
    if constexpr (std::is_same_v<Store, R5G6B5>) return {(v & 31) << 3, ((v >> 5) & 63) << 2, ((v >> 11) & 31) << 3};
    else return {(v & 31) << 3, ((v >> 5) & 31) << 3, ((v >> 10) & 31) << 3};
  }
}

enum class Op { SrcAlpha, SrcAlphaPremul, Add, AddPremul, AddOpaque, AlphaK, SrcAlphaK, SrcAlphaKPremul, Unpremul };
const char* const kOpNames[] = {"SrcAlpha", "SrcAlphaPremul", "Add", "AddPremul", "AddOpaque",
                                "AlphaK", "SrcAlphaK", "SrcAlphaKPremul", "Unpremul"};

// What the rules give for one operation.
template <class Store, class Dst>
Bytes modelled(Op op, const Bytes& before, const Bytes& colour, int a, int K) {
  const Model m = modelOf<Dst>();
  const Pel d = readPel(m, before);
  const std::array<int, 3> s8 = wide8<Store>(colour);
  const int alpha = 255 - a;  // of premultiplied storage
  int out[3], A = d.A;
  bool alphaSet = false;  // A was given a value by the rule
  for (int c = 0; c < 3; ++c) {
    const int k = 8 - m.bits[c], top = 255 >> k, s = s8[size_t(c)] >> k, dc = d.f[c];
    const int straight = (s8[size_t(c)] * 256 / alpha) & 255;  // 8-bit
    switch (op) {
      case Op::SrcAlpha: out[c] = (s * a + dc * (255 - a)) >> 8; break;
      case Op::SrcAlphaPremul: out[c] = (((dc * a) >> 8) + s) & top; break;
      case Op::Add:
      case Op::AddOpaque: out[c] = std::min(255, (dc << k) + s8[size_t(c)]) >> k; break;
      case Op::AddPremul: out[c] = std::min(255, (dc << k) + straight) >> k; break;
      case Op::AlphaK: out[c] = (s * K + dc * (255 - K)) >> 8; break;
      case Op::SrcAlphaK: {
        const int w = a * K >> 8;
        out[c] = (s * w + dc * (255 - w)) >> 8;
        break;
      }
      case Op::SrcAlphaKPremul: {
        const int w = (255 - a) * K >> 8;
        out[c] = (s * K + dc * (255 - w)) >> 8;
        break;
      }
      case Op::Unpremul: out[c] = straight >> k; break;
    }
  }
  // The source weight of the blends; the alpha the additions add.
  int v = -1, added = -1;
  switch (op) {
    case Op::SrcAlpha: v = a; break;
    case Op::SrcAlphaPremul: v = alpha; break;
    case Op::SrcAlphaK: v = a * K >> 8; break;
    case Op::SrcAlphaKPremul: v = (255 - a) * K >> 8; break;
    case Op::Add: added = a; break;
    case Op::AddPremul: added = alpha; break;
    default: break;
  }
  if (m.alpha == 1 && v >= 0) A = v + (d.A * (255 - v) >> 8), alphaSet = true;
  if (m.alpha == 1 && added >= 0) A = std::min(255, d.A + added), alphaSet = true;
  if (m.alpha == 2 && v >= 0) A = v, alphaSet = true;  // bit 15 = v >> 7, whatever it was
  if (m.alpha == 2 && added >= 0) A = std::min(255, d.A + added), alphaSet = true;
  Bytes after = before;
  if (m.bits[1] == 8) {
    for (int c = 0; c < 3; ++c) after[size_t(c)] = uint8_t(out[c]);
    if (alphaSet) after[3] = uint8_t(A);
  } else {
    int w = (before[0] | before[1] << 8) & 0x8000;
    if (m.bits[1] == 6) w = 0;
    if (alphaSet) w = (A >> 7) << 15;
    w |= (out[2] & 31) << (5 + m.bits[1]) | (out[1] & ((1 << m.bits[1]) - 1)) << 5 | (out[0] & 31);
    after = word(uint16_t(w));
  }
  return after;
}

template <class Store, class Dst>
Bytes applied(Op op, const Bytes& before, const Bytes& colour, int a, int K) {
  Bytes d = before;
  switch (op) {
    case Op::SrcAlpha: alphaPelSrcAlpha<Store, Dst>{}(d.data(), colour.data(), a); break;
    case Op::SrcAlphaPremul: alphaPelSrcAlphaPremul<Store, Dst>{}(d.data(), colour.data(), a); break;
    case Op::Add: alphaPelAdd<Store, Dst>{}(d.data(), colour.data(), a); break;
    case Op::AddPremul: alphaPelAddPremul<Store, Dst>{}(d.data(), colour.data(), a); break;
    case Op::AddOpaque: alphaPelAddOpaque<Store, Dst>{}(d.data(), colour.data()); break;
    case Op::AlphaK: alphaPelAlphaK<Store, Dst>{K}(d.data(), colour.data()); break;
    case Op::SrcAlphaK: alphaPelSrcAlphaK<Store, Dst>{K}(d.data(), colour.data(), a); break;
    case Op::SrcAlphaKPremul: alphaPelSrcAlphaKPremul<Store, Dst>{K}(d.data(), colour.data(), a); break;
    case Op::Unpremul: alphaPelUnpremul<Store, Dst>{}(d.data(), colour.data(), a); break;
  }
  return d;
}

TEST(AlphaPel, EveryOperationOnEveryPairFollowsTheRules) {
  std::mt19937 rng(7);
  forEach(Stores{}, [&](auto* s) {
    using Store = Tag<decltype(s)>;
    forEach(Dsts{}, [&](auto* t) {
      using Dst = Tag<decltype(t)>;
      for (int o = 0; o < 9; ++o) {
        int wrong = 0;
        std::string example;
        for (int i = 0; i < 2000; ++i) {
          Bytes before(sizeof(Dst)), colour(sizeof(Store));
          for (auto& b : before) b = uint8_t(rng());
          for (auto& b : colour) b = uint8_t(rng());
          const int a = 1 + int(rng() % 254), K = int(rng() % 256);
          if (o == int(Op::SrcAlphaPremul) || o == int(Op::AddPremul) || o == int(Op::Unpremul) ||
              o == int(Op::SrcAlphaKPremul)) {
            // Premultiplied colours as the coder stores them: c * alpha >> 8.
            const int alpha = 255 - a;
            if constexpr (sizeof(Store) != 2) {
              for (int c = 0; c < 3; ++c) colour[size_t(c)] = uint8_t(colour[size_t(c)] * alpha >> 8);
            } else {
              const std::array<int, 3> w = wide8<Store>(colour);
              A8R8G8B8 p{uint8_t(w[0] * alpha >> 8), uint8_t(w[1] * alpha >> 8), uint8_t(w[2] * alpha >> 8), 0};
              alphaStore::Of<Store>::put(colour.data(), p);
            }
          }
          const Bytes want = modelled<Store, Dst>(Op(o), before, colour, a, K);
          const Bytes got = applied<Store, Dst>(Op(o), before, colour, a, K);
          if (want != got && wrong++ == 0) example = ::testing::PrintToString(before) + " " + ::testing::PrintToString(colour) + " a " + std::to_string(a) + " K " + std::to_string(K) + ": " + ::testing::PrintToString(got) + " not " + ::testing::PrintToString(want);
        }
        EXPECT_EQ(wrong, 0) << kOpNames[o] << " " << typeid(Store).name() << " onto " << typeid(Dst).name() << ": "
                            << example;
      }
    });
  });
}

}  // namespace
