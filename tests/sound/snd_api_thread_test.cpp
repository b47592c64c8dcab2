// The sound API with the streaming thread on SDL's dummy audio device:
// restarts of a shared MP3 source and effect switches while the thread
// fills. Nothing is timed; the thread sanitizer watches the sharing.
#include <chrono>
#include <thread>

#include "api_support.h"

namespace {

using namespace api_test;

class SoundApiThread : public ::testing::Test {
 protected:
  void SetUp() override {
    errInit();
    plat::test::takeMessageBoxes();
    plat::test::setManualAudioClock(false);
    sndDsSetThreadEnabled(true);
    sndMp3SetCodec(&kStandIn);
    sndInit(nullptr);
    ASSERT_NE(sndGlobals.directSound, nullptr);
  }
  void TearDown() override {
    sndDone();
    sndGlobals = sndState{};
    sndMp3SetCodec(nullptr);
    EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
  }
  TempDir tmp_;
};

TEST_F(SoundApiThread, RestartsAndSwitchesWhileTheThreadFills) {
  const std::string mp3 = tmp_.file("tune.mp3");
  const Bytes frames = standInFrames(250);
  writeBytes(mp3, std::string(frames.begin(), frames.end()));
  const std::string click = tmp_.file("click.wav");
  const Bytes wav = snd_test::wavFile(1, 22050, 16, pattern(30000));
  writeBytes(click, std::string(wav.begin(), wav.end()));

  sndVoice* own = sndVoiceNew(mp3.c_str(), 0, 0, 0);
  ASSERT_NE(own, nullptr);
  for (int round = 0; round < 40; ++round) {
    if (round % 4 == 0) sndVoicePlayAt(own);
    sndPlayFile(round % 3 ? mp3.c_str() : click.c_str());
    if (round % 10 == 9) sndSetVolume(round % 20 == 9 ? 0 : 70);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_LE(slotsHolding(own), 1);
  }
  sndSetVolume(100);
  sndVoicePlayAt(own);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  sndVoiceDelete(own);
  sndDone();
  EXPECT_EQ(sndCache, nullptr);
  sndGlobals = sndState{};
  sndInit(nullptr);
}

}  // namespace
