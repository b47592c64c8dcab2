// The MIDI stream interface rendered by the audio device on the manual audio
// clock, with the recording sink in place of the synthesizer: event timing,
// buffer returns, reset, refusals, a close from inside the callback, the
// device shared with DirectSound, and one run through the real synthesizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/test_api.h"
#include "platform/win32.h"
#include "platform/win_dsound.h"
#include "support/midi_events.h"
#include "support/temp_dir.h"

namespace {

// The whole program renders on the manual audio clock, switched on before
// any MIDI call opens the device.
[[maybe_unused]] const bool g_manualClock = (plat::test::setManualAudioClock(true), true);

struct Returned {
  UINT message;
  MIDIHDR* header;
  DWORD_PTR instance;
  DWORD flags;  // the header's flags when it came back
};

std::mutex g_mutex;
std::vector<Returned> g_returned;

void CALLBACK recordReturns(HMIDIOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  auto* h = reinterpret_cast<MIDIHDR*>(param1);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_returned.push_back({message, h, instance, h ? h->dwFlags : 0});
}

std::vector<MIDIHDR*> returnedHeaders() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<MIDIHDR*> out;
  for (const auto& r : g_returned) {
    EXPECT_EQ(r.message, static_cast<UINT>(MOM_DONE));
    EXPECT_EQ(r.flags & (MHDR_DONE | MHDR_INQUEUE), MHDR_DONE);
    out.push_back(r.header);
  }
  return out;
}

// Frames of the short messages the sink received, from base on.
std::vector<uint64_t> framesOf(const std::vector<plat::test::MidiRecord>& records, uint64_t base) {
  std::vector<uint64_t> out;
  for (const auto& r : records) out.push_back(r.frame - base);
  return out;
}

class MidiStream : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::test::recordMidi(true);
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      g_returned.clear();
    }
    UINT device = MIDI_MAPPER;
    ASSERT_EQ(midiStreamOpen(&stream_, &device, 1, reinterpret_cast<DWORD_PTR>(recordReturns), 77,
                             CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
  }
  void TearDown() override {
    if (stream_) {
      midiOutReset(out());
      plat::test::waitMidiCallbacks();
      EXPECT_EQ(midiStreamClose(stream_), MMSYSERR_NOERROR);
    }
    plat::test::waitMidiCallbacks();
    plat::test::recordMidi(false);
  }

  HMIDIOUT out() const { return reinterpret_cast<HMIDIOUT>(stream_); }
  void division(DWORD value) {
    MIDIPROPTIMEDIV d{sizeof d, value};
    ASSERT_EQ(midiStreamProperty(stream_, reinterpret_cast<BYTE*>(&d), MIDIPROP_SET | MIDIPROP_TIMEDIV),
              MMSYSERR_NOERROR);
  }
  void queue(StreamBuffer& b) {
    ASSERT_EQ(midiOutPrepareHeader(out(), &b.header, sizeof b.header), MMSYSERR_NOERROR);
    ASSERT_EQ(midiStreamOut(stream_, &b.header, sizeof b.header), MMSYSERR_NOERROR);
  }
  // Renders in blocks and lets the callbacks of each block run.
  void render(uint32_t frames, uint32_t block = 1000) {
    for (uint32_t done = 0; done < frames; done += block) {
      plat::test::renderAudio(static_cast<int>(std::min(block, frames - done)));
      plat::test::waitMidiCallbacks();
    }
  }
  // The sink's records from the restart on.
  uint64_t restart() {
    const uint64_t base = plat::test::midiFrames();
    EXPECT_EQ(midiStreamRestart(stream_), MMSYSERR_NOERROR);
    return base;
  }

  HMIDISTRM stream_ = nullptr;
};

