// The real SDL audio device: a driver that does not exist, the disk driver's
// output, and the dummy driver's clock. Waits are bounded; no timing is
// asserted.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "audio_support.h"
#include "support/temp_dir.h"

namespace {

using namespace audio_test;

// Sets an environment variable for the test's duration.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

// Waits up to five seconds for the condition.
template <class Condition>
bool eventually(Condition done) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The device with its primary buffer, and buffers to release.
struct Device {
  IDirectSound* ds = nullptr;
  IDirectSoundBuffer* primary = nullptr;
  std::vector<IDirectSoundBuffer*> buffers;
  HRESULT open() {
    HRESULT hr = DirectSoundCreate(nullptr, &ds, nullptr);
    if (hr != DS_OK) return hr;
    DSBUFFERDESC d = describe(nullptr, 0, DSBCAPS_PRIMARYBUFFER);
    return ds->CreateSoundBuffer(&d, &primary, nullptr);
  }
  IDirectSoundBuffer* make(const std::vector<int16_t>& samples) {
    WAVEFORMATEX w = wave(kDeviceFormat);
    DSBUFFERDESC d = describe(&w, static_cast<DWORD>(samples.size() * 2));
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    if (b) {
      buffers.push_back(b);
      write(b, 0, pcm16(samples));
    }
    return b;
  }
  ~Device() {
    for (auto* b : buffers) b->Release();
    if (primary) primary->Release();
    if (ds) ds->Release();
  }
};

TEST(AudioDevice, UnknownDriverGivesNoDriver) {
  ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  IDirectSound* ds = reinterpret_cast<IDirectSound*>(1);
  EXPECT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DSERR_NODRIVER);
  EXPECT_EQ(ds, reinterpret_cast<IDirectSound*>(1));

  plat::test::failNext("DirectSoundCreate", 1, DSERR_ALLOCATED);
  ScopedEnv dummy("SDL_AUDIODRIVER", "dummy");
  EXPECT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DSERR_ALLOCATED) << "an injected failure";
  ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK) << "the fault is used up";
  ds->Release();
}

TEST(AudioDevice, DiskDriverWritesTheMix) {
  TempDir dir;
  const std::string file = dir.file("out.raw");
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  ScopedEnv out("SDL_DISKAUDIOFILE", file);
  const int frames = 1000;
  std::vector<int16_t> samples;
  for (int i = 0; i < frames; ++i) {
    samples.push_back(static_cast<int16_t>(1000 + i));
    samples.push_back(static_cast<int16_t>(-1000 - i));
  }
  {
    Device d;
    ASSERT_EQ(d.open(), DS_OK);
    IDirectSoundBuffer* b = d.make(samples);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    ASSERT_EQ(d.primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_TRUE(eventually([&] {
      std::error_code ec;
      auto size = std::filesystem::file_size(file, ec);
      return !ec && size >= 64 * 1024;
    }));
  }
  std::string bytes = readBytes(file);
  std::vector<int16_t> written(bytes.size() / 2);
  std::memcpy(written.data(), bytes.data(), written.size() * 2);
  // Silence while the device was paused, then the buffer from its start,
  // looping.
  size_t start = 0;
  while (start < written.size() && written[start] == 0) ++start;
  ASSERT_GE(written.size(), start + 4 * frames) << "the mix reached the file";
  for (size_t i = 0; i < 4 * static_cast<size_t>(frames); ++i)
    ASSERT_EQ(written[start + i], samples[i % samples.size()]) << "sample " << i;
}

TEST(AudioDevice, DummyDriverMovesTheCursorOncePrimaryPlays) {
  plat::test::setManualAudioClock(false);
  Device d;
  ASSERT_EQ(d.open(), DS_OK);
  IDirectSoundBuffer* b = d.make(std::vector<int16_t>(2 * 44100, 100));
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(playCursor(b), 0u) << "the device waits for the primary buffer's Play";
  ASSERT_EQ(d.primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  EXPECT_TRUE(eventually([&] { return playCursor(b) > 0; }));
  // The cursor moves a device period (512 frames) at a time.
  DWORD first = playCursor(b);
  EXPECT_TRUE(eventually([&] { return playCursor(b) != first; }));
  EXPECT_EQ(playCursor(b) % 2048, 0u);
}

}  // namespace
