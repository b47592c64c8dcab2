// Layer III bitstream: preparation, the frame decoders of MPEG-1 and of the
// lower sampling frequencies, side information, the main-data reservoir,
// scale factors, the Huffman-coded spectrum and the granule driver.
#include <cstring>

#include "sound/mpa_l3_huffman.h"
#include "sound/mpa_l3_private.h"
#include "sound/mpa_private.h"
#include "sound/mpa_synth.h"

namespace {

// Scale-factor band boundaries: 44100, 48000, 32000 Hz (ISO/IEC 11172-3),
// 22050, 24000, 16000 Hz (ISO/IEC 13818-3), 8000 Hz (MPEG-2.5).
constexpr int16_t kLongBounds[7][23] = {
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 52, 62, 74, 90, 110, 134, 162, 196, 238, 288, 342, 418, 576},
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 42, 50, 60, 72, 88, 106, 128, 156, 190, 230, 276, 330, 384, 576},
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 54, 66, 82, 102, 126, 156, 194, 240, 296, 364, 448, 550, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 114, 136, 162, 194, 232, 278, 332, 394, 464, 540, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 12, 24, 36, 48, 60, 72, 88, 108, 132, 160, 192, 232, 280, 336, 400, 476, 566, 568, 570, 572, 574, 576},
};
constexpr int16_t kShortBounds[7][14] = {
    {0, 4, 8, 12, 16, 22, 30, 40, 52, 66, 84, 106, 136, 192},
    {0, 4, 8, 12, 16, 22, 28, 38, 50, 64, 80, 100, 126, 192},
    {0, 4, 8, 12, 16, 22, 30, 42, 58, 78, 104, 138, 180, 192},
    {0, 4, 8, 12, 18, 24, 32, 42, 56, 74, 100, 132, 174, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 136, 180, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
    {0, 8, 16, 24, 36, 52, 72, 96, 124, 160, 162, 164, 166, 192},
};

// MPEG-1 scale-factor lengths by scalefacCompress.
constexpr int8_t kSlen[2][16] = {{0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4},
                                 {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3}};

// MPEG-2 bands per scale-factor part: [table][long, short, mixed][part].
constexpr int8_t kLsfBands[6][3][4] = {
    {{6, 5, 5, 5}, {3, 3, 3, 3}, {6, 3, 3, 3}},   {{6, 5, 7, 3}, {3, 3, 4, 2}, {6, 3, 4, 2}},
    {{11, 10, 0, 0}, {6, 6, 0, 0}, {6, 3, 6, 0}}, {{7, 7, 7, 0}, {4, 4, 4, 0}, {6, 5, 4, 0}},
    {{6, 6, 6, 3}, {4, 3, 3, 2}, {6, 4, 3, 2}},   {{8, 8, 5, 0}, {5, 4, 3, 0}, {6, 6, 3, 0}},
};

constexpr int kLinbits[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};

int bitsRead(const mpaBitReader& br) { return br.pos * 8 - br.bits; }

// The frame size of this frame's header, or the set-up size for free
// format; -1 for a rate index 3, an ID bit unlike the stream's or another
// layer (whose size the caller measured otherwise).
int frameSizeOf(mpaDecoder* dec, const uint8_t* frame) {
  mpaL3State& L = dec->l3;
  int id = (frame[1] >> 3) & 1, bri = frame[2] >> 4, ri = (frame[2] >> 2) & 3;
  if (ri == 3 || id != L.id || bri == 15 || ((frame[1] >> 1) & 3) != 1) return -1;
  if (bri == 0) return L.frameSize = dec->frameSize;
  int br = mpaBitrateTable[id][1][bri];
  int factor = id ? 2880 : ((frame[1] & 0x10) ? 1440 : 2880);
  return L.frameSize = br * factor / mpaRate50[id][ri];
}

void readSideEntry(mpaDecoder* dec, mpaL3Side& s, bool lsf) {
  mpaL3State& L = dec->l3;
  s.part23Length = int(mpaGetBits(12, dec));
  s.bigValues = int(mpaGetBits(9, dec));
  s.globalGain = int(mpaGetBits(8, dec)) + L.gainAdjust - (L.msStereo ? 2 : 0);
  s.scalefacCompress = int(mpaGetBits(lsf ? 9 : 4, dec));
  s.windowSwitching = int(mpaGetBits(1, dec));
  if (s.windowSwitching) {
    s.blockType = int(mpaGetBits(2, dec));
    s.mixedBlock = int(mpaGetBits(1, dec));
    s.tableSelect[0] = int(mpaGetBits(5, dec));
    s.tableSelect[1] = int(mpaGetBits(5, dec));
    s.tableSelect[2] = 0;
    for (int& g : s.subblockGain) g = int(mpaGetBits(3, dec));
    bool shortLsf = lsf && s.blockType == 2;
    s.region0Count = shortLsf ? 5 : 7;
    s.region1Count = shortLsf ? 15 : 13;
  } else {
    s.blockType = s.mixedBlock = 0;
    for (int& t : s.tableSelect) t = int(mpaGetBits(5, dec));
    for (int& g : s.subblockGain) g = 0;
    s.region0Count = int(mpaGetBits(4, dec));
    s.region1Count = int(mpaGetBits(3, dec));
  }
  s.preflag = lsf ? 0 : int(mpaGetBits(1, dec));
  s.scalefacScale = int(mpaGetBits(1, dec));
  s.count1Table = int(mpaGetBits(1, dec));
}

// The header fields after the sync, common to both versions.
void readHeaderFields(mpaDecoder* dec) {
  mpaL3State& L = dec->l3;
  L.id = int(mpaGetBits(1, dec));
  mpaGetBits(2, dec);
  int protection = int(mpaGetBits(1, dec));
  mpaGetBits(4, dec);
  L.rateIndex = int(mpaGetBits(2, dec));
  L.padding = int(mpaGetBits(1, dec));
  mpaGetBits(1, dec);
  L.mode = int(mpaGetBits(2, dec));
  L.modeExt = int(mpaGetBits(2, dec));
  if (L.mode != 1) L.modeExt = 0;
  L.msStereo = (L.modeExt >> 1) & 1;
  L.intensityStereo = L.modeExt & 1;
  mpaGetBits(protection ? 4 : 20, dec);
  L.crcBytes = protection ? 0 : 2;
  L.channels = L.mode == 3 ? 1 : 2;
}

// Long scale factors [from, to) of slen bits, or copied from granule 0.
void readLong(mpaDecoder* dec, int32_t* scale, int from, int to, int slen) {
  for (int b = from; b < to; ++b) scale[b] = slen ? int(mpaReadBits(dec->l3.br, slen)) : 0;
}

void readShort(mpaDecoder* dec, int32_t* scale, int from, int to, int slen) {
  for (int b = from; b < to; ++b)
    for (int w = 0; w < 3; ++w) scale[kMpaL3ShortBase + w * 13 + b] = slen ? int(mpaReadBits(dec->l3.br, slen)) : 0;
}

}  // namespace

