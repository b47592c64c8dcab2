// The stored form of the RLE8 image (img_rle8.h): writing it, and reading it
// copied or in place, checked.
#include <cstring>
#include <initializer_list>

#include "base/err.h"
#include "base/mem.h"
#include "engine/rle8/img_rle8.h"
#include "platform/win_kernel.h"

namespace {

// The rows being read; the copied ones are freed unless handed over (also
// when a raise leaves on the way).
struct RowsUnderway {
  uint8_t** table;
  int n;
  bool owned;
  ~RowsUnderway() {
    if (!table) return;
    if (owned)
      for (int i = 0; i < n; ++i) memHooks.free(table[i]);
    memHooks.free(table);
  }
};

// Leaves the image without rows, bounds, table or size, fails the stream
// and, when asked, raises -5 "Data error". The size goes with the rest: a
// refused header's pel format may be one whose pels are wider than the
// 8-bit ones a lock gives.
void refuse(imgRle8CTy& image, rwStream* stream, bool raise) {
  image.FreeData();
  image.bounds = {0, 0, 0, 0};
  image.width = image.height = 0;
  memHooks.free(image.rowOffsets);
  image.rowOffsets = nullptr;
  stream->failed = 1;
  if (raise && errRaise(ERR_DATA) == ERR_OUTCOME_RETRY) DebugBreak();
}

bool boundsInside(const rectCTy& b, int width, int height) {
  return b.x >= 0 && b.y >= 0 && b.w >= 0 && b.h >= 0 && int64_t(b.x) + b.w <= width &&
         int64_t(b.y) + b.h <= height;
}

// The h + 1 table entries at the stream's position, into a new array; null
// when they are not all in the stream (the stream failed) or no memory
// could be had (*noMemory).
uint32_t* readOffsets(rwStream* stream, int h, bool* noMemory) {
  const int64_t bytes = (int64_t(h) + 1) * 4;
  if (stream->failed || stream->position < 0 || bytes > int64_t(stream->length) - stream->position) {
    stream->failed = 1;
    return nullptr;
  }
  auto* entries = static_cast<uint32_t*>(memAlloc(size_t(bytes)));
  if (!entries) {
    *noMemory = true;
    return nullptr;
  }
  for (int i = 0; i <= h; ++i) entries[i] = uint32_t(rwReadInt(stream));
  return entries;
}

}  // namespace

void imgRle8CTy::WriteHeader(rwStream* stream) {
  rwWriteInt(stream, 1);
  imgCTy::WriteHeader(stream);
  for (int32_t v : {bounds.x, bounds.y, bounds.w, bounds.h}) rwWriteInt(stream, v);
  if (bounds.h <= 0) return;
  uint32_t at = uint32_t(stream->position);
  rwWriteInt(stream, int32_t(at));
  for (int i = 0; i < bounds.h; ++i) {
    at += uint32_t(RowBytes(i));
    rwWriteInt(stream, int32_t(at));
  }
}

void imgRle8CTy::WriteData(rwStream* stream) {
  for (int i = 0; i < bounds.h; ++i)
    if (const int n = RowBytes(i)) rwWrite(stream, rows[i], n);
}

void imgRle8CTy::ReadHeader(rwStream* stream) {
  FreeData();
  FreeOffsets();
  const bool failedBefore = stream->failed != 0;
  version = uint32_t(rwReadInt(stream));
  imgCTy::ReadHeader(stream);
  int32_t b[4];
  for (int32_t& v : b) v = rwReadInt(stream);
  bounds = {b[0], b[1], b[2], b[3]};
  if (stream->failed || desc.format != pel_FMT_P8 || !boundsInside(bounds, width, height)) {
    refuse(*this, stream, !failedBefore);
    return;
  }
  if (version == 0 || bounds.h == 0) return;
  bool noMemory = false;
  rowOffsets = readOffsets(stream, bounds.h, &noMemory);
  if (!rowOffsets) refuse(*this, stream, !noMemory);
}

void imgRle8CTy::ReadData(rwStream* stream) { ReadRows(stream, false); }

void imgRle8CTy::ReadDataInPlace(rwStream* stream) { ReadRows(stream, true); }

void imgRle8CTy::ReadRows(rwStream* stream, bool inPlace) {
  FreeData();
  if (stream->failed) {
    refuse(*this, stream, false);
    return;
  }
  const int h = bounds.h;
  if (h < 1) {
    FreeOffsets();
    borrowedPels = inPlace ? 1 : 0;
    return;
  }
  bool noMemory = false;
  if (version == 0) {
    FreeOffsets();
    rowOffsets = readOffsets(stream, h, &noMemory);
  }
  const uint32_t* e = rowOffsets;
  // Version 1: rows start where the stream stands, at their entries'
  // distances from entry 0. Version 0: entry 0 is that place itself.
  const int64_t base = stream->position;
  bool ok = e && (version != 0 || e[0] == uint64_t(base));
  for (int i = 0; ok && i < h; ++i) ok = e[i] <= e[i + 1];
  ok = ok && base >= 0 && int64_t(e[h] - e[0]) <= int64_t(stream->length) - base;
  const uint8_t* first = ok ? stream->data + base : nullptr;
  for (int i = 0; ok && i < h; ++i) {
    size_t used = 0;
    const uint32_t length = e[i + 1] - e[i];
    ok = length == 0 || rle8RowCovers(first + (e[i] - e[0]), length, bounds.w, &used);
  }
  if (!ok) {
    refuse(*this, stream, !noMemory);
    return;
  }

  RowsUnderway fresh{rle8AllocRowTable(h), h, !inPlace};
  if (!fresh.table) {
    refuse(*this, stream, false);
    return;
  }
  uint32_t* sizes = rle8RowSizes(fresh.table, h);
  for (int i = 0; i < h; ++i) {
    const uint32_t length = e[i + 1] - e[i];
    if (length == 0) continue;
    const uint8_t* at = first + (e[i] - e[0]);
    if (inPlace) {
      fresh.table[i] = const_cast<uint8_t*>(at);
    } else {
      fresh.table[i] = static_cast<uint8_t*>(memAlloc(length));
      if (!fresh.table[i]) {
        refuse(*this, stream, false);
        return;
      }
      std::memcpy(fresh.table[i], at, length);
    }
    sizes[i] = length;
  }
  const int64_t end = base + (e[h] - e[0]);
  const rectCTy b = bounds;
  Adopt(fresh.table, b, inPlace);
  fresh.table = nullptr;
  FreeOffsets();
  if (!inPlace) rwSetPos(stream, int32_t(end));
}
