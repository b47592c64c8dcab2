// The mixer on the manual audio clock: what a buffer sounds like at the
// device (format conversion, resampling, gains, clipping), where its cursors
// stand, how Lock and Unlock commit, and what CreateSoundBuffer refuses.
#include <cmath>
#include <random>

#include "audio_support.h"
#include "platform/audio.h"

namespace {

using namespace audio_test;
using plat::test::renderAudio;

using AudioMix = ManualAudio;

std::vector<int16_t> randomSamples(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> dist(-32768, 32767);
  std::vector<int16_t> out(n);
  for (auto& s : out) s = static_cast<int16_t>(dist(rng));
  return out;
}

TEST_F(AudioMix, BufferInTheDeviceFormatRendersBitExactlyThenStops) {
  const std::vector<int16_t> samples = randomSamples(2 * 1000, 1);
  IDirectSoundBuffer* b = make(kDeviceFormat, 4000);
  write(b, 0, pcm16(samples));
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(status(b), DWORD{DSBSTATUS_PLAYING});
  std::vector<int16_t> out = renderAudio(1300);
  EXPECT_TRUE(std::equal(samples.begin(), samples.end(), out.begin()));
  EXPECT_TRUE(std::all_of(out.begin() + 2000, out.end(), [](int16_t s) { return s == 0; }))
      << "a non-looping buffer stops at its end";
  EXPECT_EQ(status(b), 0u);
  EXPECT_EQ(playCursor(b), 0u);
}

// Linear interpolation between frames at source position x (the last frame
// holds for a buffer that does not loop).
double reference(const std::vector<double>& frames, double x) {
  size_t i = static_cast<size_t>(x);
  double next = i + 1 < frames.size() ? frames[i + 1] : frames[i];
  return frames[i] + (next - frames[i]) * (x - static_cast<double>(i));
}

TEST_F(AudioMix, FormatsAreConvertedAndResampled) {
  struct Case {
    Format format;
    int renderFrames;
  } cases[] = {
      {{1, 44100, 16}, 600},  {{1, 44100, 8}, 600},   {{2, 44100, 8}, 600},  {{1, 22050, 16}, 1000},
      {{2, 11025, 16}, 1000}, {{1, 100, 16}, 2000},   {{2, 100000, 8}, 400}, {{1, 32000, 8}, 700},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format.channels << " ch " << c.format.rate << " Hz " << c.format.bits
                                    << " bit");
    const size_t frames = 400;
    std::mt19937 rng(c.format.rate);
    // Per channel, the value as a 16-bit sample, and the bytes.
    std::vector<double> left, right;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < frames; ++i) {
      for (int ch = 0; ch < c.format.channels; ++ch) {
        int v;
        if (c.format.bits == 8) {
          uint8_t b = static_cast<uint8_t>(rng());
          bytes.push_back(b);
          v = (b - 128) * 256;
        } else {
          int16_t s = static_cast<int16_t>(rng());
          bytes.push_back(static_cast<uint8_t>(s));
          bytes.push_back(static_cast<uint8_t>(s >> 8));
          v = s;
        }
        (ch == 0 ? left : right).push_back(v);
      }
    }
    if (c.format.channels == 1) right = left;
    IDirectSoundBuffer* b = make(c.format, static_cast<DWORD>(bytes.size()));
    write(b, 0, bytes);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = renderAudio(c.renderFrames);
    double step = c.format.rate / 44100.0;
    for (int i = 0; i < c.renderFrames; ++i) {
      double x = i * step;
      if (x >= frames) {
        ASSERT_EQ(out[2 * i], 0) << "after the end, frame " << i;
        continue;
      }
      ASSERT_NEAR(out[2 * i], reference(left, x), 2.0) << "frame " << i;
      ASSERT_NEAR(out[2 * i + 1], reference(right, x), 2.0) << "frame " << i;
    }
    b->Stop();
  }
}

