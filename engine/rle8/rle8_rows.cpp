// Packed rows: packing, unpacking, the coverage check and the opaque bounds.
#include <algorithm>
#include <cstring>

#include "base/mem.h"
#include "engine/rle8/img_rle8.h"
#include "engine/rle8_row.h"

namespace {

// The codes of a row, given to a sink that counts them or writes them: the
// packer runs twice, once to learn the length and once into a block of it.
template <class Sink>
void packCodes(const uint8_t* p, int count, int key, Sink& out) {
  int i = 0;
  while (i < count) {
    int j = i;
    if (p[i] == key) {
      while (j < count && p[j] == key) ++j;
      int s = j - i;
      for (; s > 127; s -= 127) out.code(0x7F);
      out.code(uint8_t(s));
      i = j;
      continue;
    }
    // A stretch of other pels: repeats of three or more equal indices, the
    // pels between them literals.
    while (j < count && p[j] != key) ++j;
    int literal = i;  // first pel of the literal being gathered
    auto flushLiteral = [&](int upTo) {
      for (int m = upTo - literal; m > 0;) {
        const int n = std::min(m, 63);
        out.code(uint8_t(0x80 | n));
        out.bytes(p + literal, n);
        literal += n;
        m -= n;
      }
    };
    for (int k = i; k < j;) {
      int e = k + 1;
      while (e < j && p[e] == p[k]) ++e;
      if (e - k >= 3) {
        flushLiteral(k);
        for (int r = e - k; r > 0;) {
          const int n = std::min(r, 63);
          out.code(uint8_t(0xC0 | n));
          out.code(p[k]);
          r -= n;
        }
        literal = e;
      }
      k = e;
    }
    flushLiteral(j);
    i = j;
  }
}

struct Counter {
  size_t n = 0;
  void code(uint8_t) { ++n; }
  void bytes(const uint8_t*, int count) { n += size_t(count); }
};

struct Writer {
  uint8_t* at;
  void code(uint8_t c) { *at++ = c; }
  void bytes(const uint8_t* from, int count) {
    std::memcpy(at, from, size_t(count));
    at += count;
  }
};

}  // namespace

uint8_t** rle8AllocRowTable(int n) {
  const size_t entries = n > 0 ? size_t(n) : 0;
  return static_cast<uint8_t**>(memCalloc(entries * (sizeof(uint8_t*) + sizeof(uint32_t))));
}

uint8_t* rle8PackRow(const uint8_t* pels, int count, int key, int* length) {
  *length = 0;
  if (count <= 0 || std::all_of(pels, pels + count, [key](uint8_t v) { return v == key; })) return nullptr;
  Counter counter;
  packCodes(pels, count, key, counter);
  // The length goes out before the allocation: a caller seeing a null row
  // of non-zero length knows the allocation failed.
  *length = int(counter.n);
  auto* row = static_cast<uint8_t*>(memAlloc(counter.n));
  if (!row) return nullptr;
  Writer writer{row};
  packCodes(pels, count, key, writer);
  return row;
}

void rle8UnpackRow(const uint8_t* row, size_t bytes, int start, int count, uint8_t* dest) {
  if (!row || count <= 0) return;
  uint8_t* d = dest + std::max(start, 0);
  rle8EachRun(row, row + bytes, start, count, [d](const rle8RowRun& r) {
    if (r.repeat) std::memset(d + r.x, *r.indices, size_t(r.n));
    else std::memcpy(d + r.x, r.indices, size_t(r.n));
  });
}

bool rle8RowCovers(const uint8_t* row, size_t bytes, int width, size_t* used) {
  const rle8RowEnd walked = rle8EachRun(row, row + bytes, 0, width, [](const rle8RowRun&) {});
  if (!walked.covered) return false;
  *used = size_t(walked.codesEnd - row);
  return true;
}

void rle8OpaqueBounds(const uint8_t* pels, int pitch, int width, int height, uint8_t key, rectCTy* out) {
  *out = {0, 0, 0, 0};
  int left = width, right = -1, top = -1, bottom = -1;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = pels + int64_t(y) * pitch;
    int first = 0;
    while (first < width && row[first] == key) ++first;
    if (first == width) continue;
    int last = width - 1;
    while (row[last] == key) --last;
    left = std::min(left, first);
    right = std::max(right, last);
    if (top < 0) top = y;
    bottom = y;
  }
  if (top < 0) return;
  *out = {left, top, right - left + 1, bottom - top + 1};
}
