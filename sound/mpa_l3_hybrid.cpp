// Layer III hybrid filter: the inverse MDCTs with their windows and the
// overlap of the previous granule, frequency inversion, and the transform
// variants that hand each granule to the synthesis.
//
// The filter runs on groups of 4 subbands (the portable code) or 8 (AVX2),
// one subband per vector lane; every lane does what the plain float code
// would, so both paths give the same bits. A channel's overlap is kept in its
// spectrum slot of the granule just transformed, time-slot-major like the
// output block ([18][32]), so that a group's overlap is one vector per slot.
// Every granule writes the overlap of all 32 subbands (0 beyond its extent).
#include <cmath>
#include <cstring>

#include "sound/mpa_l3_imdct.h"
#include "sound/mpa_l3_private.h"
#include "sound/mpa_private.h"
#include "sound/mpa_synth.h"

namespace mpa_l3 {

ImdctConstants::ImdctConstants() {
  for (int m = 0; m < 18; ++m) c72[m] = float(0.5 / std::cos((2 * m + 1) * M_PI / 72));
  for (int m = 0; m < 9; ++m) c36[m] = float(0.5 / std::cos((2 * m + 1) * M_PI / 36));
  for (int m = 0; m < 4; ++m)
    for (int p = 0; p < 9; ++p) f9[m][p] = float(std::cos(M_PI * p * (2 * m + 1) / 18));
  for (int m = 0; m < 6; ++m) c24[m] = float(0.5 / std::cos((2 * m + 1) * M_PI / 24));
  for (int m = 0; m < 3; ++m) c12[m] = float(0.5 / std::cos((2 * m + 1) * M_PI / 12));
  cos30 = float(std::cos(M_PI / 6));
}

const ImdctConstants kImdct;

}  // namespace mpa_l3

void mpaImdct18(float* x) { mpa_l3::dct4x18(x); }

void mpaImdct6(float* x) {
  float y[6];
  mpa_l3::dct4x6(x, 1, y);
  std::memcpy(x, y, sizeof y);
}

