// Layer III reconstruction up to the hybrid filter (mpa_l3_hybrid.cpp): the
// tables, dequantisation, mid/side and intensity stereo, alias reduction.
#include <cmath>
#include <cstring>

#include "sound/mpa_l3_private.h"
#include "sound/mpa_private.h"
#include "sound/mpa_synth.h"

namespace {

constexpr int kPretab[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

// v^(4/3) with v's sign, times factor: a table for |v| < 32 (whose entry for
// 0 is 0), pow above.
inline float dequantValue(const mpaL3State& L, int v, float factor) {
  if (unsigned(v + 32) < 64u) return factor * L.pow43[v + 32];
  float a = std::pow(float(v < 0 ? -v : v), 0.3333333432674408f) * float(v);
  return factor * a;
}

}  // namespace

void mpaL3TableInit(mpaDecoder* dec) {
  mpaL3State& L = dec->l3;
  for (int i = 0; i < 262; ++i) L.gainPow[i] = float(std::pow(2.0, (i - 156) * 0.25));
  for (int s = 0; s < 2; ++s)
    for (int p = 0; p < 4; ++p)
      for (int k = 0; k < 32; ++k) L.sfPow[s][p][k] = float(std::pow(2.0, -0.5 * (s + 1) * (k + p)));
  for (int v = -32; v < 32; ++v) L.pow43[v + 32] = float(std::pow(std::fabs(double(v)), 0.3333333333333333) * v);
  for (int j = 0; j < 8; ++j) L.subblockGain[j] = float(std::pow(2.0, -2.0 * j));
  static constexpr double kC[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
  for (int i = 0; i < 8; ++i) {
    double d = std::sqrt(kC[i] * kC[i] + 1);
    L.alias[i][0] = float(1 / d);
    L.alias[i][1] = float(kC[i] / d);
  }
  for (int p = 0; p < 7; ++p) {
    double a = p * M_PI / 12, sn = std::sin(a), cs = std::cos(a);
    L.isRatio[0][p][0] = float(sn / (sn + cs));
    L.isRatio[0][p][1] = float(cs / (sn + cs));
    L.isRatio[1][p][0] = float(sn / (sn + cs) * 1.4142135623730950488);
    L.isRatio[1][p][1] = float(cs / (sn + cs) * 1.4142135623730950488);
  }
  L.isRatio[0][7][0] = 1, L.isRatio[0][7][1] = 0;
  L.isRatio[1][7][0] = 1, L.isRatio[1][7][1] = 1;
  for (int scale = 0; scale < 2; ++scale)
    for (int ms = 0; ms < 2; ++ms) {
      double io = std::pow(2.0, -(scale + 1) / 4.0), f = ms ? 1.4142135 : 1.0;
      for (int slen = 0; slen < 6; ++slen) {
        int base = (1 << slen) - 1;
        for (int p = 0; p < (1 << slen); ++p) {
          float* e = L.isLsf[scale][ms][base + p];
          if (p == (1 << slen) - 1) {
            e[0] = 1, e[1] = ms ? 1 : 0;
          } else if (p == 0) {
            e[0] = e[1] = float(f);
          } else if (p & 1) {
            e[0] = float(std::pow(io, (p + 1) / 2) * f), e[1] = float(f);
          } else {
            e[0] = float(f), e[1] = float(std::pow(io, p / 2) * f);
          }
        }
      }
    }
  // The windows by block type, with the signs of the transforms' outputs
  // (mpa_l3_imdct.h): entries 9 to 35 of the long ones and 3 to 11 of the
  // short one negated.
  for (int i = 0; i < 36; ++i) {
    double longW = std::sin(M_PI / 36 * (i + 0.5));
    double sign = i < 9 ? 1.0 : -1.0;
    L.window[0][i] = float(sign * longW);
    L.window[1][i] = float(sign * (i < 18 ? longW : i < 24 ? 1.0 : i < 30 ? std::sin(M_PI / 12 * (i - 18 + 0.5)) : 0.0));
    L.window[3][i] = float(sign * (i < 6 ? 0.0 : i < 12 ? std::sin(M_PI / 12 * (i - 6 + 0.5)) : i < 18 ? 1.0 : longW));
    L.window[2][i] = float(i < 3 ? std::sin(M_PI / 12 * (i + 0.5)) : i < 12 ? -std::sin(M_PI / 12 * (i + 0.5)) : 0.0);
  }
}

int mpaL3Dequant(mpaDecoder* dec, float* lines, const int32_t* q, int count, const int32_t* scale,
                 const mpaL3Side& side, mpaL3BandInfo& info) {
  const mpaL3State& L = dec->l3;
  int g = side.globalGain + 6;
  g = g < 0 ? 0 : g > 261 ? 261 : g;
  const float G = L.gainPow[g];
  const int s = side.scalefacScale;
  if (side.blockType == 2) {
    info.longBands = side.mixedBlock ? L.mixedLongBands : 0;
    info.firstShort = side.mixedBlock ? 3 : 0;
  } else {
    info.longBands = 22;
    info.firstShort = 12;
  }
  info.lastKind = 0;
  info.lastBand = 0;
  for (int& w : info.lastShort) w = info.firstShort;
  int line = 0;
  for (int b = 0; b < info.longBands && line < count; ++b) {
    int pre = side.preflag ? kPretab[b] : 0;
    int sf = scale[b] < 32 ? scale[b] : 31;
    float factor = G * L.sfPow[s][pre][sf];
    int end = L.longEnd[b];
    int stop = end < count ? end : count;
    int any = 0;
    for (int i = line; i < stop; ++i) {
      int v = q[i];
      any |= v;
      lines[i] = dequantValue(L, v, factor);
    }
    for (int i = stop; i < end; ++i) lines[i] = 0.0f;
    if (any) info.lastBand = b;
    line = end;
  }
  if (info.longBands < 22) {
    // Short bands: window w of band b is written at 3 j + w of the scratch.
    int regionStart = line;
    int j = 0;
    float* scratch = dec->l3.scratch;
    for (int b = info.firstShort; b < 13 && line < count; ++b) {
      int width = L.shortWidth[b];
      for (int w = 0; w < 3; ++w, line += width) {
        int sf = scale[kMpaL3ShortBase + w * 13 + b];
        sf = sf < 32 ? sf : 31;
        float factor = G * L.subblockGain[side.subblockGain[w] & 7] * L.sfPow[s][0][sf];
        int coded = count - line < width ? count - line : width;
        float* dst = scratch + 3 * j + w;
        int any = 0;
        for (int k = 0; k < coded; ++k) {
          int v = q[line + k];
          any |= v;
          dst[3 * k] = dequantValue(L, v, factor);
        }
        for (int k = coded < 0 ? 0 : coded; k < width; ++k) dst[3 * k] = 0.0f;
        if (any) info.lastShort[w] = b;
      }
      j += width;
    }
    std::memcpy(lines + regionStart, scratch, size_t(3 * j) * sizeof(float));
    line = regionStart + 3 * j;
    info.lastKind = 1;
    info.lastBand = info.lastShort[0];
    for (int w = 1; w < 3; ++w)
      if (info.lastShort[w] > info.lastBand) info.lastBand = info.lastShort[w];
  }
  for (int i = line; i < 576; ++i) lines[i] = 0.0f;
  return line;
}

void mpaL3StereoMs(float* lines, int count) {
  float* right = lines + 1152;
  for (int i = 0; i < count; ++i) {
    float m = lines[i], s = right[i];
    lines[i] = m + s;
    right[i] = m - s;
  }
}

namespace {

// Lines [from, to) of the left channel (right 1152 values on) with every
// `step`-th line from `from`, split by the pair k: R = L kR, L = L kL.
void isSplit(float* lines, int from, int to, int step, const float* k) {
  float* right = lines + 1152;
  for (int i = from; i < to; i += step) {
    float v = lines[i];
    right[i] = v * k[1];
    lines[i] = v * k[0];
  }
}

}  // namespace

void mpaL3StereoIs(mpaDecoder* dec, float* lines, const int32_t* scaleRight, const mpaL3BandInfo& right,
                   int nonzeroLeft, int ms) {
  const mpaL3State& L = dec->l3;
  const float(*ratio)[2] = L.isRatio[ms ? 1 : 0];
  if (right.lastKind == 0) {
    for (int b = right.lastBand + 1; b <= 20; ++b) {
      int from = b ? L.longEnd[b - 1] : 0, to = L.longEnd[b];
      if (from >= nonzeroLeft) break;
      int p = scaleRight[b] < 7 ? scaleRight[b] : 7;
      isSplit(lines, from, to < nonzeroLeft ? to : nonzeroLeft, 1, ratio[p]);
    }
    return;
  }
  // Short bands: one start for the three windows, each with its own position.
  for (int b = right.lastBand + 1; b <= 11; ++b) {
    int from = b ? L.shortEnd3[b - 1] : 0, to = L.shortEnd3[b];
    if (from >= nonzeroLeft) break;
    if (to > nonzeroLeft) to = nonzeroLeft;
    for (int w = 0; w < 3; ++w) {
      int p = scaleRight[kMpaL3ShortBase + w * 13 + b];
      isSplit(lines, from + w, to, 3, ratio[p < 7 ? p : 7]);
    }
  }
}

void mpaL3StereoIsLsf(mpaDecoder* dec, float* lines, const int32_t* scaleRight, const mpaL3BandInfo* bandInfo,
                      const int32_t* isInfo, int nonzeroLeft, int ms) {
  const mpaL3State& L = dec->l3;
  const float(*table)[2] = L.isLsf[isInfo[6] & 1][ms ? 1 : 0];
  const mpaL3BandInfo &left = bandInfo[0], &right = bandInfo[1];
  // The slen of each band: the part its scale factor was read in. A mixed
  // block's first part is its six long bands, its short bands count from
  // band 3 with the second part.
  int slen[22] = {};
  bool shortBands = right.lastKind != 0;
  int band = shortBands && right.firstShort == 3 ? 3 : 0;
  for (int part = shortBands && band == 3 ? 1 : 0; part < 3; ++part)
    for (int n = 0; n < isInfo[part] && band < 22; ++n) slen[band++] = isInfo[3 + part];
  // The entry of band b: sub-table slen, the right channel's scale factor in
  // it (the last position, 2^slen - 1, is the illegal one).
  auto entry = [&](int b, int sf) {
    int size = 1 << slen[b];
    return table[size - 1 + (sf < size ? sf : size - 1)];
  };
  if (!shortBands) {
    for (int b = right.lastBand + 1; b <= 20; ++b) {
      int from = b ? L.longEnd[b - 1] : 0, to = L.longEnd[b];
      if (from >= nonzeroLeft) break;
      isSplit(lines, from, to < nonzeroLeft ? to : nonzeroLeft, 1, entry(b, scaleRight[b]));
    }
    return;
  }
  for (int w = 0; w < 3; ++w)
    for (int b = right.lastShort[w] + 1; b <= left.lastShort[w] && b <= 11; ++b) {
      int from = b ? L.shortEnd3[b - 1] : 0, to = L.shortEnd3[b];
      isSplit(lines, from + w, to, 3, entry(b, scaleRight[kMpaL3ShortBase + w * 13 + b]));
    }
}

void mpaL3Stereo(mpaDecoder* dec, int gr) {
  mpaL3State& L = dec->l3;
  if (L.channels != 2 || L.modeExt == 0) return;
  float* lines = L.spectrum[0][gr];
  int nz0 = L.nonzero[0][gr], nz1 = L.nonzero[1][gr];
  const mpaL3BandInfo& right = L.bandInfo[gr][1];
  if (L.msStereo) {
    int count = nz0 > nz1 ? nz0 : nz1;
    if (L.intensityStereo) count = right.lastKind == 0 ? L.longEnd[right.lastBand] : L.shortEnd3[right.lastBand];
    mpaL3StereoMs(lines, count);
  }
  if (L.intensityStereo) {
    if (L.id)
      mpaL3StereoIs(dec, lines, L.scale[gr][1], right, nz0, L.msStereo);
    else
      mpaL3StereoIsLsf(dec, lines, L.scale[gr][1], L.bandInfo[gr], L.isInfo, nz0, L.msStereo);
  }
  int larger = nz0 > nz1 ? nz0 : nz1;
  L.nonzero[0][gr] = L.nonzero[1][gr] = larger;
}

void mpaL3Antialias(mpaDecoder* dec, int ch, int gr) {
  mpaL3State& L = dec->l3;
  const mpaL3BandInfo& info = L.bandInfo[gr][ch];
  if (info.longBands == 0) return;
  int boundaries = info.longBands < 22 ? 1 : (L.nonzero[ch][gr] + 7) / 18;
  if (boundaries > 31) boundaries = 31;
  float* x = L.spectrum[ch][gr];
  for (int sb = 0; sb < boundaries; ++sb)
    for (int k = 0; k < 8; ++k) {
      float& a = x[18 * sb + 17 - k];
      float& b = x[18 * (sb + 1) + k];
      float cs = L.alias[k][0], ca = L.alias[k][1];
      float na = a * cs - b * ca, nb = b * cs + a * ca;
      a = na;
      b = nb;
    }
  int reach = 18 * boundaries + 8;
  if (L.nonzero[ch][gr] < reach) L.nonzero[ch][gr] = reach;
}
