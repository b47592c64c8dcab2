// The MIDI file reader and stream-event converter: files refused or read,
// the events they convert to, long events split over buffers, seeks, and the
// variable-length quantities.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "midi_bytes.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kNote = bytes({0x00, 0x90, 0x3C, 0x64});

TEST(MidiFileParse, RefusesMalformedFilesAndReadsTheRest) {
  const std::string header8 = "MThd" + be32(8) + be16(0) + be16(1) + be16(96) + bytes({0xAA, 0xBB});
  const struct {
    const char* what;
    std::string image;
    int code;
  } cases[] = {
      {"shorter than a header", "MThd" + be32(6), MSTR_INVALID},
      {"no MThd", "RIFF" + be32(6) + std::string(6, '\0'), MSTR_INVALID},
      {"header length 5", "MThd" + be32(5) + be16(0) + be16(0) + be16(96), MSTR_INVALID},
      {"header length past the image", "MThd" + be32(7) + be16(0) + be16(0) + be16(96), MSTR_INVALID},
      {"header length 8 skips two bytes", header8 + mtrk(kNote + kEndOfTrack), MSTR_OK},
      {"a foreign chunk before the tracks", smf({}).substr(0, 10) + be16(1) + be16(96) + "JUNK" + be32(0) +
                                                 mtrk(kEndOfTrack),
       MSTR_INVALID},
      {"trailing bytes after the last track", smf({kEndOfTrack}) + "JUNK and more", MSTR_OK},
      {"a track past the end", smf({kEndOfTrack}).substr(0, 14) + "MTrk" + be32(5) + kEndOfTrack, MSTR_INVALID},
      {"fewer tracks than the header says", smf({kEndOfTrack}).substr(0, 10) + be16(2) + be16(96) +
                                                 mtrk(kEndOfTrack),
       MSTR_INVALID},
      {"running status after a meta event",
       smf({kNote + bytes({0x00, 0xFF, 0x01, 0x01, 'x', 0x00, 0x3E, 0x64}) + kEndOfTrack}), MSTR_INVALID},
      {"running status after system exclusive",
       smf({kNote + bytes({0x00, 0xF0, 0x01, 0xF7, 0x00, 0x3E, 0x64}) + kEndOfTrack}), MSTR_INVALID},
      {"running status with no status", smf({bytes({0x00, 0x3C, 0x64}) + kEndOfTrack}), MSTR_INVALID},
      {"status 0xF4", smf({bytes({0x00, 0xF4, 0x00}) + kEndOfTrack}), MSTR_INVALID},
      {"a 4-byte tempo", smf({bytes({0x00, 0xFF, 0x51, 0x04, 0x07, 0xA1, 0x20, 0x00}) + kEndOfTrack}), MSTR_INVALID},
      {"no end-of-track", smf({kNote}), MSTR_INVALID},
      {"a delta that does not end", smf({kEndOfTrack, bytes({0x81, 0x80, 0x80})}), MSTR_INVALID},
      {"a meta event past its track", smf({bytes({0x00, 0xFF, 0x01, 0x10, 'x', 'y'}) + kEndOfTrack}), MSTR_INVALID},
      // A length near 2^32 must not wrap the bounds check and move the pointer past the image.
      {"a huge system-exclusive length", smf({bytes({0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0xF7}) + kEndOfTrack}),
       MSTR_INVALID},
      {"a huge meta length", smf({bytes({0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7D, 0x00}) + kEndOfTrack}),
       MSTR_INVALID},
      {"no tracks", smf({}), MSTR_OK},
      {"only end-of-track events", smf({kEndOfTrack, kEndOfTrack}), MSTR_OK},
  };
  for (const auto& c : cases) {
    ParsedFile parsed(c.image);
    EXPECT_EQ(parsed.code, c.code) << c.what;
  }
}