namespace {

// Vectors are moved through memory by reference: passing them by value
// would change with the processor's extensions.
template <class V>
[[gnu::always_inline]] inline void load(V& v, const float* p) {
  std::memcpy(&v, p, sizeof v);
}

template <class V>
[[gnu::always_inline]] inline void store(float* p, const V& v) {
  std::memcpy(p, &v, sizeof v);
}

// The lane masks of W floats.
template <int W>
struct MaskOf {
  typedef int32_t type __attribute__((vector_size(4 * W)));
};

// The hybrid filter of one channel, W subbands at a time. in: the granule's
// lines transposed ([k][sb]); prev: the last overlap ([i][sb]); ov: takes the
// new overlap; out: the output block. Subbands below longSb take the long
// transform, those up to allSb the three short ones, the rest the overlap
// alone.
template <int W>
[[gnu::always_inline]] inline void hybridLanes(const mpaL3State& L, const float* in, const float* prev, float* ov,
                                               float (*out)[32], int blockType, int longSb, int allSb) {
  using V = typename mpa_synth::VecOf<W>::type;
  using VI = typename MaskOf<W>::type;
  VI lane;
  for (int l = 0; l < W; ++l) lane[l] = l;
  const float* lw = L.window[blockType == 2 ? 0 : blockType];
  const float* sw = L.window[2];
  for (int sb0 = 0; sb0 < 32; sb0 += W) {
    V o[18], n[18];
    for (int i = 0; i < 18; ++i) {
      load(o[i], prev + 32 * i + sb0);
      n[i] = V{};
    }
    const VI sb = lane + sb0;
    if (sb0 < longSb) {
      V x[18];
      for (int k = 0; k < 18; ++k) load(x[k], in + 32 * k + sb0);
      mpa_l3::dct4x18(x);
      const VI take = sb < longSb;
      for (int i = 0; i < 9; ++i) o[i] = take ? x[9 + i] * lw[i] + o[i] : o[i];
      for (int i = 9; i < 18; ++i) o[i] = take ? x[26 - i] * lw[i] + o[i] : o[i];
      for (int i = 18; i < 27; ++i) n[i - 18] = take ? x[26 - i] * lw[i] : n[i - 18];
      for (int i = 27; i < 36; ++i) n[i - 18] = take ? x[i - 27] * lw[i] : n[i - 18];
    }
    if (sb0 + W > longSb && sb0 < allSb) {
      // Three 12-point blocks at offsets 6, 12 and 18 of the 36 values.
      V b[36];
      for (V& v : b) v = V{};
      for (int w = 0; w < 3; ++w) {
        V x[6], y[6];
        for (int k = 0; k < 6; ++k) load(x[k], in + 32 * (3 * k + w) + sb0);
        mpa_l3::dct4x6(x, 1, y);
        V* d = b + 6 + 6 * w;
        for (int i = 0; i < 3; ++i) d[i] += y[3 + i] * sw[i];
        for (int i = 3; i < 9; ++i) d[i] += y[8 - i] * sw[i];
        for (int i = 9; i < 12; ++i) d[i] += y[i - 9] * sw[i];
      }
      const VI take = (sb >= longSb) & (sb < allSb);
      for (int i = 0; i < 18; ++i) {
        o[i] = take ? b[i] + o[i] : o[i];
        n[i] = take ? b[18 + i] : n[i];
      }
    }
    for (int i = 0; i < 18; ++i) {
      store(out[i] + sb0, o[i]);
      store(ov + 32 * i + sb0, n[i]);
    }
  }
}

void hybridPortable(const mpaL3State& L, const float* in, const float* prev, float* ov, float (*out)[32],
                    int blockType, int longSb, int allSb) {
  hybridLanes<4>(L, in, prev, ov, out, blockType, longSb, allSb);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void hybridAvx2(const mpaL3State& L, const float* in, const float* prev, float* ov,
                                                float (*out)[32], int blockType, int longSb, int allSb) {
  hybridLanes<8>(L, in, prev, ov, out, blockType, longSb, allSb);
}
#endif

int subbandsOf(int lines) {
  int sb = (lines + 17) / 18;
  return sb < 0 ? 0 : sb > 32 ? 32 : sb;
}

}  // namespace

int mpaL3Hybrid(mpaDecoder* dec, float* cur, const float* prev, float (*out)[32], int blockType, int longLines,
                int allLines, int prevExtent) {
  mpaL3State& L = dec->l3;
  int longSb = subbandsOf(longLines), allSb = subbandsOf(allLines), prevSb = subbandsOf(prevExtent);
  if (allSb < longSb) allSb = longSb;
  // The lines, transposed, so that a vector holds one line of W subbands.
  float* in = L.scratch;
  for (int sb = 0; sb < allSb; ++sb)
    for (int k = 0; k < 18; ++k) in[32 * k + sb] = cur[18 * sb + k];
#if defined(__x86_64__)
  if (L.hybridPath == 1)
    hybridAvx2(L, in, prev, cur, out, blockType, longSb, allSb);
  else
#endif
    hybridPortable(L, in, prev, cur, out, blockType, longSb, allSb);
  int reached = allSb > prevSb ? allSb : prevSb;
  return 18 * reached;
}

int mpaL3HybridAdd(mpaDecoder* dec, float* cur, float* overlap, float (*out)[32], int blockType, int longLines,
                   int allLines) {
  static const float kNoOverlap[576] = {};
  mpaL3State& L = dec->l3;
  float (*own)[32] = L.outAdd;
  int extent = mpaL3Hybrid(dec, cur, kNoOverlap, own, blockType, longLines, allLines, 0);
  mpaL3SpectrumAdd(out[0], own[0], 576);
  mpaL3SpectrumAdd(overlap, cur, 576);
  return extent;
}

void mpaL3SpectrumAdd(float* dst, const float* src, int count) {
  for (int i = 0; i < count; ++i) dst[i] += src[i];
}

void mpaL3FreqInvert(float (*out)[32], int extent) {
  int sbs = subbandsOf(extent);
  for (int t = 1; t < 18; t += 2)
    for (int sb = 1; sb < sbs; sb += 2) out[t][sb] = -out[t][sb];
}

namespace {

// The lines the long transform takes and all lines of channel ch, both capped
// at the lines decoded.
void lineCounts(const mpaL3State& L, int ch, int gr, int& longLines, int& allLines) {
  const mpaL3Side& s = L.side[gr][ch];
  allLines = L.nonzero[ch][gr];
  if (s.blockType == 2)
    longLines = s.mixedBlock ? L.longEnd[L.mixedLongBands - 1] : 0;
  else
    longLines = allLines;
  if (allLines > L.huffLimit) allLines = L.huffLimit;
  if (longLines > L.huffLimit) longLines = L.huffLimit;
}

void transformChannel(mpaDecoder* dec, uint8_t* pcm, int gr, int ch, int synthCh) {
  mpaL3State& L = dec->l3;
  int longLines, allLines;
  lineCounts(L, ch, gr, longLines, allLines);
  int extent = mpaL3Hybrid(dec, L.spectrum[ch][gr], L.spectrum[ch][gr ^ 1], L.out, L.side[gr][ch].blockType,
                           longLines, allLines, L.nonzero[ch][gr ^ 1]);
  L.nonzero[ch][gr] = extent;
  mpaL3FreqInvert(L.out, extent);
  L.synth(dec, L.out, pcm, synthCh);
}

}  // namespace

void mpaL3TransformStereo(mpaDecoder* dec, uint8_t* pcm, int gr) {
  transformChannel(dec, pcm, gr, 0, 0);
  transformChannel(dec, pcm, gr, 1, 1);
}

void mpaL3TransformLeft(mpaDecoder* dec, uint8_t* pcm, int gr) { transformChannel(dec, pcm, gr, 0, 0); }

void mpaL3TransformRight(mpaDecoder* dec, uint8_t* pcm, int gr) { transformChannel(dec, pcm, gr, 1, 0); }

void mpaL3TransformMix(mpaDecoder* dec, uint8_t* pcm, int gr) {
  mpaL3State& L = dec->l3;
  const mpaL3Side &s0 = L.side[gr][0], &s1 = L.side[gr][1];
  int long0, all0, long1, all1;
  lineCounts(L, 0, gr, long0, all0);
  lineCounts(L, 1, gr, long1, all1);
  float* left = L.spectrum[0][gr];
  const float* prev = L.spectrum[0][gr ^ 1];
  int extent;
  if (s0.blockType == s1.blockType && !s0.mixedBlock && !s1.mixedBlock) {
    int n = all0 > all1 ? all0 : all1;
    mpaL3SpectrumAdd(left, L.spectrum[1][gr], n);
    extent = mpaL3Hybrid(dec, left, prev, L.out, s0.blockType, s0.blockType == 2 ? 0 : n, n, L.nonzero[0][gr ^ 1]);
  } else {
    // The sum's overlap and extent reach as far as either channel's.
    extent = mpaL3Hybrid(dec, left, prev, L.out, s0.blockType, long0, all0, L.nonzero[0][gr ^ 1]);
    int extent1 = mpaL3HybridAdd(dec, L.spectrum[1][gr], left, L.out, s1.blockType, long1, all1);
    if (extent1 > extent) extent = extent1;
  }
  L.nonzero[0][gr] = extent;
  mpaL3FreqInvert(L.out, extent);
  L.synth(dec, L.out, pcm, 0);
}
