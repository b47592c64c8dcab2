// The decoder beside libmpg123 on twolame's layer II fixtures and random
// layer I frames: the same sample count and every sample within 2 LSB (our
// truncation against the reference's own conversion accounts for up to 1).
#include <gtest/gtest.h>

#include <string>

#include "mpeg_support.h"
#include "support/temp_dir.h"

using namespace mpeg_test;

namespace {

TEST(MpegOracle, Layer2Mpeg1) { oracleCheckGroup("layer2-mpeg1"); }

TEST(MpegOracle, Layer2LowerRates) { oracleCheckGroup("layer2-mpeg2"); }

// Layer I: random valid frames of the writer, in single channel, stereo and
// joint stereo (every bound) at the three MPEG-1 rates.
TEST(MpegOracle, Layer1RandomFrames) {
  TempDir dir;
  OracleGroup result;
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
    oracleCheckFile(path, data, result);
  }
  oracleReport("layer1", result);
}

}  // namespace
