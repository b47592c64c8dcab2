// The emulated DirectDraw and GDI: locks, blits against a per-pel model,
// flip chains, loss, the text font, DIB output, what reaches the window and
// the manual clock.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/font8x16.h"
#include "platform/test_api.h"
#include "platform/win32.h"
#include "platform/win_ddraw.h"
#include "platform/win_mmsystem.h"
#include "support/plain_window.h"
#include "support/temp_dir.h"

namespace {

using plat::test::PelImage;

struct Fmt {
  const char* name;
  int bits;
  DWORD r, g, b;
  uint32_t colour;  // the bits a key compares
};
const Fmt kFormats[] = {
    {"P8", 8, 0, 0, 0, 0xFF},
    {"R5G6B5", 16, 0xF800, 0x07E0, 0x001F, 0xFFFF},
    {"X1R5G5B5", 16, 0x7C00, 0x03E0, 0x001F, 0x7FFF},
    {"R8G8B8", 24, 0xFF0000, 0xFF00, 0xFF, 0xFFFFFF},
    {"X8R8G8B8", 32, 0xFF0000, 0xFF00, 0xFF, 0xFFFFFF},
};

DDPIXELFORMAT pixelFormat(const Fmt& f) {
  DDPIXELFORMAT pf{};
  pf.dwSize = sizeof pf;
  pf.dwFlags = f.bits == 8 ? DDPF_PALETTEINDEXED8 | DDPF_RGB : DDPF_RGB;
  pf.dwRGBBitCount = DWORD(f.bits);
  pf.dwRBitMask = f.r;
  pf.dwGBitMask = f.g;
  pf.dwBBitMask = f.b;
  return pf;
}

uint32_t readPel(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  std::memcpy(&v, p, size_t(bytes));
  return v;
}
void writePel(uint8_t* p, int bytes, uint32_t v) { std::memcpy(p, &v, size_t(bytes)); }

class Display : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::test::setInstanceDir(tmp_.path.c_str());
    ASSERT_NE(plainWindowClass(), nullptr);
    plat::test::resetDisplay();
    plat::test::clearFaults();
    ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd_), IID_IDirectDraw7, nullptr), DD_OK);
  }
  void TearDown() override {
    for (auto it = surfaces_.rbegin(); it != surfaces_.rend(); ++it) (*it)->Release();
    if (clipper_) clipper_->Release();
    if (dd_) dd_->Release();
    for (HWND w : windows_) DestroyWindow(w);
    plat::test::resetDisplay();
    plat::test::setPelPath(plat::test::PelPath::Best);
    plat::test::traceCalls(false);
    plat::test::keepScreen(false);
    plat::test::setAssumeFocus(plat::test::headless());
    plat::test::setInstanceDir(nullptr);
  }

  HWND window(int x, int y, int clientW, int clientH, DWORD style = 0x90CA0000u) {
    RECT r{x, y, x + clientW, y + clientH};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    HWND w = CreateWindowExA(0, plainWindowClass(), "Display", style, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    if (w) windows_.push_back(w);
    return w;
  }

  IDirectDrawSurface7* offscreen(int w, int h, const Fmt* f = nullptr, DWORD caps = DDSCAPS_SYSTEMMEMORY) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (f ? DDSD_PIXELFORMAT : 0);
    d.dwWidth = DWORD(w);
    d.dwHeight = DWORD(h);
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | caps;
    if (f) d.ddpfPixelFormat = pixelFormat(*f);
    IDirectDrawSurface7* s = nullptr;
    HRESULT hr = dd_->CreateSurface(&d, &s, nullptr);
    EXPECT_EQ(hr, DD_OK);
    if (s) surfaces_.push_back(s);
    return s;
  }

  IDirectDrawSurface7* primary(DWORD backBuffers = 0) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | (backBuffers ? DDSD_BACKBUFFERCOUNT : 0);
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | (backBuffers ? DDSCAPS_FLIP | DDSCAPS_COMPLEX : 0);
    d.dwBackBufferCount = backBuffers;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DD_OK);
    if (s) surfaces_.push_back(s);
    return s;
  }

  // The window-mode primary surface (the desktop), clipped to the window.
  IDirectDrawSurface7* windowPrimary(HWND w) {
    EXPECT_EQ(dd_->SetCooperativeLevel(w, DDSCL_NORMAL), DD_OK);
    IDirectDrawSurface7* front = primary();
    EXPECT_EQ(dd_->CreateClipper(0, &clipper_, nullptr), DD_OK);
    EXPECT_EQ(clipper_->SetHWnd(0, w), DD_OK);
    EXPECT_EQ(front->SetClipper(clipper_), DD_OK);
    return front;
  }

  // Locks the whole surface.
  DDSURFACEDESC2 lock(IDirectDrawSurface7* s) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    return d;
  }

  // Fills every pel with pel(x, y) and every padding byte with 0xA5.
  template <class PelFn>
  void paint(IDirectDrawSurface7* s, int bytes, PelFn pel) {
    DDSURFACEDESC2 d = lock(s);
    auto* base = static_cast<uint8_t*>(d.lpSurface);
    for (DWORD y = 0; y < d.dwHeight; ++y) {
      uint8_t* row = base + LONG(y) * d.lPitch;
      std::memset(row, 0xA5, size_t(d.lPitch));
      for (DWORD x = 0; x < d.dwWidth; ++x) writePel(row + x * bytes, bytes, pel(int(x), int(y)));
    }
    s->Unlock(nullptr);
  }

  TempDir tmp_;
  IDirectDraw7* dd_ = nullptr;
  IDirectDrawClipper* clipper_ = nullptr;
  std::vector<IDirectDrawSurface7*> surfaces_;
  std::vector<HWND> windows_;
};

