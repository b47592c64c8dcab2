// The emulated display: its state (desktop format, display mode, video
// memory budget, the live surfaces), DirectDrawCreateEx, the DirectDraw
// object and the clipper, and the test API's display settings.
#include <SDL.h>

#include <algorithm>
#include <new>

#include "platform/call_trace.h"
#include "platform/ddraw_impl.h"
#include "platform/detail.h"
#include "platform/test_api.h"

const GUID IID_IDirectDraw7 = {0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};

namespace plat::dd {
namespace {

constexpr DWORD kDefaultVideoMemory = 32u << 20;
constexpr DWORD kLargestMode = 4096;
constexpr DWORD kLargestSurface = 16384;
constexpr DWORD kMostBackBuffers = 3;

struct Display {
  Format desktop = Format::R5G6B5;
  DWORD videoTotal = kDefaultVideoMemory;
  size_t videoUsed = 0;
  int padding = 0;
  Device* exclusiveOwner = nullptr;  // the device holding exclusive mode
  bool modeSet = false;
  DisplayMode mode{};
  std::vector<Surface*> surfaces;
};

Display& display() {
  static auto* d = new Display;  // lives for the process
  return *d;
}

// The cooperative window covers the desktop in a display mode. Without a
// display (SDL's dummy driver) it keeps its size, so the mode's screen is
// shown 1:1.
void setFullScreen(HWND window, bool on) {
  if (plat::test::headless()) return;
  if (SDL_Window* sdl = plat::detail::sdlWindowOf(window))
    SDL_SetWindowFullscreen(sdl, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

}  // namespace

std::recursive_mutex& displayMutex() {
  static auto* m = new std::recursive_mutex;
  return *m;
}

DisplayMode currentModeLocked() {
  const Display& d = display();
  if (d.modeSet) return d.mode;
  RECT r = desktopRect();
  return {d.desktop, int(r.right - r.left), int(r.bottom - r.top), false};
}

RECT desktopRect() {
  SDL_Rect r;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDisplayBounds(0, &r) == 0) return {r.x, r.y, r.x + r.w, r.y + r.h};
  return {0, 0, 1024, 768};
}

void registerSurfaceLocked(Surface* s) { display().surfaces.push_back(s); }

void unregisterSurfaceLocked(Surface* s) { std::erase(display().surfaces, s); }

bool chargeVideoLocked(size_t bytes) {
  Display& d = display();
  if (d.videoUsed + bytes > d.videoTotal) return false;
  d.videoUsed += bytes;
  return true;
}

void refundVideoLocked(size_t bytes) { display().videoUsed -= std::min(bytes, display().videoUsed); }

int rowPaddingLocked() { return display().padding; }

void loseAllLocked() {
  for (Surface* s : display().surfaces) s->lose();
}

// --- the clipper ---

HRESULT Clipper::QueryInterface(REFIID, void** object) {
  if (object) *object = nullptr;
  return E_NOINTERFACE;
}

ULONG Clipper::AddRef() { return ++refs_; }

ULONG Clipper::Release() {
  ULONG left = --refs_;
  if (plat::detail::tracing())
    plat::detail::trace({.op = "Release", .iface = kClipper, .object = this, .values = {left}});
  if (left == 0) delete this;
  return left;
}

HRESULT Clipper::SetHWnd(DWORD flags, HWND window) {
  return entry(
      kClipper, "SetHWnd", this,
      [&]() -> HRESULT {
        if (flags != 0) return DDERR_INVALIDPARAMS;
        window_ = window;
        return DD_OK;
      },
      [&](plat::test::CallRecord& r) {
        r.flags = flags;
        r.values = {static_cast<int64_t>(reinterpret_cast<intptr_t>(window))};
      });
}

HRESULT Clipper::GetHWnd(HWND* window) {
  return entry(
      kClipper, "GetHWnd", this,
      [&]() -> HRESULT {
        if (!window) return DDERR_INVALIDPARAMS;
        *window = window_;
        return DD_OK;
      },
      kNoDetail);
}

// --- the DirectDraw object ---

HRESULT Device::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (!IsEqualGUID(iid, IID_IDirectDraw7)) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  *object = static_cast<IDirectDraw7*>(this);
  return S_OK;
}

ULONG Device::AddRef() { return ++refs_; }

ULONG Device::Release() {
  ULONG left = --refs_;
  if (plat::detail::tracing())
    plat::detail::trace({.op = "Release", .iface = kDirectDraw, .object = this, .values = {left}});
  if (left == 0) lastRelease();
  return left;
}

void Device::lastRelease() {
  restoreMode();
  bool gone;
  {
    std::lock_guard<std::recursive_mutex> hold(displayMutex());
    if (display().exclusiveOwner == this) display().exclusiveOwner = nullptr;
    released_ = true;
    gone = kept_ == 0;
  }
  if (gone) delete this;
}

void Device::keep() { ++kept_; }

void Device::drop() {
  bool gone;
  {
    std::lock_guard<std::recursive_mutex> hold(displayMutex());
    gone = --kept_ == 0 && released_;
  }
  if (gone) delete this;
}

HRESULT Device::SetCooperativeLevel(HWND window, DWORD flags) {
  return entry(
      kDirectDraw, "SetCooperativeLevel", this,
      [&]() -> HRESULT {
        const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
        if (exclusive != ((flags & DDSCL_FULLSCREEN) != 0)) return DDERR_INVALIDPARAMS;
        if (!exclusive && !(flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
        if (exclusive && !plat::detail::windowThread(window, nullptr)) return DDERR_INVALIDPARAMS;
        {
          std::lock_guard<std::recursive_mutex> hold(displayMutex());
          Device*& owner = display().exclusiveOwner;
          if (exclusive && owner && owner != this) return DDERR_EXCLUSIVEMODEALREADYSET;
        }
        if (!exclusive) restoreMode();
        std::lock_guard<std::recursive_mutex> hold(displayMutex());
        Device*& owner = display().exclusiveOwner;
        if (exclusive) owner = this;
        else if (owner == this) owner = nullptr;
        window_ = window;
        exclusive_ = exclusive;
        return DD_OK;
      },
      [&](plat::test::CallRecord& r) {
        r.flags = flags;
        r.values = {static_cast<int64_t>(reinterpret_cast<intptr_t>(window))};
      });
}

HRESULT Device::SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags) {
  return entry(
      kDirectDraw, "SetDisplayMode", this,
      [&]() -> HRESULT {
        if (!exclusive_) return DDERR_NOEXCLUSIVEMODE;
        Format f = formatOfBits(bits);
        if (f == Format::Unknown || width == 0 || height == 0 || width > kLargestMode || height > kLargestMode)
          return DDERR_INVALIDMODE;
        {
          std::lock_guard<std::recursive_mutex> hold(displayMutex());
          display().modeSet = true;
          display().mode = {f, int(width), int(height), true};
          loseAllLocked();
        }
        setFullScreen(window_, true);
        return DD_OK;
      },
      [&](plat::test::CallRecord& r) {
        r.flags = flags;
        r.values = {width, height, bits, refresh};
      });
}

HRESULT Device::restoreMode() {
  {
    std::lock_guard<std::recursive_mutex> hold(displayMutex());
    Display& d = display();
    if (d.exclusiveOwner != this || !d.modeSet) return DD_OK;
    d.modeSet = false;
    loseAllLocked();
  }
  setFullScreen(window_, false);
  return DD_OK;
}

HRESULT Device::RestoreDisplayMode() {
  return entry(kDirectDraw, "RestoreDisplayMode", this, [&] { return restoreMode(); }, kNoDetail);
}

HRESULT Device::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer) {
  IDirectDrawSurface7* made = nullptr;
  return entry(
      kDirectDraw, "CreateSurface", this,
      [&]() -> HRESULT {
        HRESULT hr = createSurface(desc, &made, outer);
        if (surface) *surface = made;
        return hr;
      },
      [&](plat::test::CallRecord& r) {
        if (!desc) return;
        r.flags = desc->dwFlags;
        r.object = made ? static_cast<const void*>(made) : static_cast<const void*>(this);
        r.values = {desc->ddsCaps.dwCaps, desc->dwWidth, desc->dwHeight, desc->dwBackBufferCount};
      });
}

HRESULT Device::createSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out, IUnknown* outer) {
  if (!desc || !out || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  if (outer) return CLASS_E_NOAGGREGATION;
  DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : 0;
  const DWORD memory = caps & (DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY);
  if (memory == (DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY)) return DDERR_INVALIDCAPS;
  const bool primary = (caps & DDSCAPS_PRIMARYSURFACE) != 0;
  const bool chain = (caps & DDSCAPS_FLIP) != 0;
  DWORD backs = 0;
  if (chain) {
    if (!primary || !(caps & DDSCAPS_COMPLEX) || !(desc->dwFlags & DDSD_BACKBUFFERCOUNT) ||
        desc->dwBackBufferCount == 0 || desc->dwBackBufferCount > kMostBackBuffers)
      return DDERR_INVALIDCAPS;
    if (!exclusive_) return DDERR_NOEXCLUSIVEMODE;
    backs = desc->dwBackBufferCount;
  }

  std::lock_guard<std::recursive_mutex> hold(displayMutex());
  const DisplayMode mode = currentModeLocked();
  Surface::Shape shape{mode.format, mode.width, mode.height, 0, true};
  if (primary) {
    if (primary_) return DDERR_PRIMARYSURFACEALREADYEXISTS;
  } else {
    if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || desc->dwWidth == 0 ||
        desc->dwHeight == 0)
      return DDERR_INVALIDPARAMS;
    if (desc->dwWidth > kLargestSurface || desc->dwHeight > kLargestSurface) return DDERR_TOOBIGSIZE;
    shape.width = int(desc->dwWidth);
    shape.height = int(desc->dwHeight);
    if (desc->dwFlags & DDSD_PIXELFORMAT) {
      shape.format = formatOf(desc->ddpfPixelFormat);
      if (shape.format == Format::Unknown) return DDERR_INVALIDPIXELFORMAT;
      shape.displayBound = false;
    }
  }
  const LONG pitch = pitchFor(shape.format, shape.width, rowPaddingLocked());
  const size_t bytes = size_t(pitch) * size_t(shape.height) * (1 + backs);

  // Memory: video memory from the budget (there is no non-local video
  // memory), system memory without limit; without a memory caps video first.
  const bool nonLocal = (caps & DDSCAPS_NONLOCALVIDMEM) != 0;
  caps &= ~(DDSCAPS_LOCALVIDMEM | DDSCAPS_NONLOCALVIDMEM);
  size_t charged = 0;
  if (memory == DDSCAPS_VIDEOMEMORY || nonLocal) {
    if (nonLocal || !chargeVideoLocked(bytes)) return DDERR_OUTOFVIDEOMEMORY;
    charged = bytes;
    caps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
  } else if (memory == 0 && chargeVideoLocked(bytes)) {
    charged = bytes;
    caps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
  } else if (memory == 0) {
    caps |= DDSCAPS_SYSTEMMEMORY;
  }
  shape.caps = caps | (chain ? DDSCAPS_FRONTBUFFER : 0);

  auto* s = new (std::nothrow) Surface(this, shape, pitch);
  if (!s) {
    refundVideoLocked(charged);
    return DDERR_OUTOFMEMORY;
  }
  s->setCharged(charged);
  bool complete = s->pels() != nullptr;
  for (DWORD i = 0; complete && i < backs; ++i) {
    auto* b = new (std::nothrow) Surface(s, pitch);
    complete = b && b->pels();
  }
  if (!complete) {
    s->Release();  // its back buffers with it
    return DDERR_OUTOFMEMORY;
  }
  if (primary) primary_ = s;
  *out = s;
  return DD_OK;
}

