// The runs of an RLE8 image converted to one destination's layout: beside
// the packed rows, which stay as they are, every run pel already looked up
// in the palette's converted table and stored in row order, so that a Copy
// stores a stretch of pels with one copy and an Alpha blends whole
// stretches in vectors (rle8_spans.h).
//
// The first unmirrored Copy or Alpha draw without depth images makes them
// for its destination's layout, and the image keeps them
// (imgRle8CTy::converted) with what they were made from: the row table and
// bounds, the Dst, the key pel and the converted table itself. A draw that
// finds any of these changed makes them anew: a palette changed through any
// palette object (shared ones too) or replaced, a key set, another
// destination format. FreeData, which every change of the rows runs
// (Unlock, SetSize, the reads, in place or not, and the destructor), frees
// them. They live on the plain heap (zone 0), whatever zone is current when
// a draw makes them.
//
// A row's runs are spans: x, the first pel (relative to the bounds), and n
// pels. A repeat whose pels fill at least a cache line of the destination
// is a fill span, its one pel stored once; the other run pels gather into
// copy spans. Skips are the gaps between spans. On a keyed image, run pels
// whose entry equals the key pel (by the key test of the Dst) form key
// spans: keyed draws leave them out, the others draw them. A row keeps its
// spans in four groups, in this order: copies, fills, key copies, key
// fills, each group in x order, with its pels in the same order (a fill's
// one pel for a fill) from the group's first: a walk through a group takes
// each span's pels from where the one before it ended, so a span names no
// pels of its own.
#pragma once

#include <cstdint>

#include "engine/rle8/rle8_members.h"

struct rle8Span {
  int32_t x, n;
};

// The groups of a row's spans, in the order they are kept.
enum rle8SpanGroup { rle8Copies, rle8Fills, rle8KeyCopies, rle8KeyFills, rle8Groups };

struct rle8Converted {
  uint8_t* const* rows;
  rectCTy bounds;
  int dst;
  int64_t key;  // the key pel in the Dst's layout, or -1 without a key
  uint8_t table[palCTy::kTableEntries * 4];
  // Group g of row i is spans[rowSpans[i * rle8Groups + g]] up to the next
  // entry's (bounds.h * rle8Groups + 1 entries); its pels start
  // rowPels[i * rle8Groups + g] bytes into `pels`.
  uint32_t* rowSpans;
  uint32_t* rowPels;
  rle8Span* spans;
  uint8_t* pels;
};

// Frees converted runs (null: nothing).
void rle8FreeConverted(rle8Converted* runs);

// Draws rows k of a (as rle8_members.h's row loops) in Op Copy or Alpha (op
// of rle8_table.h) at `weight` (0 to 256), keyed or not, onto a destination
// of `format`, through the image's converted runs, made first when they are
// missing or stale. False when it draws nothing: another op, or no memory
// for the runs (the caller's member draws then).
bool rle8DrawConverted(imgRle8CTy& image, int format, int op, bool keyed, const rle8DrawArgs& a, int weight);
