// File mappings and their views.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "platform/file_share.h"
#include "platform/kernel_object.h"
#include "platform/win_file.h"
#include "platform/win_kernel.h"
#include "platform/win_mapping.h"

namespace {

// A mapping object: its own descriptor of the file, so it outlives the file
// handle, and the file's claim.
struct MappingObject : plat::KernelObject {
  MappingObject(int descriptor, plat::FileClaimRef c, bool rw, uint64_t bytes)
      : fd(descriptor), claim(std::move(c)), writable(rw), size(bytes) {
    plat::addSection(claim);
  }
  ~MappingObject() override {
    plat::dropSection(claim);
    ::close(fd);
  }
  int fd;
  plat::FileClaimRef claim;
  bool writable;
  uint64_t size;
};

struct View {
  size_t bytes;
  plat::FileClaimRef claim;
};

std::mutex g_viewLock;
std::map<const void*, View> g_views;  // by base address

template <class T>
T failWith(DWORD error, T result) {
  SetLastError(error);
  return result;
}

}  // namespace

HANDLE CreateFileMappingA(HANDLE handle, LPVOID, DWORD protect, DWORD maxSizeHigh, DWORD maxSizeLow, LPCSTR name) {
  plat::FileObject* file = plat::fileObject(handle);
  if (!file || !file->claim) return failWith<HANDLE>(ERROR_INVALID_HANDLE, nullptr);
  if (name || (protect != PAGE_READONLY && protect != PAGE_READWRITE))
    return failWith<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
  const bool writable = protect == PAGE_READWRITE;
  const DWORD needs = writable ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
  if ((file->claim->access & needs) != needs) return failWith<HANDLE>(ERROR_ACCESS_DENIED, nullptr);

  struct stat st;
  if (::fstat(file->fd, &st) != 0) return failWith<HANDLE>(static_cast<DWORD>(errno), nullptr);
  const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
  uint64_t size = (static_cast<uint64_t>(maxSizeHigh) << 32) | maxSizeLow;
  if (size == 0) size = fileSize;
  if (size == 0) return failWith<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
  if (size > fileSize) {
    // The file is grown before it is mapped, so no view ever reaches past
    // its end.
    if (!writable) return failWith<HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    if (::ftruncate(file->fd, static_cast<off_t>(size)) != 0)
      return failWith<HANDLE>(static_cast<DWORD>(errno), nullptr);
  }
  int fd = ::fcntl(file->fd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return failWith<HANDLE>(static_cast<DWORD>(errno), nullptr);
  return static_cast<plat::KernelObject*>(new MappingObject(fd, file->claim, writable, size));
}

LPVOID MapViewOfFile(HANDLE handle, DWORD access, DWORD offsetHigh, DWORD offsetLow, size_t bytes) {
  auto* mapping = dynamic_cast<MappingObject*>(plat::kernelObject(handle));
  if (!mapping) return failWith<LPVOID>(ERROR_INVALID_HANDLE, nullptr);
  const bool write = (access & FILE_MAP_WRITE) != 0;
  if (write && !mapping->writable) return failWith<LPVOID>(ERROR_ACCESS_DENIED, nullptr);
  const uint64_t offset = (static_cast<uint64_t>(offsetHigh) << 32) | offsetLow;
  if (offset % MAPPING_GRANULARITY != 0 || offset >= mapping->size)
    return failWith<LPVOID>(ERROR_INVALID_PARAMETER, nullptr);
  if (bytes == 0) bytes = static_cast<size_t>(mapping->size - offset);
  if (bytes > mapping->size - offset) return failWith<LPVOID>(ERROR_INVALID_PARAMETER, nullptr);
  void* base = ::mmap(nullptr, bytes, write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, mapping->fd,
                      static_cast<off_t>(offset));
  if (base == MAP_FAILED) return failWith<LPVOID>(static_cast<DWORD>(errno), nullptr);
  plat::addSection(mapping->claim);
  std::lock_guard<std::mutex> hold(g_viewLock);
  g_views[base] = View{bytes, mapping->claim};
  return base;
}

BOOL UnmapViewOfFile(LPCVOID base) {
  plat::FileClaimRef claim;
  {
    std::lock_guard<std::mutex> hold(g_viewLock);
    auto it = g_views.find(base);
    if (it == g_views.end()) return failWith<BOOL>(ERROR_INVALID_ADDRESS, FALSE);
    ::munmap(const_cast<void*>(base), it->second.bytes);
    claim = std::move(it->second.claim);
    g_views.erase(it);
  }
  plat::dropSection(claim);
  return TRUE;
}
