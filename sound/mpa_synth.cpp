// The synthesis variants and which one serves which stream, and the reset of
// the synthesis at each stream preparation.
//
//   layers  reduction  subbands  layout                      width  variant
//   I, II   0, 1, 2    32,16,8   single-channel stream       16, 8  mpaSynthL12<N, kMpaMono, Bits>
//   I, II   0, 1, 2    32,16,8   MPA_CONV_STEREO             16, 8  mpaSynthL12<N, kMpaStereo, Bits>
//   I, II   0, 1, 2    32,16,8   MPA_CONV_MIX                16, 8  mpaSynthL12<N, kMpaMix, Bits>
//   I, II   0, 1, 2    32,16,8   MPA_CONV_LEFT               16, 8  mpaSynthL12<N, kMpaLeft, Bits>
//   I, II   0, 1, 2    32,16,8   MPA_CONV_RIGHT              16, 8  mpaSynthL12<N, kMpaRight, Bits>
//   III     0, 1, 2    32,16,8   one output channel          16, 8  mpaSynthL3<N, 1, Bits>
//   III     0, 1, 2    32,16,8   two output channels         16, 8  mpaSynthL3<N, 2, Bits>
//
// 30 variants for layers I and II and 12 for layer III, all instances of
// mpaSynth<N, Layout, Bits> (mpa_synth.h).
#include <cmath>
#include <cstring>

#include "sound/mpa_private.h"
#include "sound/mpa_synth.h"

#define MPA_L12_ROW(N, Bits)                                                            \
  {                                                                                     \
    mpaSynthL12<N, kMpaMono, Bits>, mpaSynthL12<N, kMpaStereo, Bits>,                   \
        mpaSynthL12<N, kMpaMix, Bits>, mpaSynthL12<N, kMpaLeft, Bits>,                  \
        mpaSynthL12<N, kMpaRight, Bits>                                                 \
  }

const mpaSynthL12Fn mpaSynthL12Table[2][3][5] = {
    {MPA_L12_ROW(32, 16), MPA_L12_ROW(16, 16), MPA_L12_ROW(8, 16)},
    {MPA_L12_ROW(32, 8), MPA_L12_ROW(16, 8), MPA_L12_ROW(8, 8)},
};

#undef MPA_L12_ROW

const mpaSynthL3Fn mpaSynthL3Table[2][3][2] = {
    {{mpaSynthL3<32, 1, 16>, mpaSynthL3<32, 2, 16>},
     {mpaSynthL3<16, 1, 16>, mpaSynthL3<16, 2, 16>},
     {mpaSynthL3<8, 1, 16>, mpaSynthL3<8, 2, 16>}},
    {{mpaSynthL3<32, 1, 8>, mpaSynthL3<32, 2, 8>},
     {mpaSynthL3<16, 1, 8>, mpaSynthL3<16, 2, 8>},
     {mpaSynthL3<8, 1, 8>, mpaSynthL3<8, 2, 8>}},
};

void mpaSynthReset(mpaDecoder* dec) {
  if (dec->dctPending) {
    // 0.5 / cos(pi d / 4n) for n = 16, 8, 4, 2, 1 and odd d below 2n.
    float* c = dec->dctCoef;
    for (int n = 16; n >= 1; n /= 2)
      for (int d = 1; d < 2 * n; d += 2) *c++ = float(0.5 / std::cos(M_PI * d / (4.0 * n)));
    dec->dctPending = 0;
  }
  std::memset(dec->synthRing, 0, sizeof dec->synthRing);
  dec->synthPos = 0;
  dec->synthPos1 = 0;
}
