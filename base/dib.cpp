// DIB blocks, rectangle copies and the BMP loader.
#include "base/dib.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "base/err.h"
#include "base/mem.h"
#include "base/mf.h"
#include "platform/win32.h"

namespace {

constexpr uint64_t kMaxBlock = 0x7FFFFFFF;
constexpr int32_t kMaxSide = 65536;  // the widest and highest BMP loaded

uint64_t rowBytes(int64_t width, int bits) { return static_cast<uint64_t>((width * bits + 31) / 32) * 4; }

uint64_t absHeight(const dibHeader* dib) { return static_cast<uint64_t>(std::abs(static_cast<int64_t>(dib->biHeight))); }

// Byte address of top-down row y.
template <class Byte>
Byte* rowAt(const dibHeader* dib, Byte* bits, int64_t y) {
  const auto stride = static_cast<int64_t>(rowBytes(dib->biWidth, dib->biBitCount));
  const int64_t index = dib->biHeight > 0 ? static_cast<int64_t>(absHeight(dib)) - 1 - y : y;
  return bits + index * stride;
}

// The three masks of a 16-bit destination: its own with BI_BITFIELDS, else 5-5-5.
void masksOf(const dibHeader* dib, uint32_t masks[3]) {
  if (dib->biCompression == BI_BITFIELDS) {
    std::memcpy(masks, reinterpret_cast<const uint8_t*>(dib) + sizeof(dibHeader), 12);
  } else {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
}

uint32_t packChannel(uint8_t c, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int width = std::popcount(mask);
  const uint32_t v = width <= 8 ? static_cast<uint32_t>(c) >> (8 - width) : static_cast<uint32_t>(c) << (width - 8);
  return (v << shift) & mask;
}

// One row of count pels converted from the source's bit count to the
// destination's (8 to 16, 8 to 24, 24 to 16).
void convertRow(const dibHeader* src, const uint8_t* from, const dibHeader* dst, uint8_t* to, int64_t count) {
  const auto* table = reinterpret_cast<const uint8_t*>(src) + sizeof(dibHeader);
  const uint32_t entries = src->biBitCount == 8 ? std::min<uint32_t>(dibColors(src), 256) : 0;
  uint32_t masks[3] = {};
  if (dst->biBitCount == 16) masksOf(dst, masks);
  for (int64_t i = 0; i < count; ++i) {
    uint8_t b = 0, g = 0, r = 0;
    if (src->biBitCount == 8) {
      if (from[i] < entries) {
        b = table[from[i] * 4];
        g = table[from[i] * 4 + 1];
        r = table[from[i] * 4 + 2];
      }
    } else {
      b = from[i * 3];
      g = from[i * 3 + 1];
      r = from[i * 3 + 2];
    }
    if (dst->biBitCount == 24) {
      to[i * 3] = b;
      to[i * 3 + 1] = g;
      to[i * 3 + 2] = r;
    } else {
      const uint32_t v = packChannel(r, masks[0]) | packChannel(g, masks[1]) | packChannel(b, masks[2]);
      to[i * 2] = static_cast<uint8_t>(v);
      to[i * 2 + 1] = static_cast<uint8_t>(v >> 8);
    }
  }
}

bool converts(int from, int to) { return (from == 8 && (to == 16 || to == 24)) || (from == 24 && to == 16); }

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// Checks a mapped BMP file and copies its info header and colour table into
// header (40 + 1024 bytes). Returns the first byte of its rows, or null when
// the file is not one bmp8Load takes.
const uint8_t* checkBmp(const uint8_t* file, uint32_t size, uint8_t* header) {
  constexpr uint32_t kFileHeader = 14;
  if (!file || size < kFileHeader + sizeof(dibHeader) || file[0] != 'B' || file[1] != 'M') return nullptr;
  if (le32(file + kFileHeader) != sizeof(dibHeader)) return nullptr;
  dibHeader info;
  std::memcpy(&info, file + kFileHeader, sizeof info);
  const int bits = info.biBitCount;
  if (info.biWidth <= 0 || info.biWidth > kMaxSide || info.biHeight == 0 || info.biHeight < -kMaxSide ||
      info.biHeight > kMaxSide)
    return nullptr;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;
  if (info.biCompression != BI_RGB && info.biCompression != BI_BITFIELDS) return nullptr;
  if (dibColors(&info) > 256) return nullptr;
  const uint64_t tableEnd = kFileHeader + sizeof(dibHeader) + static_cast<uint64_t>(dibPaletteBytes(&info));
  if (tableEnd > size) return nullptr;
  std::memcpy(header, &info, sizeof info);
  std::memcpy(header + sizeof info, file + kFileHeader + sizeof info, dibPaletteBytes(&info));
  // The rows start at the file header's bit offset when it is sound.
  const uint32_t offset = le32(file + 10);
  const uint64_t start = offset >= tableEnd && offset < size ? offset : tableEnd;
  if (start + rowBytes(info.biWidth, bits) * absHeight(&info) > size) return nullptr;
  return file + start;
}

}  // namespace

uint32_t dibColors(const dibHeader* dib) {
  if (dib->biClrUsed) return dib->biClrUsed;
  if (dib->biBitCount >= 1 && dib->biBitCount <= 8) return 1u << dib->biBitCount;
  return 0;
}

uint32_t dibPaletteBytes(const dibHeader* dib) {
  uint32_t entries = dibColors(dib);
  if (entries == 0 && dib->biCompression == BI_BITFIELDS) entries = 3;
  return 4 * entries;
}

uint8_t* dibBits(dibHeader* dib) { return reinterpret_cast<uint8_t*>(dib) + sizeof(dibHeader) + dibPaletteBytes(dib); }

const uint8_t* dibBits(const dibHeader* dib) {
  return reinterpret_cast<const uint8_t*>(dib) + sizeof(dibHeader) + dibPaletteBytes(dib);
}

dibHeader* dibCreate(int32_t width, int32_t height, int bits, int colours, int withBits) {
  if (width < 0 || bits < 1 || bits > 32) {
    errRaise(ERR_BAD_ARGUMENT);
    return nullptr;
  }
  if (colours > 256 || colours < 0) colours = 0;
  uint64_t entries = static_cast<uint64_t>(colours);
  if (bits <= 8 && colours == 0) entries = 1u << bits;
  const uint64_t image = rowBytes(width, bits) * static_cast<uint64_t>(std::abs(static_cast<int64_t>(height)));
  const uint64_t total = sizeof(dibHeader) + 4 * entries + (withBits ? image : 0);
  if (total > kMaxBlock || image > kMaxBlock) {
    if (errRaise(ERR_NO_MEMORY) == ERR_OUTCOME_RETRY) DebugBreak();
    return nullptr;
  }
  auto* dib = static_cast<dibHeader*>(memAllocChecked(static_cast<size_t>(total)));
  if (!dib) return nullptr;
  std::memset(dib, 0, sizeof(dibHeader) + 4 * entries);
  dib->biSize = sizeof(dibHeader);
  dib->biWidth = width;
  dib->biHeight = height;
  dib->biPlanes = 1;
  dib->biBitCount = static_cast<WORD>(bits);
  dib->biCompression = BI_RGB;
  dib->biSizeImage = static_cast<DWORD>(image);
  dib->biClrUsed = bits < 16 ? static_cast<DWORD>(colours) : 0;
  if (colours == 3 && (bits == 16 || bits == 32)) {
    const uint32_t masks16[3] = {0xF800, 0x07E0, 0x001F};
    const uint32_t masks32[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    std::memcpy(reinterpret_cast<uint8_t*>(dib) + sizeof(dibHeader), bits == 16 ? masks16 : masks32, 12);
    dib->biCompression = BI_BITFIELDS;
  }
  return dib;
}

dibHeader* dibCopyRect(dibHeader* dst, void* dstBits, int32_t dx, int32_t dy, const dibHeader* src,
                       const void* srcBits, int32_t sx, int32_t sy, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return dst;
  // The source rectangle clipped to the source.
  int64_t x0 = std::max<int64_t>(sx, 0), y0 = std::max<int64_t>(sy, 0);
  int64_t x1 = std::min<int64_t>(static_cast<int64_t>(sx) + width, src->biWidth);
  int64_t y1 = std::min<int64_t>(static_cast<int64_t>(sy) + height, static_cast<int64_t>(absHeight(src)));
  if (x1 <= x0 || y1 <= y0) return dst;
  int64_t tx, ty;  // where (x0, y0) goes in the destination
  if (!dst) {
    dst = dibCreate(static_cast<int32_t>(x1 - x0), static_cast<int32_t>(y1 - y0), src->biBitCount,
                    static_cast<int>(dibPaletteBytes(src) / 4), 1);
    if (!dst) return nullptr;
    std::memcpy(reinterpret_cast<uint8_t*>(dst) + sizeof(dibHeader), reinterpret_cast<const uint8_t*>(src) + sizeof(dibHeader),
                std::min(dibPaletteBytes(src), dibPaletteBytes(dst)));
    dstBits = nullptr;
    tx = ty = 0;
  } else {
    tx = static_cast<int64_t>(dx) + (x0 - sx);
    ty = static_cast<int64_t>(dy) + (y0 - sy);
  }
  // The destination rectangle clipped to the destination; the source follows.
  const int64_t cx0 = std::max<int64_t>(tx, 0), cy0 = std::max<int64_t>(ty, 0);
  const int64_t cx1 = std::min<int64_t>(tx + (x1 - x0), dst->biWidth);
  const int64_t cy1 = std::min<int64_t>(ty + (y1 - y0), static_cast<int64_t>(absHeight(dst)));
  if (cx1 <= cx0 || cy1 <= cy0) return dst;
  x0 += cx0 - tx;
  y0 += cy0 - ty;
  const int64_t w = cx1 - cx0, h = cy1 - cy0;

  const int sbits = src->biBitCount, dbits = dst->biBitCount;
  if (sbits != dbits && !converts(sbits, dbits)) {
    errRaise(-64);
    return nullptr;
  }
  const uint8_t* from = srcBits ? static_cast<const uint8_t*>(srcBits) : dibBits(src);
  uint8_t* to = dstBits ? static_cast<uint8_t*>(dstBits) : dibBits(dst);
  // Rows of one buffer that move towards later rows are copied last first.
  const int64_t srcStep = src->biHeight > 0 ? -1 : 1;  // address direction of later rows
  const bool backwards = from == to && (rowAt(dst, to, cy0) - rowAt(src, from, y0)) * srcStep > 0;
  for (int64_t i = 0; i < h; ++i) {
    const int64_t row = backwards ? h - 1 - i : i;
    const uint8_t* s = rowAt(src, from, y0 + row);
    uint8_t* d = rowAt(dst, to, cy0 + row);
    if (sbits == dbits) {
      // Whole bytes: a partly covered last byte is copied whole.
      std::memmove(d + cx0 * dbits / 8, s + x0 * sbits / 8, static_cast<size_t>((w * sbits + 7) / 8));
    } else {
      convertRow(src, s + x0 * sbits / 8, dst, d + cx0 * dbits / 8, w);
    }
  }
  return dst;
}

dibHeader* bmp8Load(const char* name, int32_t x, int32_t y, int32_t width, int32_t height) {
  mfFile* file = mfOpenRead(nullptr, name);
  if (!file) return nullptr;
  alignas(dibHeader) uint8_t header[sizeof(dibHeader) + 1024];
  const uint8_t* bits = checkBmp(file->view, file->dataSize, header);
  errCode code = ERR_DATA;
  dibHeader* dib = nullptr;
  if (bits) {
    code = 0;
    ERR_TRY(frame) {
      dib = dibCopyRect(nullptr, nullptr, 0, 0, reinterpret_cast<const dibHeader*>(header), bits, x, y, width,
                        height);
    }
    ERR_CATCH(frame, caught) {
      code = caught;
      errEndCatch(errGetState(), &frame);
    }
    ERR_END_TRY
  }
  mfClose(file, 0);
  if (code != 0) {
    if (errRaise(code) == ERR_OUTCOME_RETRY) DebugBreak();
    return nullptr;
  }
  return dib;
}
