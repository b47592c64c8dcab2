// The records of running copies: any bytes as the lock file of another
// process's window, read by the search for a running copy, and as the raise
// requests that reach this process's socket.
//
// The lock file is held by a helper process forked at the first input, as a
// running copy holds its own. It is read as it is and with its first field
// made the helper's process id, so that its other fields are read too. The
// search must find the window exactly when the file holds five fields and
// the first one names the holder, with the window id and socket the file
// names, also when asked for the record's own class and title, and never
// when asked for another title; a record in a file that nobody holds is
// never found, and that file goes. The first fields of the input are also
// sent, a few at a time, as raise requests to this process's socket: the
// requests taken must be the numbers that the non-empty ones (their first 31
// bytes) start with, in order. The seeds are made by
// fuzz/instance_record_seeds.py.
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/detail.h"
#include "platform/test_api.h"

namespace {

using plat::detail::RemoteWindow;

// The fields of a record: each piece that a NUL ends.
std::vector<std::string> fieldsOf(const std::string& record) {
  std::vector<std::string> fields;
  for (size_t start = 0, end; (end = record.find('\0', start)) != std::string::npos; start = end + 1)
    fields.push_back(record.substr(start, end - start));
  return fields;
}

// The directory of the lock files, removed with its files at exit.
char g_dir[] = "/tmp/talvo-fuzz-instance-XXXXXX";

void removeDir() {
  if (DIR* d = opendir(g_dir)) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') unlink((std::string(g_dir) + "/" + e->d_name).c_str());
    closedir(d);
  }
  rmdir(g_dir);
}

struct Setup {
  std::string dir;
  std::string heldPath;   // the lock file the helper holds
  std::string stalePath;  // one named after the helper that nobody holds
  long helper = 0;
  std::string address;   // this process's request socket
  int sender = -1;
  plat::detail::InstanceLock* own = nullptr;  // kept while the process runs

  Setup() {
    if (!mkdtemp(g_dir)) std::abort();
    std::atexit(removeDir);
    dir = g_dir;
    plat::test::setInstanceDir(dir.c_str());
    startHelper();
    // A window of this process: its socket takes the requests. Its own lock
    // file names the socket.
    constexpr uint64_t ownId = 7;
    own = plat::detail::instanceRegister(ownId, "FuzzOwn", "own");
    if (!own) std::abort();
    const std::vector<std::string> fields = fieldsOf(readFile(dir + "/" + std::to_string(getpid()) + "-7.lock"));
    if (fields.size() != 5) std::abort();
    address = fields[2];
    sender = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sender < 0) std::abort();
  }

  // Forks the helper, which takes a write lock on its own lock file and
  // keeps it until this process ends (its pipe then closes).
  void startHelper() {
    int ready[2], hold[2];
    if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(hold, O_CLOEXEC) != 0) std::abort();
    const pid_t pid = fork();
    if (pid < 0) std::abort();
    if (pid == 0) {
      close(hold[1]);
      close(ready[0]);
      char path[4200];
      std::snprintf(path, sizeof path, "%s/%ld-1.lock", dir.c_str(), static_cast<long>(getpid()));
      const int fd = open(path, O_RDWR | O_CREAT, 0600);
      struct flock lock{};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      const char ok = fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0;
      if (write(ready[1], &ok, 1) != 1) _exit(1);
      for (char byte;;) {
        const ssize_t n = read(hold[0], &byte, 1);
        if (n == 0 || (n < 0 && errno != EINTR)) _exit(0);
      }
    }
    close(hold[0]);
    close(ready[1]);
    char ok = 0;
    if (read(ready[0], &ok, 1) != 1 || !ok) std::abort();
    close(ready[0]);
    helper = pid;
    heldPath = dir + "/" + std::to_string(pid) + "-1.lock";
    stalePath = dir + "/" + std::to_string(pid) + "-2.lock";
  }

  static std::string readFile(const std::string& path) {
    std::string data;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) std::abort();
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    std::fclose(f);
    return data;
  }

  static void writeFile(const std::string& path, const std::string& record) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    if (!record.empty() && write(fd, record.data(), record.size()) != static_cast<ssize_t>(record.size()))
      std::abort();
    close(fd);
  }

  void send(const std::string& request) const {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const size_t n = std::min(address.size(), sizeof a.sun_path - 1);
    std::memcpy(a.sun_path + 1, address.data(), n);  // an abstract name
    const socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
    if (sendto(sender, request.data(), request.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), len) !=
        static_cast<ssize_t>(request.size()))
      std::abort();
  }

};

const Setup& setup() {
  static const Setup s;
  return s;
}

// Searches with the record in the helper's file; checks what is found. A
// sound record of the helper's window in a file that nobody holds (as a
// copy that ended leaves it) is never found, and goes when nothing else is.
void search(const Setup& s, const std::string& record) {
  Setup::writeFile(s.heldPath, record);
  std::string stale;
  for (const std::string& field : {std::to_string(s.helper), std::string("1"), std::string("stale"), std::string("C"),
                                   std::string("T")})
    stale += field + '\0';
  Setup::writeFile(s.stalePath, stale);
  const std::vector<std::string> f = fieldsOf(record);
  const bool holds = f.size() == 5 && std::strtol(f[0].c_str(), nullptr, 10) == s.helper;
  RemoteWindow found;
  if (plat::detail::instanceFind(nullptr, nullptr, &found) != holds) std::abort();
  if (!holds) {
    if (access(s.stalePath.c_str(), F_OK) == 0) std::abort();
    return;
  }
  if (found.pid != s.helper || found.windowId != std::strtoull(f[1].c_str(), nullptr, 10) || found.address != f[2])
    std::abort();
  RemoteWindow named;
  if (!plat::detail::instanceFind(f[3].c_str(), f[4].c_str(), &named) || named.address != f[2]) std::abort();
  if (plat::detail::instanceFind(f[3].c_str(), (f[4] + "~").c_str(), &named)) std::abort();
}

// Sends the requests and takes them back.
void raise(const Setup& s, const std::vector<std::string>& requests) {
  std::vector<uint64_t> expected;
  for (const std::string& r : requests) {
    s.send(r);
    if (!r.empty()) expected.push_back(std::strtoull(r.substr(0, 31).c_str(), nullptr, 10));
  }
  // An empty request ends a take: the ones after it come with the next.
  std::vector<uint64_t> taken;
  for (size_t i = 0; i <= requests.size(); ++i) {
    const std::vector<uint64_t> ids = plat::detail::instanceTakeRaiseRequests();
    taken.insert(taken.end(), ids.begin(), ids.end());
  }
  if (taken != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  const Setup& s = setup();
  const std::string record(reinterpret_cast<const char*>(data), size);
  search(s, record);
  const size_t firstEnd = record.find('\0');
  if (firstEnd != std::string::npos) search(s, std::to_string(s.helper) + record.substr(firstEnd));

  // The pieces between NULs (the last one too), at most 32, eight at a time:
  // a socket queues as few as ten.
  std::vector<std::string> pieces;
  for (size_t start = 0; start <= record.size() && pieces.size() < 32;) {
    const size_t end = std::min(record.find('\0', start), record.size());
    pieces.push_back(record.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i < pieces.size(); i += 8)
    raise(s, std::vector<std::string>(pieces.begin() + i, pieces.begin() + std::min(i + 8, pieces.size())));
  return 0;
}
