// Pel formats of the engine's image layer: the format codes and their sizes,
// the layout structs that name pel layouts in the conversion and draw
// families, the two 16-bit packers and the pel conversions between the 24-,
// 32- and 16-bit layouts.
//
// Channels are narrowed by shifting right and widened by shifting left,
// without replicating the high bits: a 5-bit 31 reads 248, never 255. (The
// talvo::g image library rounds instead; the two layers keep their own
// arithmetic.)
#pragma once

#include <cstdint>
#include <cstring>

// Pel format codes; a pel is little-endian in memory.
constexpr int pel_FMT_UNKNOWN = 0;
constexpr int pel_FMT_R8G8B8 = 1;    // bytes B, G, R
constexpr int pel_FMT_X8R8G8B8 = 2;  // bytes B, G, R and a byte without meaning
constexpr int pel_FMT_A8R8G8B8 = 3;  // bytes B, G, R, A
constexpr int pel_FMT_R5G6B5 = 4;
constexpr int pel_FMT_X1R5G5B5 = 5;  // bit 15 without meaning
constexpr int pel_FMT_A1R5G5B5 = 6;  // bit 15 the alpha bit
constexpr int pel_FMT_X4R4G4B4 = 7;  // no conversion or drawing
constexpr int pel_FMT_A4R4G4B4 = 8;  // no conversion or drawing
constexpr int pel_FMT_P8 = 9;        // index into the image's palette
constexpr int pel_FMT_Z32 = 10;      // signed depth, 16.16 fixed point
constexpr int pel_FMT_COUNT = 11;

// Bytes per pel by format code.
inline constexpr uint8_t pelBytesPerPel[pel_FMT_COUNT] = {4, 3, 4, 4, 2, 2, 2, 2, 2, 1, 4};

constexpr bool pelFmtValid(int format) { return format >= 0 && format < pel_FMT_COUNT; }

// Bytes per pel of a format code; 0 for a code outside the table, so that an
// invalid format neither allocates nor addresses anything.
constexpr int pelBytes(int format) { return pelFmtValid(format) ? pelBytesPerPel[format] : 0; }

// --- Layout structs -----------------------------------------------------------
// One struct per pel layout, holding exactly one pel. They name the layouts
// in the conversion and draw families (pelConvert<R5G6B5,X8R8G8B8>) and carry
// pel values. Pels in images may be unaligned: load and store them with
// pelLoad and pelStore.

struct R8G8B8 {
  uint8_t b, g, r;
};
struct X8R8G8B8 {
  uint8_t b, g, r, x;
};
struct A8R8G8B8 {
  uint8_t b, g, r, a;
};
struct R5G6B5 {
  uint16_t v;
};
struct X1R5G5B5 {
  uint16_t v;
};
struct A1R5G5B5 {
  uint16_t v;
};
struct P8 {
  uint8_t i;
};

static_assert(sizeof(R8G8B8) == 3 && sizeof(X8R8G8B8) == 4 && sizeof(A8R8G8B8) == 4);
static_assert(sizeof(R5G6B5) == 2 && sizeof(X1R5G5B5) == 2 && sizeof(A1R5G5B5) == 2 && sizeof(P8) == 1);

template <class P>
inline P pelLoad(const void* at) {
  P p;
  std::memcpy(&p, at, sizeof p);
  return p;
}

template <class P>
inline void pelStore(void* at, const P& p) {
  std::memcpy(at, &p, sizeof p);
}

// A pel as a number (bytes little-endian, zero-extended: an R8G8B8 reads
// B | G << 8 | R << 16) and back.
template <class P>
inline uint32_t pelRaw(const P& p) {
  uint32_t v = 0;
  std::memcpy(&v, &p, sizeof p);
  return v;
}

template <class P>
inline P pelFromRaw(uint32_t v) {
  P p;
  std::memcpy(&p, &v, sizeof p);
  return p;
}

// --- 16-bit packers -------------------------------------------------------------
// The channels are already in field width.