// The Huffman readers work on a copy of the reader held in locals, written
// back at the end, so that the lines they store cannot alias it.

int mpaL3HuffPairs(mpaDecoder* dec, int32_t* lines, int count, int table) {
  if (count <= 0) return 0;
  const uint32_t* lookup = mpaL3PairLookup(table);
  if (!lookup) {  // tables 0, 4 and 14: no code, zeros
    for (int i = 0; i < count; ++i) lines[i] = 0;
    return count;
  }
  const int linbits = kLinbits[table];
  const int overrun = dec->l3.overrun;
  mpaBitReader br = dec->l3.br;
  int i = 0;
  while (i < count) {
    const uint32_t* t = lookup;
    uint32_t e;
    for (;;) {
      if (br.bits < 32) mpaBitsFill(br);
      int k = int(t[0]);
      const uint32_t* entry = t + 1 + (br.acc >> (64 - k));
      e = *entry;
      if (e >> 24) {
        int used = int(e >> 24);
        br.acc <<= used;
        br.bits -= used;
        break;
      }
      br.acc <<= k;
      br.bits -= k;
      t = entry + e;
    }
    int x = int((e >> 8) & 0xFF), y = int((e >> 16) & 0xFF);
    if (linbits && x == 15) x += int(mpaReadBits(br, linbits));
    if (x && mpaReadBits(br, 1)) x = -x;
    if (linbits && y == 15) y += int(mpaReadBits(br, linbits));
    if (y && mpaReadBits(br, 1)) y = -y;
    lines[i++] = x;
    if (i < count) lines[i++] = y;
    if (bitsRead(br) > overrun) break;
  }
  dec->l3.br = br;
  return i;
}

