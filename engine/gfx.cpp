// The display device and the gfx functions around it.
#include "engine/gfx.h"

#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/surf.h"
#include "platform/win_mmsystem.h"
#include "platform/win_user.h"

gDDCTy* gfxDevice = nullptr;
IDirectDraw7* gfxDirectDraw = nullptr;
gfxStateTy gfxState{};

namespace {

constexpr DWORD kFullScreenLevel = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX;  // 0x51
constexpr gfxChannel kRed565{0xF800, 11, 3}, kGreen565{0x07E0, 5, 2}, kBlue565{0x001F, 0, 3};

// Raises a failed call and keeps the first failure.
void note(HRESULT hr, HRESULT* first) {
  if (SUCCEEDED(hr)) return;
  if (SUCCEEDED(*first)) *first = hr;
  errRaise(hr);
}

// A call made once more when it fails; the second failure is raised.
template <class Call>
void twice(Call call, HRESULT* first) {
  HRESULT hr = call();
  if (FAILED(hr)) hr = call();
  note(hr, first);
}

HRESULT setMode(int flags, int width, int height, int bits) {
  if (!gfxDevice) return DDERR_NOTINITIALIZED;
  const HRESULT hr = gfxDevice->SetMode(width, height, bits, 0, flags);
  gfxSetupPelMasks(bits);
  gfxState.textColor = 0x00FFFFFF;
  gfxState.screenWidth = width;
  gfxState.screenHeight = height;
  return hr;
}

void noHook() {}
void noResultHook(int) {}

}  // namespace

gCTy::~gCTy() = default;

gDDCTy::~gDDCTy() = default;

void gDDCTy::SetHwnd(HWND w) { window = w; }

void gDDCTy::DropSurfaces() {
  if (clipper) clipper->Release();
  clipper = nullptr;
  // The back surface first: a flip chain's back buffer belongs to the primary.
  delete back;
  back = nullptr;
  delete primary;
  primary = nullptr;
}

void gDDCTy::ReleaseSurfaces() {
  if ((flags & gfx_MODE_FULLSCREEN) && directDraw) directDraw->RestoreDisplayMode();
  DropSurfaces();
}

void gDDCTy::Release() {
  ReleaseSurfaces();
  if (directDraw) directDraw->Release();
  directDraw = nullptr;
  gfxDirectDraw = nullptr;
}

HRESULT gDDCTy::CreateDirectDraw() {
  const bool fullScreen = (flags & gfx_MODE_FULLSCREEN) != 0;
  HRESULT first = DD_OK;
  if (!directDraw) {
    void* made = nullptr;
    const HRESULT hr = DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw7, nullptr);
    if (FAILED(hr)) {
      note(hr, &first);
      return first;
    }
    directDraw = static_cast<IDirectDraw7*>(made);
    gfxDirectDraw = directDraw;
  } else if (levelFullScreen_ == fullScreen) {
    return DD_OK;
  }
  // A new object, or one whose cooperative level was set for the other
  // full-screen state (Alt+Enter): the level for this mode.
  note(directDraw->SetCooperativeLevel(window, fullScreen ? kFullScreenLevel : DDSCL_NORMAL), &first);
  levelFullScreen_ = fullScreen;
  return first;
}

HRESULT gDDCTy::SetMode(int width, int height, int bits, int refresh, int modeFlags) {
  if (modeFlags & gfx_MODE_FLIP) modeFlags |= gfx_MODE_FULLSCREEN;
  const bool fullScreen = (modeFlags & gfx_MODE_FULLSCREEN) != 0;
  if ((flags & gfx_MODE_FULLSCREEN) && !fullScreen)
    ReleaseSurfaces();
  else
    DropSurfaces();
  flags = modeFlags;
  screen = {0, 0, width, height};
  HRESULT first = CreateDirectDraw();
  if (!directDraw) return first;  // no surfaces without DirectDraw

  if (fullScreen) {
    note(directDraw->SetDisplayMode(DWORD(width), DWORD(height), DWORD(bits & 0xFF), DWORD(refresh), 0), &first);
  } else {
    // The client area becomes width x height; the window keeps its place.
    RECT r{0, 0, 0, 0};
    GetWindowRect(window, &r);
    r.right = r.left + width;
    r.bottom = r.top + height;
    AdjustWindowRectEx(&r, DWORD(GetWindowLongA(window, GWL_STYLE)), FALSE, WS_EX_APPWINDOW);
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOMOVE);
  }
  const HRESULT surfaces = CreateSurfaces();
  if (SUCCEEDED(first)) first = surfaces;

  if (!fullScreen || (flags & gfx_MODE_CLIPPER)) {
    twice([&] { return directDraw->CreateClipper(0, &clipper, nullptr); }, &first);
    if (clipper) twice([&] { return clipper->SetHWnd(0, window); }, &first);
    if (clipper && primary && primary->surface) twice([&] { return primary->surface->SetClipper(clipper); }, &first);
  }
  return first;
}

HRESULT gDDCTy::CreateSurfaces() {
  const int w = screen.w, h = screen.h;
  HRESULT result = DD_OK;
  primary = new gSurfDxdCTy;
  if ((flags & gfx_MODE_FULLSCREEN) && (flags & gfx_MODE_FLIP)) {
    primary->CreatePrimary(w, h, 2);
    back = primary->GetBackBuffer();
  } else {
    primary->CreatePrimary(w, h, 0);
    back = new gSurfDxdCTy;
    if (flags & gfx_MODE_VIDMEM) {
      // Video memory first, then system memory; only the second failure
      // is shown.
      ERR_TRY(video) { back->CreateOffscreen(w, h, 1, 0); }
      ERR_CATCH(video, videoCode) {
        errEndCatch(errGetState(), &video);
        delete back;
        back = new gSurfDxdCTy;
        ERR_TRY(system) { back->CreateOffscreen(w, h, 0, 0); }
        ERR_CATCH(system, systemCode) {
          result = systemCode;
          errReportCurrent();
          errEndCatch(errGetState(), &system);
        }
        ERR_END_TRY
      }
      ERR_END_TRY
    } else {
      back->CreateOffscreen(w, h, 0, 0);
    }
  }
  if (!primary->surface || !back->surface) result = FAILED(result) ? result : DDERR_CURRENTLYNOTAVAIL;
  back->Fill(0, nullptr);
  return result;
}

