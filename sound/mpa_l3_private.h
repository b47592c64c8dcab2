// Internals of layer III shared by its bitstream and reconstruction files.
#pragma once

#include "sound/mpa.h"

// Short scale factors [window][band] start at this index of a channel's 62.
constexpr int kMpaL3ShortBase = 23;

int mpaL3Init(mpaDecoder* dec, const mpaHeader* hdr, int frameSize, int reduction, int reserved,
              int options, int freqLimit);
mpaInOut mpaL3Decode(mpaDecoder* dec, const uint8_t* frame, uint8_t* out);
mpaInOut mpaL3DecodeMpeg1(mpaDecoder* dec, const uint8_t* frame, uint8_t* out);
mpaInOut mpaL3DecodeMpeg2(mpaDecoder* dec, const uint8_t* frame, uint8_t* out);

// Bitstream. One region of Huffman-coded pairs with pair table `table` into
// count lines: the count of lines stored (fewer when the reader overran the
// granule's bits).
int mpaL3HuffPairs(mpaDecoder* dec, int32_t* lines, int count, int table);
// Quadruples of count1 table A or B (tableB non-zero) into at most count
// lines while bitsLeft lasts: the lines up to the last non-zero quadruple.
int mpaL3HuffQuads(mpaDecoder* dec, int32_t* lines, int count, int bitsLeft, int tableB);

// Reconstruction.
void mpaL3TableInit(mpaDecoder* dec);
// Dequantises `count` values of q into lines (the rest 0) and fills info.
// The result is the first line not handled: the end of the last band, so
// that it covers the short bands' lines after their reordering.
int mpaL3Dequant(mpaDecoder* dec, float* lines, const int32_t* q, int count, const int32_t* scale,
                 const mpaL3Side& side, mpaL3BandInfo& info);
// Mid/side and intensity stereo of granule gr, then the common extent.
void mpaL3Stereo(mpaDecoder* dec, int gr);
// The steps of mpaL3Stereo. `lines` is the left channel's granule in the
// spectrum store; the right channel's lies 1152 values on.
void mpaL3StereoMs(float* lines, int count);
// MPEG-1 intensity from the band after the right channel's last non-zero
// band, over the left channel's first nonzeroLeft lines.
void mpaL3StereoIs(mpaDecoder* dec, float* lines, const int32_t* scaleRight, const mpaL3BandInfo& right,
                   int nonzeroLeft, int ms);
// MPEG-2 intensity; bandInfo holds both channels', isInfo the right
// channel's scale-factor parts (band counts, slen, the intensity scale bit).
void mpaL3StereoIsLsf(mpaDecoder* dec, float* lines, const int32_t* scaleRight, const mpaL3BandInfo* bandInfo,
                      const int32_t* isInfo, int nonzeroLeft, int ms);
void mpaL3Antialias(mpaDecoder* dec, int ch, int gr);
// The inverse MDCTs in place: 18 lines to the 18 values from which the 36 of
// the transform follow, 6 lines to the 6 values of the 12 (mpa_l3_imdct.h);
// the windows carry the signs.
void mpaImdct18(float* x);
void mpaImdct6(float* x);
// The hybrid filter of one channel: cur holds the granule's lines and takes
// the new overlap, prev holds the last one; lines below longLines take the
// long transform, those up to allLines the short ones, then the overlap
// alone up to prevExtent. The result is the extent reached, in lines.
int mpaL3Hybrid(mpaDecoder* dec, float* cur, const float* prev, float (*out)[32], int blockType, int longLines,
                int allLines, int prevExtent);
// The same for a second channel, whose output is added to out and whose
// overlap is added to `overlap`.
int mpaL3HybridAdd(mpaDecoder* dec, float* cur, float* overlap, float (*out)[32], int blockType, int longLines,
                   int allLines);
void mpaL3SpectrumAdd(float* dst, const float* src, int count);
// Negates the odd subbands below the extent in the odd time slots.
void mpaL3FreqInvert(float (*out)[32], int extent);
void mpaL3TransformStereo(mpaDecoder* dec, uint8_t* pcm, int gr);
void mpaL3TransformLeft(mpaDecoder* dec, uint8_t* pcm, int gr);
void mpaL3TransformRight(mpaDecoder* dec, uint8_t* pcm, int gr);
void mpaL3TransformMix(mpaDecoder* dec, uint8_t* pcm, int gr);
