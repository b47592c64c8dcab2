// Surfaces of the emulated display: locks, blits, flips, device contexts,
// colour keys, loss and restore.
#include <algorithm>
#include <new>

#include "platform/call_trace.h"
#include "platform/ddraw_impl.h"
#include "platform/detail.h"
#include "platform/win_user.h"

namespace plat::dd {
namespace {

template <class Body, class Describe>
HRESULT entry(const char* op, const void* object, Body&& body, Describe&& describe) {
  return plat::dd::entry(kSurface, op, object, body, describe);
}

bool empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT intersect(const RECT& a, const RECT& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

RECT offset(const RECT& r, LONG dx, LONG dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

}  // namespace

Surface::Surface(Device* device, const Shape& shape, LONG pitch) : device_(device), shape_(shape), pitch_(pitch) {
  device_->keep();
  pels_.reset(new (std::nothrow) uint8_t[bytes()]());
  std::lock_guard<std::recursive_mutex> hold(displayMutex());
  registerSurfaceLocked(this);
}

Surface::Surface(Surface* front, LONG pitch) : device_(front->device_), shape_(front->shape_), pitch_(pitch) {
  shape_.caps = (front->shape_.caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) |
                (front->backs_.empty() ? DDSCAPS_BACKBUFFER : 0);
  front_ = front;
  front->backs_.push_back(this);
  device_->keep();
  pels_.reset(new (std::nothrow) uint8_t[bytes()]());
  std::lock_guard<std::recursive_mutex> hold(displayMutex());
  registerSurfaceLocked(this);
}

Surface::~Surface() {
  if (dc_) destroySurfaceDC(dc_);
  if (clipper_) clipper_->Release();
  for (Surface* b : backs_) {
    b->front_ = nullptr;
    b->Release();
  }
  {
    std::lock_guard<std::recursive_mutex> hold(displayMutex());
    refundVideoLocked(charged_);
    unregisterSurfaceLocked(this);
    if (device_->primary() == this) device_->setPrimary(nullptr);
  }
  device_->drop();
}

HRESULT Surface::QueryInterface(REFIID, void** object) {
  if (object) *object = nullptr;
  return E_NOINTERFACE;
}

ULONG Surface::AddRef() { return ++refs_; }

ULONG Surface::Release() {
  // A back buffer belongs to its chain: it goes with the primary surface.
  ULONG left = front_ && refs_ == 1 ? 1 : --refs_;
  if (plat::detail::tracing())
    plat::detail::trace({.op = "Release", .iface = kSurface, .object = this, .values = {left}});
  if (left == 0) delete this;
  return left;
}

HRESULT Surface::busy() const {
  if (lost_) return DDERR_SURFACELOST;
  if (locked_ || dc_) return DDERR_SURFACEBUSY;
  return DD_OK;
}

void Surface::describe(DDSURFACEDESC2* desc) {
  const DWORD size = desc->dwSize;
  *desc = DDSURFACEDESC2{};
  desc->dwSize = size;
  desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = DWORD(width());
  desc->dwHeight = DWORD(height());
  desc->lPitch = pitch_;
  if (!backs_.empty()) {
    desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc->dwBackBufferCount = DWORD(backs_.size());
  }
  if (keyed_) {
    desc->dwFlags |= DDSD_CKSRCBLT;
    desc->ddckCKSrcBlt = {key_, key_};
  }
  desc->ddpfPixelFormat = formatInfo(format()).ddpf;
  desc->ddsCaps.dwCaps = shape_.caps;
}

// --- locks ---

HRESULT Surface::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE) {
  return entry(
      "Lock", this, [&] { return lock(rect, desc); },
      [&](plat::test::CallRecord& r) {
        r.flags = flags;
        if (rect) r.rects = {*rect};
      });
}

HRESULT Surface::lock(RECT* rect, DDSURFACEDESC2* desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  if (HRESULT hr = busy(); hr != DD_OK) return hr;
  RECT r = {0, 0, width(), height()};
  if (rect) {
    if (rect->left < 0 || rect->top < 0 || rect->right > width() || rect->bottom > height() || empty(*rect))
      return DDERR_INVALIDPARAMS;
    r = *rect;
  }
  describe(desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = pelAt(r.left, r.top);
  locked_ = true;
  lockRect_ = r;
  return DD_OK;
}

HRESULT Surface::Unlock(RECT* rect) {
  return entry(
      "Unlock", this, [&] { return unlock(); },
      [&](plat::test::CallRecord& r) {
        if (rect) r.rects = {*rect};
      });
}

HRESULT Surface::unlock() {
  if (!locked_) return DDERR_NOTLOCKED;
  locked_ = false;
  if (lost_) return DDERR_SURFACELOST;
  show(lockRect_);
  return DD_OK;
}

// --- blits ---

RECT Surface::clipRect() const {
  RECT bounds = {0, 0, width(), height()};
  if (!isPrimary() || !clipper_ || !clipper_->window() || !shape_.displayBound) return bounds;
  std::lock_guard<std::recursive_mutex> hold(displayMutex());
  if (currentModeLocked().exclusive) return bounds;
  // The window-mode primary is the desktop: the clipper window's client area.
  POINT origin;
  RECT client;
  if (!plat::detail::clientOrigin(clipper_->window(), &origin) || !GetClientRect(clipper_->window(), &client))
    return RECT{0, 0, 0, 0};
  return intersect(bounds, offset(client, origin.x, origin.y));
}

HRESULT Surface::Blt(RECT* dest, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) {
  auto* src = static_cast<Surface*>(source);
  return entry(
      "Blt", this, [&] { return blt(dest, src, sourceRect, flags, fx); },
      [&](plat::test::CallRecord& r) {
        r.flags = flags;
        r.rects = {dest ? *dest : RECT{0, 0, width(), height()}};
        if (src) r.rects.push_back(sourceRect ? *sourceRect : RECT{0, 0, src->width(), src->height()});
        r.values = {static_cast<int64_t>(reinterpret_cast<intptr_t>(src))};
        if (fx && (flags & DDBLT_COLORFILL)) r.values.push_back(fx->dwFillColor);
      });
}

HRESULT Surface::blt(RECT* dest, Surface* src, RECT* sourceRect, DWORD flags, DDBLTFX* fx) {
  const bool fill = (flags & DDBLT_COLORFILL) != 0;
  if (fill ? (!fx || fx->dwSize != sizeof(DDBLTFX)) : !src) return DDERR_INVALIDPARAMS;
  if (HRESULT hr = busy(); hr != DD_OK) return hr;
  if (!fill && src != this)
    if (HRESULT hr = src->busy(); hr != DD_OK) return hr;
  const int bytes = formatInfo(format()).bytes;
  RECT d = dest ? *dest : RECT{0, 0, width(), height()};
  if (fill) {
    d = intersect(d, clipRect());
    if (empty(d)) return DD_OK;
    fillPels(bytes, pelAt(d.left, d.top), pitch_, d.right - d.left, d.bottom - d.top, fx->dwFillColor);
    show(d);
    return DD_OK;
  }
  if (src->format() != format()) return DDERR_UNSUPPORTED;
  if ((flags & DDBLT_KEYSRC) && !src->keyed_) return DDERR_NOCOLORKEY;
  RECT s = sourceRect ? *sourceRect : RECT{0, 0, src->width(), src->height()};
  if (!empty(d) && !empty(s) && (d.right - d.left != s.right - s.left || d.bottom - d.top != s.bottom - s.top))
    return DDERR_NOSTRETCHHW;
  // Clip the destination, the source follows; then the source, the
  // destination follows.
  RECT dc = intersect(d, clipRect());
  s = {s.left + (dc.left - d.left), s.top + (dc.top - d.top), s.left + (dc.right - d.left), s.top + (dc.bottom - d.top)};
  RECT sc = intersect(s, RECT{0, 0, src->width(), src->height()});
  dc = {dc.left + (sc.left - s.left), dc.top + (sc.top - s.top), dc.left + (sc.right - s.left),
        dc.top + (sc.bottom - s.top)};
  if (empty(dc) || empty(sc)) return DD_OK;
  const int w = sc.right - sc.left, h = sc.bottom - sc.top;
  if (flags & DDBLT_KEYSRC)
    copyKeyed(bytes, src->pelAt(sc.left, sc.top), src->pitch_, pelAt(dc.left, dc.top), pitch_, w, h, src->key_,
              formatInfo(format()).colour);
  else
    copyPels(bytes, src->pelAt(sc.left, sc.top), src->pitch_, pelAt(dc.left, dc.top), pitch_, w, h);
  show(dc);
  return DD_OK;
}

// --- flips ---

HRESULT Surface::Flip(IDirectDrawSurface7* target, DWORD flags) {
  return entry(
      "Flip", this,
      [&]() -> HRESULT {
        if (target && std::find(backs_.begin(), backs_.end(), target) == backs_.end()) return DDERR_INVALIDPARAMS;
        return flip();
      },
      [&](plat::test::CallRecord& r) { r.flags = flags; });
}

HRESULT Surface::flip() {
  if (backs_.empty()) return DDERR_NOTFLIPPABLE;
  if (HRESULT hr = busy(); hr != DD_OK) return hr;
  for (Surface* b : backs_)
    if (HRESULT hr = b->busy(); hr != DD_OK) return hr;
  // The memory rotates: the first back buffer's becomes the front's.
  std::unique_ptr<uint8_t[]> shown = std::move(pels_);
  pels_ = std::move(backs_.front()->pels_);
  for (size_t i = 0; i + 1 < backs_.size(); ++i) backs_[i]->pels_ = std::move(backs_[i + 1]->pels_);
  backs_.back()->pels_ = std::move(shown);
  show({0, 0, width(), height()});
  return DD_OK;
}

// --- device contexts ---

HRESULT Surface::GetDC(HDC* dc) {
  return entry("GetDC", this, [&] { return getDC(dc); }, kNoDetail);
}

HRESULT Surface::getDC(HDC* dc) {
  if (!dc) return DDERR_INVALIDPARAMS;
  *dc = nullptr;
  if (dc_) return DDERR_DCALREADYCREATED;
  if (HRESULT hr = busy(); hr != DD_OK) return hr;
  dc_ = createSurfaceDC(this);
  if (!dc_) return DDERR_CANTCREATEDC;
  *dc = dc_;
  return DD_OK;
}

HRESULT Surface::ReleaseDC(HDC dc) {
  return entry("ReleaseDC", this, [&] { return releaseDC(dc); }, kNoDetail);
}

HRESULT Surface::releaseDC(HDC dc) {
  if (!dc_) return DDERR_NODC;
  if (dc != dc_) return DDERR_INVALIDPARAMS;
  RECT drawn = destroySurfaceDC(dc_);
  dc_ = nullptr;
  if (!empty(drawn)) show(drawn);
  return DD_OK;
}

// --- descriptions ---

HRESULT Surface::GetPixelFormat(DDPIXELFORMAT* pf) {
  return entry(
      "GetPixelFormat", this,
      [&]() -> HRESULT {
        if (!pf || pf->dwSize != sizeof(DDPIXELFORMAT)) return DDERR_INVALIDPARAMS;
        *pf = formatInfo(format()).ddpf;
        return DD_OK;
      },
      kNoDetail);
}

HRESULT Surface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
  return entry(
      "GetSurfaceDesc", this,
      [&]() -> HRESULT {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
        describe(desc);
        return DD_OK;
      },
      kNoDetail);
}

// --- loss ---

HRESULT Surface::IsLost() {
  return entry("IsLost", this, [&] { return lost_ ? DDERR_SURFACELOST : DD_OK; }, kNoDetail);
}

HRESULT Surface::Restore() { return entry("Restore", this, [&] { return restore(); }, kNoDetail); }

HRESULT Surface::restore() {
  if (!lost_) return DD_OK;
  if (front_) return DDERR_IMPLICITLYCREATED;
  if (shape_.displayBound) {
    std::lock_guard<std::recursive_mutex> hold(displayMutex());
    const DisplayMode mode = currentModeLocked();
    if (mode.format != format()) return DDERR_WRONGMODE;
    if (isPrimary() && (mode.width != width() || mode.height != height())) return DDERR_WRONGMODE;
  }
  // A lock held when the surface was lost ends with the restore.
  lost_ = false;
  locked_ = false;
  for (Surface* b : backs_) {
    b->lost_ = false;
    b->locked_ = false;
  }
  return DD_OK;
}

// --- attachments ---

HRESULT Surface::SetClipper(IDirectDrawClipper* clipper) {
  return entry(
      "SetClipper", this,
      [&]() -> HRESULT {
        auto* c = static_cast<Clipper*>(clipper);
        if (c) c->AddRef();
        if (clipper_) clipper_->Release();
        clipper_ = c;
        return DD_OK;
      },
      [&](plat::test::CallRecord& r) { r.values = {static_cast<int64_t>(reinterpret_cast<intptr_t>(clipper))}; });
}

HRESULT Surface::SetColorKey(DWORD flags, DDCOLORKEY* key) {
  return entry(
      "SetColorKey", this, [&] { return setColorKey(flags, key); },
      [&](plat::test::CallRecord& r) {
        r.flags = flags;
        if (key) r.values = {key->dwColorSpaceLowValue, key->dwColorSpaceHighValue};
      });
}

HRESULT Surface::setColorKey(DWORD flags, DDCOLORKEY* key) {
  if (!(flags & DDCKEY_SRCBLT)) return DDERR_NOCOLORKEYHW;
  if (lost_) return DDERR_SURFACELOST;
  keyed_ = key != nullptr;
  key_ = key ? key->dwColorSpaceLowValue : 0;
  return DD_OK;
}

HRESULT Surface::EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) {
  return entry(
      "EnumAttachedSurfaces", this,
      [&]() -> HRESULT {
        if (!callback) return DDERR_INVALIDPARAMS;
        if (!backs_.empty()) {
          DDSURFACEDESC2 desc{};
          desc.dwSize = sizeof desc;
          backs_.front()->describe(&desc);
          callback(backs_.front(), &desc, context);
        }
        return DD_OK;
      },
      kNoDetail);
}

HRESULT Surface::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) {
  return entry(
      "GetAttachedSurface", this,
      [&]() -> HRESULT {
        if (!caps || !surface) return DDERR_INVALIDPARAMS;
        *surface = nullptr;
        if (!(caps->dwCaps & DDSCAPS_BACKBUFFER) || backs_.empty()) return DDERR_NOTFOUND;
        *surface = backs_.front();
        return DD_OK;
      },
      kNoDetail);
}

// --- showing ---

void Surface::show(const RECT& r) {
  if (!isPrimary() || lost_) return;
  HWND window = clipper_ && clipper_->window() ? clipper_->window() : device_->window();
  if (window) present(*this, window, r);
}

}  // namespace plat::dd
