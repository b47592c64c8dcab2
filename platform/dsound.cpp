// DirectSound objects over the process's audio device (platform/audio.h).
#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "platform/audio.h"
#include "platform/call_trace.h"
#include "platform/win_dsound.h"

namespace {

using plat::test::CallRecord;
using plat::detail::tracedCall;

const char kSound[] = "IDirectSound";
const char kBuffer[] = "IDirectSoundBuffer";

bool validPcm(LPCWAVEFORMATEX f) {
  return f && f->wFormatTag == WAVE_FORMAT_PCM && (f->nChannels == 1 || f->nChannels == 2) &&
         (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) &&
         f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8 && f->nSamplesPerSec >= DSBFREQUENCY_MIN &&
         f->nSamplesPerSec <= DSBFREQUENCY_MAX;
}

std::vector<int64_t> formatValues(LPCWAVEFORMATEX f) {
  if (!f) return {};
  return {f->nChannels, f->nSamplesPerSec, f->wBitsPerSample};
}

class Sound final : public IDirectSound {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override;
  HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, void* outer) override;
  HRESULT GetCaps(LPDSCAPS caps) override;
  HRESULT SetCooperativeLevel(HWND window, DWORD level) override;

 private:
  std::atomic<ULONG> refs_{1};
};

class Buffer final : public IDirectSoundBuffer {
 public:
  // A secondary buffer of that format and size, or the primary buffer
  // (format null).
  Buffer(Sound* owner, DWORD flags, LPCWAVEFORMATEX format, DWORD bytes);

  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override;
  HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override;
  HRESULT GetStatus(DWORD* status) override;
  HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* ptr1, DWORD* bytes1, LPVOID* ptr2, DWORD* bytes2,
               DWORD flags) override;
  HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
  HRESULT SetFormat(LPCWAVEFORMATEX format) override;
  HRESULT SetVolume(LONG volume) override;
  HRESULT SetPan(LONG pan) override;
  HRESULT Stop() override;
  HRESULT Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) override;

 private:
  bool primary() const { return (flags_ & DSBCAPS_PRIMARYBUFFER) != 0; }
  DWORD writeCursor() const;                   // under the device lock
  bool inStaging(LPVOID p, DWORD bytes) const;  // a region Lock could have given
  void commit(LPVOID p, DWORD bytes);           // under the device lock

  Sound* const owner_;
  const DWORD flags_;
  std::atomic<ULONG> refs_{1};
  std::vector<uint8_t> staging_;   // what Lock hands out; the caller's side
  plat::detail::AudioVoice voice_;  // the mixer's side, under the device lock
  LONG volume_ = 0;                 // under the device lock
  LONG pan_ = 0;
  bool primaryPlaying_ = false;
  WAVEFORMATEX primaryFormat_{};    // recorded by SetFormat
};

// --- the DirectSound object ---

ULONG Sound::Release() {
  ULONG left = --refs_;
  if (plat::detail::tracing()) plat::detail::trace({.op = "Release", .iface = kSound, .object = this, .values = {left}});
  if (left == 0) {
    delete this;
    plat::detail::audioClose();
  }
  return left;
}

HRESULT Sound::CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* out, void* outer) {
  CallRecord args;
  if (desc) {
    args.flags = desc->dwFlags;
    args.values = formatValues(desc->lpwfxFormat);
    args.values.insert(args.values.begin(), desc->dwBufferBytes);
  }
  return tracedCall(kSound, "CreateSoundBuffer", nullptr, std::move(args), [&](CallRecord& record) {
    if (outer) return DSERR_NOAGGREGATION;
    if (!desc || !out || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
      if (desc->dwBufferBytes != 0 || desc->lpwfxFormat) return DSERR_INVALIDPARAM;
    } else {
      LPCWAVEFORMATEX f = desc->lpwfxFormat;
      if (!validPcm(f) || desc->dwBufferBytes < f->nBlockAlign || desc->dwBufferBytes < DSBSIZE_MIN ||
          desc->dwBufferBytes > DSBSIZE_MAX)
        return DSERR_INVALIDPARAM;
    }
    auto* buffer = new Buffer(this, desc->dwFlags, desc->lpwfxFormat, desc->dwBufferBytes);
    *out = buffer;
    record.object = buffer;
    return DS_OK;
  });
}