int mpaL3HuffQuads(mpaDecoder* dec, int32_t* lines, int count, int bitsLeft, int tableB) {
  const uint16_t* lookup = mpaL3QuadLookup(tableB);
  const int shift = tableB ? 56 : 54;
  const int overrun = dec->l3.overrun;
  mpaBitReader br = dec->l3.br;
  int extent = 0;
  for (int i = 0; i + 4 <= count && bitsLeft > 0; i += 4) {
    if (tableB && bitsLeft < 4) break;
    if (br.bits < 16) mpaBitsFill(br);
    const int e = lookup[br.acc >> shift];
    const int used = e >> 8;
    br.acc <<= used;
    br.bits -= used;
    if (bitsRead(br) > overrun) break;  // taken back: past the granule's data
    bitsLeft -= used;
    int nonzero = e & 15, negative = (e >> 4) & 15;
    if (bitsLeft < 0) nonzero = negative = 0;
    for (int k = 0; k < 4; ++k) {
      int bit = 3 - k;
      lines[i + k] = ((nonzero >> bit) & 1) - 2 * ((negative >> bit) & 1);
    }
    if (nonzero & 3)
      extent = i + 4;
    else if (nonzero)
      extent = i + 2;
  }
  dec->l3.br = br;
  return extent;
}

