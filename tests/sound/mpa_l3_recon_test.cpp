// Layer III reconstruction units: the inverse MDCTs with their windows, the
// overlap of the hybrid filter, mid/side and both intensity stereos, the
// alias reduction of a mixed block, and decoders that share nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "mpeg_support.h"
#include "sound/mpa_l3_private.h"

using namespace mpeg_test;

namespace {

// A decoder prepared for a layer III stream of the header FF b1 b2 b3.
void prepare(Decoder& dec, uint8_t b1, uint8_t b2, uint8_t b3) {
  const uint8_t head[4] = {0xFF, b1, b2, b3};
  mpaHeader hdr{};
  int size = mpaParseHeader(head, 4, &hdr);
  ASSERT_EQ(mpaDecodeInit(dec.get(), &hdr, size, 0, 0, 0, 24000), 1);
}

// The windows by block type without the stored signs.
double window(int type, int i) {
  double l = std::sin(M_PI / 36 * (i + 0.5));
  switch (type) {
    case 1: return i < 18 ? l : i < 24 ? 1 : i < 30 ? std::sin(M_PI / 12 * (i - 18 + 0.5)) : 0;
    case 3: return i < 6 ? 0 : i < 12 ? std::sin(M_PI / 12 * (i - 6 + 0.5)) : i < 18 ? 1 : l;
    case 2: return i < 12 ? std::sin(M_PI / 12 * (i + 0.5)) : 0;
    default: return l;
  }
}

// The 18 values left by mpaImdct18 (6 by mpaImdct6) times the stored window
// give the windowed transform of the standard at every one of the 36 (12)
// outputs.
TEST(MpegL3Recon, InverseMdctsWithTheirWindows) {
  Decoder dec;
  prepare(dec, 0xFB, 0x90, 0x00);
  std::mt19937 rng(2);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  for (int round = 0; round < 20; ++round) {
    float X[18], y[18];
    for (int k = 0; k < 18; ++k) X[k] = y[k] = value(rng);
    mpaImdct18(y);
    for (int type : {0, 1, 3}) {
      for (int i = 0; i < 36; ++i) {
        double direct = 0;
        for (int k = 0; k < 18; ++k) direct += X[k] * std::cos(M_PI / 72 * (2 * i + 19) * (2 * k + 1));
        direct *= window(type, i);
        float v = i < 9 ? y[9 + i] : i < 27 ? y[26 - i] : y[i - 27];
        double ours = double(v) * dec->l3.window[type][i];
        ASSERT_NEAR(ours, direct, 1e-5 * 18000) << "type " << type << " output " << i;
      }
    }
    float S[6], z[6];
    for (int k = 0; k < 6; ++k) S[k] = z[k] = value(rng);
    mpaImdct6(z);
    for (int i = 0; i < 12; ++i) {
      double direct = 0;
      for (int k = 0; k < 6; ++k) direct += S[k] * std::cos(M_PI / 24 * (2 * i + 7) * (2 * k + 1));
      direct *= window(2, i);
      float v = i < 3 ? z[3 + i] : i < 9 ? z[8 - i] : z[i - 9];
      ASSERT_NEAR(double(v) * dec->l3.window[2][i], direct, 1e-5 * 6000) << "output " << i;
    }
  }
}

// A granule of zeros gives the last overlap alone and leaves an overlap of 0,
// so the granule after it is silent, on both code paths.
TEST(MpegL3Recon, AZeroGranuleGivesTheOverlapThenNothing) {
  for (int path : {1, 0}) {
    SCOPED_TRACE(path);
    Decoder dec;
    dec->synthPath = path;
    prepare(dec, 0xFB, 0x90, 0x00);
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    std::vector<float> a(576), b(576, 0.0f), c(576, 0.0f);
    for (float& v : a) v = value(rng);
    float out[18][32];
    const std::vector<float> none(576, 0.0f);
    int extent = mpaL3Hybrid(dec.get(), a.data(), none.data(), out, 0, 558, 558, 0);
    EXPECT_EQ(extent, 558);
    const std::vector<float> overlap = a;  // time slot-major, [18][32]
    extent = mpaL3Hybrid(dec.get(), b.data(), a.data(), out, 0, 0, 0, extent);
    EXPECT_EQ(extent, 558);
    for (int i = 0; i < 18; ++i)
      for (int sb = 0; sb < 32; ++sb) ASSERT_EQ(out[i][sb], overlap[size_t(32 * i + sb)]) << i << " " << sb;
    for (float v : b) ASSERT_EQ(v, 0.0f);
    mpaL3Hybrid(dec.get(), c.data(), b.data(), out, 0, 0, 0, extent);
    for (int i = 0; i < 18; ++i)
      for (int sb = 0; sb < 32; ++sb) ASSERT_EQ(out[i][sb], 0.0f);
  }
}

TEST(MpegL3Recon, MidSideOfEqualLinesLeavesTheRightSilent) {
  std::vector<float> lines(2304, 0.0f);
  for (int i = 0; i < 100; ++i) lines[size_t(i)] = lines[size_t(1152 + i)] = float(i) - 40.0f;
  mpaL3StereoMs(lines.data(), 100);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(lines[size_t(i)], 2.0f * (float(i) - 40.0f));
    EXPECT_EQ(lines[size_t(1152 + i)], 0.0f);
  }
}

