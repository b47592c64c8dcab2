// Reading ahead on the handles of regular files opened for reading only, as
// the system's file cache does on Windows: a run of small ReadFile calls is
// served from one block read at a time instead of a read of the descriptor
// each. What is read ahead is never seen from outside: the file pointer
// (SetFilePointerEx), every other call on the handle and the bytes
// delivered are those of reading each request from the descriptor, also
// when another handle of the process writes the file meanwhile (a held or
// given-up claim with write access to the file drops the block). Writes by
// other processes to bytes already read ahead show at the next seek.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/win_types.h"

namespace plat {

struct FileObject;

struct ReadAhead {
  static constexpr DWORD kBlock = 64 * 1024;
  std::mutex lock;                  // one ReadFile or settle at a time
  std::unique_ptr<char[]> block;    // kBlock bytes once the first block is read
  DWORD at = 0, end = 0;            // the bytes not yet delivered: [at, end)
  std::uint64_t writersEnded = 0;   // writeClaimsEnded() when the block was read
  bool sequential = false;          // the last ReadFile was a small one
  int regular = -1;                 // 1: a regular file (0: not; -1: not asked yet)
};

// The read-ahead state of a new handle: only for reading without writing.
std::unique_ptr<ReadAhead> readAheadFor(DWORD access);

// Puts the descriptor's offset back to the file pointer and drops the block;
// every call on the handle other than ReadFile that reads or moves the
// offset does so first.
void settleReadAhead(FileObject& file);

}  // namespace plat
