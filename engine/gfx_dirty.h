// The screen update: a grid of 32 x 24-pel screen cells marked as changed;
// once per frame the marked cells become a short list of rectangles that are
// blitted from the back surface to the primary surface (with a flip chain,
// the whole screen is flipped). Window thread only.
//
// cols and rows are the screen size divided by 32 and 24, rounded up, so
// every pel of any screen size lies in a cell. Cell (c, r) is counter
// r * cols + c: a mark in column cols (a rectangle reaching the screen's
// right edge of a size that is a multiple of 32) lands on column 0 of the
// next row, as it always has; the grid has a spare row and column of
// counters for it.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/img.h"

struct gfxDirtyStateTy {
  int32_t* grid;      // (cols + 1) x (rows + 1) counters, 1 marked
  int32_t cols, rows;
  rectCTy screen;     // every mark is clipped to it
  int32_t area;       // screen width x height; 0 while there is no grid
  int32_t drawFps;    // the frame-rate switch
};
extern gfxDirtyStateTy gfxDirty;

// gfxDirtyInit, then the screen node list emptied (there are none); 0.
int gfxDirtyReset();
// A new grid for the screen size of gfxSetMode, all of it marked; 1.
int gfxDirtyInit();
// The grid freed; marking and presenting do nothing until the next init.
void gfxDirtyClear();
// Marks the cells the rectangle touches (after clipping it, in place, to
// `clip`); the cells right of and below it are marked too when it ends on a
// cell boundary. 1.
int gfxDirtyTouch(rectCTy* rect, const rectCTy* clip);
int gfxDirtyTouchRect(int x, int y, int w, int h);
// Marks each rectangle (a sprite list's drawn ones: sprsCTy::Drawn), as
// gfxDirtyTouchRect does.
void gfxDirtyTouchRects(const std::vector<rectCTy>& rects);
// The marked cells appended to the rectangle list as runs of a row, full
// rows joined into one; with a flip chain the list is the whole screen.
void gfxDirtyMerge();
// Lost back and primary surfaces restored; after a restore the list is
// the whole screen.
void gfxDirtyRedraw();
// The frame-rate line, then every listed rectangle blitted to the primary
// surface (or a flip); the list emptied.
void gfxDirtyPresent();
// The whole update of one frame.
void gfxDirtyUpdate();
void gfxFreeUpdateBuffer();

// The rectangle list: its count and rectangles (valid until it changes).
uint32_t gfxDirtyRectCount();
const rectCTy* gfxDirtyRects();
