// The mixer's arithmetic: one voice resampled, weighted and added.
#include <cmath>

#include "platform/audio.h"

namespace plat::detail {

namespace {

int32_t gainOf(double centibels) { return static_cast<int32_t>(std::lround(65536.0 * std::pow(10.0, centibels / 2000.0))); }

// One channel of one frame as a 16-bit value (8-bit PCM is unsigned).
int32_t sampleAt(const AudioVoice& v, uint32_t frame, uint32_t channel) {
  const uint8_t* p = v.live.data() + static_cast<size_t>(frame) * v.blockAlign;
  if (v.channels == 2) p += channel * (v.bits / 8);
  if (v.bits == 8) return (static_cast<int32_t>(p[0]) - 128) * 256;
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

uint64_t stepOf(const AudioVoice& v) { return (static_cast<uint64_t>(v.rate) << 32) / kAudioRate; }

}  // namespace

void setVoiceGains(AudioVoice& voice, LONG volume, LONG pan) {
  voice.gainLeft = gainOf(volume - (pan > 0 ? pan : 0));
  voice.gainRight = gainOf(volume + (pan < 0 ? pan : 0));
}

void mixVoice(AudioVoice& v, int32_t* acc, int count) {
  if (!v.playing || v.frames == 0) return;
  const uint64_t step = stepOf(v);
  const uint64_t end = static_cast<uint64_t>(v.frames) << 32;
  for (int i = 0; i < count; ++i) {
    uint32_t frame = static_cast<uint32_t>(v.position >> 32);
    uint32_t next = frame + 1 < v.frames ? frame + 1 : (v.looping ? 0 : frame);
    int64_t frac = static_cast<int64_t>((v.position >> 16) & 0xFFFF);
    for (uint32_t c = 0; c < 2; ++c) {
      int64_t s0 = sampleAt(v, frame, c);
      int64_t s = s0 + (((sampleAt(v, next, c) - s0) * frac) >> 16);
      acc[2 * i + c] += static_cast<int32_t>((s * (c == 0 ? v.gainLeft : v.gainRight)) >> 16);
    }
    v.position += step;
    if (v.position >= end) {
      if (!v.looping) {
        v.playing = false;
        v.position = 0;
        return;
      }
      v.position %= end;
    }
  }
}

DWORD voiceCursor(const AudioVoice& voice) { return static_cast<DWORD>(voice.position >> 32) * voice.blockAlign; }

}  // namespace plat::detail
