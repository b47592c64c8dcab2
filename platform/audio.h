// The process's audio device and its mixer, inside the platform layer: the
// DirectSound buffers (platform/dsound.cpp) are its voices, and one further
// input (the MIDI synthesizer) is summed with them.
//
// The device renders 44100 Hz stereo 16-bit, a period of at most 512 frames
// at a time: on SDL's audio thread, or in the test API's renderAudio. Each
// period sums the voices (under the device lock) and the input (under its
// own lock, so a slow input never holds up the DirectSound calls), then clips.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/win_types.h"

namespace plat::detail {

inline constexpr int kAudioRate = 44100;
inline constexpr int kAudioPeriod = 512;  // frames

// One secondary buffer as the mixer sees it; every field is guarded by the
// device lock.
struct AudioVoice {
  uint32_t channels = 2;
  uint32_t bits = 16;
  uint32_t rate = kAudioRate;
  uint32_t blockAlign = 4;
  uint32_t frames = 0;        // whole frames in `live`
  std::vector<uint8_t> live;  // the committed bytes the mixer reads
  uint64_t position = 0;      // in frames, 32.32 fixed point
  bool playing = false;
  bool looping = false;
  int32_t gainLeft = 65536;   // 16.16 fixed point
  int32_t gainRight = 65536;
};

// The gains for a volume (hundredths of a decibel, -10000..0) and a pan
// (-10000 left .. 10000 right): 10^(volume/2000) on both sides, the side
// away from the pan attenuated by 10^(-|pan|/2000) more.
void setVoiceGains(AudioVoice& voice, LONG volume, LONG pan);
// Adds `count` device frames of a playing voice to acc (left, right
// interleaved) and moves it on; a voice that is not looping stops at its
// end, its position back at 0.
void mixVoice(AudioVoice& voice, int32_t* acc, int count);
// The voice's play cursor in bytes.
DWORD voiceCursor(const AudioVoice& voice);

// The device lock, and the voices it mixes (under it).
std::mutex& audioLock();
void audioAttach(AudioVoice* voice);
void audioDetach(AudioVoice* voice);

// The device is open while it has users. audioOpen adds one, opening the SDL
// device (paused) for the first; false when there is no device (no user is
// added then). With the test API's manual clock no SDL device is opened.
bool audioOpen();
void audioClose();
// Starts the SDL device (the primary buffer's Play).
void audioStart();

// The second input: renders `count` stereo frames at the device's rate into
// frames (left, right interleaved), summed with the voices before clipping.
// Called on the rendering thread under the input's lock, which
// setAudioInput takes too: once it returns, the previous function is no
// longer running. So never call setAudioInput while holding a lock that the
// render function takes. Null removes the input.
using AudioRenderFn = void (*)(void* user, int16_t* frames, int count);
void setAudioInput(AudioRenderFn render, void* user);

}  // namespace plat::detail
