// MPEG audio decoder: frames of MPEG-1, MPEG-2 and MPEG-2.5 audio, layers I,
// II and III, decoded one frame per call into 16-bit signed or 8-bit unsigned
// PCM.
//
// Plain functions over a caller-owned mpaDecoder. The decoder allocates
// nothing but its small equaliser record, does no input or output, raises
// nothing and shows nothing: every failure is a result of 0. Decoding a frame
// allocates nothing and waits for nothing.
//
// Calling order: mpaInit once; mpaFindFrame (or mpaParseHeader) on the start
// of the stream; mpaDecodeInit with that header and size; mpaGetInfo; then
// mpaDecode once per frame with a pointer to the frame's first byte (the whole
// frame, its size plus the padding slot, readable; `out` room for
// mpaInfo::values * bits / 8 bytes); mpaRelease at the end. mpaDecodeInit may
// be called again for a new stream on the same decoder.
//
// A decoder is used by one thread at a time; decoders of different streams
// share nothing but constant tables.
#pragma once

#include <cstdint>

// The parsed four-byte frame header.
struct mpaHeader {
  int32_t sync;          // 0 none, 1 MPEG-1 or MPEG-2, 2 MPEG-2.5
  int32_t id;            // 1 MPEG-1, 0 the lower sampling frequencies
  int32_t layer;         // 3 layer I, 2 layer II, 1 layer III, 0 reserved
  int32_t protection;    // 0: a 16-bit CRC follows the header
  int32_t bitrateIndex;  // 0 free format, 15 forbidden
  int32_t rateIndex;     // 3 reserved
  int32_t padding;
  int32_t privateBit;
  int32_t mode;          // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
  int32_t modeExt;
  int32_t copyBit;
  int32_t homeBit;
  int32_t emphasis;      // not applied
};

// What the decoder produces per frame.
struct mpaInfo {
  int32_t channels;    // output channels, 1 or 2
  int32_t values;      // sample values per frame, all channels together
  int32_t rate;        // output sampling frequency in Hz
  int32_t bits;        // 8 or 16 bits per value
  int32_t frameBytes;  // the frame size given to mpaDecodeInit
  int32_t type;        // always 0
};

// The result of one mpaDecode: input bytes the frame occupied (0: the frame
// was refused) and output bytes written.
struct mpaInOut {
  int32_t inBytes;
  int32_t outBytes;
};

// The equaliser: while `enable` is set, the 32-point synthesis transform
// weighs each subband by `gain` and layer III adds `l3Gain` to its global
// gains. Nothing in the system switches it on.
struct mpaEq {
  int32_t enable;
  float gain[32];
  float l3Gain;
};

// Options of mpaDecodeInit, bits 0-1: the channels of a two-channel stream.
enum {
  MPA_CONV_STEREO = 0,  // both channels
  MPA_CONV_MIX = 1,     // one channel, the average of both
  MPA_CONV_LEFT = 2,    // the first channel alone
  MPA_CONV_RIGHT = 3,   // the second channel alone
  MPA_OUT_8BIT = 8,     // 8-bit unsigned values (0x80 silence) instead of 16-bit signed ones
};

struct mpaDecoder;
using mpaL3SynthFn = void (*)(mpaDecoder* dec, const float (*slots)[32], uint8_t* out, int ch);
using mpaL3TransformFn = void (*)(mpaDecoder* dec, uint8_t* pcm, int gr);
using mpaLayerDecodeFn = mpaInOut (*)(mpaDecoder* dec, const uint8_t* frame, uint8_t* out);
// Synthesis of layers I and II: `count` rows of 64 subband entries.
using mpaSynthL12Fn = void (*)(mpaDecoder* dec, const float (*rows)[64], uint8_t* out, int count);

// The bit reader of layers I and II. Bytes from `end` on read as zeros, so a
// damaged frame never makes it read past the frame.
struct mpaBitReader {
  const uint8_t* base;  // the frame's first byte
  int32_t pos;          // offset of the next byte to load
  int32_t end;          // the frame's size with its padding slot
  uint64_t acc;         // held bits, the next one at bit 63
  int32_t bits;         // count of bits held
  uint32_t last;        // the last value read
};