HRESULT Device::CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) {
  return entry(
      kDirectDraw, "CreateClipper", this,
      [&]() -> HRESULT {
        if (!clipper) return DDERR_INVALIDPARAMS;
        if (outer) return CLASS_E_NOAGGREGATION;
        *clipper = new (std::nothrow) Clipper;
        return *clipper ? DD_OK : DDERR_OUTOFMEMORY;
      },
      [&](plat::test::CallRecord& r) { r.flags = flags; });
}

HRESULT Device::GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) {
  return entry(
      kDirectDraw, "GetCaps", this,
      [&]() -> HRESULT {
        if (!driverCaps && !emulationCaps) return DDERR_INVALIDPARAMS;
        for (DDCAPS* c : {driverCaps, emulationCaps})
          if (c && c->dwSize != sizeof(DDCAPS)) return DDERR_INVALIDPARAMS;
        std::lock_guard<std::recursive_mutex> hold(displayMutex());
        const Display& d = display();
        for (DDCAPS* c : {driverCaps, emulationCaps}) {
          if (!c) continue;
          *c = DDCAPS{};
          c->dwSize = sizeof(DDCAPS);
          c->dwCaps = DDCAPS_BLT | DDCAPS_COLORKEY | DDCAPS_BLTCOLORFILL;
          c->dwCKeyCaps = DDCKEYCAPS_SRCBLT;
        }
        if (driverCaps) {
          driverCaps->dwVidMemTotal = d.videoTotal;
          driverCaps->dwVidMemFree = d.videoTotal - DWORD(std::min<size_t>(d.videoUsed, d.videoTotal));
        }
        return DD_OK;
      },
      kNoDetail);
}

}  // namespace plat::dd

