// Sprite lists: a scene of sprites ordered by depth, with a grid of counters
// over its area that records what needs redrawing.
//
// Sprites mark their old and new rectangles in the grid whenever they change
// (engine/spr.h); once a frame the owner calls DrawDirty with the target
// image, which turns the marked cells into rectangles and redraws, inside
// each, every shown sprite crossing it, farthest first. HitTest finds the
// sprite visible at a point by drawing the candidates into a one-pel probe.
//
// Grid geometry, per axis of length n: n cells of one pel when n < 16; 16
// cells when n is a multiple of 16; otherwise as many cells as the smallest
// divisor of n above 16. So 800 x 600 has 16 x 20 cells of 50 x 30 pels,
// and a prime side above 16 has cells of one pel.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/img.h"
#include "engine/spr.h"

// The dirty grid of a list.
struct sprsDirtyGrid {
  std::vector<rectCTy> rects;  // collected by one DrawDirty, room kept
  std::vector<rectCTy> drawn;  // what the last DrawDirty drew, room kept
  int32_t* cells = nullptr;    // cols x rows counters, row-major
  uint32_t cols = 0, rows = 0;
  uint32_t cellW = 0, cellH = 0;
};

class sprsCTy {
 public:
  // Origin (0, 0), no sprites, no grid: SetSize gives the list its area.
  sprsCTy() = default;
  sprsCTy(const sprsCTy&) = delete;
  sprsCTy& operator=(const sprsCTy&) = delete;
  // Frees the grid and lets the sprites still in the list go (detached,
  // unmarked).
  virtual ~sprsCTy();

  // Draws the shown sprites into the target inside the clip (null: the
  // whole target), farthest first, relative sprites shifted by -(x, y).
  virtual void Draw(imgCTy* target, int32_t originX, int32_t originY, const rectCTy* clip);

  // The area {0, 0, w, h} and a new zeroed grid for it (w and h at least 1;
  // otherwise the list has no grid and marks nothing).
  void SetSize(int32_t w, int32_t h);
  // Attaches the sprite at the default depth (after the sprites already
  // there), unmarked. A sprite of another list is taken out of it first.
  static void Add(sprsCTy* list, sprCTy* sprite);
  // Marks the sprite's rectangle and detaches it; nothing for a sprite that
  // is not in this list.
  void Remove(sprCTy* sprite);
  // Sets the counters of the cells under the rectangle, cut to the limit, to
  // count (0 to 255). A mark reaching outside the grid is dropped whole.
  void MarkDirty(const rectCTy* rect, const rectCTy* limit, int32_t count);
  // Appends the rectangles of the cells above 0 (runs of a row, full rows
  // joined) and counts those cells down by one.
  void CollectDirtyRects();
  // Collects the dirty rectangles and draws the list into each of them.
  void DrawDirty(imgCTy* target);
  // The rectangles the last DrawDirty drew into (none when it found nothing
  // marked), until the next one.
  const std::vector<rectCTy>& Drawn() const { return grid.drawn; }
  // The nearest shown sprite of depth zmin to zmax whose drawing changes the
  // pel at (px, py), searching after `after` when given (null when `after`
  // is not in this list), or null.
  sprCTy* HitTest(int32_t zmin, int32_t zmax, int32_t px, int32_t py, sprCTy* after);

  // Outlines every dirty rectangle drawn, in a random colour (off at first).
  void SetDebugOutline(int on) { debugOutline = on; }
  uint32_t Count() const { return uint32_t(depthMap.size()); }

  // For sprites: the entry of the sprite (new or moved) at the depth, after
  // the entries of equal depth; and the entry let go without marking.
  void Place(sprCTy* sprite, int32_t depth);
  void Forget(sprCTy* sprite);

  int32_t originX = 0, originY = 0;
  rectCTy area{};
  sprDepthMap depthMap;
  sprsDirtyGrid grid;
  int debugOutline = 0;

 private:
  void FreeGrid();
  void Outline(imgCTy* target, const rectCTy& r);
};
