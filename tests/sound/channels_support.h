// Helpers of the channel tests: sources of PCM, and the channel layer set
// up on the manual audio clock with the passes run by the test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/test_api.h"
#include "sound/snd_ds.h"

namespace channels_test {

// Renders `frames` device frames on the manual audio clock a period at a
// time, running a pass of the channels after each period; the samples
// rendered.
inline std::vector<int16_t> renderWithPasses(int frames) {
  std::vector<int16_t> out;
  for (int done = 0; done < frames; done += 512) {
    std::vector<int16_t> part = plat::test::renderAudio(std::min(512, frames - done));
    out.insert(out.end(), part.begin(), part.end());
    sndDsPass();
  }
  return out;
}

// A stream of bytes behind a fill function; beyond its end it reports the
// end (the position it returns) and writes silence.
struct Stream {
  std::vector<uint8_t> bytes;
  int32_t bits = 16;
  static int32_t fill(void* user, void* dest, int32_t position, int32_t count, int32_t) {
    auto* s = static_cast<Stream*>(user);
    auto* out = static_cast<uint8_t*>(dest);
    for (int32_t i = 0; i < count; ++i) {
      size_t at = static_cast<size_t>(position) + i;
      out[i] = at < s->bytes.size() ? s->bytes[at] : (s->bits == 8 ? 0x80 : 0);
    }
    return position + count;
  }
};

// Bytes that differ from their neighbours and from silence.
inline std::vector<uint8_t> pattern(size_t n, uint8_t seed = 1) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return out;
}

// Memory PCM of `bytes` bytes.
struct Memory {
  std::vector<uint8_t> data;
  sndWavInfo info{};
  Memory(uint32_t bytes, uint16_t channels, uint32_t rate, uint16_t bits) : data(pattern(bytes)) {
    info.formatTag = WAVE_FORMAT_PCM;
    info.channels = channels;
    info.samplesPerSec = rate;
    info.bitsPerSample = bits;
    info.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    info.avgBytesPerSec = info.blockAlign * rate;
    info.dataBytes = bytes;
    info.data = data.data();
  }
};

inline sndDsFormat format(int32_t channels, int32_t rate, int32_t bits, int32_t total, int32_t requested) {
  return sndDsFormat{channels, rate, bits, total, requested};
}

inline bool active(int32_t channel) {
  int32_t a = -1;
  EXPECT_EQ(sndDsStatus(channel, &a), 0);
  return a == 1;
}

// The channel layer on the manual audio clock, without its thread.
class Channels : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::test::clearFaults();
    plat::test::traceCalls(false);
    plat::test::setManualAudioClock(true);
    sndDsSetThreadEnabled(false);
    sndGlobals.globalFocus = 0;
    sndDsInit(nullptr);
    ASSERT_NE(sndGlobals.directSound, nullptr);
  }
  void TearDown() override {
    sndDsDone();
    sndGlobals = sndState{};
    sndDsSetThreadEnabled(true);
    plat::test::setManualAudioClock(false);
    plat::test::clearFaults();
    plat::test::traceCalls(false);
  }
  static std::vector<int16_t> play(int frames) { return renderWithPasses(frames); }
};

}  // namespace channels_test
