// Memory-mapped files.
#include "base/mf.h"

#include <cstdlib>
#include <cstring>

#include "base/mem.h"
#include "platform/win32.h"

namespace {

constexpr uint32_t kMaxSize = 0x7FFFFFFF;  // 2 GiB - 1: the largest file or view

mfFile* g_openFiles = nullptr;
bool g_atExitRegistered = false;

// The module's allocation pair.
void* mfAlloc(size_t size) { return memHooks.alloc(size); }
void mfFree(void* block) { memHooks.free(block); }

bool validHandle(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

void mfRegisterAtExit() {
  if (g_atExitRegistered) return;
  g_atExitRegistered = true;
  std::atexit(mfCloseAll);
}

void unlink(mfFile* file) {
  for (mfFile** link = &g_openFiles; *link; link = &(*link)->next) {
    if (*link == file) {
      *link = file->next;
      break;
    }
  }
  file->next = nullptr;
}

// Maps `size` bytes of the descriptor's file: writable for a created file.
// The mapping handle is closed at once; the view keeps the mapping.
uint8_t* mapView(mfFile* file, uint32_t size) {
  const bool writable = (file->flags & MF_WRITABLE) != 0;
  HANDLE mapping = CreateFileMappingA(file->file, nullptr, writable ? PAGE_READWRITE : PAGE_READONLY, 0, size, nullptr);
  if (!mapping) return nullptr;
  void* view = MapViewOfFile(mapping, writable ? FILE_MAP_ALL_ACCESS : FILE_MAP_READ, 0, 0, size);
  DWORD error = GetLastError();
  CloseHandle(mapping);
  SetLastError(error);
  return static_cast<uint8_t*>(view);
}

// The open and the create. Returns the descriptor, or null after closing it.
mfFile* openCore(mfFile* given, const char* name, bool create, uint32_t initialSize, uint32_t growMin) {
  errState* state = errGetState();
  mfFile* file = given ? given : static_cast<mfFile*>(mfAlloc(sizeof(mfFile)));
  if (!file) {
    state->code = ERR_NO_MEMORY;
    return nullptr;
  }
  std::memset(file, 0, sizeof *file);
  file->flags = (given ? 0u : MF_ALLOCATED) | (create ? MF_WRITABLE : 0u);
  file->freeFn = mfFree;
  file->file = INVALID_HANDLE_VALUE;
  errCode code = 0;
  if (name) {
    size_t length = std::strlen(name) + 1;
    file->name = static_cast<char*>(mfAlloc(length));
    if (file->name) {
      std::memcpy(file->name, name, length);
    } else {
      code = ERR_NO_MEMORY;
    }
  }
  if (code == 0 && create) {
    code = -18;
    file->file = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (validHandle(file->file) && initialSize <= kMaxSize) {
      file->view = mapView(file, initialSize);
      if (file->view) {
        file->mappedSize = initialSize;
        file->growMin = growMin;
        code = 0;
      }
    }
  } else if (code == 0) {
    code = ERR_CANT_OPEN;
    file->file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    LARGE_INTEGER zero, end;
    zero.QuadPart = 0;
    if (validHandle(file->file) && SetFilePointerEx(file->file, zero, &end, FILE_END) &&
        SetFilePointerEx(file->file, zero, nullptr, FILE_BEGIN) && end.QuadPart <= kMaxSize) {
      const auto size = static_cast<uint32_t>(end.QuadPart);
      file->dataSize = file->mappedSize = size;
      if (size == 0 || (file->view = mapView(file, size)) != nullptr) code = 0;
    }
  }
  state->code = code;
  if (code != 0) {
    mfClose(file, 0);
    return nullptr;
  }
  mfRegisterAtExit();
  file->next = g_openFiles;
  g_openFiles = file;
  return file;
}

void raiseWithName(errCode code, const char* name) {
  if (errRaiseArg(code, name) == ERR_OUTCOME_RETRY) DebugBreak();
}

}  // namespace

mfFile* mfOpenReadCore(mfFile* descriptor, const char* name) { return openCore(descriptor, name, false, 0, 0); }

mfFile* mfOpenRead(mfFile* descriptor, const char* name) {
  mfFile* file = mfOpenReadCore(descriptor, name);
  if (!file) raiseWithName(errGetState()->code, name);
  return file;
}

mfFile* mfCreateCore(mfFile* descriptor, const char* name, uint32_t initialSize, uint32_t growMin) {
  return openCore(descriptor, name, true, initialSize, growMin);
}

mfFile* mfCreate(mfFile* descriptor, const char* name, uint32_t initialSize, uint32_t growMin) {
  mfFile* file = mfCreateCore(descriptor, name, initialSize, growMin);
  if (!file) raiseWithName(errGetState()->code, name);
  return file;
}

errCode mfRemap(mfFile* file, uint32_t add) {
  errState* state = errGetState();
  const uint64_t grown = static_cast<uint64_t>(file->mappedSize) + add;
  errCode code;
  if (grown > kMaxSize) {
    code = ERROR_FILE_TOO_LARGE;
  } else {
    if (file->view) UnmapViewOfFile(file->view);
    file->view = mapView(file, static_cast<uint32_t>(grown));
    if (file->view) {
      file->mappedSize = static_cast<uint32_t>(grown);
      state->code = 0;
      return 0;
    }
    code = static_cast<errCode>(GetLastError());
    if (code == 0) code = -252;
    // Back to the old size, so the descriptor keeps a valid view.
    file->view = file->mappedSize ? mapView(file, file->mappedSize) : nullptr;
    if (!file->view) file->mappedSize = 0;
  }
  errRaise(code);
  return code;
}

errCode mfWriteCore(mfFile* file, int32_t position, const void* data, uint32_t size) {
  if (!file->view) return ERR_NOT_CREATED;
  if (!(file->flags & MF_WRITABLE)) return 0;
  if (position < -1) return ERR_BAD_ARGUMENT;
  const uint32_t start = position == -1 ? file->writePos : static_cast<uint32_t>(position);
  const uint64_t end = static_cast<uint64_t>(start) + size;
  if (end > file->mappedSize) {
    uint64_t grow = end - file->mappedSize;
    if (grow < file->growMin) grow = file->growMin;
    if (grow > kMaxSize) grow = static_cast<uint64_t>(kMaxSize) + 1;  // refused by the remap
    errCode code = mfRemap(file, static_cast<uint32_t>(grow));
    if (code != 0) return code;
  }
  if (data) std::memcpy(file->view + start, data, size);
  if (end > file->dataSize) file->dataSize = static_cast<uint32_t>(end);
  file->writePos = static_cast<uint32_t>(end);
  return 0;
}

errCode mfWrite(mfFile* file, int32_t position, const void* data, uint32_t size) {
  errCode code = mfWriteCore(file, position, data, size);
  if (code != 0) raiseWithName(code, file->name);
  return code;
}

void mfClose(mfFile* file, uint32_t size) {
  if (!file || !memIsReadable(file)) return;
  unlink(file);
  const DWORD savedError = GetLastError();
  if (file->view && memIsReadable(file->view)) UnmapViewOfFile(file->view);
  file->view = nullptr;
  if (validHandle(file->file)) {
    if (file->flags & MF_WRITABLE) {
      LARGE_INTEGER end;
      end.QuadPart = size ? size : file->dataSize;
      if (SetFilePointerEx(file->file, end, nullptr, FILE_BEGIN)) SetEndOfFile(file->file);
    }
    CloseHandle(file->file);
  }
  file->file = INVALID_HANDLE_VALUE;
  void (*freeFn)(void*) = file->freeFn ? file->freeFn : mfFree;
  freeFn(file->name);
  file->name = nullptr;
  if (file->flags & MF_ALLOCATED) freeFn(file);
  SetLastError(savedError);
}

void mfCloseSized(mfFile* file, uint32_t size) { mfClose(file, size); }

void mfCloseAll() {
  while (g_openFiles) mfClose(g_openFiles, 0);
}

mfFile* mfOpenFiles() { return g_openFiles; }
