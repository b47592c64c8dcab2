// The WAV source: the RIFF walk over images in memory, the silent file made
// for a missing WAV, and an existing WAV that does not parse.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "base/mem.h"
#include "platform/test_api.h"
#include "sound/snd_source.h"
#include "support/shell.h"
#include "support/temp_dir.h"
#include "snd_support.h"

using namespace snd_test;

namespace {

// The main log of this process goes to a directory of its own (ctest runs
// the program's tests side by side): <dir>/sources.log.
class LogDir : public ::testing::Environment {
 public:
  void SetUp() override { plat::test::setModuleFileName(dir.file("sources.exe").c_str()); }
  TempDir dir;
};
LogDir* const logDir = static_cast<LogDir*>(::testing::AddGlobalTestEnvironment(new LogDir));
std::string mainLog() { return readBytes(logDir->dir.file("sources.log")); }

class WavTest : public ::testing::Test {
 protected:
  void SetUp() override {
    errInit();
    plat::test::takeMessageBoxes();
  }
  void TearDown() override { EXPECT_TRUE(plat::test::takeMessageBoxes().empty()); }
  TempDir tmp_;
};

struct ParseCase {
  const char* name;
  Bytes image;
  bool ok;
  uint16_t channels;   // of the info on success
  int64_t dataOffset;  // of the data pointer in the image
  uint32_t dataBytes;
};

std::vector<ParseCase> parseCases() {
  const Bytes pcm = {1, 2, 3, 4, 5, 6};
  std::vector<ParseCase> cases;
  cases.push_back({"plain", wavFile(2, 22050, 16, pcm), true, 2, 44, 6});
  {
    Bytes c;
    chunk(c, "fmt ", fmtBody(1, 11025, 8));
    chunk(c, "LIST", {9, 9, 9});  // odd: a pad byte follows
    chunk(c, "data", pcm);
    cases.push_back({"odd chunk before data", riff(c), true, 1, 56, 6});
  }
  {
    Bytes c, f = fmtBody(1, 22050, 16);
    f.resize(14);
    chunk(c, "fmt ", f);
    chunk(c, "data", pcm);
    cases.push_back({"14-byte fmt", riff(c), false, 0, 0, 0});
  }
  {
    Bytes c;
    chunk(c, "fmt ", fmtBody(1, 22050, 16));
    cases.push_back({"no data", riff(c), false, 0, 0, 0});
  }
  {
    Bytes c;
    chunk(c, "data", pcm);
    chunk(c, "fmt ", fmtBody(1, 22050, 16));
    cases.push_back({"fmt after data: format zero", riff(c), true, 0, 20, 6});
  }
  {
    Bytes c;
    chunk(c, "fmt ", fmtBody(1, 22050, 16));
    chunk(c, "data", pcm, 1000);
    cases.push_back({"data size past the image", riff(c), true, 1, 44, 6});
  }
  {
    Bytes c;
    chunk(c, "fmt ", fmtBody(1, 22050, 16));
    chunk(c, "data", pcm);
    cases.push_back({"RIFF size past the image", riff(c, 0x7ffffff0), true, 1, 44, 6});
    cases.push_back({"RIFF size ends before data", riff(c, 4 + 24), false, 0, 0, 0});
    Bytes cut = riff(c);
    cut.resize(40);  // the data chunk's header does not fit
    cases.push_back({"data header cut", cut, false, 0, 0, 0});
  }
  {
    Bytes c;
    chunk(c, "fmt ", fmtBody(1, 22050, 16));
    putId(c, "JUNK");
    put32(c, 0xfffffff0);  // a skip far past the end
    cases.push_back({"huge chunk size", riff(c), false, 0, 0, 0});
    Bytes fmtCut;
    putId(fmtCut, "fmt ");
    put32(fmtCut, 16);
    put16(fmtCut, 1);
    cases.push_back({"fmt body cut", riff(fmtCut), false, 0, 0, 0});
  }
  Bytes notWave = wavFile(1, 22050, 16, pcm);
  std::memcpy(notWave.data() + 8, "AVI ", 4);
  cases.push_back({"not WAVE", notWave, false, 0, 0, 0});
  cases.push_back({"too short", Bytes{'R', 'I', 'F', 'F'}, false, 0, 0, 0});
  return cases;
}

}  // namespace

TEST_F(WavTest, ParseCases) {
  for (const ParseCase& c : parseCases()) {
    SCOPED_TRACE(c.name);
    // The image in a block of exactly its size, so a read past it is caught.
    std::unique_ptr<uint8_t[]> image(new uint8_t[c.image.size()]);
    std::memcpy(image.get(), c.image.data(), c.image.size());
    sndWavInfo* info = nullptr;
    const Caught caught = catching([&] { info = sndDsParseWav(nullptr, image.get(), uint32_t(c.image.size())); });
    if (!c.ok) {
      EXPECT_EQ(caught.code, ERR_DATA);
      EXPECT_EQ(info, nullptr);
      continue;
    }
    ASSERT_EQ(caught.code, 0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->channels, c.channels);
    EXPECT_EQ(info->data - image.get(), c.dataOffset);
    EXPECT_EQ(info->dataBytes, c.dataBytes);
    memHooks.free(info);
  }
}

