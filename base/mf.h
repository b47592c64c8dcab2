// Memory-mapped files and buffered file streams.
//
// A file is read by mapping the whole of it (mfOpenRead) and written by
// mapping a view that grows as it is written (mfCreate, mfWrite); closing a
// written file cuts it to the bytes written. Every open descriptor is linked
// into one process-wide list, and whatever is still open at exit is closed
// then. The list is not locked: main thread use.
//
// Each operation comes as a core that only leaves its code in the error
// state (the ...Core names) and a front end that raises it with the file
// name. Sizes are 32-bit; a file or view past 2 GiB is refused.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/err.h"
#include "platform/win_types.h"

#define MF_ALLOCATED 0x400000  // the open allocated the descriptor; the close frees it
#define MF_WRITABLE 0x800000   // made by mfCreate; cut to its written size at close

struct mfFile {
  mfFile* next;        // the open-files list
  char* name;          // the module's own copy
  uint32_t flags;      // MF_ALLOCATED, MF_WRITABLE
  uint32_t reserved1;
  HANDLE file;
  uint32_t dataSize;   // read: the file size; written: the highest end written
  uint32_t writePos;   // end of the last write
  uint8_t* view;       // null for an empty file opened for reading
  uint32_t mappedSize;
  uint32_t growMin;    // the least growth of the view, in bytes
  void (*freeFn)(void* block);  // frees the name and an allocated descriptor
  uint32_t reserved2[2];
};

// descriptor null: one is allocated. The front ends raise -17 "Can't open
// file '%^s'" (-18 "Can't create file '%^s'" for mfCreate) or -2 with the
// name and return null; the cores return null and leave 0, -2, -17 or -18 in
// the error state's code. An empty file opens with a null view.
mfFile* mfOpenRead(mfFile* descriptor, const char* name);
mfFile* mfOpenReadCore(mfFile* descriptor, const char* name);
// Creates (or empties) the file without sharing and maps initialSize
// writable bytes of it.
mfFile* mfCreate(mfFile* descriptor, const char* name, uint32_t initialSize, uint32_t growMin);
mfFile* mfCreateCore(mfFile* descriptor, const char* name, uint32_t initialSize, uint32_t growMin);

// Copies size bytes of data (null: only reserves them) to the position (-1:
// the write position), growing the view by at least growMin; updates the
// data size and write position. -66 without a view; 0 and nothing done for a
// descriptor opened for reading; -63 for a position below -1; else 0 or the
// failure of the growth. mfWrite raises a failure with the file name.
errCode mfWrite(mfFile* file, int32_t position, const void* data, uint32_t size);
errCode mfWriteCore(mfFile* file, int32_t position, const void* data, uint32_t size);
// Replaces the view by one larger by `add` bytes (the file grows with it).
// On failure the old view is mapped again and the failure (the last-error
// value, ERROR_FILE_TOO_LARGE past 2 GiB, -252 when there is none) is raised
// and returned.
errCode mfRemap(mfFile* file, uint32_t add);

// Unmaps and closes; a written file is cut to size (0: its data size). The
// caller's last-error value is kept; a descriptor that cannot be read is
// ignored.
void mfClose(mfFile* file, uint32_t size);
void mfCloseSized(mfFile* file, uint32_t size);
// Closes every open descriptor; runs at exit once something was opened.
void mfCloseAll();
// The head of the open-files list.
mfFile* mfOpenFiles();

// Stream mode flags.
#define FILE_READ 0x1
#define FILE_WRITE 0x2
#define FILE_BINARY 0x4
#define FILE_APPEND 0x8
#define FILE_UPDATE 0x10
#define FILE_WRITE_MODE 0x80
#define FILE_STDIN 0x1000
#define FILE_STDOUT 0x2000
#define FILE_STDERR 0x4000
#define FILE_NO_SHARING 0x10000

// The failure value of the stream opens.
#define FILE_NO_STREAM (reinterpret_cast<FILE*>(static_cast<intptr_t>(-1)))

// The standard output stream for FILE_STDOUT or the name value 1, standard
// input for FILE_STDIN or a null name, standard error for FILE_STDERR or the
// name value 2 (tested in this order); otherwise the file opened with the
// flags' mode text. Returns the stream or FILE_NO_STREAM; fileOpenStream
// raises -17 with the name when the open fails.
FILE* fileOpenStream(const char* name, uint32_t flags);
FILE* fileOpenCore(const char* name, uint32_t flags);
// The mode text of the flags (one static buffer, overwritten by each call).
const char* fileModeText(uint32_t flags);
// Closes a stream; the standard streams, null and FILE_NO_STREAM are left
// alone. fileClose raises -16 "Input/output error" and returns it when the
// close fails.
int fileClose(FILE* stream);
int fileCloseCore(FILE* stream);
