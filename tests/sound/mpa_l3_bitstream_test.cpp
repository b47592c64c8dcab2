// Layer III bitstream: frame sizes, the reservoir (silence before its start,
// frames refused when it has no room, compaction), damaged side information,
// reads bounded by the data held, variable bitrate and free format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "mpeg_support.h"

using namespace mpeg_test;

namespace {

// The offsets of the frames of a stream without junk, by their headers.
std::vector<size_t> frameOffsets(const Bytes& data) {
  std::vector<size_t> at;
  for (size_t i = 0; i + 4 <= data.size();) {
    mpaHeader h{};
    int size = mpaParseHeader(data.data() + i, int(data.size() - i), &h);
    if (!size) break;
    at.push_back(i);
    i += size_t(size + h.padding);
  }
  return at;
}

// Writes n bits of value at bit offset `bit` of data, most significant first.
void setBits(uint8_t* data, int bit, int n, uint32_t value) {
  for (int i = 0; i < n; ++i, ++bit) {
    uint8_t mask = uint8_t(0x80 >> (bit & 7));
    if ((value >> (n - 1 - i)) & 1)
      data[bit >> 3] |= mask;
    else
      data[bit >> 3] &= uint8_t(~mask);
  }
}

// A frame of the header bytes FF b1 b2 b3 and zeros: side information of
// empty granules, no main data used.
Bytes emptyFrame(uint8_t b1, uint8_t b2, uint8_t b3) {
  const uint8_t head[4] = {0xFF, b1, b2, b3};
  mpaHeader h{};
  int size = mpaParseHeader(head, 4, &h);
  Bytes f(size_t(size + h.padding), 0);
  std::memcpy(f.data(), head, 4);
  return f;
}

// Decodes one frame on a decoder prepared from it; the output to *pcm.
mpaInOut decodeFirst(const Bytes& frame, int options, Bytes* pcm) {
  Decoder dec;
  mpaHeader hdr{};
  int size = mpaParseHeader(frame.data(), int(frame.size()), &hdr);
  EXPECT_EQ(mpaDecodeInit(dec.get(), &hdr, size, 0, 0, options, 24000), 1);
  pcm->assign(4608, 0x55);
  mpaInOut r = mpaDecode(dec.get(), frame.data(), pcm->data());
  pcm->resize(size_t(r.outBytes));
  return r;
}

Bytes fixtureBytes(const char* name) { return readFile(fixturePath(name)); }

// Bit offsets in the side information of an MPEG-1 two-channel frame
// without CRC: main_data_begin at 32, then per granule and channel 59 bits
// from 52, part2_3_length first and big_values 12 bits on.
constexpr int kMainDataBegin = 32;
int sideEntry(int gr, int ch) { return 52 + 59 * (2 * gr + ch); }

TEST(MpegL3Bitstream, FramesAndTheReservoir) {
  // FF FB 92 64: 128 kbit/s at 44.1 kHz, padded: 417 + 1 bytes.
  Bytes pcm;
  mpaInOut r = decodeFirst(emptyFrame(0xFB, 0x92, 0x64), 0, &pcm);
  EXPECT_EQ(r.inBytes, 418);
  EXPECT_EQ(r.outBytes, 4608);
  EXPECT_TRUE(std::all_of(pcm.begin(), pcm.end(), [](uint8_t b) { return b == 0; }));

  // A stream's first frame decodes when its main data begins in it, and is
  // silence with its input bytes when it reaches 100 bytes back.
  Bytes noise = fixtureBytes("l3_44100_noiseb128.mp3");
  std::vector<size_t> at = frameOffsets(noise);
  ASSERT_GT(at.size(), 10u);
  Bytes first(noise.begin() + long(at[0]), noise.begin() + long(at[1]));
  for (int options : {0, int(MPA_OUT_8BIT)}) {
    SCOPED_TRACE(options);
    const uint8_t silence = options ? 0x80 : 0;
    r = decodeFirst(first, options, &pcm);
    EXPECT_EQ(r.inBytes, int(first.size()));
    EXPECT_TRUE(std::any_of(pcm.begin(), pcm.end(), [&](uint8_t b) { return b != silence; }));
    Bytes late = first;
    setBits(late.data(), kMainDataBegin, 9, 100);
    r = decodeFirst(late, options, &pcm);
    EXPECT_EQ(r.inBytes, int(first.size()));
    EXPECT_EQ(r.outBytes, options ? 2304 : 4608);
    EXPECT_TRUE(std::all_of(pcm.begin(), pcm.end(), [&](uint8_t b) { return b == silence; }));
  }

  // big_values 289 refuses the frame.
  Bytes big = first;
  setBits(big.data(), sideEntry(1, 0) + 12, 9, 289);
  r = decodeFirst(big, 0, &pcm);
  EXPECT_EQ(r.inBytes, 0);
  EXPECT_EQ(r.outBytes, 0);
}

// A part2_3_length that runs past the main data held decodes that channel as
// zeros; nothing past the bytes held is read (ASan sees the frame's own
// block, the reservoir reads zeros after its fill).
TEST(MpegL3Bitstream, LengthsPastTheDataHeldGiveZeros) {
  Bytes noise = fixtureBytes("l3_44100_noiseb128.mp3");
  std::vector<size_t> at = frameOffsets(noise);
  Bytes frame(noise.begin() + long(at[0]), noise.begin() + long(at[1]));
  frame[3] &= 0xCF;  // no mid/side: the left channel is channel 0's own
  setBits(frame.data(), sideEntry(0, 0), 12, 4095);
  std::unique_ptr<uint8_t[]> exact(new uint8_t[frame.size()]);
  std::memcpy(exact.get(), frame.data(), frame.size());
  Decoder dec;
  mpaHeader hdr{};
  int size = mpaParseHeader(exact.get(), int(frame.size()), &hdr);
  ASSERT_EQ(mpaDecodeInit(dec.get(), &hdr, size, 0, 0, 0, 24000), 1);
  Bytes out(4608);
  mpaInOut r = mpaDecode(dec.get(), exact.get(), out.data());
  ASSERT_EQ(r.inBytes, int(frame.size()));
  // Granule 0 of the first frame has no overlap before it: channel 0 is 0.
  std::vector<int16_t> s = asInt16(out);
  for (int i = 0; i < 576; ++i) ASSERT_EQ(s[2 * i], 0) << i;
}

// Free format at 5000 bytes a frame: the second frame's main data does not
// fit the room left in the reservoir, and is refused.
TEST(MpegL3Bitstream, MainDataLargerThanTheRoomLeftIsRefused) {
  Bytes frame(5000, 0);
  const uint8_t head[4] = {0xFF, 0xFB, 0x00, 0x64};
  std::memcpy(frame.data(), head, 4);
  Decoder dec;
  mpaHeader hdr{};
  mpaParseHeader(frame.data(), 4, &hdr);
  ASSERT_EQ(mpaDecodeInit(dec.get(), &hdr, 5000, 0, 0, 0, 24000), 1);
  Bytes out(4608);
  mpaInOut r = mpaDecode(dec.get(), frame.data(), out.data());
  EXPECT_EQ(r.inBytes, 5000);
  r = mpaDecode(dec.get(), frame.data(), out.data());
  EXPECT_EQ(r.inBytes, 0);
  EXPECT_EQ(r.outBytes, 0);
}

// 320 kbit/s fills the reservoir past 6692 bytes within a few frames: the
// compaction keeps the bytes the next frames refer to (checked beside
// libmpg123).
TEST(MpegL3Bitstream, CompactionKeepsTheRightBytes) {
  const std::string path = fixturePath("l3_44100_noiseb320.mp3");
  Bytes data = readFile(path);
  std::vector<size_t> at = frameOffsets(data);
  ASSERT_GT(at.size(), 30u);
  Decoder dec;
  mpaHeader hdr{};
  int size = mpaParseHeader(data.data(), int(data.size()), &hdr);
  ASSERT_EQ(mpaDecodeInit(dec.get(), &hdr, size, 0, 0, 0, 24000), 1);
  Bytes out(4608);
  std::vector<int16_t> ours;
  int compactions = 0, lastFill = 0;
  for (size_t i = 0; i + 1 < at.size() && i < 30; ++i) {
    mpaInOut r = mpaDecode(dec.get(), data.data() + at[i], out.data());
    ASSERT_EQ(r.inBytes, int(at[i + 1] - at[i]));
    if (dec->l3.resFill < lastFill) ++compactions;
    lastFill = dec->l3.resFill;
    std::vector<int16_t> s = asInt16(Bytes(out.begin(), out.begin() + r.outBytes));
    ours.insert(ours.end(), s.begin(), s.end());
  }
  EXPECT_GE(compactions, 2);
  Pcm ref = referenceDecode(path);
  ASSERT_GE(ref.samples.size(), ours.size());
  Diff diff = difference(ours, std::vector<double>(ref.samples.begin(), ref.samples.begin() + long(ours.size())));
  EXPECT_LE(diff.max, 2.0);
}

// Each frame of a variable-bitrate stream reports its own size: empty
// frames at 128, 64 and 128 kbit/s padded (44.1 kHz), then lame's -V 2.
TEST(MpegL3Bitstream, VariableBitrateFramesReportTheirOwnSize) {
  Bytes stream;
  for (uint8_t b2 : {0x90, 0x50, 0x92}) {
    Bytes f = emptyFrame(0xFB, b2, 0x64);
    stream.insert(stream.end(), f.begin(), f.end());
  }
  Decoded d = decodeStream(stream);
  ASSERT_EQ(d.frames.size(), 3u);
  EXPECT_EQ(d.frames[0].inBytes, 417);
  EXPECT_EQ(d.frames[1].inBytes, 208);
  EXPECT_EQ(d.frames[2].inBytes, 418);

  Bytes vbr = fixtureBytes("l3_44100_sweepV2.mp3");
  std::vector<size_t> at = frameOffsets(vbr);
  d = decodeStream(vbr);
  ASSERT_EQ(d.frames.size(), at.size());
  std::set<int> sizes;
  for (size_t i = 0; i + 1 < at.size(); ++i) {
    EXPECT_EQ(d.frames[i].inBytes, int(at[i + 1] - at[i])) << i;
    sizes.insert(d.frames[i].inBytes);
  }
  EXPECT_GT(sizes.size(), 2u);
}

// 48 kHz at 128 kbit/s: 384-byte frames, never padded. With every bitrate
// index rewritten to 0 (free format) the stream decodes byte for byte alike.
TEST(MpegL3Bitstream, FreeFormatDecodesLikeTheOriginal) {
  Bytes data = fixtureBytes("l3_48000_clicksb128.mp3");
  std::vector<size_t> at = frameOffsets(data);
  ASSERT_GT(at.size(), 20u);
  Bytes free = data;
  for (size_t i = 0; i < at.size(); ++i) {
    if (i + 1 < at.size()) {
      ASSERT_EQ(at[i + 1] - at[i], 384u);
    }
    free[at[i] + 2] &= 0x0F;
  }
  mpaHeader hdr{};
  int bitrate = 0, skip = -1;
  ASSERT_EQ(mpaFindFrame(free.data(), int(free.size()), &hdr, &bitrate, &skip), 384);
  EXPECT_EQ(hdr.bitrateIndex, 0);
  Decoder dec;
  ASSERT_EQ(mpaDecodeInit(dec.get(), &hdr, 384, 0, 0, 0, 24000), 1);
  // Frame by frame: the last frame has no sync after it to measure by.
  Bytes pcm, out(4608);
  for (size_t i : at) {
    mpaInOut r = mpaDecode(dec.get(), free.data() + i, out.data());
    ASSERT_EQ(r.inBytes, 384);
    pcm.insert(pcm.end(), out.begin(), out.begin() + r.outBytes);
  }
  Decoded original = decodeStream(data);
  ASSERT_EQ(original.frames.size(), at.size());
  EXPECT_TRUE(pcm == original.pcm);
}

// Frames a layer III decoder refuses: rate index 3, an ID bit unlike the
// stream's, and another layer.
TEST(MpegL3Bitstream, RefusedFrames) {
  Bytes good = emptyFrame(0xFB, 0x90, 0x64);
  Decoder dec;
  mpaHeader hdr{};
  int size = mpaParseHeader(good.data(), int(good.size()), &hdr);
  ASSERT_EQ(mpaDecodeInit(dec.get(), &hdr, size, 0, 0, 0, 24000), 1);
  Bytes out(4608);
  struct Case {
    const char* what;
    uint8_t b1, b2;
  } cases[] = {{"rate index 3", 0xFB, 0x9C}, {"ID bit 0", 0xF3, 0x90}, {"layer II", 0xFD, 0x90}};
  for (const Case& c : cases) {
    Bytes f = good;
    f[1] = c.b1;
    f[2] = c.b2;
    mpaInOut r = mpaDecode(dec.get(), f.data(), out.data());
    EXPECT_EQ(r.inBytes, 0) << c.what;
    EXPECT_EQ(r.outBytes, 0) << c.what;
  }
  EXPECT_EQ(mpaDecode(dec.get(), good.data(), out.data()).inBytes, 417);
}

}  // namespace
