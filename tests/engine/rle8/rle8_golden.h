// One RLE8 image in its stored form, spelled out by hand: 9 x 3, key index
// 0, a palette of 8 greys, the middle row all key. The tests read and write
// it; the fuzz target's seeds start from it.
#pragma once

#include <string>

namespace rle8_golden {

// The image header and the bounds; the table is at 76 (0x4C), the rows at 92.
constexpr const char* kHeader =
    "09000000 03000000 01000000 000000FF 00000000"  // width, height, key flag, key B, G, R, A, key index
    "09000000 01000000 08000000"                    // P8, own palette of 8
    "000000 111111 222222 333333 444444 555555 666666 777777"
    "01000000 00000000 06000000 03000000";  // bounds
constexpr const char* kRows = "82 0505 C3 07 81 03  02 84 01020304";
inline const std::string kVersion1 = std::string("01000000") + kHeader + "4C000000 53000000 53000000 59000000" + kRows;
// Version 0: the table in the data part, entries the rows' positions.
inline const std::string kVersion0 = std::string("00000000") + kHeader + "5C000000 63000000 63000000 69000000" + kRows;

}  // namespace rle8_golden
