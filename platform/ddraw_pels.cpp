// Pel formats and the pel loops of the emulated display.
#include "platform/ddraw_pels.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "platform/test_api.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plat::dd {
namespace {

constexpr DWORD kPf = sizeof(DDPIXELFORMAT);
const FormatInfo kFormats[] = {
    /* Unknown  */ {0, {kPf, 0, 0, 0, 0, 0, 0, 0}, 0, SDL_PIXELFORMAT_UNKNOWN},
    /* P8       */ {1, {kPf, DDPF_PALETTEINDEXED8 | DDPF_RGB, 0, 8, 0, 0, 0, 0}, 0xFFu, SDL_PIXELFORMAT_INDEX8},
    /* R5G6B5   */ {2, {kPf, DDPF_RGB, 0, 16, 0xF800, 0x07E0, 0x001F, 0}, 0xFFFFu, SDL_PIXELFORMAT_RGB565},
    /* X1R5G5B5 */ {2, {kPf, DDPF_RGB, 0, 16, 0x7C00, 0x03E0, 0x001F, 0}, 0x7FFFu, SDL_PIXELFORMAT_RGB555},
    /* R8G8B8   */ {3, {kPf, DDPF_RGB, 0, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0}, 0xFFFFFFu, SDL_PIXELFORMAT_BGR24},
    /* X8R8G8B8 */ {4, {kPf, DDPF_RGB, 0, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0}, 0xFFFFFFu, SDL_PIXELFORMAT_RGB888},
};

std::atomic<bool> g_portable{false};

// Row order that keeps overlapping rows of one buffer.
template <class RowFn>
void eachRow(const uint8_t* src, LONG srcPitch, uint8_t* dst, LONG dstPitch, int h, RowFn row) {
  if (dst > src) {
    for (int y = h - 1; y >= 0; --y) row(src + LONG(y) * srcPitch, dst + LONG(y) * dstPitch);
  } else {
    for (int y = 0; y < h; ++y) row(src + LONG(y) * srcPitch, dst + LONG(y) * dstPitch);
  }
}

template <class T>
void keyedRowScalar(const uint8_t* s, uint8_t* d, int n, uint32_t key, uint32_t mask) {
  for (int i = 0; i < n; ++i) {
    T v;
    std::memcpy(&v, s + i * sizeof(T), sizeof(T));
    if ((v & mask) != (key & mask)) std::memcpy(d + i * sizeof(T), &v, sizeof(T));
  }
}

void keyedRow24(const uint8_t* s, uint8_t* d, int n, uint32_t key, uint32_t mask) {
  for (int i = 0; i < n; ++i, s += 3, d += 3) {
    uint32_t v = s[0] | (uint32_t(s[1]) << 8) | (uint32_t(s[2]) << 16);
    if ((v & mask) != (key & mask)) std::memcpy(d, s, 3);
  }
}

#if defined(__SSE2__)
// 16 bytes at a time: destination bytes stay where the source pel is the key.
template <int Bytes>
int keyedRowSse2(const uint8_t* s, uint8_t* d, int n, uint32_t key, uint32_t mask) {
  constexpr int kPerVector = 16 / Bytes;
  __m128i k, m;
  if constexpr (Bytes == 1) {
    k = _mm_set1_epi8(char(key & mask));
    m = _mm_set1_epi8(char(mask));
  } else if constexpr (Bytes == 2) {
    k = _mm_set1_epi16(short(key & mask));
    m = _mm_set1_epi16(short(mask));
  } else {
    k = _mm_set1_epi32(int(key & mask));
    m = _mm_set1_epi32(int(mask));
  }
  int i = 0;
  for (; i + kPerVector <= n; i += kPerVector) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * Bytes));
    __m128i masked = _mm_and_si128(v, m);
    __m128i keep;
    if constexpr (Bytes == 1) keep = _mm_cmpeq_epi8(masked, k);
    else if constexpr (Bytes == 2) keep = _mm_cmpeq_epi16(masked, k);
    else keep = _mm_cmpeq_epi32(masked, k);
    __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i * Bytes));
    __m128i out = _mm_or_si128(_mm_and_si128(keep, old), _mm_andnot_si128(keep, v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * Bytes), out);
  }
  return i;
}
#endif

