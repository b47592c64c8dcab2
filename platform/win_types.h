// Basic types and constants of the Windows interfaces the engine was written
// against, declared for this port. Sizes follow 32-bit Windows where the data
// is stored or shown (LONG and DWORD are 32-bit); handles are pointers.
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = unsigned int;
using LONG = int32_t;
using ULONG = uint32_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using CHAR = char;
using INT = int;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using HRESULT = int32_t;
using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using ULONG_PTR = uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using HANDLE = void*;

struct HWND__;
struct HINSTANCE__;
struct HCURSOR__;
struct HICON__;
struct HBRUSH__;
struct HMENU__;
struct HDC__;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HCURSOR = HCURSOR__*;
using HICON = HICON__*;
using HBRUSH = HBRUSH__*;
using HMENU = HMENU__*;
using HDC = HDC__*;
// As on Windows, a GDI object handle converts to every GDI handle type.
using HGDIOBJ = void*;
using HLOCAL = HANDLE;
using HGLOBAL = HANDLE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define MAX_PATH 260
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

// Last-error values. On this platform the last error is errno; the names the
// engine tests for map onto the errno values that mean the same.
#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2      /* ENOENT */
#define ERROR_INVALID_HANDLE 9      /* EBADF */
#define ERROR_NOT_ENOUGH_MEMORY 12  /* ENOMEM */
#define ERROR_ACCESS_DENIED 13      /* EACCES */
#define ERROR_INVALID_PARAMETER 22  /* EINVAL */
#define ERROR_INSUFFICIENT_BUFFER 34 /* ERANGE */
#define ERROR_PROC_NOT_FOUND 38     /* ENOSYS */
#define ERROR_MOD_NOT_FOUND 79      /* ELIBACC */
#define ERROR_MR_MID_NOT_FOUND 317  /* no text for this code */
