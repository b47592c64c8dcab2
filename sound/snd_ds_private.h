// What the channel operations (snd_ds.cpp) and the streaming thread
// (snd_ds_thread.cpp) share.
#pragma once

#include "sound/snd_ds.h"

// Holds a critical section for a scope, so that a raise unwinding to a TRY
// frame never leaves it held.
class sndDsHold {
 public:
  explicit sndDsHold(CRITICAL_SECTION* section) : section_(section) { EnterCriticalSection(section_); }
  ~sndDsHold() { LeaveCriticalSection(section_); }
  sndDsHold(const sndDsHold&) = delete;
  sndDsHold& operator=(const sndDsHold&) = delete;

 private:
  CRITICAL_SECTION* section_;
};

// Creates, fills and plays the channel's buffer (the channel lock held);
// DS_OK makes it active. On failure the channel is not active and holds no
// buffer.
HRESULT sndDsCreateBuffer(int32_t channel);
// The DSBPLAY_ flags a channel's buffer plays with.
DWORD sndDsPlayFlags(const sndDsChannel& record);
// Stops and releases the channel's buffer and zeroes its record (the
// channel lock held).
void sndDsFree(sndDsChannel& record);
// Starts the thread when there is none and wakes it when it sleeps (the
// channel lock held); false, with the system error code, when that failed.
bool sndDsWakeThread(DWORD* error);
// Asks the thread to end (both locks held).
void sndDsAskThreadToStop();
// Waits for the thread to end and closes its handle (no lock held).
void sndDsJoinThread();
