// GDI on the device contexts of surfaces: colours, background mode, the
// viewport origin, text in the layer's 8 x 16 font and 8- and 24-bit DIBs.
// A context writes straight into the surface's pels and keeps the rectangle
// it drew on, which the surface shows when the context is released.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <utility>

#include "platform/ddraw_impl.h"
#include "platform/font8x16.h"
#include "platform/win_gdi.h"

namespace plat::dd {
namespace {

struct SurfaceDC {
  Surface* surface;
  COLORREF text = RGB(0, 0, 0);
  COLORREF background = RGB(255, 255, 255);
  int mode = OPAQUE;
  POINT origin{0, 0};
  RECT drawn{0, 0, 0, 0};
};

std::mutex g_mutex;
std::set<SurfaceDC*>& contexts() {
  static auto* s = new std::set<SurfaceDC*>;  // lives for the process
  return *s;
}

SurfaceDC* find(HDC dc) {
  auto* c = reinterpret_cast<SurfaceDC*>(dc);
  std::lock_guard<std::mutex> hold(g_mutex);
  return contexts().count(c) ? c : nullptr;
}

uint32_t colourPel(const Surface& s, COLORREF c) { return pelOf(s.format(), GetRValue(c), GetGValue(c), GetBValue(c)); }

void putPel(Surface& s, int x, int y, uint32_t pel) {
  const int bytes = formatInfo(s.format()).bytes;
  std::memcpy(s.pelAt(x, y), &pel, size_t(bytes));  // little-endian: the low bytes
}

void noteDrawn(SurfaceDC& dc, LONG left, LONG top, LONG right, LONG bottom) {
  RECT& d = dc.drawn;
  if (right <= left || bottom <= top) return;
  if (d.right <= d.left) {
    d = {left, top, right, bottom};
    return;
  }
  d = {std::min(d.left, left), std::min(d.top, top), std::max(d.right, right), std::max(d.bottom, bottom)};
}

}  // namespace

HDC createSurfaceDC(Surface* surface) {
  auto* dc = new (std::nothrow) SurfaceDC{surface};
  if (!dc) return nullptr;
  std::lock_guard<std::mutex> hold(g_mutex);
  contexts().insert(dc);
  return reinterpret_cast<HDC>(dc);
}

RECT destroySurfaceDC(HDC handle) {
  auto* dc = reinterpret_cast<SurfaceDC*>(handle);
  {
    std::lock_guard<std::mutex> hold(g_mutex);
    if (!contexts().erase(dc)) return RECT{0, 0, 0, 0};
  }
  RECT drawn = dc->drawn;
  delete dc;
  return drawn;
}

}  // namespace plat::dd

using plat::dd::SurfaceDC;
using plat::dd::Surface;

COLORREF SetTextColor(HDC handle, COLORREF colour) {
  SurfaceDC* dc = plat::dd::find(handle);
  if (!dc) return CLR_INVALID;
  return std::exchange(dc->text, colour);
}

COLORREF SetBkColor(HDC handle, COLORREF colour) {
  SurfaceDC* dc = plat::dd::find(handle);
  if (!dc) return CLR_INVALID;
  return std::exchange(dc->background, colour);
}

int SetBkMode(HDC handle, int mode) {
  SurfaceDC* dc = plat::dd::find(handle);
  if (!dc || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
  return std::exchange(dc->mode, mode);
}

BOOL SetViewportOrgEx(HDC handle, int x, int y, POINT* previous) {
  SurfaceDC* dc = plat::dd::find(handle);
  if (!dc) return FALSE;
  if (previous) *previous = dc->origin;
  dc->origin = {x, y};
  return TRUE;
}

BOOL TextOutA(HDC handle, int x, int y, LPCSTR text, int length) {
  SurfaceDC* dc = plat::dd::find(handle);
  if (!dc || length < 0 || (length > 0 && !text)) return FALSE;
  Surface& s = *dc->surface;
  const uint32_t fg = plat::dd::colourPel(s, dc->text), bg = plat::dd::colourPel(s, dc->background);
  const bool opaque = dc->mode == OPAQUE;
  const LONG left = LONG(x) + dc->origin.x, top = LONG(y) + dc->origin.y;
  const LONG y0 = std::max<LONG>(top, 0), y1 = std::min<LONG>(top + plat::detail::kGlyphHeight, s.height());
  for (int i = 0; i < length; ++i) {
    const LONG cell = left + LONG(i) * plat::detail::kGlyphWidth;
    const LONG x0 = std::max<LONG>(cell, 0), x1 = std::min<LONG>(cell + plat::detail::kGlyphWidth, s.width());
    if (x0 >= x1 || y0 >= y1) continue;
    const uint8_t* glyph = plat::detail::glyph8x16(static_cast<unsigned char>(text[i]));
    for (LONG py = y0; py < y1; ++py) {
      const uint8_t bits = glyph[py - top];
      for (LONG px = x0; px < x1; ++px) {
        if (bits & (0x80 >> (px - cell))) plat::dd::putPel(s, int(px), int(py), fg);
        else if (opaque) plat::dd::putPel(s, int(px), int(py), bg);
      }
    }
    plat::dd::noteDrawn(*dc, x0, y0, x1, y1);
  }
  return TRUE;
}

int SetDIBitsToDevice(HDC handle, int x, int y, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  SurfaceDC* dc = plat::dd::find(handle);
  if (!dc || !bits || !info || usage != DIB_RGB_COLORS) return 0;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const int depth = h.biBitCount;
  if ((depth != 8 && depth != 24) || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0) return 0;
  const int64_t dibW = h.biWidth, dibH = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
  const bool bottomUp = h.biHeight > 0;
  const int64_t stride = (dibW * depth + 31) / 32 * 4;
  const RGBQUAD* table = info->bmiColors;
  const uint32_t colours = depth == 8 ? (h.biClrUsed && h.biClrUsed < 256 ? h.biClrUsed : 256) : 0;
  Surface& s = *dc->surface;
  const auto* rows = static_cast<const uint8_t*>(bits);
  const LONG left = LONG(x) + dc->origin.x, top = LONG(y) + dc->origin.y;
  for (int64_t j = 0; j < int64_t(height); ++j) {
    const int64_t py = top + j;
    if (py < 0 || py >= s.height()) continue;
    // The DIB row shown on this line, in storage order.
    const int64_t row = bottomUp ? int64_t(ySrc) + int64_t(height) - 1 - j : int64_t(ySrc) + j;
    if (row < 0 || row >= dibH || row < int64_t(startScan) || row >= int64_t(startScan) + lines) continue;
    const uint8_t* line = rows + (row - startScan) * stride;
    for (int64_t i = 0; i < int64_t(width); ++i) {
      const int64_t px = left + i, col = int64_t(xSrc) + i;
      if (px < 0 || px >= s.width() || col < 0 || col >= dibW) continue;
      COLORREF c;
      if (depth == 8) {
        const uint8_t index = line[col];
        const RGBQUAD q = index < colours ? table[index] : RGBQUAD{0, 0, 0, 0};
        c = RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
      } else {
        const uint8_t* p = line + col * 3;
        c = RGB(p[2], p[1], p[0]);
      }
      plat::dd::putPel(s, int(px), int(py), plat::dd::colourPel(s, c));
    }
    plat::dd::noteDrawn(*dc, std::max<LONG>(left, 0), LONG(py), std::min<LONG>(left + LONG(width), s.width()),
                        LONG(py) + 1);
  }
  return int(lines);
}
