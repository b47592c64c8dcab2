// KERNEL32 file services over POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/call_trace.h"
#include "platform/file_read_ahead.h"
#include "platform/file_share.h"
#include "platform/kernel_object.h"
#include "platform/path.h"
#include "platform/win_file.h"
#include "platform/win_kernel.h"

namespace plat {

FileObject::~FileObject() {
  if (fd >= 0) ::close(fd);
}

}  // namespace plat

namespace {

plat::FileObject* fileOf(HANDLE handle) {
  plat::FileObject* file = plat::fileObject(handle);
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

BOOL fail() {
  SetLastError(static_cast<DWORD>(errno));
  return FALSE;
}

// The open file of a handle, its descriptor's offset at the file pointer
// (nothing read ahead).
plat::FileObject* settledFileOf(HANDLE handle) {
  plat::FileObject* file = fileOf(handle);
  if (file) plat::settleReadAhead(*file);
  return file;
}

// Moves count bytes with op (a write) until all are done, a call moves
// nothing or a call fails; *done gets the count moved. ReadFile reads ahead
// (file_read_ahead.cpp).
template <class Op>
BOOL transfer(HANDLE handle, DWORD count, DWORD* done, Op op) {
  if (done) *done = 0;
  plat::FileObject* file = settledFileOf(handle);
  if (!file) return FALSE;
  DWORD total = 0;
  BOOL ok = TRUE;
  while (total < count) {
    ssize_t n = op(file->fd, total, count - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = fail();
      break;
    }
    if (n == 0) break;
    total += static_cast<DWORD>(n);
  }
  if (done) *done = total;
  return ok;
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPVOID, DWORD creation, DWORD, HANDLE) {
  int flags;
  if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) {
    flags = O_RDWR;
  } else if (access & GENERIC_WRITE) {
    flags = O_WRONLY;
  } else {
    flags = O_RDONLY;
  }
  // The file is emptied only once the share modes allow the open.
  bool truncate = false;
  switch (creation) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT; truncate = true; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: truncate = true; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
  }
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  int fd = plat::openResolved(name, flags);
  if (fd < 0) {
    SetLastError(static_cast<DWORD>(errno));
    return INVALID_HANDLE_VALUE;
  }
  plat::FileClaimRef claim = plat::claimFile(fd, access & (GENERIC_READ | GENERIC_WRITE), share, truncate);
  if (!claim) {
    SetLastError(static_cast<DWORD>(errno));
    ::close(fd);
    return INVALID_HANDLE_VALUE;
  }
  auto* file = new plat::FileObject(fd);
  file->claim = std::move(claim);
  file->ahead = plat::readAheadFor(access);
  return static_cast<plat::KernelObject*>(file);
}

BOOL WriteFile(HANDLE handle, LPCVOID data, DWORD count, DWORD* done, LPVOID) {
  HRESULT injected;
  if (plat::detail::injected("", "WriteFile", &injected)) {  // a full disk, a failing device
    if (done) *done = 0;
    SetLastError(static_cast<DWORD>(injected));
    return FALSE;
  }
  const char* bytes = static_cast<const char*>(data);
  return transfer(handle, count, done, [bytes](int fd, DWORD offset, DWORD n) { return ::write(fd, bytes + offset, n); });
}

BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* newPosition, DWORD method) {
  plat::FileObject* file = settledFileOf(handle);
  if (!file) return FALSE;
  int whence;
  switch (method) {
    case FILE_BEGIN: whence = SEEK_SET; break;
    case FILE_CURRENT: whence = SEEK_CUR; break;
    case FILE_END: whence = SEEK_END; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
  }
  off_t pos = ::lseek(file->fd, static_cast<off_t>(distance.QuadPart), whence);
  if (pos < 0) return fail();
  if (newPosition) newPosition->QuadPart = pos;
  return TRUE;
}

BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) {
  plat::FileObject* file = fileOf(handle);
  if (!file) return FALSE;
  struct stat st;
  if (::fstat(file->fd, &st) != 0) return fail();
  size->QuadPart = st.st_size;
  return TRUE;
}

BOOL SetEndOfFile(HANDLE handle) {
  plat::FileObject* file = settledFileOf(handle);
  if (!file) return FALSE;
  if (file->claim && plat::fileIsMapped(*file->claim)) {
    SetLastError(ERROR_USER_MAPPED_FILE);
    return FALSE;
  }
  off_t pos = ::lseek(file->fd, 0, SEEK_CUR);
  if (pos < 0 || ::ftruncate(file->fd, pos) != 0) return fail();
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE handle) {
  plat::FileObject* file = fileOf(handle);
  if (!file) return FALSE;
  if (::fsync(file->fd) != 0) return fail();
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  plat::KernelObject* object = plat::kernelObject(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete object;
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  std::string path = plat::resolvePath(name);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    SetLastError(static_cast<DWORD>(errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

namespace {

// Brings a file's data to disk.
bool syncFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

std::string directoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Brings a directory's names to disk, as far as the file system allows (some
// refuse to sync a directory).
void syncDirectory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Both names resolved; false with ERROR_INVALID_PARAMETER or
// ERROR_FILE_NOT_FOUND for a null or empty one.
bool resolveBoth(LPCSTR a, LPCSTR b, std::string* first, std::string* second) {
  if (!a || !b) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  *first = plat::resolvePath(a);
  *second = plat::resolvePath(b);
  if (first->empty() || second->empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  return true;
}

}  // namespace

BOOL DeleteFileA(LPCSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const std::string path = plat::resolvePath(name);
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return ::unlink(path.c_str()) == 0 ? TRUE : fail();
}

BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags) {
  std::string from, to;
  if (!resolveBoth(existing, newName, &from, &to)) return FALSE;
  const bool writeThrough = (flags & MOVEFILE_WRITE_THROUGH) != 0;
  if (writeThrough && !syncFile(from)) return fail();
  int rc;
  if (flags & MOVEFILE_REPLACE_EXISTING) {
    struct stat st;
    if (::stat(to.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && plat::readOnlyMode(st.st_mode)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    rc = ::rename(from.c_str(), to.c_str());
  } else {
    rc = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without the one-step refusal: look first.
      struct stat st;
      if (::lstat(to.c_str(), &st) == 0) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
      }
      rc = ::rename(from.c_str(), to.c_str());
    }
  }
  if (rc != 0) return fail();
  if (writeThrough) {
    syncDirectory(directoryOf(to));
    if (directoryOf(from) != directoryOf(to)) syncDirectory(directoryOf(from));
  }
  return TRUE;
}

BOOL ReplaceFileA(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID, LPVOID) {
  std::string to, from;
  if (backup || flags) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!resolveBoth(replaced, replacement, &to, &from)) return FALSE;
  // A symbolic link stays as it is: the file it leads to is replaced.
  struct stat link;
  if (::lstat(to.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char* target = ::realpath(to.c_str(), nullptr);
    if (!target) return fail();
    to = target;
    std::free(target);
  }
  struct stat old;
  if (::stat(to.c_str(), &old) != 0) return fail();
  if (S_ISDIR(old.st_mode) || plat::readOnlyMode(old.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail();
  ::fchmod(fd, old.st_mode & 07777);  // as far as the owner of the replacement may
  const bool synced = ::fsync(fd) == 0;
  const int syncError = errno;
  ::close(fd);
  if (!synced) {
    SetLastError(static_cast<DWORD>(syncError));
    return FALSE;
  }
  if (::rename(from.c_str(), to.c_str()) != 0) return fail();
  syncDirectory(directoryOf(to));
  return TRUE;
}
