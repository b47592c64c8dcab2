// Entering a run-length-coded row of 8-bit palette indices part way along.
//
// A coded row is a sequence of code bytes, each followed by its data:
//   0x00-0x7F  skip: that many transparent pels; no data
//   0x80-0xBF  literal: (code & 0x3F) pels, one index byte each
//   0xC0-0xFF  repeat: (code & 0x3F) pels of the one index byte that follows
// Codes of 0 pels (0x00, 0x80, 0xC0) cover nothing; 0xC0 still carries its
// index byte. The RLE8 images and the image packs share this coding.
#pragma once

#include <cstdint>

// Passes over n pels of a coded row. `code` holds the current code byte and p
// points just behind it. A code the n pels cover whole is passed over with
// its data and the next code is loaded (also when the pels end exactly at its
// end); a code they end inside is rewritten to describe its rest: a skip
// becomes the remaining count, a literal 0x80 | rest with the result at its
// first remaining index byte, a repeat 0xC0 | rest with the result at its
// index byte. The row then reads on from the result as if it started at the
// pel after the skipped ones. n below 1 returns p as it is.
//
// The row's bytes end at `end`: when a code to be loaded, or the passed-over
// part of a literal, would lie at or past it, the row has ended before n pels
// and the result is null. The data of a rewritten code is not checked.
const uint8_t* rle8SkipPels(const uint8_t* p, int n, int* code, const uint8_t* end);