TEST_F(AudioMix, VolumeAndPanGainsAndClipping) {
  struct Case {
    LONG volume, pan;
    double left, right;  // the gains
  } cases[] = {
      {0, 0, 1, 1},
      {-2000, 0, 0.1, 0.1},
      {-600, 0, std::pow(10, -0.3), std::pow(10, -0.3)},
      {0, 2000, 0.1, 1},
      {-1000, -1000, std::pow(10, -0.5), 0.1},
      {0, 10000, 0, 1},
      {0, -10000, 1, 0},
      {-10000, 0, 0, 0},
  };
  const int16_t level = 20000;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
    IDirectSoundBuffer* b = make(kDeviceFormat, 4 * 64);
    write(b, 0, pcm16(std::vector<int16_t>(2 * 64, level)));
    ASSERT_EQ(b->SetVolume(c.volume), DS_OK);
    ASSERT_EQ(b->SetPan(c.pan), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = renderAudio(64);
    EXPECT_NEAR(out[0], level * c.left, 1.0);
    EXPECT_NEAR(out[1], level * c.right, 1.0);
  }
  // Two loud buffers clip instead of wrapping.
  IDirectSoundBuffer* up = make(kDeviceFormat, 16);
  IDirectSoundBuffer* up2 = make(kDeviceFormat, 16);
  IDirectSoundBuffer* down = make({1, 44100, 16}, 8);
  IDirectSoundBuffer* down2 = make({1, 44100, 16}, 8);
  write(up, 0, pcm16({30000, 30000, 30000, 30000, 30000, 30000, 30000, 30000}));
  write(up2, 0, pcm16({30000, 30000, 30000, 30000, 30000, 30000, 30000, 30000}));
  write(down, 0, pcm16({-30000, -30000, -30000, -30000}));
  write(down2, 0, pcm16({-30000, -30000, -30000, -30000}));
  ASSERT_EQ(up->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  ASSERT_EQ(up2->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  ASSERT_EQ(up2->SetPan(10000), DS_OK);  // left silent
  ASSERT_EQ(down->Play(0, 0, 0), DS_OK);
  ASSERT_EQ(down2->Play(0, 0, 0), DS_OK);
  std::vector<int16_t> out = renderAudio(4);
  EXPECT_EQ(out[0], -30000);  // 30000 - 60000
  EXPECT_EQ(out[1], 0);       // 30000 + 30000 - 60000
  down->Stop();
  down2->Stop();
  out = renderAudio(4);
  EXPECT_EQ(out[0], 30000);
  EXPECT_EQ(out[1], 32767);
}

TEST_F(AudioMix, CursorsFollowTheFramesMixed) {
  IDirectSoundBuffer* b = make(kDeviceFormat, 4096);  // 1024 frames
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  EXPECT_EQ(status(b), DWORD{DSBSTATUS_PLAYING | DSBSTATUS_LOOPING});
  renderAudio(512);
  DWORD play = 0, writeAt = 0;
  ASSERT_EQ(b->GetCurrentPosition(&play, &writeAt), DS_OK);
  EXPECT_EQ(play, 2048u);
  EXPECT_EQ(writeAt, 0u) << "a period ahead, wrapped";
  renderAudio(600);
  EXPECT_EQ(playCursor(b), (1112u - 1024u) * 4) << "wraps while looping";

  // Play on a playing buffer changes only the looping flag.
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(playCursor(b), 352u);
  EXPECT_EQ(status(b), DWORD{DSBSTATUS_PLAYING});
  // Stop keeps the position; Play goes on from it.
  renderAudio(10);
  ASSERT_EQ(b->Stop(), DS_OK);
  renderAudio(100);
  EXPECT_EQ(playCursor(b), 392u);
  EXPECT_EQ(status(b), 0u);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  renderAudio(1024 - 98 - 1);
  EXPECT_EQ(playCursor(b), 4092u);
  renderAudio(1);
  EXPECT_EQ(status(b), 0u) << "no longer looping: stopped at its end";

  // At half the device rate the cursor moves half as fast, on whole frames.
  IDirectSoundBuffer* slow = make({1, 22050, 16}, 2000);
  ASSERT_EQ(slow->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  renderAudio(3);
  EXPECT_EQ(playCursor(slow), 2u);
  renderAudio(1);
  EXPECT_EQ(playCursor(slow), 4u);
}

TEST_F(AudioMix, LockGivesTwoRegionsWhenItWrapsAndUnlockCommits) {
  IDirectSoundBuffer* b = make(kDeviceFormat, 64);  // 16 frames
  LPVOID p1 = nullptr, p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  ASSERT_EQ(b->Lock(48, 32, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 16u);
  EXPECT_EQ(n2, 16u);
  EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 48);
  EXPECT_EQ(b->Lock(48, 32, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM) << "a wrap needs a second region";
  ASSERT_EQ(b->Lock(8, 16, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 16u);
  EXPECT_EQ(p2, nullptr);
  EXPECT_EQ(n2, 0u);
  ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
  EXPECT_EQ(n1, 64u);
  EXPECT_EQ(n2, 0u);

  // What is written becomes audible at Unlock, and only what it commits.
  std::vector<int16_t> ones(32, 1000);
  std::memcpy(p1, ones.data(), 64);
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  std::vector<int16_t> out = renderAudio(16);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 0; })) << "still locked";
  ASSERT_EQ(b->Unlock(p1, 32, nullptr, 0), DS_OK);  // the first 8 frames
  out = renderAudio(16);
  EXPECT_EQ(out[0], 1000);
  EXPECT_EQ(out[15], 1000);
  EXPECT_EQ(out[16], 0);

  // Refusals.
  EXPECT_EQ(b->Lock(64, 4, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 65, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  int elsewhere[4];
  EXPECT_EQ(b->Unlock(elsewhere, 4, nullptr, 0), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->Lock(0, 64, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(b->Unlock(p1, 65, nullptr, 0), DSERR_INVALIDPARAM);
}

TEST_F(AudioMix, CreateSoundBufferRefusals) {
  struct Case {
    const char* what;
    WORD tag, channels;
    DWORD rate;
    WORD bits, blockAlign;
    DWORD bytes, flags;
    HRESULT expected;
  } cases[] = {
      {"the device format", 1, 2, 44100, 16, 4, 4096, kStreamFlags, DS_OK},
      {"4 bytes", 1, 2, 44100, 16, 4, 4, kStreamFlags, DS_OK},
      {"global focus, static", 1, 1, 8000, 8, 1, 100, kStreamFlags | DSBCAPS_GLOBALFOCUS | DSBCAPS_STATIC, DS_OK},
      {"0 bytes", 1, 2, 44100, 16, 4, 0, kStreamFlags, DSERR_INVALIDPARAM},
      {"less than a frame", 1, 2, 44100, 16, 4, 3, kStreamFlags, DSERR_INVALIDPARAM},
      {"not PCM", 3, 2, 44100, 16, 4, 4096, kStreamFlags, DSERR_INVALIDPARAM},
      {"no channel", 1, 0, 44100, 16, 0, 4096, kStreamFlags, DSERR_INVALIDPARAM},
      {"3 channels", 1, 3, 44100, 16, 6, 4096, kStreamFlags, DSERR_INVALIDPARAM},
      {"24 bits", 1, 2, 44100, 24, 6, 4096, kStreamFlags, DSERR_INVALIDPARAM},
      {"wrong block align", 1, 2, 44100, 16, 2, 4096, kStreamFlags, DSERR_INVALIDPARAM},
      {"rate 99", 1, 2, 99, 16, 4, 4096, kStreamFlags, DSERR_INVALIDPARAM},
      {"rate 100", 1, 2, 100, 16, 4, 4096, kStreamFlags, DS_OK},
      {"rate 100000", 1, 2, 100000, 16, 4, 4096, kStreamFlags, DS_OK},
      {"rate 100001", 1, 2, 100001, 16, 4, 4096, kStreamFlags, DSERR_INVALIDPARAM},
  };
  for (const Case& c : cases) {
    WAVEFORMATEX w{c.tag, c.channels, c.rate, c.rate * c.blockAlign, c.blockAlign, c.bits, 0};
    DSBUFFERDESC d = describe(&w, c.bytes, c.flags);
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), c.expected) << c.what;
    EXPECT_EQ(b != nullptr, c.expected == DS_OK) << c.what;
    if (b) buffers_.push_back(b);
  }
  WAVEFORMATEX w = wave(kDeviceFormat);
  DSBUFFERDESC d = describe(&w, 4096);
  IDirectSoundBuffer* b = nullptr;
  d.dwSize = 36;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM) << "the 32-bit size";
  d = describe(nullptr, 4096);
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM) << "no format";
  d = describe(&w, 4096, DSBCAPS_PRIMARYBUFFER);
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM) << "a primary buffer has no size";
  d = describe(&w, 4096);
  int outer = 0;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, &outer), DSERR_NOAGGREGATION);
  EXPECT_EQ(b, nullptr);

  // Volumes and pans out of range, and controls the buffer was not made with.
  IDirectSoundBuffer* plain = make(kDeviceFormat, 64, 0);
  IDirectSoundBuffer* ctrl = make(kDeviceFormat, 64);
  EXPECT_EQ(plain->SetVolume(0), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(plain->SetPan(0), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(ctrl->SetVolume(-10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(ctrl->SetVolume(1), DSERR_INVALIDPARAM);
  EXPECT_EQ(ctrl->SetPan(-10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(ctrl->SetPan(10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(ctrl->SetVolume(-10000), DS_OK);
  EXPECT_EQ(ctrl->SetPan(10000), DS_OK);
}

TEST_F(AudioMix, PrimaryBufferAndCaps) {
  DSCAPS caps{};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(ds_->GetCaps(&caps), DS_OK);
  EXPECT_EQ(caps.dwFlags, DWORD{DSCAPS_PRIMARY16BIT | DSCAPS_PRIMARYSTEREO});
  EXPECT_EQ(ds_->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE), DS_OK);

  DSBUFFERDESC d = describe(nullptr, 0, DSBCAPS_PRIMARYBUFFER);
  IDirectSoundBuffer* primary = nullptr;
  ASSERT_EQ(ds_->CreateSoundBuffer(&d, &primary, nullptr), DS_OK);
  buffers_.push_back(primary);
  WAVEFORMATEX w = wave({2, 22050, 16});
  EXPECT_EQ(primary->SetFormat(&w), DS_OK);
  EXPECT_EQ(primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  EXPECT_EQ(status(primary) & DSBSTATUS_PLAYING, DWORD{DSBSTATUS_PLAYING});
  LPVOID p = nullptr;
  DWORD n = 0;
  EXPECT_EQ(primary->Lock(0, 4, &p, &n, nullptr, nullptr, 0), DSERR_INVALIDCALL);

  // The device format stays: a secondary buffer in it is still bit-exact.
  IDirectSoundBuffer* b = make(kDeviceFormat, 8);
  write(b, 0, pcm16({1, -2, 3, -4}));
  b->Play(0, 0, 0);
  EXPECT_EQ(renderAudio(3), (std::vector<int16_t>{1, -2, 3, -4, 0, 0}));
}

TEST_F(AudioMix, FaultsAndTrace) {
  IDirectSoundBuffer* b = make(kDeviceFormat, 64);
  plat::test::traceCalls(true);
  plat::test::failNext("IDirectSoundBuffer::Lock", 1, DSERR_BUFFERLOST);
  LPVOID p1 = reinterpret_cast<LPVOID>(1), p2 = nullptr;
  DWORD n1 = 7, n2 = 0;
  EXPECT_EQ(b->Lock(0, 64, &p1, &n1, &p2, &n2, 0), DSERR_BUFFERLOST);
  EXPECT_EQ(p1, reinterpret_cast<LPVOID>(1)) << "an injected fault writes nothing";
  EXPECT_EQ(n1, 7u);
  EXPECT_EQ(b->SetVolume(-100), DS_OK);
  auto calls = plat::test::takeCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].op, "Lock");
  EXPECT_EQ(calls[0].iface, "IDirectSoundBuffer");
  EXPECT_EQ(calls[0].object, b);
  EXPECT_EQ(calls[0].values, (std::vector<int64_t>{0, 64}));
  EXPECT_EQ(calls[0].result, DSERR_BUFFERLOST);
  EXPECT_EQ(calls[1].op, "SetVolume");
  EXPECT_EQ(calls[1].values, std::vector<int64_t>{-100});

  plat::test::failNext("CreateSoundBuffer", 1, DSERR_OUTOFMEMORY);
  WAVEFORMATEX w = wave({1, 22050, 8});
  DSBUFFERDESC d = describe(&w, 1000, kStreamFlags | DSBCAPS_STATIC);
  IDirectSoundBuffer* none = nullptr;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &none, nullptr), DSERR_OUTOFMEMORY);
  EXPECT_EQ(none, nullptr);
  IDirectSoundBuffer* made = make({1, 22050, 8}, 1000, kStreamFlags | DSBCAPS_STATIC);
  calls = plat::test::takeCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].object, nullptr);
  EXPECT_EQ(calls[1].object, made);
  EXPECT_EQ(calls[1].flags, kStreamFlags | DSBCAPS_STATIC);
  EXPECT_EQ(calls[1].values, (std::vector<int64_t>{1000, 1, 22050, 8}));
}

// A constant source on the second input: summed with the buffers before
// clipping, asked for at most a period at a time, gone once removed.
struct Constant {
  int16_t left, right;
  std::vector<int> counts;
};
void renderConstant(void* user, int16_t* frames, int count) {
  auto* c = static_cast<Constant*>(user);
  c->counts.push_back(count);
  for (int i = 0; i < count; ++i) {
    frames[2 * i] = c->left;
    frames[2 * i + 1] = c->right;
  }
}

TEST_F(AudioMix, SecondInputIsSummedBeforeClipping) {
  Constant source{1000, 30000, {}};
  plat::detail::setAudioInput(renderConstant, &source);
  IDirectSoundBuffer* b = make(kDeviceFormat, 4 * 1300);
  write(b, 0, pcm16(std::vector<int16_t>(2 * 1300, 5000)));
  b->Play(0, 0, 0);
  std::vector<int16_t> out = renderAudio(1300);
  plat::detail::setAudioInput(nullptr, nullptr);
  EXPECT_EQ(source.counts, (std::vector<int>{512, 512, 276}));
  for (int i = 0; i < 1300; ++i) {
    ASSERT_EQ(out[2 * i], 6000);
    ASSERT_EQ(out[2 * i + 1], 32767);
  }
  out = renderAudio(4);
  EXPECT_EQ(out, std::vector<int16_t>(8, 0)) << "the input is gone; the buffer has ended";
  EXPECT_EQ(source.counts.size(), 3u);
}

}  // namespace
