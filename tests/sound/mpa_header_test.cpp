// Frame headers, the frame search and free-format measurement.
#include <gtest/gtest.h>

#include <cstring>

#include "mpeg_support.h"

using namespace mpeg_test;

namespace {

TEST(MpegHeader, SizesAndRefusals) {
  struct Case {
    uint8_t bytes[4];
    int size, bitrate, sync, layer, padding;
  };
  const Case cases[] = {
      {{0xFF, 0xFB, 0x90, 0x64}, 417, 128000, 1, 1, 0},  // MPEG-1 layer III 128 kbit/s 44.1 kHz
      {{0xFF, 0xFB, 0x92, 0x64}, 417, 128000, 1, 1, 1},  // the same padded: the slot is not counted
      {{0xFF, 0xFD, 0xA4, 0x00}, 576, 192000, 1, 2, 0},  // layer II 48 kHz 192 kbit/s
      {{0xFF, 0xFF, 0x10, 0x00}, 32, 32000, 1, 3, 0},    // layer I 44.1 kHz 32 kbit/s
      {{0xFF, 0xE3, 0x18, 0x00}, 72, 8000, 2, 1, 0},     // MPEG-2.5 layer III 8 kHz 8 kbit/s
      {{0xFF, 0xF3, 0x18, 0x00}, 36, 8000, 1, 1, 0},     // MPEG-2 layer III 16 kHz 8 kbit/s
      {{0xFF, 0xFB, 0xF0, 0x64}, 0, 0, 1, 1, 0},         // bitrate index 15
      {{0xFF, 0xFB, 0x9C, 0x64}, 0, 0, 1, 1, 0},         // rate index 3
      {{0xFF, 0xF9, 0x90, 0x64}, 0, 0, 1, 0, 0},         // layer code 0
      {{0xFE, 0xFB, 0x90, 0x64}, 0, 0, 0, -1, -1},       // no sync
      {{0xFF, 0xDB, 0x90, 0x64}, 0, 0, 0, -1, -1},       // high nibble 0xD: no sync
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::vector<int>(c.bytes, c.bytes + 4)));
    mpaHeader hdr{};
    int bitrate = -1;
    EXPECT_EQ(mpaParseHeaderBitrate(c.bytes, 4, &hdr, &bitrate), c.size);
    EXPECT_EQ(bitrate, c.bitrate);
    EXPECT_EQ(hdr.sync, c.sync);
    if (c.layer >= 0) {
      EXPECT_EQ(hdr.layer, c.layer);
      EXPECT_EQ(hdr.padding, c.padding);
    }
  }
}

TEST(MpegHeader, NoDataIsNoHeader) {
  const uint8_t frame[4] = {0xFF, 0xFB, 0x90, 0x64};
  mpaHeader hdr{};
  int bitrate = 0, skip = 7;
  for (int len : {0, -1, -100000, 3}) {
    EXPECT_EQ(mpaParseHeader(frame, len, &hdr), 0) << len;
    EXPECT_EQ(mpaFindFrame(frame, len, &hdr, &bitrate, &skip), 0) << len;
    EXPECT_EQ(skip, 7);
  }
}

TEST(MpegHeader, Search) {
  mpaHeader hdr{};
  int bitrate = 0;
  {
    // No byte 0xFF followed by a high nibble 0xF or 0xE: 0, skip untouched.
    const uint8_t none[] = {0x00, 0xFF, 0x00, 0xFF, 0xD0, 0x12, 0xFF};
    int skip = -7;
    EXPECT_EQ(mpaFindFrame(none, sizeof none, &hdr, &bitrate, &skip), 0);
    EXPECT_EQ(skip, -7);
  }
  {
    const uint8_t later[] = {0x00, 0x12, 0xFF, 0xFB, 0x90, 0x64};
    int skip = -7;
    EXPECT_EQ(mpaFindFrame(later, sizeof later, &hdr, &bitrate, &skip), 417);
    EXPECT_EQ(skip, 2);
    EXPECT_EQ(bitrate, 128000);
  }
  {
    // An unusable first sync (layer code 0) ends the search.
    const uint8_t first[] = {0x00, 0xFF, 0xF9, 0x90, 0x64, 0xFF, 0xFB, 0x90, 0x64};
    int skip = -7;
    EXPECT_EQ(mpaFindFrame(first, sizeof first, &hdr, &bitrate, &skip), 0);
    EXPECT_EQ(skip, 1);
  }
  {
    // A sync whose header would not fit the data is not looked at.
    const uint8_t tail[] = {0x00, 0x00, 0xFF, 0xFB, 0x90};
    int skip = -7;
    EXPECT_EQ(mpaFindFrame(tail, sizeof tail, &hdr, &bitrate, &skip), 0);
    EXPECT_EQ(skip, -7);
  }
}

