// The Ogg Vorbis source over files that oggenc makes from WAVs written by
// Python, beside oggdec's raw output of the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/test_api.h"
#include "sound/snd_source.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

class OggTest : public ::testing::Test {
 protected:
  void SetUp() override { errInit(); }

  // name.ogg of `frames` sample frames (a sweep at 22050 Hz); its raw PCM as
  // oggdec decodes it.
  std::string makeOgg(const std::string& name, int channels, int frames) {
    const std::string wav = tmp_.file(name + ".wav"), ogg = tmp_.file(name + ".ogg");
    const std::string program =
        "import math, struct, sys, wave\n"
        "ch, n = int(sys.argv[2]), int(sys.argv[3])\n"
        "w = wave.open(sys.argv[1], 'wb'); w.setnchannels(ch); w.setsampwidth(2); w.setframerate(22050)\n"
        "w.writeframes(b''.join(struct.pack('<h', int(9000 * math.sin(i * (0.01 + i * 1e-6) + c)))"
        " for i in range(n) for c in range(ch)))\n"
        "w.close()\n";
    EXPECT_EQ(runPython({"-c", program, wav, std::to_string(channels), std::to_string(frames)}), 0);
    EXPECT_EQ(std::system(shellCommand({OGGENC, "-Q", "-q", "2", "-o", ogg, wav}).c_str()), 0);
    return ogg;
  }
  std::string rawOf(const std::string& ogg) {
    const std::string raw = ogg + ".raw";
    EXPECT_EQ(std::system(shellCommand({OGGDEC, "-Q", "-R", "-o", raw, ogg}).c_str()), 0);
    return readBytes(raw);
  }
  // The whole stream in sequential fills of 16384 bytes from position 0: the
  // last fill runs past the data.
  static std::string fillAll(sndOggSource* s) {
    std::string got;
    std::vector<uint8_t> half(16384);
    for (int32_t pos = 0; pos < s->format.totalBytes;) {
      std::fill(half.begin(), half.end(), 0xAA);
      const int32_t next = sndOggFill(s, half.data(), pos, int32_t(half.size()), 0);
      got.append(half.begin(), half.end());
      if (next <= pos) {
        ADD_FAILURE() << "the fill at " << pos << " returned " << next;
        break;
      }
      pos = next;
    }
    return got;
  }

  TempDir tmp_;
};

}  // namespace

TEST_F(OggTest, FillsOverTheWholeStreamEqualOggdec) {
  const std::string ogg = makeOgg("mono", 1, 100000);
  sndOggSource* s = sndOggOpen(ogg.c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->format.channels, 1);
  EXPECT_EQ(s->format.samplesPerSec, 22050);
  EXPECT_EQ(s->format.bitsPerSample, 16);
  EXPECT_EQ(s->format.totalBytes, 200000);
  EXPECT_EQ(s->format.requestedBytes, 32768);

  const std::string raw = rawOf(ogg);
  ASSERT_EQ(raw.size(), 200000u);
  const std::string got = fillAll(s);
  // The last request ran past the data: the rest of it is silence.
  ASSERT_GE(got.size(), raw.size());
  EXPECT_TRUE(got.compare(0, raw.size(), raw) == 0);
  EXPECT_EQ(got.find_first_not_of('\0', raw.size()), std::string::npos);
  sndOggClose(s);
}

TEST_F(OggTest, TwoChannelsSeekToTheirOwnPositions) {
  const std::string ogg = makeOgg("stereo", 2, 60000);
  const std::string raw = rawOf(ogg);
  sndOggSource* s = sndOggOpen(ogg.c_str());
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->format.totalBytes, int32_t(raw.size()));
  const int32_t n = 16384;
  int32_t a = 0, b = 0;
  std::vector<uint8_t> buf(n);
  // Channel 1 starts two halves after channel 0; the fills alternate.
  for (int round = 0; round < 4; ++round) {
    for (int ch = 0; ch < 2; ++ch) {
      int32_t& pos = ch ? b : a;
      if (ch && round == 0) pos = 0;
      const int32_t next = sndOggFill(s, buf.data(), pos, n, ch);
      SCOPED_TRACE("channel " + std::to_string(ch) + " at " + std::to_string(pos));
      EXPECT_EQ(next, pos + n);
      EXPECT_TRUE(raw.compare(size_t(pos), size_t(n), std::string(buf.begin(), buf.end())) == 0);
      pos = next;
    }
    if (round == 0) a += 2 * n;  // the first channel skips ahead
  }
  sndOggClose(s);
}