TEST(MidiFileParse, MeasuresTheSongAndKeepsTheHeader) {
  ParsedFile parsed(smf({bytes({0x10, 0x90, 0x3C, 0x64, 0x20, 0x80, 0x3C, 0x00, 0x05, 0xFF, 0x2F, 0x00}),
                         bytes({0x40, 0xFF, 0x2F, 0x00})},
                        480, 1));
  ASSERT_EQ(parsed.code, MSTR_OK);
  mstrFileInfo info;
  mstrGetFileInfo(parsed.file, &info);
  EXPECT_EQ(info.trackCount, 2u);
  EXPECT_EQ(info.format, 1u);
  EXPECT_EQ(info.division, 480u);
  EXPECT_EQ(info.songLength, 0x40u);  // the latest end-of-track

  ParsedFile empty(smf({kEndOfTrack}));
  ASSERT_EQ(empty.code, MSTR_OK);
  EXPECT_EQ(empty.file->songLength, 0u);
  const Conversion c = convert(empty.file, 1024, 0, 1);
  EXPECT_EQ(c.seekCode, MSTR_OK);
  EXPECT_EQ(c.lastFill, MSTR_END);
  EXPECT_TRUE(ticksOf(c).empty());

  ParsedFile none(smf({}));
  ASSERT_EQ(none.code, MSTR_OK);
  EXPECT_EQ(none.file->songLength, 0u);
  EXPECT_EQ(convert(none.file, 1024, 0, 1).seekCode, MSTR_END);
}

TEST(MidiFileConvert, MergesTracksAndKeepsFileTimes) {
  const struct {
    const char* what;
    std::vector<std::string> tracks;
    std::vector<TickEvent> events;
  } cases[] = {
      {"ties go to the earlier track",
       {bytes({0x0A, 0x90, 0x3C, 0x64}) + kEndOfTrack,
        bytes({0x05, 0x91, 0x40, 0x64, 0x05, 0x91, 0x41, 0x64}) + kEndOfTrack},
       {{5, {0x91, 0x40, 0x64}}, {10, {0x90, 0x3C, 0x64}}, {10, {0x91, 0x41, 0x64}}}},
      {"running status",
       {kNote + bytes({0x10, 0x3E, 0x65, 0x10, 0xC2, 0x05, 0x01, 0x07}) + kEndOfTrack},
       {{0, {0x90, 0x3C, 0x64}}, {16, {0x90, 0x3E, 0x65}}, {32, {0xC2, 0x05}}, {33, {0xC2, 0x07}}}},
      {"a text event keeps the spacing",
       {kNote + bytes({0x32, 0xFF, 0x01, 0x02, ' ', ' ', 0x32, 0x80, 0x3C, 0x00}) + kEndOfTrack},
       {{0, {0x90, 0x3C, 0x64}}, {100, {0x80, 0x3C, 0x00}}}},
      {"an earlier track's end keeps the spacing",
       {kNote + bytes({0x0A, 0xFF, 0x2F, 0x00}), bytes({0x64, 0x91, 0x3C, 0x64}) + kEndOfTrack},
       {{0, {0x90, 0x3C, 0x64}}, {100, {0x91, 0x3C, 0x64}}}},
      {"tempo and long messages",
       {bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x08, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x08, 0xF7,
               0x02, 0xF3, 0x01}) +
        kEndOfTrack},
       {{0, {0xFF, 0x51, 0x07, 0xA1, 0x20}}, {8, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}}, {16, {0xF3, 0x01}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ParsedFile parsed(smf(c.tracks));
    ASSERT_EQ(parsed.code, MSTR_OK);
    const Conversion conv = convert(parsed.file, 1024, 0, parsed.file->songLength + 1);
    EXPECT_EQ(conv.lastFill, MSTR_END);
    EXPECT_EQ(ticksOf(conv), c.events);
  }
}

