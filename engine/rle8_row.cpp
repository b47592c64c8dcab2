// Entering a run-length-coded row part way along.
#include "engine/rle8_row.h"

#include <cstddef>

const uint8_t* rle8SkipPels(const uint8_t* p, int n, int* code, const uint8_t* end) {
  int c = *code;
  while (n > 0) {
    const bool run = (c & 0x80) != 0;
    const bool repeat = (c & 0xC0) == 0xC0;
    const int count = run ? (c & 0x3F) : c;
    if (count > n) {
      // The skip ends inside this code: keep its rest.
      const int rest = count - n;
      if (!run) {
        c = rest;
      } else if (repeat) {
        c = 0xC0 | rest;
      } else {
        if (static_cast<size_t>(end - p) < static_cast<size_t>(n)) return nullptr;
        p += n;
        c = 0x80 | rest;
      }
      *code = c;
      return p;
    }
    n -= count;
    const size_t data = !run ? 0 : repeat ? 1 : static_cast<size_t>(count);
    if (static_cast<size_t>(end - p) <= data) {
      *code = c;
      return nullptr;
    }
    p += data;
    c = *p++;
  }
  *code = c;
  return p;
}
