// KERNEL32 local and global memory over the C heap. Every block is known by
// its handle: a fixed block's handle is its address, a moveable block's
// handle is its record. The registry lets a wrong handle fail instead of
// corrupting the heap.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/call_trace.h"
#include "platform/win_kernel.h"

namespace {

struct Block {
  void* data;
  size_t size;
  bool moveable;
  unsigned locks;
};

std::mutex g_mutex;
// Both maps live for the process: blocks may be freed during static
// destruction.
std::unordered_map<HANDLE, Block*>& byHandle() {
  static auto* m = new std::unordered_map<HANDLE, Block*>;
  return *m;
}
std::unordered_map<const void*, HANDLE>& byAddress() {
  static auto* m = new std::unordered_map<const void*, HANDLE>;
  return *m;
}

Block* find(HANDLE mem) {
  auto it = byHandle().find(mem);
  if (it == byHandle().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}

// A fault injected into the call (plat::test::failNext): its code becomes
// the last error.
bool fault(const char* op) {
  HRESULT code;
  if (!plat::detail::injected("", op, &code)) return false;
  SetLastError(static_cast<DWORD>(code));
  return true;
}

HANDLE allocate(UINT flags, size_t bytes) {
  const size_t n = bytes ? bytes : 1;
  void* data = (flags & GMEM_ZEROINIT) ? std::calloc(1, n) : std::malloc(n);
  if (!data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* block = new Block{data, bytes, (flags & GMEM_MOVEABLE) != 0, 0};
  HANDLE handle = block->moveable ? static_cast<HANDLE>(block) : data;
  std::lock_guard<std::mutex> lock(g_mutex);
  byHandle()[handle] = block;
  byAddress()[data] = handle;
  return handle;
}

HANDLE reallocate(HANDLE mem, size_t bytes, UINT flags) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* block = find(mem);
  if (!block) return nullptr;
  const bool mayMove = (flags & GMEM_MOVEABLE) || (block->moveable && block->locks == 0);
  if (!mayMove && bytes > block->size) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* data = block->data;
  if (mayMove) {
    data = std::realloc(block->data, bytes ? bytes : 1);
    if (!data) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
  }
  if ((flags & GMEM_ZEROINIT) && bytes > block->size)
    std::memset(static_cast<char*>(data) + block->size, 0, bytes - block->size);
  block->size = bytes;
  if (data == block->data) return mem;
  byAddress().erase(block->data);
  block->data = data;
  HANDLE handle = mem;
  if (!block->moveable) {
    byHandle().erase(mem);
    handle = data;
    byHandle()[handle] = block;
  }
  byAddress()[data] = handle;
  return handle;
}

HANDLE release(HANDLE mem) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* block = find(mem);
  if (!block) return mem;
  byHandle().erase(mem);
  byAddress().erase(block->data);
  std::free(block->data);
  delete block;
  return nullptr;
}

}  // namespace

HLOCAL LocalAlloc(UINT flags, size_t bytes) { return fault("LocalAlloc") ? nullptr : allocate(flags, bytes); }
HLOCAL LocalReAlloc(HLOCAL mem, size_t bytes, UINT flags) {
  return fault("LocalReAlloc") ? nullptr : reallocate(mem, bytes, flags);
}
HLOCAL LocalFree(HLOCAL mem) { return release(mem); }

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) { return fault("GlobalAlloc") ? nullptr : allocate(flags, bytes); }
HGLOBAL GlobalReAlloc(HGLOBAL mem, size_t bytes, UINT flags) {
  return fault("GlobalReAlloc") ? nullptr : reallocate(mem, bytes, flags);
}
HGLOBAL GlobalFree(HGLOBAL mem) { return release(mem); }

LPVOID GlobalLock(HGLOBAL mem) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* block = find(mem);
  if (!block) return nullptr;
  if (block->moveable) ++block->locks;
  return block->data;
}

BOOL GlobalUnlock(HGLOBAL mem) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* block = find(mem);
  if (!block) return FALSE;
  if (block->moveable && block->locks > 0) --block->locks;
  if (block->moveable && block->locks > 0) return TRUE;
  SetLastError(ERROR_SUCCESS);
  return FALSE;
}

HGLOBAL GlobalHandle(LPCVOID address) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = byAddress().find(address);
  if (it == byAddress().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}
