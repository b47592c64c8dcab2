// KERNEL32 file services of the engine, implemented over POSIX descriptors.
// Names go through the path resolution of platform/path.h, so Windows paths
// open on a case-sensitive file system. A file handle is a kernel object
// (platform/kernel_object.h); CloseHandle closes every kind of it.
#pragma once

#include "platform/win_types.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u

#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#define ERROR_USER_MAPPED_FILE 16   /* EBUSY */
#define ERROR_FILE_EXISTS 17        /* EEXIST */
#define ERROR_DIRECTORY_NOT_SUPPORTED 21  /* EISDIR */
#define ERROR_SHARING_VIOLATION 26  /* ETXTBSY */
#define ERROR_FILE_TOO_LARGE 27     /* EFBIG */
#define ERROR_NO_MORE_FILES 61      /* ENODATA */

// Security attributes and overlapped I/O are not supported; pass null.
// Share modes hold between the opens of this process: an open is refused
// with ERROR_SHARING_VIOLATION when a handle, mapping or view of the file
// still held does not share the access asked for, or the open does not share
// the access the held one uses. Emptying a mapped file (CREATE_ALWAYS,
// TRUNCATE_EXISTING) is refused with ERROR_USER_MAPPED_FILE. Fails with
// INVALID_HANDLE_VALUE and the last error; a directory is refused (EISDIR).
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPVOID security, DWORD creation,
                   DWORD attributes, HANDLE templateFile);
// Reads until count bytes or the end of the file; *done gets the count.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, DWORD* done, LPVOID overlapped);
// Writes until count bytes are written or a write fails; *done gets the count.
// Takes the test API's faults ("WriteFile"): such a call writes nothing.
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD count, DWORD* done, LPVOID overlapped);
// 64-bit file pointer; a position before the start fails.
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition, DWORD method);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
// Cuts (or extends) the file at the current position; refused with
// ERROR_USER_MAPPED_FILE while the file is mapped.
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
BOOL CloseHandle(HANDLE object);
// FILE_ATTRIBUTE_DIRECTORY or FILE_ATTRIBUTE_NORMAL, or INVALID_FILE_ATTRIBUTES
// with the last error.
DWORD GetFileAttributesA(LPCSTR name);

// Names. A failed call gives FALSE and the last error.
// Deletes a file; a directory is refused (ERROR_ACCESS_DENIED).
BOOL DeleteFileA(LPCSTR name);

#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_WRITE_THROUGH 0x00000008u
// Renames a file within its file system. An existing file of the new name is
// replaced in one step with MOVEFILE_REPLACE_EXISTING, and refused
// (ERROR_FILE_EXISTS) without it; a read-only one (its owner may not write
// it) is refused with ERROR_ACCESS_DENIED. With MOVEFILE_WRITE_THROUGH the
// call returns once the file's data and its new name are on disk.
BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags);
// Puts the replacement file in the place of the replaced one in one step; the
// result keeps the replaced file's attributes (here its permission bits), and
// its data and name are on disk when the call returns. The replaced file must
// exist (ERROR_FILE_NOT_FOUND otherwise) and not be read-only or a directory
// (ERROR_ACCESS_DENIED). A symbolic link is followed: the file it leads to is
// replaced and the link stays. No backup file and no flags (pass null and 0).
BOOL ReplaceFileA(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID exclude,
                  LPVOID reserved);

// Directory searches.
struct FILETIME {
  DWORD dwLowDateTime;  // 100-nanosecond intervals since 1 January 1601 (UTC)
  DWORD dwHighDateTime;
};
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;  // the status change time on this platform
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;  // 0 for a directory
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];  // empty: there are no short names
};
// Starts a search of the directory the pattern names: its last component may
// hold '*' (any run of characters) and '?' (one character), compared without
// case, and a name without a dot matches as if it ended in one ("*.*" matches
// every name). The directory is resolved like every path. Entries come in the
// directory's own order, "." and ".." included; their attributes are
// FILE_ATTRIBUTE_DIRECTORY or FILE_ATTRIBUTE_ARCHIVE, with
// FILE_ATTRIBUTE_READONLY when the owner may not write. Returns the search
// handle with the first match in *data, or INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND when nothing matches (or the directory's own error).
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
// The next match; FALSE with ERROR_NO_MORE_FILES after the last.
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);
