// The channel operations: set-up, starts, stops, volume, status.
#include <algorithm>
#include <iterator>
#include <cstdlib>
#include <cstring>

#include "base/err.h"
#include "sound/snd_ds_private.h"

sndState sndGlobals;

namespace {

sndState& S = sndGlobals;

// The system's own error code, raised as it stands.
errCode raiseSystemError(DWORD error) { return errRaise(static_cast<errCode>(error)); }

bool inRange(int32_t channel) { return channel >= 0 && channel < SND_DS_CHANNELS; }

void raiseOnFailure(HRESULT hr) {
  if (FAILED(hr)) errRaise(hr);
}

void releaseDevice() {
  if (S.primary) {
    S.primary->Stop();
    S.primary->Release();
    S.primary = nullptr;
  }
  if (S.directSound) {
    S.directSound->Release();
    S.directSound = nullptr;
  }
}

}  // namespace

void sndDsInit(HWND notifyWindow) {
  ERR_TRY(frame) {
    InitializeCriticalSection(&S.channelLock);
    InitializeCriticalSection(&S.threadLock);
    std::memset(S.channels, 0, sizeof S.channels);
    S.queue = nullptr;
    S.thread = nullptr;
    S.suspended = 0;
    S.stopThread = 0;
    raiseOnFailure(DirectSoundCreate(nullptr, &S.directSound, nullptr));
    raiseOnFailure(S.directSound->SetCooperativeLevel(notifyWindow, DSSCL_EXCLUSIVE));
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    raiseOnFailure(S.directSound->GetCaps(&caps));
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    raiseOnFailure(S.directSound->CreateSoundBuffer(&desc, &S.primary, nullptr));
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nSamplesPerSec = 22050;
    format.wBitsPerSample = (caps.dwFlags & DSCAPS_PRIMARY16BIT) ? 16 : 8;
    format.nChannels = (caps.dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1;
    format.nBlockAlign = static_cast<WORD>(format.nChannels * format.wBitsPerSample / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    raiseOnFailure(S.primary->SetFormat(&format));
    raiseOnFailure(S.primary->Play(0, 0, DSBPLAY_LOOPING));
  }
  ERR_CATCH(frame, code) {
    DeleteCriticalSection(&S.channelLock);
    DeleteCriticalSection(&S.threadLock);
    releaseDevice();
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  S.notifyWindow = notifyWindow;
}

void sndDsDone() {
  if (!S.directSound) return;
  {
    sndDsHold channels(&S.channelLock);
    sndDsHold thread(&S.threadLock);
    while (sndDsQueued* q = S.queue) {
      S.queue = q->next;
      std::free(q);
    }
    sndDsAskThreadToStop();
  }
  sndDsJoinThread();
  DeleteCriticalSection(&S.channelLock);
  DeleteCriticalSection(&S.threadLock);
  for (sndDsChannel& record : S.channels) sndDsFree(record);
  releaseDevice();
}

DWORD sndDsPlayFlags(const sndDsChannel& record) {
  bool streamed = !(record.playFlags & SND_DS_PLAY_STATIC);
  return streamed || (record.playFlags & SND_PLAY_LOOP) ? DSBPLAY_LOOPING : 0;
}

void sndDsFree(sndDsChannel& record) {
  if (record.buffer) {
    record.buffer->Stop();
    record.buffer->Release();
  }
  record = sndDsChannel{};
}

HRESULT sndDsCreateBuffer(int32_t channel) {
  sndDsChannel& c = S.channels[channel];
  const sndDsFormat& f = c.format;
  c.endPosition = SND_DS_NO_END;
  const int32_t bytes = std::min(f.requestedBytes, f.totalBytes);
  c.lastPlayCursor = -1;
  const bool whole = bytes == f.totalBytes;

  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = static_cast<WORD>(f.channels);
  wave.nSamplesPerSec = static_cast<DWORD>(f.samplesPerSec);
  wave.wBitsPerSample = static_cast<WORD>(f.bitsPerSample);
  // In 64 bits: a WAV's format may hold any 16-bit channels and bits (the
  // device refuses what it cannot play).
  wave.nBlockAlign = static_cast<WORD>(int64_t{f.channels} * f.bitsPerSample / 8);
  wave.nAvgBytesPerSec = static_cast<DWORD>(int64_t{f.channels} * f.bitsPerSample * f.samplesPerSec / 8);
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwBufferBytes = static_cast<DWORD>(bytes);
  desc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_LOCSOFTWARE;
  if (S.globalFocus) desc.dwFlags |= DSBCAPS_GLOBALFOCUS;
  desc.dwFlags |= whole ? DSBCAPS_STATIC : DSBCAPS_GETCURRENTPOSITION2;
  desc.lpwfxFormat = &wave;

  auto fail = [&](HRESULT hr) {
    if (c.buffer) {
      c.buffer->Release();
      c.buffer = nullptr;
    }
    return hr;
  };
  HRESULT hr = S.directSound->CreateSoundBuffer(&desc, &c.buffer, nullptr);
  if (FAILED(hr)) {
    c.buffer = nullptr;
    return hr;
  }
  c.bufferBytes = bytes;
  if (whole) c.playFlags |= SND_DS_PLAY_STATIC;
  void* p1 = nullptr;
  void* p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  hr = c.buffer->Lock(0, static_cast<DWORD>(bytes), &p1, &n1, &p2, &n2, 0);
  if (FAILED(hr)) return fail(hr);
  c.streamPosition = c.fill(c.user, p1, c.streamPosition, static_cast<int32_t>(n1), channel);
  if (p2) c.streamPosition = c.fill(c.user, p2, c.streamPosition, static_cast<int32_t>(n2), channel);
  hr = c.buffer->Unlock(p1, n1, p2, n2);
  if (SUCCEEDED(hr)) hr = c.buffer->SetVolume(c.volume);
  if (SUCCEEDED(hr)) hr = c.buffer->SetPan(c.pan);
  if (FAILED(hr)) return fail(hr);
  DWORD play = sndDsPlayFlags(c);
  // A sound that does not loop and whose data already ended in this fill
  // plays the buffer once: looping, it would repeat for ever.
  if (!(c.playFlags & SND_PLAY_LOOP) && c.streamPosition >= f.totalBytes) play = 0;
  hr = c.buffer->Play(0, 0, play);
  if (FAILED(hr)) return fail(hr);
  c.state |= SND_DS_ACTIVE;
  return DS_OK;
}

int32_t sndDsStart(const sndDsFormat* format, uint8_t priority, uint32_t playFlags, int32_t volume, int32_t pan,
                   int32_t first, int32_t last, sndDsFillFn fill, void* user) {
  if (!S.directSound || !format || !fill) return SND_DS_NO_DEVICE;
  // The queue's restart reads the identity as memory PCM.
  if ((playFlags & SND_PLAY_QUEUE) && fill != sndDsMemoryFill) return SND_DS_NO_DEVICE;
  DWORD threadError = 0;
  int32_t result;
  {
    sndDsHold hold(&S.channelLock);
    if (first < 0) first = 0;
    if (last < 0 || last >= SND_DS_CHANNELS) last = SND_DS_CHANNELS - 1;
    if (first > last) return SND_DS_NO_DEVICE;
    auto sameSource = [&](const sndDsChannel& c) {
      return (c.state & SND_DS_ACTIVE) && c.identity == user && c.priority == priority;
    };
    if ((playFlags & SND_PLAY_UNIQUE) && std::any_of(std::begin(S.channels), std::end(S.channels), sameSource))
      return SND_DS_REFUSED;
    if (!sndDsWakeThread(&threadError)) {
      result = SND_DS_REFUSED;
    } else {
      result = [&]() -> int32_t {
        int32_t chosen = -1, plays = 0;
        for (int32_t i = first; i <= last; ++i) {
          if (!(S.channels[i].state & SND_DS_ACTIVE)) {
            if (chosen < 0) chosen = i;
          } else if (sameSource(S.channels[i])) {
            ++plays;
          }
        }
        if (plays > 5) return SND_DS_REFUSED;
        if (chosen < 0) {
          if (playFlags & SND_PLAY_QUEUE) {
            auto* q = static_cast<sndDsQueued*>(std::calloc(1, sizeof(sndDsQueued)));
            if (!q) return SND_DS_REFUSED;
            *q = {nullptr, static_cast<sndWavInfo*>(user), playFlags, volume, pan, first, last, priority};
            sndDsQueued** tail = &S.queue;
            while (*tail) tail = &(*tail)->next;
            *tail = q;
            return SND_DS_REFUSED;
          }
          int32_t victim = first;
          for (int32_t i = first + 1; i <= last; ++i)
            if (S.channels[i].priority < S.channels[victim].priority) victim = i;
          if (priority <= S.channels[victim].priority) return SND_DS_NO_CHANNEL;
          sndDsFree(S.channels[victim]);
          chosen = victim;
        }
        sndDsChannel& c = S.channels[chosen];
        c.volume = volume;
        c.priority = priority;
        c.playFlags = playFlags;
        c.pan = pan;
        c.identity = user;
        c.fill = fill;
        c.user = user;
        c.format = *format;
        if (playFlags & SND_PLAY_DEFERRED) {
          c.state |= SND_DS_CREATE_PENDING | SND_DS_ACTIVE;
        } else if (FAILED(sndDsCreateBuffer(chosen))) {
          // The channel stays free: no channel to report.
          c = sndDsChannel{};
          return SND_DS_NO_DEVICE;
        }
        return chosen;
      }();
    }
  }
  if (threadError != 0) raiseSystemError(threadError);
  return result;
}

int32_t sndDsMemoryFill(void* user, void* dest, int32_t position, int32_t bytes, int32_t) {
  const auto* info = static_cast<const sndWavInfo*>(user);
  // Callers never ask beyond the data; should one, it gets silence there.
  int64_t have = std::clamp<int64_t>(static_cast<int64_t>(info->dataBytes) - position, 0, bytes);
  if (have > 0) std::memcpy(dest, info->data + position, static_cast<size_t>(have));
  if (have < bytes)
    std::memset(static_cast<uint8_t*>(dest) + have, info->bitsPerSample == 8 ? 0x80 : 0,
                static_cast<size_t>(bytes - have));
  return position + bytes;
}

int32_t sndDsPlayMemory(sndWavInfo* info, uint8_t priority, uint32_t playFlags, int32_t volume, int32_t pan,
                        int32_t first, int32_t last) {
  if (!info) return SND_DS_NO_DEVICE;
  sndDsFormat format{};
  format.channels = info->channels;
  format.samplesPerSec = static_cast<int32_t>(info->samplesPerSec);
  format.bitsPerSample = info->bitsPerSample;
  format.totalBytes = static_cast<int32_t>(info->dataBytes);
  // Two seconds, found in 64 bits (any 16-bit channels and bits, any
  // 32-bit rate); no more than an int holds.
  const uint64_t perSecond = uint64_t{info->channels} * info->bitsPerSample * info->samplesPerSec / 8;
  format.requestedBytes = static_cast<int32_t>(std::min<uint64_t>(perSecond * 2, INT32_MAX));
  return sndDsStart(&format, priority, playFlags, volume, pan, first, last, sndDsMemoryFill, info);
}

void sndDsStop(int32_t channel) {
  if (!S.directSound) return;
  sndDsHold hold(&S.channelLock);
  if (inRange(channel) && (S.channels[channel].state & SND_DS_ACTIVE)) {
    S.channels[channel].state &= ~SND_DS_POST_END;
    sndDsFree(S.channels[channel]);
  }
}

int32_t sndDsSetVolume(int32_t channel, int32_t volume) {
  if (!S.directSound) return SND_DS_NO_DEVICE;
  HRESULT hr = SND_DS_NO_CHANNEL;
  {
    sndDsHold hold(&S.channelLock);
    if (inRange(channel) && (S.channels[channel].state & SND_DS_ACTIVE) && S.channels[channel].buffer) {
      sndDsChannel& c = S.channels[channel];
      // A neighbouring value first, so that the device applies the value
      // even when it equals the last one.
      LONG near = volume > DSBVOLUME_MIN && volume < DSBVOLUME_MAX ? volume - 1 : volume == 0 ? -1 : -9999;
      hr = c.buffer->SetVolume(near);
      if (SUCCEEDED(hr)) hr = c.buffer->SetVolume(volume);
      c.volume = volume;
    }
  }
  if (hr != DS_OK && hr != SND_DS_NO_CHANNEL) errRaise(hr);
  return hr;
}

int32_t sndDsNotifyOnEnd(int32_t channel) {
  if (!S.directSound) return SND_DS_NO_DEVICE;
  sndDsHold hold(&S.channelLock);
  if (!inRange(channel) || !(S.channels[channel].state & SND_DS_ACTIVE)) return SND_DS_NO_CHANNEL;
  S.channels[channel].state |= SND_DS_POST_END;
  return 0;
}

int32_t sndDsStatus(int32_t channel, int32_t* active) {
  if (!S.directSound) return SND_DS_NO_DEVICE;
  if (!inRange(channel)) return SND_DS_NO_CHANNEL;
  sndDsHold hold(&S.channelLock);
  if (active) *active = (S.channels[channel].state & SND_DS_ACTIVE) ? 1 : 0;
  return 0;
}
