// The channel layer's starts, fills, ends and failures, pass by pass on the
// manual audio clock: what the mixer plays is what the test renders.
#include <functional>
#include <string>

#include "base/err.h"
#include "channels_support.h"
#include "platform/win32.h"
#include "support/plain_window.h"
#include "support/temp_dir.h"

namespace {

using namespace channels_test;

// Starts of the rules: priorities, limits, the unique flag and the queue.
TEST_F(Channels, StartRules) {
  struct Case {
    std::string name;
    // Starts sounds; returns the start under test's result and checks more.
    std::function<void(std::vector<std::unique_ptr<Memory>>&)> run;
  };
  // One static sound of its own source per call, 0.1 s long.
  auto sound = [](std::vector<std::unique_ptr<Memory>>& m) {
    m.push_back(std::make_unique<Memory>(8820, 1, 44100, 16));
    return &m.back()->info;
  };
  auto fill = [&](std::vector<std::unique_ptr<Memory>>& m, int n, uint8_t priority) {
    for (int i = 0; i < n; ++i) ASSERT_EQ(sndDsPlayMemory(sound(m), priority, 0, 0, 0, 0, 9), i);
  };
  const std::vector<Case> cases = {
      {"eleventh start at 255 with ten at 255",
       [&](auto& m) {
         fill(m, 10, 255);
         EXPECT_EQ(sndDsPlayMemory(sound(m), 255, 0, 0, 0, 0, 9), SND_DS_NO_CHANNEL);
       }},
      {"eleventh start at 200 with ten at 255",
       [&](auto& m) {
         fill(m, 10, 255);
         EXPECT_EQ(sndDsPlayMemory(sound(m), 200, 0, 0, 0, -5, 20), SND_DS_NO_CHANNEL);
       }},
      {"255 steals the channel at 100",
       [&](auto& m) {
         fill(m, 4, 255);
         ASSERT_EQ(sndDsPlayMemory(sound(m), 100, 0, 0, 0, 0, 9), 4);
         for (int i = 5; i < 10; ++i) ASSERT_EQ(sndDsPlayMemory(sound(m), 200, 0, 0, 0, 0, 9), i);
         sndWavInfo* thief = sound(m);
         EXPECT_EQ(sndDsPlayMemory(thief, 255, 0, 0, 0, 0, 9), 4);
         EXPECT_EQ(sndGlobals.channels[4].identity, thief);
       }},
      {"the lowest index among equal victims, inside the range",
       [&](auto& m) {
         fill(m, 10, 50);
         EXPECT_EQ(sndDsPlayMemory(sound(m), 60, 0, 0, 0, 6, 8), 6);
       }},
      {"first above last",
       [&](auto& m) { EXPECT_EQ(sndDsPlayMemory(sound(m), 1, 0, 0, 0, 5, 4), SND_DS_NO_DEVICE); }},
      {"the seventh play of a source at one priority",
       [&](auto& m) {
         sndWavInfo* s = sound(m);
         for (int i = 0; i < 6; ++i) ASSERT_EQ(sndDsPlayMemory(s, 7, 0, 0, 0, 0, 9), i);
         EXPECT_EQ(sndDsPlayMemory(s, 7, 0, 0, 0, 0, 9), SND_DS_REFUSED);
         EXPECT_EQ(sndDsPlayMemory(s, 8, 0, 0, 0, 0, 9), 6) << "another priority counts apart";
       }},
      {"unique",
       [&](auto& m) {
         sndWavInfo* s = sound(m);
         ASSERT_EQ(sndDsPlayMemory(s, 7, 0, 0, 0, 3, 3), 3);
         EXPECT_EQ(sndDsPlayMemory(s, 7, SND_PLAY_UNIQUE, 0, 0, 5, 9), SND_DS_REFUSED);
         EXPECT_EQ(sndDsPlayMemory(s, 9, SND_PLAY_UNIQUE, 0, 0, 5, 9), 5);
       }},
      {"a queued start is taken by the first freed channel of its range",
       [&](auto& m) {
         // Long sounds, except short ones on 0 (outside the range) and 3.
         for (int i = 0; i < 10; ++i) {
           m.push_back(std::make_unique<Memory>(i == 0 || i == 3 ? 4000 : 400000, 1, 44100, 16));
           ASSERT_EQ(sndDsPlayMemory(&m.back()->info, 10, 0, 0, 0, 0, 9), i);
         }
         sndWavInfo* queued = sound(m);
         EXPECT_EQ(sndDsPlayMemory(queued, 1, SND_PLAY_QUEUE, -300, 0, 2, 4), SND_DS_REFUSED);
         ASSERT_NE(sndGlobals.queue, nullptr);
         play(4096);
         EXPECT_EQ(sndGlobals.queue, nullptr);
         EXPECT_FALSE(active(0));
         ASSERT_TRUE(active(3));
         EXPECT_EQ(sndGlobals.channels[3].identity, queued);
         EXPECT_EQ(sndGlobals.channels[3].volume, -300);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::unique_ptr<Memory>> sources;
    c.run(sources);
    for (int i = 0; i < SND_DS_CHANNELS; ++i) sndDsStop(i);
    sndDsDone();
    sndDsInit(nullptr);
  }
}

TEST_F(Channels, RefusedArguments) {
  Stream s;
  sndDsFormat f = format(2, 44100, 16, 1000, 1000);
  EXPECT_EQ(sndDsStart(nullptr, 1, 0, 0, 0, 0, 9, Stream::fill, &s), SND_DS_NO_DEVICE);
  EXPECT_EQ(sndDsStart(&f, 1, 0, 0, 0, 0, 9, nullptr, &s), SND_DS_NO_DEVICE);
  EXPECT_EQ(sndDsStart(&f, 1, SND_PLAY_QUEUE, 0, 0, 0, 9, Stream::fill, &s), SND_DS_NO_DEVICE)
      << "the queue takes memory PCM only";
  int32_t a = 0;
  EXPECT_EQ(sndDsStatus(10, &a), SND_DS_NO_CHANNEL);
  EXPECT_EQ(sndDsStatus(-1, nullptr), SND_DS_NO_CHANNEL);
  EXPECT_EQ(sndDsNotifyOnEnd(0), SND_DS_NO_CHANNEL);
  EXPECT_EQ(sndDsSetVolume(0, -100), SND_DS_NO_CHANNEL);
}

TEST_F(Channels, MemoryPcmThatFitsGetsAStaticBufferFreedOnceStopped) {
  Memory m(10000, 1, 22050, 16);
  plat::test::traceCalls(true);
  ASSERT_EQ(sndDsPlayMemory(&m.info, 1, 0, 0, 0, 0, 9), 0);
  std::vector<plat::test::CallRecord> calls = plat::test::takeCalls();
  auto create = std::find_if(calls.begin(), calls.end(), [](auto& c) { return c.op == "CreateSoundBuffer"; });
  ASSERT_NE(create, calls.end());
  EXPECT_EQ(create->values, (std::vector<int64_t>{10000, 1, 22050, 16}));
  EXPECT_EQ(create->flags, DWORD{DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY |
                                 DSBCAPS_LOCSOFTWARE | DSBCAPS_STATIC});
  auto played = std::find_if(calls.begin(), calls.end(), [](auto& c) { return c.op == "Play"; });
  ASSERT_NE(played, calls.end());
  EXPECT_EQ(played->flags, 0u) << "a static sound that does not loop plays once";
  const void* buffer = create->object;

  // 5000 frames at 22050 Hz: 10000 device frames.
  play(9728);
  EXPECT_TRUE(active(0));
  play(1024);
  EXPECT_FALSE(active(0));
  calls = plat::test::takeCalls();
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [&](auto& c) { return c.op == "Release" && c.object == buffer; }),
            1);
}

// Memory PCM of channels, bits and rates a WAV may state but no buffer
// takes: the start is refused and the channel stays free (the sizes of its
// buffer are found without overflow).
TEST_F(Channels, MemoryPcmOfFormatsNoBufferTakesIsRefused) {
  const struct {
    uint16_t channels, bits;
    uint32_t rate;
  } cases[] = {{65535, 65535, 0xFFFFFFFF}, {2, 16, 0x7FFFFFFF}, {2, 16, 0xFFFFFFFF}, {0, 16, 22050}, {1, 24, 22050}};
  std::vector<uint8_t> pcm(4096);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.bits << " bits, " << c.rate << " Hz");
    sndWavInfo info{};
    info.formatTag = WAVE_FORMAT_PCM;
    info.channels = c.channels;
    info.bitsPerSample = c.bits;
    info.samplesPerSec = c.rate;
    info.dataBytes = uint32_t(pcm.size());
    info.data = pcm.data();
    EXPECT_EQ(sndDsPlayMemory(&info, 1, 0, 0, 0, 0, 9), SND_DS_NO_DEVICE);
    EXPECT_FALSE(active(0));
  }
}