void gDDCTy::Present() {
  if (!primary || !back) return;
  if (flags & gfx_MODE_FLIP) {
    primary->Flip();
    return;
  }
  POINT origin{0, 0};
  if (!(flags & gfx_MODE_FULLSCREEN)) ClientToScreen(window, &origin);
  const rectCTy r{0, 0, back->width, back->height};
  back->Draw(primary, origin.x, origin.y, &r);
}

// --- the gfx functions ---

int gfxInit(HWND window, int flags, int width, int height, int bits) {
  if (!gfxDevice) gfxDevice = new gDDCTy;
  gfxRegisterDDErrors();
  gfxSetErrorHooks();
  gfxDevice->SetHwnd(window);
  const HRESULT hr = setMode(flags, width, height, bits);
  gfxState.initialised = 1;
  return SUCCEEDED(hr) ? 0 : hr;
}

int gfxSetMode(int flags, int width, int height, int bits) { return SUCCEEDED(setMode(flags, width, height, bits)); }

void gfxShutdown() {
  if (!gfxState.initialised) return;
  if (gfxDevice) gfxDevice->Release();
  delete gfxDevice;
  gfxDevice = nullptr;
  gfxState.initialised = 0;
}

void gfxPresent() {
  if (gfxDevice) gfxDevice->Present();
}

gfxChannel gfxChannelOf(DWORD mask) {
  const uint32_t m = mask & 0xFFFF;
  if (!m) return {0, 0, 8};
  const int shift = std::countr_zero(m);
  const int top = 31 - std::countl_zero(m >> shift);
  return {uint16_t(m), shift, top >= 7 ? 0 : 7 - top};
}

void gfxSetupPelMasks(int bits) {
  gfxState.red = kRed565;
  gfxState.green = kGreen565;
  gfxState.blue = kBlue565;
  if (bits != 0 && bits != 16) {
    gfxState.screenBits = bits;
  } else {
    gfxState.screenBits = 16;
    gSurfDxdCTy* front = gfxDevice ? gfxDevice->primary : nullptr;
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof pf;
    if (front && front->surface && SUCCEEDED(front->surface->GetPixelFormat(&pf))) {
      gfxState.screenBits = int(pf.dwRGBBitCount);
      if (pf.dwRGBBitCount == 16) {
        gfxState.red = gfxChannelOf(pf.dwRBitMask);
        gfxState.green = gfxChannelOf(pf.dwGBitMask);
        gfxState.blue = gfxChannelOf(pf.dwBBitMask);
      }
    }
  }
  gfxState.screenBytes = (gfxState.screenBits + 7) / 8;
}

uint16_t gfxRGB(COLORREF colour) {
  auto field = [](uint32_t v, const gfxChannel& c) { return (v >> c.loss) << c.shift; };
  return uint16_t(field(GetRValue(colour), gfxState.red) | field(GetGValue(colour), gfxState.green) |
                  field(GetBValue(colour), gfxState.blue));
}

void gfxTextOut(int x, int y, const char* format, ...) {
  char text[128];
  text[0] = '\0';
  if (format) {
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0 || n >= int(sizeof text)) text[0] = '\0';
  }
  gSurfDxdCTy* back = gfxDevice ? gfxDevice->back : nullptr;
  if (!back) return;
  HDC dc = back->GetDC();
  if (!dc) return;
  SetTextColor(dc, gfxState.textColor);
  SetBkColor(dc, gfxState.textBkColor);
  TextOutA(dc, x, y, text, int(std::strlen(text)));
  back->ReleaseDC(dc);
}

void gfxDrawFps(int x, int y) {
  if (gfxState.fpsCount == 0) gfxState.fpsTime = timeGetTime();
  if (gfxState.fpsCount > 10) {
    const DWORD now = timeGetTime();
    const DWORD elapsed = now - gfxState.fpsTime;
    gfxState.fpsTime = now;
    if (elapsed != 0) {
      DDCAPS caps{};
      caps.dwSize = sizeof caps;
      if (gfxDirectDraw) gfxDirectDraw->GetCaps(&caps, nullptr);
      const unsigned f = unsigned(gfxState.fpsCount) * 10000u / elapsed;
      std::snprintf(gfxState.fpsText, sizeof gfxState.fpsText, " %3d %5d.%1d  V_M = %d", int(elapsed / 10),
                    int(f / 10), int(f % 10), int(caps.dwVidMemTotal - caps.dwVidMemFree));
    }
    gfxState.fpsCount = 0;
  }
  gfxTextOut(x, y, "%s", gfxState.fpsText);
  ++gfxState.fpsCount;
}

void gfxSetErrorHooks() {
  static const errBoxHooks hooks{gfxErrorOwner, noHook, noHook, noHook, noResultHook};
  errSetBoxHooks(&hooks);
}

HWND gfxErrorOwner() { return gfxDevice ? gfxDevice->window : nullptr; }

void gfxRegisterDDErrors() { errPushTable(&gfxDDErrorTable); }
