// The MP3 source's arithmetic over a stand-in decoder, and the source over
// lame's files with the real decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mp3_stand_in.h"
#include "mpeg_support.h"
#include "platform/test_api.h"
#include "snd_support.h"
#include "sound/snd_source.h"
#include "support/shell.h"
#include "support/temp_dir.h"

using snd_test::Bytes;
using snd_test::catching;

namespace {

// The stream's word at byte offset o (a multiple of 4).
uint32_t streamWord(int64_t o) { return uint32_t(o / kFrameOut) << 16 | uint32_t(o % kFrameOut / 4); }

// bytes of buf hold the stream from offset `at`; the first mismatch or "".
std::string checkStream(const uint8_t* buf, int32_t bytes, int64_t at) {
  for (int32_t i = 0; i < bytes; i += 4) {
    uint32_t w;
    std::memcpy(&w, buf + i, 4);
    if (w != streamWord(at + i)) return "byte " + std::to_string(i) + " of the stream at " + std::to_string(at);
  }
  return "";
}
bool silent(const uint8_t* buf, int32_t bytes) {
  for (int32_t i = 0; i < bytes; ++i)
    if (buf[i]) return false;
  return true;
}

class Mp3Test : public ::testing::Test {
 protected:
  void SetUp() override {
    errInit();
    plat::test::takeMessageBoxes();
    sndMp3SetCodec(&kStandIn);
    standInReleases = 0;
  }
  void TearDown() override {
    sndMp3SetCodec(nullptr);
    EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
  }
  sndMp3Source* open(const Bytes& bytes) {
    const std::string name = tmp_.file("sound.mp3");
    writeBytes(name, std::string(bytes.begin(), bytes.end()));
    sndMp3Source* s = nullptr;
    const auto caught = catching([&] { s = sndMp3Open(name.c_str()); });
    EXPECT_EQ(caught.code, 0) << caught.text;
    return s;
  }
  TempDir tmp_;
  std::vector<uint8_t> buf_ = std::vector<uint8_t>(16384);
};

}  // namespace

TEST_F(Mp3Test, RequestTakesWholeFramesAndCarriesTheRest) {
  sndMp3Source* s = open(standInFrames(10));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->format.channels, 2);
  EXPECT_EQ(s->format.samplesPerSec, 44100);
  EXPECT_EQ(s->format.bitsPerSample, 16);
  EXPECT_EQ(s->format.totalBytes, SND_DS_OPEN_TOTAL);
  EXPECT_EQ(s->format.requestedBytes, 32768);
  // Three frames and 2560 bytes of the fourth; its other 2048 wait.
  EXPECT_EQ(sndMp3Fill(s, buf_.data(), 0, 16384, 0), 16384);
  EXPECT_EQ(checkStream(buf_.data(), 16384, 0), "");
  EXPECT_EQ(s->carryStart, 16384);
  EXPECT_EQ(s->carryLength, 2048);
  EXPECT_EQ(s->inputOffset, 4 * kFrameIn);
  EXPECT_EQ(sndMp3Fill(s, buf_.data(), 16384, 16384, 0), 32768);
  EXPECT_EQ(checkStream(buf_.data(), 16384, 16384), "");
  sndMp3Close(s);
  EXPECT_EQ(standInReleases, 1);
}

TEST_F(Mp3Test, EndsOfTheStream) {
  // Five frames: 23040 bytes. The second request holds 6656 of them.
  struct Case {
    const char* name;
    int loop;
    int32_t result;
  } cases[] = {{"non-looping: the last frame, silence, the total", 0, SND_DS_OPEN_TOTAL},
               {"looping: frame 0 again behind the last", 1, 16384 - 6656}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sndMp3Source* s = open(standInFrames(5));
    ASSERT_NE(s, nullptr);
    s->loop = c.loop;
    ASSERT_EQ(sndMp3Fill(s, buf_.data(), 0, 16384, 0), 16384);
    std::fill(buf_.begin(), buf_.end(), 0xAA);
    EXPECT_EQ(sndMp3Fill(s, buf_.data(), 16384, 16384, 0), c.result);
    EXPECT_EQ(checkStream(buf_.data(), 6656, 16384), "");
    if (c.loop)
      EXPECT_EQ(checkStream(buf_.data() + 6656, 16384 - 6656, 0), "");
    else
      EXPECT_TRUE(silent(buf_.data() + 6656, 16384 - 6656));
    sndMp3Close(s);
  }
}