namespace {

// MPEG-1 scale factors of one channel; `first` holds the channel's scale
// factors of granule 0, whose groups granule 1 of a long block takes where
// its scfsi bit is set.
void mpaL3ScaleMpeg1(mpaDecoder* dec, int32_t* scale, const int32_t* first, const mpaL3Side& s, int scfsi, int gr) {
  int slen1 = kSlen[0][s.scalefacCompress], slen2 = kSlen[1][s.scalefacCompress];
  if (s.blockType == 2) {
    if (s.mixedBlock) {
      readLong(dec, scale, 0, 8, slen1);
      readShort(dec, scale, 3, 6, slen1);
    } else {
      readShort(dec, scale, 0, 6, slen1);
    }
    readShort(dec, scale, 6, 12, slen2);
    for (int w = 0; w < 3; ++w) scale[kMpaL3ShortBase + w * 13 + 12] = 0;
    return;
  }
  static constexpr int kGroups[5] = {0, 6, 11, 16, 21};
  for (int g = 0; g < 4; ++g) {
    if (gr == 1 && ((scfsi >> (3 - g)) & 1))
      for (int b = kGroups[g]; b < kGroups[g + 1]; ++b) scale[b] = first[b];
    else
      readLong(dec, scale, kGroups[g], kGroups[g + 1], g < 2 ? slen1 : slen2);
  }
  scale[21] = scale[22] = 0;
}

void mpaL3ScaleMpeg2(mpaDecoder* dec, int32_t* scale, mpaL3Side& s, bool isRight) {
  mpaL3State& L = dec->l3;
  int sfc = s.scalefacCompress, slen[4] = {0, 0, 0, 0}, table;
  if (!isRight) {
    if (sfc < 400) {
      slen[0] = (sfc >> 4) / 5, slen[1] = (sfc >> 4) % 5, slen[2] = (sfc & 15) >> 2, slen[3] = sfc & 3;
      table = 0;
    } else if (sfc < 500) {
      sfc -= 400;
      slen[0] = (sfc >> 2) / 5, slen[1] = (sfc >> 2) % 5, slen[2] = sfc & 3;
      table = 1;
    } else {
      sfc -= 500;
      slen[0] = sfc / 3, slen[1] = sfc % 3;
      table = 2;
      s.preflag = 1;
    }
  } else {
    L.isInfo[6] = sfc & 1;
    sfc >>= 1;
    if (sfc < 180) {
      slen[0] = sfc / 36, slen[1] = (sfc % 36) / 6, slen[2] = sfc % 6;
      table = 3;
    } else if (sfc < 244) {
      sfc -= 180;
      slen[0] = (sfc & 63) >> 4, slen[1] = (sfc & 15) >> 2, slen[2] = sfc & 3;
      table = 4;
    } else {
      sfc -= 244;
      slen[0] = sfc / 3, slen[1] = sfc % 3;
      table = 5;
    }
  }
  int kind = s.blockType == 2 ? (s.mixedBlock ? 2 : 1) : 0;
  const int8_t* bands = kLsfBands[table][kind];
  for (int i = 0; i < 3; ++i) {
    L.isInfo[i] = bands[i];
    L.isInfo[3 + i] = slen[i];
  }
  std::memset(scale, 0, 62 * sizeof *scale);
  int longBand = 0, shortBand = kind == 2 ? 3 : 0;
  for (int part = 0; part < 4; ++part) {
    int n = bands[part];
    // Table 2's mixed row reads its three short bands with the first length.
    int len = (table == 2 && kind == 2) ? slen[part == 0 || part == 1 ? 0 : 1] : slen[part];
    if (kind == 0 || (kind == 2 && part == 0)) {
      readLong(dec, scale, longBand, longBand + n, len);
      longBand += n;
    } else {
      readShort(dec, scale, shortBand, shortBand + n, len);
      shortBand += n;
    }
  }
}

// Granule gr of the current frame into `out`.
void mpaL3DecodeGranule(mpaDecoder* dec, uint8_t* out, int gr) {
  mpaL3State& L = dec->l3;
  for (int ch = 0; ch < L.channels; ++ch) {
    mpaL3Side& s = L.side[gr][ch];
    int32_t* scale = L.scale[gr][ch];
    int start = L.bitPos;
    L.bitPos += s.part23Length;
    L.br.base = L.res;
    L.br.pos = start >> 3;
    L.br.end = L.resFill;
    L.br.acc = 0;
    L.br.bits = 0;
    mpaDropBits(L.br, start & 7);
    L.overrun = L.bitPos + 32;
    bool held = L.bitPos <= L.resFill * 8;
    if (L.id) {
      mpaL3ScaleMpeg1(dec, scale, L.scale[0][ch], s, L.scfsi[ch], gr);
    } else {
      mpaL3ScaleMpeg2(dec, scale, s, L.intensityStereo && ch == 1);
    }
    if (dec->eq && dec->eq->enable) s.globalGain += int(dec->eq->l3Gain);
    int32_t* q = L.quant;
    int b = 2 * s.bigValues;
    if (b > L.huffLimit) b = L.huffLimit;
    int r1 = L.longEnd[s.region0Count];
    int i2 = s.region0Count + s.region1Count + 1;
    int r2 = i2 < 22 ? L.longEnd[i2] : 576;
    if (r1 > b) r1 = b;
    if (r2 > b) r2 = b;
    mpaL3HuffPairs(dec, q, r1, s.tableSelect[0]);
    mpaL3HuffPairs(dec, q + r1, r2 - r1, s.tableSelect[1]);
    mpaL3HuffPairs(dec, q + r2, b - r2, s.tableSelect[2]);
    int nonzero = b;
    if (bitsRead(L.br) <= L.overrun)
      nonzero += mpaL3HuffQuads(dec, q + b, L.huffLimit - b, s.part23Length - (bitsRead(L.br) - start),
                                s.count1Table);
    int kept = nonzero;
    int cap = s.blockType == 2 ? L.shortLimit : L.longLimit;
    if (kept > cap) kept = cap;
    if (!held || bitsRead(L.br) > L.overrun) kept = 0;  // past the data held or the granule's bits: zeros
    L.nonzero[ch][gr] = mpaL3Dequant(dec, L.spectrum[ch][gr], q, kept, scale, s, L.bandInfo[gr][ch]);
  }
  mpaL3Stereo(dec, gr);
  for (int ch = 0; ch < L.channels; ++ch) mpaL3Antialias(dec, ch, gr);
  L.transform(dec, out, gr);
}

// Steps shared by both frame decoders; h the header and side bytes.
mpaInOut mainData(mpaDecoder* dec, const uint8_t* frame, uint8_t* out, int h, int size, int granules) {
  mpaL3State& L = dec->l3;
  int F = size + L.padding;
  L.resStart = L.resFill - L.mainDataBegin;
  if (L.resFill > 6692) {
    int keep = L.mainDataBegin < L.resFill ? L.mainDataBegin : L.resFill;
    std::memmove(L.res, L.res + L.resFill - keep, size_t(keep));
    L.resFill = keep;
    L.resStart = keep - L.mainDataBegin;
  }
  int m = F - L.crcBytes - h;
  if (m < 0 || m > 8192 - L.resFill) return {0, 0};
  std::memcpy(L.res + L.resFill, frame + h + L.crcBytes, size_t(m));
  L.resFill += m;
  if (L.resStart < 0) {
    std::memset(out, L.silence, size_t(dec->outBytes));
    return {F, dec->outBytes};
  }
  L.bitPos = L.resStart * 8;
  if (granules == 2) {
    mpaL3DecodeGranule(dec, out, 0);
    mpaL3DecodeGranule(dec, out + dec->outBytes / 2, 1);
  } else {
    mpaL3DecodeGranule(dec, out, L.granule);
  }
  return {F, dec->outBytes};
}

// Starts the reader at the frame and reads its 12 sync bits into *sync; the
// frame's size without padding, or -1 for a frame the stream's decoder
// refuses (frameSizeOf).
int startFrame(mpaDecoder* dec, const uint8_t* frame, uint32_t* sync) {
  int size = frameSizeOf(dec, frame);
  if (size < 0) return -1;
  int end = size + ((frame[2] >> 1) & 1);
  mpaBitsStart(dec, frame, end > 4 ? end : 4);
  *sync = mpaGetBits(12, dec);
  return size;
}

}  // namespace