// MPEG-1 intensity from band 1 (the right channel all zero): position 0
// sends everything right, position 6 everything left, long and short.
TEST(MpegL3Recon, Mpeg1IntensityPositions) {
  Decoder dec;
  prepare(dec, 0xFB, 0x90, 0x40);
  const int nonzero = 300;
  for (int kind = 0; kind < 2; ++kind)
    for (int position : {0, 6}) {
      SCOPED_TRACE(kind);
      SCOPED_TRACE(position);
      std::vector<float> lines(2304, 0.0f);
      for (int i = 0; i < nonzero; ++i) lines[size_t(i)] = 1.0f + float(i % 7);
      const std::vector<float> left(lines.begin(), lines.begin() + nonzero);
      int32_t scale[62] = {};
      for (int32_t& s : scale) s = position;
      mpaL3BandInfo right{kind, kind ? 0 : 0, kind ? 0 : 12, kind ? 0 : 22, {0, 0, 0}};
      mpaL3StereoIs(dec.get(), lines.data(), scale, right, nonzero, 0);
      const int start = kind ? 3 * 4 : 4;  // band 1 at 44.1 kHz
      for (int i = 0; i < nonzero; ++i) {
        float l = lines[size_t(i)], r = lines[size_t(1152 + i)];
        if (i < start) {
          ASSERT_EQ(l, left[size_t(i)]);
          ASSERT_EQ(r, 0.0f);
        } else if (position == 0) {
          ASSERT_EQ(l, 0.0f) << i;
          ASSERT_FLOAT_EQ(r, left[size_t(i)]) << i;
        } else {
          ASSERT_FLOAT_EQ(l, left[size_t(i)]) << i;
          ASSERT_NEAR(r, 0.0f, 1e-6 * left[size_t(i)]) << i;
        }
      }
    }
}

