// The screen update by dirty cells.
#include "engine/gfx_dirty.h"

#include <vector>

#include "base/mem.h"
#include "engine/dirty_cells.h"
#include "engine/gfx.h"
#include "engine/surf.h"
#include "platform/win_user.h"

gfxDirtyStateTy gfxDirty{};

namespace {

constexpr int32_t kCellW = 32;
constexpr int32_t kCellH = 24;

std::vector<rectCTy>& rects() {
  static auto* r = new std::vector<rectCTy>;  // lives for the process
  return *r;
}

void* g_updateBuffer = nullptr;  // nothing allocates it

int32_t& cell(int32_t c, int32_t r) { return gfxDirty.grid[r * gfxDirty.cols + c]; }

}  // namespace

int gfxDirtyReset() {
  gfxDirtyInit();
  return 0;
}

int gfxDirtyInit() {
  gfxDirtyClear();
  const int32_t w = gfxState.screenWidth, h = gfxState.screenHeight;
  if (w <= 0 || h <= 0) return 1;
  gfxDirty.cols = (w + kCellW - 1) / kCellW;
  gfxDirty.rows = (h + kCellH - 1) / kCellH;
  gfxDirty.grid = static_cast<int32_t*>(
      memCalloc(size_t(gfxDirty.rows + 1) * size_t(gfxDirty.cols + 1) * sizeof(int32_t)));
  if (!gfxDirty.grid) return 1;
  gfxDirty.screen = {0, 0, w, h};
  gfxDirty.area = w * h;
  rectCTy whole{0, 0, w, h};
  gfxDirtyTouch(&whole, &gfxDirty.screen);
  return 1;
}

void gfxDirtyClear() {
  memHooks.free(gfxDirty.grid);
  gfxDirty.grid = nullptr;
  gfxDirty.area = 0;
}

int gfxDirtyTouch(rectCTy* rect, const rectCTy* clip) {
  if (!gfxDirty.area || !rectIntersect(rect, rect, clip)) return 1;
  const int32_t c0 = rect->x / kCellW, c1 = (rect->x + rect->w) / kCellW;
  const int32_t r0 = rect->y / kCellH, r1 = (rect->y + rect->h) / kCellH;
  for (int32_t r = r0; r <= r1; ++r)
    for (int32_t c = c0; c <= c1; ++c) cell(c, r) = 1;
  return 1;
}

int gfxDirtyTouchRect(int x, int y, int w, int h) {
  rectCTy r{x, y, w, h};
  return gfxDirtyTouch(&r, &gfxDirty.screen);
}

void gfxDirtyTouchRects(const std::vector<rectCTy>& rects) {
  for (rectCTy r : rects) gfxDirtyTouch(&r, &gfxDirty.screen);
}

void gfxDirtyMerge() {
  if (!gfxDirty.area) return;
  std::vector<rectCTy>& list = rects();
  dirtyCellsCollect(gfxDirty.grid, gfxDirty.cols, gfxDirty.rows, kCellW, kCellH, list);
  if (gfxDevice && (gfxDevice->flags & gfx_MODE_FLIP)) list.assign(1, gfxDirty.screen);
}

void gfxDirtyRedraw() {
  if (!gfxDevice) return;
  bool restored = false;
  for (gSurfDxdCTy* s : {gfxDevice->back, gfxDevice->primary})
    if (s && s->surface && s->surface->IsLost() == DDERR_SURFACELOST) {
      s->Restore();
      restored = true;
    }
  // What the screen showed is gone with it: this update presents it all.
  if (restored && gfxDirty.area) rects().assign(1, gfxDirty.screen);
}

void gfxDirtyPresent() {
  if (!gfxDirty.area) return;
  if (gfxDirty.drawFps) gfxDrawFps(10, 10);
  gDDCTy* device = gfxDevice;
  std::vector<rectCTy>& list = rects();
  const bool flip = device && (device->flags & gfx_MODE_FLIP);
  if (device && device->primary && device->back && !flip) {
    POINT origin{0, 0};
    if (!(device->flags & gfx_MODE_FULLSCREEN)) ClientToScreen(device->window, &origin);
    for (rectCTy r : list) {
      // Cells of a screen size that is no multiple of the cell reach past it.
      if (rectIntersect(&r, &r, &gfxDirty.screen)) device->back->Draw(device->primary, origin.x, origin.y, &r);
    }
  }
  list.clear();
  if (device && device->back) device->back->Unlock();
  if (device && device->primary) device->primary->Unlock();
  if (flip) gfxPresent();
}

void gfxDirtyUpdate() {
  if (gfxDirty.drawFps) gfxDirtyTouchRect(10, 10, 400, 20);
  gfxDirtyMerge();
  gfxDirtyRedraw();
  gfxDirtyPresent();
}

void gfxFreeUpdateBuffer() {
  memHooks.free(g_updateBuffer);
  g_updateBuffer = nullptr;
}

uint32_t gfxDirtyRectCount() { return uint32_t(rects().size()); }

const rectCTy* gfxDirtyRects() { return rects().data(); }
