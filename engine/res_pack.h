// Image packs: files of palettised images stored as run-length-coded rows
// behind one shared 256-colour palette. The file is mapped and its items are
// drawn straight from the mapping onto 8-bit or 16-bit pels.
//
// The file, little-endian, offsets from its start:
//   0     u32   the pack's size as the resource list counts it
//   16    1024  palette: 256 entries of red, green, blue and an unused byte
//   1052  u32s  item offset table: for each item the offset of its header
// The other words of the first 1052 bytes are not read. No field holds the
// number of items: it is taken as (first item offset - 1052) / 4, and no
// more than the file holds.
//
// An item, at its offset:
//   8   i32   x offset: where its first column is drawn from the position
//   12  i32   y offset: where its first row is drawn
//   16  i32   width in pels
//   20  i32   height in rows
//   48  u32s  row table: for each row the offset of its first code byte
//             from the start of the pixel data, which follows the table
// The other bytes of the 48-byte header are not read. Rows are coded as
// engine/rle8_row.h describes; a row's codes cover the item's width.
//
// The file comes from outside: every offset it states is checked against the
// mapping before it is followed, and no code is read past the mapping's end.
#pragma once

#include <cstdint>

#include "base/mf.h"
#include "base/str.h"

constexpr uint32_t resPackHeaderSize = 1052;
constexpr uint32_t resPackPaletteAt = 16;
constexpr uint32_t resPackItemHeaderSize = 48;

// The signed 32-bit little-endian word at p.
inline int32_t resPackInt(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

// A loaded pack: the file's header as read, and beside it what the pack
// keeps while it is open (the file's own words for these are 4 bytes wide).
struct resPackTy {
  uint8_t header[resPackHeaderSize];
  uint16_t* palTable;      // 256 display pels of the palette
  int32_t ownsTable;       // 1: resPackClose frees palTable
  mfFile* mapping;         // the whole file, read only
  const uint8_t* offsets;  // the item offset table, inside the mapping
  uint32_t itemCount;      // item offsets the table holds inside the file
};

// The size word the resource list counts.
inline uint32_t resPackSize(const resPackTy* pack) { return static_cast<uint32_t>(resPackInt(pack->header)); }

// What resPackItem fills: the item's header as in the file, and beside it
// the pointers the draw follows. A zeroed copy draws nothing.
struct resPackItemTy {
  uint8_t header[resPackItemHeaderSize];
  const uint16_t* palTable;  // the pack's display pels
  const uint8_t* rowTable;   // height row offsets (the item + 48)
  const uint8_t* pixels;     // the coded rows (after the row table)
  const uint8_t* end;        // the end of the mapping
};

inline int32_t resPackItemX(const resPackItemTy* item) { return resPackInt(item->header + 8); }
inline int32_t resPackItemY(const resPackItemTy* item) { return resPackInt(item->header + 12); }
inline int32_t resPackItemWidth(const resPackItemTy* item) { return resPackInt(item->header + 16); }
inline int32_t resPackItemHeight(const resPackItemTy* item) { return resPackInt(item->header + 20); }

// The display's 16-bit pel of a COLORREF (red in the low byte), as gfxRGB
// gives it.
using resPackRGBFn = uint16_t (*)(uint32_t colorRef);

// Opens and maps a pack, its palette table made with `rgb` (the display's
// gfxRGB, for the pels it is drawn to). Failures are raised and give null:
// -17 with the name when the file cannot be opened, -5 with the name when it
// is shorter than its header, -2 when memory runs out, and mfOpenRead's
// failure when it cannot be mapped; nothing is kept open then.
resPackTy* resPackOpen(const char* fileName, resPackRGBFn rgb);
// Closes the mapping, frees the palette table when the pack owns it, and
// frees the pack. Null is allowed.
void resPackClose(resPackTy* pack);
// Fills the copy with item `index` (nothing happens for a null copy). An
// index at or past the item count, or an item whose header, row table or
// row starts do not lie inside the mapping, gives a zeroed copy; so do a
// negative width or height.
void resPackItem(const resPackTy* pack, int32_t index, resPackItemTy* copy);

// A new table of 256 16-bit display pels for a palette of 256 four-byte
// entries (red, green, blue, unused): entry i is rgb of red | green << 8 |
// blue << 16. Allocated with memAlloc; null (raised) when memory runs out.
uint16_t* resPackPalTable(const uint8_t* palette, resPackRGBFn rgb);

// Draws an item into locked pels, its first row and column at (x + its x
// offset, y + its y offset). pels is pel (0, 0) of the memory and pitch the
// distance of its rows in pels; bytesPerPel 1 writes the palette indices as
// they are, 2 the palette table's pels, and any other value draws nothing.
// Only pels inside `clip` are written: rows above and below it are passed
// over, a row cut on the left is entered part way along, and runs are cut at
// its right edge. Transparent runs leave the pels as they are.
void resPackDrawRows(void* pels, int32_t pitch, int32_t bytesPerPel, const baseRect& clip,
                     const resPackItemTy* item, int32_t x, int32_t y);
