// The polyphase synthesis: the fast DCTs, time slots against the standard's
// matrixing and window, the output conversions and the reduced rates.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "mpeg_support.h"
#include "sound/mpa_private.h"
#include "sound/mpa_synth.h"

using namespace mpeg_test;

namespace {

// A decoder whose synthesis is reset and nothing else prepared.
struct SynthDecoder : Decoder {
  SynthDecoder() { mpaSynthReset(get()); }
};

template <int N>
void checkDct(const mpaDecoder* dec, std::mt19937& rng) {
  std::uniform_real_distribution<float> value(-30000.0f, 30000.0f);
  for (int trial = 0; trial < 20; ++trial) {
    float x[N], X[N];
    for (float& v : x) v = value(rng);
    mpaDctPoints<N>(x, X, dec->dctCoef + mpa_synth::kCoefStart<N>);
    double expect[N], scale = 0;
    for (int m = 0; m < N; ++m) {
      expect[m] = 0;
      for (int k = 0; k < N; ++k) expect[m] += x[k] * std::cos((2 * k + 1) * m * M_PI / (2 * N));
      scale = std::fmax(scale, std::fabs(expect[m]));
    }
    for (int m = 0; m < N; ++m) EXPECT_NEAR(X[m], expect[m], 1e-5 * scale) << N << "-point, m " << m;
  }
}

TEST(MpegSynth, FastDctsEqualTheDirectSum) {
  SynthDecoder dec;
  std::mt19937 rng(1);
  checkDct<32>(dec.get(), rng);
  checkDct<16>(dec.get(), rng);
  checkDct<8>(dec.get(), rng);
}

// The synthesis of ISO/IEC 11172-3 as written: a 1024-value FIFO of the
// matrixing's 64 values, the 512-value vector U and the window D.
struct ReferenceSynth {
  std::vector<double> fifo = std::vector<double>(1024, 0.0);
  void slot(const float* x, double* out) {
    for (int i = 1023; i >= 64; --i) fifo[i] = fifo[i - 64];
    for (int i = 0; i < 64; ++i) {
      fifo[i] = 0;
      for (int k = 0; k < 32; ++k) fifo[i] += std::cos((16 + i) * (2 * k + 1) * M_PI / 64) * x[k];
    }
    double w[512];
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < 32; ++j) {
        w[i * 64 + j] = fifo[i * 128 + j] * mpaSynthD[i * 64 + j];
        w[i * 64 + 32 + j] = fifo[i * 128 + 96 + j] * mpaSynthD[i * 64 + 32 + j];
      }
    for (int j = 0; j < 32; ++j) {
      out[j] = 0;
      for (int i = 0; i < 16; ++i) out[j] += w[j + 32 * i];
    }
  }
};

// 36 time slots of random subband samples below subband `bands` through the
// layer III variant of N subbands, against the reference at every r-th value.
template <int N>
void checkSlots(int bands) {
  SynthDecoder dec;
  ReferenceSynth ref;
  std::mt19937 rng(N);
  std::uniform_real_distribution<float> value(-3000.0f, 3000.0f);
  float slots[36][32] = {};
  for (auto& s : slots)
    for (int k = 0; k < bands; ++k) s[k] = value(rng);
  int16_t out[36 * N];
  mpaSynthL3<N, 1, 16>(dec.get(), slots, reinterpret_cast<uint8_t*>(out), 0);
  mpaSynthL3<N, 1, 16>(dec.get(), slots + 18, reinterpret_cast<uint8_t*>(out + 18 * N), 0);
  int worst = 0;
  for (int t = 0; t < 36; ++t) {
    double full[32];
    ref.slot(slots[t], full);
    for (int j = 0; j < N; ++j) {
      int expect = int(full[j * (32 / N)]);  // truncated toward zero
      worst = std::max(worst, std::abs(out[t * N + j] - expect));
    }
  }
  EXPECT_LE(worst, 1) << N << " subbands";
}

TEST(MpegSynth, TimeSlotsEqualTheStandardSynthesis) {
  checkSlots<32>(32);
  checkSlots<16>(15);  // the reduced filter is the full one at every second value over the low band
  checkSlots<8>(8);
}