TEST_F(MidiStream, EventsPlayAtTheFramesTheirTicksGive) {
  struct Case {
    const char* what;
    DWORD division;
    std::vector<std::pair<uint32_t, uint32_t>> events;  // delta, event word
    std::vector<uint64_t> frames;                       // of the short messages
  };
  const uint32_t note = 0x7F3C90, off = 0x003C80;
  const std::vector<Case> cases = {
      {"default tempo, 480 per quarter", 480, {{0, note}, {480, off}, {1, note}}, {0, 22050, 22095}},
      {"tempo change inside the buffer",
       480,
       {{0, note}, {480, uint32_t{MEVT_TEMPO} << 24 | 250000}, {480, off}, {0, uint32_t{MEVT_TEMPO} << 24 | 1000000},
        {48, note}},
       {0, 22050 + 11025, 22050 + 11025 + 4410}},
      {"running status and a comment", 96, {{0, note}, {96, 0x403C}, {0, uint32_t{MEVT_COMMENT} << 24}, {96, off}},
       {0, 22050, 44100}},
      {"SMPTE 25 frames of 40 ticks", 0xE728, {{0, note}, {1000, off}, {1, note}}, {0, 44100, 44144}},
      // 29.97 frames per second: 2997 ticks of 100 per frame fall short of a second.
      {"SMPTE 29.97 frames of 100 ticks", 0xE364, {{0, note}, {2997, off}}, {0, 44099}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    division(c.division);
    StreamBuffer b;
    for (auto [delta, word] : c.events) b.event(delta, word);
    queue(b);
    const uint64_t base = restart();
    render(60000, 777);
    const auto records = plat::test::takeMidiRecords();
    EXPECT_EQ(framesOf(records, base), c.frames);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0].bytes, (std::vector<uint8_t>{0x90, 0x3C, 0x7F}));
    midiOutReset(out());
    plat::test::waitMidiCallbacks();
    plat::test::takeMidiRecords();
  }
}

