// The rules of the kernel frame, one piece each for every kernel family:
// reading a source pel, the key test, writing a destination pel (Copy), the
// per-pel step of an operation, and the source of a P8 image (its palette
// table entry in the destination's layout).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/draw/kernel_frame.h"

namespace drawFrame {

template <class F>
constexpr int size = int(sizeof(F));

template <class T>
inline uint32_t loadBytes(const uint8_t* p) {
  uint32_t v = 0;
  std::memcpy(&v, p, sizeof(T));
  return v;
}

// h rows of n bytes, Piece <= n <= 2 * Half * Piece: Half pieces of Piece
// bytes from the start of every row and Half ending at its end, overlapping
// where n is shorter. The row's length picks the pieces once, so a row is a
// fixed run of moves.
template <size_t Piece, int Half>
inline void copyRowsBy(uint8_t* d, int64_t dPitch, const uint8_t* s, int64_t sPitch, size_t n, int h) {
  const size_t back = n - Half * Piece;
  for (int y = 0; y < h; ++y, d += dPitch, s += sPitch)
    for (int i = 0; i < Half; ++i) {
      std::memcpy(d + i * Piece, s + i * Piece, Piece);
      std::memcpy(d + back + i * Piece, s + back + i * Piece, Piece);
    }
}

// Rows of 256 bytes or more, by memcpy; out of line, so that the short
// copies in line need no registers of its loop.
[[gnu::noinline]] inline void copyLongRows(uint8_t* d, int64_t dPitch, const uint8_t* s, int64_t sPitch, size_t n,
                                           int h) {
  for (int y = 0; y < h; ++y, d += dPitch, s += sPitch) std::memcpy(d, s, n);
}

// h rows of n bytes: long rows by memcpy, short ones in line (a call of
// memcpy costs more than a short row). Source and destination are
// different images.
inline void copyRows(uint8_t* d, int64_t dPitch, const uint8_t* s, int64_t sPitch, size_t n, int h) {
  if (n >= 256) {
    copyLongRows(d, dPitch, s, sPitch, n, h);
  } else if (n > 128) {
    copyRowsBy<16, 8>(d, dPitch, s, sPitch, n, h);
  } else if (n > 64) {
    copyRowsBy<16, 4>(d, dPitch, s, sPitch, n, h);
  } else if (n > 32) {
    copyRowsBy<16, 2>(d, dPitch, s, sPitch, n, h);
  } else if (n >= 16) {
    copyRowsBy<16, 1>(d, dPitch, s, sPitch, n, h);
  } else if (n >= 8) {
    copyRowsBy<8, 1>(d, dPitch, s, sPitch, n, h);
  } else if (n >= 4) {
    copyRowsBy<4, 1>(d, dPitch, s, sPitch, n, h);
  } else if (n >= 2) {
    copyRowsBy<2, 1>(d, dPitch, s, sPitch, n, h);
  } else if (n) {
    for (int y = 0; y < h; ++y, d += dPitch, s += sPitch) *d = *s;
  }
}

// --- Reading a source pel ---------------------------------------------------------
// 8-bit B, G, R and an alpha byte: 255 for formats without alpha, byte 3 of
// a 4-byte pel, 255 or 0 by bit 15 of A1R5G5B5. 16-bit fields widen by
// shifting left, never replicating bits.
struct Rgba8 {
  uint32_t b, g, r, a;
};

template <class S>
inline Rgba8 readPel(const uint8_t* p) {
  if constexpr (std::is_same_v<S, R8G8B8>) {
    return {p[0], p[1], p[2], 255};
  } else if constexpr (std::is_same_v<S, X8R8G8B8>) {
    return {p[0], p[1], p[2], p[3]};
  } else {
    const uint32_t v = loadBytes<uint16_t>(p);
    if constexpr (std::is_same_v<S, R5G6B5>)
      return {(v & 31) << 3, ((v >> 5) & 63) << 2, (v >> 11) << 3, 255};
    else
      return {(v & 31) << 3, ((v >> 5) & 31) << 3, ((v >> 10) & 31) << 3,
              std::is_same_v<S, A1R5G5B5> ? (v >> 15) * 255 : 255u};
  }
}

// --- Writing a destination pel (Copy) ------------------------------------------------
// Same layouts copy every bit; otherwise B, G, R narrowed into the fields,
// byte 3 of a 4-byte destination and bit 15 of A1R5G5B5 from the source's
// alpha byte, bit 15 of X1R5G5B5 kept.
template <class S, class D>
inline void copyPel(uint8_t* d, const uint8_t* s) {
  if constexpr (std::is_same_v<S, D>) {
    std::memcpy(d, s, size<D>);
  } else {
    const Rgba8 c = readPel<S>(s);
    if constexpr (std::is_same_v<D, R8G8B8>) {
      d[0] = uint8_t(c.b), d[1] = uint8_t(c.g), d[2] = uint8_t(c.r);
    } else if constexpr (std::is_same_v<D, X8R8G8B8>) {
      const uint32_t v = c.b | c.g << 8 | c.r << 16 | c.a << 24;
      std::memcpy(d, &v, 4);
    } else {
      uint16_t v;
      if constexpr (std::is_same_v<D, R5G6B5>)
        v = uint16_t((c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3);
      else if constexpr (std::is_same_v<D, X1R5G5B5>)
        v = uint16_t((loadBytes<uint16_t>(d) & 0x8000) | (c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3);
      else
        v = uint16_t((c.a >> 7) << 15 | (c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3);
      std::memcpy(d, &v, 2);
    }
  }
}

// --- Source pels ---------------------------------------------------------------------
// A P8 source is read through the palette table, whose entries already have
// the destination's layout: the kernel then works on the entry as a pel of D.
template <class S, class D>
struct Source {
  using Pel = S;  // the layout of what pel() points at
  static constexpr int step = size<S>;
  static const uint8_t* pel(const uint8_t* s, const uint8_t*) { return s; }
};
template <class D>
struct Source<P8, D> {
  using Pel = D;
  static constexpr int step = 1;
  static const uint8_t* pel(const uint8_t* s, const uint8_t* table) { return table + size_t(*s) * size<D>; }
};

// --- The key test ----------------------------------------------------------------------
// The bits of the (source or table-entry) pel compared with the key pel: all
// of them, but bit 15 of X1R5G5B5 and of the X1R5G5B5 table entries.
struct NoKey {
  static constexpr bool keyed = false;
  static bool skip(const uint8_t*, uint32_t) { return false; }
};

template <class P>
struct KeyOf {
  static constexpr bool keyed = true;
  static constexpr uint32_t mask = std::is_same_v<P, R8G8B8>     ? 0x00FFFFFFu
                                   : std::is_same_v<P, X8R8G8B8> ? 0xFFFFFFFFu
                                   : std::is_same_v<P, X1R5G5B5> ? 0x7FFFu
                                                                  : 0xFFFFu;
  static bool skip(const uint8_t* p, uint32_t key) { return ((loadBytes<P>(p) ^ key) & mask) == 0; }
};
template <class S, class D>
using KeyTestOf = KeyOf<typename Source<S, D>::Pel>;
template <class S, class D, bool Keyed>
using KeyTestIf = std::conditional_t<Keyed, KeyTestOf<S, D>, NoKey>;

// --- Per-pel steps -------------------------------------------------------------------
// The layout word a member takes for a format: R8G8B8 for every 3- or 4-byte
// format.
template <class F>
using WordOf = std::conditional_t<std::is_same_v<F, X8R8G8B8>, R8G8B8, F>;

template <class P, class D, class Op>
struct Step {
  static void apply(uint8_t* d, const uint8_t* s) { pelModeOp<Op, WordOf<P>, WordOf<D>>{}(d, s); }
};
template <class P, class D>
struct Step<P, D, imgOp::Copy> {
  static void apply(uint8_t* d, const uint8_t* s) { copyPel<P, D>(d, s); }
};
template <class S, class D, class Op>
using StepOf = Step<typename Source<S, D>::Pel, D, Op>;

// --- Scaled sampling -------------------------------------------------------------------
// The 16.16 source step of a scale: trunc((1.0 / scale) * 65536.0) in double
// (1.5 gives 43690). False for a scale that is not finite and positive or a
// step past 32 bits; the dispatcher draws nothing then.
inline bool scaleStep(float scale, uint32_t* step) {
  if (!std::isfinite(scale) || !(scale > 0.0f)) return false;
  const double v = 1.0 / double(scale) * 65536.0;
  if (!(v < 2147483648.0)) return false;
  *step = uint32_t(int32_t(v));
  return true;
}

template <class Op>
constexpr bool isCopyOrMode = std::is_same_v<Op, imgOp::Copy> || requires { Op::ch(0, 0); };

}  // namespace drawFrame
