// Sprite lists: the depth map, the dirty grid and the draws.
#include "engine/sprs.h"

#include <algorithm>

#include "base/mem.h"
#include "base/rnd.h"
#include "engine/dirty_cells.h"
#include "engine/img_row.h"

namespace {

// Cells along an axis of length n.
uint32_t cellsAlong(int32_t n) {
  if (n < 16) return uint32_t(n);
  if (n % 16 == 0) return 16;
  int32_t cells = 17;
  while (n % cells) ++cells;
  return uint32_t(cells);
}

}  // namespace

sprsCTy::~sprsCTy() {
  for (auto& e : depthMap) e.second->SetList(nullptr);
  FreeGrid();
}

void sprsCTy::FreeGrid() {
  memHooks.free(grid.cells);
  grid.cells = nullptr;
  grid.cols = grid.rows = grid.cellW = grid.cellH = 0;
  grid.drawn.clear();
}

void sprsCTy::SetSize(int32_t w, int32_t h) {
  FreeGrid();
  area = rectCTy{};
  if (w < 1 || h < 1) return;
  area.w = w;
  area.h = h;
  const uint32_t cols = cellsAlong(w), rows = cellsAlong(h);
  grid.cells = static_cast<int32_t*>(memCalloc(size_t(cols) * rows * sizeof(int32_t)));
  if (!grid.cells) return;
  grid.cols = cols;
  grid.rows = rows;
  grid.cellW = uint32_t(w) / cols;
  grid.cellH = uint32_t(h) / rows;
  // The most one collection yields, so drawing never allocates.
  grid.rects.clear();
  grid.rects.reserve(size_t((cols + 1) / 2) * rows);
  grid.drawn.reserve(grid.rects.capacity());
}

void sprsCTy::Add(sprsCTy* list, sprCTy* sprite) {
  if (sprite->owner) sprite->owner->Remove(sprite);
  sprite->SetList(list);
  sprite->depth = spr_DEFAULT_Z;
  list->Place(sprite, spr_DEFAULT_Z);
}

void sprsCTy::Place(sprCTy* sprite, int32_t depth) {
  if (sprite->inList) depthMap.erase(sprite->entry);
  sprite->entry = depthMap.insert({depth, sprite});
  sprite->inList = 1;
}

void sprsCTy::Forget(sprCTy* sprite) {
  if (sprite->owner != this) return;
  if (sprite->inList) depthMap.erase(sprite->entry);
  sprite->SetList(nullptr);
}

void sprsCTy::Remove(sprCTy* sprite) {
  if (sprite->owner != this || !sprite->inList) return;
  sprite->Invalidate();
  Forget(sprite);
}

void sprsCTy::MarkDirty(const rectCTy* rect, const rectCTy* limit, int32_t count) {
  if ((rect->w == 0 && rect->h == 0) || !grid.cellW || !grid.cellH) return;
  rectCTy c;
  if (!c.Intersect(rect, limit)) return;
  if (c.x < 0 || c.y < 0) return;
  const int64_t c0 = c.x / grid.cellW, c1 = (int64_t(c.x) + c.w - 1) / grid.cellW;
  const int64_t r0 = c.y / grid.cellH, r1 = (int64_t(c.y) + c.h - 1) / grid.cellH;
  if (c1 >= grid.cols || r1 >= grid.rows) return;
  for (int64_t r = r0; r <= r1; ++r) std::fill(grid.cells + r * grid.cols + c0, grid.cells + r * grid.cols + c1 + 1, count);
}

void sprsCTy::CollectDirtyRects() {
  if (!grid.cells) return;
  dirtyCellsCollect(grid.cells, int32_t(grid.cols), int32_t(grid.rows), int32_t(grid.cellW), int32_t(grid.cellH),
                    grid.rects);
}

