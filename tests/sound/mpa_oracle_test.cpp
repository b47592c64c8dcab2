// The decoder beside libmpg123 on twolame's layer II fixtures and random
// layer I frames: the same sample count and every sample within 2 LSB (our
// truncation against the reference's own conversion accounts for up to 1).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "mpeg_support.h"
#include "support/temp_dir.h"

using namespace mpeg_test;

namespace {

constexpr double kGate = 2.0;

// Reference samples as doubles, converted as asked of a single-channel output.
std::vector<double> convert(const Pcm& ref, int options) {
  std::vector<double> out;
  if (ref.channels == 1 || options == MPA_CONV_STEREO) {
    out.assign(ref.samples.begin(), ref.samples.end());
    return out;
  }
  for (size_t i = 0; i + 1 < ref.samples.size(); i += 2) {
    double l = ref.samples[i], r = ref.samples[i + 1];
    out.push_back(options == MPA_CONV_MIX ? (l + r) / 2 : options == MPA_CONV_LEFT ? l : r);
  }
  return out;
}

struct GroupResult {
  Diff all;
  double sumSquares = 0;
};

// Decodes one file in every conversion and checks it against the reference;
// 8-bit output against our own 16-bit output.
void checkFile(const std::string& path, const Bytes& data, GroupResult& group) {
  SCOPED_TRACE(path);
  Pcm ref = referenceDecode(path);
  ASSERT_FALSE(ref.samples.empty());
  for (int options : {MPA_CONV_STEREO, MPA_CONV_MIX, MPA_CONV_LEFT, MPA_CONV_RIGHT}) {
    SCOPED_TRACE(options);
    Decoded ours = decodeStream(data, 0, options);
    ASSERT_TRUE(ours.ok);
    EXPECT_EQ(ours.info.rate, ref.rate);
    std::vector<double> expect = convert(ref, options);
    std::vector<int16_t> got = asInt16(ours.pcm);
    ASSERT_EQ(got.size(), expect.size());
    Diff d = difference(got, expect);
    EXPECT_LE(d.max, kGate);
    if (options == MPA_CONV_STEREO) {
      if (d.max > group.all.max) group.all.max = d.max;
      group.sumSquares += d.rms * d.rms * double(d.count);
      group.all.count += d.count;
      Decoded eight = decodeStream(data, 0, options | MPA_OUT_8BIT);
      ASSERT_EQ(eight.pcm.size(), got.size());
      size_t mismatches = 0;
      for (size_t i = 0; i < got.size(); ++i)
        if (eight.pcm[i] != uint8_t((got[i] >> 8) ^ 0x80)) ++mismatches;
      EXPECT_EQ(mismatches, 0u);
    }
  }
}

void report(const char* group, GroupResult& r) {
  r.all.rms = r.all.count ? std::sqrt(r.sumSquares / double(r.all.count)) : 0;
  std::printf("[mpeg] %s: %zu samples, max difference %.0f LSB, RMS %.4f LSB\n", group, r.all.count,
              r.all.max, r.all.rms);
}

void checkGroup(const char* group) {
  std::vector<std::string> files = fixtures(group);
  ASSERT_FALSE(files.empty()) << "no fixtures of " << group;
  GroupResult result;
  for (const std::string& f : files) checkFile(f, readFile(f), result);
  report(group, result);
}

TEST(MpegOracle, Layer2Mpeg1) { checkGroup("layer2-mpeg1"); }

TEST(MpegOracle, Layer2LowerRates) { checkGroup("layer2-mpeg2"); }

// Layer I: random valid frames of the writer, in single channel, stereo and
// joint stereo (every bound) at the three MPEG-1 rates.
TEST(MpegOracle, Layer1RandomFrames) {
  TempDir dir;
  GroupResult result;
  struct Case { int rateIndex, mode, modeExt, bitrateIndex; };
  const Case cases[] = {
      {0, 3, 0, 14}, {1, 3, 0, 8}, {2, 3, 0, 10}, {0, 0, 0, 14}, {1, 0, 0, 12}, {2, 0, 0, 14},
      {0, 1, 0, 14}, {1, 1, 1, 14}, {2, 1, 2, 13}, {0, 1, 3, 11},
  };
  uint32_t seed = 1;
  for (const Case& c : cases) {
    Bytes data = randomLayer1(c.rateIndex, c.mode, c.modeExt, c.bitrateIndex, 24, seed++);
    std::string path = dir.file("layer1_" + std::to_string(seed) + ".mp1");
    writeFile(path, data);
    checkFile(path, data, result);
  }
  report("layer1", result);
}

}  // namespace
namespace {
TEST(MpegOracle, Layer3Mpeg1) { checkGroup("layer3-mpeg1"); }
TEST(MpegOracle, Layer3Mpeg2) { checkGroup("layer3-mpeg2"); }
TEST(MpegOracle, Layer3Mpeg25) { checkGroup("layer3-mpeg25"); }
}
