// Random number generators.
#include "base/rnd.h"

#include <cstring>

namespace {

// The first generator: two multiplicative congruential sequences.
uint32_t g_x = 11;
uint32_t g_y = 21;

// The second: 43 words with two lags and a borrow, combined with a Weyl sequence.
constexpr int kWords = 43;
struct Rnd2 {
  uint32_t w[kWords];
  int a, b;
  uint32_t borrow;
  uint32_t weyl;
  uint32_t kept;
} g_r2 = {};

}  // namespace

uint32_t rndNext() {
  g_x = static_cast<uint32_t>(static_cast<uint64_t>(g_x) * 40014u % 2147483563u);
  g_y = static_cast<uint32_t>(static_cast<uint64_t>(g_y) * 40692u % 2147483399u);
  return ((g_x & ~0x7FFFu) << 1) | ((g_y >> 14) & 0xFFFFu);
}

uint32_t rndNext31() { return rndNext() & 0x7FFFFFFFu; }

uint32_t rndRange(uint32_t n) {
  uint32_t v = rndNext31();
  return n ? v % n : 0;
}

float rndFloat() {
  uint32_t bits = 0x3F800000u | (rndNext() & 0x7FFFFFu);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f - 1.0f;
}

double rndDouble() {
  rndNext();
  uint64_t bits = 0x3FF0000000000000ull | (static_cast<uint64_t>((g_x >> 11) & 0xFFFFFu) << 32) | g_y;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d - 1.0;
}

void rnd2Seed(uint32_t seed) {
  uint32_t s = seed & 0x0FFFFFFFu;
  uint32_t q = (s / 10000) & 0x3FFFu;
  uint32_t r = s % 10000;
  uint32_t y = q / 100 + 1, x3 = q % 100 + 1, x2 = r / 100 + 1, x1 = r % 100 + 1;
  for (uint32_t& word : g_r2.w) {
    word = 0;
    for (int bit = 0; bit < 32; ++bit) {
      uint32_t t = ((x2 * x3) % 179 * x1) % 179;
      x1 = x2;
      x2 = x3;
      x3 = t;
      y = (53 * y + 1) % 169;
      word = (word << 1) | (((y * t) & 63) >= 32 ? 1u : 0u);
    }
  }
  g_r2.a = 42;
  g_r2.b = 21;
  g_r2.borrow = 0;
  g_r2.weyl = 7654321;
  rnd2Next();
}

uint32_t rnd2Next() {
  uint32_t wa = g_r2.w[g_r2.a], wb = g_r2.w[g_r2.b];
  uint32_t d = wb - wa - g_r2.borrow;
  g_r2.borrow = static_cast<uint64_t>(wb) < static_cast<uint64_t>(wa) + g_r2.borrow ? 1 : 0;
  if (g_r2.borrow) d -= 5;
  g_r2.w[g_r2.a] = d;
  g_r2.a = g_r2.a == 0 ? kWords - 1 : g_r2.a - 1;
  g_r2.b = g_r2.b == 0 ? kWords - 1 : g_r2.b - 1;
  g_r2.weyl -= 362436069u;
  uint32_t result = g_r2.kept;
  g_r2.kept = d - g_r2.weyl;
  return result;
}

uint32_t rnd2Next31() {
  g_r2.kept &= 0x7FFFFFFFu;
  return rnd2Next();
}

uint32_t rnd2Range(uint32_t n) {
  uint32_t v = rnd2Next();
  return n ? v % n : 0;
}
