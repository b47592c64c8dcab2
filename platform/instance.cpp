// Windows of other processes, for the single-instance check. Every top-level
// window holds a write lock on a file "<pid>-<window>.lock" in the user's
// runtime directory while it exists; the file names the process's request
// socket, the window's class and its title. FindWindowA reads the files whose
// lock is held by the process the file names, and SetForegroundWindow sends
// that process a request to raise the window. The locks are POSIX record
// locks: they belong to the process, a process it forks (a message box) never
// holds them, and they end with the process; the stale files are removed by
// the next search. As any close of a lock file by its process drops that
// process's lock, a search never opens its own process's files.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "platform/detail.h"
#include "platform/test_api.h"

namespace plat::detail {

struct InstanceLock {
  int fd;
  std::string path;
};

}  // namespace plat::detail

namespace {

std::mutex g_mutex;
bool g_dirOverride = false;
std::string g_dir;
int g_socket = -1;
std::string g_address;  // abstract socket name (without the leading zero byte)

std::string hex(uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(v));
  return text;
}

// The lock directory, created private to the user; empty when unusable.
std::string lockDir() {
  if (g_dirOverride) return g_dir;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string dir = (runtime && *runtime) ? std::string(runtime) + "/talvo" : "/tmp/talvo-" + std::to_string(getuid());
  mkdir(dir.c_str(), 0700);
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return std::string();
  return dir;
}

socklen_t socketAddress(const std::string& name, sockaddr_un* a) {
  *a = sockaddr_un{};
  a->sun_family = AF_UNIX;
  size_t n = std::min(name.size(), sizeof a->sun_path - 1);
  std::memcpy(a->sun_path + 1, name.data(), n);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

// The process's request socket, bound on first use.
bool ensureSocket() {
  if (g_socket >= 0) return true;
  uint64_t nonce = 0;
  if (getrandom(&nonce, sizeof nonce, 0) != sizeof nonce) nonce = static_cast<uint64_t>(time(nullptr));
  std::string name = "talvo-window-" + std::to_string(getpid()) + "-" + hex(nonce);
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un a;
  socklen_t len = socketAddress(name, &a);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0) {
    close(fd);
    return false;
  }
  g_socket = fd;
  g_address = name;
  return true;
}

bool writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The fields of a lock file: pid, window id, address, class, title.
std::vector<std::string> readFields(int fd) {
  std::string data;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0 && data.size() < 65536) data.append(buf, static_cast<size_t>(n));
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] != '\0') continue;
    fields.push_back(data.substr(start, i - start));
    start = i + 1;
  }
  return fields;
}

// A lock over the whole file, for fcntl.
struct flock wholeFile(short type) {
  struct flock l{};
  l.l_type = type;
  l.l_whence = SEEK_SET;
  return l;
}

bool sameText(const char* wanted, const std::string& text) {
  return wanted == nullptr || strcasecmp(wanted, text.c_str()) == 0;
}

}  // namespace

namespace plat::detail {

InstanceLock* instanceRegister(uint64_t windowId, const std::string& className, const std::string& title) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string dir = lockDir();
  if (dir.empty() || !ensureSocket()) return nullptr;
  std::string base = dir + "/" + std::to_string(getpid()) + "-" + hex(windowId);
  std::string temp = base + ".tmp", path = base + ".lock";
  // Locked before it gets its name, so a visible lock file is always held.
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  std::string content = std::to_string(getpid()) + '\0' + std::to_string(windowId) + '\0' + g_address + '\0' +
                        className + '\0' + title + '\0';
  struct flock held = wholeFile(F_WRLCK);
  if (fcntl(fd, F_SETLK, &held) != 0 || !writeAll(fd, content) || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    close(fd);
    return nullptr;
  }
  return new InstanceLock{fd, path};
}

void instanceUnregister(InstanceLock* lock) {
  if (!lock) return;
  unlink(lock->path.c_str());
  close(lock->fd);
  delete lock;
}

bool instanceFind(const char* className, const char* title, RemoteWindow* found) {
  std::string dir;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    dir = lockDir();
  }
  DIR* d = dir.empty() ? nullptr : opendir(dir.c_str());
  if (!d) return false;
  const std::string own = std::to_string(getpid()) + "-";
  bool hit = false;
  while (!hit) {
    dirent* entry = readdir(d);
    if (!entry) break;
    std::string name = entry->d_name;
    if (name.size() < 6 || name.compare(name.size() - 5, 5, ".lock") != 0 || name.rfind(own, 0) == 0) continue;
    std::string path = dir + "/" + name;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    struct flock holder = wholeFile(F_RDLCK);
    if (fcntl(fd, F_GETLK, &holder) != 0) {
      close(fd);
      continue;
    }
    if (holder.l_type == F_UNLCK) {
      // Nobody holds it: its process is gone. Remove it unless it was
      // replaced or locked meanwhile.
      struct flock probe = wholeFile(F_RDLCK);
      struct stat held, named;
      if (fcntl(fd, F_SETLK, &probe) == 0 && fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
          held.st_ino == named.st_ino && held.st_dev == named.st_dev)
        unlink(path.c_str());
      close(fd);
      continue;
    }
    std::vector<std::string> f = readFields(fd);
    close(fd);
    if (f.size() != 5) continue;
    // Only the process that made the file answers for its window.
    long pid = std::strtol(f[0].c_str(), nullptr, 10);
    if (pid != holder.l_pid || !sameText(className, f[3]) || !sameText(title, f[4])) continue;
    found->pid = pid;
    found->windowId = std::strtoull(f[1].c_str(), nullptr, 10);
    found->address = f[2];
    hit = true;
  }
  closedir(d);
  return hit;
}

bool instanceRaise(const RemoteWindow& window) {
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un a;
  socklen_t len = socketAddress(window.address, &a);
  std::string request = std::to_string(window.windowId);
  bool sent = sendto(fd, request.data(), request.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), len) ==
              static_cast<ssize_t>(request.size());
  close(fd);
  return sent;
}

std::vector<uint64_t> instanceTakeRaiseRequests() {
  std::vector<uint64_t> ids;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_socket < 0) return ids;
  char buf[32];
  ssize_t n;
  while ((n = recv(g_socket, buf, sizeof buf - 1, MSG_DONTWAIT)) > 0) {
    buf[n] = '\0';
    ids.push_back(std::strtoull(buf, nullptr, 10));
  }
  return ids;
}

}  // namespace plat::detail

namespace plat::test {

void setInstanceDir(const char* dir) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_dirOverride = dir != nullptr;
  g_dir = dir ? dir : "";
}

}  // namespace plat::test
