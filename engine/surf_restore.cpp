// The surface image: creation, restore and recreation, the restore kinds
// and the content they reload (DIBs, image pack items, images).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/mem.h"
#include "base/str.h"
#include "engine/gfx.h"
#include "engine/surf.h"
#include "engine/surf_retry.h"

int surfRestore(gSurfDxdCTy* surface) { return surface->Restore(); }

// --- creation ---

void gSurfDxdCTy::ReadPelFormat() {
  DDPIXELFORMAT pf{};
  pf.dwSize = sizeof pf;
  const HRESULT hr = surface->GetPixelFormat(&pf);
  if (FAILED(hr)) {
    errRaise(hr);
    return;
  }
  desc.format = ddFormatToPelFmt(pf);
}

void gSurfDxdCTy::CreateSurface(DDSURFACEDESC2& d) {
  const HRESULT hr = gfxDirectDraw ? gfxDirectDraw->CreateSurface(&d, &surface, nullptr) : DDERR_NOTINITIALIZED;
  if (FAILED(hr)) errRaise(hr);
  if (!surface) {
    errRaise(DDERR_CURRENTLYNOTAVAIL);
    return;
  }
  ReadPelFormat();
}

void gSurfDxdCTy::CreatePrimary(int w, int h, int backBuffers) {
  primary = 1;
  Unlock();
  ReleaseSurface();
  imgCTy::SetSize(w, h, nullptr);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof d;
  d.dwFlags = DDSD_CAPS;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (backBuffers > 0) {
    d.dwFlags |= DDSD_BACKBUFFERCOUNT;
    d.dwBackBufferCount = DWORD(backBuffers);
    d.ddsCaps.dwCaps |= DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  }
  ERR_TRY(frame) {
    d.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY;
    CreateSurface(d);
  }
  ERR_CATCH(frame, code) {
    d.ddsCaps.dwCaps = (d.ddsCaps.dwCaps & ~DDSCAPS_VIDEOMEMORY) | DDSCAPS_SYSTEMMEMORY;
    CreateSurface(d);
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
}

void gSurfDxdCTy::CreateOffscreen(int w, int h, int videoMemory, int) {
  Unlock();
  ReleaseSurface();
  imgCTy::SetSize(w, h, nullptr);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof d;
  d.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  d.dwWidth = DWORD(w);
  d.dwHeight = DWORD(h);
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | (videoMemory ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
  CreateSurface(d);
}

void gSurfDxdCTy::SetSize(int w, int h, const pelFmtDesc* descriptor) {
  if (descriptor) desc = *descriptor;
  CreateOffscreen(w, h, 1, 0);
}

// --- restore kinds ---

void gSurfDxdCTy::ClearRestore() {
  if (restoreKind == surf_RESTORE_BMP || restoreKind == surf_RESTORE_PACK) memHooks.free(restoreSource);
  restoreSource = nullptr;
  restoreKind = surf_RESTORE_NONE;
}

void gSurfDxdCTy::SetRestoreBmp(const char* fileName, int x, int y, int w, int h) {
  ClearRestore();
  if (!fileName || !(restoreSource = strDup(fileName))) return;
  restoreKind = surf_RESTORE_BMP;
  restore.rect = {x, y, w, h};
}

void gSurfDxdCTy::SetRestorePack(const char* fileName, int item) {
  ClearRestore();
  if (!fileName || !(restoreSource = strDup(fileName))) return;
  restoreKind = surf_RESTORE_PACK;
  restore.item = item;
}

void gSurfDxdCTy::SetRestoreImage(imgCTy* source, const rectCTy* rect, int x, int y) {
  ClearRestore();
  if (!source) return;
  restoreKind = surf_RESTORE_IMAGE;
  restoreSource = source;
  restore.rectFlag = rect ? 1 : 0;
  restore.rect = rect ? *rect : rectCTy{0, 0, 0, 0};
  restore.x = x;
  restore.y = y;
}

void gSurfDxdCTy::SetRestoreScaled(imgCTy* source, float scaleX, float scaleY, int mirror) {
  ClearRestore();
  if (!source) return;
  restoreKind = surf_RESTORE_SCALED;
  restoreSource = source;
  restore.scaleX = scaleX;
  restore.scaleY = scaleY;
  restore.mirror = mirror;
}

void gSurfDxdCTy::Reload() {
  auto* source = static_cast<imgCTy*>(restoreSource);
  switch (restoreKind) {
    case surf_RESTORE_BMP: {
      const rectCTy& r = restore.rect;
      if (dibHeader* dib = bmp8Load(static_cast<const char*>(restoreSource), r.x, r.y, r.w, r.h)) {
        surfDrawDib(this, 0, 0, dib);
        memHooks.free(dib);
      }
      break;
    }
    case surf_RESTORE_PACK: {
      resPackTy* pack = resPackOpen(static_cast<const char*>(restoreSource), gfxRGB);
      if (!pack) break;
      resPackItemTy item;
      resPackItem(pack, restore.item, &item);
      // The item's first pel goes to the surface's corner: its offsets are
      // set to 0 in the copy (negating them overflows for the most negative
      // offset).
      std::memset(item.header + 8, 0, 8);
      surfDrawPackItem(this, &item, 0, 0);
      resPackClose(pack);
      break;
    }
    case surf_RESTORE_IMAGE: {
      if (source->keyFlag) {
        SetColorKeyRGB(source->keyColor);
        FillRGB(source->keyColor, nullptr);
      }
      imgDrawParams p{};
      p.mode = pel_OP_COPY;
      p.scaleX = p.scaleY = 1.0f;
      source->DrawEx(this, restore.x, restore.y, restore.rectFlag ? &restore.rect : nullptr, &p);
      break;
    }
    case surf_RESTORE_SCALED: {
      if (source->keyFlag) {
        FillRGB(source->keyColor, nullptr);
        SetColorKeyRGB(source->keyColor);
      }
      const rectCTy b = source->GetBounds();
      if (!b.w || !b.h) break;
      rectCTy r{0, 0, width, height};
      if (restore.scaleX == 1.0f && restore.scaleY == 1.0f) {
        if (restore.mirror) source->DrawMirrorH(this, 0, 0, &r);
        else source->Draw(this, 0, 0, &r);
      } else {
        imgDrawParams p{};
        p.mode = pel_OP_STRETCH;
        p.scaled = 1;
        p.scaleX = restore.scaleX;
        p.scaleY = restore.scaleY;
        if (restore.mirror) source->DrawExMirrorH(this, 0, 0, &r, &p);
        else source->DrawEx(this, 0, 0, &r, &p);
      }
      break;
    }
    default: break;
  }
}

// --- restore ---

int gSurfDxdCTy::Restore() {
  if (!surface || restoring_) return 0;
  if (surface->IsLost() == DD_OK) return 1;
  struct Guard {
    int& flag;
    explicit Guard(int& f) : flag(f) { flag = 1; }
    ~Guard() { flag = 0; }
  } guard(restoring_);
  for (;;) {
    const HRESULT hr = surface->Restore();
    if (hr == DD_OK) break;
    if (hr == DDERR_IMPLICITLYCREATED) {
      // A back buffer of a flip chain: the primary restores the chain.
      gSurfDxdCTy* front = gfxDevice ? gfxDevice->primary : nullptr;
      if (front && front != this) front->Restore();
      return surface->IsLost() == DD_OK ? 1 : 0;
    }
    if (hr == DDERR_OUTOFVIDEOMEMORY || hr == DDERR_WRONGMODE) {
      if (primary || !Recreate()) return 0;
      break;
    }
    errRaise(hr);
    return 0;
  }
  const bool wasLocked = data != nullptr;
  const rectCTy lockedRect = lockRect;
  const int lockedMode = lockMode;
  data = nullptr;
  ReadPelFormat();
  if (keyFlag) {
    Clear(keyPel);
    SetColorKey(keyPel);
  }
  Reload();
  if (wasLocked) Lock(&lockedRect, lockedMode);
  return 1;
}

int gSurfDxdCTy::Recreate() {
  DDSURFACEDESC2 old{};
  old.dwSize = sizeof old;
  HRESULT hr = surface->GetSurfaceDesc(&old);
  if (FAILED(hr)) hr = surface->GetSurfaceDesc(&old);
  if (FAILED(hr)) {
    errRaise(hr);
    return 0;
  }
  ReleaseSurface();
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof d;
  d.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  d.dwHeight = old.dwHeight;
  d.dwWidth = old.dwWidth;
  d.ddsCaps.dwCaps = old.ddsCaps.dwCaps;
  DWORD& caps = d.ddsCaps.dwCaps;
  for (;;) {
    hr = gfxDirectDraw ? gfxDirectDraw->CreateSurface(&d, &surface, nullptr) : DDERR_NOTINITIALIZED;
    if (hr != DDERR_OUTOFVIDEOMEMORY) break;
    // One kind of memory down: local video, non-local video, system.
    if (caps & DDSCAPS_LOCALVIDMEM) {
      caps = (caps & ~DDSCAPS_LOCALVIDMEM) | DDSCAPS_NONLOCALVIDMEM;
    } else if (caps & DDSCAPS_NONLOCALVIDMEM) {
      caps = (caps & ~(DDSCAPS_NONLOCALVIDMEM | DDSCAPS_VIDEOMEMORY)) | DDSCAPS_SYSTEMMEMORY;
    } else {
      break;
    }
  }
  if (FAILED(hr)) {
    errRaise(hr);
    return 0;
  }
  if (!surface) {
    errRaise(DDERR_CURRENTLYNOTAVAIL);
    return 0;
  }
  return 1;
}

// --- DIBs and pack items ---

namespace {

// The surface locked whole in the screen's pel size, or false (nothing to
// draw: no pels, or pels of another size than the screen's).
bool lockForScreen(gSurfDxdCTy* surface) {
  surface->Lock(nullptr, img_LOCK_READWRITE);
  if (surface->data && pelBytes(surface->desc.format) == gfxState.screenBytes) return true;
  surface->Unlock();
  return false;
}

}  // namespace

void surfDrawDib(gSurfDxdCTy* surface, int x, int y, const dibHeader* dib) {
  if (!surface || !dib) return;
  const int bits = dib->biBitCount;
  const int64_t w = dib->biWidth, h = std::abs(int64_t(dib->biHeight));
  if (bits != 8 && bits != 24) return;
  const uint8_t* rows = dibBits(dib);
  if (bits == 8 && (gfxState.screenBytes == 1 || gfxState.screenBytes == 2)) {
    if (!lockForScreen(surface)) return;
    uint16_t table[256] = {};
    const auto* colours = reinterpret_cast<const RGBQUAD*>(dib + 1);
    const uint32_t count = std::min<uint32_t>(dibColors(dib), 256);
    for (uint32_t i = 0; i < count; ++i)
      table[i] = gfxRGB(RGB(colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue));
    const int64_t stride = (w * 8 + 31) / 32 * 4;
    for (int64_t r = 0; r < h; ++r) {
      const int64_t py = y + r;
      if (py < 0 || py >= surface->height) continue;
      const uint8_t* src = rows + (dib->biHeight > 0 ? h - 1 - r : r) * stride;
      const int64_t from = std::max<int64_t>(0, -int64_t(x)), to = std::min<int64_t>(w, surface->width - int64_t(x));
      uint8_t* row = surface->data + py * surface->pitch * gfxState.screenBytes;
      for (int64_t c = from; c < to; ++c) {
        if (gfxState.screenBytes == 1) row[x + c] = src[c];
        else std::memcpy(row + 2 * (x + c), &table[src[c]], 2);
      }
    }
    surface->Unlock();
    return;
  }
  if (HDC dc = surface->GetDC()) {
    SetDIBitsToDevice(dc, x, y, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), rows, reinterpret_cast<const BITMAPINFO*>(dib),
                      DIB_RGB_COLORS);
    surface->ReleaseDC(dc);
  }
}

void surfDrawPackItem(gSurfDxdCTy* surface, const resPackItemTy* item, int x, int y) {
  if (!surface || !item || (gfxState.screenBytes != 1 && gfxState.screenBytes != 2)) return;
  if (!lockForScreen(surface)) return;
  resPackDrawRows(surface->data, surface->pitch, gfxState.screenBytes, baseRect{0, 0, surface->width, surface->height},
                  item, x, y);
  surface->Unlock();
}
