// The Ogg Vorbis source over files that oggenc makes from WAVs written by
// Python, beside oggdec's raw output of the same files.
#include <gtest/gtest.h>

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
  std::string got;
  std::vector<uint8_t> half(16384, 0xAA);
  for (int32_t pos = 0; pos < s->format.totalBytes;) {
    std::fill(half.begin(), half.end(), 0xAA);
    const int32_t next = sndOggFill(s, half.data(), pos, int32_t(half.size()), 0);
    got.append(half.begin(), half.end());
    ASSERT_GT(next, pos);
    pos = next;
  }
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
