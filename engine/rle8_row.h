// Run-length-coded rows of 8-bit palette indices, and their one reader.
//
// A coded row is a sequence of code bytes, each followed by its data:
//   0x00-0x7F  skip: that many transparent pels; no data
//   0x80-0xBF  literal: (code & 0x3F) pels, one index byte each
//   0xC0-0xFF  repeat: (code & 0x3F) pels of the one index byte that follows
// Codes of 0 pels (0x00, 0x80, 0xC0) cover nothing; 0xC0 still carries its
// index byte. The RLE8 images and the image packs share this coding.
//
// Every walk of a row reads it through rle8EachRun: the runs of pels (the
// literals and repeats) that fall inside a window of the row's pels, cut at
// the window's edges; skips are the gaps between them. Where the row's
// bytes end decides for all of them alike: no byte at or past the end is
// read, a repeat without its index byte ends the row, and a literal that
// the end cuts short gives the pels it holds, then ends the row.
#pragma once

#include <cstddef>
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

// One run of pels inside the window: x, its first pel counted from the
// window's first, n pels, and its indices: a literal's n index bytes, or a
// repeat's one. n is 0 only for a code of no pels (0x80, 0xC0), which the
// walks are handed as they come: a test of n for every run would cost the
// draws more than the rare empty run.
struct rle8RowRun {
  bool repeat;
  int x, n;
  const uint8_t* indices;
};

// How a walk of a row ended: whether the row's codes, each with its data
// whole, covered the window; and then where they end (behind the data of the
// code the window ends in; the row itself for an empty window).
struct rle8RowEnd {
  bool covered;
  const uint8_t* codesEnd;
};

// Calls visit(run) for each run of pels start to start + count - 1 of the
// row whose bytes are row up to end (a null row has none), in the row's
// order. A count below 1 reads nothing. Reads no code byte past the one the
// window ends in.
template <class Visit>
inline rle8RowEnd rle8EachRun(const uint8_t* row, const uint8_t* end, int start, int count, Visit&& visit) {
  if (count <= 0) return {true, row};
  if (!row || row >= end) return {false, nullptr};
  const uint8_t* p = row;
  int code = *p++;
  if (start > 0) {
    // The code goes to rle8SkipPels as a copy: no address of `code` is
    // taken, so the walk keeps it in a register.
    int entered = code;
    if (!(p = rle8SkipPels(p, start, &entered, end))) return {false, nullptr};
    code = entered;
  }
  for (int x = 0, left = count;;) {
    int n;
    if (code & 0x80) {
      const int pels = code & 0x3F;
      n = pels < left ? pels : left;
      if (code & 0x40) {
        if (p == end) return {false, nullptr};  // no index byte
        visit(rle8RowRun{true, x, n, p});
        ++p;
      } else if (end - p >= pels) {
        visit(rle8RowRun{false, x, n, p});
        p += pels;
      } else {
        // The row ends inside the literal: the pels it holds.
        if (end - p < n) n = int(end - p);
        if (n > 0) visit(rle8RowRun{false, x, n, p});
        return {false, nullptr};
      }
    } else {
      n = code < left ? code : left;
    }
    left -= n;
    if (left <= 0) return {true, p};
    if (p == end) return {false, nullptr};
    x += n;
    code = *p++;
  }
}
