// Helpers of the sound API tests: the API on the manual audio clock with
// the passes run by the test, WAV files in a temporary directory, and a
// stand-in MPEG audio decoder whose frames decode to numbered words.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "channels_support.h"
#include "mp3_stand_in.h"
#include "platform/test_api.h"
#include "snd_support.h"
#include "sound/snd.h"
#include "sound/snd_ds.h"
#include "sound/snd_source.h"
#include "support/temp_dir.h"

namespace api_test {

using snd_test::Bytes;

// The left and right samples of stream frame t (4 bytes a frame).
inline int16_t standInSample(int64_t t, int side) {
  const int64_t byte = 4 * t;
  return side ? int16_t(byte / kFrameOut) : int16_t(byte % kFrameOut / 4);
}

// Bytes that differ from their neighbours and from silence.
inline Bytes pattern(size_t n, uint8_t seed = 1) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = uint8_t(seed + i * 7 + (i >> 8));
  return out;
}

inline bool active(int32_t channel) {
  int32_t a = -1;
  return sndDsStatus(channel, &a) == 0 && a == 1;
}

inline std::vector<int64_t> valuesOf(const std::vector<plat::test::CallRecord>& calls, const char* op) {
  std::vector<int64_t> out;
  for (const auto& c : calls)
    if (c.op == op && !c.values.empty()) out.push_back(c.values[0]);
  return out;
}

// The voices in the slots, and how many slots hold v.
inline int slotsHolding(const sndVoice* v) {
  return int(std::count(std::begin(sndApiGlobals.slots), std::end(sndApiGlobals.slots), v));
}
inline int voicesSlotted() {
  return int(SND_VOICE_SLOTS - std::count(std::begin(sndApiGlobals.slots), std::end(sndApiGlobals.slots), nullptr));
}
inline int32_t cacheCount() { return sndCache ? sndCache->count : -1; }

// The API set up over the channel layer on the manual audio clock, without
// the streaming thread; no report box may show.
class SoundApi : public ::testing::Test {
 protected:
  void SetUp() override {
    errInit();
    plat::test::takeMessageBoxes();
    plat::test::clearFaults();
    plat::test::traceCalls(false);
    plat::test::setManualAudioClock(true);
    sndDsSetThreadEnabled(false);
    sndMp3SetCodec(&kStandIn);
    sndInit(nullptr);
    ASSERT_EQ(sndApiGlobals.initialised, 1);
    ASSERT_NE(sndGlobals.directSound, nullptr);
  }
  void TearDown() override {
    sndDone();
    EXPECT_EQ(sndApiGlobals.initialised, 0);
    EXPECT_EQ(sndCache, nullptr);
    EXPECT_EQ(voicesSlotted(), 0);
    sndGlobals = sndState{};
    sndMp3SetCodec(nullptr);
    sndDsSetThreadEnabled(true);
    plat::test::setManualAudioClock(false);
    plat::test::clearFaults();
    plat::test::traceCalls(false);
    EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
  }
  // A WAV file in the temporary directory; its path.
  std::string wav(const std::string& name, const Bytes& pcm, int channels = 1, int rate = 22050, int bits = 16) {
    const std::string path = tmp_.file(name);
    const Bytes file = snd_test::wavFile(channels, rate, bits, pcm);
    writeBytes(path, std::string(file.begin(), file.end()));
    return path;
  }
  std::string file(const std::string& name, const Bytes& bytes) {
    const std::string path = tmp_.file(name);
    writeBytes(path, std::string(bytes.begin(), bytes.end()));
    return path;
  }
  // The name sndPlayFile builds for a file of the temporary directory.
  std::string built(const std::string& name) const { return tmp_.path.string() + "//" + name; }
  // Renders `frames` device frames a period at a time, a pass after each.
  static std::vector<int16_t> render(int frames) { return channels_test::renderWithPasses(frames); }
  TempDir tmp_;
};

}  // namespace api_test