template <class T>
void keyedRow(const uint8_t* s, uint8_t* d, int n, uint32_t key, uint32_t mask) {
  int done = 0;
#if defined(__SSE2__)
  if (useSse2()) done = keyedRowSse2<sizeof(T)>(s, d, n, key, mask);
#endif
  keyedRowScalar<T>(s + done * sizeof(T), d + done * sizeof(T), n - done, key, mask);
}

// The channel widening of SDL's R5G6B5 to XRGB8888 blit: 5-bit fields as
// v * 255 / 31 cut, the 6-bit green as the sum of its upper three bits and
// its lower three bits widened apart (so 63 gives 254).
constexpr uint32_t wide5(uint32_t v) { return (v * 1053) >> 7; }
constexpr uint32_t wideG(uint32_t g) { return (((g >> 3) * 259) >> 3) + (g & 7) * 4; }

struct Xrgb565Tables {
  uint32_t low[256];   // by the pel's low byte
  uint32_t high[256];  // by its high byte
  Xrgb565Tables() {
    for (uint32_t b = 0; b < 256; ++b) {
      low[b] = wide5(b & 31) + (wideG(b >> 5) << 8);
      high[b] = 0xFF000000u + (wide5(b >> 3) << 16) + (wideG((b & 7) << 3) << 8);
    }
  }
};
const Xrgb565Tables g_xrgb565;

}  // namespace

const FormatInfo& formatInfo(Format f) { return kFormats[static_cast<int>(f)]; }

Format formatOf(const DDPIXELFORMAT& pf) {
  if (pf.dwFlags & DDPF_PALETTEINDEXED8) return Format::P8;
  if (!(pf.dwFlags & DDPF_RGB)) return Format::Unknown;
  for (Format f : {Format::R5G6B5, Format::X1R5G5B5, Format::R8G8B8, Format::X8R8G8B8}) {
    const DDPIXELFORMAT& k = formatInfo(f).ddpf;
    if (pf.dwRGBBitCount == k.dwRGBBitCount && pf.dwRBitMask == k.dwRBitMask && pf.dwGBitMask == k.dwGBitMask &&
        pf.dwBBitMask == k.dwBBitMask)
      return f;
  }
  return Format::Unknown;
}

Format formatOfBits(DWORD bits) {
  switch (bits) {
    case 8: return Format::P8;
    case 16: return Format::R5G6B5;
    case 24: return Format::R8G8B8;
    case 32: return Format::X8R8G8B8;
    default: return Format::Unknown;
  }
}