using namespace plat::dd;

HRESULT DirectDrawCreateEx(GUID* guid, LPVOID* object, REFIID iid, IUnknown* outer) {
  Device* made = nullptr;
  return entry(
      "", "DirectDrawCreateEx", nullptr,
      [&]() -> HRESULT {
        if (!object) return DDERR_INVALIDPARAMS;
        *object = nullptr;
        if (guid) return DDERR_INVALIDDIRECTDRAWGUID;
        if (!IsEqualGUID(iid, IID_IDirectDraw7)) return E_NOINTERFACE;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (!SDL_WasInit(SDL_INIT_VIDEO) && !plat::detail::initVideo()) return DDERR_NODIRECTDRAWHW;
        made = new (std::nothrow) Device;
        if (!made) return DDERR_OUTOFMEMORY;
        *object = static_cast<IDirectDraw7*>(made);
        return DD_OK;
      },
      [&](plat::test::CallRecord& r) { r.object = made; });
}

namespace plat::detail {

void displayDeactivated() {
  std::lock_guard<std::recursive_mutex> hold(displayMutex());
  if (display().modeSet) loseAllLocked();
}

}  // namespace plat::detail

namespace plat::test {

void setDesktopFormat(DesktopFormat format) {
  static constexpr Format kFormats[] = {Format::R5G6B5, Format::X1R5G5B5, Format::R8G8B8, Format::X8R8G8B8};
  std::lock_guard<std::recursive_mutex> hold(displayMutex());
  display().desktop = kFormats[static_cast<int>(format)];
}

void setVideoMemory(DWORD bytes) {
  std::lock_guard<std::recursive_mutex> hold(displayMutex());
  display().videoTotal = bytes;
}

void setRowPadding(int bytes) {
  std::lock_guard<std::recursive_mutex> hold(displayMutex());
  display().padding = std::max(0, bytes);
}

void resetDisplay() {
  std::lock_guard<std::recursive_mutex> hold(displayMutex());
  display().desktop = Format::R5G6B5;
  display().videoTotal = kDefaultVideoMemory;
  display().padding = 0;
}

void loseSurface(IDirectDrawSurface7* surface) {
  if (surface) static_cast<Surface*>(surface)->lose();
}

void loseAllSurfaces() {
  std::lock_guard<std::recursive_mutex> hold(displayMutex());
  loseAllLocked();
}

PelImage readSurface(IDirectDrawSurface7* surface) {
  PelImage out;
  auto* s = static_cast<Surface*>(surface);
  if (!s) return out;
  const FormatInfo& f = formatInfo(s->format());
  out.width = s->width();
  out.height = s->height();
  out.bitsPerPel = 8 * f.bytes;
  out.sdlFormat = f.sdl;
  const size_t row = size_t(out.width) * f.bytes;
  out.pels.resize(row * size_t(out.height));
  for (int y = 0; y < out.height; ++y) std::memcpy(out.pels.data() + row * y, s->pelAt(0, y), row);
  return out;
}

}  // namespace plat::test