TEST_F(MidiStream, DeltasAndSystemExclusiveContinueAcrossBuffers) {
  division(480);
  StreamBuffer first, second;
  first.tempo(0, 250000).shortMsg(480, 0x643C90).longMsg(0, {0xF0, 0x7E, 0x7F});
  second.longMsg(0, {0x09, 0x01, 0xF7}).shortMsg(480, 0x3C80);
  queue(first);
  queue(second);
  const uint64_t base = restart();
  render(30000);
  const auto records = plat::test::takeMidiRecords();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(framesOf(records, base), (std::vector<uint64_t>{11025, 11025, 22050}));
  EXPECT_EQ(records[1].bytes, (std::vector<uint8_t>{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
  EXPECT_EQ(records[2].bytes, (std::vector<uint8_t>{0x80, 0x3C, 0x00}));
}

TEST_F(MidiStream, ALateBufferPlaysItsPastEventsAtOnce) {
  division(480);
  StreamBuffer first, late;
  first.shortMsg(0, 0x643C90);
  late.shortMsg(96, 0x3C80).shortMsg(480, 0x643E90);
  queue(first);
  const uint64_t base = restart();
  render(10000);
  queue(late);
  render(40000);
  // 96 ticks (4410 frames) lay in the past when the buffer came: it plays at
  // the next block; the next delta counts from the event's own time.
  EXPECT_EQ(framesOf(plat::test::takeMidiRecords(), base), (std::vector<uint64_t>{0, 10000, 4410 + 22050}));
}

TEST_F(MidiStream, BuffersComeBackInOrderOnlyWhilePlaying) {
  division(480);
  StreamBuffer first, empty, third;
  first.shortMsg(480, 0x643C90);
  third.shortMsg(480, 0x3C80);
  queue(first);
  queue(empty);
  queue(third);
  EXPECT_EQ(first.header.dwFlags & (MHDR_INQUEUE | MHDR_DONE), MHDR_INQUEUE);
  render(50000);  // paused: nothing plays, nothing comes back
  EXPECT_TRUE(returnedHeaders().empty());
  EXPECT_TRUE(plat::test::takeMidiRecords().empty());

  restart();
  render(22000);
  EXPECT_TRUE(returnedHeaders().empty());
  render(100, 100);  // the first buffer's last event plays; the empty one is reached at once
  EXPECT_EQ(returnedHeaders(), (std::vector<MIDIHDR*>{&first.header, &empty.header}));
  render(22050);
  EXPECT_EQ(returnedHeaders(), (std::vector<MIDIHDR*>{&first.header, &empty.header, &third.header}));
  std::lock_guard<std::mutex> lock(g_mutex);
  EXPECT_EQ(g_returned[0].instance, 77u);
}

TEST_F(MidiStream, ResetReturnsEveryBufferSilencesAndRewinds) {
  division(480);
  StreamBuffer first, second, again;
  first.shortMsg(0, 0x643C90).shortMsg(96000, 0x3C80);
  second.shortMsg(0, 0x643E90);
  again.shortMsg(480, 0x643C90);
  queue(first);
  queue(second);
  restart();
  render(5000);
  plat::test::takeMidiRecords();
  ASSERT_EQ(midiOutReset(out()), MMSYSERR_NOERROR);
  plat::test::waitMidiCallbacks();
  EXPECT_EQ(returnedHeaders(), (std::vector<MIDIHDR*>{&first.header, &second.header}));
  auto records = plat::test::takeMidiRecords();
  ASSERT_EQ(records.size(), 16u);
  for (uint8_t channel = 0; channel < 16; ++channel)
    EXPECT_EQ(records[channel].bytes, (std::vector<uint8_t>{static_cast<uint8_t>(0xB0 | channel), 120, 0}));

  // Paused at position 0 with the default tempo.
  queue(again);
  render(30000);
  EXPECT_TRUE(plat::test::takeMidiRecords().empty());
  const uint64_t base = restart();
  render(30000);
  EXPECT_EQ(framesOf(plat::test::takeMidiRecords(), base), (std::vector<uint64_t>{22050}));
}

TEST_F(MidiStream, RefusalsLeaveTheStreamAsItWas) {
  StreamBuffer queued, loose, tooFull(16);
  queued.shortMsg(100000, 0x643C90);
  queue(queued);
  tooFull.header.dwBytesRecorded = 20;
  ASSERT_EQ(midiOutPrepareHeader(out(), &tooFull.header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
  UINT device = 0, badDevice = 5;
  HMIDISTRM second = nullptr;
  MIDIPROPTIMEDIV zero{sizeof zero, 0}, badRate{sizeof badRate, 0xE928}, tempo{sizeof tempo, 96};
  const struct {
    const char* what;
    MMRESULT got;
    MMRESULT want;
  } cases[] = {
      {"unprepare a queued header", midiOutUnprepareHeader(out(), &queued.header, sizeof(MIDIHDR)),
       MIDIERR_STILLPLAYING},
      {"queue a header twice", midiStreamOut(stream_, &queued.header, sizeof(MIDIHDR)), MIDIERR_STILLPLAYING},
      {"queue an unprepared header", midiStreamOut(stream_, &loose.header, sizeof(MIDIHDR)), MIDIERR_UNPREPARED},
      {"a short header size", midiOutPrepareHeader(out(), &loose.header, sizeof(MIDIHDR) - 8),
       MMSYSERR_INVALPARAM},
      {"recorded past the buffer", midiStreamOut(stream_, &tooFull.header, sizeof(MIDIHDR)), MMSYSERR_INVALPARAM},
      {"close with buffers queued", midiStreamClose(stream_), MIDIERR_STILLPLAYING},
      {"a second stream", midiStreamOpen(&second, &device, 1, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED},
      {"an unknown device", midiStreamOpen(&second, &badDevice, 1, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID},
      {"two streams at once", midiStreamOpen(&second, &device, 2, 0, 0, CALLBACK_NULL), MMSYSERR_INVALPARAM},
      {"a window callback", midiStreamOpen(&second, &device, 1, 0, 0, 0x00010000u), MMSYSERR_INVALFLAG},
      {"division 0", midiStreamProperty(stream_, reinterpret_cast<BYTE*>(&zero), MIDIPROP_SET | MIDIPROP_TIMEDIV),
       MMSYSERR_INVALPARAM},
      {"23 frames per second",
       midiStreamProperty(stream_, reinterpret_cast<BYTE*>(&badRate), MIDIPROP_SET | MIDIPROP_TIMEDIV),
       MMSYSERR_INVALPARAM},
      {"the tempo property",
       midiStreamProperty(stream_, reinterpret_cast<BYTE*>(&tempo), MIDIPROP_SET | MIDIPROP_TEMPO),
       MMSYSERR_INVALPARAM},
      {"a handle that is no stream", midiStreamRestart(reinterpret_cast<HMIDISTRM>(&loose)), MMSYSERR_INVALHANDLE},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(queued.header.dwFlags & (MHDR_PREPARED | MHDR_INQUEUE), MHDR_PREPARED | MHDR_INQUEUE);
  MIDIPROPTIMEDIV got{sizeof got, 0};
  EXPECT_EQ(midiStreamProperty(stream_, reinterpret_cast<BYTE*>(&got), MIDIPROP_GET | MIDIPROP_TIMEDIV),
            MMSYSERR_NOERROR);
  EXPECT_EQ(got.dwTimeDiv, 96u);

  ASSERT_EQ(midiOutReset(out()), MMSYSERR_NOERROR);
  plat::test::waitMidiCallbacks();
  EXPECT_EQ(midiOutUnprepareHeader(out(), &queued.header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(queued.header.dwFlags & MHDR_PREPARED, 0u);
  ASSERT_EQ(midiStreamClose(stream_), MMSYSERR_NOERROR);
  EXPECT_EQ(midiStreamRestart(stream_), MMSYSERR_INVALHANDLE);
  stream_ = nullptr;
}

// The callback queues the next buffer, unprepares the one it got back and
// closes the stream when the last one returns: all from the callback thread.
struct Chain {
  HMIDISTRM stream;
  std::vector<std::unique_ptr<StreamBuffer>> buffers;
  size_t next = 1;
  std::vector<MMRESULT> results;
  bool closed = false;
};

void CALLBACK chainOn(HMIDIOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  if (message != MOM_DONE) return;
  auto* chain = reinterpret_cast<Chain*>(instance);
  auto* h = reinterpret_cast<MIDIHDR*>(param1);
  chain->results.push_back(midiOutUnprepareHeader(reinterpret_cast<HMIDIOUT>(chain->stream), h, sizeof *h));
  if (chain->next < chain->buffers.size()) {
    MIDIHDR* n = &chain->buffers[chain->next++]->header;
    chain->results.push_back(midiOutPrepareHeader(reinterpret_cast<HMIDIOUT>(chain->stream), n, sizeof *n));
    chain->results.push_back(midiStreamOut(chain->stream, n, sizeof *n));
  } else {
    chain->results.push_back(midiStreamClose(chain->stream));
    chain->closed = true;
  }
}

TEST(MidiStreamCallback, QueuesUnpreparesAndClosesFromInside) {
  plat::test::recordMidi(true);
  Chain chain;
  for (uint32_t i = 0; i < 3; ++i) {
    chain.buffers.push_back(std::make_unique<StreamBuffer>());
    chain.buffers.back()->shortMsg(96, 0x643C90 + (i << 8));
  }
  UINT device = 0;
  ASSERT_EQ(midiStreamOpen(&chain.stream, &device, 1, reinterpret_cast<DWORD_PTR>(chainOn),
                           reinterpret_cast<DWORD_PTR>(&chain), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  MIDIHDR* first = &chain.buffers[0]->header;
  ASSERT_EQ(midiOutPrepareHeader(reinterpret_cast<HMIDIOUT>(chain.stream), first, sizeof *first), MMSYSERR_NOERROR);
  ASSERT_EQ(midiStreamOut(chain.stream, first, sizeof *first), MMSYSERR_NOERROR);
  ASSERT_EQ(midiStreamRestart(chain.stream), MMSYSERR_NOERROR);
  for (int i = 0; i < 200 && !chain.closed; ++i) {
    plat::test::renderAudio(4096);
    plat::test::waitMidiCallbacks();
  }
  ASSERT_TRUE(chain.closed);
  EXPECT_EQ(chain.results, std::vector<MMRESULT>(8, MMSYSERR_NOERROR));
  EXPECT_EQ(plat::test::takeMidiRecords().size(), 3u + 16u);  // the notes, then all notes off at the close
  // The stream is gone: a new one can open.
  HMIDISTRM again = nullptr;
  ASSERT_EQ(midiStreamOpen(&again, &device, 1, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(midiStreamClose(again), MMSYSERR_NOERROR);
  plat::test::recordMidi(false);
}

TEST(MidiDevice, ExistsWithASoundFontOrTheSink) {
  MIDIOUTCAPSA caps{};
  plat::test::setMidiSoundFont("/nonexistent/none.sf2");
  EXPECT_EQ(midiOutGetNumDevs(), 0u);
  EXPECT_EQ(midiOutGetDevCapsA(MIDI_MAPPER, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
  HMIDISTRM stream = nullptr;
  UINT device = MIDI_MAPPER;
  EXPECT_EQ(midiStreamOpen(&stream, &device, 1, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);

  plat::test::recordMidi(true);
  EXPECT_EQ(midiOutGetNumDevs(), 1u);
  EXPECT_EQ(midiOutGetDevCapsA(MIDI_MAPPER, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_EQ(caps.wTechnology, MOD_MAPPER);
  EXPECT_EQ(midiOutGetDevCapsA(0, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_EQ(caps.wTechnology, MOD_SWSYNTH);
  EXPECT_TRUE(caps.dwSupport & MIDICAPS_STREAM);
  EXPECT_EQ(midiOutGetDevCapsA(1, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
  plat::test::recordMidi(false);
  plat::test::setMidiSoundFont(nullptr);
}

// TALVO_SOUNDFONT comes first; one that is missing or no SoundFont leaves
// the search to Debian's.
TEST(MidiDevice, AnUnusableEnvironmentSoundFontFallsBackToDebians) {
  TempDir dir;
  const std::string junk = dir.file("junk.sf2");
  std::FILE* f = std::fopen(junk.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("RIFF, but not a SoundFont", f);
  std::fclose(f);
  for (const std::string& path : {dir.file("missing.sf2"), junk}) {
    SCOPED_TRACE(path);
    ASSERT_EQ(setenv("TALVO_SOUNDFONT", path.c_str(), 1), 0);
    plat::test::setMidiSoundFont(nullptr);  // searches again
    EXPECT_EQ(midiOutGetNumDevs(), 1u) << "the General MIDI SoundFont (timgm6mb-soundfont) is missing";
  }
  unsetenv("TALVO_SOUNDFONT");
  plat::test::setMidiSoundFont(nullptr);
}

// A DirectSound object and one playing buffer of a constant level, in the
// device's format.
struct Effect {
  IDirectSound* ds = nullptr;
  IDirectSoundBuffer* buffer = nullptr;
  static constexpr int16_t kLevel = 5000;
  static constexpr DWORD kFrames = 3000;

  void open() {
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
    WAVEFORMATEX w{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    DSBUFFERDESC d{sizeof d, DSBCAPS_LOCSOFTWARE, kFrames * 4, 0, &w, {}};
    ASSERT_EQ(ds->CreateSoundBuffer(&d, &buffer, nullptr), DS_OK);
    LPVOID p1 = nullptr, p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(buffer->Lock(0, kFrames * 4, &p1, &n1, &p2, &n2, 0), DS_OK);
    std::fill_n(static_cast<int16_t*>(p1), n1 / 2, kLevel);
    ASSERT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  }
  ~Effect() {
    if (buffer) buffer->Release();
    if (ds) ds->Release();
  }
};

// The sound effects and the music play through the one device, whichever
// opens it first; the music goes on after DirectSound is gone.
class SharedDevice : public ::testing::TestWithParam<bool> {};

TEST_P(SharedDevice, EffectsAndMusicMixOnTheDeviceClock) {
  const bool musicFirst = GetParam();
  plat::test::recordMidi(true);
  auto effect = std::make_unique<Effect>();
  if (!musicFirst) {
    ASSERT_NO_FATAL_FAILURE(effect->open());
  }
  HMIDISTRM stream = nullptr;
  UINT device = MIDI_MAPPER;
  ASSERT_EQ(midiStreamOpen(&stream, &device, 1, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  if (musicFirst) {
    ASSERT_NO_FATAL_FAILURE(effect->open());
  }

  const auto out = reinterpret_cast<HMIDIOUT>(stream);
  StreamBuffer song, more;
  song.shortMsg(10, 0x643C90);  // 10 ticks of 96 at 120 bpm: 2296.875 frames
  more.shortMsg(96, 0x3C80);
  ASSERT_EQ(midiOutPrepareHeader(out, &song.header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(midiStreamOut(stream, &song.header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
  const uint64_t base = plat::test::midiFrames();
  ASSERT_EQ(midiStreamRestart(stream), MMSYSERR_NOERROR);
  const std::vector<int16_t> mix = plat::test::renderAudio(4000);
  for (DWORD i = 0; i < 2 * Effect::kFrames; ++i) ASSERT_EQ(mix[i], Effect::kLevel) << i;
  EXPECT_EQ(mix[2 * Effect::kFrames], 0);
  EXPECT_EQ(framesOf(plat::test::takeMidiRecords(), base), (std::vector<uint64_t>{2296}));

  effect.reset();
  ASSERT_EQ(midiOutPrepareHeader(out, &more.header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(midiStreamOut(stream, &more.header, sizeof(MIDIHDR)), MMSYSERR_NOERROR);
  plat::test::renderAudio(44100);
  EXPECT_EQ(framesOf(plat::test::takeMidiRecords(), base), (std::vector<uint64_t>{2296 + 22050}));
  ASSERT_EQ(midiOutReset(out), MMSYSERR_NOERROR);
  EXPECT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
  plat::test::recordMidi(false);
}

INSTANTIATE_TEST_SUITE_P(Order, SharedDevice, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "MusicFirst" : "EffectsFirst"; });

// Peak magnitude of a rendered block.
int peak(const std::vector<int16_t>& samples) {
  int p = 0;
  for (int16_t s : samples) p = std::max(p, std::abs(int{s}));
  return p;
}

TEST(MidiSynthesizer, SoundsWhileNotesPlayAndFallsSilentAfter) {
  plat::test::setMidiSoundFont(nullptr);
  ASSERT_EQ(midiOutGetNumDevs(), 1u) << "the General MIDI SoundFont (timgm6mb-soundfont) is missing";
  HMIDISTRM stream = nullptr;
  UINT device = MIDI_MAPPER;
  ASSERT_EQ(midiStreamOpen(&stream, &device, 1, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  const auto out = reinterpret_cast<HMIDIOUT>(stream);
  MIDIPROPTIMEDIV d{sizeof d, 480};
  ASSERT_EQ(midiStreamProperty(stream, reinterpret_cast<BYTE*>(&d), MIDIPROP_SET | MIDIPROP_TIMEDIV), 0u);
  // Half a second of a piano chord, then its note-offs.
  StreamBuffer song, held;
  song.shortMsg(0, 0x0000C0).shortMsg(0, 0x703C90).shortMsg(0, 0x704090).shortMsg(480, 0x3C80).shortMsg(0, 0x4080);
  held.shortMsg(0, 0x704390);
  ASSERT_EQ(midiOutPrepareHeader(out, &song.header, sizeof(MIDIHDR)), 0u);
  ASSERT_EQ(midiStreamOut(stream, &song.header, sizeof(MIDIHDR)), 0u);
  ASSERT_EQ(midiStreamRestart(stream), 0u);

  EXPECT_GT(peak(plat::test::renderAudio(11025)), 300);  // while the notes sound
  plat::test::renderAudio(3 * 44100);
  EXPECT_EQ(peak(plat::test::renderAudio(4410)), 0);  // after the song

  ASSERT_EQ(midiOutPrepareHeader(out, &held.header, sizeof(MIDIHDR)), 0u);
  ASSERT_EQ(midiStreamOut(stream, &held.header, sizeof(MIDIHDR)), 0u);
  EXPECT_GT(peak(plat::test::renderAudio(11025)), 300);
  ASSERT_EQ(midiOutReset(out), 0u);  // the note never ends on its own
  plat::test::renderAudio(2 * 44100);
  EXPECT_EQ(peak(plat::test::renderAudio(4410)), 0);
  EXPECT_EQ(midiStreamClose(stream), 0u);
}

}  // namespace
