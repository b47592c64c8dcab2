// KERNEL32 critical sections and events, over the C++ thread library.
//
// A critical section is recursive, as on Windows: the thread that holds it
// may enter it again and leaves it as often. Events are unnamed; an
// auto-reset event lets one waiter through per SetEvent and then resets, and
// a SetEvent with no waiter stays signalled until the next wait takes it.
// WaitForSingleObject (platform/win_thread.h) waits for events as for threads.
#pragma once

#include "platform/win_types.h"

struct CRITICAL_SECTION {
  void* impl;  // the lock, made by InitializeCriticalSection
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
// The section must not be held; its lock is freed and impl cleared.
void DeleteCriticalSection(LPCRITICAL_SECTION section);

// Security attributes are not supported (pass null), nor names (null, else
// the call fails with ERROR_INVALID_PARAMETER). Null on failure.
HANDLE CreateEventA(LPVOID security, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
