// Helpers of the audio tests: DirectSound on the manual audio clock, buffers
// of a format, PCM in and out.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/test_api.h"
#include "platform/win_dsound.h"

namespace audio_test {

struct Format {
  WORD channels;
  DWORD rate;
  WORD bits;
};
inline const Format kDeviceFormat{2, 44100, 16};

inline WAVEFORMATEX wave(Format f) {
  WAVEFORMATEX w{};
  w.wFormatTag = WAVE_FORMAT_PCM;
  w.nChannels = f.channels;
  w.nSamplesPerSec = f.rate;
  w.wBitsPerSample = f.bits;
  w.nBlockAlign = static_cast<WORD>(f.channels * f.bits / 8);
  w.nAvgBytesPerSec = w.nBlockAlign * f.rate;
  return w;
}

inline const DWORD kStreamFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_LOCSOFTWARE;

inline DSBUFFERDESC describe(WAVEFORMATEX* w, DWORD bytes, DWORD flags = kStreamFlags) {
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = flags;
  d.dwBufferBytes = bytes;
  d.lpwfxFormat = w;
  return d;
}

inline std::vector<uint8_t> pcm16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out(samples.size() * 2);
  std::memcpy(out.data(), samples.data(), out.size());
  return out;
}

// Writes bytes at offset through Lock and Unlock.
inline void write(IDirectSoundBuffer* b, DWORD offset, const std::vector<uint8_t>& bytes) {
  LPVOID p1 = nullptr, p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  ASSERT_EQ(b->Lock(offset, static_cast<DWORD>(bytes.size()), &p1, &n1, &p2, &n2, 0), DS_OK);
  std::memcpy(p1, bytes.data(), n1);
  if (p2) std::memcpy(p2, bytes.data() + n1, n2);
  ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
}

inline DWORD playCursor(IDirectSoundBuffer* b) {
  DWORD play = 0xFFFFFFFF;
  EXPECT_EQ(b->GetCurrentPosition(&play, nullptr), DS_OK);
  return play;
}

inline DWORD status(IDirectSoundBuffer* b) {
  DWORD s = 0xFFFFFFFF;
  EXPECT_EQ(b->GetStatus(&s), DS_OK);
  return s;
}

// DirectSound on the manual clock, with faults and the trace reset around
// each test; buffers made through make() are released at the end.
class ManualAudio : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::test::clearFaults();
    plat::test::traceCalls(false);
    plat::test::setManualAudioClock(true);
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds_, nullptr), DS_OK);
  }
  void TearDown() override {
    for (IDirectSoundBuffer* b : buffers_) b->Release();
    if (ds_) ds_->Release();
    plat::test::setManualAudioClock(false);
    plat::test::clearFaults();
    plat::test::traceCalls(false);
  }
  IDirectSoundBuffer* make(Format f, DWORD bytes, DWORD flags = kStreamFlags) {
    WAVEFORMATEX w = wave(f);
    DSBUFFERDESC d = describe(&w, bytes, flags);
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    if (b) buffers_.push_back(b);
    return b;
  }
  IDirectSound* ds_ = nullptr;
  std::vector<IDirectSoundBuffer*> buffers_;
};

}  // namespace audio_test
