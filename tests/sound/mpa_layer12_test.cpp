// Layer I and II units: the grouping tables, the forbidden allocation, the
// frequency limit's skips and the CRC word.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "mpeg_support.h"

using namespace mpeg_test;

namespace {

TEST(MpegLayer12, GroupedCodeWords) {
  Decoder dec;
  const uint8_t bytes[4] = {0xFF, 0xFD, 0xA0, 0x00};
  mpaHeader hdr{};
  ASSERT_GT(mpaParseHeader(bytes, 4, &hdr), 0);
  ASSERT_EQ(mpaDecodeInit(dec.get(), &hdr, 626, 0, 0, 0, 24000), 1);
  struct Case { int levels, code, v0, v1, v2; };
  const Case cases[] = {
      {3, 0, -1, -1, -1}, {3, 5, 1, 0, -1},  {3, 26, 1, 1, 1},   {3, 27, -1, -1, -1},  // 27 and up: the rule extended
      {3, 31, 0, 0, -1},  {5, 124, 2, 2, 2}, {5, 127, 0, -2, -2}, {9, 728, 4, 4, 4}, {9, 1023, 2, 1, -1},
  };
  for (const Case& c : cases) {
    int v[3];
    for (int i = 0; i < 3; ++i)
      v[i] = c.levels == 3 ? dec->group3[c.code][i] : c.levels == 5 ? dec->group5[c.code][i] : dec->group9[c.code][i];
    EXPECT_EQ(v[0], c.v0) << c.levels << " levels, code " << c.code;
    EXPECT_EQ(v[1], c.v1) << c.levels << " levels, code " << c.code;
    EXPECT_EQ(v[2], c.v2) << c.levels << " levels, code " << c.code;
  }
}

// A forbidden layer I allocation 15 of an entry alone zeroes that entry and
// the next and reads no samples for either (kept as the decoder has it).
TEST(MpegLayer12, ForbiddenLayer1Allocation) {
  auto frame = [](bool forbidden) {
    Layer1Frame f;  // single channel
    f.alloc[2][0] = 5;
    f.scale[2][0] = 30;
    for (int s = 0; s < 12; ++s) f.samples[s][2][0] = 3 + 4 * s;
    Bytes bytes = encodeLayer1(f);
    if (forbidden) {
      // Allocations of subbands 0 and 1 become 15 and 4, each with a scale
      // factor; the samples stay as they are, those of subband 2 alone.
      BitWriter w;
      w.bytes.assign(bytes.begin(), bytes.begin() + 4);
      w.put(15, 4);
      w.put(4, 4);
      w.put(5, 4);
      for (int sb = 3; sb < 32; ++sb) w.put(0, 4);
      w.put(10, 6);
      w.put(20, 6);
      w.put(30, 6);
      for (int s = 0; s < 12; ++s) w.put(uint32_t(3 + 4 * s), 6);
      w.padTo(bytes.size());
      return w.bytes;
    }
    return bytes;
  };
  Decoded plain = decodeStream(frame(false)), kept = decodeStream(frame(true));
  ASSERT_EQ(kept.frames.size(), 1u);
  EXPECT_TRUE(plain.pcm == kept.pcm);
  bool any = false;
  for (int16_t s : asInt16(plain.pcm)) any |= s != 0;
  EXPECT_TRUE(any);
}

// With freqLimit 1000 at 44.1 kHz only subband 0 is decoded: the output is
// the synthesis of the full decode's subband 0 alone, and every frame still
// reports its input bytes.
TEST(MpegLayer12, FrequencyLimitSkipsTheUpperSubbands) {
  for (const char* name : {"l2_44100_sweep_j192.mp2", "l2_44100_mono_m96.mp2"}) {
    SCOPED_TRACE(name);
    Bytes data = readFile(fixturePath(name));
    Decoder full, low, synth;
    mpaHeader hdr{};
    int bitrate = 0, skip = 0;
    int size = mpaFindFrame(data.data(), int(data.size()), &hdr, &bitrate, &skip);
    ASSERT_EQ(skip, 0);
    ASSERT_EQ(mpaDecodeInit(full.get(), &hdr, size, 0, 0, 0, 24000), 1);
    ASSERT_EQ(mpaDecodeInit(low.get(), &hdr, size, 0, 0, 0, 1000), 1);
    ASSERT_EQ(mpaDecodeInit(synth.get(), &hdr, size, 0, 0, 0, 24000), 1);
    int channels = hdr.mode == 3 ? 1 : 2;
    EXPECT_EQ(low->l12Limit, channels);
    uint8_t a[4608], b[4608], c[4608];
    int frames = 0;
    for (size_t offset = 0; offset + size_t(size) <= data.size(); ++frames) {
      mpaInOut ra = mpaDecode(full.get(), data.data() + offset, a);
      mpaInOut rb = mpaDecode(low.get(), data.data() + offset, b);
      ASSERT_GT(ra.inBytes, 0);
      ASSERT_EQ(rb.inBytes, ra.inBytes);
      ASSERT_EQ(rb.outBytes, ra.outBytes);
      float rows[36][64];
      std::memcpy(rows, full->l12Rows, sizeof rows);
      for (auto& row : rows)
        for (int e = channels; e < 64; ++e) row[e] = 0.0f;
      synth->synthL12(synth.get(), rows, c, 36);
      ASSERT_EQ(std::memcmp(b, c, size_t(rb.outBytes)), 0) << "frame " << frames;
      offset += size_t(ra.inBytes);
    }
    EXPECT_GT(frames, 30);
  }
}

TEST(MpegLayer12, CrcWordIsReadOver) {
  Bytes data = readFile(fixturePath("l2_44100_lr_j128p.mp2"));
  Decoded before = decodeStream(data);
  ASSERT_TRUE(before.ok);
  ASSERT_EQ(data[1] & 1, 0);  // protected
  size_t offset = 0;
  for (const mpaInOut& f : before.frames) {
    data[offset + 4] ^= 0x5A;
    data[offset + 5] ^= 0xA5;
    offset += size_t(f.inBytes);
  }
  EXPECT_TRUE(decodeStream(data).pcm == before.pcm);
}

}  // namespace
