// The surface image: an imgCTy whose pels live in a DirectDraw surface (the
// primary surface, the back surface, any off-screen surface). Fills, plain
// and keyed copies between surfaces and stretches go to DirectDraw where it
// can; everything else draws in software through imgCTy::DrawEx. Every
// DirectDraw call on an existing surface follows one retry rule (surf.cpp):
// a lost surface is restored and the call made again, a surface may reload
// its content after a restore (its restore kind).
//
// An object without a DirectDraw surface (its creation failed) is inert:
// Lock leaves data null, blits, fills and flips do nothing, GetDC gives null.
#pragma once

#include <cstdint>

#include "base/dib.h"
#include "engine/img.h"
#include "engine/res_pack.h"
#include "platform/win_ddraw.h"
#include "platform/win_gdi.h"

// Restore kinds: where a surface's content is reloaded from after a restore.
constexpr int surf_RESTORE_NONE = 0;
constexpr int surf_RESTORE_BMP = 1;     // a rectangle of an 8-bit BMP file
constexpr int surf_RESTORE_PACK = 2;    // an item of an image pack
constexpr int surf_RESTORE_IMAGE = 3;   // a rectangle of an image, unscaled
constexpr int surf_RESTORE_SCALED = 4;  // a whole image, scaled (and mirrored)

// The pel format code of a DirectDraw pixel format (pel_FMT_UNKNOWN for
// layouts the engine has no code for).
int ddFormatToPelFmt(const DDPIXELFORMAT& format);

class gSurfDxdCTy : public imgCTy {
 public:
  gSurfDxdCTy();
  ~gSurfDxdCTy() override;
  gSurfDxdCTy(const gSurfDxdCTy&) = delete;
  gSurfDxdCTy& operator=(const gSurfDxdCTy&) = delete;

  void SetColorKey(uint32_t keyPel) override;
  void SetColorKeyRGB(uint32_t colour) override;
  // The whole surface is locked; data points at the rectangle's first pel.
  // A locked object stays as it is.
  void Lock(const rectCTy* rect, int mode) override;
  void Unlock() override;
  // A colour-fill blit (the caller's rectangle is not changed).
  void Fill(uint32_t pel, const rectCTy* rect) override;
  // Onto another surface a blit, onto any other image the software draw.
  void Draw(imgCTy* destination, int x, int y, const rectCTy* rect) override;
  void DrawEx(imgCTy* destination, int x, int y, const rectCTy* rect, const imgDrawParams* params) override;
  rectCTy GetBounds() override;
  // Not for surfaces: DDERR_CURRENTLYNOTAVAIL is raised, null returned.
  imgCTy* Clone() override;
  void FreeData() override;
  // A new off-screen surface in video memory (the descriptor, when given,
  // is copied first; the pel format becomes the surface's own).
  void SetSize(int w, int h, const pelFmtDesc* descriptor) override;

  // Creation; a failure is raised with its HRESULT (and
  // DDERR_CURRENTLYNOTAVAIL when no surface came). The primary surface tries
  // video memory, then system memory without a report.
  void CreatePrimary(int width, int height, int backBuffers);
  void CreateOffscreen(int width, int height, int videoMemory, int unused);
  // A new object over the back buffer attached to this primary surface
  // (owned by the flip chain, not by the object).
  gSurfDxdCTy* GetBackBuffer();

  void Flip();
  // A GDI device context of the surface (viewport origin (0, 0)), or null.
  HDC GetDC();
  void ReleaseDC(HDC dc);
  // Hardware copies of a rectangle (null: the bounds) to (x, y) of another
  // surface, keyed when this image has a colour key. BltStretch draws in
  // software where DirectDraw cannot stretch.
  void Blt(gSurfDxdCTy* destination, int x, int y, const rectCTy* rect);
  void BltStretch(gSurfDxdCTy* destination, int x, int y, const rectCTy* rect, const imgDrawParams* params);
  void Clear(uint32_t pel);
  // 1 when the surface is usable (not lost, or restored and reloaded), 0
  // when it cannot be restored.
  int Restore();
  // A new surface like the lost one, in the next kind of memory down when
  // video memory runs out; 1 or 0.
  int Recreate();

  // Where the content comes from after a restore; each replaces the kind
  // set before. File names are copied; images are borrowed and must outlive
  // the surface's use of them.
  void SetRestoreBmp(const char* fileName, int x, int y, int width, int height);
  void SetRestorePack(const char* fileName, int item);
  // rect null: the whole source.
  void SetRestoreImage(imgCTy* source, const rectCTy* rect, int x, int y);
  void SetRestoreScaled(imgCTy* source, float scaleX, float scaleY, int mirror);

  IDirectDrawSurface7* surface = nullptr;
  int restoreKind = surf_RESTORE_NONE;
  void* restoreSource = nullptr;  // kinds 1, 2: an owned file name; 3, 4: a borrowed image
  struct {
    rectCTy rect;      // BMP: the file's rectangle; IMAGE: the source rectangle
    int item;          // PACK
    int rectFlag;      // IMAGE: 0 means the whole source
    int x, y;          // IMAGE: the destination
    float scaleX, scaleY;  // SCALED
    int mirror;
  } restore{};
  int ownsSurface = 1;  // 0 for a flip chain's back buffer
  int primary = 0;

 private:
  // Takes the surface's pel format code from DirectDraw.
  void ReadPelFormat();
  // CreateSurface with the description; raises as the creations do.
  void CreateSurface(DDSURFACEDESC2& desc);
  void ReleaseSurface();
  void ClearRestore();
  void Reload();

  int restoring_ = 0;  // a Restore is running (a restore inside it gives 0)
};

// Draws an 8- or 24-bit DIB (a packed BITMAPINFO, its colour table and
// bottom-up rows) at (x, y) of a surface; other depths draw nothing.
void surfDrawDib(gSurfDxdCTy* surface, int x, int y, const dibHeader* dib);
// Draws an image pack item with its top-left at (x + its x offset, y + its
// y offset), on 8- and 16-bit displays.
void surfDrawPackItem(gSurfDxdCTy* surface, const resPackItemTy* item, int x, int y);