mpaInOut mpaL3DecodeMpeg1(mpaDecoder* dec, const uint8_t* frame, uint8_t* out) {
  mpaL3State& L = dec->l3;
  uint32_t sync = 0;
  int size = startFrame(dec, frame, &sync);
  if (size < 0 || sync != 0xFFF) return {0, 0};
  readHeaderFields(dec);
  L.mainDataBegin = int(mpaGetBits(9, dec));
  L.privateBits = int(mpaGetBits(L.channels == 1 ? 5 : 3, dec));
  for (int ch = 0; ch < L.channels; ++ch) L.scfsi[ch] = int(mpaGetBits(4, dec));
  for (int gr = 0; gr < 2; ++gr)
    for (int ch = 0; ch < L.channels; ++ch) {
      readSideEntry(dec, L.side[gr][ch], false);
      if (L.side[gr][ch].bigValues > 288) return {0, 0};
    }
  return mainData(dec, frame, out, L.channels == 1 ? 21 : 36, size, 2);
}

mpaInOut mpaL3DecodeMpeg2(mpaDecoder* dec, const uint8_t* frame, uint8_t* out) {
  mpaL3State& L = dec->l3;
  uint32_t sync = 0;
  int size = startFrame(dec, frame, &sync);
  if (size < 0 || (sync != 0xFFF && sync != 0xFFE)) return {0, 0};
  L.mpeg25 = sync == 0xFFE;
  readHeaderFields(dec);
  L.mainDataBegin = int(mpaGetBits(8, dec));
  L.privateBits = int(mpaGetBits(L.channels == 1 ? 1 : 2, dec));
  for (int ch = 0; ch < L.channels; ++ch) {
    readSideEntry(dec, L.side[L.granule][ch], true);
    if (L.side[L.granule][ch].bigValues > 288) return {0, 0};
  }
  mpaInOut r = mainData(dec, frame, out, L.channels == 1 ? 13 : 21, size, 1);
  if (r.inBytes) L.granule ^= 1;
  return r;
}

