// Critical sections and events.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/kernel_object.h"
#include "platform/win_kernel.h"
#include "platform/win_sync.h"
#include "platform/win_thread.h"

namespace {

std::recursive_mutex* lockOf(LPCRITICAL_SECTION section) { return static_cast<std::recursive_mutex*>(section->impl); }

struct EventObject : plat::WaitableObject {
  EventObject(bool manual, bool initial) : manualReset(manual), signalled(initial) {}
  DWORD wait(DWORD milliseconds) override {
    std::unique_lock<std::mutex> hold(lock);
    auto ready = [&] { return signalled; };
    if (milliseconds == INFINITE) {
      changed.wait(hold, ready);
    } else if (!changed.wait_for(hold, std::chrono::milliseconds(milliseconds), ready)) {
      return WAIT_TIMEOUT;
    }
    if (!manualReset) signalled = false;
    return WAIT_OBJECT_0;
  }
  void set() {
    std::lock_guard<std::mutex> hold(lock);
    signalled = true;
    if (manualReset) {
      changed.notify_all();
    } else {
      changed.notify_one();
    }
  }
  std::mutex lock;
  std::condition_variable changed;
  const bool manualReset;
  bool signalled;
};

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) { section->impl = new std::recursive_mutex; }

void EnterCriticalSection(LPCRITICAL_SECTION section) { lockOf(section)->lock(); }

void LeaveCriticalSection(LPCRITICAL_SECTION section) { lockOf(section)->unlock(); }

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  delete lockOf(section);
  section->impl = nullptr;
}

HANDLE CreateEventA(LPVOID security, BOOL manualReset, BOOL initialState, LPCSTR name) {
  if (security || name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return static_cast<plat::KernelObject*>(new EventObject(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE handle) {
  auto* event = dynamic_cast<EventObject*>(plat::kernelObject(handle));
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  event->set();
  return TRUE;
}