TEST_F(Display, LockGivesTheRectanglesFirstPelAndAnAlignedPitch) {
  for (int padding : {0, 1, 7}) {
    plat::test::setRowPadding(padding);
    for (const Fmt& f : kFormats) {
      for (int width : {1, 3, 5, 33}) {
        SCOPED_TRACE(std::string(f.name) + " width " + std::to_string(width) + " padding " + std::to_string(padding));
        const int bytes = f.bits / 8;
        IDirectDrawSurface7* s = offscreen(width, 4, &f);
        ASSERT_NE(s, nullptr);
        DDPIXELFORMAT pf{};
        pf.dwSize = sizeof pf;
        ASSERT_EQ(s->GetPixelFormat(&pf), DD_OK);
        EXPECT_EQ(pf.dwRGBBitCount, DWORD(f.bits));
        EXPECT_EQ(pf.dwGBitMask, f.g);
        DDSURFACEDESC2 d = lock(s);
        EXPECT_EQ(d.lPitch % 4, 0);
        EXPECT_EQ(d.lPitch % bytes, 0);
        EXPECT_GE(d.lPitch, width * bytes + padding);
        EXPECT_EQ(d.dwWidth, DWORD(width));
        // A second lock is refused while the first holds.
        DDSURFACEDESC2 again{};
        again.dwSize = sizeof again;
        EXPECT_EQ(s->Lock(nullptr, &again, 0, nullptr), DDERR_SURFACEBUSY);
        ASSERT_EQ(s->Unlock(nullptr), DD_OK);
        EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
        RECT r{width - 1, 2, width, 4};
        DDSURFACEDESC2 part{};
        part.dwSize = sizeof part;
        ASSERT_EQ(s->Lock(&r, &part, 0, nullptr), DD_OK);
        EXPECT_EQ(static_cast<uint8_t*>(part.lpSurface),
                  static_cast<uint8_t*>(d.lpSurface) + 2 * d.lPitch + (width - 1) * bytes);
        s->Unlock(nullptr);
        RECT outside{0, 0, width + 1, 1};
        EXPECT_EQ(s->Lock(&outside, &part, 0, nullptr), DDERR_INVALIDPARAMS);
      }
    }
  }
}

