// KERNEL32 file mappings over mmap(2). A mapping object maps a file opened
// with CreateFileA; views of it are shared mappings of the file, so what is
// written through a view is the file's contents. The mapping object and its
// views keep the file claimed with its share mode (see CreateFileA) until
// the last of them is gone.
#pragma once

#include "platform/win_types.h"

#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u

#define FILE_MAP_WRITE 0x0002u
#define FILE_MAP_READ 0x0004u
#define FILE_MAP_ALL_ACCESS 0x000F001Fu

// Views start at multiples of this many bytes of the file.
#define MAPPING_GRANULARITY 65536u

#define ERROR_INVALID_ADDRESS 14 /* EFAULT */

// A mapping of `file` (no pagefile mappings, no names: pass null) of
// maxSizeHigh:maxSizeLow bytes, 0 meaning the file's size. A read-write
// mapping (the file opened with GENERIC_READ and GENERIC_WRITE) larger than
// the file first grows the file to that size; a read-only one must lie within
// the file (ERROR_ACCESS_DENIED). An empty file with size 0 cannot be mapped
// (ERROR_INVALID_PARAMETER). Returns null with the last error on failure.
HANDLE CreateFileMappingA(HANDLE file, LPVOID security, DWORD protect, DWORD maxSizeHigh, DWORD maxSizeLow,
                          LPCSTR name);
// A view of bytes (0: to the mapping's end) from the offset, which must be a
// multiple of MAPPING_GRANULARITY. FILE_MAP_WRITE or FILE_MAP_ALL_ACCESS need a
// read-write mapping. Returns null with the last error on failure. The view
// stays valid after CloseHandle of the mapping.
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, size_t bytes);
// Ends a view given by its base address (ERROR_INVALID_ADDRESS for any other).
BOOL UnmapViewOfFile(LPCVOID base);
