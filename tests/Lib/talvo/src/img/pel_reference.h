// An independent model of the pel formats for the image tests: layouts typed
// in as plain numbers, conversions by the rounding formula in floating point.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace pelref {

struct Chan {
  int shift, bits;
  std::uint32_t get(std::uint32_t v) const { return bits ? (v >> shift) & ((1u << bits) - 1) : 0; }
};

struct Layout {
  int type;
  const char* name;
  int size;
  Chan r, g, b, a;
  std::uint32_t x_mask;    // bits of an x field
  std::uint32_t key_mask;  // bits a colour key compares
};

// Type codes 1 to 8.
inline const Layout layouts[] = {
    {1, "Rgb888", 3, {16, 8}, {8, 8}, {0, 8}, {0, 0}, 0, 0xFFFFFF},
    {2, "Rgbx8888", 4, {16, 8}, {8, 8}, {0, 8}, {0, 0}, 0xFF000000u, 0xFFFFFF},
    {3, "Rgba8888", 4, {16, 8}, {8, 8}, {0, 8}, {24, 8}, 0, 0xFFFFFFFFu},
    {4, "Rgb565", 2, {11, 5}, {5, 6}, {0, 5}, {0, 0}, 0, 0xFFFF},
    {5, "Rgbx5551", 2, {10, 5}, {5, 5}, {0, 5}, {0, 0}, 0x8000, 0x7FFF},
    {6, "Rgba5551", 2, {10, 5}, {5, 5}, {0, 5}, {15, 1}, 0, 0xFFFF},
    {7, "Rgbx4444", 2, {8, 4}, {4, 4}, {0, 4}, {0, 0}, 0xF000, 0x0FFF},
    {8, "Rgba4444", 2, {8, 4}, {4, 4}, {0, 4}, {12, 4}, 0, 0xFFFF},
};

inline const Layout& layout(int type) { return layouts[type - 1]; }

inline std::uint32_t mask_of(int size) { return size == 4 ? 0xFFFFFFFFu : (1u << (8 * size)) - 1; }

// v of s bits as d bits: the nearest integer of v * (2^d - 1) / (2^s - 1).
inline std::uint32_t scale(std::uint32_t v, int s, int d) {
  if (s == d) return v;
  return std::uint32_t(std::lround(double(v) * ((1 << d) - 1) / double((1 << s) - 1)));
}

// Source pel v of type st converted into a destination of type dt whose
// previous value was `prior`.
inline std::uint32_t convert(int dt, std::uint32_t prior, int st, std::uint32_t v) {
  const Layout& d = layout(dt);
  const Layout& s = layout(st);
  std::uint32_t out = prior & d.x_mask;
  out |= scale(s.r.get(v), s.r.bits, d.r.bits) << d.r.shift;
  out |= scale(s.g.get(v), s.g.bits, d.g.bits) << d.g.shift;
  out |= scale(s.b.get(v), s.b.bits, d.b.bits) << d.b.shift;
  if (d.a.bits)
    out |= (s.a.bits ? scale(s.a.get(v), s.a.bits, d.a.bits) : (1u << d.a.bits) - 1) << d.a.shift;
  return out;
}

// What the copy writes for a destination pel `prior` from a source pel v.
inline std::uint32_t copy_pel(int dt, std::uint32_t prior, int st, std::uint32_t v) {
  if (dt == st || (dt == 2 && st == 3)) return v;  // whole pel
  if (dt == 3 && st == 2) return v | 0xFF000000u;  // whole word, alpha 255
  return convert(dt, prior, st, v);
}

inline std::uint32_t load(const std::uint8_t* p, int size) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, size);
  return v;
}
inline void store(std::uint8_t* p, int size, std::uint32_t v) { std::memcpy(p, &v, size); }

// A pel buffer with guard bytes around it and a pitch wider than the row,
// top-down or bottom-up.
struct Buffer {
  static constexpr int guard = 32;
  static constexpr std::uint8_t guard_byte = 0xA5;
  int width, height, size, pitch;  // pitch: positive row stride in bytes
  bool bottom_up;
  std::vector<std::uint8_t> bytes;

  Buffer(int w, int h, int pel_size, bool bottom_up, std::mt19937& rng, int slack = 5)
      : width(w), height(h), size(pel_size), pitch(w * pel_size + slack), bottom_up(bottom_up),
        bytes(std::size_t(2 * guard + pitch * h)) {
    for (auto& b : bytes) b = std::uint8_t(rng());
    for (int i = 0; i < guard; ++i) bytes[i] = bytes[bytes.size() - 1 - i] = guard_byte;
  }
  // The pel pointer and signed pitch an image over this buffer uses.
  std::uint8_t* first_row() {
    return bottom_up ? bytes.data() + guard + std::size_t(pitch) * (height - 1) : bytes.data() + guard;
  }
  std::int32_t signed_pitch() const { return bottom_up ? -pitch : pitch; }
  std::uint8_t* at(int x, int y) { return first_row() + std::intptr_t(y) * signed_pitch() + x * size; }
  std::uint32_t pel(int x, int y) { return load(at(x, y), size); }
  bool guards_intact() const {
    for (int i = 0; i < guard; ++i)
      if (bytes[i] != guard_byte || bytes[bytes.size() - 1 - i] != guard_byte) return false;
    return true;
  }
};

}  // namespace pelref
