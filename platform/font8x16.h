// The font TextOutA draws with.
#pragma once

#include <cstdint>

namespace plat::detail {

constexpr int kGlyphWidth = 8;
constexpr int kGlyphHeight = 16;

// 16 rows of a character's cell, the leftmost pel in the top bit.
const uint8_t* glyph8x16(unsigned char c);

}  // namespace plat::detail
