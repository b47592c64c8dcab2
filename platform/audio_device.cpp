// The process's SDL audio device, the mix of one period, the second input and
// the test API's manual audio clock.
#include <SDL.h>

#include <algorithm>

#include "platform/audio.h"
#include "platform/test_api.h"

namespace plat::detail {

namespace {

struct Device {
  std::mutex lock;  // the device lock: the voices and their state
  std::vector<AudioVoice*> voices;

  std::mutex inputLock;
  AudioRenderFn input = nullptr;
  void* inputUser = nullptr;
  std::vector<int16_t> inputFrames = std::vector<int16_t>(2 * kAudioPeriod);

  std::mutex openLock;  // users, the SDL device and the clock mode
  int users = 0;
  SDL_AudioDeviceID sdl = 0;
  bool started = false;
  bool manual = false;
};

// Lives for the process: threads still running at exit meet a live device.
Device& device() {
  static Device* d = new Device;
  return *d;
}

void renderPeriod(int16_t* out, int count) {
  Device& d = device();
  int32_t acc[2 * kAudioPeriod] = {};
  {
    std::lock_guard<std::mutex> hold(d.lock);
    for (AudioVoice* v : d.voices) mixVoice(*v, acc, count);
  }
  {
    std::lock_guard<std::mutex> hold(d.inputLock);
    if (d.input) {
      std::fill_n(d.inputFrames.begin(), 2 * count, int16_t{0});
      d.input(d.inputUser, d.inputFrames.data(), count);
      for (int i = 0; i < 2 * count; ++i) acc[i] += d.inputFrames[i];
    }
  }
  for (int i = 0; i < 2 * count; ++i) out[i] = static_cast<int16_t>(std::clamp(acc[i], -32768, 32767));
}

void render(int16_t* out, int frames) {
  while (frames > 0) {
    int n = std::min(frames, kAudioPeriod);
    renderPeriod(out, n);
    out += 2 * n;
    frames -= n;
  }
}

void SDLCALL deviceCallback(void*, Uint8* stream, int bytes) { render(reinterpret_cast<int16_t*>(stream), bytes / 4); }

bool openSdl(Device& d) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = kAudioRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kAudioPeriod;
  want.callback = deviceCallback;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware plays.
  d.sdl = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (d.sdl == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

}  // namespace

std::mutex& audioLock() { return device().lock; }

void audioAttach(AudioVoice* voice) { device().voices.push_back(voice); }

void audioDetach(AudioVoice* voice) { std::erase(device().voices, voice); }

bool audioOpen() {
  Device& d = device();
  std::lock_guard<std::mutex> hold(d.openLock);
  if (d.users == 0 && !d.manual && !openSdl(d)) return false;
  ++d.users;
  return true;
}

void audioClose() {
  Device& d = device();
  std::lock_guard<std::mutex> hold(d.openLock);
  if (d.users == 0 || --d.users > 0) return;
  d.started = false;
  if (d.sdl != 0) {
    SDL_CloseAudioDevice(d.sdl);
    d.sdl = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

void audioStart() {
  Device& d = device();
  std::lock_guard<std::mutex> hold(d.openLock);
  d.started = true;
  if (d.sdl != 0 && !d.manual) SDL_PauseAudioDevice(d.sdl, 0);
}

void setAudioInput(AudioRenderFn render, void* user) {
  Device& d = device();
  std::lock_guard<std::mutex> hold(d.inputLock);
  d.input = render;
  d.inputUser = user;
}

}  // namespace plat::detail

namespace plat::test {

void setManualAudioClock(bool on) {
  auto& d = plat::detail::device();
  std::lock_guard<std::mutex> hold(d.openLock);
  d.manual = on;
  if (d.sdl != 0) SDL_PauseAudioDevice(d.sdl, on || !d.started ? 1 : 0);
}

std::vector<int16_t> renderAudio(int frames) {
  std::vector<int16_t> out(2 * static_cast<size_t>(std::max(frames, 0)));
  plat::detail::render(out.data(), std::max(frames, 0));
  return out;
}

}  // namespace plat::test
