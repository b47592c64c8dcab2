// ReadFile, with the read-ahead of platform/file_read_ahead.h.
#include "platform/file_read_ahead.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/file_share.h"
#include "platform/kernel_object.h"
#include "platform/win_file.h"
#include "platform/win_kernel.h"

namespace plat {
namespace {

// A block serves the request: a small read that follows another on a
// regular file whose bytes no handle of the process may have changed since
// the block was read.
bool servesFromBlock(FileObject& file, DWORD count) {
  ReadAhead& ahead = *file.ahead;
  if (count >= ReadAhead::kBlock) return false;
  const bool holding = ahead.at < ahead.end;
  if (!holding && !ahead.sequential) return false;
  if (holding && ahead.writersEnded != writeClaimsEnded()) return false;
  if (!file.claim || fileHasWriter(*file.claim)) return false;
  if (ahead.regular < 0) {
    struct stat st;
    ahead.regular = ::fstat(file.fd, &st) == 0 && S_ISREG(st.st_mode);
  }
  return ahead.regular == 1;
}

// Reads count bytes straight from the descriptor until all are read, the
// file ends or a read fails; *got gets what was read.
BOOL readDirect(int fd, char* to, DWORD count, DWORD* got) {
  while (*got < count) {
    const ssize_t n = ::read(fd, to + *got, count - *got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetLastError(static_cast<DWORD>(errno));
      return FALSE;
    }
    if (n == 0) break;
    *got += static_cast<DWORD>(n);
  }
  return TRUE;
}

// Delivers count bytes from the block, reading the next block whenever it
// is used up, until all are delivered or the file ends or a read fails.
BOOL readFromBlocks(FileObject& file, char* to, DWORD count, DWORD* got) {
  ReadAhead& ahead = *file.ahead;
  if (!ahead.block) ahead.block = std::make_unique<char[]>(ReadAhead::kBlock);
  while (*got < count) {
    if (ahead.at == ahead.end) {
      ahead.at = ahead.end = 0;
      ahead.writersEnded = writeClaimsEnded();
      const ssize_t n = ::read(file.fd, ahead.block.get(), ReadAhead::kBlock);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        SetLastError(static_cast<DWORD>(errno));
        return FALSE;
      }
      if (n == 0) break;
      ahead.end = static_cast<DWORD>(n);
    }
    const DWORD n = std::min(count - *got, ahead.end - ahead.at);
    std::memcpy(to + *got, ahead.block.get() + ahead.at, n);
    ahead.at += n;
    *got += n;
  }
  return TRUE;
}

// settleReadAhead with the lock held.
void settle(FileObject& file) {
  ReadAhead& ahead = *file.ahead;
  ahead.sequential = false;
  if (ahead.at < ahead.end) ::lseek(file.fd, -static_cast<off_t>(ahead.end - ahead.at), SEEK_CUR);
  ahead.at = ahead.end = 0;
}

}  // namespace

std::unique_ptr<ReadAhead> readAheadFor(DWORD access) {
  if ((access & (GENERIC_READ | GENERIC_WRITE)) != GENERIC_READ) return nullptr;
  return std::make_unique<ReadAhead>();
}

void settleReadAhead(FileObject& file) {
  if (!file.ahead) return;
  std::lock_guard<std::mutex> hold(file.ahead->lock);
  settle(file);
}

}  // namespace plat

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD count, DWORD* done, LPVOID) {
  if (done) *done = 0;
  plat::FileObject* file = plat::fileObject(handle);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  char* to = static_cast<char*>(buffer);
  DWORD got = 0;
  BOOL ok;
  if (!file->ahead) {
    ok = plat::readDirect(file->fd, to, count, &got);
  } else {
    plat::ReadAhead& ahead = *file->ahead;
    std::lock_guard<std::mutex> hold(ahead.lock);
    if (plat::servesFromBlock(*file, count)) {
      ok = plat::readFromBlocks(*file, to, count, &got);
    } else {
      plat::settle(*file);
      ok = plat::readDirect(file->fd, to, count, &got);
    }
    ahead.sequential = count < plat::ReadAhead::kBlock;
  }
  if (done) *done = got;
  return ok;
}