TEST_F(Channels, GlobalFocusOptionAddsItsFlag) {
  Memory m(1000, 1, 22050, 16);
  sndGlobals.globalFocus = 1;
  plat::test::traceCalls(true);
  ASSERT_EQ(sndDsPlayMemory(&m.info, 1, 0, 0, 0, 0, 9), 0);
  auto calls = plat::test::takeCalls();
  auto create = std::find_if(calls.begin(), calls.end(), [](auto& c) { return c.op == "CreateSoundBuffer"; });
  ASSERT_NE(create, calls.end());
  EXPECT_TRUE(create->flags & DSBCAPS_GLOBALFOCUS);
}

// The samples a sound's bytes mix to on their own, at 44100 Hz, at full
// volume and centred.
std::vector<int16_t> expected(const std::vector<uint8_t>& bytes, int channels, int bits) {
  std::vector<int16_t> out;
  size_t block = static_cast<size_t>(channels * bits / 8);
  for (size_t at = 0; at + block <= bytes.size(); at += block) {
    for (int c = 0; c < 2; ++c) {
      size_t o = at + static_cast<size_t>(channels == 2 ? c : 0) * (bits / 8);
      out.push_back(bits == 8 ? static_cast<int16_t>((bytes[o] - 128) * 256)
                              : static_cast<int16_t>(bytes[o] | (bytes[o + 1] << 8)));
    }
  }
  return out;
}