mpaInOut mpaL3Decode(mpaDecoder* dec, const uint8_t* frame, uint8_t* out) {
  return dec->l3.frameDecoder(dec, frame, out);
}

int mpaL3Init(mpaDecoder* dec, const mpaHeader* hdr, int frameSize, int reduction, int /*reserved*/,
              int options, int freqLimit) {
  mpaL3State& L = dec->l3;
  L.resStart = L.resFill = 0;
  if (hdr->layer != 1 || hdr->rateIndex == 3) return 0;
  L.mixedLongBands = hdr->id ? 8 : 6;
  dec->frameSize = L.frameSize = frameSize;
  reduction = mpaClampReduction(reduction);
  freqLimit = mpaClampFreqLimit(freqLimit);
  int rate = mpaStreamRate(hdr);
  int n = mpaSubbandLimit(rate, freqLimit, reduction);
  int set = hdr->id ? hdr->rateIndex : hdr->sync == 2 ? (hdr->rateIndex == 2 ? 6 : 5) : 3 + hdr->rateIndex;
  for (int k = 0; k < 22; ++k) {
    L.longEnd[k] = kLongBounds[set][k + 1];
    L.longWidth[k] = kLongBounds[set][k + 1] - kLongBounds[set][k];
  }
  L.longEnd[22] = 576;
  for (int k = 0; k < 13; ++k) {
    L.shortEnd3[k] = 3 * kShortBounds[set][k + 1];
    L.shortWidth[k] = kShortBounds[set][k + 1] - kShortBounds[set][k];
  }
  L.shortEnd3[13] = 576;
  int longTop = hdr->id ? 576 : kLongBounds[set][21], shortTop = hdr->id ? 192 : kShortBounds[set][12];
  L.huffLimit = longTop + 8 < 18 * n ? longTop + 8 : 18 * n;
  L.longLimit = longTop < L.huffLimit ? longTop : L.huffLimit;
  L.shortLimit = 3 * shortTop < L.huffLimit ? 3 * shortTop : L.huffLimit;
  L.hybridSubbands = (L.huffLimit + 17) / 18;
  L.subbands = n;
  int conversion = options & 3;
  L.gainAdjust = hdr->mode != 3 && conversion == MPA_CONV_MIX ? -4 : 0;
  L.id = hdr->id;
  int samples = (1152 >> reduction) >> (hdr->id ? 0 : 1);
  int channels = hdr->mode == 3 || conversion != MPA_CONV_STEREO ? 1 : 2;
  int eightBit = (options & MPA_OUT_8BIT) ? 1 : 0;
  dec->values = samples * channels;
  dec->outBytes = eightBit ? dec->values : dec->values * 2;
  L.silence = eightBit ? 0x80 : 0;
  dec->info = {channels, dec->values, rate >> reduction, eightBit ? 8 : 16, frameSize, 0};
  L.hybridPath = mpaSynthPathIndex(dec);
  L.synth = mpaSynthL3Table[L.hybridPath][eightBit][reduction][channels - 1];
  L.transform = hdr->mode == 3 || conversion == MPA_CONV_LEFT ? mpaL3TransformLeft
                : conversion == MPA_CONV_STEREO                ? mpaL3TransformStereo
                : conversion == MPA_CONV_MIX                   ? mpaL3TransformMix
                                                               : mpaL3TransformRight;
  mpaL3TableInit(dec);
  mpaSynthReset(dec);
  std::memset(L.out, 0, sizeof L.out);
  std::memset(L.spectrum, 0, sizeof L.spectrum);
  std::memset(L.nonzero, 0, sizeof L.nonzero);
  L.granule = 0;
  L.frameDecoder = hdr->id ? mpaL3DecodeMpeg1 : mpaL3DecodeMpeg2;
  return 1;
}