inline void pelPackR5G6B5(uint16_t& pel, uint32_t r, uint32_t g, uint32_t b) {
  pel = static_cast<uint16_t>(r << 11 | (g & 63) << 5 | (b & 31));
}

// Bit 15 keeps its value.
inline void pelPackX1R5G5B5(uint16_t& pel, uint32_t r, uint32_t g, uint32_t b) {
  pel = static_cast<uint16_t>((pel & 0x8000) | (r & 31) << 10 | (g & 31) << 5 | (b & 31));
}

// --- Pel conversions ------------------------------------------------------------
// pelConvert<Src,Dst>(dst, src) converts a source pel into the destination pel
// and returns it; bits the conversion keeps (bit 15 of an X1R5G5B5 pel) come
// from the destination's previous value. Only the specialised pairs exist:
// the eight below, and the conversions into A1R5G5B5 of the draw.
template <class Src, class Dst>
Dst& pelConvert(Dst& dst, const Src& src);

// A new destination pel converted from the source (kept bits 0).
template <class Src, class Dst>
inline Dst pelConvert(const Src& src) {
  Dst dst{};
  return pelConvert<Src, Dst>(dst, src);
}

namespace pelDetail {
inline uint8_t wide5(uint32_t v, int shift) { return static_cast<uint8_t>(((v >> shift) & 31) << 3); }
inline uint8_t wide6(uint32_t v, int shift) { return static_cast<uint8_t>(((v >> shift) & 63) << 2); }
}  // namespace pelDetail

template <>
inline X8R8G8B8& pelConvert<R5G6B5, X8R8G8B8>(X8R8G8B8& d, const R5G6B5& s) {
  d = {pelDetail::wide5(s.v, 0), pelDetail::wide6(s.v, 5), pelDetail::wide5(s.v, 11), 255};
  return d;
}

template <>
inline X8R8G8B8& pelConvert<X1R5G5B5, X8R8G8B8>(X8R8G8B8& d, const X1R5G5B5& s) {
  d = {pelDetail::wide5(s.v, 0), pelDetail::wide5(s.v, 5), pelDetail::wide5(s.v, 10), 255};
  return d;
}

template <>
inline R8G8B8& pelConvert<R5G6B5, R8G8B8>(R8G8B8& d, const R5G6B5& s) {
  d = {pelDetail::wide5(s.v, 0), pelDetail::wide6(s.v, 5), pelDetail::wide5(s.v, 11)};
  return d;
}

template <>
inline R8G8B8& pelConvert<X1R5G5B5, R8G8B8>(R8G8B8& d, const X1R5G5B5& s) {
  d = {pelDetail::wide5(s.v, 0), pelDetail::wide5(s.v, 5), pelDetail::wide5(s.v, 10)};
  return d;
}

// The 5-bit green shifted left once; all 16 bits written.
template <>
inline R5G6B5& pelConvert<X1R5G5B5, R5G6B5>(R5G6B5& d, const X1R5G5B5& s) {
  d.v = static_cast<uint16_t>((s.v & 0x7C00) << 1 | (s.v & 0x03E0) << 1 | (s.v & 0x001F));
  return d;
}

// The green loses its low bit; bit 15 kept.
template <>
inline X1R5G5B5& pelConvert<R5G6B5, X1R5G5B5>(X1R5G5B5& d, const R5G6B5& s) {
  d.v = static_cast<uint16_t>((d.v & 0x8000) | (s.v & 0xF800) >> 1 | (s.v & 0x07C0) >> 1 | (s.v & 0x001F));
  return d;
}

// Bit 15 kept.
template <>
inline X1R5G5B5& pelConvert<R8G8B8, X1R5G5B5>(X1R5G5B5& d, const R8G8B8& s) {
  pelPackX1R5G5B5(d.v, s.r >> 3, s.g >> 3, s.b >> 3);
  return d;
}

// All 16 bits written.
template <>
inline R5G6B5& pelConvert<R8G8B8, R5G6B5>(R5G6B5& d, const R8G8B8& s) {
  pelPackR5G6B5(d.v, s.r >> 3, s.g >> 2, s.b >> 3);
  return d;
}