TEST_F(Mp3Test, StreamEndingInsideTheFirstFillEndsWithTheNext) {
  // The buffer's first fill sets no end, so the end comes with the next fill.
  sndMp3Source* s = open(standInFrames(2));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(sndMp3Fill(s, buf_.data(), 0, 16384, 3), 16384);
  EXPECT_EQ(checkStream(buf_.data(), 2 * kFrameOut, 0), "");
  EXPECT_TRUE(silent(buf_.data() + 2 * kFrameOut, 16384 - 2 * kFrameOut));
  std::fill(buf_.begin(), buf_.end(), 0xAA);
  EXPECT_EQ(sndMp3Fill(s, buf_.data(), 16384, 16384, 3), SND_DS_OPEN_TOTAL);
  EXPECT_TRUE(silent(buf_.data(), 16384));
  sndMp3Close(s);
}

TEST_F(Mp3Test, RefusedFramesEndTheStream) {
  // A refusal in mid-stream ends it; a looping stream whose first frame is
  // refused ends too instead of restarting for ever.
  Bytes middle = standInFrames(2), refused = standInFrame(2, kStandInRefused), after = standInFrame(3);
  middle.insert(middle.end(), refused.begin(), refused.end());
  middle.insert(middle.end(), after.begin(), after.end());
  for (int loop : {0, 1}) {
    SCOPED_TRACE(loop);
    sndMp3Source* s = open(standInFrame(0, kStandInRefused));
    ASSERT_NE(s, nullptr);
    int32_t pos = 4096;
    std::fill(buf_.begin(), buf_.end(), 0xAA);
    sndMp3Read(s, buf_.data(), &pos, 16384, loop);
    EXPECT_EQ(pos, SND_DS_OPEN_TOTAL);
    EXPECT_TRUE(silent(buf_.data(), 16384));
    sndMp3Close(s);
  }
  sndMp3Source* s = open(middle);
  ASSERT_NE(s, nullptr);
  int32_t pos = 0;
  sndMp3Read(s, buf_.data(), &pos, 16384, 0);
  EXPECT_EQ(pos, SND_DS_OPEN_TOTAL);
  EXPECT_EQ(checkStream(buf_.data(), 2 * kFrameOut, 0), "");
  EXPECT_TRUE(silent(buf_.data() + 2 * kFrameOut, 16384 - 2 * kFrameOut));
  sndMp3Close(s);
}

TEST_F(Mp3Test, OpenFailures) {
  // No sync in the first 4096 bytes: raised, no box, nothing left open.
  Bytes late(4096, 0);
  const Bytes more = standInFrames(3);
  late.insert(late.end(), more.begin(), more.end());
  const std::string name = tmp_.file("late.mp3");
  writeBytes(name, std::string(late.begin(), late.end()));
  sndMp3Source* s = nullptr;
  auto caught = catching([&] { s = sndMp3Open(name.c_str()); });
  EXPECT_EQ(caught.code, ERR_PRINTF);
  EXPECT_EQ(caught.text, "MPEG decoder initialization failed !");
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(standInReleases, 1);
  for (mfFile* f = mfOpenFiles(); f; f = f->next) EXPECT_STRNE(f->name, name.c_str());

  caught = catching([&] { s = sndMp3Open(tmp_.file("missing.mp3").c_str()); });
  EXPECT_EQ(caught.code, ERR_CANT_OPEN);
  EXPECT_EQ(s, nullptr);

  // A sync just inside the first 4096 bytes is found.
  late.erase(late.begin(), late.begin() + 8);
  s = open(late);
  ASSERT_NE(s, nullptr);
  sndMp3Close(s);
}

