// Helpers of the MPEG audio decoder tests: the fixtures made at build time,
// the libmpg123 reference, the source's find-and-decode walk, a bit writer
// and a writer of random valid layer I frames.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/mpa.h"

namespace mpeg_test {

using Bytes = std::vector<uint8_t>;

// Fixture files of one manifest group (paths), in manifest order.
std::vector<std::string> fixtures(const std::string& group);
std::string fixturePath(const std::string& name);
Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& bytes);

// A decoder in its own zeroed block, released with it.
struct Decoder {
  std::unique_ptr<mpaDecoder> dec{new mpaDecoder()};
  Decoder() { mpaInit(dec.get(), 1); }
  ~Decoder() { mpaRelease(dec.get()); }
  mpaDecoder* operator->() { return dec.get(); }
  mpaDecoder* get() { return dec.get(); }
};

// libmpg123's 16-bit output of a file at its own rate, gapless handling off.
struct Pcm {
  std::vector<int16_t> samples;
  long rate = 0;
  int channels = 0;
};
Pcm referenceDecode(const std::string& path);

// The stream decoded as the MP3 source walks it: search from the input
// offset, decode each frame that lies wholly inside the data.
struct Decoded {
  bool ok = false;  // the first header was found and mpaDecodeInit took it
  mpaInfo info{};
  Bytes pcm;
  std::vector<mpaInOut> frames;
};
Decoded decodeStream(const Bytes& data, int reduction = 0, int options = 0, int freqLimit = 24000);
Decoded decodeStream(mpaDecoder* dec, const Bytes& data, int reduction, int options, int freqLimit,
                     int maxFrames = 1 << 30);

std::vector<int16_t> asInt16(const Bytes& pcm);

// Maximum and RMS difference of two sample sequences of equal length.
struct Diff {
  double max = 0, rms = 0;
  size_t count = 0;
};
Diff difference(const std::vector<int16_t>& ours, const std::vector<double>& reference);

// The oracle: a file decoded in every conversion beside libmpg123's 16-bit
// output, the same sample count and every sample within 2 LSB; 8-bit output
// against our 16-bit output exactly. A group sums up the maximum and RMS
// difference of its files (two-channel output) and prints them.
struct OracleGroup {
  Diff all;
  double sumSquares = 0;
};
void oracleCheckFile(const std::string& path, const Bytes& data, OracleGroup& group);
void oracleReport(const char* group, OracleGroup& r);
// Every fixture of a manifest group.
void oracleCheckGroup(const char* group);

// Bits, most significant first.
struct BitWriter {
  Bytes bytes;
  int used = 0;  // bits used in the last byte
  void put(uint32_t value, int bits);
  void padTo(size_t size) { bytes.resize(size, 0); }
};

// A layer I frame of MPEG-1: allocations 0..15, scale factor indexes and
// sample codes per [subband][channel]; beyond the joint-stereo bound only
// channel 0's allocation and samples are written.
struct Layer1Frame {
  int rateIndex = 0, bitrateIndex = 14, mode = 3, modeExt = 0;
  int alloc[32][2] = {};
  int scale[32][2] = {};
  int samples[12][32][2] = {};
};
int layer1FrameBytes(const Layer1Frame& f);
Bytes encodeLayer1(const Layer1Frame& f);
// Random valid frames: allocations 0 to 14 within the frame's bits, none in
// subband 31, scale factors that do not clip, no all-ones sample code.
Bytes randomLayer1(int rateIndex, int mode, int modeExt, int bitrateIndex, int frames, uint32_t seed);

}  // namespace mpeg_test