// Blits of every format against a per-pel model: each destination pel inside
// the (clipped) destination rectangle takes the source pel at the same offset
// when that lies inside the source surface (and, keyed, is not the key);
// padding bytes never change.
TEST_F(Display, BltMatchesThePerPelModel) {
  struct Case {
    const char* what;
    RECT dest, src;
    DWORD flags;
    HRESULT result;
  } cases[] = {
      {"whole copy", {0, 0, 20, 12}, {0, 0, 20, 12}, 0, DD_OK},
      {"inner copy", {3, 2, 9, 7}, {10, 4, 16, 9}, 0, DD_OK},
      {"keyed", {1, 1, 17, 11}, {2, 0, 18, 10}, DDBLT_KEYSRC, DD_OK},
      {"dest past the right and bottom", {15, 8, 25, 14}, {0, 0, 10, 6}, 0, DD_OK},
      {"dest before the left and top", {-4, -3, 6, 5}, {0, 0, 10, 8}, DDBLT_KEYSRC, DD_OK},
      {"source past its surface", {0, 0, 8, 8}, {16, 6, 24, 14}, 0, DD_OK},
      {"source before its surface", {5, 5, 15, 10}, {-5, -2, 5, 3}, 0, DD_OK},
      {"entirely outside", {30, 30, 40, 40}, {0, 0, 10, 10}, 0, DD_OK},
      {"inverted", {8, 8, 2, 2}, {2, 2, 8, 8}, 0, DD_OK},
      {"stretch", {0, 0, 10, 10}, {0, 0, 5, 5}, 0, DDERR_NOSTRETCHHW},
  };
  plat::test::setRowPadding(5);
  for (auto path : {plat::test::PelPath::Best, plat::test::PelPath::Portable}) {
    plat::test::setPelPath(path);
    for (const Fmt& f : kFormats) {
      const int bytes = f.bits / 8;
      // Colour bits of the key, and pels that differ from it only outside
      // them (byte 3 of X8R8G8B8, bit 15 of X1R5G5B5) still count as the key.
      const uint32_t key = 0x00A5C3E1u & f.colour;
      const uint32_t spare = f.bits == 32 ? 0x7F000000u : f.bits == 16 && f.colour == 0x7FFF ? 0x8000u : 0;
      auto srcPel = [&](int x, int y) -> uint32_t {
        if ((x + y) % 3 == 0) return key | ((x & 1) ? spare : 0);
        return (0x01020304u * uint32_t(x + 1) + 0x00103050u * uint32_t(y)) & (f.colour | spare);
      };
      auto dstPel = [&](int x, int y) -> uint32_t { return (0x00998877u + uint32_t(x * 7 + y * 131)) & f.colour; };
      for (const Case& c : cases) {
        SCOPED_TRACE(std::string(f.name) + ": " + c.what);
        IDirectDrawSurface7* src = offscreen(20, 12, &f);
        IDirectDrawSurface7* dst = offscreen(20, 12, &f);
        paint(src, bytes, srcPel);
        paint(dst, bytes, dstPel);
        DDCOLORKEY k{key, key};
        ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &k), DD_OK);
        RECT d = c.dest, s = c.src;
        ASSERT_EQ(dst->Blt(&d, src, &s, c.flags | DDBLT_WAIT, nullptr), c.result);
        DDSURFACEDESC2 l = lock(dst);
        for (int y = 0; y < 12; ++y) {
          const uint8_t* row = static_cast<uint8_t*>(l.lpSurface) + y * l.lPitch;
          for (int x = 0; x < 20; ++x) {
            uint32_t want = dstPel(x, y);
            const int sx = x - c.dest.left + c.src.left, sy = y - c.dest.top + c.src.top;
            const bool inside = c.result == DD_OK && x >= c.dest.left && x < c.dest.right && y >= c.dest.top &&
                                y < c.dest.bottom && sx >= 0 && sx < 20 && sy >= 0 && sy < 12;
            if (inside && !((c.flags & DDBLT_KEYSRC) && (srcPel(sx, sy) & f.colour) == key)) want = srcPel(sx, sy);
            ASSERT_EQ(readPel(row + x * bytes, bytes), want) << "at " << x << "," << y;
          }
          for (int b = 20 * bytes; b < l.lPitch; ++b) ASSERT_EQ(row[b], 0xA5) << "padding of row " << y;
        }
        dst->Unlock(nullptr);
      }
    }
  }
}