TEST_F(Mp3Test, LeadingId3v2TagIsSkipped) {
  // A 6000-byte tag whose body holds a sync: the frames after it play.
  Bytes file = {'I', 'D', '3', 3, 0, 0, 0, 0, 6000 >> 7, 6000 & 0x7f};
  const Bytes fake = standInFrame(99);
  file.insert(file.end(), fake.begin(), fake.end());
  file.resize(10 + 6000, 0);
  const Bytes body = standInFrames(4);
  file.insert(file.end(), body.begin(), body.end());
  sndMp3Source* s = open(file);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->dataStart, 6010);
  EXPECT_EQ(sndMp3Fill(s, buf_.data(), 0, 16384, 0), 16384);
  EXPECT_EQ(checkStream(buf_.data(), 16384, 0), "");
  sndMp3Close(s);
}

namespace {

// The stream of a file through sndMp3Fill in 16384-byte requests until it
// ends (or `limit` bytes, looping for ever); the bytes and the last position.
struct Stream {
  Bytes bytes;
  int32_t end = 0;
};
Stream streamOf(const std::string& path, int loop, size_t limit) {
  Stream r;
  sndMp3Source* s = nullptr;
  const auto caught = catching([&] { s = sndMp3Open(path.c_str()); });
  EXPECT_EQ(caught.code, 0) << caught.text;
  if (!s) return r;
  s->loop = loop;
  std::vector<uint8_t> half(16384);
  while (r.end != SND_DS_OPEN_TOTAL && r.bytes.size() < limit) {
    r.end = sndMp3Fill(s, half.data(), r.end, int32_t(half.size()), 0);
    r.bytes.insert(r.bytes.end(), half.begin(), half.end());
  }
  sndMp3Close(s);
  return r;
}

// `mp3`, encoded by lame with these options from a sweep of `seconds` that
// sox makes.
void makeMp3(const std::string& mp3, int rate, int channels, const char* seconds,
             const std::vector<std::string>& options) {
  const std::string wav = mp3 + ".wav";
  EXPECT_EQ(std::system(shellCommand({SOX, "-R", "-n", "-r", std::to_string(rate), "-c", std::to_string(channels),
                                      "-b", "16", wav, "synth", seconds, "sine", "300-3000", "gain", "-6"})
                            .c_str()),
            0);
  std::vector<std::string> words{LAME, "--quiet"};
  words.insert(words.end(), options.begin(), options.end());
  words.insert(words.end(), {wav, mp3});
  EXPECT_EQ(std::system(shellCommand(words).c_str()), 0);
}

}  // namespace

// lame's file through sndMp3Fill: exactly the decoder's own output for every
// frame, then silence.
TEST(Mp3RealDecoder, FillsYieldTheDecodersOutput) {
  errInit();
  const std::vector<std::string> files = mpeg_test::fixtures("layer3-mpeg1");
  ASSERT_FALSE(files.empty());
  for (const std::string& path : {files.front(), files.back()}) {
    SCOPED_TRACE(path);
    const mpeg_test::Decoded expected = mpeg_test::decodeStream(mpeg_test::readFile(path));
    ASSERT_TRUE(expected.ok);
    ASSERT_GT(expected.pcm.size(), 32768u);
    sndMp3Source* s = sndMp3Open(path.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->format.channels, expected.info.channels);
    EXPECT_EQ(s->format.samplesPerSec, expected.info.rate);
    sndMp3Close(s);
    const Stream got = streamOf(path, 0, expected.pcm.size() + 65536);
    EXPECT_EQ(got.end, SND_DS_OPEN_TOTAL);
    ASSERT_GE(got.bytes.size(), expected.pcm.size());
    EXPECT_TRUE(std::equal(expected.pcm.begin(), expected.pcm.end(), got.bytes.begin()));
    EXPECT_TRUE(silent(got.bytes.data() + expected.pcm.size(), int32_t(got.bytes.size() - expected.pcm.size())));
  }
}

