// The decoder's life: clearing, preparation for a stream, frame dispatch and
// release.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sound/mpa.h"
#include "sound/mpa_l3_private.h"
#include "sound/mpa_private.h"

int mpaClampReduction(int reduction) { return reduction < 0 ? 0 : reduction > 2 ? 2 : reduction; }

int mpaClampFreqLimit(int freqLimit) { return freqLimit < 1000 ? 1000 : freqLimit; }

int mpaSubbandLimit(int rate, int freqLimit, int reduction) {
  int64_t n = (int64_t(rate) / 2 + int64_t(freqLimit) * 64) / rate;
  int cap = 32 >> reduction;
  if (cap > 8) --cap;
  return n < cap ? int(n) : cap;
}

void mpaInit(mpaDecoder* dec, int allocEq) {
  mpaEq* eq = dec->eq;
  std::memset(dec, 0, sizeof *dec);
  if (allocEq) {
    eq = static_cast<mpaEq*>(std::malloc(sizeof(mpaEq)));
    if (eq) {
      eq->enable = 0;
      for (float& g : eq->gain) g = 1.0f;
      eq->l3Gain = 1.0f;
    }
  }
  dec->eq = eq;
  dec->l2TablesPending = 1;
  dec->l1TablesPending = 1;
  dec->dctPending = 1;
  dec->decodeLayer = mpaL2Decode;
  dec->synthL12 = mpaSynthL12Table[0][0][0][0];
}

void mpaRelease(mpaDecoder* dec) {
  std::free(dec->eq);
  dec->eq = nullptr;
}

int mpaDecodeInit(mpaDecoder* dec, const mpaHeader* hdr, int frameSize, int reduction,
                  int reserved, int options, int freqLimit) {
  static const mpaLayerDecodeFn kDecoders[4] = {mpaL2Decode, mpaL3Decode, mpaL2Decode, mpaL1Decode};
  dec->ready = 0;
  if (!mpaHeaderFieldsValid(hdr)) return 0;
  if (dec->l2TablesPending) mpaL2Init(dec);
  int ok = 0;
  switch (hdr->layer) {
    case 3:
      ok = mpaL1Init(dec, hdr, frameSize, reduction, reserved, options, freqLimit);
      break;
    case 1:
      ok = mpaL3Init(dec, hdr, frameSize, reduction, reserved, options, freqLimit);
      break;
    default:
      ok = mpaL2Prepare(dec, hdr, frameSize, reduction, options, freqLimit);
      break;
  }
  if (!ok) return 0;
  dec->decodeLayer = kDecoders[hdr->layer];
  dec->ready = 1;
  return 1;
}

void mpaGetInfo(const mpaDecoder* dec, mpaInfo* info) { *info = dec->info; }

mpaInOut mpaDecode(mpaDecoder* dec, const uint8_t* frame, uint8_t* out) {
  if (!dec->ready) return {0, 0};
  return dec->decodeLayer(dec, frame, out);
}
