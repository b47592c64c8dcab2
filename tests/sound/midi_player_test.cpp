// The stream module and the music player, with the recording sink in place
// of the synthesizer and the audio device rendered by the test: the loop and
// its message, the last note-offs, the conversion header's growth, cues in
// each state, failures, and a player destroyed while it plays.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "midi_music.h"
#include "sound/midi_player.h"

namespace {

// A song at 96 ticks per quarter note and 500000 microseconds per quarter
// note: one tick is 229.6875 frames. Its last note-offs lie at its end.
std::string loopSong() {
  return smf({bytes({0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C, 0x64, 0x00, 0x90, 0x40, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00,
                     0x80, 0x40, 0x00}) +
                  kEndOfTrack,
              bytes({0x30, 0x91, 0x30, 0x50, 0x30, 0x81, 0x30, 0x00}) + kEndOfTrack});
}
constexpr uint64_t kLoopFrames = 22050;  // 96 ticks, half a second


bool isAllNotesOff(const plat::test::MidiRecord& r) {
  return r.bytes.size() == 3 && (r.bytes[0] & 0xF0) == 0xB0 && r.bytes[1] == 123;
}

TEST_F(MidiMusic, ASongPlaysOutClosesItsStreamAndPostsOnce) {
  Module m(window_, song("loop.mid", loopSong()));
  ASSERT_EQ(mstrOpen(&m.st), 0);
  EXPECT_EQ(m.st.songLength, 96u);
  ASSERT_EQ(m.cue(0), 0);
  EXPECT_EQ(m.st.state, MSTR_S_READY);
  // Shorter than the buffers: the cue met the end of data with buffers to spare.
  EXPECT_TRUE(m.st.flags & MSTR_SF_END);
  EXPECT_EQ(m.st.outstanding, 2);  // the conversion header, empty from tick 0, and one buffer
  EXPECT_EQ(m.freeList().size(), 3u);
  ASSERT_EQ(mstrRestart(&m.st), 0);

  const auto done = renderUntilDone(10 * kLoopFrames);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(done->wParam, reinterpret_cast<WPARAM>(&m.st));
  EXPECT_EQ(done->lParam, 1);
  EXPECT_EQ(m.st.state, MSTR_S_OPEN);
  EXPECT_EQ(m.st.stream, nullptr);
  EXPECT_EQ(m.st.outstanding, 0);
  EXPECT_EQ(m.freeList().size(), 4u);
  EXPECT_EQ(m.freeList().count(m.st.convHeader), 0u);

  // The last note-offs, at the song's end, went out before the close's
  // all-notes-off.
  const auto records = plat::test::takeMidiRecords();
  ASSERT_EQ(records.size(), 7u + 16u);
  EXPECT_EQ(records[4].bytes, (std::vector<uint8_t>{0x80, 0x3C, 0x00}));
  EXPECT_EQ(records[5].bytes, (std::vector<uint8_t>{0x80, 0x40, 0x00}));
  EXPECT_EQ(records[6].bytes, (std::vector<uint8_t>{0x81, 0x30, 0x00}));
  EXPECT_EQ(records[6].frame - records[0].frame, kLoopFrames);
  EXPECT_TRUE(isAllNotesOff(records[7]));
  EXPECT_FALSE(renderUntilDone(4 * kLoopFrames).has_value());
}

TEST_F(MidiMusic, OnMessagePlaysTheSongAgainOneSongLengthLater) {
  MidiPlayer player(window_);
  ASSERT_EQ(player.Play(song("loop.mid", loopSong()).c_str()), 0);
  for (int round = 0; round < 2; ++round) {
    const auto done = renderUntilDone(10 * kLoopFrames);
    ASSERT_TRUE(done.has_value()) << round;
    player.OnMessage(done->message);
  }
  renderUntilDone(kBlock);
  std::vector<uint64_t> starts;  // the program change opens each round
  for (const auto& r : plat::test::takeMidiRecords())
    if (r.bytes == std::vector<uint8_t>{0xC0, 0x05}) starts.push_back(r.frame);
  ASSERT_EQ(starts.size(), 3u);
  for (size_t i = 1; i < starts.size(); ++i) {
    EXPECT_GE(starts[i] - starts[i - 1], kLoopFrames);
    EXPECT_LE(starts[i] - starts[i - 1], kLoopFrames + 2 * kBlock);
  }
}

TEST_F(MidiMusic, OtherMessagesAreIgnoredAndACueWhilePlayingIsRefused) {
  MidiPlayer player(window_);
  ASSERT_EQ(player.Play(song("loop.mid", loopSong()).c_str()), 0);
  renderUntilDone(kBlock);
  plat::test::takeMidiRecords();
  player.OnMessage(WM_USER);
  player.OnMessage(MSTR_MSG_DONE);  // while playing: the cue answers 274
  EXPECT_EQ(player.Play(dir_.file("loop.mid").c_str()), MCIERR_UNSUPPORTED_FUNCTION);
  const auto done = renderUntilDone(10 * kLoopFrames);
  ASSERT_TRUE(done.has_value());
  // Nothing was reset: the song went on and ended once.
  for (const auto& r : plat::test::takeMidiRecords()) EXPECT_NE(r.bytes[1], 120) << "a reset";
  EXPECT_FALSE(renderUntilDone(2 * kLoopFrames).has_value());

  Module m(window_, dir_.file("loop.mid"));
  ASSERT_EQ(mstrOpen(&m.st), 0);
  ASSERT_EQ(m.cue(0), 0);
  ASSERT_EQ(mstrRestart(&m.st), 0);
  EXPECT_EQ(m.cue(0), MCIERR_UNSUPPORTED_FUNCTION);
  EXPECT_EQ(mstrRestart(&m.st), MCIERR_UNSUPPORTED_FUNCTION);
  EXPECT_EQ(mstrOpen(&m.st), MCIERR_UNSUPPORTED_FUNCTION);
}

TEST_F(MidiMusic, TheConversionHeaderGrowsForTheStateBeforeALaterStart) {
  // One controller of a new channel and number per tick: a cue from tick t
  // primes t - 1 of them.
  std::string events;
  for (int i = 0; i < 16 * 120; ++i) events += bytes({i ? 1 : 0, 0xB0 | i / 120, i % 120, 0x40});
  events += bytes({0x01, 0x90, 0x3C, 0x64, 0x10, 0x80, 0x3C, 0x00});
  Module m(window_, song("state.mid", smf({events + kEndOfTrack})));
  ASSERT_EQ(mstrOpen(&m.st), 0);
  const struct {
    uint32_t start;
    uint32_t size;    // of the conversion header
    uint32_t primed;  // state events
    int queued;       // the conversion header and the buffers filled
  } steps[] = {{501, 8192, 501, 5}, {1001, 16384, 1001, 5}, {1921, 32768, 1920, 2}, {0, 32768, 0, 5},
               {1921, 32768, 1920, 2}};
  MIDIHDR* last = nullptr;
  for (const auto& s : steps) {
    SCOPED_TRACE(s.start);
    // A cue in state 3 resets the stream and waits for every buffer first.
    ASSERT_EQ(m.cue(s.start), 0);
    EXPECT_EQ(m.st.state, MSTR_S_READY);
    EXPECT_EQ(m.st.convSize, s.size);
    EXPECT_EQ(m.st.outstanding, s.queued);
    EXPECT_EQ(m.freeList().size(), 5u - s.queued);
    EXPECT_EQ(m.freeList().count(m.st.convHeader), 0u);
    EXPECT_EQ(m.st.convHeader->dwBytesRecorded, 12 * s.primed);
    if (s.start == 0) {
      EXPECT_EQ(m.st.convHeader, last);  // reused as it was
    }
    last = m.st.convHeader;
  }
  ASSERT_EQ(mstrRestart(&m.st), 0);
  ASSERT_TRUE(renderUntilDone(200 * kLoopFrames).has_value());
  EXPECT_EQ(m.freeList().size(), 4u);
  EXPECT_EQ(m.freeList().count(m.st.convHeader), 0u);
  EXPECT_EQ(m.st.convSize, 32768u);
}

TEST_F(MidiMusic, FailuresAreReportedAndPlayNothing) {
  MidiPlayer player(window_);
  EXPECT_EQ(player.Play(dir_.file("missing.mid").c_str()), MCIERR_INVALID_FILE);
  EXPECT_EQ(player.Play(song("bad.mid", "MThd").c_str()), MCIERR_INVALID_FILE);
  // A file without tracks opens, but every cue answers 274.
  EXPECT_EQ(player.Play(song("empty.mid", smf({})).c_str()), MCIERR_UNSUPPORTED_FUNCTION);
  EXPECT_FALSE(player.Cue());

  // Without a SoundFont there is no device: the player keeps device 0 and
  // the stream does not open.
  plat::test::recordMidi(false);
  plat::test::setMidiSoundFont("/nonexistent/none.sf2");
  MidiPlayer silent(window_);
  EXPECT_EQ(silent.Play(song("loop.mid", loopSong()).c_str()), MMSYSERR_BADDEVICEID);
  silent.OnMessage(MSTR_MSG_DONE);
  EXPECT_FALSE(silent.Cue());
}

TEST_F(MidiMusic, AFailedCueStepLeavesTheFileOpenAndLosesNoBuffer) {
  const std::string file = song("loop.mid", loopSong());
  const struct {
    const char* op;
    HRESULT code;
    int result;
    bool streamOpen;
    bool convHeader;
  } cases[] = {
      {"midiStreamOpen", MMSYSERR_NOMEM, MMSYSERR_NOMEM, false, false},
      {"midiStreamProperty", MMSYSERR_INVALPARAM, MCIERR_DEVICE_NOT_READY, false, false},
      {"GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY, MCIERR_OUT_OF_MEMORY, true, false},
      {"midiOutPrepareHeader", MMSYSERR_NOMEM, MCIERR_DEVICE_NOT_READY, true, true},
      {"midiStreamOut", MMSYSERR_NOMEM, MCIERR_DEVICE_NOT_READY, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.op);
    Module m(window_, file);
    ASSERT_EQ(mstrOpen(&m.st), 0);
    plat::test::failNext(c.op, 1, c.code);
    EXPECT_EQ(m.cue(0), c.result);
    EXPECT_EQ(m.st.state, MSTR_S_OPEN);
    EXPECT_EQ(m.st.stream != nullptr, c.streamOpen);
    EXPECT_EQ(m.st.convHeader != nullptr, c.convHeader);
    EXPECT_EQ(m.st.outstanding, 0);
    EXPECT_EQ(m.freeList().size(), 4u);
    // The next cue plays.
    ASSERT_EQ(m.cue(0), 0);
    ASSERT_EQ(mstrRestart(&m.st), 0);
    EXPECT_TRUE(renderUntilDone(10 * kLoopFrames).has_value());
  }
  plat::test::clearFaults();
}

TEST_F(MidiMusic, MemoryFailuresAreReportedAsOutOfMemory) {
  // The conversion header cannot grow: it keeps its size, the cue fails.
  std::string events;
  for (int i = 0; i < 600; ++i) events += bytes({i ? 1 : 0, 0xB0 | i / 120, i % 120, 0x40});
  {
    Module m(window_, song("state.mid", smf({events + bytes({0x01, 0x90, 0x3C, 0x64}) + kEndOfTrack})));
    ASSERT_EQ(mstrOpen(&m.st), 0);
    plat::test::failNext("GlobalReAlloc", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(m.cue(501), MCIERR_OUT_OF_MEMORY);
    EXPECT_EQ(m.st.state, MSTR_S_OPEN);
    EXPECT_EQ(m.st.convSize, 4096u);
    ASSERT_EQ(m.cue(501), 0);
    EXPECT_EQ(m.st.convSize, 8192u);
  }

  // The parsed file's record cannot grow: the file does not open.
  MidiPlayer player(window_);
  plat::test::failNext("LocalReAlloc", 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(player.Play(song("loop.mid", loopSong()).c_str()), MCIERR_OUT_OF_MEMORY);
  EXPECT_EQ(player.Play(dir_.file("loop.mid").c_str()), 0);

  // Without its buffers a player holds no state block: it answers Play with
  // 264 and ignores messages.
  plat::test::failNext("GlobalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY);
  MidiPlayer empty(window_);
  EXPECT_EQ(empty.Play(dir_.file("loop.mid").c_str()), MCIERR_OUT_OF_MEMORY);
  empty.OnMessage(MSTR_MSG_DONE);
  EXPECT_FALSE(empty.Cue());
}

TEST_F(MidiMusic, AFailedRefillRetiresTheStreamAndKeepsItsBuffers) {
  std::string events;
  for (int i = 0; i < 400; ++i) events += bytes({0x10, 0x90, 0x30 + i % 40, 0x40, 0x10, 0x80, 0x30 + i % 40, 0x00});
  Module m(window_, song("long.mid", smf({events + kEndOfTrack})));
  ASSERT_EQ(mstrOpen(&m.st), 0);
  ASSERT_EQ(m.cue(0), 0);
  ASSERT_EQ(mstrRestart(&m.st), 0);
  // The empty conversion header comes back and is refilled at once; the
  // refill of the first buffer fails.
  ASSERT_FALSE(renderUntilDone(kBlock).has_value());
  plat::test::failNext("midiStreamOut", 1, MMSYSERR_NOMEM);
  const auto done = renderUntilDone(uint64_t{44100} * 120);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(m.st.state, MSTR_S_OPEN);
  EXPECT_EQ(m.st.stream, nullptr);
  EXPECT_EQ(m.freeList().size(), 4u);
  // The song then plays again from its start with every buffer.
  ASSERT_EQ(m.cue(0), 0);
  EXPECT_EQ(m.st.outstanding, 5);
}

TEST_F(MidiMusic, APlayingPlayerIsDestroyedCleanly) {
  // The audio device renders on a thread of its own, as SDL's does, while the
  // player goes away mid-song.
  std::string events;
  for (int i = 0; i < 400; ++i) events += bytes({0x10, 0x90, 0x30 + i % 40, 0x40, 0x10, 0x80, 0x30 + i % 40, 0x00});
  const std::string file = song("long.mid", smf({events + kEndOfTrack}));
  for (int round = 0; round < 3; ++round) {
    auto player = std::make_unique<MidiPlayer>(window_);
    ASSERT_EQ(player->Play(file.c_str()), 0);
    std::atomic<bool> stop{false};
    std::thread device([&stop] {
      while (!stop) plat::test::renderAudio(64);
    });
    for (size_t seen = 0; seen < 20u + 40u * round;) {
      seen += plat::test::takeMidiRecords().size();
      std::this_thread::yield();
    }
    player.reset();
    stop = true;
    device.join();
  }
  // Every stream was closed: a new one opens.
  HMIDISTRM stream = nullptr;
  UINT device = 0;
  ASSERT_EQ(midiStreamOpen(&stream, &device, 1, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
}

}  // namespace
