// Layers I and II: stream preparation, the one-time tables and the frame
// decoders with their steps (allocation, scale-factor selection, scale
// factors, samples).
//
// An entry is one subband of one channel: 2 sb + ch in a two-channel stream,
// sb in a single-channel one. l12Code holds each entry's allocation (layer I)
// or quantisation class (layer II), raised by 15 (layer I) or 18 (layer II)
// when one sample code beyond the joint-stereo bound serves the entry and the
// next, and two markers: at the synthesis limit (layer I 31, layer II 37: skip
// the rest of the row) and at the coded entries (30, 36: the row is done).
#include <cmath>
#include <cstring>

#include "sound/mpa_private.h"

namespace {

constexpr int kL1Limit = 31, kL1End = 30, kL1Shared = 15;
constexpr int kL2Limit = 37, kL2End = 36, kL2Shared = 18;

// Quantisation classes of layer II.
constexpr int kLevels[18] = {0,   3,    5,    7,    9,    15,    31,    63,    127,
                             255, 511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};
// Bits of one triplet of samples per class.
constexpr int kTripletBits[18] = {0, 5, 7, 9, 10, 12, 15, 18, 21, 24, 27, 30, 33, 36, 39, 42, 45, 48};

// Joint-stereo bound in entries by mode * 4 + mode extension.
constexpr int kBound[16] = {64, 64, 64, 64, 8, 16, 24, 32, 64, 64, 64, 64, 32, 32, 32, 32};

// Layer I sample bits of each allocation (15, the forbidden one, reads 16).
int l1SampleBits(int a) { return a == 0 ? 0 : a + 1; }

// Reads the header after the sync; false when the 12 sync bits are not all
// ones. slot: bytes of the padding slot (4 in layer I, 1 in layer II).
bool readHeader(mpaDecoder* dec, const uint8_t* frame, int slot) {
  // The padding bit (byte 2, bit 1) bounds the reader before it starts.
  dec->paddingBytes = ((frame[2] >> 1) & 1) * slot;
  int end = dec->frameSize + dec->paddingBytes;
  mpaBitsStart(dec, frame, end > 4 ? end : 4);
  if (mpaGetBits(12, dec) != 0xFFF) return false;
  mpaGetBits(3, dec);  // ID and layer
  int protection = int(mpaGetBits(1, dec));
  mpaGetBits(8, dec);  // bitrate and rate indexes, padding (taken above), private bit
  dec->bound = kBound[mpaGetBits(4, dec)];
  mpaGetBits(protection ? 4 : 20, dec);  // the CRC word is read over
  return true;
}

// Output channels, values, bytes, the synthesis variant and mpaInfo.
void setOutput(mpaDecoder* dec, const mpaHeader* hdr, int reduction, int options,
               int samplesPerChannel, int rate) {
  int layout = hdr->mode == 3 ? 0 : (options & 3) + 1;
  int channels = layout == 1 ? 2 : 1;
  int eightBit = (options & MPA_OUT_8BIT) ? 1 : 0;
  dec->synthL12 = mpaSynthL12Table[mpaSynthPathIndex(dec)][eightBit][reduction][layout];
  dec->values = samplesPerChannel * channels;
  dec->outBytes = eightBit ? dec->values : dec->values * 2;
  dec->info = {channels, dec->values, rate >> reduction, eightBit ? 8 : 16, dec->frameSize, 0};
}

// Stores allocation (or class) a of entry e with its factor. Beyond the
// joint-stereo bound (shared) it serves entry e + 1 too, both coded a +
// sharedCode. The result is the count of entries stored.
int storeAlloc(mpaDecoder* dec, int e, int a, float factor, bool shared, int sharedCode) {
  dec->l12Alloc[e] = uint8_t(a);
  dec->l12Factor[e] = factor;
  if (!shared || e + 1 >= 64) {
    dec->l12Code[e] = uint8_t(a);
    return 1;
  }
  dec->l12Alloc[e + 1] = uint8_t(a);
  dec->l12Factor[e + 1] = factor;
  dec->l12Code[e] = dec->l12Code[e + 1] = uint8_t(a + sharedCode);
  return 2;
}

void mpaL1Alloc(mpaDecoder* dec) {
  int skip = 0, boundLeft = dec->bound;
  const int entries = dec->l12Entries, limit = dec->l12Limit;
  for (int e = 0; e < entries;) {
    int a = int(mpaGetBits(4, dec));
    if (e >= limit) skip += l1SampleBits(a);
    e += storeAlloc(dec, e, a, dec->l1AllocFactor[a], --boundLeft < 0, kL1Shared);
  }
  dec->l12Code[limit] = kL1Limit;
  dec->l12Code[entries] = kL1End;
  dec->l12SkipBits = skip;
}

void mpaL1Scale(mpaDecoder* dec) {
  for (int e = 0; e < dec->l12Entries; ++e)
    if (dec->l12Alloc[e]) dec->l12Scale[0][e] = dec->sfTable[mpaGetBits(6, dec)] * dec->l12Factor[e];
}

void mpaL1Samples(mpaDecoder* dec) {
  const uint8_t* code = dec->l12Code;
  const float* scale = dec->l12Scale[0];
  mpaBitReader br = dec->br;  // held in registers over the rows
  for (int s = 0; s < 12; ++s) {
    float* row = dec->l12Rows[s];
    for (int e = 0;;) {
      int c = code[e];
      if (c >= kL1End) {
        if (c == kL1Limit) mpaDropBits(br, dec->l12SkipBits);
        break;
      }
      bool pair = code[e + 1] < kL1End;  // the next entry is no marker
      if (c == 0) {
        row[e++] = 0.0f;
      } else if (c < kL1Shared) {
        int v = int(mpaReadBits(br, c + 1)) - ((1 << c) - 1);
        row[e] = float(v) * scale[e];
        ++e;
      } else if (c == kL1Shared) {
        // Shared allocation 0, or a forbidden allocation 15: this entry and
        // the next are 0 and no sample is read.
        row[e] = 0.0f;
        if (pair) row[e + 1] = 0.0f;
        e += pair ? 2 : 1;
      } else {
        int a = c - kL1Shared;
        int v = int(mpaReadBits(br, a + 1)) - ((1 << a) - 1);
        row[e] = float(v) * scale[e];
        if (pair) row[e + 1] = float(v) * scale[e + 1];
        e += pair ? 2 : 1;
      }
    }
  }
  dec->br = br;
}

void mpaL2Alloc(mpaDecoder* dec) {
  static constexpr int kAllocBits[4] = {4, 4, 3, 2};
  int skip = 0, boundLeft = dec->bound, e = 0;
  const int entries = dec->l12Entries, limit = dec->l12Limit;
  for (int g = 0; g < 4; ++g) {
    const uint8_t* classes = dec->l2Classes[g];
    for (int left = dec->l2Groups[g]; left > 0 && e < entries;) {
      int c = classes[mpaGetBits(kAllocBits[g], dec)];
      if (e >= limit) skip += kTripletBits[c];
      int stored = storeAlloc(dec, e, c, dec->l2ClassFactor[c], --boundLeft < 0, kL2Shared);
      e += stored;
      left -= stored;
    }
  }
  dec->l12Code[limit] = kL2Limit;
  dec->l12Code[entries] = kL2End;
  dec->l12SkipBits = skip;
}

void mpaL2Scfsi(mpaDecoder* dec) {
  int e = 0;
  for (; e < dec->l12Entries; ++e) dec->l2Scfsi[e] = dec->l12Alloc[e] ? uint8_t(mpaGetBits(2, dec)) : 4;
  dec->l2Scfsi[e] = 5;
}

void mpaL2Scale(mpaDecoder* dec) {
  const float* sf = dec->sfTable;
  for (int e = 0; dec->l2Scfsi[e] != 5; ++e) {
    float f = dec->l12Factor[e];
    float s0, s1, s2;
    switch (dec->l2Scfsi[e]) {
      case 0:
        s0 = sf[mpaGetBits(6, dec)];
        s1 = sf[mpaGetBits(6, dec)];
        s2 = sf[mpaGetBits(6, dec)];
        break;
      case 1:
        s0 = s1 = sf[mpaGetBits(6, dec)];
        s2 = sf[mpaGetBits(6, dec)];
        break;
      case 2:
        s0 = s1 = s2 = sf[mpaGetBits(6, dec)];
        break;
      case 3:
        s0 = sf[mpaGetBits(6, dec)];
        s1 = s2 = sf[mpaGetBits(6, dec)];
        break;
      default:
        continue;
    }
    dec->l12Scale[0][e] = s0 * f;
    dec->l12Scale[1][e] = s1 * f;
    dec->l12Scale[2][e] = s2 * f;
  }
}

// The three sample values of one code of class c (1 to 17), before scaling.
inline void l2Triple(const mpaDecoder* dec, mpaBitReader& br, int c, int v[3]) {
  switch (c) {
    case 1: {
      const int8_t* g = dec->group3[mpaReadBits(br, 5)];
      v[0] = g[0], v[1] = g[1], v[2] = g[2];
      return;
    }
    case 2: {
      const int8_t* g = dec->group5[mpaReadBits(br, 7)];
      v[0] = g[0], v[1] = g[1], v[2] = g[2];
      return;
    }
    case 4: {
      const int16_t* g = dec->group9[mpaReadBits(br, 10)];
      v[0] = g[0], v[1] = g[1], v[2] = g[2];
      return;
    }
    default: {
      int nb = kTripletBits[c] / 3;
      int offset = (1 << (nb - 1)) - 1;
      for (int i = 0; i < 3; ++i) v[i] = int(mpaReadBits(br, nb)) - offset;
    }
  }
}

void mpaL2Samples(mpaDecoder* dec) {
  const uint8_t* code = dec->l12Code;
  mpaBitReader br = dec->br;  // held in registers over the triplets
  for (int p = 0; p < 3; ++p) {
    const float* scale = dec->l12Scale[p];
    for (int q = 0; q < 4; ++q) {
      float* r0 = dec->l12Rows[(p * 4 + q) * 3];
      float* r1 = r0 + 64;
      float* r2 = r0 + 128;
      for (int e = 0;;) {
        int c = code[e];
        if (c >= kL2End) {
          if (c == kL2Limit) mpaDropBits(br, dec->l12SkipBits);
          break;
        }
        bool shared = c >= kL2Shared;
        if (shared) c -= kL2Shared;
        int v[3] = {0, 0, 0};
        if (c != 0) l2Triple(dec, br, c, v);
        r0[e] = float(v[0]) * scale[e];
        r1[e] = float(v[1]) * scale[e];
        r2[e] = float(v[2]) * scale[e];
        ++e;
        if (shared && code[e] < kL2End) {
          r0[e] = float(v[0]) * scale[e];
          r1[e] = float(v[1]) * scale[e];
          r2[e] = float(v[2]) * scale[e];
          ++e;
        }
      }
    }
  }
  dec->br = br;
}

}  // namespace

