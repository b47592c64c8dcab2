// IsBadReadPtr: the kernel reads the bytes into a pipe, and a range that is
// not readable ends the write with EFAULT instead of a fault.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "platform/win_memory.h"

BOOL IsBadReadPtr(const void* p, UINT_PTR size) {
  if (size == 0) return FALSE;
  if (!p) return TRUE;
  static std::mutex mutex;
  static int fds[2] = {-1, -1};
  std::lock_guard<std::mutex> lock(mutex);
  if (fds[0] < 0 && pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    fds[0] = fds[1] = -1;
    return FALSE;  // cannot tell: taken as readable
  }
  const char* at = static_cast<const char*>(p);
  char drain[4096];
  while (size > 0) {
    size_t n = std::min<size_t>(size, sizeof drain);
    // The raw system call: a sanitizer's write() wrapper would itself check
    // (and report) the bytes this is asked to probe.
    long written = syscall(SYS_write, fds[1], at, n);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno == EFAULT ? TRUE : FALSE;
    }
    while (read(fds[0], drain, sizeof drain) > 0) {
    }
    at += written;
    size -= static_cast<size_t>(written);
  }
  return FALSE;
}
