// What the draw tests share: images of any format filled from a few pel
// values (so that keys match some pels and miss others), the vector levels
// to force, and a per-pel reference model of every kernel family (plain,
// Key, weighted, scaled, depth-tested and the specialised blends), written
// from the frame's rules independently of the kernels.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "base/err.h"
#include "engine/img_row.h"
#include "img/VectorLevel.h"
#include "platform/test_api.h"

namespace draw_test {

namespace vector_level = talvo::g::vector_level;

using Image = std::unique_ptr<imgRowCTy>;

// A new image of the format; with a palette for P8 (owned copy).
inline Image makeImage(int w, int h, int format, const palCTy* palette = nullptr) {
  pelFmtDesc d;
  d.Set(format, nullptr);
  Image image(new imgRowCTy);
  image->SetSize(w, h, &d);
  if (palette) image->SetPalette(palette);
  std::memset(image->buffer, 0, size_t(image->BufferBytes()));
  return image;
}

inline uint32_t pelAt(const imgRowCTy& image, int x, int y) {
  const int size = image.BytesPerPel();
  uint32_t v = 0;
  std::memcpy(&v, image.buffer + (int64_t(y) * image.rowLength + x) * size, size_t(size));
  return v;
}

inline void setPel(imgRowCTy& image, int x, int y, uint32_t v) {
  const int size = image.BytesPerPel();
  std::memcpy(image.buffer + (int64_t(y) * image.rowLength + x) * size, &v, size_t(size));
}

// Every pel one of `values` (picked at random), masked to the pel's size.
inline void fillFrom(imgRowCTy& image, const std::vector<uint32_t>& values, std::mt19937& rng) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) setPel(image, x, y, values[rng() % values.size()]);
}

// A few pel values of a format, among them pels that differ only in byte 3
// or bit 15, and white and black.
inline std::vector<uint32_t> someValues(int format, std::mt19937& rng) {
  std::vector<uint32_t> v;
  for (int i = 0; i < 4; ++i) v.push_back(rng());
  v.push_back(v[0] ^ 0x80000000u);  // byte 3 differs
  v.push_back(v[1] ^ 0x8000u);      // bit 15 differs
  v.push_back(0xFFFFFFFF);
  v.push_back(0);
  const uint32_t mask = format == pel_FMT_R8G8B8 ? 0xFFFFFF : pelBytes(format) == 2 ? 0xFFFF : format == pel_FMT_P8 ? 0xFF : ~0u;
  for (uint32_t& x : v) x &= mask;
  return v;
}

// Draws a source of `rows` rows of pels onto a destination of the same
// size at (0, 0), whole or the rectangle r; the destination's pels after.
using Pels = std::vector<uint32_t>;
inline Pels drawPels(int srcFormat, const Pels& src, int dstFormat, const Pels& dst, const imgDrawParams& p,
                     int rows = 1, const palCTy* palette = nullptr, const uint32_t* keyColour = nullptr,
                     const rectCTy* r = nullptr) {
  const int w = int(dst.size()) / rows;
  Image s = makeImage(int(src.size()) / rows, rows, srcFormat, palette), d = makeImage(w, rows, dstFormat);
  for (size_t i = 0; i < src.size(); ++i) setPel(*s, int(i) % s->width, int(i) / s->width, src[i]);
  for (size_t i = 0; i < dst.size(); ++i) setPel(*d, int(i) % w, int(i) / w, dst[i]);
  if (keyColour) s->SetColorKeyRGB(*keyColour);
  s->DrawEx(d.get(), 0, 0, r, &p);
  Pels out;
  for (size_t i = 0; i < dst.size(); ++i) out.push_back(pelAt(*d, int(i) % w, int(i) / w));
  return out;
}

// The levels this processor runs, each forced in turn by the tests.
inline std::vector<int> levels() {
  std::vector<int> out;
  for (int l = vector_level::portable; l <= vector_level::supported(); ++l) out.push_back(l);
  return out;
}

// Puts the processor's own level back after a test.
struct ForcedLevel {
  explicit ForcedLevel(int level) { vector_level::force(level); }
  ~ForcedLevel() { vector_level::force(-1); }
};

// --- The reference model ---------------------------------------------------------------

struct Rgba {
  int b, g, r, a;
};