void mpaL2Init(mpaDecoder* dec) {
  dec->l2ClassFactor[0] = 0.0f;
  for (int c = 1; c < 18; ++c) dec->l2ClassFactor[c] = float(2.0 / kLevels[c]);
  for (int k = 0; k < 64; ++k) dec->sfTable[k] = float(65536.0 * std::pow(2.0, k * (-1.0 / 3.0)));
  for (int j = 0; j < 32; ++j)
    for (int i = 0, d = 1; i < 3; ++i, d *= 3) dec->group3[j][i] = int8_t((j / d) % 3 - 1);
  for (int j = 0; j < 128; ++j)
    for (int i = 0, d = 1; i < 3; ++i, d *= 5) dec->group5[j][i] = int8_t((j / d) % 5 - 2);
  for (int j = 0; j < 1024; ++j)
    for (int i = 0, d = 1; i < 3; ++i, d *= 9) dec->group9[j][i] = int16_t((j / d) % 9 - 4);
  dec->l2TablesPending = 0;
}

int mpaL1Init(mpaDecoder* dec, const mpaHeader* hdr, int frameSize, int reduction, int /*reserved*/,
              int options, int freqLimit) {
  if (dec->l1TablesPending) {
    dec->l1AllocFactor[0] = 0.0f;
    for (int a = 1; a < 16; ++a) dec->l1AllocFactor[a] = float(2.0 / ((2 << a) - 1));
    dec->l1TablesPending = 0;
  }
  reduction = mpaClampReduction(reduction);
  freqLimit = mpaClampFreqLimit(freqLimit);
  dec->frameSize = frameSize;
  if (hdr->layer != 3 || hdr->rateIndex == 3) return 0;
  int rate = mpaRateHz[hdr->id][hdr->rateIndex];
  dec->l12Entries = 32;
  dec->l12Limit = mpaSubbandLimit(rate, freqLimit, reduction);
  if (hdr->mode != 3) {
    dec->l12Entries *= 2;
    dec->l12Limit *= 2;
  }
  setOutput(dec, hdr, reduction, options, 384 >> reduction, rate);
  std::memset(dec->l12Rows, 0, 12 * sizeof dec->l12Rows[0]);
  mpaSynthReset(dec);
  return 1;
}