uint32_t pelOf(Format f, uint8_t r, uint8_t g, uint8_t b) {
  switch (f) {
    case Format::P8: return (uint32_t(r) + g + b) / 3;
    case Format::R5G6B5: return (uint32_t(r >> 3) << 11) | (uint32_t(g >> 2) << 5) | (b >> 3);
    case Format::X1R5G5B5: return (uint32_t(r >> 3) << 10) | (uint32_t(g >> 3) << 5) | (b >> 3);
    case Format::R8G8B8:
    case Format::X8R8G8B8: return (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
    default: return 0;
  }
}

LONG pitchFor(Format f, int width, int padding) {
  const LONG unit = formatInfo(f).bytes == 3 ? 12 : 4;
  auto up = [unit](LONG v) { return (v + unit - 1) / unit * unit; };
  return up(LONG(width) * formatInfo(f).bytes) + up(std::max(0, padding));
}

void copyPels(int bytes, const uint8_t* src, LONG srcPitch, uint8_t* dst, LONG dstPitch, int w, int h) {
  const size_t n = size_t(w) * bytes;
  if (srcPitch == dstPitch && size_t(srcPitch) == n) {
    std::memmove(dst, src, n * size_t(h));  // rows without gaps: one run
    return;
  }
  eachRow(src, srcPitch, dst, dstPitch, h, [n](const uint8_t* s, uint8_t* d) { std::memmove(d, s, n); });
}

void copyKeyed(int bytes, const uint8_t* src, LONG srcPitch, uint8_t* dst, LONG dstPitch, int w, int h,
               uint32_t key, uint32_t mask) {
  const size_t n = size_t(w) * bytes;
  // A row that overlaps its own destination is read from a copy.
  const bool overlap = src < dst + LONG(h) * dstPitch && dst < src + LONG(h) * srcPitch;
  std::vector<uint8_t> scratch(overlap ? n : 0);
  eachRow(src, srcPitch, dst, dstPitch, h, [&](const uint8_t* s, uint8_t* d) {
    if (overlap) {
      std::memcpy(scratch.data(), s, n);
      s = scratch.data();
    }
    switch (bytes) {
      case 1: keyedRow<uint8_t>(s, d, w, key, mask); break;
      case 2: keyedRow<uint16_t>(s, d, w, key, mask); break;
      case 3: keyedRow24(s, d, w, key, mask); break;
      default: keyedRow<uint32_t>(s, d, w, key, mask); break;
    }
  });
}

void fillPels(int bytes, uint8_t* dst, LONG pitch, int w, int h, uint32_t value) {
  if (w <= 0 || h <= 0) return;
  size_t n = size_t(w) * bytes;
  if (size_t(pitch) == n) {
    n *= size_t(h);  // rows without gaps: one run
    h = 1;
  }
  // The pel repeated over 48 bytes (a whole number of pels of every size).
  uint8_t pattern[48];
  for (int i = 0; i < 48; i += bytes) std::memcpy(pattern + i, &value, size_t(bytes));
  for (int y = 0; y < h; ++y, dst += pitch) {
    size_t i = 0;
#if defined(__SSE2__)
    if (useSse2() && bytes != 3) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern));
      for (; i + 64 <= n; i += 64) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 16), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 32), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 48), v);
      }
      for (; i + 16 <= n; i += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
    }
#endif
    for (; i + 48 <= n; i += 48) std::memcpy(dst + i, pattern, 48);
    std::memcpy(dst + i, pattern, n - i);
  }
}

void rowR5G6B5ToXrgb(const uint16_t* src, uint32_t* dst, int n) {
  int i = 0;
#if defined(__SSE2__)
  if (useSse2()) {
    const __m128i five = _mm_set1_epi16(31), six = _mm_set1_epi16(63), seven = _mm_set1_epi16(7);
    const __m128i m5 = _mm_set1_epi16(1053), m3 = _mm_set1_epi16(259), alpha = _mm_set1_epi16(short(0xFF00));
    for (; i + 8 <= n; i += 8) {
      __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      __m128i r = _mm_srli_epi16(_mm_mullo_epi16(_mm_srli_epi16(p, 11), m5), 7);
      __m128i b = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(p, five), m5), 7);
      __m128i g6 = _mm_and_si128(_mm_srli_epi16(p, 5), six);
      __m128i g = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_srli_epi16(g6, 3), m3), 3),
                                _mm_slli_epi16(_mm_and_si128(g6, seven), 2));
      __m128i gb = _mm_or_si128(_mm_slli_epi16(g, 8), b);
      __m128i ar = _mm_or_si128(alpha, r);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi16(gb, ar));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 4), _mm_unpackhi_epi16(gb, ar));
    }
  }
#endif
  for (; i < n; ++i) dst[i] = g_xrgb565.low[src[i] & 0xFF] + g_xrgb565.high[src[i] >> 8];
}

bool useSse2() {
#if defined(__SSE2__)
  return !g_portable.load(std::memory_order_relaxed);
#else
  return false;
#endif
}

}  // namespace plat::dd

namespace plat::test {

void setPelPath(PelPath path) { plat::dd::g_portable = path == PelPath::Portable; }

}  // namespace plat::test