TEST_F(WavTest, ParseClearsAGivenInfo) {
  const Bytes image = wavFile(1, 8000, 8, {0x80, 0x81});
  sndWavInfo info;
  std::memset(&info, 0x5a, sizeof info);
  ASSERT_EQ(sndDsParseWav(&info, image.data(), uint32_t(image.size())), &info);
  EXPECT_EQ(info.formatTag, 1);
  EXPECT_EQ(info.samplesPerSec, 8000u);
  EXPECT_EQ(info.avgBytesPerSec, 8000u);
  EXPECT_EQ(info.blockAlign, 1);
  EXPECT_EQ(info.bitsPerSample, 8);
  EXPECT_EQ(info.extraSize, 0);
}

TEST_F(WavTest, MissingFileBecomesTheSilentWav) {
  const std::string name = tmp_.file("click.wav");
  sndWavSource* s = nullptr;
  EXPECT_EQ(catching([&] { s = sndWavOpen(name.c_str()); }).code, 0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->channel, -1);
  EXPECT_EQ(s->flags, uint32_t(SND_WAV_OWNS_IMAGE));
  EXPECT_EQ(s->info.channels, 1);
  EXPECT_EQ(s->info.samplesPerSec, 22050u);
  EXPECT_EQ(s->info.bitsPerSample, 16);
  EXPECT_EQ(s->info.dataBytes, 4u);
  sndWavClose(s);

  Bytes expected;
  putId(expected, "RIFF");
  put32(expected, 42);
  putId(expected, "WAVE");
  putId(expected, "fmt ");
  put32(expected, 18);
  const Bytes f = fmtBody(1, 22050, 16);
  expected.insert(expected.end(), f.begin(), f.end());
  put16(expected, 18);
  putId(expected, "data");
  put32(expected, 4);
  put32(expected, 0);
  const std::string bytes = readBytes(name);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), expected);

  // A later open finds and plays the file made.
  s = sndWavOpen(name.c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->info.dataBytes, 4u);
  sndWavClose(s);
}

TEST_F(WavTest, ExistingFileThatDoesNotParseFailsAndStays) {
  for (const std::string& content : {std::string("not a wav at all"), std::string()}) {
    const std::string name = tmp_.file("bad.wav");
    writeBytes(name, content);
    sndWavSource* s = nullptr;
    EXPECT_EQ(catching([&] { s = sndWavOpen(name.c_str()); }).code, ERR_DATA);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(readBytes(name), content);
    for (mfFile* f = mfOpenFiles(); f; f = f->next) EXPECT_STRNE(f->name, name.c_str());
  }
}

TEST_F(WavTest, ExistingFileMapsItsPcm) {
  const Bytes pcm = {1, 0, 2, 0, 3, 0, 4, 0};
  const std::string name = tmp_.file("tone.wav");
  const Bytes file = wavFile(2, 44100, 16, pcm);
  writeBytes(name, std::string(file.begin(), file.end()));
  sndWavSource* s = sndWavOpen(name.c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->info.channels, 2);
  ASSERT_EQ(s->info.dataBytes, pcm.size());
  EXPECT_EQ(Bytes(s->info.data, s->info.data + pcm.size()), pcm);
  sndWavClose(s);
}

namespace {

// Rewrites the RIFF WAVE file src as dst with a WAVE_FORMAT_EXTENSIBLE "fmt "
// chunk: the same first 16 bytes under tag 0xFFFE, then valid bits, channel
// mask and the sub-format GUID of the given tag ("none": no extension).
const char* const kToExtensible =
    "import struct, sys\n"
    "src, dst, sub = sys.argv[1], sys.argv[2], sys.argv[3]\n"
    "b = open(src, 'rb').read(); out = b''; pos = 12\n"
    "while pos + 8 <= len(b):\n"
    "  cid, n = b[pos:pos + 4], struct.unpack('<I', b[pos + 4:pos + 8])[0]; body = b[pos + 8:pos + 8 + n]\n"
    "  if cid == b'fmt ':\n"
    "    ch, bits = struct.unpack('<H', body[2:4])[0], struct.unpack('<H', body[14:16])[0]\n"
    "    body = struct.pack('<H', 0xFFFE) + body[2:16]\n"
    "    if sub == 'none': body += struct.pack('<H', 0)\n"
    "    else: body += struct.pack('<HHI', 22, bits, 3 if ch == 2 else 4) + struct.pack('<H', int(sub))"
    " + bytes.fromhex('000000001000800000aa00389b71')\n"
    "  out += cid + struct.pack('<I', len(body)) + body + b'\\0' * (len(body) & 1); pos += 8 + n + (n & 1)\n"
    "open(dst, 'wb').write(b'RIFF' + struct.pack('<I', len(out) + 4) + b'WAVE' + out)\n";

}  // namespace