// A streamed sound comes out of the mix as exactly its bytes, then silence;
// a looping one as its bytes again and again.
TEST_F(Channels, StreamedSoundsPlayExactlyTheirBytes) {
  struct Case {
    const char* name;
    int channels, bits;
    int32_t total, requested;
    bool loop;
    int playedOnce;  // Play calls without DSBPLAY_LOOPING
  };
  // Data that ends in the second half plays the buffer once more without
  // looping, so that it stops at its end.
  const Case cases[] = {
      {"ending in the first half", 2, 16, 16384 * 2 + 3000, 16384, false, 0},
      {"ending in the second half", 2, 16, 16384 * 2 + 8192 + 3000, 16384, false, 1},
      {"ending at the buffer's end", 2, 16, 16384 * 3, 16384, false, 1},
      {"looping across the wrap", 2, 16, 20000, 16384, true, 0},
      {"8-bit mono, silence 0x80", 1, 8, 8192 * 2 + 1000, 8192, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Stream s{pattern(static_cast<size_t>(c.total), 3), c.bits};
    sndDsFormat f = format(c.channels, 44100, c.bits, c.total, c.requested);
    ASSERT_EQ(sndDsStart(&f, 1, c.loop ? SND_PLAY_LOOP : 0, 0, 0, 0, 9, Stream::fill, &s), 0);
    ASSERT_EQ(sndDsNotifyOnEnd(0), 0);
    plat::test::traceCalls(true);
    const int frames = c.total / (c.channels * c.bits / 8);
    std::vector<int16_t> out = play(3 * frames + 8192);
    auto calls = plat::test::takeCalls();
    plat::test::traceCalls(false);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](auto& r) { return r.op == "Play" && r.flags == 0; }),
              c.playedOnce);
    std::vector<int16_t> want = expected(s.bytes, c.channels, c.bits);
    if (c.loop) {
      for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], want[i % want.size()]) << "sample " << i;
      EXPECT_TRUE(active(0));
      sndDsStop(0);
    } else {
      want.resize(out.size());
      for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], want[i]) << "sample " << i;
      EXPECT_FALSE(active(0));
    }
  }
}

// A sound of unknown length whose data ends within its first fill (an MP3
// shorter than its buffer) plays once and is freed.
TEST_F(Channels, UnknownLengthEndingInTheFirstFillStops) {
  struct Short {
    std::vector<uint8_t> bytes = pattern(6000);
    static int32_t fill(void* user, void* dest, int32_t position, int32_t count, int32_t) {
      auto* s = static_cast<Short*>(user);
      for (int32_t i = 0; i < count; ++i) {
        size_t at = static_cast<size_t>(position) + i;
        static_cast<uint8_t*>(dest)[i] = at < s->bytes.size() ? s->bytes[at] : 0;
      }
      return position + count >= 6000 ? SND_DS_UNKNOWN_LENGTH : position + count;
    }
  } s;
  sndDsFormat f = format(2, 44100, 16, SND_DS_UNKNOWN_LENGTH, 32768);
  plat::test::traceCalls(true);
  ASSERT_EQ(sndDsStart(&f, 1, 0, 0, 0, 0, 9, Short::fill, &s), 0);
  auto calls = plat::test::takeCalls();
  auto played = std::find_if(calls.begin(), calls.end(), [](auto& c) { return c.op == "Play"; });
  ASSERT_NE(played, calls.end());
  EXPECT_EQ(played->flags, 0u);
  std::vector<int16_t> out = play(8192 + 1024);
  EXPECT_FALSE(active(0));
  std::vector<int16_t> want = expected(s.bytes, 2, 16);
  want.resize(out.size());
  EXPECT_EQ(out, want);
}