// Free-format frames of `size` bytes with the first two header bytes at the
// given offsets of a 10000-byte area.
Bytes headersAt(std::initializer_list<int> offsets) {
  Bytes b(10000, 0);
  for (int o : offsets) {
    b[size_t(o)] = 0xFF;
    b[size_t(o) + 1] = 0xFD;  // layer II
    b[size_t(o) + 2] = 0x04;  // free format, 48 kHz, no padding
  }
  return b;
}

TEST(MpegHeader, FreeFormatMeasurement) {
  // Frame counting: matches up to the limit, or the negated count before the
  // first mismatch.
  Bytes every = headersAt({0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000});
  EXPECT_EQ(mpaCountFrames(9997, every.data(), 1, 1000), 9);
  EXPECT_EQ(mpaCountFrames(9997, every.data(), 1, 3000), 3);
  EXPECT_EQ(mpaCountFrames(500, every.data(), 1, 1000), 0);
  Bytes broken = headersAt({0, 1000, 2000, 4000});
  EXPECT_EQ(mpaCountFrames(9997, broken.data(), 1, 1000), -2);
  EXPECT_EQ(mpaFreeFormatSize(every.data(), 10000), 1000);
  // Candidates are tried while below offset 2000: 1500 fails at 3000, 2500
  // fails at 5000, and no candidate is tried after that.
  Bytes late = headersAt({0, 1500, 2500});
  EXPECT_EQ(mpaFreeFormatSize(late.data(), 10000), 0);
  // A candidate found past 2000 is still taken when every start matches.
  Bytes sparse = headersAt({0, 2500, 5000, 7500});
  EXPECT_EQ(mpaFreeFormatSize(sparse.data(), 10000), 2500);
  // The bitrate of a large free-format frame: 960 x 5000 x 1000 does not fit
  // 32 bits.
  Bytes large = headersAt({0, 5000});
  mpaHeader hdr{};
  int bitrate = 0;
  EXPECT_EQ(mpaParseHeaderBitrate(large.data(), 10000, &hdr, &bitrate), 5000);
  EXPECT_EQ(bitrate, 1666666);
}

TEST(MpegHeader, FreeFormatStreamDecodesLikeTheOriginal) {
  // twolame at 48 kHz, 128 kbit/s: 384-byte frames, never padded.
  Bytes original = readFile(fixturePath("l2_48000_lr_s128.mp2"));
  ASSERT_EQ(original.size() % 384, 0u);
  Bytes free = original;
  for (size_t o = 0; o < free.size(); o += 384) free[o + 2] &= 0x0F;
  mpaHeader hdr{};
  int bitrate = 0, skip = -1;
  EXPECT_EQ(mpaFindFrame(free.data(), int(free.size()), &hdr, &bitrate, &skip), 384);
  EXPECT_EQ(skip, 0);
  EXPECT_EQ(hdr.bitrateIndex, 0);
  EXPECT_EQ(bitrate, 128000);
  // Frame after frame as the decoder counts them (the search cannot measure
  // the last frame, which no further header follows).
  Decoder dec;
  ASSERT_EQ(mpaDecodeInit(dec.get(), &hdr, 384, 0, 0, 0, 24000), 1);
  Bytes pcm;
  uint8_t out[4608];
  for (size_t offset = 0; offset < free.size();) {
    mpaInOut r = mpaDecode(dec.get(), free.data() + offset, out);
    ASSERT_EQ(r.inBytes, 384);
    pcm.insert(pcm.end(), out, out + r.outBytes);
    offset += size_t(r.inBytes);
  }
  EXPECT_TRUE(pcm == decodeStream(original).pcm);
}

}  // namespace
