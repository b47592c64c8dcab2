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
// mpaSynth<N, Layout, Bits, Width> (mpa_synth.h), each compiled twice: the
// portable code (Width 4) and the AVX2 code (Width 8), which a decoder takes
// when the processor has it.
#include <cmath>
#include <cstring>

#include "sound/mpa_private.h"
#include "sound/mpa_synth.h"

#define MPA_L12_ROW(Fn, N, Bits)                                                         \
  {                                                                                       \
    Fn<N, kMpaMono, Bits>, Fn<N, kMpaStereo, Bits>, Fn<N, kMpaMix, Bits>, Fn<N, kMpaLeft, Bits>, \
        Fn<N, kMpaRight, Bits>                                                            \
  }
#define MPA_L12_PATH(Fn)                                                                     \
  {                                                                                          \
    {MPA_L12_ROW(Fn, 32, 16), MPA_L12_ROW(Fn, 16, 16), MPA_L12_ROW(Fn, 8, 16)},               \
        {MPA_L12_ROW(Fn, 32, 8), MPA_L12_ROW(Fn, 16, 8), MPA_L12_ROW(Fn, 8, 8)}               \
  }
#define MPA_L3_PATH(Fn)                                                                     \
  {                                                                                         \
    {{Fn<32, 1, 16>, Fn<32, 2, 16>}, {Fn<16, 1, 16>, Fn<16, 2, 16>}, {Fn<8, 1, 16>, Fn<8, 2, 16>}}, \
        {{Fn<32, 1, 8>, Fn<32, 2, 8>}, {Fn<16, 1, 8>, Fn<16, 2, 8>}, {Fn<8, 1, 8>, Fn<8, 2, 8>}}    \
  }

#if defined(__x86_64__)
const mpaSynthL12Fn mpaSynthL12Table[2][2][3][5] = {MPA_L12_PATH(mpaSynthL12), MPA_L12_PATH(mpaSynthL12Avx2)};
const mpaSynthL3Fn mpaSynthL3Table[2][2][3][2] = {MPA_L3_PATH(mpaSynthL3), MPA_L3_PATH(mpaSynthL3Avx2)};
#else
const mpaSynthL12Fn mpaSynthL12Table[2][2][3][5] = {MPA_L12_PATH(mpaSynthL12), MPA_L12_PATH(mpaSynthL12)};
const mpaSynthL3Fn mpaSynthL3Table[2][2][3][2] = {MPA_L3_PATH(mpaSynthL3), MPA_L3_PATH(mpaSynthL3)};
#endif

#undef MPA_L12_ROW
#undef MPA_L12_PATH
#undef MPA_L3_PATH

int mpaSynthPathIndex(const mpaDecoder* dec) {
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2 && dec->synthPath != 1 ? 1 : 0;
#else
  (void)dec;
  return 0;
#endif
}

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
