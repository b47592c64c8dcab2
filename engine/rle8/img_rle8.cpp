// The RLE8 image: construction and registration, locks, sizes and the row
// table.
#include "engine/rle8/img_rle8.h"

#include <cassert>
#include <cstring>
#include <new>

#include "base/err.h"
#include "base/mem.h"
#include "engine/rle8/rle8_converted.h"
#include "platform/win_kernel.h"

namespace {

// The transparent index Unlock packs against without a key: no index.
constexpr uint32_t kNoIndex = 257;

// A row table being built; its rows and block are freed unless released
// (also when a raise leaves on the way).
struct TableUnderway {
  uint8_t** table;
  int n;
  ~TableUnderway() {
    if (!table) return;
    for (int i = 0; i < n; ++i) memHooks.free(table[i]);
    memHooks.free(table);
  }
  uint8_t** release() {
    uint8_t** t = table;
    table = nullptr;
    return t;
  }
};

struct BufferHeld {
  uint8_t* buffer;
  ~BufferHeld() { memHooks.free(buffer); }
};

[[maybe_unused]] bool registered() { return rwRegisterClass("imgRle8CTy", imgRle8CTy::Create); }

}  // namespace

// Before the entry point runs. Programs link this file whether or not they
// name the class: the library asks the linker for this symbol
// (engine/rle8/CMakeLists.txt).
extern "C" {
extern const bool imgRle8ClassRegistered;
const bool imgRle8ClassRegistered = registered();
}

imgRle8CTy::imgRle8CTy() {
  classId = imgClassRle8;
  desc.Set(pel_FMT_P8, nullptr);
}

imgRle8CTy::imgRle8CTy(const imgRle8CTy& other) : imgCTy(other), version(other.version), bounds(other.bounds) {
  classId = imgClassRle8;
  if (!other.rows) return;
  const int h = bounds.h > 0 ? bounds.h : 0;
  TableUnderway fresh{rle8AllocRowTable(h), h};
  if (!fresh.table) return;
  uint32_t* sizes = rle8RowSizes(fresh.table, h);
  for (int i = 0; i < h; ++i) {
    const int n = other.RowBytes(i);
    if (n == 0) continue;
    fresh.table[i] = static_cast<uint8_t*>(memAlloc(size_t(n)));
    if (!fresh.table[i]) return;
    std::memcpy(fresh.table[i], other.rows[i], size_t(n));
    sizes[i] = uint32_t(n);
  }
  rows = fresh.release();
  rowSizes = sizes;
}

imgRle8CTy::~imgRle8CTy() {
  FreeData();
  FreeOffsets();
  memHooks.free(lockBuffer);
}

rwObjCTy* imgRle8CTy::Create() { return new (std::nothrow) imgRle8CTy; }

const char* imgRle8CTy::GetClassName() const { return "imgRle8CTy"; }

void imgRle8CTy::ResolveRect(const rectCTy*, rectCTy* out, int) { *out = {0, 0, width, height}; }

int imgRle8CTy::RowBytes(int i) const {
  if (!rows || i < 0 || i >= bounds.h || !rows[i]) return 0;
  size_t used = 0;
  // Rows held always cover the width; a row that did not would give all
  // its bytes.
  if (!rle8RowCovers(rows[i], rowSizes[i], bounds.w, &used)) used = rowSizes[i];
  return int(used);
}

rectCTy imgRle8CTy::GetBounds() { return bounds; }

imgCTy* imgRle8CTy::Clone() { return new imgRle8CTy(*this); }

void imgRle8CTy::FreeData() {
  if (rows && !borrowedPels)
    for (int i = 0; i < bounds.h; ++i) memHooks.free(rows[i]);
  memHooks.free(rows);
  rows = nullptr;
  rowSizes = nullptr;
  borrowedPels = 0;
  rle8FreeConverted(converted);
  converted = nullptr;
}

void imgRle8CTy::FreeOffsets() {
  memHooks.free(rowOffsets);
  rowOffsets = nullptr;
}

void imgRle8CTy::Adopt(uint8_t** table, rectCTy newBounds, bool borrowed) {
  FreeData();
  bounds = newBounds;
  rows = table;
  rowSizes = rle8RowSizes(table, newBounds.h > 0 ? newBounds.h : 0);
  borrowedPels = borrowed ? 1 : 0;
}

void imgRle8CTy::SetSize(int w, int h, const pelFmtDesc* descriptor) {
  if (descriptor && descriptor->format != pel_FMT_P8 &&
      errPrintf(ERR_LEVEL_ERROR, "Unsupported pel's format") == ERR_OUTCOME_RETRY)
    DebugBreak();
  FreeData();
  bounds = {0, 0, 0, 0};
  if (descriptor && descriptor->palette) SetPalette(descriptor->palette);
  imgCTy::SetSize(w, h, descriptor);
}

void imgRle8CTy::Lock(const rectCTy* rect, int mode) {
  if (data) return;  // one lock at a time
  imgCTy::Lock(rect, mode);
  assert(!rect || Inside(*rect));
  const size_t pels = width > 0 && height > 0 ? size_t(width) * size_t(height) : 0;
  lockBuffer = static_cast<uint8_t*>(memAlloc(pels));
  if (!lockBuffer) return;
  pitch = width;
  // Without a key the rows cover the whole image; after SetSize nothing is
  // packed yet, and a partial write packs zeros around it.
  std::memset(lockBuffer, keyFlag ? int(keyPel & 0xFF) : 0, pels);
  for (int i = 0; rows && i < bounds.h; ++i)
    rle8UnpackRow(rows[i], rowSizes[i], 0, bounds.w, lockBuffer + int64_t(bounds.y + i) * pitch + bounds.x);
  data = lockBuffer + (rect ? int64_t(rect->y) * pitch + rect->x : 0);
}

void imgRle8CTy::Unlock() {
  BufferHeld buffer{lockBuffer};
  const bool pack = data && lockMode != img_LOCK_READ;
  lockBuffer = nullptr;
  imgCTy::Unlock();
  if (!pack || !buffer.buffer) return;

  rectCTy fresh{0, 0, width, height};
  if (keyFlag) rle8OpaqueBounds(buffer.buffer, width, width, height, uint8_t(keyPel), &fresh);
  else keyPel = kNoIndex;
  TableUnderway table{rle8AllocRowTable(fresh.h), fresh.h};
  if (!table.table) return;
  uint32_t* sizes = rle8RowSizes(table.table, fresh.h);
  for (int i = 0; i < fresh.h; ++i) {
    int length = 0;
    table.table[i] = rle8PackRow(buffer.buffer + int64_t(fresh.y + i) * width + fresh.x, fresh.w, int(keyPel), &length);
    // A row that could not be had (-2 raised): the image keeps its old rows.
    if (!table.table[i] && length) return;
    sizes[i] = uint32_t(length);
  }
  Adopt(table.release(), fresh, false);
}

void imgRle8CTy::ReadInPlace(rwStream* stream) {
  ReadHeader(stream);
  ReadDataInPlace(stream);
}
