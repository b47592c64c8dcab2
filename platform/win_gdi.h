// GDI32 services of the engine: stock objects, and text and DIB output on
// the device contexts of DirectDraw surfaces (IDirectDrawSurface7::GetDC).
#pragma once

#include "platform/win_bitmap.h"
#include "platform/win_types.h"

#define BLACK_BRUSH 4
// Stock objects are fixed handles; nothing draws with them on this platform.
HGDIOBJ GetStockObject(int object);

// Colours: 0x00BBGGRR.
using COLORREF = DWORD;
#define RGB(r, g, b) \
  (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<DWORD>(static_cast<BYTE>(g)) << 8) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define GetRValue(c) (static_cast<BYTE>((c) & 0xFF))
#define GetGValue(c) (static_cast<BYTE>(((c) >> 8) & 0xFF))
#define GetBValue(c) (static_cast<BYTE>(((c) >> 16) & 0xFF))
#define CLR_INVALID 0xFFFFFFFFu

#define TRANSPARENT 1
#define OPAQUE 2

#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

// A surface's device context starts with black text on a white opaque
// background and the viewport origin at (0, 0). Calls on any other device
// context fail (CLR_INVALID, 0 or FALSE).
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF SetBkColor(HDC dc, COLORREF colour);
int SetBkMode(HDC dc, int mode);
// Each character is a cell of 8 x 16 pels of the layer's own font, its
// background filled when the background mode is OPAQUE; clipped to the
// surface.
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous);
// 8- and 24-bit DIBs with DIB_RGB_COLORS: the rectangle (xSrc, ySrc, width,
// height) of the DIB (ySrc counted from the bottom row for bottom-up DIBs)
// lands at (x, y); bits holds the scan lines startScan to startScan + lines
// - 1 in the DIB's order. Clipped to the DIB and the surface. Returns the
// number of scan lines given, 0 on failure.
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
