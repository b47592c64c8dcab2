// Polyphase synthesis of the MPEG audio decoder.
//
// Per time slot and channel the N subband samples (N = 32, or 16 and 8 at
// output reduction 1 and 2) go through a fast DCT; its N values, expanded to
// the 2N values of the standard's matrixing V[i] = sum x[k] cos((N/2 + i)
// (2k + 1) pi / 2N), fill one slot of the channel's ring of 16 slots. The
// window then forms each output value j as the 16-tap sum of ring values of
// the slots 0 to 15 back weighted with the window coefficients D[r j + 32 t]
// (r = 32 / N), so a reduced synthesis is the full one taken at every r-th
// output value over the low band. The input samples carry the factor 32768,
// so the output is in 16-bit units.
//
// Every variant is one instance of mpaSynth<N, Layout, Bits>; mpa_synth.cpp
// holds the table of which instance serves which stream.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "sound/mpa.h"

// The window coefficients D[0..511] of the standard's synthesis window, and
// the same taken per tap t and output value j for N subbands: [t * N + j] =
// D[(32 / N) j + 32 t].
extern const std::array<float, 512> mpaSynthD;
extern const std::array<float, 16 * 32> mpaSynthWin32;
extern const std::array<float, 16 * 16> mpaSynthWin16;
extern const std::array<float, 16 * 8> mpaSynthWin8;

// Channel layouts: the five of layers I and II (input rows of 64 entries, one
// ring position for both channels), then layer III's one and two output
// channels (input slots of 32 subbands of one channel, a position per
// channel).
enum mpaLayout { kMpaMono, kMpaStereo, kMpaMix, kMpaLeft, kMpaRight, kMpaL3One, kMpaL3Two };

namespace mpa_synth {

template <int N>
inline const float* window() {
  if constexpr (N == 32) return mpaSynthWin32.data();
  else if constexpr (N == 16) return mpaSynthWin16.data();
  else return mpaSynthWin8.data();
}

// First transform coefficient of the N-point DCT in mpaDecoder::dctCoef.
template <int N>
constexpr int kCoefStart = N == 32 ? 0 : N == 16 ? 16 : N == 8 ? 24 : N == 4 ? 28 : 30;

}  // namespace mpa_synth

// The DCT is generic over its value type T: a float, or (layer III) a vector
// of floats holding one time slot per lane, each lane doing what the float
// code does.

// One stage of the fast DCT: sums and weighted differences of the mirrored
// halves.
template <int N, class T>
[[gnu::always_inline]] inline void mpaDctButterfly(const T* x, T* a, T* b, const float* coef) {
  for (int i = 0; i < N / 2; ++i) {
    a[i] = x[i] + x[N - 1 - i];
    b[i] = (x[i] - x[N - 1 - i]) * coef[i];
  }
}

// Folds the two half transforms back: even outputs from the sums, odd outputs
// the sum of two neighbouring difference results, the last one copied.
template <int N, class T>
[[gnu::always_inline]] inline void mpaDctRecombine(const T* a, const T* b, T* out) {
  for (int m = 0; m < N / 2; ++m) {
    out[2 * m] = a[m];
    out[2 * m + 1] = m + 1 < N / 2 ? b[m] + b[m + 1] : b[m];
  }
}

// X[m] = sum over k of x[k] cos((2k + 1) m pi / 2N), m = 0 .. N-1 (Lee's
// factorisation; coef is the coefficient group of N).
template <int N, class T>
[[gnu::always_inline]] inline void mpaDctPoints(const T* x, T* out, const float* coef) {
  if constexpr (N == 1) {
    out[0] = x[0];
  } else {
    constexpr int H = N / 2;
    T a[H], b[H], ta[H], tb[H];
    mpaDctButterfly<N>(x, a, b, coef);
    mpaDctPoints<H>(a, ta, coef + H);
    mpaDctPoints<H>(b, tb, coef + H);
    mpaDctRecombine<N>(ta, tb, out);
  }
}

// The 2N values of a ring slot from the N transform outputs X[m], read as
// X[m * stride].
template <int N>
[[gnu::always_inline]] inline void mpaDctExpand(const float* X, int stride, float* slot) {
  constexpr int H = N / 2;
  for (int i = 0; i < H; ++i) slot[i] = X[(H + i) * stride];
  slot[H] = 0.0f;
  for (int i = H + 1; i < 3 * H; ++i) slot[i] = -X[(3 * H - i) * stride];
  for (int i = 3 * H; i < 2 * N; ++i) slot[i] = -X[(i - 3 * H) * stride];
}

// The N-point transform of N consecutive subband samples into the ring slot
// `slot` (2N values). gain: the equaliser's subband weights, or null.
template <int N>
inline void mpaDct(const mpaDecoder* dec, const float* x, float* slot, const float* gain) {
  float in[N], X[N];
  for (int k = 0; k < N; ++k) in[k] = gain ? x[k] * gain[k] : x[k];
  mpaDctPoints<N>(in, X, dec->dctCoef + mpa_synth::kCoefStart<N>);
  mpaDctExpand<N>(X, 1, slot);
}

