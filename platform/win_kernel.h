// KERNEL32 services of the engine, implemented over POSIX.
#pragma once

#include <cstdarg>

#include "platform/win_types.h"

// Process.
[[noreturn]] void ExitProcess(UINT exitCode);
// Sleep, QueryPerformanceCounter and timeGetTime share one clock, which the
// test API can make manual: Sleep then only advances it.
void Sleep(DWORD milliseconds);
HMODULE GetModuleHandleA(LPCSTR moduleName);
DWORD GetCurrentProcessId();
// The executable's absolute path. Truncates to size - 1 characters (still
// terminated), returns size and sets ERROR_INSUFFICIENT_BUFFER when it does
// not fit; returns the length otherwise; 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
// TMPDIR or /tmp, with a trailing separator. Returns the length without the
// terminator, or the size needed (with the terminator) when it does not fit.
DWORD GetTempPathA(DWORD size, LPSTR buffer);
// The process's current directory (the path resolved as every file path);
// FALSE with the last error when it is no directory, also for "".
BOOL SetCurrentDirectoryA(LPCSTR path);

// Shared objects. LoadLibraryA opens the file the Windows-style path names
// (resolved as every path; a relative one from the current directory), so
// "../Quillframe.dll" is any shared object of that name. Returns null with
// ERROR_MOD_NOT_FOUND when it cannot be opened. GetProcAddress returns the
// export of that name, or null with ERROR_PROC_NOT_FOUND. FreeLibrary closes
// one load of the module.
// The generic function pointer (void (*)() so casts to the real type stay
// free of -Wcast-function-type).
using FARPROC = void (*)();
HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

// Last error (per thread, 0 at start; errno values on this platform).
DWORD GetLastError();
void SetLastError(DWORD code);

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF
// System texts of last-error codes (strerror's text). Returns the number of
// characters stored without the terminator, 0 on failure (unknown code:
// ERROR_MR_MID_NOT_FOUND; buffer too small: ERROR_INSUFFICIENT_BUFFER). With
// FORMAT_MESSAGE_ALLOCATE_BUFFER, buffer is an LPSTR* receiving a LocalAlloc
// block.
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, va_list* arguments);

// Local and global memory: one heap, as on Win32. A fixed block's handle is
// its address; a moveable block has a handle of its own, and its address
// comes from GlobalLock (and may change when the block is reallocated).
// Failures return null with ERROR_NOT_ENOUGH_MEMORY or ERROR_INVALID_HANDLE.
#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GMEM_DDESHARE 0x2000
HLOCAL LocalAlloc(UINT flags, size_t bytes);
// Grows or shrinks a block, keeping its bytes (new bytes zero with
// LMEM_ZEROINIT). A fixed block moves only with LMEM_MOVEABLE; a moveable one
// keeps its handle and moves while unlocked, or locked with LMEM_MOVEABLE.
HLOCAL LocalReAlloc(HLOCAL mem, size_t bytes, UINT flags);
// Null on success, the handle when it is no block.
HLOCAL LocalFree(HLOCAL mem);
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
HGLOBAL GlobalReAlloc(HGLOBAL mem, size_t bytes, UINT flags);
HGLOBAL GlobalFree(HGLOBAL mem);
// The block's address; a moveable block counts its locks.
LPVOID GlobalLock(HGLOBAL mem);
// Non-zero while locks remain; 0 with the last error 0 when the last lock went.
BOOL GlobalUnlock(HGLOBAL mem);
// The handle of a block's address (null when the address is no block's).
HGLOBAL GlobalHandle(LPCVOID address);

// Debugger.
BOOL IsDebuggerPresent();
void OutputDebugStringA(LPCSTR text);
void DebugBreak();

// Performance counter: CLOCK_MONOTONIC in nanoseconds (or the manual clock).
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