// MPEG-2 intensity, long bands: the first part's bands take slen 2, where
// position 1 gives (io, 1) and position 3 is the illegal one; bands after
// the parts have slen 0, whose one entry is the illegal position: left as
// coded (the right stays 0), also with mid/side on (then right = left).
TEST(MpegL3Recon, Mpeg2IntensityPositions) {
  Decoder dec;
  prepare(dec, 0xF3, 0x80, 0x40);  // 22.05 kHz joint stereo
  const int nonzero = 522;
  for (int ms = 0; ms < 2; ++ms) {
    SCOPED_TRACE(ms);
    std::vector<float> lines(2304, 0.0f);
    for (int i = 0; i < nonzero; ++i) lines[size_t(i)] = 2.0f;
    int32_t scale[62] = {};
    scale[1] = 1, scale[2] = 3;
    const int32_t isInfo[7] = {6, 0, 0, 2, 0, 0, /*scale bit*/ 0};
    mpaL3BandInfo info[2] = {{0, 20, 12, 22, {12, 12, 12}}, {0, 0, 12, 22, {12, 12, 12}}};
    mpaL3StereoIsLsf(dec.get(), lines.data(), scale, info, isInfo, nonzero, ms);
    const float f = ms ? 1.4142135f : 1.0f, io = std::pow(2.0f, -0.25f);
    // Band 1 (lines 6..11): position 1; band 2 (12..17): illegal.
    EXPECT_FLOAT_EQ(lines[6], 2.0f * io * f);
    EXPECT_FLOAT_EQ(lines[1152 + 6], 2.0f * f);
    EXPECT_EQ(lines[12], 2.0f);
    EXPECT_EQ(lines[1152 + 12], ms ? 2.0f : 0.0f);
    // Band 7 (from line 44): after the parts, slen 0.
    EXPECT_EQ(lines[50], 2.0f);
    EXPECT_EQ(lines[1152 + 50], ms ? 2.0f : 0.0f);
  }
}

// A mixed block at 44.1 kHz is alias-reduced at the boundary of subbands 0
// and 1 only.
TEST(MpegL3Recon, MixedBlockAliasReductionAtOneBoundary) {
  Decoder dec;
  prepare(dec, 0xFB, 0x90, 0x00);
  mpaL3State& L = dec->l3;
  for (int i = 0; i < 576; ++i) L.spectrum[0][0][i] = 1.0f;
  L.bandInfo[0][0] = {1, 5, 3, 8, {5, 5, 5}};
  L.nonzero[0][0] = 400;
  mpaL3Antialias(dec.get(), 0, 0);
  for (int i = 0; i < 576; ++i) {
    bool boundary = i >= 10 && i < 26;
    if (boundary)
      EXPECT_NE(L.spectrum[0][0][i], 1.0f) << i;
    else
      EXPECT_EQ(L.spectrum[0][0][i], 1.0f) << i;
  }
}

// Two MPEG-2 streams decoded frame by frame in turn on two decoders give
// what each gives alone.
TEST(MpegL3Recon, Mpeg2DecodersShareNothing) {
  const Bytes a = readFile(fixturePath("l3_22050_sweepb64.mp3")), b = readFile(fixturePath("l3_24000_lrb56ms.mp3"));
  const Decoded aloneA = decodeStream(a), aloneB = decodeStream(b);
  ASSERT_GT(aloneA.frames.size(), 10u);
  Decoder da, db;
  Bytes pa, pb;
  size_t oa = 0, ob = 0;
  const Bytes* data[2] = {&a, &b};
  Decoder* decs[2] = {&da, &db};
  Bytes* pcm[2] = {&pa, &pb};
  size_t* off[2] = {&oa, &ob};
  for (int k = 0; k < 2; ++k) {
    mpaHeader hdr{};
    int size = mpaParseHeader(data[k]->data(), int(data[k]->size()), &hdr);
    ASSERT_EQ(mpaDecodeInit(decs[k]->get(), &hdr, size, 0, 0, 0, 24000), 1);
  }
  Bytes out(4608);
  for (bool more = true; more;) {
    more = false;
    for (int k = 0; k < 2; ++k) {
      const Bytes& d = *data[k];
      size_t& o = *off[k];
      mpaHeader h{};
      int size = o + 4 <= d.size() ? mpaParseHeader(d.data() + o, int(d.size() - o), &h) : 0;
      if (!size || o + size_t(size + h.padding) > d.size()) continue;
      mpaInOut r = mpaDecode(decs[k]->get(), d.data() + o, out.data());
      ASSERT_GT(r.inBytes, 0);
      pcm[k]->insert(pcm[k]->end(), out.begin(), out.begin() + r.outBytes);
      o += size_t(r.inBytes);
      more = true;
    }
  }
  EXPECT_TRUE(pa == aloneA.pcm);
  EXPECT_TRUE(pb == aloneB.pcm);
}

}  // namespace
