// The RLE8 image: an 8-bit palettised picture with transparent areas, kept
// as run-length-coded rows over its opaque bounds.
//
// The image keeps no pels. It keeps the rectangle around its pels that are
// not transparent (the opaque bounds) and, for each row of that rectangle,
// the row's palette indices coded as engine/rle8_row.h describes: skips of
// transparent pels, literal runs and repeat runs. A row whose pels are all
// transparent is null. With a colour key, the key's native value (a palette
// index) is the transparent index; without one, Unlock packs against 257,
// which no index equals: such an image has no skips and no null rows, and
// its bounds are the whole image.
//
// Two ways lead to the pels. The draws (img_rle8_draw.cpp) walk the packed
// rows and never lock the image. Everything else (pel reads, lines, fills,
// the picture loaders) locks it: Lock unpacks the whole image into a buffer
// of indices whatever rectangle is asked for, and Unlock finds the bounds
// again and packs every row anew (unless locked read-only).
//
// Every row the image holds covers the bounds' width within its bytes: the
// packer makes such rows and the readers refuse others. The draws rely on
// it and are bounded by each row's bytes besides.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/img.h"

struct rle8Converted;

class imgRle8CTy : public imgCTy {
 public:
  imgRle8CTy();
  // The other's descriptor (an own palette copy), size, key, bounds and
  // version, and an own copy of each row (RowBytes bytes); not locked.
  imgRle8CTy(const imgRle8CTy& other);
  imgRle8CTy& operator=(const imgRle8CTy&) = delete;
  ~imgRle8CTy() override;

  const char* GetClassName() const override;
  // Always {0, 0, width, height}: every lock covers the whole image.
  void ResolveRect(const rectCTy* rect, rectCTy* out, int mode) override;
  // Unpacks every row into a new buffer of width * height indices (pitch =
  // width) that starts as the key index, or 0 without a key; data points at
  // the rectangle's corner (the image's without one). A lock of a locked
  // image does nothing.
  void Lock(const rectCTy* rect, int mode) override;
  // Unless locked in mode 1: new bounds (the key's tight rectangle, or the
  // whole image without a key, whose native value becomes 257) and new
  // owned rows packed from the buffer. The buffer is freed.
  void Unlock() override;

  // The draws (img_rle8_draw.cpp). Rectangles are in image pels, or in
  // mirrored-image pels (x mirrored as width - w - x + 1) for the mirrored
  // draws, which write the x they mirror back into the caller's rectangle;
  // null means the opaque bounds (mirrored, for the mirrored draws; scaled,
  // in mode 13). A rectangle lands at (x + its x, y + its y); pels it holds
  // outside the opaque bounds are transparent. A destination with a palette
  // is reported; an image without a palette or without rows draws nothing.
  void Draw(imgCTy* destination, int x, int y, const rectCTy* rect) override;
  void DrawMirrorH(imgCTy* destination, int x, int y, rectCTy* rect) override;
  void DrawExMirrorH(imgCTy* destination, int x, int y, rectCTy* rect, const imgDrawParams* params) override;
  void DrawEx(imgCTy* destination, int x, int y, const rectCTy* rect, const imgDrawParams* params) override;
  // Mode pel_OP_ALPHAMAP, which draws nothing here.
  void DrawAlphaMap(imgCTy* destination, int x, int y, const rectCTy* rect, imgCTy* weights) override;
  // Alpha at factor * 256 truncated (clamped to 0..256, NaN 0), never keyed.
  void DrawAlpha(imgCTy* destination, int x, int y, const rectCTy* rect, float factor) override;

  // The opaque bounds.
  rectCTy GetBounds() override;
  imgCTy* Clone() override;
  // Frees the rows (unless borrowed), the table and the converted runs: the
  // image has no rows until it is read, sized or unlocked again. The bounds
  // stay.
  void FreeData() override;
  // A descriptor of a format other than pel_FMT_P8 is reported ("Unsupported
  // pel's format") and only its palette is taken. The image has no pels
  // ({0, 0, 0, 0}) until a lock is written and unlocked.
  void SetSize(int w, int h, const pelFmtDesc* descriptor) override;
  void ReadInPlace(rwStream* stream) override;