void sprsCTy::Draw(imgCTy* target, int32_t ox, int32_t oy, const rectCTy* clip) {
  if (!target) return;
  // Draws never reach past the target.
  const rectCTy whole{{0, 0, target->width, target->height}};
  rectCTy k = whole;
  if (clip && !k.Intersect(clip, &whole)) return;
  for (auto e = depthMap.rbegin(); e != depthMap.rend(); ++e) {
    sprCTy* s = e->second;
    if (!s->shown) continue;
    rectCTy r, cut;
    s->GetRect(&r);
    if (s->clip) {
      if (!cut.Intersect(s->clip, &r)) continue;
      r = cut;
    }
    int32_t sx = s->x, sy = s->y;
    if (s->relative) {
      r.x -= ox;
      r.y -= oy;
      sx -= ox;
      sy -= oy;
    }
    if (!cut.Intersect(&k, &r)) continue;
    cut.x -= sx;
    cut.y -= sy;
    s->SetTarget(target, sx, sy, &cut);
    s->Draw();
  }
}

void sprsCTy::DrawDirty(imgCTy* target) {
  grid.drawn.clear();
  CollectDirtyRects();
  if (grid.rects.empty()) return;
  for (const rectCTy& r : grid.rects) Draw(target, originX, originY, &r);
  if (debugOutline && target) {
    // Lines do not clip: the outline of the part inside the target.
    const rectCTy whole{{0, 0, target->width, target->height}};
    rectCTy c;
    for (const rectCTy& r : grid.rects)
      if (c.Intersect(&r, &whole)) Outline(target, c);
  }
  // Both lists keep their room: no allocation per frame.
  grid.drawn.swap(grid.rects);
  grid.rects.clear();
}

void sprsCTy::Outline(imgCTy* target, const rectCTy& r) {
  const uint32_t red = rndRange(255), green = rndRange(255), blue = rndRange(255);
  const uint32_t pel = target->ToNative(red << 16 | green << 8 | blue);
  target->DrawHLine(pel, r.x, r.y, r.w - 1, 0xFFFFFFFF);
  target->DrawHLine(pel, r.x, r.y + r.h - 1, r.w - 1, 0xFFFFFFFF);
  target->DrawVLine(pel, r.x, r.y, r.h - 1, 0xFFFFFFFF);
  target->DrawVLine(pel, r.x + r.w - 1, r.y, r.h - 1, 0xFFFFFFFF);
}

sprCTy* sprsCTy::HitTest(int32_t zmin, int32_t zmax, int32_t px, int32_t py, sprCTy* after) {
  auto e = depthMap.begin();
  if (after) {
    if (after->owner != this || !after->inList) return nullptr;
    e = std::next(after->entry);
  }
  imgRowCTy probe;
  pelFmtDesc format;
  format.Set(pel_FMT_X8R8G8B8, nullptr);
  probe.SetSize(1, 1, &format);
  if (!probe.buffer) return nullptr;
  for (; e != depthMap.end(); ++e) {
    sprCTy* s = e->second;
    if (s->depth > zmax) return nullptr;
    if (!s->shown || s->depth < zmin) continue;
    int64_t ox = int64_t(s->x) - px, oy = int64_t(s->y) - py;
    rectCTy r;
    s->GetRect(&r);
    int64_t rx = int64_t(r.x) - px, ry = int64_t(r.y) - py;
    if (!s->relative) {
      ox += originX;
      oy += originY;
      rx += originX;
      ry += originY;
    }
    if (rx > 0 || rx + r.w - 1 < 0 || ry > 0 || ry + r.h - 1 < 0) continue;
    // The point in the sprite's coordinates.
    const rectCTy point{{int32_t(-ox), int32_t(-oy), 1, 1}};
    for (uint32_t background : {0u, 1u}) {
      probe.Fill(background, nullptr);
      s->SetTarget(&probe, int32_t(ox), int32_t(oy), &point);
      s->Draw();
      if (probe.PelAtXY(0, 0) != background) return s;
    }
  }
  return nullptr;
}
