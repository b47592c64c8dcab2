// The streaming thread: one pass over the channels every 50 ms, sleeping
// while no channel is active.
#include <cstdlib>
#include <cstring>

#include "base/err.h"
#include "sound/snd_ds_private.h"

namespace {

sndState& S = sndGlobals;

bool threadEnabled = true;

// Silences bytes of PCM of the channel's format.
void silence(const sndDsChannel& c, void* p, DWORD bytes) {
  if (p) std::memset(p, c.format.bitsPerSample == 8 ? 0x80 : 0, bytes);
}

void postEnd(int32_t channel, bool failed) {
  PostMessageA(S.notifyWindow, MM_MCINOTIFY, failed ? MCI_NOTIFY_FAILURE : MCI_NOTIFY_SUCCESSFUL,
               SND_DS_NOTIFY_TAG + channel);
}

// Frees the channel, then gives it to the first queued start whose range
// holds it; without one, a requested end is posted.
void release(int32_t channel, bool failed) {
  bool post = (S.channels[channel].state & SND_DS_POST_END) != 0;
  if (S.channels[channel].buffer) S.channels[channel].buffer->Release();
  S.channels[channel] = sndDsChannel{};
  for (sndDsQueued** link = &S.queue; *link; link = &(*link)->next) {
    sndDsQueued* q = *link;
    if (channel < q->firstChannel || channel > q->lastChannel) continue;
    *link = q->next;
    ERR_TRY(frame) {
      int32_t started =
          sndDsPlayMemory(q->identity, q->priority, q->playFlags, q->volume, q->pan, channel, channel);
      if (post && started == channel) sndDsNotifyOnEnd(channel);
    }
    ERR_CATCH(frame, code) { errEndCatch(errGetState(), &frame); }
    ERR_END_TRY
    std::free(q);
    return;
  }
  if (post) postEnd(channel, failed);
}

// Fills the half at offset (n bytes) from the stream. P is the play cursor.
HRESULT fillHalf(int32_t channel, DWORD offset, DWORD n, DWORD P) {
  sndDsChannel& c = S.channels[channel];
  const DWORD half = static_cast<DWORD>(c.bufferBytes) / 2;
  const bool loop = (c.playFlags & SND_PLAY_LOOP) != 0;
  int32_t left = c.format.totalBytes - c.streamPosition;
  DWORD m = left < static_cast<int32_t>(n) ? static_cast<DWORD>(left) : n;
  void* p1 = nullptr;
  void* p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  HRESULT hr = c.buffer->Lock(offset, n, &p1, &n1, &p2, &n2, 0);
  if (FAILED(hr)) return hr;
  auto* region = static_cast<uint8_t*>(p1);
  if (m < n && !loop) silence(c, region, n1);
  c.streamPosition = c.fill(c.user, region, c.streamPosition, static_cast<int32_t>(m), channel);
  const bool ended = c.streamPosition >= c.format.totalBytes;
  if (ended) {
    c.endPosition = static_cast<int32_t>(offset + m);
    if (loop) {
      c.streamPosition = static_cast<int32_t>(n - m);
      if (m < n) c.streamPosition = c.fill(c.user, region + m, 0, static_cast<int32_t>(n - m), channel);
    }
  }
  hr = c.buffer->Unlock(p1, n1, p2, n2);
  if (FAILED(hr)) return hr;
  c.state ^= SND_DS_FILL_SECOND;
  if (ended && !loop) {
    if (P >= half) c.playFlags |= SND_DS_PLAY_SILENCE;
    // Stop at the buffer's end instead of wrapping into old data.
    if (offset == half && half > 0) return c.buffer->Play(0, 0, 0);
  }
  return DS_OK;
}

enum class Outcome { Next, Release, Failed };

// Steps of a pass for one active channel whose buffer exists; `post` is
// set when a looping sound passed its end.
Outcome serve(int32_t channel, bool& post) {
  sndDsChannel& c = S.channels[channel];
  const DWORD bytes = static_cast<DWORD>(c.bufferBytes);
  const DWORD half = bytes / 2;
  DWORD status = 0;
  if (FAILED(c.buffer->GetStatus(&status)) || (status & DSBSTATUS_BUFFERLOST)) return Outcome::Failed;
  DWORD P = 0;
  if (FAILED(c.buffer->GetCurrentPosition(&P, nullptr))) return Outcome::Failed;

  if (status & DSBSTATUS_PLAYING) {
    c.stallCount = static_cast<int32_t>(P) == c.lastPlayCursor ? c.stallCount + 1 : 0;
    c.lastPlayCursor = static_cast<int32_t>(P);
    if (c.stallCount == 10) {
      if (FAILED(c.buffer->Stop()) || FAILED(c.buffer->Play(0, 0, sndDsPlayFlags(c)))) return Outcome::Failed;
    }
  }

  const DWORD E = static_cast<DWORD>(c.endPosition);
  if (c.endPosition != SND_DS_NO_END && E <= bytes) {
    bool reached = false;
    if (!(c.state & SND_DS_END_ARMED)) {
      if ((P < half) == (E < half)) {
        if (P < E) {
          c.state |= SND_DS_END_ARMED;
        } else {
          reached = true;
        }
      }
    } else {
      reached = P >= E || (P < half && E >= half);
    }
    if (reached) {
      if (!(c.playFlags & SND_PLAY_LOOP)) return FAILED(c.buffer->Stop()) ? Outcome::Failed : Outcome::Release;
      post = (c.state & SND_DS_POST_END) != 0;
      c.state &= ~SND_DS_END_ARMED;
      c.endPosition = SND_DS_NO_END;
    }
  }

  const bool exhausted = c.streamPosition >= c.format.totalBytes;
  if (exhausted) {
    if (!(status & DSBSTATUS_PLAYING)) return Outcome::Release;
    if (!(c.playFlags & SND_DS_PLAY_SILENCE)) return Outcome::Next;
  }
  if (c.playFlags & SND_DS_PLAY_STATIC) return Outcome::Next;

  HRESULT hr = DS_OK;
  if ((c.playFlags & SND_DS_PLAY_SILENCE) && P < half) {
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    hr = c.buffer->Lock(half, bytes - half, &p1, &n1, &p2, &n2, 0);
    if (SUCCEEDED(hr)) {
      silence(c, p1, n1);
      silence(c, p2, n2);
      hr = c.buffer->Unlock(p1, n1, p2, n2);
      c.playFlags &= ~SND_DS_PLAY_SILENCE;
    }
  } else if (!exhausted && P < half && (c.state & SND_DS_FILL_SECOND)) {
    hr = fillHalf(channel, half, bytes - half, P);
  } else if (!exhausted && P >= half && !(c.state & SND_DS_FILL_SECOND)) {
    hr = fillHalf(channel, 0, half, P);
  }
  return FAILED(hr) ? Outcome::Failed : Outcome::Next;
}

// One pass; the channel lock held. Idle when no channel was active.
bool passLocked() {
  bool idle = true;
  for (int32_t i = 0; i < SND_DS_CHANNELS; ++i) {
    sndDsChannel& c = S.channels[i];
    if (!(c.state & SND_DS_ACTIVE)) continue;
    bool post = false;
    Outcome outcome;
    if (c.state & SND_DS_CREATE_PENDING) {
      c.state &= ~SND_DS_CREATE_PENDING;
      if (SUCCEEDED(sndDsCreateBuffer(i))) {
        idle = false;
        continue;
      }
      outcome = Outcome::Failed;
    } else {
      idle = false;
      outcome = serve(i, post);
    }
    if (outcome != Outcome::Next) release(i, outcome == Outcome::Failed);
    if (post) postEnd(i, false);
  }
  return idle;
}

DWORD threadMain(LPVOID) {
  for (;;) {
    bool idle;
    {
      sndDsHold hold(&S.channelLock);
      if (S.stopThread) return 0;
      idle = passLocked();
      if (idle) {
        // The flag is set under the thread lock before the wait: a start
        // between here and the wait leaves the event set, and the wait
        // returns at once.
        sndDsHold thread(&S.threadLock);
        S.suspended = 1;
      }
    }
    if (idle) {
      WaitForSingleObject(S.wake, INFINITE);
    } else {
      Sleep(50);
    }
  }
}

}  // namespace