// Side information of one granule and channel of layer III.
struct mpaL3Side {
  int32_t part23Length, bigValues, globalGain, scalefacCompress, windowSwitching, blockType,
      mixedBlock, tableSelect[3], subblockGain[3], region0Count, region1Count, preflag,
      scalefacScale, count1Table;
};

// What the dequantisation found in one granule and channel.
struct mpaL3BandInfo {
  int32_t lastKind;      // 0 the last band handled was long, 1 short
  int32_t lastBand;      // the last band with a non-zero value
  int32_t firstShort;    // 12 long block, 0 short, 3 mixed
  int32_t longBands;     // 22, 0 or the mixed block's long bands
  int32_t lastShort[3];  // per window the last short band with a non-zero value
};

// Layer III state of a decoder.
struct mpaL3State {
  // Bit reader over the reservoir: bytes from resFill on read as zeros.
  mpaBitReader br;
  int32_t longEnd[23];    // first line of long band k + 1 (index 22: 576)
  int32_t shortEnd3[14];  // three times the first line of short band k + 1
  int32_t longWidth[22];
  int32_t shortWidth[13];
  int32_t huffLimit, longLimit, shortLimit, hybridSubbands, subbands;
  int32_t mixedLongBands;
  // The current frame.
  int32_t id, rateIndex, padding, mode, modeExt, msStereo, intensityStereo, crcBytes, channels,
      mainDataBegin, privateBits, scfsi[2], mpeg25, frameSize, gainAdjust;
  mpaL3Side side[2][2];     // [granule][channel]
  int32_t scale[2][2][62];  // [granule][channel]: long 0..22, short [window][band 0..12] from 23
  int32_t nonzero[2][2];    // [channel][granule]
  mpaL3BandInfo bandInfo[2][2];
  int32_t isInfo[7];        // MPEG-2 intensity: three band counts, three slen, the scale bit
  uint8_t res[8192];        // the main-data reservoir
  int32_t resFill, resStart, bitPos;
  int32_t overrun;          // bit offset in res past which the granule reader has overrun
  int32_t quant[576];       // one channel's Huffman values
  // [channel][granule]: the granule's lines, then, once transformed, its
  // overlap time-slot-major ([18][32]).
  float spectrum[2][2][576];
  float scratch[576];
  alignas(32) float out[18][32];  // the transform output: 18 time slots of 32 subbands
  alignas(32) float outAdd[18][32];  // a second channel's output, added to out
  int32_t hybridPath;       // 0 the portable hybrid filter, 1 AVX2
  int32_t granule;          // MPEG-2 granule toggle
  int32_t silence;          // the silence byte of the output
  mpaLayerDecodeFn frameDecoder;
  mpaL3TransformFn transform;
  mpaL3SynthFn synth;
  // Tables built at each preparation.
  float gainPow[262];
  float sfPow[2][4][32];
  float pow43[64];
  float subblockGain[8];
  float alias[8][2];
  float isRatio[2][8][2];
  float isLsf[2][2][64][2];
  float window[4][36];
};

// One decoder, one stream. Plain data that mpaInit clears as a whole.
struct mpaDecoder {
  // Tables of layers I and II, built once per decoder.
  float l2ClassFactor[18];  // 2 / levels of each quantisation class
  float l1AllocFactor[16];  // 2 / (2^(allocation + 1) - 1), [0] unused
  float sfTable[64];        // 65536 * 2^(-k/3)
  int8_t group3[32][3];     // grouped code words: their three sample values
  int8_t group5[128][3];
  int16_t group9[1024][3];
  int32_t l2TablesPending;  // set by mpaInit: the tables above are still to build
  int32_t l1TablesPending;

  mpaBitReader br;

