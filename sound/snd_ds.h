// The DirectSound channels: ten secondary buffers that play PCM produced on
// demand by fill functions, and the streaming thread that refills them.
//
// A sound that fits its buffer is written once (a static buffer); a longer
// one streams through a ring of two halves that the thread refills every
// 50 ms. The thread also finds the end of each sound, loops, restarts stalled
// buffers, frees finished channels, starts queued sounds on them and posts
// the end of a sound (MM_MCINOTIFY) to the notify window when asked.
//
// Locks: the channel lock guards the records, the queue and every fill; the
// thread lock guards the suspended flag. The order is always channel lock,
// then thread lock.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "platform/win_dsound.h"
#include "platform/win_sync.h"
#include "sound/snd_source.h"  // sndDsFormat, sndWavInfo

// Play flags of a start; 0x40 and 0x80 are the layer's own.
#define SND_PLAY_LOOP 0x01
#define SND_PLAY_UNIQUE 0x02
#define SND_PLAY_QUEUE 0x04  // memory PCM (sndDsPlayMemory) only
#define SND_PLAY_DEFERRED 0x08
#define SND_DS_PLAY_STATIC 0x40
#define SND_DS_PLAY_SILENCE 0x80  // silence the second half once the cursor is in the first

// Channel state bits.
#define SND_DS_ACTIVE 0x01
#define SND_DS_FILL_SECOND 0x04  // the next half to fill is the second one
#define SND_DS_POST_END 0x08     // post the end to the notify window
#define SND_DS_END_ARMED 0x10    // the end position is armed (second phase)
#define SND_DS_CREATE_PENDING 0x20

#define SND_DS_CHANNELS 10
#define SND_DS_NO_END 0x7fffffff
#define SND_DS_UNKNOWN_LENGTH SND_DS_OPEN_TOTAL

// Results besides a channel index.
#define SND_DS_REFUSED (-1)
#define SND_DS_NO_CHANNEL (-4)
#define SND_DS_NO_DEVICE (-63)

// lParam of a posted end: this plus the channel index ("DS").
#define SND_DS_NOTIFY_TAG 0x44530000

// Writes `bytes` bytes of PCM, those from stream position `position`, to
// dest and returns the position after them; a position at or beyond the
// format's total means the data has ended. Called with the channel lock held.
using sndDsFillFn = int32_t (*)(void* user, void* dest, int32_t position, int32_t bytes, int32_t channel);

struct sndDsChannel {
  uint32_t state;      // SND_DS_ACTIVE ...; free while SND_DS_ACTIVE is clear
  uint32_t playFlags;  // SND_PLAY_*
  IDirectSoundBuffer* buffer;
  int32_t bufferBytes;
  int32_t endPosition;  // byte offset where the data ends; SND_DS_NO_END for none
  void* identity;       // the source, compared by the unique and limit rules
  int32_t streamPosition;
  int32_t volume;  // hundredths of a decibel
  int32_t pan;     // hundredths
  uint8_t priority;  // higher wins
  sndDsFormat format;
  sndDsFillFn fill;
  void* user;
  int32_t lastPlayCursor;  // -1 after creation
  int32_t stallCount;
};

struct sndDsQueued {
  sndDsQueued* next;
  sndWavInfo* identity;
  uint32_t playFlags;
  int32_t volume;
  int32_t pan;
  int32_t firstChannel;
  int32_t lastChannel;
  uint8_t priority;
};

// The sound code's state. These are the channel layer's fields and the
// global focus option; the sound API keeps its own beside them.
struct sndState {
  HWND notifyWindow;
  IDirectSound* directSound;
  IDirectSoundBuffer* primary;
  sndDsChannel channels[SND_DS_CHANNELS];
  sndDsQueued* queue;
  HANDLE thread;
  CRITICAL_SECTION channelLock;
  CRITICAL_SECTION threadLock;
  uint32_t suspended;   // the thread sleeps (or is about to) on `wake`
  HANDLE wake;          // auto-reset event: sndDsStart (and sndDsDone) wake the thread
  uint32_t stopThread;  // set under both locks by sndDsDone
  // Non-zero: buffers created afterwards keep playing while the window is
  // not focused.
  int32_t globalFocus;
};

extern sndState sndGlobals;

void sndDsInit(HWND notifyWindow);
void sndDsDone();
int32_t sndDsStart(const sndDsFormat* format, uint8_t priority, uint32_t playFlags, int32_t volume, int32_t pan,
                   int32_t firstChannel, int32_t lastChannel, sndDsFillFn fill, void* user);
int32_t sndDsPlayMemory(sndWavInfo* info, uint8_t priority, uint32_t playFlags, int32_t volume, int32_t pan,
                        int32_t firstChannel, int32_t lastChannel);
// The fill function of memory PCM; user is its sndWavInfo.
int32_t sndDsMemoryFill(void* user, void* dest, int32_t position, int32_t bytes, int32_t channel);
void sndDsStop(int32_t channel);
int32_t sndDsSetVolume(int32_t channel, int32_t volume);
int32_t sndDsNotifyOnEnd(int32_t channel);
int32_t sndDsStatus(int32_t channel, int32_t* active);

// One pass of the streaming thread; true when no channel was active (the
// thread then sleeps until the next start).
bool sndDsPass();
// For tests: while off, sndDsStart creates and wakes no thread, so that
// tests run the passes themselves (sndDsPass). On at start.
void sndDsSetThreadEnabled(bool on);