HRESULT Sound::GetCaps(LPDSCAPS caps) {
  return tracedCall(kSound, "GetCaps", this, {}, [&](CallRecord&) {
    if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    *caps = DSCAPS{};
    caps->dwSize = sizeof(DSCAPS);
    caps->dwFlags = DSCAPS_PRIMARY16BIT | DSCAPS_PRIMARYSTEREO;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    return DS_OK;
  });
}

HRESULT Sound::SetCooperativeLevel(HWND, DWORD level) {
  return tracedCall(kSound, "SetCooperativeLevel", this, {.flags = level}, [&](CallRecord&) {
    return level >= DSSCL_NORMAL && level <= DSSCL_WRITEPRIMARY ? DS_OK : DSERR_INVALIDPARAM;
  });
}

// --- buffers ---

Buffer::Buffer(Sound* owner, DWORD flags, LPCWAVEFORMATEX format, DWORD bytes) : owner_(owner), flags_(flags) {
  owner_->AddRef();
  if (primary()) return;
  plat::detail::AudioVoice& v = voice_;
  v.channels = format->nChannels;
  v.bits = format->wBitsPerSample;
  v.rate = format->nSamplesPerSec;
  v.blockAlign = format->nBlockAlign;
  v.frames = bytes / v.blockAlign;
  // A new buffer holds silence.
  v.live.assign(bytes, v.bits == 8 ? 0x80 : 0);
  staging_ = v.live;
  std::lock_guard<std::mutex> hold(plat::detail::audioLock());
  plat::detail::audioAttach(&voice_);
}

ULONG Buffer::Release() {
  ULONG left = --refs_;
  if (plat::detail::tracing()) plat::detail::trace({.op = "Release", .iface = kBuffer, .object = this, .values = {left}});
  if (left == 0) {
    {
      std::lock_guard<std::mutex> hold(plat::detail::audioLock());
      plat::detail::audioDetach(&voice_);
    }
    Sound* owner = owner_;
    delete this;
    owner->Release();
  }
  return left;
}

DWORD Buffer::writeCursor() const {
  const plat::detail::AudioVoice& v = voice_;
  uint64_t lead = (static_cast<uint64_t>(plat::detail::kAudioPeriod) * v.rate + plat::detail::kAudioRate - 1) /
                  plat::detail::kAudioRate;
  uint64_t frame = (v.position >> 32) + lead;
  return static_cast<DWORD>(frame % v.frames) * v.blockAlign;
}

HRESULT Buffer::GetCurrentPosition(DWORD* play, DWORD* write) {
  return tracedCall(kBuffer, "GetCurrentPosition", this, {}, [&](CallRecord& record) {
    if (!play && !write) return DSERR_INVALIDPARAM;
    DWORD p = 0, w = 0;
    if (!primary()) {
      std::lock_guard<std::mutex> hold(plat::detail::audioLock());
      p = plat::detail::voiceCursor(voice_);
      w = writeCursor();
    }
    if (play) *play = p;
    if (write) *write = w;
    record.values = {p, w};
    return DS_OK;
  });
}

HRESULT Buffer::GetStatus(DWORD* status) {
  return tracedCall(kBuffer, "GetStatus", this, {}, [&](CallRecord& record) {
    if (!status) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> hold(plat::detail::audioLock());
    bool playing = primary() ? primaryPlaying_ : voice_.playing;
    *status = playing ? DSBSTATUS_PLAYING | (voice_.looping || primary() ? DSBSTATUS_LOOPING : 0) : 0;
    record.values = {*status};
    return DS_OK;
  });
}

