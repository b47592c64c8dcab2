// Windows-style paths on a case-sensitive file system.
#include "platform/path.h"

#include "platform/win_kernel.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace plat {
namespace {

bool exists(const std::string& p) {
  struct stat st;
  return ::stat(p.empty() ? "." : p.c_str(), &st) == 0;
}

bool sameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The entry of dir that matches name without case (the first in byte order),
// or an empty string.
std::string matchNoCase(const std::string& dir, std::string_view name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return std::string();
  std::vector<std::string> hits;
  while (dirent* e = ::readdir(d)) {
    if (sameNoCase(e->d_name, name)) hits.emplace_back(e->d_name);
  }
  ::closedir(d);
  if (hits.empty()) return std::string();
  return *std::min_element(hits.begin(), hits.end());
}

}  // namespace

std::string resolvePath(std::string_view path) {
  std::string slashed(path);
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  if (slashed.empty() || exists(slashed)) return slashed;

  // Walk the components; once one matches nothing, the rest stay as written.
  std::string out;
  size_t pos = 0;
  if (slashed[0] == '/') {
    out = "/";
    pos = 1;
  }
  bool lost = false;
  while (pos <= slashed.size()) {
    size_t next = slashed.find('/', pos);
    if (next == std::string::npos) next = slashed.size();
    std::string_view comp(slashed.data() + pos, next - pos);
    bool last = next == slashed.size();
    if (!comp.empty()) {
      std::string dir = out;
      std::string candidate = out;
      if (!candidate.empty() && candidate.back() != '/') candidate += '/';
      candidate += comp;
      if (!lost && comp != "." && comp != ".." && !exists(candidate)) {
        std::string hit = matchNoCase(dir, comp);
        if (!hit.empty()) {
          candidate = dir;
          if (!candidate.empty() && candidate.back() != '/') candidate += '/';
          candidate += hit;
        } else {
          lost = true;
        }
      }
      out = candidate;
    }
    if (last) {
      if (!comp.empty()) break;
      // A trailing separator stays.
      if (!out.empty() && out.back() != '/') out += '/';
      break;
    }
    pos = next + 1;
  }
  return out;
}

bool pathExists(std::string_view path, PathKind kind) {
  std::string p = resolvePath(path);
  if (p.empty()) return false;
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return false;
  switch (kind) {
    case PathKind::File: return !S_ISDIR(st.st_mode);
    case PathKind::Directory: return S_ISDIR(st.st_mode);
    default: return true;
  }
}

int openResolved(std::string_view path, int flags, int mode) {
  std::string p = resolvePath(path);
  if (p.empty()) {
    errno = ENOENT;
    return -1;
  }
  int fd = ::open(p.c_str(), flags | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  return fd;
}

}  // namespace plat

BOOL SetCurrentDirectoryA(LPCSTR path) {
  std::string p = path ? plat::resolvePath(path) : std::string();
  if (p.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (::chdir(p.c_str()) != 0) {
    SetLastError(static_cast<DWORD>(errno));
    return FALSE;
  }
  return TRUE;
}
