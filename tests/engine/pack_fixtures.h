// The test packs of make_packs.py, the pictures of two_items.pak's items,
// and pel memory with guard bytes to draw them into.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/res_pack.h"
#include "pack_heap.h"
#include "support/shell.h"
#include "support/temp_dir.h"

// A fresh directory holding every pack make_packs.py writes.
struct PackFiles {
  TempDir dir;
  PackFiles() { EXPECT_EQ(runPython({MAKE_PACKS_SCRIPT, dir.path.string()}), 0) << "make_packs.py"; }
  std::string operator[](const std::string& name) const { return dir.file(name); }
};

// An item's pels, top row first: palette indices, -1 for transparent.
using Picture = std::vector<std::vector<int>>;

// Items 0 and 1 of two_items.pak, and their x and y offsets.
inline const Picture kItem0 = {
    {1, 2, 3, 4, 5, 6, 6, 6}, {-1, -1, 7, 7, 8, 9, 10, 11}, {12, 13, 14, 15, -1, -1, -1, -1}};
inline const Picture kItem1 = {
    {17, 17, 17, 17, 17, 17, 17, 17}, {18, 20, 21, 22, 23, 24, 25, 26}, {-1, -1, -1, -1, -1, -1, -1, -1}};
constexpr int kItem0X = 2, kItem0Y = 1, kItem1X = -3, kItem1Y = 4;

// The 16-bit pels the draw tests give the items in place of the pack's
// palette table.
// A colour function for the palette tables that keeps every channel's bits
// apart.
inline uint16_t testRGB(uint32_t colorRef) { return static_cast<uint16_t>(colorRef ^ colorRef >> 12); }

inline const uint16_t* testTable() {
  static uint16_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint16_t>(0x4100 + i * 3);
  return table;
}

// Pels of 1 or 2 bytes with rows padded past their width and guard bytes
// before and after; every byte starts as 0xEE.
struct Canvas {
  static constexpr size_t kGuard = 64;
  int width, height, pitch, bpp;
  std::vector<uint8_t> bytes;
  Canvas(int w, int h, int pad, int bytesPerPel)
      : width(w), height(h), pitch(w + pad), bpp(bytesPerPel),
        bytes(2 * kGuard + size_t(pitch) * size_t(h) * size_t(bytesPerPel), 0xEE) {}
  void* pels() { return bytes.data() + kGuard; }
  baseRect whole() const { return {0, 0, width, height}; }
  // What the draw writes for a palette index.
  void set(int x, int y, int index) {
    uint8_t* p = bytes.data() + kGuard + (size_t(y) * size_t(pitch) + size_t(x)) * size_t(bpp);
    if (bpp == 1) {
      *p = static_cast<uint8_t>(index);
    } else {
      const uint16_t v = testTable()[index];
      std::memcpy(p, &v, 2);
    }
  }
  // The picture's opaque pels with its top-left pel at (x, y), those inside
  // the clip rectangle only.
  void place(const Picture& pic, int64_t x, int64_t y, const baseRect& clip) {
    for (size_t r = 0; r < pic.size(); ++r)
      for (size_t c = 0; c < pic[r].size(); ++c) {
        const int64_t px = x + int64_t(c), py = y + int64_t(r);
        if (pic[r][c] >= 0 && px >= clip.x && px < clip.x + clip.w && py >= clip.y && py < clip.y + clip.h)
          set(int(px), int(py), pic[r][c]);
      }
  }
};