TEST(MidiFileConvert, OneDataByteLeavesTheThirdByteEmpty) {
  ParsedFile parsed(smf({bytes({0x00, 0xC3, 0x05, 0x00, 0xD3, 0x40}) + kEndOfTrack}));
  ASSERT_EQ(parsed.code, MSTR_OK);
  const Conversion c = convert(parsed.file, 1024, 0, 1);
  ASSERT_EQ(c.buffers.size(), 2u);
  ASSERT_EQ(c.buffers[1].size(), 2u);
  EXPECT_EQ(c.buffers[1][0].word, 0x05C3u);
  EXPECT_EQ(c.buffers[1][1].word, 0x40D3u);
}

TEST(MidiFileConvert, SplitsALongMessageOverBuffers) {
  std::string stored(1999, '\x11');
  stored += '\xF7';
  ParsedFile parsed(smf({kNote + bytes({0x00, 0xF0, 0x8F, 0x50}) + stored + bytes({0x00, 0x80, 0x3C, 0x00}) +
                         kEndOfTrack}));
  ASSERT_EQ(parsed.code, MSTR_OK);
  const Conversion c = convert(parsed.file, 1024, 0, 1);
  EXPECT_EQ(c.lastFill, MSTR_END);
  ASSERT_EQ(c.buffers.size(), 4u);  // the seek's, then three fills
  Bytes joined;
  for (size_t b = 1; b <= 2; ++b) {
    const auto& events = c.buffers[b];
    const DecodedEvent& piece = events.back();
    ASSERT_TRUE(piece.word & MEVT_F_LONG);
    EXPECT_EQ(piece.delta, 0u);
    joined.insert(joined.end(), piece.data.begin(), piece.data.end());
    // Each piece fills its buffer up to the end.
    EXPECT_GT(piece.data.size(), 900u);
  }
  Bytes want{0xF0};
  want.insert(want.end(), stored.begin(), stored.end());
  EXPECT_EQ(joined, want);
  ASSERT_EQ(c.buffers[3].size(), 1u);
  EXPECT_EQ(c.buffers[3][0].word, 0x3C80u);
}

TEST(MidiFileSeek, PrimesTheStateCollectedBeforeTheStart) {
  const std::string track =
      bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 500000
             0x00, 0xC1, 0x05,                          // program 5 on channel 1
             0x0A, 0xB0, 0x07, 0x64,                    // volume 100 on channel 0
             0x00, 0xB0, 0x79, 0x00,                    // reset all controllers: a mode message, not kept
             0x0A, 0xB0, 0x07, 0x50,                    // the last volume wins
             0x0A, 0x90, 0x3C, 0x64,                    // a note before the start: passed over
             0x50, 0x90, 0x3E, 0x64}) +
      kEndOfTrack;
  ParsedFile parsed(smf({track}));
  ASSERT_EQ(parsed.code, MSTR_OK);

  StreamBuffer buffer(4096);
  ASSERT_EQ(mstrSeek(parsed.file, 50, &buffer.header), MSTR_OK);
  EXPECT_EQ(decodeStream(buffer.header),
            (std::vector<DecodedEvent>{{0, uint32_t{MEVT_TEMPO} << 24 | 500000, {}}, {0, 0x05C1, {}}, {0, 0x5007B0, {}}}));

  // Tick 0 replays nothing and leaves the file rewound.
  buffer.header.dwBytesRecorded = 99;
  ASSERT_EQ(mstrSeek(parsed.file, 0, &buffer.header), MSTR_OK);
  EXPECT_EQ(buffer.header.dwBytesRecorded, 0u);
  EXPECT_EQ(parsed.file->clock, 0u);
  StreamBuffer fill;
  EXPECT_EQ(mstrFillBuffer(parsed.file, &fill.header, 1000), MSTR_END);
  EXPECT_EQ(decodeStream(fill.header).size(), 7u);

  // Past every event: nothing to play. A buffer too small for the state: 2.
  EXPECT_EQ(mstrSeek(parsed.file, 1000, &buffer.header), MSTR_END);
  StreamBuffer small(20);
  EXPECT_EQ(mstrSeek(parsed.file, 50, &small.header), MSTR_NO_MEMORY);

  // A tempo of 0xFFFFFF reads as not seen.
  ParsedFile odd(smf({bytes({0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF, 0x10, 0x90, 0x3C, 0x64}) + kEndOfTrack}));
  ASSERT_EQ(odd.code, MSTR_OK);
  ASSERT_EQ(mstrSeek(odd.file, 5, &buffer.header), MSTR_OK);
  EXPECT_EQ(buffer.header.dwBytesRecorded, 0u);
}