// Rule 2: widened by shifts; alpha 255 without an alpha field.
inline Rgba widen(int format, uint32_t p) {
  switch (format) {
    case pel_FMT_R8G8B8: return {int(p & 255), int(p >> 8 & 255), int(p >> 16 & 255), 255};
    case pel_FMT_X8R8G8B8:
    case pel_FMT_A8R8G8B8: return {int(p & 255), int(p >> 8 & 255), int(p >> 16 & 255), int(p >> 24)};
    case pel_FMT_R5G6B5: return {int(p & 31) * 8, int(p >> 5 & 63) * 4, int(p >> 11 & 31) * 8, 255};
    case pel_FMT_X1R5G5B5: return {int(p & 31) * 8, int(p >> 5 & 31) * 8, int(p >> 10 & 31) * 8, 255};
    default: return {int(p & 31) * 8, int(p >> 5 & 31) * 8, int(p >> 10 & 31) * 8, (p & 0x8000) ? 255 : 0};
  }
}

// The colour channels narrowed into a pel of the format; byte 3 and bit 15
// as the caller gives them.
inline uint32_t narrow(int format, int b, int g, int r, uint32_t high) {
  switch (format) {
    case pel_FMT_R8G8B8: return uint32_t(b | g << 8 | r << 16);
    case pel_FMT_X8R8G8B8:
    case pel_FMT_A8R8G8B8: return uint32_t(b | g << 8 | r << 16) | (high & 0xFF000000u);
    case pel_FMT_R5G6B5: return uint32_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
    default: return uint32_t((r >> 3) << 10 | (g >> 3) << 5 | b >> 3) | (high & 0x8000u);
  }
}

// Rule 4: what Copy writes.
inline uint32_t copyOf(int srcFormat, uint32_t s, int dstFormat, uint32_t old) {
  const bool bytes4 = [](int f) { return f == pel_FMT_X8R8G8B8 || f == pel_FMT_A8R8G8B8; }(srcFormat);
  const bool same = srcFormat == dstFormat || (bytes4 && (dstFormat == pel_FMT_X8R8G8B8 || dstFormat == pel_FMT_A8R8G8B8));
  if (same) return s;
  const Rgba c = widen(srcFormat, s);
  switch (dstFormat) {
    case pel_FMT_X8R8G8B8:
    case pel_FMT_A8R8G8B8: return narrow(dstFormat, c.b, c.g, c.r, uint32_t(c.a) << 24);
    case pel_FMT_X1R5G5B5: return narrow(dstFormat, c.b, c.g, c.r, old);
    case pel_FMT_A1R5G5B5: return narrow(dstFormat, c.b, c.g, c.r, c.a >= 128 ? 0x8000 : 0);
    default: return narrow(dstFormat, c.b, c.g, c.r, 0);
  }
}

// The modes 4 to 11 on one 8-bit channel.
inline int modeOf(int mode, int d, int s) {
  switch (mode) {
    case pel_OP_MODULATE: return d * s >> 8;
    case pel_OP_MODULATE2X: return std::min(255, d * s >> 7);
    case pel_OP_MODULATE4X: return std::min(255, d * s >> 6);
    case pel_OP_ADD: return std::min(255, d + s);
    case pel_OP_ADDSIGNED: return std::clamp(d + s - 128, 0, 255);
    case pel_OP_ADDSIGNED2X: return std::clamp(2 * (d + s) - 256, 0, 255);
    case pel_OP_SUBTRACT: return std::max(0, d - s);
    default: return std::min(255, d + ((256 - d) * s >> 8));
  }
}

// Rule 3: the bits a key test compares, by the format of the pel tested.
inline uint32_t keyMask(int format) {
  switch (format) {
    case pel_FMT_R8G8B8: return 0xFFFFFF;
    case pel_FMT_X8R8G8B8:
    case pel_FMT_A8R8G8B8: return 0xFFFFFFFF;
    case pel_FMT_X1R5G5B5: return 0x7FFF;
    default: return 0xFFFF;
  }
}

// The weights of the blends, per pel: the weight a (0..256) is the source's
// share out of 256.
inline bool bytes4(int f) { return f == pel_FMT_X8R8G8B8 || f == pel_FMT_A8R8G8B8; }

