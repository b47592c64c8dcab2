// The channel layer with its streaming thread on SDL's dummy audio device,
// which plays at about real time. Waits are bounded; no timing is asserted
// tighter than twofold.
#include <chrono>
#include <thread>

#include "channels_support.h"

namespace {

using namespace channels_test;
using Clock = std::chrono::steady_clock;

template <class Condition>
bool eventually(Condition done) {
  auto until = Clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class ChannelThread : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::test::setManualAudioClock(false);
    sndDsSetThreadEnabled(true);
    sndDsInit(nullptr);
    ASSERT_NE(sndGlobals.directSound, nullptr);
  }
  void TearDown() override {
    sndDsDone();
    sndGlobals = sndState{};
  }
  static bool threadSleeps() {
    EnterCriticalSection(&sndGlobals.threadLock);
    bool asleep = sndGlobals.suspended != 0;
    LeaveCriticalSection(&sndGlobals.threadLock);
    return asleep;
  }
  // The sources the thread reads: members, so that they outlive the
  // thread, which TearDown stops after the test's own locals are gone.
  Stream s{pattern(400000)};
  Memory m{2000, 1, 22050, 16};
};

TEST_F(ChannelThread, StartsStopsAndVolumesWhileStreaming) {
  sndDsFormat f = format(2, 44100, 16, 400000, 32768);
  // Two sounds stream throughout; starts, volume changes and stops come
  // and go beside them.
  ASSERT_EQ(sndDsStart(&f, 5, SND_PLAY_LOOP, 0, 0, 0, 1, Stream::fill, &s), 0);
  ASSERT_EQ(sndDsStart(&f, 5, 0, 0, 0, 0, 1, Stream::fill, &s), 1);
  for (int round = 0; round < 20; ++round) {
    int32_t ch = sndDsStart(&f, 5, round % 2 ? SND_PLAY_LOOP : SND_PLAY_DEFERRED, -100, 0, 2, 4, Stream::fill, &s);
    ASSERT_GE(ch, 2);
    ASSERT_LE(ch, 4);
    int32_t effect = sndDsPlayMemory(&m.info, 1, 0, 0, 0, 5, 9);
    EXPECT_TRUE(effect == SND_DS_NO_CHANNEL || (effect >= 5 && effect <= 9)) << effect;
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    int32_t set = sndDsSetVolume(ch, -200 - round);
    EXPECT_TRUE(set == 0 || (set == SND_DS_NO_CHANNEL && round % 2 == 0)) << "a deferred buffer may be pending";
    EXPECT_EQ(sndDsSetVolume(0, -round), 0);
    sndDsStop(ch);
  }
  // The streams moved on: some channel's data was refilled.
  EXPECT_TRUE(eventually([&] {
    EnterCriticalSection(&sndGlobals.channelLock);
    bool refilled = false;
    for (const sndDsChannel& c : sndGlobals.channels) refilled |= c.streamPosition > 32768;
    LeaveCriticalSection(&sndGlobals.channelLock);
    return refilled;
  }));
}

TEST_F(ChannelThread, StartJustAfterTheThreadWentIdleIsServed) {
  for (int round = 0; round < 5; ++round) {
    ASSERT_EQ(sndDsPlayMemory(&m.info, 1, 0, 0, 0, 0, 9), 0);
    ASSERT_TRUE(eventually([] { return !active(0); })) << "the thread frees the ended sound";
    ASSERT_TRUE(eventually(threadSleeps));
    // Only the thread can make a deferred buffer: a lost wake would leave
    // the channel pending for ever.
    ASSERT_EQ(sndDsPlayMemory(&m.info, 1, SND_PLAY_DEFERRED, 0, 0, 0, 9), 0);
    EXPECT_TRUE(eventually([] { return !active(0); })) << "round " << round;
  }
}

TEST_F(ChannelThread, DoneWhileStreamingReturnsPromptly) {
  sndDsFormat f = format(2, 44100, 16, 400000, 32768);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(sndDsStart(&f, 5, SND_PLAY_LOOP, 0, 0, 0, 9, Stream::fill, &s), i);
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  auto start = Clock::now();
  sndDsDone();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(sndGlobals.directSound, nullptr);
  EXPECT_EQ(sndGlobals.thread, nullptr);
}

}  // namespace
