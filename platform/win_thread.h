// KERNEL32 threads, priorities and the tick count, over POSIX threads.
//
// Processor numbers of affinity masks count the processors the process may
// run on (sched_getaffinity): processor 0 is the first of them, so "pin to
// processor 0" works wherever the process is confined. Priority classes and
// thread priorities are accepted and not applied (raising them needs
// privileges the program does not have). A thread handle is a kernel object
// (platform/kernel_object.h): CloseHandle releases the handle and the thread
// runs on; a thread still created suspended when its handle is closed ends
// without running.
#pragma once

#include "platform/win_types.h"

using SIZE_T = size_t;
using DWORD_PTR = ULONG_PTR;
using LPDWORD = DWORD*;
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

#define CREATE_SUSPENDED 0x00000004u
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

#define NORMAL_PRIORITY_CLASS 0x00000020u
#define HIGH_PRIORITY_CLASS 0x00000080u
#define REALTIME_PRIORITY_CLASS 0x00000100u
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15

// Security attributes are not supported (pass null); the stack size is the
// system's. Starts at once, or with CREATE_SUSPENDED at the first
// ResumeThread. The thread id is the system's (the Linux thread id, as in
// /proc/self/task). Null on failure.
HANDLE CreateThread(LPVOID security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD flags, LPDWORD threadId);
// The previous suspend count, or (DWORD)-1 for a handle that is no thread.
DWORD ResumeThread(HANDLE thread);
// Waits until the thread has ended, or the event (platform/win_sync.h) is
// signalled: WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED (neither).
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
// The previous mask, or 0 with the last error when the mask is empty, names a
// processor the process may not run on, or cannot be applied.
DWORD_PTR SetThreadAffinityMask(HANDLE thread, DWORD_PTR mask);
BOOL SetThreadPriority(HANDLE thread, int priority);

// The pseudo handle of the calling process.
HANDLE GetCurrentProcess();
// NORMAL_PRIORITY_CLASS for the current process; 0 for any other handle.
DWORD GetPriorityClass(HANDLE process);
BOOL SetPriorityClass(HANDLE process, DWORD priorityClass);

// Milliseconds since the system started, wrapping at 2^32.
DWORD GetTickCount();
