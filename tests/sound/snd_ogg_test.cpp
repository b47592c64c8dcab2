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

  // name.ogg of `frames` sample frames (a sweep at 22050 Hz, with noise of
  // that amplitude: the more, the more pages).
  std::string makeOgg(const std::string& name, int channels, int frames, int noise = 0) {
    const std::string wav = tmp_.file(name + ".wav"), ogg = tmp_.file(name + ".ogg");
    const std::string program =
        "import math, random, struct, sys, wave\n"
        "ch, n, noise, r = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), random.Random(1)\n"
        "w = wave.open(sys.argv[1], 'wb'); w.setnchannels(ch); w.setsampwidth(2); w.setframerate(22050)\n"
        "w.writeframes(b''.join(struct.pack('<h', int(9000 * math.sin(i * (0.01 + i * 1e-6) + c)"
        " + noise * r.uniform(-1, 1))) for i in range(n) for c in range(ch)))\n"
        "w.close()\n";
    EXPECT_EQ(runPython({"-c", program, wav, std::to_string(channels), std::to_string(frames), std::to_string(noise)}),
              0);
    EXPECT_EQ(std::system(shellCommand({OGGENC, "-Q", "-q", "2", "-o", ogg, wav}).c_str()), 0);
    return ogg;
  }
  // ogg with its granule positions rewritten by ogg_granules.py (arguments
  // as it takes them) into name.ogg.
  std::string regranule(const std::string& ogg, const std::string& name, const std::vector<std::string>& args) {
    const std::string out = tmp_.file(name + ".ogg");
    std::vector<std::string> words{OGG_GRANULES_SCRIPT, ogg, out};
    words.insert(words.end(), args.begin(), args.end());
    EXPECT_EQ(runPython(words), 0);
    return out;
  }
  // Its raw PCM as oggdec decodes it, in sequence.
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
  // A fill past the end, the decoder left in the middle: silence, the total.
  std::vector<uint8_t> buf(4096);
  ASSERT_EQ(sndOggFill(s, buf.data(), 100000, 4096, 0), 104096);
  std::fill(buf.begin(), buf.end(), 0xAA);
  EXPECT_EQ(sndOggFill(s, buf.data(), 200004, 4096, 0), 200000);
  EXPECT_EQ(std::count(buf.begin(), buf.end(), 0), 4096);
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
    const std::string raised = regranule(ogg, "raised", {"--last", std::to_string(c.frames)});
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

// The first stable encoder's files: the granule positions of the audio pages
// run ahead of the samples decoded, and the last header page has one. A seek
// by them lands elsewhere than sequential decoding, and a length taken from
// them runs past the data. Wherever the lead begins and however it changes,
// the source's length and every position are those of oggdec's sequential
// decoding, and the loop from the end back to the start has no gap.
TEST_F(OggTest, GranulesAheadOfTheDecodedSamples) {
  // 9 audio pages of about 15000 sample frames.
  const std::string ogg = makeOgg("noisy", 2, 132300, 4000);
  struct Case {
    const char* name;
    std::vector<std::string> args;
  } cases[] = {
      {"ahead from the first audio page", {"--ahead", "3000", "0"}},
      {"ahead from the second audio page", {"--ahead", "3000", "1"}},
      {"ahead from the second, further from the sixth", {"--ahead", "2000", "1", "--ahead", "2500", "5"}},
      // Positions drop at the fifth page and pass the fourth's a page later.
      {"ahead from the second, behind from the fifth", {"--ahead", "5000", "1", "--ahead", "-20000", "4"}},
      // The last page before the end drops and is never passed: nothing is
      // sure but decoding from the start.
      {"behind on the last page before the end", {"--ahead", "-20000", "-2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--header", "1234"});
    const std::string early = regranule(ogg, "early", args);
    const std::string raw = rawOf(early);
    sndOggSource* s = sndOggOpen(early.c_str());
    ASSERT_NE(s, nullptr);
    const int32_t total = int32_t(raw.size());
    EXPECT_EQ(s->format.totalBytes, total);
    const std::string got = fillAll(s);
    ASSERT_GE(got.size(), raw.size());
    EXPECT_TRUE(got.compare(0, raw.size(), raw) == 0);
    // Fills that seek, back and forth over every page.
    std::vector<uint8_t> buf(4096);
    for (int32_t k = 0; k <= 40; ++k) {
      const int32_t at = (k % 2 ? k : 40 - k) * (total / 41) & ~3;
      SCOPED_TRACE(at);
      ASSERT_EQ(sndOggFill(s, buf.data(), at, int32_t(buf.size()), 1), at + 4096);
      EXPECT_TRUE(raw.compare(size_t(at), buf.size(), std::string(buf.begin(), buf.end())) == 0);
    }
    // The loop as the channels play it: the last bytes, then the start.
    ASSERT_EQ(sndOggFill(s, buf.data(), total - 4096, 4096, 0), total);
    std::string loop(buf.begin(), buf.end());
    ASSERT_EQ(sndOggFill(s, buf.data(), 0, 4096, 0), 4096);
    loop.append(buf.begin(), buf.end());
    EXPECT_TRUE(loop == raw.substr(raw.size() - 4096) + raw.substr(0, 4096));
    sndOggClose(s);
  }
}
