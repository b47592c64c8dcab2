// Threads: suspension, waiting, affinity to the process's own processors,
// abandoned suspended threads, priorities and the tick count.
#include <gtest/gtest.h>

#include <sched.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"

namespace {

struct Job {
  std::atomic<bool> ran{false};
  std::atomic<int> cpu{-1};
  std::atomic<bool> release{true};
};

DWORD work(LPVOID parameter) {
  auto* job = static_cast<Job*>(parameter);
  job->cpu = sched_getcpu();
  while (!job->release) std::this_thread::yield();
  job->ran = true;
  return 0;
}

std::vector<int> allowed_processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  EXPECT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  std::vector<int> out;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &set)) out.push_back(cpu);
  }
  return out;
}

TEST(Threads, SuspendedUntilResumedAndWaitedFor) {
  Job job;
  HANDLE thread = CreateThread(nullptr, 0, work, &job, CREATE_SUSPENDED, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  EXPECT_FALSE(job.ran);
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(job.ran);
  EXPECT_EQ(ResumeThread(thread), 0u);
  EXPECT_TRUE(CloseHandle(thread));

  // Without CREATE_SUSPENDED it runs at once; a timed wait sees it end.
  Job second;
  second.release = false;
  thread = CreateThread(nullptr, 0, work, &second, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
  second.release = true;
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(thread));

  EXPECT_EQ(WaitForSingleObject(GetCurrentProcess(), 0), WAIT_FAILED);
  EXPECT_EQ(ResumeThread(nullptr), static_cast<DWORD>(-1));
}

TEST(Threads, AffinityCountsTheProcessorsOfTheProcess) {
  const std::vector<int> allowed = allowed_processors();
  ASSERT_FALSE(allowed.empty());
  const DWORD_PTR all = allowed.size() >= 64 ? ~DWORD_PTR{0} : (DWORD_PTR{1} << allowed.size()) - 1;
  for (size_t index : {size_t{0}, allowed.size() - 1}) {
    SCOPED_TRACE(index);
    Job job;
    HANDLE thread = CreateThread(nullptr, 0, work, &job, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(SetThreadAffinityMask(thread, DWORD_PTR{1} << index), all);
    ResumeThread(thread);
    WaitForSingleObject(thread, INFINITE);
    EXPECT_EQ(job.cpu, allowed[index]);
    CloseHandle(thread);
  }

  Job job;
  HANDLE thread = CreateThread(nullptr, 0, work, &job, CREATE_SUSPENDED, nullptr);
  const DWORD_PTR refused[] = {0, allowed.size() < 64 ? DWORD_PTR{1} << allowed.size() : 0};
  for (DWORD_PTR mask : refused) {
    SetLastError(0);
    EXPECT_EQ(SetThreadAffinityMask(thread, mask), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  ResumeThread(thread);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

TEST(Threads, ClosingASuspendedThreadEndsItWithoutRunning) {
  // The thread is watched by its id: other threads (of earlier tests, of a
  // sanitizer's runtime) may come and go meanwhile.
  Job job;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, work, &job, CREATE_SUSPENDED, &id);
  ASSERT_NE(thread, nullptr);
  const std::filesystem::path task = "/proc/self/task/" + std::to_string(id);
  ASSERT_TRUE(std::filesystem::exists(task));
  EXPECT_TRUE(CloseHandle(thread));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::filesystem::exists(task) && std::chrono::steady_clock::now() < deadline) Sleep(1);
  EXPECT_FALSE(std::filesystem::exists(task));
  EXPECT_FALSE(job.ran);
}

TEST(Threads, PrioritiesAreAcceptedAndTheClassStaysNormal) {
  HANDLE process = GetCurrentProcess();
  EXPECT_EQ(GetPriorityClass(process), NORMAL_PRIORITY_CLASS);
  EXPECT_TRUE(SetPriorityClass(process, REALTIME_PRIORITY_CLASS));
  EXPECT_EQ(GetPriorityClass(process), NORMAL_PRIORITY_CLASS);
  EXPECT_EQ(GetPriorityClass(nullptr), 0u);
  Job job;
  HANDLE thread = CreateThread(nullptr, 0, work, &job, CREATE_SUSPENDED, nullptr);
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL));
  EXPECT_FALSE(SetThreadPriority(process, THREAD_PRIORITY_HIGHEST));
  ResumeThread(thread);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

TEST(Threads, TickCountIsMillisecondsOfTheMonotonicClock) {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  const DWORD ticks = GetTickCount();
  const DWORD expected = static_cast<DWORD>(static_cast<uint64_t>(counter.QuadPart) / 1000000u);
  EXPECT_LE(static_cast<DWORD>(ticks - expected), 5u);
}

}  // namespace
