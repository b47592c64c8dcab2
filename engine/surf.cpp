// The surface image: the retry rule, locks, fills, blits, flips and device
// contexts. Creation, restore and the DIB and pack draws are in
// surf_restore.cpp.
#include "engine/surf.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/gfx.h"
#include "engine/surf_retry.h"

namespace {

// A scaled size: trunc(size * scale), 0 when that is no int.
int scaledSize(int size, float scale) {
  const double v = std::trunc(double(size) * double(scale));
  if (!std::isfinite(v) || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return 0;
  return int(v);
}

bool sameRect(const rectCTy& a, const rectCTy& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }

RECT toRECT(const rectCTy& r) { return {r.x, r.y, r.x + r.w, r.y + r.h}; }

bool isSurface(const imgCTy* image) { return image && image->classId == imgClassSurface; }

HRESULT storeAttached(IDirectDrawSurface7* attached, DDSURFACEDESC2*, void* context) {
  static_cast<gSurfDxdCTy*>(context)->surface = attached;
  return DDENUMRET_OK;
}

}  // namespace

int ddFormatToPelFmt(const DDPIXELFORMAT& f) {
  if (f.dwFlags & (DDPF_PALETTEINDEXED1 | DDPF_PALETTEINDEXED4 | DDPF_PALETTEINDEXEDTO8 | DDPF_PALETTEINDEXED8))
    return pel_FMT_P8;
  if (!(f.dwFlags & DDPF_RGB)) return pel_FMT_UNKNOWN;
  switch (f.dwRGBBitCount) {
    case 32: return pel_FMT_X8R8G8B8;
    case 24: return pel_FMT_R8G8B8;
    case 16:
      if (f.dwGBitMask == 0x07E0) return pel_FMT_R5G6B5;
      if (f.dwGBitMask == 0x03E0) return pel_FMT_X1R5G5B5;
      return pel_FMT_UNKNOWN;
    default: return pel_FMT_UNKNOWN;
  }
}

gSurfDxdCTy::gSurfDxdCTy() { classId = imgClassSurface; }

gSurfDxdCTy::~gSurfDxdCTy() {
  // As FreeData, without reporting: a raise must not leave a destructor.
  if (surface) {
    if (data) surface->Unlock(nullptr);
    if (ownsSurface) surface->Release();
  }
  data = nullptr;
  surface = nullptr;
  ClearRestore();
}

void gSurfDxdCTy::SetColorKey(uint32_t pel) {
  imgCTy::SetColorKey(pel);
  if (!surface) return;
  DDCOLORKEY key{pel, pel};
  surfRetry(surfOp::SetColorKey, this, nullptr, [&] { return surface->SetColorKey(DDCKEY_SRCBLT, &key); });
}

void gSurfDxdCTy::SetColorKeyRGB(uint32_t colour) {
  imgCTy::SetColorKeyRGB(colour);
  SetColorKey(keyPel);
}

void gSurfDxdCTy::Lock(const rectCTy* rect, int mode) {
  if (data) return;
  imgCTy::Lock(rect, mode);
  const int bytes = pelBytes(desc.format);
  if (!surface || !bytes) return;
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof d;
  const HRESULT hr =
      surfRetry(surfOp::Lock, this, nullptr, [&] { return surface->Lock(nullptr, &d, DDLOCK_NOSYSLOCK, nullptr); });
  if (FAILED(hr) || !d.lpSurface) return;
  data = static_cast<uint8_t*>(d.lpSurface) + int64_t(lockRect.y) * d.lPitch + int64_t(lockRect.x) * bytes;
  pitch = d.lPitch / bytes;
}

void gSurfDxdCTy::Unlock() {
  if (!data) return;
  data = nullptr;
  if (surface) surfRetry(surfOp::Unlock, this, nullptr, [&] { return surface->Unlock(nullptr); });
}

void gSurfDxdCTy::Fill(uint32_t pel, const rectCTy* rect) {
  RECT r = rect ? toRECT(*rect) : RECT{};
  Unlock();
  if (!surface) return;
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = pel;
  surfRetry(surfOp::Fill, this, nullptr,
            [&] { return surface->Blt(rect ? &r : nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx); });
}

void gSurfDxdCTy::Draw(imgCTy* destination, int x, int y, const rectCTy* rect) {
  if (isSurface(destination))
    Blt(static_cast<gSurfDxdCTy*>(destination), x, y, rect);
  else
    imgCTy::Draw(destination, x, y, rect);
}

void gSurfDxdCTy::DrawEx(imgCTy* destination, int x, int y, const rectCTy* rect, const imgDrawParams* params) {
  const bool stretch = params->mode == pel_OP_STRETCH;
  rectCTy b = GetBounds();
  if (stretch || params->scaled) {
    b.w = scaledSize(b.w, params->scaleX);
    b.h = scaledSize(b.h, params->scaleY);
  }
  if (!isSurface(destination)) return imgCTy::DrawEx(destination, x, y, rect, params);
  auto* target = static_cast<gSurfDxdCTy*>(destination);
  const bool copy = params->mode == pel_OP_COPY || params->mode == pel_OP_SRCALPHA;
  if (copy && !params->scaled) return BltStretch(target, x, y, rect, params);
  if (stretch || copy) {
    // A stretch with no rectangle stretches onto the scaled bounds.
    const rectCTy& r = rect ? *rect : b;
    if (!keyFlag && sameRect(r, b)) return BltStretch(target, x, y, &r, params);
  }
  imgCTy::DrawEx(destination, x, y, rect, params);
}

rectCTy gSurfDxdCTy::GetBounds() { return {0, 0, width, height}; }

imgCTy* gSurfDxdCTy::Clone() {
  errRaise(DDERR_CURRENTLYNOTAVAIL);
  return nullptr;
}

void gSurfDxdCTy::FreeData() {
  Unlock();
  ReleaseSurface();
  ClearRestore();
}

void gSurfDxdCTy::ReleaseSurface() {
  if (surface && ownsSurface) surface->Release();
  surface = nullptr;
}

gSurfDxdCTy* gSurfDxdCTy::GetBackBuffer() {
  auto* back = new gSurfDxdCTy;
  if (surface)
    surfRetry(surfOp::GetBackBuffer, this, nullptr, [&] { return surface->EnumAttachedSurfaces(back, storeAttached); });
  back->desc = desc;
  back->width = width;
  back->height = height;
  back->ownsSurface = 0;
  back->primary = 0;
  return back;
}

void gSurfDxdCTy::Flip() {
  if (surface) surfRetry(surfOp::Flip, this, nullptr, [&] { return surface->Flip(nullptr, 0); });
}

HDC gSurfDxdCTy::GetDC() {
  Unlock();
  if (!surface) return nullptr;
  HDC dc = nullptr;
  if (FAILED(surfRetry(surfOp::GetDC, this, nullptr, [&] { return surface->GetDC(&dc); }))) return nullptr;
  SetViewportOrgEx(dc, 0, 0, nullptr);
  return dc;
}

void gSurfDxdCTy::ReleaseDC(HDC dc) {
  Unlock();
  if (dc && surface) surfRetry(surfOp::ReleaseDC, this, nullptr, [&] { return surface->ReleaseDC(dc); });
}

void gSurfDxdCTy::Blt(gSurfDxdCTy* destination, int x, int y, const rectCTy* rect) {
  const rectCTy r = rect ? *rect : GetBounds();
  Unlock();
  destination->Unlock();
  if (!surface || !destination->surface) return;
  RECT to{x + r.x, y + r.y, x + r.x + r.w, y + r.y + r.h};
  RECT from = toRECT(r);
  const DWORD flags = keyFlag ? DDBLT_KEYSRC : 0;
  surfRetry(surfOp::Blt, this, destination,
            [&] { return destination->surface->Blt(&to, surface, &from, flags, nullptr); });
}

void gSurfDxdCTy::BltStretch(gSurfDxdCTy* destination, int x, int y, const rectCTy* rect,
                             const imgDrawParams* params) {
  const rectCTy r = rect ? *rect : GetBounds();
  Unlock();
  destination->Unlock();
  if (!surface || !destination->surface) return;
  RECT to{x + r.x, y + r.y, x + r.x + r.w, y + r.y + r.h};
  // Unscaled: the same rectangle of this surface; else the whole surface
  // stretched into it.
  RECT from = !params->scaled && params->mode != pel_OP_STRETCH ? toRECT(r) : RECT{0, 0, width, height};
  const DWORD flags = keyFlag ? DDBLT_KEYSRC : 0;
  const HRESULT hr = surfRetry(surfOp::BltStretch, this, destination,
                               [&] { return destination->surface->Blt(&to, surface, &from, flags, nullptr); });
  if (hr == DDERR_UNSUPPORTED || hr == DDERR_NOSTRETCHHW) imgCTy::DrawEx(destination, x, y, &r, params);
}

void gSurfDxdCTy::Clear(uint32_t pel) { Fill(pel, nullptr); }