// One channel of an interleaved row of 64 entries (entry 2 sb + ch).
template <int N>
inline void mpaDctDual(const mpaDecoder* dec, const float* row, int ch, float* slot) {
  float x[N];
  for (int k = 0; k < N; ++k) x[k] = row[2 * k + ch];
  mpaDct<N>(dec, x, slot, nullptr);
}

// The average of both channels of an interleaved row.
template <int N>
inline void mpaDctMix(const mpaDecoder* dec, const float* row, float* slot) {
  float x[N];
  for (int k = 0; k < N; ++k) x[k] = (row[2 * k] + row[2 * k + 1]) * 0.5f;
  mpaDct<N>(dec, x, slot, nullptr);
}

// Clipped in float, then truncated toward zero. (The values are always
// finite: every factor of the decoder is.)
inline int mpaClip16(float v) {
  v = v < -32768.0f ? -32768.0f : v;
  v = v > 32767.0f ? 32767.0f : v;
  return int(v);
}

template <int Bits>
inline void mpaStoreValue(uint8_t* out, int index, float v) {
  int s = mpaClip16(v);
  if constexpr (Bits == 16) {
    int16_t s16 = int16_t(s);
    std::memcpy(out + 2 * index, &s16, 2);
  } else {
    out[index] = uint8_t((s >> 8) ^ 0x80);
  }
}

// n values converted and stored one after the other.
template <int Bits>
inline void mpaStoreValues(uint8_t* out, const float* v, int n) {
  if constexpr (Bits == 16) {
    int16_t s[64];
    for (int j = 0; j < n; ++j) s[j] = int16_t(mpaClip16(v[j]));
    std::memcpy(out, s, size_t(n) * 2);
  } else {
    for (int j = 0; j < n; ++j) out[j] = uint8_t((mpaClip16(v[j]) >> 8) ^ 0x80);
  }
}

// Four or eight floats as one value: the window runs on N / Width of them at
// a time. Each lane does what the plain loop would, multiply then add, so
// every width gives the same bits.
typedef float mpaVec4 __attribute__((vector_size(16), may_alias));
typedef float mpaVec8 __attribute__((vector_size(32), may_alias));

namespace mpa_synth {
template <int Width>
struct VecOf;
template <>
struct VecOf<4> {
  using type = mpaVec4;
};
template <>
struct VecOf<8> {
  using type = mpaVec8;
};
}  // namespace mpa_synth

// The N window sums of one channel from its ring at position pos (the ring
// and the window tables are 32-byte aligned, every slot 2N floats).
template <int N, int Width>
[[gnu::always_inline]] inline void mpaWindowSums(const float* ring, int pos, float* sums) {
  using Vec = typename mpa_synth::VecOf<(Width < N ? Width : N)>::type;
  constexpr int kSlot = 2 * N, kMask = 32 * N - 1, V = N * 4 / int(sizeof(Vec));
  const Vec* w = reinterpret_cast<const Vec*>(mpa_synth::window<N>());
  const Vec* v = reinterpret_cast<const Vec*>(ring + pos);
  Vec acc[V];
  for (int k = 0; k < V; ++k) acc[k] = w[k] * v[k];
  for (int t = 1; t < 16; ++t) {
    w += V;
    v = reinterpret_cast<const Vec*>(ring + ((pos + t * kSlot) & kMask) + ((t & 1) ? N : 0));
    for (int k = 0; k < V; ++k) acc[k] += w[k] * v[k];
  }
  std::memcpy(sums, acc, sizeof acc);
}

// N output values of one channel, written every Stride-th value.
template <int N, int Stride, int Bits, int Width>
[[gnu::always_inline]] inline void mpaWindow(const float* ring, int pos, uint8_t* out) {
  float acc[N];
  mpaWindowSums<N, Width>(ring, pos, acc);
  if constexpr (Stride == 1)
    mpaStoreValues<Bits>(out, acc, N);
  else
    for (int j = 0; j < N; ++j) mpaStoreValue<Bits>(out, j * Stride, acc[j]);
}

// Both channels' N output values, interleaved.
template <int N, int Bits, int Width>
[[gnu::always_inline]] inline void mpaWindowPair(const float* ring0, const float* ring1, int pos,
                                                 uint8_t* out) {
  float acc[2][N], mixed[2 * N];
  mpaWindowSums<N, Width>(ring0, pos, acc[0]);
  mpaWindowSums<N, Width>(ring1, pos, acc[1]);
  for (int j = 0; j < N; ++j) {
    mixed[2 * j] = acc[0][j];
    mixed[2 * j + 1] = acc[1][j];
  }
  mpaStoreValues<Bits>(out, mixed, 2 * N);
}