int mpaL2Prepare(mpaDecoder* dec, const mpaHeader* hdr, int frameSize, int reduction, int options,
                 int freqLimit) {
  reduction = mpaClampReduction(reduction);
  freqLimit = mpaClampFreqLimit(freqLimit);
  dec->frameSize = frameSize;
  if (hdr->layer != 2 || hdr->rateIndex == 3) return 0;
  int table = hdr->id ? mpaL2TableChoice(hdr->mode, hdr->rateIndex, hdr->bitrateIndex) : 4;
  if (table < 0) return 0;
  mpaL2CopyTable(dec, table);
  int subbands = dec->l2Groups[0] + dec->l2Groups[1] + dec->l2Groups[2] + dec->l2Groups[3];
  int rate = mpaRateHz[hdr->id][hdr->rateIndex];
  int limit = mpaSubbandLimit(rate, freqLimit, reduction);
  dec->l12Entries = subbands;
  dec->l12Limit = limit < subbands ? limit : subbands;
  if (hdr->mode != 3) {
    for (int& g : dec->l2Groups) g *= 2;
    dec->l12Entries *= 2;
    dec->l12Limit *= 2;
  }
  setOutput(dec, hdr, reduction, options, 1152 >> reduction, rate);
  std::memset(dec->l12Rows, 0, sizeof dec->l12Rows);
  mpaSynthReset(dec);
  return 1;
}

mpaInOut mpaL1Decode(mpaDecoder* dec, const uint8_t* frame, uint8_t* out) {
  if (!readHeader(dec, frame, 4)) return {0, 0};
  mpaL1Alloc(dec);
  mpaL1Scale(dec);
  mpaL1Samples(dec);
  dec->synthL12(dec, dec->l12Rows, out, 12);
  return {dec->frameSize + dec->paddingBytes, dec->outBytes};
}

mpaInOut mpaL2Decode(mpaDecoder* dec, const uint8_t* frame, uint8_t* out) {
  if (!readHeader(dec, frame, 1)) return {0, 0};
  mpaL2Alloc(dec);
  mpaL2Scfsi(dec);
  mpaL2Scale(dec);
  mpaL2Samples(dec);
  dec->synthL12(dec, dec->l12Rows, out, 36);
  return {dec->frameSize + dec->paddingBytes, dec->outBytes};
}
