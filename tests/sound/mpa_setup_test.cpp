// Decoder set-up: options, refusals, preparing again, and the decoder's life
// (equaliser record, decoding unprepared, reads bounded by the frame).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "mpeg_support.h"

using namespace mpeg_test;

namespace {

mpaHeader header(uint8_t b1, uint8_t b2, uint8_t b3) {
  const uint8_t bytes[4] = {0xFF, b1, b2, b3};
  mpaHeader hdr{};
  mpaParseHeader(bytes, 4, &hdr);  // fills the fields also when it gives 0
  return hdr;
}

TEST(MpegSetup, OptionsAndRefusals) {
  struct Case {
    const char* what;
    uint8_t b1, b2, b3;  // header bytes 1 to 3
    int reduction, options, freqLimit;
    int ok, channels = 0, values = 0, rate = 0, bits = 0, limit = 0, entries = 0;
  };
  const Case cases[] = {
      // Layer I single channel at 44.1 kHz: subband limits.
      {"24000 Hz, 31 subbands", 0xFF, 0xE0, 0xC0, 0, 0, 24000, 1, 1, 384, 44100, 16, 31, 32},
      {"500 Hz counts as 1000, 1 subband", 0xFF, 0xE0, 0xC0, 0, 0, 500, 1, 1, 384, 44100, 16, 1, 32},
      {"reduction 1 caps at 15", 0xFF, 0xE0, 0xC0, 1, 0, 24000, 1, 1, 192, 22050, 16, 15, 32},
      // Layer II stereo 44.1 kHz 192 kbit/s: table B.2b, 30 subbands.
      {"stereo", 0xFD, 0xA0, 0x00, 0, 0, 24000, 1, 2, 2304, 44100, 16, 60, 60},
      {"reduction 5 counts as 2", 0xFD, 0xA0, 0x00, 5, 0, 24000, 1, 2, 576, 11025, 16, 16, 60},
      {"reduction -1 counts as 0", 0xFD, 0xA0, 0x00, -1, 0, 24000, 1, 2, 2304, 44100, 16, 60, 60},
      {"left channel", 0xFD, 0xA0, 0x00, 0, MPA_CONV_LEFT, 24000, 1, 1, 1152, 44100, 16, 60, 60},
      {"mix, 8-bit", 0xFD, 0xA0, 0x00, 0, MPA_CONV_MIX | MPA_OUT_8BIT, 24000, 1, 1, 1152, 44100, 8, 60, 60},
      {"free format at 48 kHz: B.2a", 0xFD, 0x04, 0x00, 0, 0, 24000, 1, 2, 2304, 48000, 16, 54, 54},
      {"free format at 44.1 kHz: B.2b", 0xFD, 0x00, 0x00, 0, 0, 24000, 1, 2, 2304, 44100, 16, 60, 60},
      {"low rate, mono 32 kbit/s: B.2c", 0xFD, 0x10, 0xC0, 0, 0, 24000, 1, 1, 1152, 44100, 16, 8, 8},
      {"32 kHz 64 kbit/s stereo: B.2d", 0xFD, 0x48, 0x00, 0, 0, 24000, 1, 2, 2304, 32000, 16, 24, 24},
      {"MPEG-2 24 kHz: 13818-3 B.1", 0xF5, 0x84, 0x00, 0, 0, 24000, 1, 2, 2304, 24000, 16, 60, 60},
      {"stereo 80 kbit/s refused", 0xFD, 0x50, 0x00, 0, 0, 24000, 0, 0, 0, 0, 0, 0, 0},
      {"single channel 224 kbit/s refused", 0xFD, 0xB0, 0xC0, 0, 0, 24000, 0, 0, 0, 0, 0, 0, 0},
      {"layer III, joint stereo", 0xFB, 0x90, 0x64, 0, 0, 24000, 1, 2, 2304, 44100, 16, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Decoder dec;
    mpaHeader hdr = header(c.b1, c.b2, c.b3);
    ASSERT_EQ(mpaDecodeInit(dec.get(), &hdr, 384, c.reduction, 0, c.options, c.freqLimit), c.ok);
    if (!c.ok) continue;
    mpaInfo info{};
    mpaGetInfo(dec.get(), &info);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.values, c.values);
    EXPECT_EQ(info.rate, c.rate);
    EXPECT_EQ(info.bits, c.bits);
    EXPECT_EQ(info.frameBytes, 384);
    EXPECT_EQ(info.type, 0);
    EXPECT_EQ(dec->l12Limit, c.limit);
    EXPECT_EQ(dec->l12Entries, c.entries);
    EXPECT_EQ(dec->outBytes, c.values * c.bits / 8);
  }
}

TEST(MpegSetup, RefusedHeadersLeaveTheDecoderUnprepared) {
  Decoder dec;
  const uint8_t frame[4] = {0xFF, 0xFD, 0xA0, 0x00};
  uint8_t out[4608];
  mpaInOut r = mpaDecode(dec.get(), frame, out);  // never prepared
  EXPECT_EQ(r.inBytes, 0);
  EXPECT_EQ(r.outBytes, 0);
  mpaHeader bad[3] = {header(0xF9, 0x90, 0x00), header(0xFD, 0xAC, 0x00), header(0xFD, 0xA0, 0x00)};
  bad[1].rateIndex = 3;
  bad[2].mode = 7;  // not from the parser: out of range
  for (mpaHeader& h : bad) {
    EXPECT_EQ(mpaDecodeInit(dec.get(), &h, 417, 0, 0, 0, 24000), 0);
    r = mpaDecode(dec.get(), frame, out);
    EXPECT_EQ(r.inBytes, 0);
  }
}

TEST(MpegSetup, PreparedAgainDecodesLikeAFreshDecoder) {
  Bytes first = readFile(fixturePath("l2_44100_noise_s256.mp2"));
  Bytes second = readFile(fixturePath("l2_22050_lr_d80.mp2"));
  Bytes layer1 = randomLayer1(1, 1, 2, 14, 8, 99);
  Decoder dec;
  ASSERT_TRUE(decodeStream(dec.get(), first, 0, MPA_CONV_STEREO, 24000, 10).ok);
  Decoded again = decodeStream(dec.get(), second, 0, MPA_CONV_STEREO, 24000);
  EXPECT_TRUE(again.pcm == decodeStream(second).pcm);
  Decoded third = decodeStream(dec.get(), layer1, 1, MPA_CONV_MIX, 24000);
  EXPECT_TRUE(third.pcm == decodeStream(layer1, 1, MPA_CONV_MIX).pcm);
}

TEST(MpegSetup, EqualiserRecordLife) {
  auto dec = std::make_unique<mpaDecoder>();
  mpaInit(dec.get(), 1);
  ASSERT_NE(dec->eq, nullptr);
  EXPECT_EQ(dec->eq->enable, 0);
  EXPECT_EQ(dec->eq->gain[31], 1.0f);
  EXPECT_EQ(dec->eq->l3Gain, 1.0f);
  mpaEq* kept = dec->eq;
  mpaInit(dec.get(), 0);  // keeps the record
  EXPECT_EQ(dec->eq, kept);
  mpaRelease(dec.get());
  EXPECT_EQ(dec->eq, nullptr);
  mpaInit(dec.get(), 0);  // nothing dangling to keep
  EXPECT_EQ(dec->eq, nullptr);
  Bytes data = readFile(fixturePath("l2_44100_mono_m96.mp2"));
  EXPECT_TRUE(decodeStream(dec.get(), data, 0, 0, 24000).pcm == decodeStream(data).pcm);
  mpaRelease(dec.get());
  mpaRelease(dec.get());  // a second release frees nothing twice
}

TEST(MpegSetup, EqualiserWeighsSubbandsWhenEnabled) {
  Bytes data = readFile(fixturePath("l2_44100_mono_m96.mp2"));
  Decoder dec;
  dec->eq->enable = 1;
  for (float& g : dec->eq->gain) g = 0.0f;
  Decoded silent = decodeStream(dec.get(), data, 0, 0, 24000);
  ASSERT_FALSE(silent.pcm.empty());
  for (int16_t s : asInt16(silent.pcm)) ASSERT_EQ(s, 0);
}

// Frames whose bits ask for more than the frame holds read zeros past its
// end: each frame lies at the very end of its own heap block (ASan).
TEST(MpegSetup, ReadsStopAtTheFrameEnd) {
  std::mt19937 rng(5);
  struct Case { uint8_t b1, b2, b3; int size; };
  const Case cases[] = {
      {0xFD, 0xA4, 0x00, 576},  // layer II 48 kHz 192 kbit/s
      {0xFC, 0x14, 0xC0, 96},   // layer II 48 kHz 32 kbit/s single channel with CRC
      {0xFF, 0x14, 0x40, 32},   // layer I 48 kHz 32 kbit/s joint stereo
      {0xFF, 0xE8, 0xC0, 672},  // layer I 32 kHz 448 kbit/s
  };
  for (const Case& c : cases) {
    for (int trial = 0; trial < 20; ++trial) {
      Bytes frame(size_t(c.size));
      for (uint8_t& b : frame) b = uint8_t(rng() | 0xC0);  // high allocations
      frame[0] = 0xFF, frame[1] = c.b1, frame[2] = c.b2, frame[3] = c.b3;
      Decoder dec;
      mpaHeader hdr{};
      ASSERT_EQ(mpaParseHeader(frame.data(), 4, &hdr), c.size);
      ASSERT_EQ(mpaDecodeInit(dec.get(), &hdr, c.size, trial % 3, 0, trial % 4, 24000), 1);
      uint8_t out[4608];
      mpaInOut r = mpaDecode(dec.get(), frame.data(), out);
      EXPECT_EQ(r.inBytes, c.size);
    }
  }
}

}  // namespace
