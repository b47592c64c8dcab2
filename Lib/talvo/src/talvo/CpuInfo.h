// Processor identification and the tick clock.
//
// Time is measured in ticks of the fastest clock the machine offers: the
// processor's time-stamp counter when it is usable, else the performance
// counter, else the millisecond tick count. The processor is identified once
// per process, on a short-lived thread pinned to the first processor, which
// also calibrates the time-stamp counter against the performance counter.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvo {

// The registers CPUID returned for one leaf, in this order (so the entry of
// leaf 0 holds the 12-character vendor text in its last 12 bytes).
struct CpuidEntry {
  uint32_t eax;
  uint32_t ebx;
  uint32_t edx;
  uint32_t ecx;
};
static_assert(sizeof(CpuidEntry) == 16);

// One zeroed allocation: this header, the basic entries for the leaves 0 to
// max_basic, then the extended entries for the leaves 0x80000000 to
// max_extended (with max_extended 0, one spare entry).
struct CpuidTable {
  // Real processors report at most this many leaves past the first of each
  // range; larger counts are capped to it.
  static constexpr uint32_t max_leaves = 0xFF;

  // A table for the given highest leaves (capped), or null without memory.
  static CpuidTable* create(uint32_t max_basic, uint32_t max_extended);
  static void destroy(CpuidTable* table);

  // The entry of a basic or extended leaf; an all-zero entry for a leaf the
  // table does not hold.
  const CpuidEntry& leaf(uint32_t leaf) const;

  uint32_t max_basic;
  uint32_t max_extended;  // 0 when the processor has no extended leaves
  CpuidEntry* basic;
  CpuidEntry* extended;
};

class CpuInfo {
 public:
  // Flags.
  static constexpr uint8_t fpu = 0x01;                // floating-point unit present
  static constexpr uint8_t tsc = 0x02;                // time-stamp counter usable
  static constexpr uint8_t fast_system_call = 0x04;   // SYSENTER usable
  static constexpr uint8_t sse = 0x08;                // SSE instructions execute
  static constexpr uint8_t simd_divide_unmasked = 0x10;  // an unmasked SIMD divide by zero completed
  // What to detect.
  static constexpr unsigned features = 1;
  static constexpr unsigned clock = 2;

  // A negative index detects on the calling thread; otherwise on a thread
  // pinned to that processor, which the constructor waits for.
  CpuInfo(int index, unsigned what);
  ~CpuInfo();
  CpuInfo(const CpuInfo&) = delete;
  CpuInfo& operator=(const CpuInfo&) = delete;

  // The process-wide instance: CpuInfo(0, features | clock) on first use.
  static CpuInfo& instance();

  bool has_cpuid() const { return table != nullptr; }
  // Leaf 1 EDX bit 25.
  bool has_sse() const;
  // 0 Intel, 1 AMD, 2 Cyrix, 3 Centaur, 4 UMC, 5 NexGen, 6 Rise, 7 Transmeta,
  // -1 unknown; without a CPUID table the vendor found by test.
  int vendor() const;

  // The detection steps, in the order detect runs them.
  void detect(unsigned what);
  static uint32_t max_extended_leaf();
  static CpuidTable* create_table();
  void detect_features();
  static bool has_fpu();
  void probe_sse();
  void probe_simd_exceptions();
  // Time-stamp-counter ticks per second, or 0 when they cannot be measured.
  uint64_t measure_clock() const;

  int32_t family_class = -1;   // 3, 4 (alignment check can be set), -1 unknown
  int32_t vendor_by_test = -1;  // 2: a Cyrix processor without CPUID
  uint64_t tick_rate = 0;       // calibrated time-stamp-counter ticks per second
  CpuidTable* table = nullptr;  // owned; null without CPUID
  uint8_t flags = 0;
};

// The current tick count.
uint64_t read_ticks();
// Ticks per second of read_ticks.
uint64_t query_tick_frequency();
// query_tick_frequency, fixed at its first use.
uint64_t tick_frequency();
// Ticks as milliseconds (rounded down).
uint64_t ticks_to_ms(uint64_t ticks);

}  // namespace talvo