TEST_F(Channels, StalledBufferIsRestartedOnceUntilItsCursorMoves) {
  Stream s{pattern(200000)};
  sndDsFormat f = format(2, 44100, 16, 200000, 16384);
  ASSERT_EQ(sndDsStart(&f, 1, 0, 0, 0, 0, 9, Stream::fill, &s), 0);
  plat::test::traceCalls(true);
  auto restarts = [] {
    auto calls = plat::test::takeCalls();
    int stops = 0, plays = 0;
    for (auto& c : calls) {
      stops += c.op == "Stop";
      if (c.op == "Play") {
        ++plays;
        EXPECT_EQ(c.flags, DWORD{DSBPLAY_LOOPING});
      }
    }
    EXPECT_EQ(stops, plays);
    return stops;
  };
  // The first pass notes the cursor; ten more without rendering stall it.
  for (int i = 0; i < 10; ++i) sndDsPass();
  EXPECT_EQ(restarts(), 0);
  sndDsPass();
  EXPECT_EQ(restarts(), 1);
  for (int i = 0; i < 30; ++i) sndDsPass();
  EXPECT_EQ(restarts(), 0) << "standing still further restarts nothing";
  play(512);
  for (int i = 0; i < 10; ++i) sndDsPass();
  EXPECT_EQ(restarts(), 1) << "after the cursor moved, ten still passes restart again";
  EXPECT_TRUE(active(0));
}

TEST_F(Channels, SetVolumeSetsANeighbourFirst) {
  Memory m(40000, 1, 22050, 16);
  ASSERT_EQ(sndDsPlayMemory(&m.info, 1, 0, 0, 0, 0, 9), 0);
  const struct {
    int32_t volume;
    int64_t first;
  } cases[] = {{0, -1}, {-10000, -9999}, {-1, -2}, {-2500, -2501}, {-9999, -10000}};
  plat::test::traceCalls(true);
  for (auto c : cases) {
    SCOPED_TRACE(c.volume);
    EXPECT_EQ(sndDsSetVolume(0, c.volume), 0);
    std::vector<int64_t> set;
    for (auto& call : plat::test::takeCalls())
      if (call.op == "SetVolume") set.push_back(call.values[0]);
    EXPECT_EQ(set, (std::vector<int64_t>{c.first, c.volume}));
    EXPECT_EQ(sndGlobals.channels[0].volume, c.volume);
  }
  // A device failure is raised (here into a TRY frame) and returned.
  plat::test::failNext("SetVolume", 1, DSERR_GENERIC);
  HRESULT result = 0;
  bool caught = false;
  ERR_TRY(frame) { result = sndDsSetVolume(0, -100); }
  ERR_CATCH(frame, code) {
    caught = code == DSERR_GENERIC;
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  EXPECT_TRUE(caught);
  EXPECT_EQ(result, 0) << "the raise left the call";
}

// The end of a sound posted to the notify window: wParam 1 when it ended,
// 8 when the device failed.
class ChannelsNotify : public Channels {
 protected:
  void SetUp() override {
    plat::test::setInstanceDir(dir_.path.c_str());
    ASSERT_NE(plainWindowClass(), nullptr);
    window_ = CreateWindowExA(0, plainWindowClass(), "Sound", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                              nullptr);
    ASSERT_NE(window_, nullptr);
    Channels::SetUp();
    sndDsDone();
    sndDsInit(window_);
  }
  void TearDown() override {
    Channels::TearDown();
    DestroyWindow(window_);
    plat::test::setInstanceDir(nullptr);
  }
  std::vector<MSG> ends() {
    std::vector<MSG> out;
    MSG msg;
    while (PeekMessageA(&msg, window_, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE)) out.push_back(msg);
    return out;
  }
  TempDir dir_;
  HWND window_ = nullptr;
};

TEST_F(ChannelsNotify, EndIsPostedWhenAsked) {
  Memory m(4000, 1, 44100, 16);
  ASSERT_EQ(sndDsPlayMemory(&m.info, 1, 0, 0, 0, 0, 9), 0);
  ASSERT_EQ(sndDsPlayMemory(&m.info, 1, 0, 0, 0, 0, 9), 1);
  ASSERT_EQ(sndDsPlayMemory(&m.info, 1, 0, 0, 0, 0, 9), 2);
  ASSERT_EQ(sndDsNotifyOnEnd(1), 0);
  ASSERT_EQ(sndDsNotifyOnEnd(2), 0);
  sndDsStop(2);  // a stopped sound posts nothing
  play(4096);
  std::vector<MSG> posted = ends();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].wParam, WPARAM{MCI_NOTIFY_SUCCESSFUL});
  EXPECT_EQ(posted[0].lParam, LPARAM{0x44530001});

  ASSERT_EQ(sndDsPlayMemory(&m.info, 1, 0, 0, 0, 4, 9), 4);
  ASSERT_EQ(sndDsNotifyOnEnd(4), 0);
  plat::test::failNext("GetStatus", 1, DSERR_GENERIC);
  sndDsPass();
  EXPECT_FALSE(active(4));
  posted = ends();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].wParam, WPARAM{MCI_NOTIFY_FAILURE});
  EXPECT_EQ(posted[0].lParam, LPARAM{0x44530004});
}