  // Frame geometry.
  int32_t outBytes;      // output bytes per frame
  int32_t frameSize;     // the frame size given at preparation
  int32_t values;        // output values per frame
  int32_t paddingBytes;  // padding of the current frame
  int32_t bound;         // joint-stereo bound of the current frame, in entries
  mpaInfo info;
  int32_t ready;         // a successful mpaDecodeInit prepared this decoder

  // Layers I and II: an entry is one subband of one channel (2 * sb + ch in a
  // two-channel stream, sb in a single-channel one).
  int32_t l12Entries;    // coded entries
  int32_t l12Limit;      // synthesised entries
  int32_t l12SkipBits;   // sample bits of the entries at and above the limit
  int32_t l2Groups[4];   // entries of the four allocation groups
  uint8_t l2Classes[4][16];  // allocation code -> quantisation class
  uint8_t l12Alloc[64];
  uint8_t l12Code[66];   // allocation with the markers of the sample walk
  float l12Factor[64];
  uint8_t l2Scfsi[65];
  float l12Scale[3][64];
  float l12Rows[36][64]; // dequantised subband samples, one row per time slot

  mpaSynthL12Fn synthL12;
  mpaLayerDecodeFn decodeLayer;

  // Polyphase synthesis: per output channel a ring of 16 time slots, each
  // slot the 2N values of the matrixing (N = 32, 16 or 8 subbands).
  alignas(32) float synthRing[2][1024];
  int32_t synthPos;   // ring position of channel 0 (of both in layers I and II)
  int32_t synthPos1;  // ring position of channel 1 in layer III
  float dctCoef[31];  // 0.5 / cos(pi d / 4n) for n = 16, 8, 4, 2, 1
  int32_t dctPending;
  // The code the synthesis runs, read at preparation: 0 the best this
  // processor has, 1 the portable code, 2 AVX2 (when the processor has it).
  // Every path gives the same output; tests force each one.
  int32_t synthPath;

  mpaL3State l3;

  mpaEq* eq;  // owned; null when it could not be allocated (equaliser off)
};

// Clears the decoder. allocEq non-zero: allocates a new equaliser record
// (off); zero: keeps the record the decoder held.
void mpaInit(mpaDecoder* dec, int allocEq);
// Frees the equaliser record and clears its pointer.
void mpaRelease(mpaDecoder* dec);

// Frame size without the padding slot of the header at buf, 0 when it is no
// usable header. len (at most 10000 used) only measures free format; a len
// below 4 is no header.
int mpaParseHeader(const uint8_t* buf, int len, mpaHeader* hdr);
// As mpaParseHeader, and the bitrate in bit/s (0 when the result is 0).
int mpaParseHeaderBitrate(const uint8_t* buf, int len, mpaHeader* hdr, int* bitrate);
// The first sync in buf: its offset to *skip (untouched without a sync) and
// what mpaParseHeaderBitrate returns for it. An unusable first sync ends the
// search with 0.
int mpaFindFrame(const uint8_t* buf, int len, mpaHeader* hdr, int* bitrate, int* skip);
// Size without padding of the free-format frame at buf, 0 when it cannot be
// measured.
int mpaFreeFormatSize(const uint8_t* buf, int len);
// Frames of `size` bytes (plus `slot` bytes when padded) that follow the
// frame at buf up to offset limit; negated at the first mismatch.
int mpaCountFrames(int limit, const uint8_t* buf, int slot, int size);

// Prepares the decoder for a stream whose first header is *hdr and whose frame
// size without padding is frameSize. reduction 0..2 divides the output rate by
// 2^reduction; options: MPA_CONV_* | MPA_OUT_8BIT; subbands above freqLimit Hz
// (at least 1000) are neither dequantised nor synthesised. 1 on success.
int mpaDecodeInit(mpaDecoder* dec, const mpaHeader* hdr, int frameSize, int reduction,
                  int reserved, int options, int freqLimit);
void mpaGetInfo(const mpaDecoder* dec, mpaInfo* info);
// Decodes the frame at `frame` into `out`; {0, 0} when it is refused or the
// decoder is not prepared.
mpaInOut mpaDecode(mpaDecoder* dec, const uint8_t* frame, uint8_t* out);
