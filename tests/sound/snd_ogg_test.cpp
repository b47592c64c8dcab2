// The Ogg Vorbis source over files that oggenc makes from WAVs written by
// Python, beside oggdec's raw output of the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/test_api.h"
#include "sound/snd_source.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

// An Ogg file as its pages, to be changed one by one and sealed again with
// their checksums.
struct OggPages {
  std::vector<std::string> pages;

  explicit OggPages(const std::string& file) {
    for (size_t at = 0; at + 27 <= file.size();) {
      const size_t segments = uint8_t(file[at + 26]);
      size_t length = 27 + segments;
      for (size_t i = 0; i < segments; ++i) length += uint8_t(file[at + 27 + i]);
      pages.push_back(file.substr(at, length));
      at += length;
    }
  }
  // The index of the first page after the one that ends the three header
  // packets (a lacing value below 255 ends a packet).
  size_t firstAudio() const {
    int packets = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
      for (size_t k = 0; k < uint8_t(pages[i][26]); ++k) packets += uint8_t(pages[i][27 + k]) < 255;
      if (packets >= 3) return i + 1;
    }
    return pages.size();
  }
  std::string join(size_t from, size_t to) const {
    std::string out;
    for (size_t i = from; i < to && i < pages.size(); ++i) out += pages[i];
    return out;
  }
  static std::string withSerial(std::string page, uint32_t serial) {
    std::memcpy(&page[14], &serial, 4);
    return sealed(page);
  }
  static std::string withGranule(std::string page, int64_t granule) {
    std::memcpy(&page[6], &granule, 8);
    return sealed(page);
  }
  static uint32_t serialOf(const std::string& page) {
    uint32_t serial;
    std::memcpy(&serial, &page[14], 4);
    return serial;
  }
  // The page's checksum written again (CRC-32, polynomial 0x04C11DB7, not
  // reflected, over the page with the checksum field zero).
  static std::string sealed(std::string page) {
    std::memset(&page[22], 0, 4);
    uint32_t crc = 0;
    for (const char c : page) {
      crc ^= uint32_t(uint8_t(c)) << 24;
      for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    std::memcpy(&page[22], &crc, 4);
    return page;
  }
};

// The files this process holds open.
size_t openFiles() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

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

  // Fills of 4096 bytes that seek back and forth over the whole stream, at
  // `steps` + 1 positions, give the bytes of `raw` there.
  static void expectSeeksAsDecoded(sndOggSource* s, const std::string& raw, int32_t steps) {
    const int32_t total = int32_t(raw.size());
    std::vector<uint8_t> buf(4096);
    for (int32_t k = 0; k <= steps; ++k) {
      const int32_t at = (k % 2 ? k : steps - k) * (total / (steps + 1)) & ~3;
      SCOPED_TRACE(at);
      ASSERT_EQ(sndOggFill(s, buf.data(), at, int32_t(buf.size()), 1), at + 4096);
      EXPECT_TRUE(raw.compare(size_t(at), buf.size(), std::string(buf.begin(), buf.end())) == 0);
    }
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
    expectSeeksAsDecoded(s, raw, 40);
    std::vector<uint8_t> buf(4096);
    // The loop as the channels play it: the last bytes, then the start.
    ASSERT_EQ(sndOggFill(s, buf.data(), total - 4096, 4096, 0), total);
    std::string loop(buf.begin(), buf.end());
    ASSERT_EQ(sndOggFill(s, buf.data(), 0, 4096, 0), 4096);
    loop.append(buf.begin(), buf.end());
    EXPECT_TRUE(loop == raw.substr(raw.size() - 4096) + raw.substr(0, 4096));
    sndOggClose(s);
  }
}

