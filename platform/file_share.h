// Share modes of opened files, kept inside the process. Every open file
// claims its file (device and inode) with the access it was opened with and
// the sharing it allows; an open whose access or sharing clashes with a claim
// that is still held is refused, as Windows refuses it. Mapping objects and
// views hold the claim of the file they map, so a mapped file stays claimed
// after its handle is closed, and it cannot be cut or emptied while mapped.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>

#include "platform/win_types.h"

namespace plat {

struct FileClaim {
  FileClaim(dev_t d, ino_t i, DWORD a, DWORD s) : dev(d), ino(i), access(a), share(s) {}
  FileClaim(const FileClaim&) = delete;
  FileClaim& operator=(const FileClaim&) = delete;
  ~FileClaim();  // gives the claim up
  dev_t dev;
  ino_t ino;
  DWORD access;  // GENERIC_READ and/or GENERIC_WRITE
  DWORD share;   // FILE_SHARE_READ and/or FILE_SHARE_WRITE
  int sections = 0;  // mapping objects and views that hold this claim
};
using FileClaimRef = std::shared_ptr<FileClaim>;

// Claims the file open on fd and, with truncate, empties it. Returns null
// with errno set when the open must be refused: ERROR_SHARING_VIOLATION when
// a held claim does not share what this open asks, or this open does not
// share what a held claim uses; ERROR_USER_MAPPED_FILE when the file would be
// emptied while it is mapped; or the errno of fstat or ftruncate.
FileClaimRef claimFile(int fd, DWORD access, DWORD share, bool truncate);

// A mapping object or view starts or stops holding the claim.
void addSection(const FileClaimRef& claim);
void dropSection(const FileClaimRef& claim);

// True when a mapping object or view of the claim's file is alive.
bool fileIsMapped(const FileClaim& claim);

// For reading ahead (platform/file_read_ahead.h): a count that grows
// whenever a claim with write access is given up, and whether a claim with
// write access to the claim's file is held now. Bytes read ahead at one
// count are still the file's while the count stands and no writer is held.
std::uint64_t writeClaimsEnded();
bool fileHasWriter(const FileClaim& claim);

}  // namespace plat