// Fields of a pel in its own widths (B, G, R) and their widths.
inline void fieldsOf(int format, uint32_t p, int v[3], int bits[3]) {
  if (format == pel_FMT_R5G6B5) {
    v[0] = int(p & 31), v[1] = int(p >> 5 & 63), v[2] = int(p >> 11 & 31);
    bits[0] = 5, bits[1] = 6, bits[2] = 5;
  } else if (format == pel_FMT_X1R5G5B5 || format == pel_FMT_A1R5G5B5) {
    v[0] = int(p & 31), v[1] = int(p >> 5 & 31), v[2] = int(p >> 10 & 31);
    bits[0] = bits[1] = bits[2] = 5;
  } else {
    v[0] = int(p & 255), v[1] = int(p >> 8 & 255), v[2] = int(p >> 16 & 255);
    bits[0] = bits[1] = bits[2] = 8;
  }
}
inline uint32_t fromFields(int format, const int v[3], uint32_t old) {
  if (format == pel_FMT_R5G6B5) return uint32_t((v[2] & 31) << 11 | (v[1] & 63) << 5 | (v[0] & 31));
  return uint32_t((v[2] & 31) << 10 | (v[1] & 31) << 5 | (v[0] & 31)) | (old & 0x8000u);
}

// Alpha and AlphaMap. `own`: the pair blends with its own arithmetic (P8 and
// 4-byte sources onto 4 bytes, P8 and R5G6B5 onto R5G6B5).
inline uint32_t alphaOf(int readFormat, uint32_t s, int dstFormat, uint32_t old, int a, bool own) {
  if (own && bytes4(dstFormat)) {
    const Rgba d = widen(dstFormat, old), c = widen(readFormat, s);
    auto f = [a](int dv, int sv) { return (sv * a + dv * (256 - a)) >> 8; };
    return narrow(dstFormat, f(d.b, c.b), f(d.g, c.g), f(d.r, c.r), old);
  }
  if (own) {  // R5G6B5: a floored share of the difference
    int d[3], sv[3], bits[3];
    fieldsOf(dstFormat, old, d, bits);
    fieldsOf(readFormat, s, sv, bits);
    for (int i = 0; i < 3; ++i) d[i] += int(std::floor(double((sv[i] - d[i]) * a) / 256.0));
    return fromFields(dstFormat, d, old);
  }
  if (pelBytes(dstFormat) >= 3) {
    const Rgba d = widen(dstFormat, old), c = widen(readFormat, s);
    auto f = [a](int dv, int sv) { return ((dv * (256 - a)) >> 8) + ((sv * a) >> 8); };
    return narrow(dstFormat, f(d.b, c.b), f(d.g, c.g), f(d.r, c.r), old);
  }
  // 16 bits: the source in the destination's widths, then both shares.
  int d[3], sv[3], dBits[3], sBits[3];
  fieldsOf(dstFormat, old, d, dBits);
  fieldsOf(readFormat, s, sv, sBits);
  for (int i = 0; i < 3; ++i) {
    const int fitted = sBits[i] >= dBits[i] ? sv[i] >> (sBits[i] - dBits[i]) : sv[i] << (dBits[i] - sBits[i]);
    d[i] = ((fitted * a) >> 8) + ((d[i] * (256 - a)) >> 8);
  }
  return fromFields(dstFormat, d, old);
}

inline uint32_t alphaAddOf(int readFormat, uint32_t s, int dstFormat, uint32_t old, int a) {
  const Rgba d = widen(dstFormat, old), c = widen(readFormat, s);
  auto f = [a](int dv, int sv) { return std::min(255, ((dv * (256 - a)) >> 8) + sv); };
  return narrow(dstFormat, f(d.b, c.b), f(d.g, c.g), f(d.r, c.r), old);
}

// What a draw sets beyond its mode.
struct ModelParams {
  int mode = pel_OP_COPY;
  bool scaled = false;
  int alpha = 0;
  float scaleX = 1, scaleY = 1;
  const imgRowCTy* alphaMap = nullptr;
  const imgRowCTy* zSrc = nullptr;
  imgRowCTy* zDst = nullptr;
};

// The 16.16 step of a scale.
inline uint32_t stepOf(float scale) { return uint32_t(int32_t(1.0 / double(scale) * 65536.0)); }

