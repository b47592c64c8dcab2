// Reading the time: talvo's tick clock and stopwatch beside the standard
// steady clock and the monotonic clock.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

#include "talvo/CpuInfo.h"
#include "talvo/Stopwatch.h"

namespace {

void BM_ReadTicks(benchmark::State& state) {
  talvo::read_ticks();  // identifies the processor once
  for (auto _ : state) benchmark::DoNotOptimize(talvo::read_ticks());
}
BENCHMARK(BM_ReadTicks);

void BM_StopwatchElapsedMs(benchmark::State& state) {
  talvo::Stopwatch watch;
  for (auto _ : state) benchmark::DoNotOptimize(watch.elapsed_ms());
}
BENCHMARK(BM_StopwatchElapsedMs);

void BM_SteadyClockNow(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(std::chrono::steady_clock::now());
}
BENCHMARK(BM_SteadyClockNow);

void BM_SteadyClockElapsedMs(benchmark::State& state) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  }
}
BENCHMARK(BM_SteadyClockElapsedMs);

void BM_ClockGettimeMonotonic(benchmark::State& state) {
  timespec ts;
  for (auto _ : state) {
    clock_gettime(CLOCK_MONOTONIC, &ts);
    benchmark::DoNotOptimize(ts);
  }
}
BENCHMARK(BM_ClockGettimeMonotonic);

void BM_ProcessorIdentification(benchmark::State& state) {
  for (auto _ : state) {
    talvo::CpuInfo info(0, talvo::CpuInfo::features | talvo::CpuInfo::clock);
    benchmark::DoNotOptimize(info.tick_rate);
  }
}
BENCHMARK(BM_ProcessorIdentification)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
