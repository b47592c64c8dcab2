// Kernel objects behind the HANDLE values of this port. Every kind derives
// from KernelObject; CloseHandle deletes it, and the destructor releases what
// the object holds.
#pragma once

#include <memory>

#include "platform/file_read_ahead.h"
#include "platform/win_types.h"

namespace plat {

struct FileClaim;

struct KernelObject {
  virtual ~KernelObject() = default;
};

// An object WaitForSingleObject can wait for (a thread, an event).
struct WaitableObject : KernelObject {
  // WAIT_OBJECT_0 or WAIT_TIMEOUT; INFINITE waits without a time limit.
  virtual DWORD wait(DWORD milliseconds) = 0;
};

// An open file: the descriptor is closed with the object.
struct FileObject : KernelObject {
  explicit FileObject(int descriptor) : fd(descriptor) {}
  ~FileObject() override;
  int fd;
  std::shared_ptr<FileClaim> claim;  // its share mode (platform/file_share.h)
  // Handles for reading only read ahead (platform/file_read_ahead.h).
  std::unique_ptr<ReadAhead> ahead;
};

// The kernel object of a handle, null for null and INVALID_HANDLE_VALUE.
inline KernelObject* kernelObject(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  return static_cast<KernelObject*>(handle);
}

// The open file of a handle, or null when the handle is no file.
inline FileObject* fileObject(HANDLE handle) { return dynamic_cast<FileObject*>(kernelObject(handle)); }

}  // namespace plat
