// The millisecond clock.
#include "base/tm.h"

#include <cstdlib>

#include "platform/win32.h"

namespace {

bool g_calibrated = false;
bool g_doneRegistered = false;
int64_t g_ticksPerMs = 1;

}  // namespace

void tmCalibrate() {
  if (g_calibrated) return;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  g_ticksPerMs = frequency.QuadPart / 1000;
  if (g_ticksPerMs <= 0) g_ticksPerMs = 1;  // a counter slower than 1 kHz counts whole ticks
  g_calibrated = true;
  if (!g_doneRegistered) {
    g_doneRegistered = true;
    std::atexit(tmDone);
  }
}

uint64_t tmMilliseconds() {
  if (!g_calibrated) tmCalibrate();
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return static_cast<uint64_t>(count.QuadPart / g_ticksPerMs);
}

void tmDone() { g_calibrated = false; }
