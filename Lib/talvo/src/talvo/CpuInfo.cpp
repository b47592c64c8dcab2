#include "talvo/CpuInfo.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/cpu.h"
#include "platform/win32.h"

namespace talvo {
namespace {

__extension__ typedef unsigned __int128 uint128;

constexpr uint32_t extended_base = 0x80000000u;
constexpr uint32_t eflags_alignment_check = 0x40000;
constexpr uint32_t eflags_id = 0x200000;

CpuidEntry cpuid(uint32_t leaf) {
  int regs[4];
  __cpuid(regs, static_cast<int>(leaf));
  return {static_cast<uint32_t>(regs[0]), static_cast<uint32_t>(regs[1]), static_cast<uint32_t>(regs[3]),
          static_cast<uint32_t>(regs[2])};
}

bool same(const CpuidEntry& a, const CpuidEntry& b) {
  return a.eax == b.eax && a.ebx == b.ebx && a.edx == b.edx && a.ecx == b.ecx;
}

const CpuidEntry zero_entry{};

struct DetectJob {
  CpuInfo* info;
  unsigned what;
};

DWORD run_detect(LPVOID parameter) {
  auto* job = static_cast<DetectJob*>(parameter);
  job->info->detect(job->what);
  return 1;
}

uint64_t performance_counter() {
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return static_cast<uint64_t>(count.QuadPart);
}

}  // namespace

CpuidTable* CpuidTable::create(uint32_t max_basic, uint32_t max_extended) {
  if (max_basic > max_leaves) max_basic = max_leaves;
  if (max_extended > extended_base + max_leaves) max_extended = extended_base + max_leaves;
  if (max_extended != 0 && max_extended < extended_base) max_extended = 0;
  const size_t basic_count = size_t{max_basic} + 1;
  const size_t extended_count = max_extended ? size_t{max_extended - extended_base} + 1 : 1;
  void* block = std::calloc(1, sizeof(CpuidTable) + (basic_count + extended_count) * sizeof(CpuidEntry));
  if (!block) return nullptr;
  auto* table = static_cast<CpuidTable*>(block);
  table->max_basic = max_basic;
  table->max_extended = max_extended;
  table->basic = reinterpret_cast<CpuidEntry*>(table + 1);
  table->extended = table->basic + basic_count;
  return table;
}

void CpuidTable::destroy(CpuidTable* table) { std::free(table); }

const CpuidEntry& CpuidTable::leaf(uint32_t leaf) const {
  if (leaf < extended_base) return leaf <= max_basic ? basic[leaf] : zero_entry;
  return max_extended != 0 && leaf <= max_extended ? extended[leaf - extended_base] : zero_entry;
}

CpuInfo::CpuInfo(int index, unsigned what) {
  if (index < 0) {
    detect(what);
    return;
  }
  HANDLE process = GetCurrentProcess();
  const DWORD priority = GetPriorityClass(process);
  DetectJob job{this, what};
  HANDLE thread = CreateThread(nullptr, 0, run_detect, &job, CREATE_SUSPENDED, nullptr);
  SetPriorityClass(process, REALTIME_PRIORITY_CLASS);
  if (thread) {
    SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    const DWORD_PTR mask = index < 64 ? DWORD_PTR{1} << index : 0;
    if (SetThreadAffinityMask(thread, mask)) {
      ResumeThread(thread);
      WaitForSingleObject(thread, INFINITE);
    }
    CloseHandle(thread);
  }
  SetPriorityClass(process, priority);
}

CpuInfo::~CpuInfo() { CpuidTable::destroy(table); }

CpuInfo& CpuInfo::instance() {
  static CpuInfo info(0, features | clock);
  return info;
}

bool CpuInfo::has_sse() const { return table && (table->leaf(1).edx & (1u << 25)); }

int CpuInfo::vendor() const {
  if (!table) return vendor_by_test;
  static const char* const vendors[][2] = {
      {"GenuineIntel", nullptr}, {"AuthenticAMD", "AMD ISBETTER"}, {"CyrixInstead", nullptr},
      {"CentaurHauls", nullptr}, {"UMC UMC UMC ", nullptr},       {"NexGenDriven", nullptr},
      {"RiseRiseRise", nullptr}, {"GenuineTMx86", nullptr},
  };
  const char* text = reinterpret_cast<const char*>(&table->leaf(0).ebx);
  for (int number = 0; number < 8; ++number) {
    for (const char* name : vendors[number]) {
      if (name && std::memcmp(text, name, 12) == 0) return number;
    }
  }
  return -1;
}

void CpuInfo::detect(unsigned what) {
  family_class = 3;
  bool has_cpuid_instruction = false;
  if (plat::cpu::eflagsBitToggles(eflags_alignment_check)) {
    family_class = 4;
    has_cpuid_instruction = plat::cpu::eflagsBitToggles(eflags_id);
  }
  if (family_class == 4 && !has_cpuid_instruction && plat::cpu::flagsAfterByteDivide() == 2) vendor_by_test = 2;

  if (has_cpuid_instruction && (what & (features | clock))) {
    CpuidTable::destroy(table);
    table = create_table();
    if (table) {
      detect_features();
    } else if (has_fpu()) {
      flags |= fpu;
    } else {
      flags &= ~fpu;
    }
    if (has_sse()) probe_sse();
  }
  if (what & clock) {
    tick_rate = measure_clock();
    // Without a calibrated rate the counter's ticks could not be converted:
    // the clock falls back to the performance counter.
    if (tick_rate == 0) flags &= ~tsc;
  }
}

uint32_t CpuInfo::max_extended_leaf() {
  const uint32_t n = cpuid(0).eax;
  const CpuidEntry last_basic = cpuid(n);
  const CpuidEntry first_extended = cpuid(extended_base);
  // Processors without extended leaves repeat the highest basic leaf.
  if (same(last_basic, first_extended)) return 0;
  return (first_extended.eax & extended_base) ? first_extended.eax : 0;
}

CpuidTable* CpuInfo::create_table() {
  CpuidTable* table = CpuidTable::create(cpuid(0).eax, max_extended_leaf());
  if (!table) return nullptr;
  for (uint32_t leaf = 0; leaf <= table->max_basic; ++leaf) table->basic[leaf] = cpuid(leaf);
  if (table->max_extended) {
    for (uint32_t leaf = extended_base; leaf <= table->max_extended; ++leaf) {
      table->extended[leaf - extended_base] = cpuid(leaf);
    }
  }
  return table;
}

void CpuInfo::detect_features() {
  const CpuidEntry& leaf1 = table->leaf(1);
  flags &= ~(fpu | tsc | fast_system_call);
  if (leaf1.edx & 1u) flags |= fpu;
  if ((leaf1.edx & (1u << 4)) && plat::cpu::rdtscExecutes()) flags |= tsc;
  if (leaf1.edx & (1u << 11)) {
    // Early Pentium Pro processors report SYSENTER without supporting it.
    const uint32_t signature = leaf1.eax;
    const bool early_pentium_pro = vendor() == 0 && (signature & 0xF00) == 0x600 && (signature & 0xF0) < 0x30 &&
                                   (signature & 0xF) < 3;
    if (!early_pentium_pro) flags |= fast_system_call;
  }
}

bool CpuInfo::has_fpu() {
  uint16_t status = 0, control = 0;
  if (!plat::cpu::fpuInit(&status, &control)) return false;
  return (status & 0xFF) == 0 && (control & 0x103F) == 0x3F;
}

void CpuInfo::probe_sse() {
  if ((table->leaf(1).edx & (1u << 24)) && plat::cpu::addpsExecutes()) flags |= sse;
  probe_simd_exceptions();
}

void CpuInfo::probe_simd_exceptions() {
  if (plat::cpu::unmaskedDivideCompletes()) flags |= simd_divide_unmasked;
}

uint64_t CpuInfo::measure_clock() const {
  LARGE_INTEGER frequency;
  if (!(flags & tsc) || !QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return 0;
  constexpr int passes = 20;
  uint128 sum = 0;
  for (int pass = 0; pass < passes; ++pass) {
    const uint64_t c0 = performance_counter();
    const uint64_t t0 = __rdtsc();
    uint64_t c1 = c0;
    for (int i = 0; i < 1000; ++i) c1 = performance_counter();
    const uint64_t t1 = __rdtsc();
    if (c1 == c0) return 0;
    sum += uint128{t1 - t0} * static_cast<uint64_t>(frequency.QuadPart) / (c1 - c0);
  }
  return static_cast<uint64_t>(sum / passes);
}

uint64_t read_ticks() {
  if (CpuInfo::instance().flags & CpuInfo::tsc) return __rdtsc();
  LARGE_INTEGER count;
  if (QueryPerformanceCounter(&count)) return static_cast<uint64_t>(count.QuadPart);
  return GetTickCount();
}

uint64_t query_tick_frequency() {
  const CpuInfo& info = CpuInfo::instance();
  if (info.flags & CpuInfo::tsc) return info.tick_rate;
  LARGE_INTEGER frequency;
  if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) return static_cast<uint64_t>(frequency.QuadPart);
  return 1000;
}

uint64_t tick_frequency() {
  static const uint64_t frequency = query_tick_frequency();
  return frequency;
}

uint64_t ticks_to_ms(uint64_t ticks) { return static_cast<uint64_t>(uint128{ticks} * 1000 / tick_frequency()); }

}  // namespace talvo
