// Palettes and the pel format descriptor of an image.
//
// A colour is handed around as one 32-bit value whose little-endian bytes are
// B, G, R, A (0xAARRGGBB); a pel as a 32-bit value holding the pel's bytes,
// zero-extended.
#pragma once

#include <cstdint>

#include "engine/pel.h"

struct rwStream;

// A palette of B, G, R, A entries, with a copy of them converted to one pel
// format for the draw (BuildTbl). The table is a cache: any change of the
// entries marks it stale (tableFormat 0) and the next build replaces it.
class palCTy {
 public:
  // Entries a table holds, and the most a stream may give.
  static constexpr uint32_t kTableEntries = 256;
  // Zero bytes after a table's last entry, so that a vector read of 4 bytes
  // at any 16-bit entry stays inside the block.
  static constexpr uint32_t kTableSlack = 4;

  palCTy() = default;
  ~palCTy();
  palCTy(const palCTy&) = delete;
  palCTy& operator=(const palCTy&) = delete;

  // count entries from 4-byte source entries B, G, R, (ignored), each with
  // A = 255 (BMP colour tables).
  void Set(const uint8_t* quads, uint32_t count);
  // A copy of the other palette's entries; the other may be this one.
  void Assign(const palCTy& other);
  // Makes the table for a pel format: kTableEntries pels of that format, the
  // entries converted, zero past the count. Formats without a conversion
  // (other than 1 to 6) are reported once and get a zeroed table.
  void BuildTbl(int format);
  // count, then R, G, B per entry.
  void Write(rwStream* stream) const;
  // Replaces the entries by the stream's (A = 255). A count above 256 or
  // past the stream's data fails the stream and leaves the palette empty.
  void Read(rwStream* stream);
  // Index of the entry nearest to the colour's B, G, R: an exact match at
  // once, else the first of the nearest below a squared distance of 10000,
  // else 0 (modulo 256).
  uint8_t Nearest(uint32_t colour) const;
  // Entry i as a colour; 0 at or past the count.
  uint32_t Entry(uint32_t index) const;

  uint32_t count = 0;
  A8R8G8B8* entries = nullptr;  // count entries
  uint8_t* table = nullptr;     // kTableEntries pels of tableFormat
  int tableFormat = 0;          // 0: no valid table

 private:
  void Replace(A8R8G8B8* fresh, uint32_t freshCount);
};

// The pel format of an image and its palette, owned or borrowed.
class pelFmtDesc {
 public:
  pelFmtDesc() = default;
  ~pelFmtDesc();
  // The copy gets the format and its own copy of the source's palette.
  pelFmtDesc(const pelFmtDesc& other);
  pelFmtDesc& operator=(const pelFmtDesc& other);

  // Format and a borrowed palette (or none); for fresh descriptors (an
  // earlier palette is not released).
  void Set(int format, palCTy* palette);
  // An owned copy of the palette (a borrowed one is let go).
  void SetPaletteCopy(const palCTy* palette);
  // Borrows the palette; one the descriptor owns is deleted, unless it is
  // the palette given.
  void SharePalette(palCTy* palette);
  // palCTy::BuildTbl of the palette (the descriptor must have one).
  void BuildTbl(int format);
  // A pel of `from` format as a pel of this descriptor's; only from
  // pel_FMT_X8R8G8B8 converts (a colour), any other is returned unchanged.
  uint32_t ToNative(uint32_t pel, int from) const;
  // A pel of this descriptor's format (an index with a palette) as a pel of
  // `to` format; pel_FMT_X8R8G8B8 gives a colour.
  uint32_t ToRGB(uint32_t pel, int to) const;
  // Format code, then a tag: 0 no palette, 1 an owned palette follows, 2 a
  // shared palette (stored elsewhere).
  void Write(rwStream* stream) const;
  // A code outside 0 to 10 fails the stream. Tag 2 leaves the descriptor
  // waiting for a shared palette: no palette, waitsShared set.
  void Read(rwStream* stream);

  int format = pel_FMT_UNKNOWN;
  palCTy* palette = nullptr;
  int owns = 0;
  // Read with tag 2: the owner of the shared palettes is to SharePalette one
  // (image sets do so at once). Until then the descriptor has no palette.
  int waitsShared = 0;

 private:
  void ReleaseOwned();
};