TEST_F(OggTest, ChainedAndMissingFilesAreRefused) {
  const std::string one = makeOgg("one", 1, 5000), two = makeOgg("two", 2, 5000);
  const std::string chained = tmp_.file("chained.ogg");
  writeBytes(chained, readBytes(one) + readBytes(two));
  EXPECT_EQ(sndOggOpen(chained.c_str()), nullptr);
  EXPECT_EQ(sndOggOpen(tmp_.file("missing.ogg").c_str()), nullptr);
  writeBytes(tmp_.file("text.ogg"), "not an ogg file");
  EXPECT_EQ(sndOggOpen(tmp_.file("text.ogg").c_str()), nullptr);
  // The files are not held open: another open of the first one works.
  sndOggSource* s = sndOggOpen(one.c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->format.totalBytes, 10000);
  sndOggClose(s);
}

// Old encoders' files announce a length their data does not have: the last
// page's granule position lies past the data (raised here, the page's CRC
// written again). The source's length is what oggdec decodes in sequence,
// and fills at other positions give the same samples as the sequential read.
TEST_F(OggTest, LastGranulePastTheDataIsNotTheLength) {
  const char* const raise =
      "import struct, sys\n"
      "def crc(data):\n"
      "  c = 0\n"
      "  for b in data:\n"
      "    c ^= b << 24\n"
      "    for _ in range(8): c = (c << 1) ^ 0x104C11DB7 if c & 0x80000000 else c << 1\n"
      "  return c\n"
      "b = bytearray(open(sys.argv[1], 'rb').read()); pos = last = 0\n"
      "while pos < len(b):\n"
      "  last = pos; n = b[pos + 26]; pos += 27 + n + sum(b[pos + 27:pos + 27 + n])\n"
      "granule = struct.unpack('<q', b[last + 6:last + 14])[0] + int(sys.argv[3])\n"
      "b[last + 6:last + 14] = struct.pack('<q', granule); b[last + 22:last + 26] = bytes(4)\n"
      "b[last + 22:last + 26] = struct.pack('<I', crc(b[last:pos]))\n"
      "open(sys.argv[2], 'wb').write(b)\n";
  const std::string ogg = makeOgg("stereo", 2, 60000);
  const std::string untouched = rawOf(ogg);
  struct Case {
    const char* name;
    int64_t frames;  // added to the last granule position
  } cases[] = {
      {"within the last second announced", 3000},
      {"before the last second announced", 100000},
      {"beyond 32 bits of bytes", int64_t(1) << 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string raised = tmp_.file("raised.ogg");
    ASSERT_EQ(runPython({"-c", raise, ogg, raised, std::to_string(c.frames)}), 0);
    const std::string raw = rawOf(raised);
    ASSERT_GE(raw.size(), untouched.size());
    sndOggSource* s = sndOggOpen(raised.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->format.totalBytes, int32_t(raw.size()));
    const std::string got = fillAll(s);
    ASSERT_GE(got.size(), raw.size());
    EXPECT_TRUE(got.compare(0, raw.size(), raw) == 0);
    // Fills that seek: the last 4096 bytes, then back to the middle.
    for (const int32_t at : {int32_t(raw.size() - 4096), int32_t(raw.size() / 2 & ~3u)}) {
      std::vector<uint8_t> buf(4096);
      EXPECT_EQ(sndOggFill(s, buf.data(), at, int32_t(buf.size()), 1), at + 4096);
      EXPECT_TRUE(raw.compare(size_t(at), buf.size(), std::string(buf.begin(), buf.end())) == 0) << at;
    }
    sndOggClose(s);
  }
}