TEST_F(Display, FillAndBlitRefusals) {
  const Fmt& f565 = kFormats[1];
  const Fmt& f888 = kFormats[4];
  IDirectDrawSurface7* a = offscreen(8, 8, &f565);
  IDirectDrawSurface7* b = offscreen(8, 8, &f888);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0xBEEF;
  RECT r{2, 3, 20, 5};  // clipped, never refused
  ASSERT_EQ(a->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  PelImage img = plat::test::readSurface(a);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(readPel(&img.pels[(y * 8 + x) * 2], 2), (x >= 2 && y >= 3 && y < 5) ? 0xBEEFu : 0u);
  EXPECT_EQ(a->Blt(nullptr, b, nullptr, 0, nullptr), DDERR_UNSUPPORTED);           // two formats
  EXPECT_EQ(a->Blt(nullptr, nullptr, nullptr, 0, nullptr), DDERR_INVALIDPARAMS);  // no source
  EXPECT_EQ(a->Blt(nullptr, a, nullptr, DDBLT_KEYSRC, nullptr), DDERR_NOCOLORKEY);
  DDSURFACEDESC2 d = lock(a);
  EXPECT_EQ(b->Blt(nullptr, a, nullptr, 0, nullptr), DDERR_SURFACEBUSY);  // a locked source
  EXPECT_EQ(a->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACEBUSY);
  a->Unlock(nullptr);
  (void)d;
}

TEST_F(Display, FlipRotatesTheChainAndShowsTheFront) {
  HWND w = window(0, 0, 64, 48, WS_POPUP | WS_VISIBLE);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(dd_->SetDisplayMode(64, 48, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
  ASSERT_EQ(dd_->SetCooperativeLevel(w, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX), DD_OK);
  ASSERT_EQ(dd_->SetDisplayMode(64, 48, 16, 0, 0), DD_OK);
  IDirectDrawSurface7* front = primary(2);
  ASSERT_NE(front, nullptr);
  IDirectDrawSurface7* back = nullptr;
  EXPECT_EQ(front->EnumAttachedSurfaces(&back,
                                        [](IDirectDrawSurface7* s, DDSURFACEDESC2*, void* ctx) -> HRESULT {
                                          *static_cast<IDirectDrawSurface7**>(ctx) = s;
                                          return DDENUMRET_OK;
                                        }),
            DD_OK);
  ASSERT_NE(back, nullptr);
  DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
  IDirectDrawSurface7* attached = nullptr;
  EXPECT_EQ(front->GetAttachedSurface(&caps, &attached), DD_OK);
  EXPECT_EQ(attached, back);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 1;
  front->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  fx.dwFillColor = 2;
  back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  auto first = [](IDirectDrawSurface7* s) { return readPel(plat::test::readSurface(s).pels.data(), 2); };
  // Three buffers hold 1 (shown), 2 and 0; each flip moves them one on.
  const uint32_t shown[] = {2, 0, 1}, next[] = {0, 1, 2};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(first(front), shown[i]);
    EXPECT_EQ(first(back), next[i]);
  }
  EXPECT_EQ(back->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
  // What is shown fills the window 1:1 (the dummy driver keeps its size).
  PelImage ws = plat::test::readWindowSurface(w);
  ASSERT_EQ(ws.width, 64);
  uint32_t expected;
  uint16_t pel = 1;
  SDL_ConvertPixels(1, 1, SDL_PIXELFORMAT_RGB565, &pel, 2, ws.sdlFormat, &expected, 4);
  EXPECT_EQ(readPel(&ws.pels[(47 * 64 + 63) * 4], 4), expected);
}

TEST_F(Display, LossKeepsPelsAndRestoreFollowsTheMode) {
  HWND w = window(0, 0, 64, 48, WS_POPUP | WS_VISIBLE);
  ASSERT_EQ(dd_->SetCooperativeLevel(w, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  ASSERT_EQ(dd_->SetDisplayMode(64, 48, 16, 0, 0), DD_OK);
  IDirectDrawSurface7* front = primary(1);
  IDirectDrawSurface7* back = nullptr;
  DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
  ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
  IDirectDrawSurface7* plain = offscreen(8, 8);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x1234;
  plain->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);

  // Deactivation in exclusive full screen loses every surface.
  ShowWindow(w, SW_MINIMIZE);
  for (IDirectDrawSurface7* s : {front, back, plain}) EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof d;
  EXPECT_EQ(plain->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(plain->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACELOST);
  EXPECT_EQ(back->Restore(), DDERR_IMPLICITLYCREATED);
  EXPECT_EQ(front->Restore(), DD_OK);  // the chain with it
  EXPECT_EQ(back->IsLost(), DD_OK);
  EXPECT_EQ(plain->Restore(), DD_OK);
  EXPECT_EQ(readPel(plat::test::readSurface(plain).pels.data(), 2), 0x1234u);

  // A surface made in another display format cannot be restored.
  ASSERT_EQ(dd_->SetDisplayMode(64, 48, 32, 0, 0), DD_OK);
  EXPECT_EQ(plain->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(plain->Restore(), DDERR_WRONGMODE);
  EXPECT_EQ(front->Restore(), DDERR_WRONGMODE);
  ASSERT_EQ(dd_->RestoreDisplayMode(), DD_OK);
  EXPECT_EQ(front->Restore(), DDERR_WRONGMODE);  // a primary of the mode, not of the desktop

  // The test API loses one surface.
  IDirectDrawSurface7* other = offscreen(4, 4);
  plat::test::loseSurface(other);
  EXPECT_EQ(other->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(other->Restore(), DD_OK);
}

TEST_F(Display, VideoMemoryIsABudget) {
  plat::test::setVideoMemory(100 * 100 * 2 + 1000);
  DDCAPS caps{};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(dd_->GetCaps(&caps, nullptr), DD_OK);
  EXPECT_EQ(caps.dwVidMemTotal, DWORD(100 * 100 * 2 + 1000));
  EXPECT_EQ(caps.dwVidMemFree, caps.dwVidMemTotal);
  IDirectDrawSurface7* s = offscreen(100, 100, nullptr, DDSCAPS_VIDEOMEMORY);
  ASSERT_NE(s, nullptr);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof d;
  ASSERT_EQ(s->GetSurfaceDesc(&d), DD_OK);
  EXPECT_EQ(d.ddsCaps.dwCaps & (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM),
            DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);
  ASSERT_EQ(dd_->GetCaps(&caps, nullptr), DD_OK);
  EXPECT_EQ(caps.dwVidMemFree, 1000u);
  d = DDSURFACEDESC2{};
  d.dwSize = sizeof d;
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  d.dwWidth = d.dwHeight = 100;
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
  IDirectDrawSurface7* more = nullptr;
  EXPECT_EQ(dd_->CreateSurface(&d, &more, nullptr), DDERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(more, nullptr);
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;  // no memory named: system memory then
  ASSERT_EQ(dd_->CreateSurface(&d, &more, nullptr), DD_OK);
  surfaces_.push_back(more);
  ASSERT_EQ(more->GetSurfaceDesc(&d), DD_OK);
  EXPECT_TRUE(d.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
  s->Release();
  surfaces_.erase(surfaces_.begin());
  ASSERT_EQ(dd_->GetCaps(&caps, nullptr), DD_OK);
  EXPECT_EQ(caps.dwVidMemFree, caps.dwVidMemTotal);
}

// A blit onto the window-mode primary (the desktop) lands in the window at
// the client area's offset, clipped to it, converted as SDL converts.
TEST_F(Display, PresentReachesTheWindowAtTheClientOffset) {
  using plat::test::DesktopFormat;
  struct Desk {
    DesktopFormat format;
    const Fmt& fmt;
  } desks[] = {{DesktopFormat::R5G6B5, kFormats[1]},
               {DesktopFormat::X1R5G5B5, kFormats[2]},
               {DesktopFormat::R8G8B8, kFormats[3]},
               {DesktopFormat::X8R8G8B8, kFormats[4]}};
  for (auto path : {plat::test::PelPath::Best, plat::test::PelPath::Portable}) {
    plat::test::setPelPath(path);
    for (const Desk& desk : desks) {
      SCOPED_TRACE(desk.fmt.name);
      const int bytes = desk.fmt.bits / 8;
      plat::test::setDesktopFormat(desk.format);
      HWND w = window(100, 80, 40, 30);
      ASSERT_NE(w, nullptr);
      IDirectDrawSurface7* front = windowPrimary(w);
      IDirectDrawSurface7* back = offscreen(40, 30);
      paint(back, bytes, [&](int x, int y) { return (0x01234567u * uint32_t(x * 31 + y + 1)) & desk.fmt.colour; });
      POINT o{0, 0};
      ClientToScreen(w, &o);
      // The whole back surface, shifted 30 pels left and 5 up: what falls
      // outside the client area is dropped, on the desktop too.
      RECT dest{o.x - 30, o.y - 5, o.x + 10, o.y + 25};
      ASSERT_EQ(front->Blt(&dest, back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
      PelImage src = plat::test::readSurface(back);
      PelImage ws = plat::test::readWindowSurface(w);
      ASSERT_EQ(ws.width, 40);
      ASSERT_EQ(ws.height, 30);
      const int wb = ws.bitsPerPel / 8;
      std::vector<uint8_t> want(ws.pels.size(), 0);
      for (int y = 0; y < 25; ++y)
        SDL_ConvertPixels(10, 1, src.sdlFormat, &src.pels[((y + 5) * 40 + 30) * bytes], 40 * bytes, ws.sdlFormat,
                          &want[y * 40 * wb], 40 * wb);
      // Elsewhere the window shows the desktop there: black. The padding
      // byte of a 32-bit window pel is not compared.
      if (wb == 4)
        for (size_t i = 3; i < want.size(); i += 4) want[i] = ws.pels[i];
      EXPECT_EQ(ws.pels, want);
      PelImage desktop = plat::test::readSurface(front);
      EXPECT_EQ(readPel(&desktop.pels[((o.y + 2) * desktop.width + o.x - 1) * bytes], bytes), 0u);
      EXPECT_EQ(std::memcmp(&desktop.pels[((o.y + 2) * desktop.width + o.x) * bytes], &src.pels[(7 * 40 + 30) * bytes],
                            size_t(bytes)),
                0);
      // The next round starts afresh.
      clipper_->Release();
      clipper_ = nullptr;
      for (auto it = surfaces_.rbegin(); it != surfaces_.rend(); ++it) (*it)->Release();
      surfaces_.clear();
    }
  }
}

// A window surface SDL makes anew (here for a new size) holds nothing of the
// picture: its first present, however small, gives it the window's whole
// part of the desktop, so presenting only what changed keeps it whole.
TEST_F(Display, ARemadeWindowSurfaceGetsTheWholeWindow) {
  HWND w = window(100, 80, 40, 30);
  ASSERT_NE(w, nullptr);
  IDirectDrawSurface7* front = windowPrimary(w);
  IDirectDrawSurface7* back = offscreen(40, 30);
  paint(back, 2, [](int x, int y) { return uint32_t(x * 1021 + y * 77 + 1) & 0xFFFF; });
  POINT o{0, 0};
  ClientToScreen(w, &o);
  RECT whole{o.x, o.y, o.x + 40, o.y + 30};
  ASSERT_EQ(front->Blt(&whole, back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  const PelImage before = plat::test::readWindowSurface(w);
  ASSERT_EQ(before.width, 40);

  plat::test::injectWindowEvent(w, plat::test::WindowEvent::Resized, 48, 36);
  plat::test::injectWindowEvent(w, plat::test::WindowEvent::Resized, 40, 30);
  RECT corner{o.x, o.y, o.x + 4, o.y + 4}, source{0, 0, 4, 4};
  ASSERT_EQ(front->Blt(&corner, back, &source, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(plat::test::readWindowSurface(w).pels, before.pels);
}

// The display keeps no picture of a window: uncovered, mapped again or
// restored, it shows nothing until it is sent one. The window's last
// presented picture goes back at once, whole, while the window is not in
// front and nothing presents.
TEST_F(Display, TheDisplayGetsTheLastPictureBackWhenItLostIt) {
  using plat::test::WindowEvent;
  plat::test::setAssumeFocus(false);  // no window comes to the front
  plat::test::keepScreen(true);
  HWND w = window(100, 80, 40, 30);
  ASSERT_NE(w, nullptr);
  IDirectDrawSurface7* front = windowPrimary(w);
  // Before any present there is no picture to give back.
  plat::test::injectWindowEvent(w, WindowEvent::Expose);
  EXPECT_TRUE(plat::test::readWindowScreen(w).pels.empty());

  IDirectDrawSurface7* back = offscreen(40, 30);
  paint(back, 2, [](int x, int y) { return uint32_t(x * 1021 + y * 77 + 1) & 0xFFFF; });
  POINT o{0, 0};
  ClientToScreen(w, &o);
  RECT whole{o.x, o.y, o.x + 40, o.y + 30};
  ASSERT_EQ(front->Blt(&whole, back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  // Then only a part: the display is sent that part, the picture is whole.
  paint(back, 2, [](int x, int y) { return uint32_t(x * 3 + y * 5000 + 7) & 0xFFFF; });
  RECT part{o.x + 5, o.y + 4, o.x + 17, o.y + 13}, source{20, 10, 32, 19};
  ASSERT_EQ(front->Blt(&part, back, &source, DDBLT_WAIT, nullptr), DD_OK);
  const PelImage picture = plat::test::readWindowSurface(w);
  ASSERT_EQ(plat::test::readWindowScreen(w).pels, picture.pels);

  const struct {
    const char* what;
    std::vector<WindowEvent> events;
  } losses[] = {
      {"uncovered", {WindowEvent::Expose}},
      {"mapped", {WindowEvent::Shown}},
      {"restored", {WindowEvent::Minimized, WindowEvent::Restored}},
      {"unmapped and mapped", {WindowEvent::Minimized, WindowEvent::Shown, WindowEvent::Restored, WindowEvent::Expose}},
  };
  for (const auto& loss : losses) {
    SCOPED_TRACE(loss.what);
    for (WindowEvent e : loss.events) plat::test::injectWindowEvent(w, e);
    EXPECT_NE(GetForegroundWindow(), w);
    EXPECT_EQ(plat::test::readWindowScreen(w).pels, picture.pels);
  }
}

TEST_F(Display, R5G6B5ConversionMatchesSdlForEveryPel) {
  std::vector<uint16_t> all(65536);
  for (int i = 0; i < 65536; ++i) all[i] = uint16_t(i);
  std::vector<uint32_t> sdl(65536);
  SDL_ConvertPixels(65536, 1, SDL_PIXELFORMAT_RGB565, all.data(), 131072, SDL_PIXELFORMAT_RGB888, sdl.data(),
                    262144);
  for (auto path : {plat::test::PelPath::Best, plat::test::PelPath::Portable}) {
    plat::test::setPelPath(path);
    // Through a present: a 256 x 256 desktop-format surface blitted into a
    // window of that size.
    HWND w = window(0, 0, 256, 256, WS_POPUP | WS_VISIBLE);
    ASSERT_EQ(dd_->SetCooperativeLevel(w, DDSCL_NORMAL), DD_OK);
    IDirectDrawSurface7* front = primary();
    IDirectDrawSurface7* src = offscreen(256, 256);
    paint(src, 2, [](int x, int y) { return uint32_t(y * 256 + x); });
    RECT corner{0, 0, 256, 256};  // no clipper: the cooperative window, at (0, 0)
    ASSERT_EQ(front->Blt(&corner, src, nullptr, 0, nullptr), DD_OK);
    PelImage ws = plat::test::readWindowSurface(w);
    ASSERT_EQ(ws.pels.size(), sdl.size() * 4);
    EXPECT_EQ(std::memcmp(ws.pels.data(), sdl.data(), ws.pels.size()), 0);
    for (auto it = surfaces_.rbegin(); it != surfaces_.rend(); ++it) (*it)->Release();
    surfaces_.clear();
  }
}

TEST_F(Display, TextOutDrawsFontCellsOnTheSurface) {
  const Fmt& f = kFormats[1];
  IDirectDrawSurface7* s = offscreen(40, 24, &f);
  paint(s, 2, [](int, int) { return 0x1234u; });
  HDC dc = nullptr;
  ASSERT_EQ(s->GetDC(&dc), DD_OK);
  ASSERT_NE(dc, nullptr);
  HDC second = nullptr;
  EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof d;
  EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACEBUSY);
  EXPECT_EQ(SetTextColor(dc, RGB(255, 255, 255)), RGB(0, 0, 0));
  EXPECT_EQ(SetBkColor(dc, RGB(0, 0, 255)), RGB(255, 255, 255));
  POINT old{9, 9};
  ASSERT_TRUE(SetViewportOrgEx(dc, 3, 2, &old));
  EXPECT_EQ(old.x, 0);
  // "A.b" from (2, 1) through the origin: cells at x 5, 13 and 21, y 3.
  ASSERT_TRUE(TextOutA(dc, 2, 1, "A.b", 3));
  ASSERT_TRUE(SetBkMode(dc, TRANSPARENT));
  ASSERT_TRUE(TextOutA(dc, 33, 3, "|", 1));  // no background, and cut at the right edge
  ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(SetTextColor(dc, 0), CLR_INVALID);  // a released context is gone

  PelImage img = plat::test::readSurface(s);
  auto at = [&](int x, int y) { return readPel(&img.pels[(y * 40 + x) * 2], 2); };
  const char text[] = "A.b";
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 40; ++x) {
      uint32_t want = 0x1234;
      if (y >= 3 && y < 19 && x >= 5 && x < 29) {
        const int c = (x - 5) / 8;
        const bool on = plat::detail::glyph8x16(uint8_t(text[c]))[y - 3] & (0x80 >> ((x - 5) % 8));
        want = on ? 0xFFFF : 0x001F;
      }
      if (x >= 36 && y >= 5 && y < 21 && (plat::detail::glyph8x16('|')[y - 5] & (0x80 >> (x - 36)))) want = 0xFFFF;
      ASSERT_EQ(at(x, y), want) << x << "," << y;
    }
  }
  // The glyphs differ and a space is empty.
  EXPECT_NE(std::memcmp(plat::detail::glyph8x16('A'), plat::detail::glyph8x16('b'), 16), 0);
  for (int r = 0; r < 16; ++r) EXPECT_EQ(plat::detail::glyph8x16(' ')[r], 0);
}

TEST_F(Display, SetDIBitsToDeviceDrawsBottomUpDibs) {
  // A 3 x 2 DIB, bottom row first: indices 1 2 3 over 4 5 6 (top row 4 5 6).
  struct Dib8 {
    BITMAPINFOHEADER h;
    RGBQUAD colours[7];
  } dib8{};
  dib8.h = {sizeof(BITMAPINFOHEADER), 3, 2, 1, 8, BI_RGB, 0, 0, 0, 7, 0};
  for (int i = 0; i < 7; ++i) dib8.colours[i] = RGBQUAD{uint8_t(i * 8), uint8_t(i * 16), uint8_t(i * 32), 0};
  const uint8_t rows8[] = {1, 2, 3, 0, 4, 5, 6, 0};
  const uint8_t rows24[] = {10, 20, 30, 40, 50, 60, 0, 0, 70, 80, 90, 100, 110, 120, 0, 0};  // 2 x 2
  BITMAPINFO info24{};
  info24.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  for (const Fmt& f : {kFormats[1], kFormats[4]}) {
    SCOPED_TRACE(f.name);
    const int bytes = f.bits / 8;
    IDirectDrawSurface7* s = offscreen(4, 4, &f);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(SetDIBitsToDevice(dc, 2, 1, 3, 2, 0, 0, 0, 2, rows8, reinterpret_cast<BITMAPINFO*>(&dib8),
                                DIB_RGB_COLORS),
              2);
    EXPECT_EQ(SetDIBitsToDevice(dc, 0, 3, 2, 2, 0, 0, 0, 2, rows24, &info24, DIB_RGB_COLORS), 2);
    s->ReleaseDC(dc);
    PelImage img = plat::test::readSurface(s);
    auto at = [&](int x, int y) { return readPel(&img.pels[(y * 4 + x) * bytes], bytes); };
    auto pel = [&](int r, int g, int b) {
      return f.bits == 16 ? uint32_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)) : uint32_t(r << 16 | g << 8 | b);
    };
    auto colour = [&](int i) { return pel(i * 32 & 255, i * 16, i * 8); };
    EXPECT_EQ(at(2, 1), colour(4));  // the top row is the DIB's last
    EXPECT_EQ(at(3, 1), colour(5));  // cut at the right edge
    EXPECT_EQ(at(2, 2), colour(1));
    EXPECT_EQ(at(0, 3), pel(90, 80, 70));  // the 24-bit DIB's top row, B G R in memory
    EXPECT_EQ(at(1, 3), pel(120, 110, 100));
    EXPECT_EQ(at(3, 2), colour(2));
    EXPECT_EQ(at(0, 0), 0u);
  }
}

TEST_F(Display, CallsAreTracedAndFaultsInjected) {
  IDirectDrawSurface7* s = offscreen(8, 8);
  plat::test::traceCalls(true);
  plat::test::failNext("Blt", 1, DDERR_WASSTILLDRAWING);
  RECT r{1, 2, 3, 4};
  EXPECT_EQ(s->Blt(&r, s, &r, DDBLT_WAIT, nullptr), DDERR_WASSTILLDRAWING);
  EXPECT_EQ(s->Blt(&r, s, nullptr, 0, nullptr), DDERR_NOSTRETCHHW);
  auto calls = plat::test::takeCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].op, "Blt");
  EXPECT_EQ(calls[0].iface, "IDirectDrawSurface7");
  EXPECT_EQ(calls[0].object, s);
  EXPECT_EQ(calls[0].flags, DDBLT_WAIT);
  ASSERT_EQ(calls[1].rects.size(), 2u);
  EXPECT_EQ(calls[1].rects[1].right, 8);  // a null source rectangle is the whole source
  EXPECT_EQ(calls[1].result, DDERR_NOSTRETCHHW);
  plat::test::failNext("DirectDrawCreateEx", 1, DDERR_NODIRECTDRAWHW);
  IDirectDraw7* other = reinterpret_cast<IDirectDraw7*>(1);
  EXPECT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&other), IID_IDirectDraw7, nullptr),
            DDERR_NODIRECTDRAWHW);
}

TEST_F(Display, ManualClockMovesOnlyBySleepAndTheTest) {
  plat::test::setManualClock(true);
  LARGE_INTEGER a, b;
  QueryPerformanceCounter(&a);
  const DWORD t0 = timeGetTime();
  Sleep(15);
  plat::test::advanceClock(5);
  QueryPerformanceCounter(&b);
  EXPECT_EQ(b.QuadPart - a.QuadPart, 20'000'000);
  EXPECT_EQ(timeGetTime() - t0, 20u);
  EXPECT_EQ(plat::test::takeSleeps(), std::vector<DWORD>{15});
  plat::test::setManualClock(false);
  QueryPerformanceCounter(&a);
  Sleep(2);
  QueryPerformanceCounter(&b);
  EXPECT_GE(b.QuadPart - a.QuadPart, 2'000'000);
}

}  // namespace