  // The stored form (img_rle8_rw.cpp), 32-bit little-endian words:
  //   header  version (written as 1), the image header, bounds x, y, w, h,
  //           and for version 1 with h > 0 the row-offset table
  //   data    for version 0 with h > 0 the row-offset table; then the rows
  // The table has h + 1 entries; entry i + 1 - entry i is row i's length (0
  // for a null row). Written, entry 0 is the position of the table itself.
  // Version 0 entries are the rows' positions in the stream: entry 0 is where
  // the first row starts, right after the table.
  //
  // Reads check what they take: the format is pel_FMT_P8, the bounds lie in
  // the image, the entries do not decrease and stay inside the stream's
  // data, each row covers the bounds' width within its length. Otherwise -5
  // "Data error" is raised once (nothing more when the stream had failed
  // before), the stream fails and the image is left without rows and with
  // bounds {0, 0, 0, 0}.
  void WriteHeader(rwStream* stream) override;
  void WriteData(rwStream* stream) override;
  void ReadHeader(rwStream* stream) override;
  void ReadData(rwStream* stream) override;
  // Rows borrowed from the stream's data (the stream must outlive their use;
  // the image frees only its table). The position stays after the header
  // (version 1) or the table (version 0).
  void ReadDataInPlace(rwStream* stream) override;

  // The two dispatchers of DrawEx and DrawExMirrorH: the destination comes
  // locked at the destination rectangle (depth images as DrawEx locks them),
  // k is the kernel rectangle (relative to the bounds; in destination pels
  // in mode 13).
  void DrawExDispatch(imgCTy* destination, int x, int y, const rectCTy& k, const imgDrawParams* params);
  void DrawExMirrorHDispatch(imgCTy* destination, int x, int y, const rectCTy& k, const imgDrawParams* params);

  // Bytes of row i walked until the bounds' width is covered (at most what
  // the row holds); 0 for a null row or an index outside the rows.
  int RowBytes(int i) const;

  // The rw create function.
  static rwObjCTy* Create();

  uint32_t version = 1;
  uint8_t** rows = nullptr;        // bounds.h rows, entry i for image row bounds.y + i
  uint32_t* rowSizes = nullptr;    // bytes each row holds (0 for null), in the table's block
  rectCTy bounds{0, 0, 0, 0};
  uint8_t* lockBuffer = nullptr;   // the current lock's indices
  uint32_t* rowOffsets = nullptr;  // the row-offset table ReadHeader reads, until ReadData
  // The runs converted for the last destination drawn onto
  // (rle8_converted.h): made by the draws, freed with the rows.
  rle8Converted* converted = nullptr;

 private:
  void FreeOffsets();
  // Takes rows made elsewhere (owned or borrowed); the old ones go.
  void Adopt(uint8_t** table, rectCTy newBounds, bool borrowed);
  // Reads the rows of the table into new rows or onto the stream's data.
  void ReadRows(rwStream* stream, bool inPlace);
};

// --- Rows ------------------------------------------------------------------------

// A row table of n entries in one zero-filled block: n row pointers, then n
// sizes. Freed with memHooks.free of the pointer returned; null when no block
// could be had (-2 raised).
uint8_t** rle8AllocRowTable(int n);
inline uint32_t* rle8RowSizes(uint8_t** table, int n) { return reinterpret_cast<uint32_t*>(table + n); }

// Packs count indices against the transparent index `key` (an int compared
// with each index: 257 packs every pel). Returns a new memAlloc block of
// exactly *length bytes, or null with *length 0 when every pel is
// transparent (count 0 too). Transparent stretches become skips of up to
// 127, runs of three or more equal indices repeats of up to 63, the pels
// between them literals of up to 63.
uint8_t* rle8PackRow(const uint8_t* pels, int count, int key, int* length);
// Writes pels start to start + count - 1 of a row of `bytes` bytes to dest +
// start onward; skipped pels leave dest as it is. Reads nothing for count
// 0 or less, and nothing past the row.
void rle8UnpackRow(const uint8_t* row, size_t bytes, int start, int count, uint8_t* dest);
// True when the row's codes cover `width` pels within its bytes; *used
// takes the bytes walked until then.
bool rle8RowCovers(const uint8_t* row, size_t bytes, int width, size_t* used);
// The smallest rectangle around the pels that differ from `key`; {0, 0, 0,
// 0} when there is none.
void rle8OpaqueBounds(const uint8_t* pels, int pitch, int width, int height, uint8_t key, rectCTy* out);