TEST_F(ChannelsNotify, LoopingSoundPostsEachTimeItPassesItsEnd) {
  Stream s{pattern(20000)};
  sndDsFormat f = format(2, 44100, 16, 20000, 16384);
  ASSERT_EQ(sndDsStart(&f, 1, SND_PLAY_LOOP, 0, 0, 0, 9, Stream::fill, &s), 0);
  ASSERT_EQ(sndDsNotifyOnEnd(0), 0);
  play(5000 * 3 + 2048);
  std::vector<MSG> posted = ends();
  EXPECT_GE(posted.size(), 2u);
  for (const MSG& m : posted) EXPECT_EQ(m.wParam, WPARAM{MCI_NOTIFY_SUCCESSFUL});
  EXPECT_TRUE(active(0));
}

// A failed start-up leaves the layer silent: every start answers -63 and no
// box is shown.
TEST_F(Channels, FailedInitRunsSilentWithoutABox) {
  const char* ops[] = {"DirectSoundCreate", "SetCooperativeLevel", "GetCaps", "CreateSoundBuffer", "SetFormat",
                       "Play"};
  Memory m(1000, 1, 22050, 16);
  for (const char* op : ops) {
    SCOPED_TRACE(op);
    sndDsDone();
    plat::test::takeMessageBoxes();
    plat::test::failNext(op, 1, DSERR_GENERIC);
    sndDsInit(nullptr);
    EXPECT_EQ(sndGlobals.directSound, nullptr);
    EXPECT_EQ(sndDsPlayMemory(&m.info, 1, 0, 0, 0, 0, 9), SND_DS_NO_DEVICE);
    EXPECT_EQ(sndDsSetVolume(0, 0), SND_DS_NO_DEVICE);
    EXPECT_EQ(sndDsStatus(0, nullptr), SND_DS_NO_DEVICE);
    EXPECT_EQ(sndDsNotifyOnEnd(0), SND_DS_NO_DEVICE);
    sndDsStop(0);
    EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
    plat::test::clearFaults();
  }
  sndDsInit(nullptr);
}

// A start whose buffer cannot be made returns -63 and leaves the channel
// free, with no buffer left behind; deferred, the pass frees the channel.
TEST_F(Channels, FailedBufferCreation) {
  Memory m(1000, 1, 22050, 16);
  for (const char* op : {"CreateSoundBuffer", "Lock", "Unlock", "SetVolume", "SetPan", "Play"}) {
    SCOPED_TRACE(op);
    plat::test::failNext(op, 1, DSERR_GENERIC);
    EXPECT_EQ(sndDsPlayMemory(&m.info, 1, 0, 0, 0, 0, 9), SND_DS_NO_DEVICE);
    EXPECT_FALSE(active(0));
    EXPECT_EQ(sndGlobals.channels[0].buffer, nullptr);
  }
  ASSERT_EQ(sndDsPlayMemory(&m.info, 1, SND_PLAY_DEFERRED, 0, 0, 0, 9), 0);
  EXPECT_TRUE(active(0));
  plat::test::failNext("CreateSoundBuffer", 1, DSERR_GENERIC);
  sndDsPass();
  EXPECT_FALSE(active(0));
  ASSERT_EQ(sndDsPlayMemory(&m.info, 1, SND_PLAY_DEFERRED, 0, 0, 0, 9), 0);
  EXPECT_EQ(sndGlobals.channels[0].buffer, nullptr);
  sndDsPass();
  EXPECT_NE(sndGlobals.channels[0].buffer, nullptr) << "the pass made the deferred buffer";
}

}  // namespace
