// Internals of layer III shared by its bitstream and reconstruction files.
#pragma once

#include "sound/mpa.h"

int mpaL3Init(mpaDecoder* dec, const mpaHeader* hdr, int frameSize, int reduction, int reserved,
              int options, int freqLimit);
mpaInOut mpaL3Decode(mpaDecoder* dec, const uint8_t* frame, uint8_t* out);
mpaInOut mpaL3DecodeMpeg1(mpaDecoder* dec, const uint8_t* frame, uint8_t* out);
mpaInOut mpaL3DecodeMpeg2(mpaDecoder* dec, const uint8_t* frame, uint8_t* out);

// Reconstruction.
void mpaL3TableInit(mpaDecoder* dec);
// Dequantises `count` values of q into lines (the rest 0) and fills info.
// The result is the first line not handled: the end of the last band, so
// that it covers the short bands' lines after their reordering.
int mpaL3Dequant(mpaDecoder* dec, float* lines, const int32_t* q, int count, const int32_t* scale,
                  const mpaL3Side& side, mpaL3BandInfo& info);
// Mid/side and intensity stereo of granule gr.
void mpaL3Stereo(mpaDecoder* dec, int gr);
void mpaL3Antialias(mpaDecoder* dec, int ch, int gr);
// The inverse MDCTs: 18 lines to 36 values, 6 lines to 12 values.
void mpaImdct18(const float* in, float* out);
void mpaImdct6(const float* in, float* out);
void mpaL3TransformStereo(mpaDecoder* dec, uint8_t* pcm, int gr);
void mpaL3TransformLeft(mpaDecoder* dec, uint8_t* pcm, int gr);
void mpaL3TransformRight(mpaDecoder* dec, uint8_t* pcm, int gr);
void mpaL3TransformMix(mpaDecoder* dec, uint8_t* pcm, int gr);
