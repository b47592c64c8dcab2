// Buffered streams over file handles (glibc's custom streams).
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/kernel_object.h"
#include "platform/win_file.h"
#include "platform/win_kernel.h"
#include "platform/win_stdio.h"

namespace {

struct StreamFile {
  HANDLE handle;
  int fd;
  bool append;  // every write goes to the end of the file
};

ssize_t streamRead(void* cookie, char* buffer, size_t size) {
  return ::read(static_cast<StreamFile*>(cookie)->fd, buffer, size);
}

ssize_t streamWrite(void* cookie, const char* data, size_t size) {
  auto* f = static_cast<StreamFile*>(cookie);
  if (f->append && ::lseek(f->fd, 0, SEEK_END) < 0) return -1;
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(f->fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done ? static_cast<ssize_t>(done) : -1;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

int streamSeek(void* cookie, off64_t* position, int whence) {
  off_t at = ::lseek(static_cast<StreamFile*>(cookie)->fd, static_cast<off_t>(*position), whence);
  if (at < 0) return -1;
  *position = at;
  return 0;
}

int streamClose(void* cookie) {
  auto* f = static_cast<StreamFile*>(cookie);
  BOOL ok = CloseHandle(f->handle);
  delete f;
  return ok ? 0 : -1;
}

}  // namespace

FILE* _fsopen(const char* name, const char* mode, int shareFlag) {
  if (!mode || !std::strchr("rwa", mode[0])) {
    errno = EINVAL;
    return nullptr;
  }
  const bool update = std::strchr(mode + 1, '+') != nullptr;
  DWORD access = mode[0] == 'r' ? GENERIC_READ : GENERIC_WRITE;
  if (update) access = GENERIC_READ | GENERIC_WRITE;
  const DWORD creation = mode[0] == 'r' ? OPEN_EXISTING : mode[0] == 'w' ? CREATE_ALWAYS : OPEN_ALWAYS;
  DWORD share;
  switch (shareFlag) {
    case _SH_DENYRW: share = 0; break;
    case _SH_DENYWR: share = FILE_SHARE_READ; break;
    case _SH_DENYRD: share = FILE_SHARE_WRITE; break;
    default: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
  }
  HANDLE handle = CreateFileA(name, access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = static_cast<int>(GetLastError());
    return nullptr;
  }
  auto* file = new StreamFile{handle, plat::fileObject(handle)->fd, mode[0] == 'a'};
  const char* streamMode = access == GENERIC_READ ? "r" : access == GENERIC_WRITE ? "w" : "r+";
  FILE* stream = fopencookie(file, streamMode, cookie_io_functions_t{streamRead, streamWrite, streamSeek, streamClose});
  if (!stream) {
    int saved = errno;
    streamClose(file);
    errno = saved;
  }
  return stream;
}
