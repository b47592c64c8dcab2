// The clock of QueryPerformanceCounter, timeGetTime and Sleep: CLOCK_MONOTONIC,
// or the test API's manual clock, which only Sleep and the test move.
#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/test_api.h"
#include "platform/win_kernel.h"
#include "platform/win_mmsystem.h"

namespace {

std::atomic<bool> g_manual{false};
std::atomic<int64_t> g_manualNs{0};
std::mutex g_mutex;  // the record of sleeps
std::vector<DWORD> g_sleeps;

int64_t monotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

int64_t nowNs() { return g_manual.load(std::memory_order_acquire) ? g_manualNs.load() : monotonicNs(); }

}  // namespace

void Sleep(DWORD milliseconds) {
  if (g_manual.load(std::memory_order_acquire)) {
    g_manualNs += static_cast<int64_t>(milliseconds) * 1000000LL;
    std::lock_guard<std::mutex> hold(g_mutex);
    g_sleeps.push_back(milliseconds);
    return;
  }
  timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  count->QuadPart = nowNs();
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  frequency->QuadPart = 1000000000LL;
  return TRUE;
}

DWORD timeGetTime() { return static_cast<DWORD>(nowNs() / 1000000LL); }

namespace plat::test {

void setManualClock(bool on) {
  std::lock_guard<std::mutex> hold(g_mutex);
  if (on && !g_manual) g_manualNs = monotonicNs();
  g_manual.store(on, std::memory_order_release);
  g_sleeps.clear();
}

void advanceClock(DWORD milliseconds) { g_manualNs += static_cast<int64_t>(milliseconds) * 1000000LL; }

std::vector<DWORD> takeSleeps() {
  std::lock_guard<std::mutex> hold(g_mutex);
  std::vector<DWORD> out;
  out.swap(g_sleeps);
  return out;
}

}  // namespace plat::test
