// The process's table of file claims.
#include "platform/file_share.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/win_file.h"

namespace plat {
namespace {

std::mutex g_lock;
std::vector<FileClaim*> g_claims;  // every claim held, in no order
// Claims with write access: how many are held, how many were given up.
std::atomic<int> g_writers{0};
std::atomic<std::uint64_t> g_writersEnded{0};

bool writes(const FileClaim& c) { return (c.access & GENERIC_WRITE) != 0; }

// An open with access `access` that allows `share` meets the held claim c.
// An open without read or write access neither claims nor is refused.
bool clashes(const FileClaim& c, DWORD access, DWORD share) {
  if (access == 0 || c.access == 0) return false;
  auto uses = [](DWORD a, DWORD what) { return (a & what) != 0; };
  auto allows = [](DWORD s, DWORD what) { return (s & what) != 0; };
  return (uses(access, GENERIC_READ) && !allows(c.share, FILE_SHARE_READ)) ||
         (uses(access, GENERIC_WRITE) && !allows(c.share, FILE_SHARE_WRITE)) ||
         (uses(c.access, GENERIC_READ) && !allows(share, FILE_SHARE_READ)) ||
         (uses(c.access, GENERIC_WRITE) && !allows(share, FILE_SHARE_WRITE));
}

bool mappedLocked(dev_t dev, ino_t ino) {
  for (const FileClaim* c : g_claims)
    if (c->dev == dev && c->ino == ino && c->sections > 0) return true;
  return false;
}

}  // namespace

FileClaim::~FileClaim() {
  std::lock_guard<std::mutex> hold(g_lock);
  std::erase(g_claims, this);
  if (writes(*this)) {
    ++g_writersEnded;
    --g_writers;
  }
}

FileClaimRef claimFile(int fd, DWORD access, DWORD share, bool truncate) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return nullptr;
  std::lock_guard<std::mutex> hold(g_lock);
  for (const FileClaim* c : g_claims) {
    if (c->dev == st.st_dev && c->ino == st.st_ino && clashes(*c, access, share)) {
      errno = ERROR_SHARING_VIOLATION;
      return nullptr;
    }
  }
  if (truncate) {
    if (mappedLocked(st.st_dev, st.st_ino)) {
      errno = ERROR_USER_MAPPED_FILE;
      return nullptr;
    }
    if (::ftruncate(fd, 0) != 0) return nullptr;
  }
  auto claim = std::make_shared<FileClaim>(st.st_dev, st.st_ino, access, share);
  g_claims.push_back(claim.get());
  if (writes(*claim)) ++g_writers;
  return claim;
}

void addSection(const FileClaimRef& claim) {
  std::lock_guard<std::mutex> hold(g_lock);
  ++claim->sections;
}

void dropSection(const FileClaimRef& claim) {
  std::lock_guard<std::mutex> hold(g_lock);
  --claim->sections;
}

bool fileIsMapped(const FileClaim& claim) {
  std::lock_guard<std::mutex> hold(g_lock);
  return mappedLocked(claim.dev, claim.ino);
}

std::uint64_t writeClaimsEnded() { return g_writersEnded; }

bool fileHasWriter(const FileClaim& claim) {
  if (g_writers == 0) return false;
  std::lock_guard<std::mutex> hold(g_lock);
  for (const FileClaim* c : g_claims)
    if (c->dev == claim.dev && c->ino == claim.ino && writes(*c)) return true;
  return false;
}

}  // namespace plat
