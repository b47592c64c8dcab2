// Internals of the MPEG audio decoder shared by its source files: the header
// tables, the bit reader of layers I and II, the layer entry points and the
// synthesis tables.
#pragma once

#include <cstdint>

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

// Whole bytes are appended until more than 24 bits are held; bytes past the
// frame read as zeros.
inline void mpaBitsFill(mpaBitReader& br) {
  while (br.bits <= 24) {
    uint32_t byte = br.pos < br.end ? br.base[br.pos] : 0;
    ++br.pos;
    br.acc |= byte << (24 - br.bits);
    br.bits += 8;
  }
}

// The next n bits (1 to 24), most significant first.
inline uint32_t mpaGetBits(int n, mpaDecoder* dec) {
  mpaBitReader& br = dec->br;
  if (br.bits < n) mpaBitsFill(br);
  uint32_t v = br.acc >> (32 - n);
  br.acc <<= n;
  br.bits -= n;
  br.last = v;
  return v;
}

// Drops n bits at once: past the bits held the byte pointer moves on by whole
// bytes, one byte is loaded and the remaining 0 to 7 bits are dropped from it.
inline void mpaSkipBits(mpaDecoder* dec, int n) {
  mpaBitReader& br = dec->br;
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
// Layers I and II: [8-bit][reduction][layout: mono, stereo, mix, left, right].
extern const mpaSynthL12Fn mpaSynthL12Table[2][3][5];