TEST(MpegSynth, Conversions) {
  struct Case { float v; int s16; int s8; };
  const Case cases[] = {
      {40000.0f, 32767, 0xFF}, {-40000.0f, -32768, 0x00}, {-0.7f, 0, 0x80},   {0.7f, 0, 0x80},
      {-256.0f, -256, 0x7F},   {255.0f, 255, 0x80},       {32767.9f, 32767, 0xFF}, {-32768.9f, -32768, 0x00},
      {-1.0f, -1, 0x7F},       {1e30f, 32767, 0xFF},      {-INFINITY, -32768, 0x00},
  };
  for (const Case& c : cases) {
    uint8_t b16[2], b8[1];
    mpaStoreValue<16>(b16, 0, c.v);
    mpaStoreValue<8>(b8, 0, c.v);
    EXPECT_EQ(int16_t(b16[0] | b16[1] << 8), c.s16) << c.v;
    EXPECT_EQ(b8[0], c.s8) << c.v;
  }
}

TEST(MpegSynth, SilentFramesGiveSilence) {
  Layer1Frame silent;  // every allocation 0
  silent.mode = 0;
  Bytes stream;
  for (int i = 0; i < 5; ++i) {
    Bytes f = encodeLayer1(silent);
    stream.insert(stream.end(), f.begin(), f.end());
  }
  for (int reduction = 0; reduction < 3; ++reduction) {
    Decoded d16 = decodeStream(stream, reduction, MPA_CONV_STEREO);
    Decoded d8 = decodeStream(stream, reduction, MPA_CONV_MIX | MPA_OUT_8BIT);
    ASSERT_EQ(d16.frames.size(), 5u);
    ASSERT_EQ(d8.pcm.size(), d16.pcm.size() / 4);
    for (uint8_t b : d16.pcm) ASSERT_EQ(b, 0);
    for (uint8_t b : d8.pcm) ASSERT_EQ(b, 0x80);
  }
}

// A tone in one subband (a sinusoid in the subband samples) through the
// single-channel layer I/II variants at full and half rate.
void synthTone(int subband, std::vector<int16_t>& full, std::vector<int16_t>& half) {
  SynthDecoder a, b;
  float rows[36][64] = {};
  for (int t = 0; t < 36; ++t) rows[t][subband] = 16000.0f * std::cos(0.9 * t + 0.3);
  full.assign(36 * 32, 0);
  half.assign(36 * 16, 0);
  mpaSynthL12<32, kMpaMono, 16>(a.get(), rows, reinterpret_cast<uint8_t*>(full.data()), 36);
  mpaSynthL12<16, kMpaMono, 16>(b.get(), rows, reinterpret_cast<uint8_t*>(half.data()), 36);
}

double rms(const std::vector<int16_t>& v, size_t from, size_t step) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = from; i < v.size(); i += step, ++n) sum += double(v[i]) * v[i];
  return std::sqrt(sum / double(n));
}

TEST(MpegSynth, HalfRateKeepsTheLowBand) {
  std::vector<int16_t> full, half;
  synthTone(4, full, half);
  // Half the rate, the same level: the full output's every second value.
  EXPECT_GT(rms(full, 0, 1), 2000.0);
  EXPECT_NEAR(rms(half, 0, 1), rms(full, 0, 2), rms(full, 0, 2) * 0.001);
  for (size_t j = 0; j < half.size(); ++j) ASSERT_NEAR(half[j], full[2 * j], 1) << j;
  synthTone(20, full, half);
  EXPECT_GT(rms(full, 0, 1), 2000.0);
  for (int16_t s : half) ASSERT_EQ(s, 0);
}

}  // namespace

namespace {

// The portable and the AVX2 synthesis give the same bytes, in every layout
// and width (the AVX2 path runs only where the processor has it).
TEST(MpegSynth, EveryPathGivesTheSameOutput) {
  const Bytes streams[] = {readFile(fixturePath("l2_44100_lr_d192.mp2")),
                           readFile(fixturePath("l2_24000_mono_m48.mp2")),
                           randomLayer1(0, 1, 1, 14, 6, 7),
                           readFile(fixturePath("l3_44100_clicksb128.mp3")),
                           readFile(fixturePath("l3_8000_lrb24ms.mp3"))};
  for (const Bytes& data : streams)
    for (int reduction = 0; reduction < 3; ++reduction)
      for (int options : {0, 1, 2, 3, 8, 9}) {
        Decoder portable, best;
        portable->synthPath = 1;
        Decoded a = decodeStream(portable.get(), data, reduction, options, 24000);
        Decoded b = decodeStream(best.get(), data, reduction, options, 24000);
        ASSERT_FALSE(a.pcm.empty());
        EXPECT_TRUE(a.pcm == b.pcm) << "reduction " << reduction << ", options " << options;
      }
}

}  // namespace