// One draw of the model: the source rectangle r of `src` (with its palette
// table for `dstFormat`, when paletted) at (x + r.x, y + r.y) of `dst`,
// keyed when the source is. Scaled draws sample the whole source.
inline void modelDraw(const imgRowCTy& src, imgRowCTy& dst, int x, int y, const rectCTy& r, const ModelParams& p) {
  const bool paletted = src.desc.palette != nullptr;
  const int dstFormat = dst.PelFormat(), mode = p.mode;
  // A paletted source reads its table entry, a pel of the destination's
  // layout (the one table of X1R5G5B5 and A1R5G5B5 read as X1R5G5B5).
  const int readFormat = paletted ? (dstFormat == pel_FMT_A1R5G5B5 ? pel_FMT_X1R5G5B5 : dstFormat) : src.PelFormat();
  const bool own = (paletted || (bytes4(src.PelFormat()) && bytes4(dstFormat)) ||
                    (src.PelFormat() == pel_FMT_R5G6B5 && dstFormat == pel_FMT_R5G6B5)) &&
                   (bytes4(dstFormat) || dstFormat == pel_FMT_R5G6B5);
  const bool scaled = p.scaled || mode == pel_OP_STRETCH;
  const bool depth = !scaled && p.zSrc && p.zDst && mode != pel_OP_ALPHA && mode != pel_OP_SRCALPHAK &&
                     mode != pel_OP_ALPHAMAP && mode != pel_OP_ALPHAADD;
  uint32_t key = 0;
  if (src.keyFlag) {
    const uint32_t c = src.keyColor;
    switch (readFormat) {
      case pel_FMT_R8G8B8: key = c & 0xFFFFFF; break;
      case pel_FMT_R5G6B5: key = ((c >> 19 & 31) << 11) | ((c >> 10 & 63) << 5) | (c >> 3 & 31); break;
      case pel_FMT_X1R5G5B5: key = ((c >> 19 & 31) << 10) | ((c >> 11 & 31) << 5) | (c >> 3 & 31); break;
      case pel_FMT_A1R5G5B5: key = 0x8000 | ((c >> 19 & 31) << 10) | ((c >> 11 & 31) << 5) | (c >> 3 & 31); break;
      default: key = c;
    }
  }
  for (int i = 0; i < r.h; ++i)
    for (int j = 0; j < r.w; ++j) {
      const int dx = x + r.x + j, dy = y + r.y + i;
      if (depth) {
        const int32_t zs = int32_t(pelAt(*p.zSrc, r.x + j, r.y + i)), zd = int32_t(pelAt(*p.zDst, dx, dy));
        if (zs <= zd) continue;
        setPel(*p.zDst, dx, dy, uint32_t(zs));
      }
      int sx = r.x + j, sy = r.y + i;
      if (scaled) {
        sx = int((uint32_t(r.x + j) * stepOf(p.scaleX)) >> 16);
        sy = int((uint32_t(r.y + i) * stepOf(p.scaleY)) >> 16);
      }
      uint32_t s = pelAt(src, sx, sy);
      if (paletted) {
        // The table entry: 4.106's conversion of the palette entry, bit 15
        // of the 16-bit entries from A >> 7.
        const A8R8G8B8 e = pelFromRaw<A8R8G8B8>(src.desc.palette->Entry(s));
        s = narrow(dstFormat == pel_FMT_A8R8G8B8 ? pel_FMT_X8R8G8B8 : dstFormat, e.b, e.g, e.r,
                   uint32_t(e.a) << 24 | (e.a >= 128 ? 0x8000u : 0));
      }
      if (src.keyFlag && ((s ^ key) & keyMask(readFormat)) == 0) continue;
      const uint32_t old = pelAt(dst, dx, dy);
      uint32_t out;
      switch (mode) {
        case pel_OP_COPY:
        case pel_OP_SRCALPHA:
        case pel_OP_STRETCH: out = paletted ? s : copyOf(src.PelFormat(), s, dstFormat, old); break;
        case pel_OP_ALPHA:
        case pel_OP_SRCALPHAK: out = alphaOf(readFormat, s, dstFormat, old, p.alpha, own); break;
        case pel_OP_ALPHAMAP:
          out = alphaOf(readFormat, s, dstFormat, old, int(pelAt(*p.alphaMap, r.x + j, r.y + i)), own);
          break;
        case pel_OP_ALPHAADD: out = alphaAddOf(readFormat, s, dstFormat, old, p.alpha); break;
        default: {
          const Rgba d = widen(dstFormat, old), c = widen(readFormat, s);
          out = narrow(dstFormat, modeOf(mode, d.b, c.b), modeOf(mode, d.g, c.g), modeOf(mode, d.r, c.r), old);
        }
      }
      setPel(dst, dx, dy, out);
    }
}

inline void modelDraw(const imgRowCTy& src, imgRowCTy& dst, int x, int y, const rectCTy& r, int mode) {
  ModelParams p;
  p.mode = mode;
  modelDraw(src, dst, x, y, r, p);
}

}  // namespace draw_test