// vorbisfile's seek by position can hand libogg a page mixed from the bytes
// of two pages when the pages that start the audio data are not the
// stream's own with granule positions, one directly after the other; libogg
// then moves a negative size and the game crashes. The first two files below
// lead a seek to the start there (their bytes that are no page decide what
// the mixed page holds); the others break the same rule. vorbisfile opens
// them all and oggdec decodes them in sequence; the source refuses them at
// open, holds no file open after it and leaves the file as it was. The same
// file undamaged opens.
TEST_F(OggTest, AudioDataNotStartedByTheStreamsPagesIsRefused) {
  const std::string ogg = makeOgg("noisy", 2, 60000, 4000);
  const OggPages file(readBytes(ogg));
  const size_t a = file.firstAudio();
  ASSERT_LE(a + 3, file.pages.size());
  const std::string headers = file.join(0, a), first = file.pages[a], second = file.pages[a + 1];
  const std::string rest = file.join(a + 2, file.pages.size()), last = file.pages.back();
  const uint32_t other = OggPages::serialOf(first) + 1;
  std::string noPage(3000, '\0');
  for (size_t i = 0; i < noPage.size(); ++i) noPage[i] = char(i * 7 + i / 13);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"another stream's page, then bytes that are no page up to the last page",
       headers + OggPages::withSerial(first, other) + noPage + last},
      {"a page without a granule position, then bytes that are no page up to the last page",
       headers + OggPages::withGranule(first, -1) + noPage + last},
      {"bytes that are no page after the header pages", headers + noPage + first + second + rest},
      {"bytes that are no page between the first two audio pages", headers + first + noPage + second + rest},
      {"another stream's page in place of the second audio page",
       headers + first + OggPages::withSerial(second, other) + rest},
  };
  const size_t held = openFiles();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = tmp_.file("damaged.ogg");
    writeBytes(path, c.bytes);
    rawOf(path);  // vorbisfile takes it: oggdec decodes it without an error
    EXPECT_EQ(sndOggOpen(path.c_str()), nullptr);
    EXPECT_EQ(openFiles(), held);
    EXPECT_TRUE(readBytes(path) == c.bytes);
  }
  sndOggSource* s = sndOggOpen(ogg.c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->format.totalBytes, int32_t(rawOf(ogg).size()));
  sndOggClose(s);
}

// First two audio pages that take more than 64 KiB (oggenc's pages joined):
// vorbisfile's seek by position is not sure up to the second page's granule
// position, so positions there are decoded from the start. The file opens,
// and its length and every position are those of oggdec's decoding.
TEST_F(OggTest, LongFirstPagesSeekAsDecoded) {
  const std::string ogg = makeOgg("noisy", 2, 300000, 8000);
  const std::string joined = regranule(ogg, "joined", {"--join", "100"});
  const OggPages file(readBytes(joined));
  const size_t a = file.firstAudio();
  ASSERT_LT(a + 2, file.pages.size());
  ASSERT_GT(file.pages[a].size() + file.pages[a + 1].size(), 65536u);
  const std::string raw = rawOf(joined);
  ASSERT_TRUE(raw == rawOf(ogg));
  sndOggSource* s = sndOggOpen(joined.c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_GT(s->seekAbove, 0);
  EXPECT_EQ(s->format.totalBytes, int32_t(raw.size()));
  expectSeeksAsDecoded(s, raw, 12);
  sndOggClose(s);
}

// A setup header whose first codebook libvorbis reads but cannot build: every
// code 1 bit long, more codes than such a tree holds (the 5-bit lengths less
// one of its entries all 0, the page's checksum written again). libvorbis
// gives up setting the decoder up, and a second try decodes with the books
// it left empty and divides by zero; the source refuses the file at open.
TEST_F(OggTest, CodebookThatCannotBeBuiltIsRefused) {
  OggPages file(readBytes(makeOgg("noisy", 2, 30000, 4000)));
  const std::string setupId = std::string("\x05") + "vorbis";
  size_t page = 0, at = std::string::npos;
  while (page < file.pages.size() && (at = file.pages[page].find(setupId)) == std::string::npos) ++page;
  ASSERT_LT(page, file.pages.size());
  std::string& p = file.pages[page];
  const auto bits = [&](size_t from, int n) {
    uint32_t v = 0;
    for (int k = 0; k < n; ++k) v |= uint32_t(uint8_t(p[at + (from + k) / 8]) >> ((from + k) % 8) & 1) << k;
    return v;
  };
  // After the packet type, "vorbis" and the count of codebooks: the first
  // book's sync word, dimensions, entries, flags ordered and sparse (both
  // clear here), then a length less one per entry.
  ASSERT_EQ(bits(64, 24), 0x564342u);
  ASSERT_EQ(bits(128, 2), 0u);
  const uint32_t entries = bits(104, 24);
  ASSERT_GT(entries, 2u);
  for (size_t b = 130; b < 130 + 5 * size_t(entries); ++b) p[at + b / 8] = char(p[at + b / 8] & ~(1 << (b % 8)));
  p = OggPages::sealed(p);
  const std::string path = tmp_.file("book.ogg");
  writeBytes(path, file.join(0, file.pages.size()));
  const size_t held = openFiles();
  EXPECT_EQ(sndOggOpen(path.c_str()), nullptr);
  EXPECT_EQ(openFiles(), held);
}