// WAVs of other programs: sox writes formats other than PCM (mu-law, A-law,
// float, ADPCM) and, beyond two channels or 16 bits, WAVE_FORMAT_EXTENSIBLE;
// more extensible files are rewritten from sox's. A format the channels
// cannot play as PCM fails the open with -72, says why in the log and leaves
// the file as it was; extensible PCM of 8 or 16 bits in one or two channels
// plays as PCM.
TEST_F(WavTest, FormatsOtherThanPcmAreRefused) {
  struct Case {
    const char* name;
    std::vector<std::string> sox;  // encoding options
    const char* extensible;        // the sub-format of a rewrite, or null
    const char* logged;            // what the log says, or null: accepted
  } cases[] = {
      {"mu-law", {"-e", "mu-law", "-b", "8", "-c", "1"}, nullptr, "WAV format tag 0x0007 is not PCM"},
      {"A-law", {"-e", "a-law", "-b", "8", "-c", "1"}, nullptr, "WAV format tag 0x0006 is not PCM"},
      {"IEEE float", {"-e", "floating-point", "-b", "32", "-c", "2"}, nullptr, "WAV format tag 0x0003 is not PCM"},
      {"ADPCM", {"-e", "ms-adpcm", "-b", "4", "-c", "1"}, nullptr, "WAV format tag 0x0002 is not PCM"},
      {"extensible, 24 bits", {"-e", "signed", "-b", "24", "-c", "2"}, nullptr,
       "WAV format tag 0xFFFE holds PCM of 24 bits in 2 channels, which cannot be played"},
      {"extensible, 6 channels", {"-e", "signed", "-b", "16", "-c", "6"}, nullptr,
       "WAV format tag 0xFFFE holds PCM of 16 bits in 6 channels, which cannot be played"},
      {"extensible float", {"-e", "floating-point", "-b", "32", "-c", "2"}, "3",
       "WAV format tag 0xFFFE with sub-format 0x0003 is not PCM"},
      {"extensible without its sub-format", {"-e", "signed", "-b", "16", "-c", "2"}, "none",
       "WAV format tag 0xFFFE has no sub-format"},
      {"extensible PCM, 16 bits stereo", {"-e", "signed", "-b", "16", "-c", "2"}, "1", nullptr},
      {"extensible PCM, 8 bits mono", {"-e", "unsigned", "-b", "8", "-c", "1"}, "1", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string made = tmp_.file("made.wav"), name = tmp_.file("sound.wav");
    std::vector<std::string> words{SOX, "-R", "-n", "-r", "22050"};
    words.insert(words.end(), c.sox.begin(), c.sox.end());
    words.insert(words.end(), {made, "synth", "0.1", "sine", "440"});
    ASSERT_EQ(std::system(shellCommand(words).c_str()), 0);
    if (c.extensible)
      ASSERT_EQ(runPython({"-c", kToExtensible, made, name, c.extensible}), 0);
    else
      std::filesystem::rename(made, name);
    const std::string before = readBytes(name);
    const size_t logged = mainLog().size();

    sndWavSource* s = nullptr;
    const Caught caught = catching([&] { s = sndWavOpen(name.c_str()); });
    if (!c.logged) {
      ASSERT_EQ(caught.code, 0);
      ASSERT_NE(s, nullptr);
      // The same PCM as sox's own file.
      const std::string soxFile = readBytes(made);
      const Bytes plain(soxFile.begin(), soxFile.end());
      const sndWavInfo* sox = sndDsParseWav(nullptr, plain.data(), uint32_t(plain.size()));
      ASSERT_NE(sox, nullptr);
      EXPECT_EQ(s->info.formatTag, 0xFFFE);
      EXPECT_EQ(s->info.channels, sox->channels);
      EXPECT_EQ(s->info.bitsPerSample, sox->bitsPerSample);
      EXPECT_EQ(Bytes(s->info.data, s->info.data + s->info.dataBytes),
                Bytes(sox->data, sox->data + sox->dataBytes));
      memHooks.free(const_cast<sndWavInfo*>(sox));
      sndWavClose(s);
      EXPECT_EQ(mainLog().size(), logged);
      continue;
    }
    EXPECT_EQ(caught.code, ERR_FORMAT);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(readBytes(name), before);
    for (mfFile* f = mfOpenFiles(); f; f = f->next) EXPECT_STRNE(f->name, name.c_str());
    EXPECT_NE(mainLog().find("'" + name + "': " + c.logged + "; the sound is not loaded", logged), std::string::npos)
        << mainLog().substr(logged);
  }
}