bool sndDsPass() {
  sndDsHold hold(&S.channelLock);
  return passLocked();
}

void sndDsSetThreadEnabled(bool on) { threadEnabled = on; }

bool sndDsWakeThread(DWORD* error) {
  if (!threadEnabled) return true;
  if (!S.thread) {
    S.suspended = 0;
    S.stopThread = 0;
    S.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (S.wake) S.thread = CreateThread(nullptr, 0, threadMain, nullptr, 0, nullptr);
    if (!S.thread) {
      *error = GetLastError();
      if (S.wake) CloseHandle(S.wake);
      S.wake = nullptr;
      return false;
    }
    // A thread that runs without its priority is kept; the start is refused.
    if (!SetThreadPriority(S.thread, THREAD_PRIORITY_HIGHEST)) {
      *error = GetLastError();
      return false;
    }
  }
  sndDsHold hold(&S.threadLock);
  if (S.suspended) {
    if (!SetEvent(S.wake)) {
      *error = GetLastError();
      return false;
    }
    S.suspended = 0;
  }
  return true;
}

void sndDsAskThreadToStop() {
  if (!S.thread) return;
  S.stopThread = 1;
  SetEvent(S.wake);
}

void sndDsJoinThread() {
  if (!S.thread) return;
  WaitForSingleObject(S.thread, INFINITE);
  CloseHandle(S.thread);
  S.thread = nullptr;
  if (S.wake) CloseHandle(S.wake);
  S.wake = nullptr;
}
