// KERNEL32 threads over std::thread and the Linux affinity calls.
#include "platform/win_thread.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/kernel_object.h"
#include "platform/win_kernel.h"

namespace {

HANDLE const kCurrentProcess = INVALID_HANDLE_VALUE;

// What a thread and its handle share; the thread keeps it alive after the
// handle is closed.
struct ThreadState {
  std::mutex lock;
  std::condition_variable changed;
  DWORD suspendCount = 0;
  bool abandoned = false;  // closed before it ever ran
  bool finished = false;
  DWORD_PTR affinity = 0;
  std::thread::native_handle_type native{};
  pid_t id = 0;  // the system's thread id, set as the thread starts
};

struct ThreadObject : plat::WaitableObject {
  explicit ThreadObject(std::shared_ptr<ThreadState> s) : state(std::move(s)) {}
  // Waits until the thread has ended.
  DWORD wait(DWORD milliseconds) override {
    std::unique_lock<std::mutex> hold(state->lock);
    auto done = [&] { return state->finished; };
    if (milliseconds == INFINITE) {
      state->changed.wait(hold, done);
      return WAIT_OBJECT_0;
    }
    return state->changed.wait_for(hold, std::chrono::milliseconds(milliseconds), done) ? WAIT_OBJECT_0
                                                                                        : WAIT_TIMEOUT;
  }
  ~ThreadObject() override {
    std::lock_guard<std::mutex> hold(state->lock);
    if (state->suspendCount > 0) {
      state->abandoned = true;
      state->changed.notify_all();
    }
  }
  std::shared_ptr<ThreadState> state;
};

ThreadObject* threadObject(HANDLE handle) { return dynamic_cast<ThreadObject*>(plat::kernelObject(handle)); }

// The processors the calling thread may run on, in ascending order.
int allowedProcessors(int* numbers, int capacity) {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return 0;
  int count = 0;
  for (int cpu = 0; cpu < CPU_SETSIZE && count < capacity; ++cpu) {
    if (CPU_ISSET(cpu, &allowed)) numbers[count++] = cpu;
  }
  return count;
}

DWORD_PTR allProcessorsMask(int count) {
  return count >= 64 ? ~DWORD_PTR{0} : (DWORD_PTR{1} << count) - 1;
}

}  // namespace

HANDLE CreateThread(LPVOID, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    LPDWORD threadId) {
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto state = std::make_shared<ThreadState>();
  state->suspendCount = (flags & CREATE_SUSPENDED) ? 1 : 0;
  int numbers[64];
  state->affinity = allProcessorsMask(allowedProcessors(numbers, 64));
  try {
    std::thread thread([state, start, parameter] {
      {
        std::unique_lock<std::mutex> hold(state->lock);
        state->id = gettid();
        state->changed.notify_all();
        state->changed.wait(hold, [&] { return state->suspendCount == 0 || state->abandoned; });
        if (state->abandoned) {
          state->finished = true;
          state->changed.notify_all();
          return;
        }
      }
      start(parameter);
      std::lock_guard<std::mutex> hold(state->lock);
      state->finished = true;
      state->changed.notify_all();
    });
    {
      std::unique_lock<std::mutex> hold(state->lock);
      state->native = thread.native_handle();
      if (threadId) {
        state->changed.wait(hold, [&] { return state->id != 0; });
        *threadId = static_cast<DWORD>(state->id);
      }
    }
    thread.detach();
  } catch (const std::system_error& e) {
    SetLastError(static_cast<DWORD>(e.code().value()));
    return nullptr;
  }
  return new ThreadObject(std::move(state));
}

DWORD ResumeThread(HANDLE handle) {
  ThreadObject* thread = threadObject(handle);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(-1);
  }
  ThreadState& state = *thread->state;
  std::lock_guard<std::mutex> hold(state.lock);
  DWORD previous = state.suspendCount;
  if (previous > 0 && --state.suspendCount == 0) state.changed.notify_all();
  return previous;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto* object = dynamic_cast<plat::WaitableObject*>(plat::kernelObject(handle));
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return object->wait(milliseconds);
}

DWORD_PTR SetThreadAffinityMask(HANDLE handle, DWORD_PTR mask) {
  ThreadObject* thread = threadObject(handle);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  int numbers[64];
  int count = allowedProcessors(numbers, 64);
  if (mask == 0 || (mask & ~allProcessorsMask(count)) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  cpu_set_t wanted;
  CPU_ZERO(&wanted);
  for (int i = 0; i < count; ++i) {
    if (mask & (DWORD_PTR{1} << i)) CPU_SET(numbers[i], &wanted);
  }
  ThreadState& state = *thread->state;
  std::lock_guard<std::mutex> hold(state.lock);
  // The thread cannot end while the lock is held, so its native handle is
  // still valid unless it has already finished.
  if (!state.finished) {
    int error = pthread_setaffinity_np(state.native, sizeof wanted, &wanted);
    if (error != 0) {
      SetLastError(static_cast<DWORD>(error));
      return 0;
    }
  }
  DWORD_PTR previous = state.affinity;
  state.affinity = mask;
  return previous;
}

BOOL SetThreadPriority(HANDLE handle, int) {
  if (!threadObject(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HANDLE GetCurrentProcess() { return kCurrentProcess; }

DWORD GetPriorityClass(HANDLE process) {
  if (process != kCurrentProcess) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return NORMAL_PRIORITY_CLASS;
}

BOOL SetPriorityClass(HANDLE process, DWORD) {
  if (process != kCurrentProcess) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD GetTickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<DWORD>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}