TEST(MidiFileVarLen, ReadsWithinTheBytesGiven) {
  const struct {
    Bytes in;
    uint32_t used;
    uint32_t value;
  } cases[] = {
      {{0x00}, 1, 0},
      {{0x7F, 0x7F}, 1, 127},
      {{0x81, 0x00}, 2, 128},
      {{0xFF, 0xFF, 0xFF, 0x7F}, 4, 0x0FFFFFFF},
      {{0x81, 0x80, 0x80, 0x80, 0x80, 0x01}, 6, 0x00000001},  // longer than four bytes: the low 32 bits
      {{0x80}, 0, 0},
      {{}, 0, 0},
  };
  for (const auto& c : cases) {
    uint32_t value = 12345;
    EXPECT_EQ(mstrReadVarLen(c.in.data(), static_cast<uint32_t>(c.in.size()), &value), c.used);
    if (c.used) {
      EXPECT_EQ(value, c.value);
    }
  }
}

TEST(MidiFileRead, ReadsPlainAndRmidFilesAndRefusesOthers) {
  TempDir dir;
  const std::string song = smf({kNote + kEndOfTrack});
  auto riff = [](const std::string& form, const std::string& chunks) {
    std::string body = form + chunks;
    std::string le = {char(body.size()), char(body.size() >> 8), char(body.size() >> 16), char(body.size() >> 24)};
    return "RIFF" + le + body;
  };
  auto chunk = [](const std::string& id, const std::string& data) {
    std::string le = {char(data.size()), char(data.size() >> 8), char(data.size() >> 16), char(data.size() >> 24)};
    return id + le + data + (data.size() % 2 ? std::string(1, '\0') : std::string());
  };
  std::string longDir = dir.file(std::string(100, 'd'));
  std::filesystem::create_directories(longDir);
  const struct {
    std::string name;
    std::string content;
    int code;
  } cases[] = {
      {"plain.mid", song, MSTR_OK},
      {"song.rmi", riff("RMID", chunk("INFO", "abc") + chunk("data", song)), MSTR_OK},
      {"wave.wav", riff("WAVE", chunk("fmt ", std::string(16, '\0')) + chunk("data", song)), MSTR_INVALID},
      {"nodata.rmi", riff("RMID", chunk("INFO", "abc")), MSTR_INVALID},
      {"big.rmi", riff("RMID", "data" + std::string("\xFF\xFF\xFF\x7F", 4) + song), MSTR_INVALID},
      {"short.mid", song.substr(0, song.size() - 1), MSTR_INVALID},
      {std::string(100, 'd') + "/" + std::string(100, 'n') + ".mid", song, MSTR_OK},
  };
  for (const auto& c : cases) {
    writeBytes(dir.file(c.name), c.content);
    mstrFile* file = reinterpret_cast<mstrFile*>(1);
    EXPECT_EQ(mstrReadFile(dir.file(c.name).c_str(), &file), c.code) << c.name;
    if (c.code != MSTR_OK) {
      EXPECT_EQ(file, nullptr);
      continue;
    }
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file->image), file->imageSize), song) << c.name;
    EXPECT_EQ(std::string(file->name), dir.file(c.name).substr(0, 127));
    mstrFreeFile(file);
  }
  mstrFile* file = nullptr;
  EXPECT_EQ(mstrReadFile(dir.file("missing.mid").c_str(), &file), MSTR_CANT_OPEN);
}

}  // namespace
