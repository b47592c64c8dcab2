// Internals of the MPEG audio decoder shared by its source files: the header
// tables, the bit reader of layers I and II, the layer entry points and the
// synthesis tables.
#pragma once

#include <cstdint>
#include <cstring>

#include "sound/mpa.h"

// Bitrates in kbit/s by [id][layer code][bitrateIndex]; 0 for free format and
// the forbidden index 15.
extern const int16_t mpaBitrateTable[2][4][16];
// Sampling frequency / 50 and in Hz by [id][rateIndex 0..2] (MPEG-2.5 uses
// the id 0 rows at half the rate).
extern const int16_t mpaRate50[2][3];
extern const int32_t mpaRateHz[2][3];

// The stream's rate in Hz for the layer's preparation.
int mpaStreamRate(const mpaHeader* hdr);
// Subbands synthesised up to freqLimit at `rate`, at most 31, 15 or 8.
int mpaSubbandLimit(int rate, int freqLimit, int reduction);
int mpaClampReduction(int reduction);
int mpaClampFreqLimit(int freqLimit);
// True when the header's fields are inside their ranges.
bool mpaHeaderFieldsValid(const mpaHeader* hdr);

// --- Bit reader of layers I and II ------------------------------------------

inline void mpaBitsStart(mpaDecoder* dec, const uint8_t* frame, int32_t end) {
  dec->br.base = frame;
  dec->br.pos = 0;
  dec->br.end = end;
  dec->br.acc = 0;
  dec->br.bits = 0;
}

// Whole bytes are appended while they fit the accumulator; bytes past the
// frame read as zeros.
inline void mpaBitsFill(mpaBitReader& br) {
  if (br.pos >= 0 && br.pos + 8 <= br.end) {
    uint64_t w;
    std::memcpy(&w, br.base + br.pos, 8);
    w = __builtin_bswap64(w);
    int take = (64 - br.bits) >> 3;
    int low = 64 - br.bits - 8 * take;  // 0 to 7 bits of a byte not taken
    br.acc |= (w >> br.bits) >> low << low;
    br.pos += take;
    br.bits += 8 * take;
    return;
  }
  while (br.bits <= 56) {
    uint64_t byte = br.pos < br.end ? br.base[br.pos] : 0;
    ++br.pos;
    br.acc |= byte << (56 - br.bits);
    br.bits += 8;
  }
}

// The next n bits (1 to 32), most significant first.
inline uint32_t mpaReadBits(mpaBitReader& br, int n) {
  if (br.bits < n) mpaBitsFill(br);
  uint32_t v = uint32_t(br.acc >> (64 - n));
  br.acc <<= n;
  br.bits -= n;
  br.last = v;
  return v;
}

inline uint32_t mpaGetBits(int n, mpaDecoder* dec) { return mpaReadBits(dec->br, n); }

// Drops n bits at once: past the bits held the byte pointer moves on by whole
// bytes, then the remaining 0 to 7 bits are dropped from the next byte.
inline void mpaDropBits(mpaBitReader& br, int n) {
  if (n < br.bits) {
    br.acc <<= n;
    br.bits -= n;
    return;
  }
  int rest = n - br.bits;
  br.pos += rest >> 3;
  br.acc = 0;
  br.bits = 0;
  mpaBitsFill(br);
  rest &= 7;
  br.acc <<= rest;
  br.bits -= rest;
}

inline void mpaSkipBits(mpaDecoder* dec, int n) { mpaDropBits(dec->br, n); }

// --- Layers -------------------------------------------------------------------

void mpaL2Init(mpaDecoder* dec);
int mpaL1Init(mpaDecoder* dec, const mpaHeader* hdr, int frameSize, int reduction, int reserved,
              int options, int freqLimit);
int mpaL2Prepare(mpaDecoder* dec, const mpaHeader* hdr, int frameSize, int reduction, int options,
                 int freqLimit);
mpaInOut mpaL1Decode(mpaDecoder* dec, const uint8_t* frame, uint8_t* out);
mpaInOut mpaL2Decode(mpaDecoder* dec, const uint8_t* frame, uint8_t* out);

// Layer II allocation table for an MPEG-1 (mode, rateIndex, bitrateIndex),
// -1 when the pair of bitrate and mode has none.
int mpaL2TableChoice(int mode, int rateIndex, int bitrateIndex);
// Copies allocation table 0..4 into the decoder's groups and classes.
void mpaL2CopyTable(mpaDecoder* dec, int table);

// --- Synthesis ------------------------------------------------------------------

// Builds the transform coefficients on first use and clears the history.
void mpaSynthReset(mpaDecoder* dec);
// Layers I and II: [path: portable, AVX2][8-bit][reduction][layout: mono,
// stereo, mix, left, right].
extern const mpaSynthL12Fn mpaSynthL12Table[2][2][3][5];
// The synthesis path of the decoder's preparation: its synthPath when the
// processor can run it, else the best one it can (1 portable, 2 AVX2).
int mpaSynthPathIndex(const mpaDecoder* dec);
