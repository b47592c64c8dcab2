// The emulated DirectDraw objects, shared by the layer's source files:
//   ddraw.cpp          the display state, DirectDrawCreateEx, the DirectDraw
//                      object and the clipper, the test API's display part
//   ddraw_surface.cpp  surfaces: creation, locks, blits, flips, loss
//   ddraw_present.cpp  showing the primary surface in the window
//   gdi_dc.cpp         the GDI device contexts of surfaces
// The objects are used from the window thread; the display state (budget,
// mode, the list of live surfaces) is guarded by displayMutex().
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/call_trace.h"
#include "platform/ddraw_pels.h"
#include "platform/win_ddraw.h"

namespace plat::dd {

class Surface;
class Device;

inline constexpr const char* kDirectDraw = "IDirectDraw7";
inline constexpr const char* kSurface = "IDirectDrawSurface7";
inline constexpr const char* kClipper = "IDirectDrawClipper";

// Every entry point: an injected fault, else the body; then the trace, which
// describe() completes with the call's arguments.
template <class Body, class Describe>
HRESULT entry(const char* iface, const char* op, const void* object, Body&& body, Describe&& describe) {
  HRESULT hr;
  if (!plat::detail::injected(iface, op, &hr)) hr = body();
  if (plat::detail::tracing()) {
    plat::test::CallRecord r;
    r.op = op;
    r.iface = iface;
    r.object = object;
    r.result = hr;
    describe(r);
    plat::detail::trace(std::move(r));
  }
  return hr;
}
inline constexpr auto kNoDetail = [](plat::test::CallRecord&) {};

// What the display shows now.
struct DisplayMode {
  Format format;
  int width, height;
  bool exclusive;  // a mode set by SetDisplayMode (else the desktop)
};

std::recursive_mutex& displayMutex();
// The current mode; locked.
DisplayMode currentModeLocked();
// The desktop's size (the display's bounds).
RECT desktopRect();
// Surfaces: registration, the video memory budget (locked).
void registerSurfaceLocked(Surface* s);
void unregisterSurfaceLocked(Surface* s);
bool chargeVideoLocked(size_t bytes);
void refundVideoLocked(size_t bytes);
int rowPaddingLocked();
// Every surface of the process is lost (mode changes, deactivation).
void loseAllLocked();

class Clipper final : public IDirectDrawClipper {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT SetHWnd(DWORD flags, HWND window) override;
  HRESULT GetHWnd(HWND* window) override;

  HWND window() const { return window_; }

 private:
  std::atomic<ULONG> refs_{1};
  HWND window_ = nullptr;
};

class Device final : public IDirectDraw7 {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags) override;
  HRESULT RestoreDisplayMode() override;
  HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer) override;
  HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) override;
  HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) override;

  // Surfaces keep their device alive beyond its last Release.
  void keep();
  void drop();
  HWND window() const { return window_; }
  bool exclusive() const { return exclusive_; }
  // The primary surface made by this device (null when none lives).
  Surface* primary() const { return primary_; }
  void setPrimary(Surface* s) { primary_ = s; }

 private:
  ~Device() = default;
  HRESULT createSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer);
  HRESULT restoreMode();
  void lastRelease();

  std::atomic<ULONG> refs_{1};
  std::atomic<ULONG> kept_{0};
  bool released_ = false;
  HWND window_ = nullptr;
  bool exclusive_ = false;
  Surface* primary_ = nullptr;
};

class Surface final : public IDirectDrawSurface7 {
 public:
  struct Shape {
    Format format;
    int width, height;
    DWORD caps;         // as reported (memory kind included)
    bool displayBound;  // made in the display's format (and size, for a primary)
  };
  Surface(Device* device, const Shape& shape, LONG pitch);
  // A back buffer of a flip chain.
  Surface(Surface* front, LONG pitch);

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) override;
  HRESULT Unlock(RECT* rect) override;
  HRESULT Blt(RECT* dest, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) override;
  HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) override;
  HRESULT GetDC(HDC* dc) override;
  HRESULT ReleaseDC(HDC dc) override;
  HRESULT GetPixelFormat(DDPIXELFORMAT* format) override;
  HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
  HRESULT IsLost() override;
  HRESULT Restore() override;
  HRESULT SetClipper(IDirectDrawClipper* clipper) override;
  HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override;
  HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) override;
  HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) override;

  // The layer's side.
  Format format() const { return shape_.format; }
  int width() const { return shape_.width; }
  int height() const { return shape_.height; }
  LONG pitch() const { return pitch_; }
  uint8_t* pels() { return pels_.get(); }
  uint8_t* pelAt(int x, int y) { return pels_.get() + LONG(y) * pitch_ + LONG(x) * formatInfo(format()).bytes; }
  bool isPrimary() const { return (shape_.caps & DDSCAPS_PRIMARYSURFACE) != 0; }
  Device* device() const { return device_; }
  void lose() { lost_ = true; }
  size_t bytes() const { return size_t(pitch_) * size_t(shape_.height); }
  void setCharged(size_t bytes) { charged_ = bytes; }
  // Shows a rectangle of the primary surface (surface coordinates) in its
  // window; nothing for other surfaces.
  void show(const RECT& r);
  // Clip rectangle of blits onto this surface: its bounds, for the primary
  // in window mode also the clipper window's client area.
  RECT clipRect() const;

 private:
  ~Surface();
  HRESULT lock(RECT* rect, DDSURFACEDESC2* desc);
  HRESULT unlock();
  HRESULT blt(RECT* dest, Surface* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx);
  HRESULT flip();
  HRESULT getDC(HDC* dc);
  HRESULT releaseDC(HDC dc);
  HRESULT restore();
  HRESULT setColorKey(DWORD flags, DDCOLORKEY* key);
  void describe(DDSURFACEDESC2* desc);
  HRESULT busy() const;

  Device* device_;
  Shape shape_;
  LONG pitch_;
  std::unique_ptr<uint8_t[]> pels_;
  size_t charged_ = 0;  // video memory taken
  std::atomic<ULONG> refs_{1};
  std::atomic<bool> lost_{false};
  bool locked_ = false;
  RECT lockRect_{};
  HDC dc_ = nullptr;
  bool keyed_ = false;
  DWORD key_ = 0;
  Clipper* clipper_ = nullptr;
  std::vector<Surface*> backs_;  // a flip chain's primary: its back buffers
  Surface* front_ = nullptr;     // a back buffer: the chain's primary
};

// The GDI side (gdi_dc.cpp): a device context drawing into a surface.
HDC createSurfaceDC(Surface* surface);
// Ends the context; the rectangle it drew on is returned (empty: none).
RECT destroySurfaceDC(HDC dc);

// Shows a rectangle of a primary surface in the window (ddraw_present.cpp).
void present(Surface& primary, HWND window, const RECT& r);

}  // namespace plat::dd