// lame's first frame carries its info tag ("Info", "Xing"; Fraunhofer's
// "VBRI" is written here over it) and no sound; lame -t writes the same file
// without it. Both play the same samples, as many as libmpg123 gives for the
// untagged file, also from the restart of a loop. (In free format the last frame, which no frame
// follows to measure it by, plays too.)
TEST(Mp3RealDecoder, InfoFrameIsNotPlayed) {
  errInit();
  struct Case {
    const char* name;
    int rate, channels;
    std::vector<std::string> lame;
    int vbriOver;  // >= 0: the tag at this offset becomes "VBRI" at 36
  } cases[] = {
      {"Info, MPEG-1 stereo", 44100, 2, {"-b", "128"}, -1},
      {"Xing, VBR", 44100, 2, {"-V", "4"}, -1},
      {"Info behind a CRC word", 44100, 2, {"-b", "128", "-p"}, -1},
      {"Info behind an ID3v2 tag", 44100, 2, {"-b", "128", "--add-id3v2", "--tt", "tone"}, -1},
      {"Info, MPEG-1 mono", 32000, 1, {"-b", "64", "-m", "m"}, -1},
      {"Info, MPEG-2 stereo", 22050, 2, {"-b", "64"}, -1},
      {"Info, MPEG-2 mono", 24000, 1, {"-b", "64", "-m", "m"}, -1},
      {"Info, MPEG-2.5", 11025, 2, {"-b", "64"}, -1},
      {"VBRI", 32000, 1, {"-b", "64", "-m", "m"}, 4 + 17},
      {"Info, free format", 44100, 2, {"--freeformat", "-b", "256"}, -1},
  };
  TempDir tmp;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string tagged = tmp.file("tagged.mp3"), plain = tmp.file("plain.mp3");
    std::vector<std::string> options = c.lame;
    makeMp3(tagged, c.rate, c.channels, "0.4", options);
    options.push_back("-t");
    makeMp3(plain, c.rate, c.channels, "0.4", options);
    Bytes file = mpeg_test::readFile(tagged);
    ASSERT_GT(file.size(), mpeg_test::readFile(plain).size());  // the info frame
    if (c.vbriOver >= 0) {
      ASSERT_EQ(std::string(file.begin() + c.vbriOver, file.begin() + c.vbriOver + 4), "Info");
      std::fill_n(file.begin() + c.vbriOver, 4, 0);
      std::copy_n("VBRI", 4, file.begin() + 36);
      mpeg_test::writeFile(tagged, file);
    }

    // Neither plays its info frame: both give what the decoder makes of the
    // untagged file's frames, then silence.
    Bytes frames = mpeg_test::readFile(plain);
    if (frames.size() > 10 && std::equal(frames.begin(), frames.begin() + 3, "ID3")) {
      const int tagSize = frames[6] << 21 | frames[7] << 14 | frames[8] << 7 | frames[9];
      frames.erase(frames.begin(), frames.begin() + 10 + tagSize);
    }
    const mpeg_test::Decoded expected = mpeg_test::decodeStream(frames);
    ASSERT_TRUE(expected.ok);
    EXPECT_EQ(expected.pcm.size() / 2, mpeg_test::referenceDecode(plain).samples.size());
    for (const std::string& path : {tagged, plain}) {
      const Stream got = streamOf(path, 0, expected.pcm.size() + 65536);
      EXPECT_EQ(got.end, SND_DS_OPEN_TOTAL);
      ASSERT_GE(got.bytes.size(), expected.pcm.size());
      EXPECT_TRUE(std::equal(expected.pcm.begin(), expected.pcm.end(), got.bytes.begin())) << path;
      EXPECT_TRUE(silent(got.bytes.data() + expected.pcm.size(), int32_t(got.bytes.size() - expected.pcm.size())));
    }
    // Looping, the restarts skip it too.
    const size_t twice = 2 * expected.pcm.size() + 16384;
    EXPECT_TRUE(streamOf(tagged, 1, twice).bytes == streamOf(plain, 1, twice).bytes);
  }
}

TEST(Mp3RealDecoder, InfoFrameAloneIsAnEmptyStream) {
  errInit();
  TempDir tmp;
  const std::string mp3 = tmp.file("tone.mp3");
  makeMp3(mp3, 44100, 2, "0.2", {"-b", "128"});
  Bytes file = mpeg_test::readFile(mp3);
  file.resize(417);  // 128 kbit/s at 44100 Hz, no padding
  mpeg_test::writeFile(mp3, file);
  const Stream got = streamOf(mp3, 0, 65536);
  EXPECT_EQ(got.end, SND_DS_OPEN_TOTAL);
  EXPECT_TRUE(silent(got.bytes.data(), int32_t(got.bytes.size())));
}