// `count` time slots through the synthesis. Layers I and II: in is `count`
// rows of 64 entries, ch unused. Layer III: in is the channel's slots of 32
// subbands and ch the channel. Width: floats per step of the window.
template <int N, int Layout, int Bits, int Width>
[[gnu::always_inline]] inline void mpaSynth(mpaDecoder* dec, const float* in, uint8_t* out, int count,
                                            int ch) {
  constexpr bool kL3 = Layout == kMpaL3One || Layout == kMpaL3Two;
  constexpr int kInStride = kL3 ? 32 : 64;
  constexpr int kOutChannels = (Layout == kMpaStereo || Layout == kMpaL3Two) ? 2 : 1;
  constexpr int kBytes = Bits / 8;
  constexpr int kOutStep = N * kOutChannels * kBytes;
  constexpr int kSlot = 2 * N, kMask = 32 * N - 1;
  const float* gain = N == 32 && dec->eq && dec->eq->enable ? dec->eq->gain : nullptr;
  int& pos = (kL3 && ch == 1) ? dec->synthPos1 : dec->synthPos;
  float* ring0 = dec->synthRing[kL3 ? ch : 0];
  float* ring1 = dec->synthRing[1];
  if constexpr (kL3) {
    // The transforms of Width time slots at a time, one per vector lane.
    using Vec = typename mpa_synth::VecOf<Width>::type;
    for (int r0 = 0; r0 < count; r0 += Width) {
      const int lanes = count - r0 < Width ? count - r0 : Width;
      alignas(32) float xs[N][Width], Xs[N][Width];
      for (int l = 0; l < Width; ++l)
        for (int k = 0; k < N; ++k) xs[k][l] = l < lanes ? in[(r0 + l) * kInStride + k] : 0.0f;
      Vec x[N], X[N];
      for (int k = 0; k < N; ++k) {
        std::memcpy(&x[k], xs[k], sizeof(Vec));
        if (gain) x[k] = x[k] * gain[k];
      }
      mpaDctPoints<N>(x, X, dec->dctCoef + mpa_synth::kCoefStart<N>);
      std::memcpy(Xs, X, sizeof Xs);
      for (int l = 0; l < lanes; ++l, out += kOutStep) {
        mpaDctExpand<N>(&Xs[0][l], Width, ring0 + pos);
        if constexpr (Layout == kMpaL3Two)
          mpaWindow<N, 2, Bits, Width>(ring0, pos, out + ch * kBytes);
        else
          mpaWindow<N, 1, Bits, Width>(ring0, pos, out);
        pos = (pos - kSlot) & kMask;
      }
    }
    return;
  }
  for (int r = 0; r < count; ++r, in += kInStride, out += kOutStep) {
    if constexpr (Layout == kMpaStereo) {
      mpaDctDual<N>(dec, in, 0, ring0 + pos);
      mpaDctDual<N>(dec, in, 1, ring1 + pos);
      mpaWindowPair<N, Bits, Width>(ring0, ring1, pos, out);
    } else {
      if constexpr (Layout == kMpaMono) mpaDct<N>(dec, in, ring0 + pos, gain);
      else if constexpr (Layout == kMpaMix) mpaDctMix<N>(dec, in, ring0 + pos);
      else mpaDctDual<N>(dec, in, Layout == kMpaRight ? 1 : 0, ring0 + pos);
      mpaWindow<N, 1, Bits, Width>(ring0, pos, out);
    }
    pos = (pos - kSlot) & kMask;
  }
}

// The entry points the decoder stores: the portable ones (SSE2 on x86-64) and
// the same code compiled for AVX2, which the decoder takes when the processor
// has it.
template <int N, int Layout, int Bits>
void mpaSynthL12(mpaDecoder* dec, const float (*rows)[64], uint8_t* out, int count) {
  mpaSynth<N, Layout, Bits, 4>(dec, rows[0], out, count, 0);
}

template <int N, int Channels, int Bits>
void mpaSynthL3(mpaDecoder* dec, const float (*slots)[32], uint8_t* out, int ch) {
  mpaSynth<N, Channels == 1 ? kMpaL3One : kMpaL3Two, Bits, 4>(dec, slots[0], out, 18, ch);
}

#if defined(__x86_64__)
template <int N, int Layout, int Bits>
__attribute__((target("avx2"))) void mpaSynthL12Avx2(mpaDecoder* dec, const float (*rows)[64],
                                                    uint8_t* out, int count) {
  mpaSynth<N, Layout, Bits, 8>(dec, rows[0], out, count, 0);
}

template <int N, int Channels, int Bits>
__attribute__((target("avx2"))) void mpaSynthL3Avx2(mpaDecoder* dec, const float (*slots)[32],
                                                   uint8_t* out, int ch) {
  mpaSynth<N, Channels == 1 ? kMpaL3One : kMpaL3Two, Bits, 8>(dec, slots[0], out, 18, ch);
}
#endif

using mpaSynthL3Fn = void (*)(mpaDecoder* dec, const float (*slots)[32], uint8_t* out, int ch);
// [path: portable, AVX2][8-bit][reduction][layout or output channels - 1].
extern const mpaSynthL3Fn mpaSynthL3Table[2][2][3][2];