HRESULT Buffer::Lock(DWORD offset, DWORD bytes, LPVOID* ptr1, DWORD* bytes1, LPVOID* ptr2, DWORD* bytes2,
                     DWORD flags) {
  return tracedCall(kBuffer, "Lock", this, {.flags = flags, .values = {offset, bytes}}, [&](CallRecord&) {
    if (primary()) return DSERR_INVALIDCALL;
    if (!ptr1 || !bytes1) return DSERR_INVALIDPARAM;
    const DWORD size = static_cast<DWORD>(staging_.size());
    if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
    if (flags & DSBLOCK_FROMWRITECURSOR) {
      std::lock_guard<std::mutex> hold(plat::detail::audioLock());
      offset = writeCursor();
    }
    if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
    DWORD first = std::min(bytes, size - offset);
    if (first < bytes && (!ptr2 || !bytes2)) return DSERR_INVALIDPARAM;
    *ptr1 = staging_.data() + offset;
    *bytes1 = first;
    if (ptr2) *ptr2 = first < bytes ? staging_.data() : nullptr;
    if (bytes2) *bytes2 = bytes - first;
    return DS_OK;
  });
}

bool Buffer::inStaging(LPVOID p, DWORD bytes) const {
  auto* b = static_cast<const uint8_t*>(p);
  const uint8_t* begin = staging_.data();
  return b >= begin && b <= begin + staging_.size() && bytes <= static_cast<size_t>(begin + staging_.size() - b);
}

void Buffer::commit(LPVOID p, DWORD bytes) {
  if (!p || bytes == 0) return;
  size_t offset = static_cast<const uint8_t*>(p) - staging_.data();
  std::memcpy(voice_.live.data() + offset, p, bytes);
}

HRESULT Buffer::Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) {
  return tracedCall(kBuffer, "Unlock", this, {.values = {bytes1, bytes2}}, [&](CallRecord&) {
    if (primary()) return DSERR_INVALIDCALL;
    if (!ptr1 || !inStaging(ptr1, bytes1) || (ptr2 ? !inStaging(ptr2, bytes2) : bytes2 != 0))
      return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> hold(plat::detail::audioLock());
    commit(ptr1, bytes1);
    commit(ptr2, bytes2);
    return DS_OK;
  });
}

HRESULT Buffer::Play(DWORD, DWORD, DWORD flags) {
  return tracedCall(kBuffer, "Play", this, {.flags = flags}, [&](CallRecord&) {
    if (primary()) {
      {
        std::lock_guard<std::mutex> hold(plat::detail::audioLock());
        primaryPlaying_ = true;
      }
      plat::detail::audioStart();
      return DS_OK;
    }
    std::lock_guard<std::mutex> hold(plat::detail::audioLock());
    voice_.playing = true;
    voice_.looping = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
  });
}

HRESULT Buffer::Stop() {
  return tracedCall(kBuffer, "Stop", this, {}, [&](CallRecord&) {
    std::lock_guard<std::mutex> hold(plat::detail::audioLock());
    if (primary()) {
      primaryPlaying_ = false;
    } else {
      voice_.playing = false;
    }
    return DS_OK;
  });
}

HRESULT Buffer::SetFormat(LPCWAVEFORMATEX format) {
  return tracedCall(kBuffer, "SetFormat", this, {.values = formatValues(format)}, [&](CallRecord&) {
    if (!primary()) return DSERR_INVALIDCALL;
    if (!validPcm(format)) return DSERR_INVALIDPARAM;
    primaryFormat_ = *format;
    return DS_OK;
  });
}

HRESULT Buffer::SetVolume(LONG volume) {
  return tracedCall(kBuffer, "SetVolume", this, {.values = {volume}}, [&](CallRecord&) {
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> hold(plat::detail::audioLock());
    volume_ = volume;
    plat::detail::setVoiceGains(voice_, volume_, pan_);
    return DS_OK;
  });
}

HRESULT Buffer::SetPan(LONG pan) {
  return tracedCall(kBuffer, "SetPan", this, {.values = {pan}}, [&](CallRecord&) {
    if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> hold(plat::detail::audioLock());
    pan_ = pan;
    plat::detail::setVoiceGains(voice_, volume_, pan_);
    return DS_OK;
  });
}

}  // namespace

HRESULT DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* sound, void* outer) {
  return tracedCall("", "DirectSoundCreate", nullptr, {}, [&](CallRecord& record) {
    if (outer) return DSERR_NOAGGREGATION;
    if (!sound) return DSERR_INVALIDPARAM;
    if (device || !plat::detail::audioOpen()) return DSERR_NODRIVER;
    *sound = new Sound;
    record.object = *sound;
    return DS_OK;
  });
}
