// Processor identification against what the kernel reports, the vendor table,
// the feature rules on made-up CPUID tables, and the tick clock.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "platform/win32.h"
#include "talvo/CpuInfo.h"

namespace {

using talvo::CpuidEntry;
using talvo::CpuidTable;
using talvo::CpuInfo;

// The first processor's block of /proc/cpuinfo: key -> value.
std::map<std::string, std::string> proc_cpuinfo() {
  std::map<std::string, std::string> fields;
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line) && !line.empty()) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = line.substr(0, colon);
    key.erase(key.find_last_not_of(" \t") + 1);
    std::string value = colon + 1 < line.size() ? line.substr(colon + 2) : "";
    fields[key] = value;
  }
  return fields;
}

std::set<std::string> words(const std::string& text) {
  std::set<std::string> out;
  std::istringstream in(text);
  for (std::string word; in >> word;) out.insert(word);
  return out;
}

std::string text_of(const uint32_t* regs, int count) {
  return std::string(reinterpret_cast<const char*>(regs), 4 * static_cast<size_t>(count));
}

// A table of leaves 0 and 1 with the given vendor text and leaf 1 registers.
CpuidTable* made_up_table(const char* vendor, uint32_t signature, uint32_t edx) {
  CpuidTable* table = CpuidTable::create(1, 0);
  std::memcpy(&table->basic[0].ebx, vendor, 12);
  table->basic[0].eax = 1;
  table->basic[1].eax = signature;
  table->basic[1].edx = edx;
  return table;
}

// An instance that detected nothing but its family class, given a table.
struct MadeUpCpu {
  explicit MadeUpCpu(CpuidTable* table) : info(-1, 0) { info.table = table; }
  CpuInfo info;
};

#if defined(__x86_64__) || defined(__i386__)

TEST(CpuInfo, AgreesWithTheKernel) {
  const CpuInfo& cpu = CpuInfo::instance();
  auto proc = proc_cpuinfo();
  ASSERT_FALSE(proc.empty());
  ASSERT_TRUE(cpu.has_cpuid());
  const CpuidTable& table = *cpu.table;
  EXPECT_EQ(cpu.family_class, 4);

  // Leaf 0: highest basic leaf and the vendor text (EBX, EDX, ECX).
  if (proc.count("cpuid level") && std::stoul(proc["cpuid level"]) <= CpuidTable::max_leaves) {
    EXPECT_EQ(table.max_basic, std::stoul(proc["cpuid level"]));
  }
  EXPECT_EQ(text_of(&table.leaf(0).ebx, 3), proc["vendor_id"]);

  // Leaf 1: family and model as the kernel composes them.
  const uint32_t signature = table.leaf(1).eax;
  uint32_t family = (signature >> 8) & 0xF;
  uint32_t model = (signature >> 4) & 0xF;
  if (family == 0xF) family += (signature >> 20) & 0xFF;
  if (family >= 6) model += ((signature >> 16) & 0xF) << 4;
  EXPECT_EQ(std::to_string(family), proc["cpu family"]);
  EXPECT_EQ(std::to_string(model), proc["model"]);

  // Feature bits of leaf 1 EDX and the flags built from them.
  const std::set<std::string> kernel_flags = words(proc["flags"]);
  const uint32_t edx = table.leaf(1).edx;
  struct Bit {
    const char* name;
    int bit;
    uint8_t flag;  // the instance's flag that follows it, or 0
  } bits[] = {{"fpu", 0, CpuInfo::fpu}, {"tsc", 4, CpuInfo::tsc}, {"sse", 25, CpuInfo::sse}, {"sse2", 26, 0}};
  for (const Bit& b : bits) {
    SCOPED_TRACE(b.name);
    const bool kernel = kernel_flags.count(b.name) != 0;
    EXPECT_EQ((edx >> b.bit) & 1u, kernel ? 1u : 0u);
    if (b.flag) {
      EXPECT_EQ((cpu.flags & b.flag) != 0, kernel);
    }
  }
  EXPECT_EQ(cpu.has_sse(), kernel_flags.count("sse") != 0);
  // Never probed: the process would end with SIGFPE.
  EXPECT_EQ(cpu.flags & CpuInfo::simd_divide_unmasked, 0);
}

#endif

TEST(CpuInfo, VendorTable) {
  const struct {
    const char* text;
    int vendor;
  } rows[] = {
      {"GenuineIntel", 0}, {"AuthenticAMD", 1}, {"AMD ISBETTER", 1}, {"CyrixInstead", 2},
      {"CentaurHauls", 3}, {"UMC UMC UMC ", 4}, {"NexGenDriven", 5}, {"RiseRiseRise", 6},
      {"GenuineTMx86", 7}, {"HygonGenuine", -1}, {"genuineintel", -1}, {"GenuineInte ", -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    MadeUpCpu cpu(made_up_table(row.text, 0, 0));
    EXPECT_EQ(cpu.info.vendor(), row.vendor);
  }
  // Without a table: the vendor found by test.
  CpuInfo bare(-1, 0);
  ASSERT_EQ(bare.table, nullptr);
  bare.vendor_by_test = 2;
  EXPECT_EQ(bare.vendor(), 2);
}

TEST(CpuInfo, FeatureFlagsFromLeafOne) {
  constexpr uint32_t fpu = 1u << 0, tsc = 1u << 4, sep = 1u << 11;
  const struct {
    const char* what;
    const char* vendor;
    uint32_t signature;
    uint32_t edx;
    uint8_t flags;
  } cases[] = {
      {"Intel family 6 model 1 stepping 9", "GenuineIntel", 0x619, sep, CpuInfo::fast_system_call},
      {"Intel family 6 model 1 stepping 2", "GenuineIntel", 0x612, sep, 0},
      {"Intel family 6 model 3 stepping 2", "GenuineIntel", 0x632, sep, CpuInfo::fast_system_call},
      {"AMD with the early signature", "AuthenticAMD", 0x612, sep, CpuInfo::fast_system_call},
      {"no SEP bit", "GenuineIntel", 0x619, 0, 0},
      {"FPU and TSC", "GenuineIntel", 0x6F2, fpu | tsc, CpuInfo::fpu | CpuInfo::tsc},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MadeUpCpu cpu(made_up_table(c.vendor, c.signature, c.edx));
    cpu.info.detect_features();
    EXPECT_EQ(cpu.info.flags & (CpuInfo::fpu | CpuInfo::tsc | CpuInfo::fast_system_call), c.flags);
  }
}

TEST(CpuidTable, SizesAreCappedAndUnheldLeavesReadAsZero) {
  const struct {
    uint32_t n, m;
    uint32_t held_n, held_m;
  } cases[] = {
      {0, 0, 0, 0},
      {13, 0x80000021u, 13, 0x80000021u},
      {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF, 0x800000FFu},
      {0x100, 0x80000100u, 0xFF, 0x800000FFu},
      {5, 0x1234, 5, 0},  // not an extended leaf number
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.n << " " << c.m);
    CpuidTable* table = CpuidTable::create(c.n, c.m);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->max_basic, c.held_n);
    EXPECT_EQ(table->max_extended, c.held_m);
    // Every held entry is writable (the sanitizer watches the block's end)
    // and starts zeroed.
    for (uint32_t leaf = 0; leaf <= table->max_basic; ++leaf) {
      EXPECT_EQ(table->basic[leaf].eax, 0u);
      table->basic[leaf].ecx = leaf + 1;
    }
    if (table->max_extended) {
      for (uint32_t leaf = 0x80000000u; leaf <= table->max_extended; ++leaf) {
        table->extended[leaf - 0x80000000u].ecx = leaf;
      }
      EXPECT_EQ(table->leaf(table->max_extended).ecx, table->max_extended);
    }
    EXPECT_EQ(table->leaf(table->max_basic).ecx, table->max_basic + 1);
    EXPECT_EQ(table->leaf(table->max_basic + 1).ecx, 0u);
    EXPECT_EQ(table->leaf(table->max_extended ? table->max_extended + 1 : 0x80000000u).ecx, 0u);
    CpuidTable::destroy(table);
  }
}

TEST(CpuInfo, HighestBasicLeafZeroGivesNoFeatures) {
  MadeUpCpu cpu(CpuidTable::create(0, 0));
  std::memcpy(&cpu.info.table->basic[0].ebx, "GenuineIntel", 12);
  cpu.info.detect_features();
  EXPECT_EQ(cpu.info.flags, 0);
  EXPECT_FALSE(cpu.info.has_sse());
  EXPECT_EQ(cpu.info.vendor(), 0);
}

TEST(TickClock, FrequencyFollowsTheTimeStampFlag) {
  const CpuInfo& cpu = CpuInfo::instance();
  if (cpu.flags & CpuInfo::tsc) {
    EXPECT_EQ(talvo::tick_frequency(), cpu.tick_rate);
    EXPECT_GT(cpu.tick_rate, 1000000u);
  } else {
    LARGE_INTEGER frequency;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(talvo::tick_frequency(), static_cast<uint64_t>(frequency.QuadPart));
  }
  EXPECT_EQ(talvo::tick_frequency(), talvo::query_tick_frequency());
}

TEST(TickClock, TicksToMillisecondsDoesNotWrap) {
  const uint64_t f = talvo::tick_frequency();
  // The seconds whose ticks times 1000 first pass 2^64.
  const uint64_t wrap_seconds = UINT64_MAX / 1000 / f + 1;
  const struct {
    uint64_t seconds;
    uint64_t extra_ticks;
    uint64_t ms;
  } cases[] = {
      {0, 0, 0},
      {1, 0, 1000},
      {0, f - 1, 999},
      {wrap_seconds - 1, f - 1, (wrap_seconds - 1) * 1000 + 999},
      {wrap_seconds, 0, wrap_seconds * 1000},
      {UINT64_MAX / f, UINT64_MAX % f, UINT64_MAX / f * 1000 + UINT64_MAX % f * 1000 / f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.seconds << " s + " << c.extra_ticks);
    EXPECT_EQ(talvo::ticks_to_ms(c.seconds * f + c.extra_ticks), c.ms);
  }
}

TEST(TickClock, RunsAtThePerformanceCounterRate) {
  // The calibrated rate against the performance counter over a short sleep:
  // both clocks measure the same interval (the identification done first).
  const uint64_t frequency = talvo::tick_frequency();
  LARGE_INTEGER c0, c1;
  QueryPerformanceCounter(&c0);
  const uint64_t t0 = talvo::read_ticks();
  Sleep(40);
  const uint64_t t1 = talvo::read_ticks();
  QueryPerformanceCounter(&c1);
  const double counter_ms = static_cast<double>(c1.QuadPart - c0.QuadPart) / 1e6;
  const double tick_ms = static_cast<double>(talvo::ticks_to_ms(t1 - t0));
  EXPECT_GE(counter_ms, 40.0);
  EXPECT_NEAR(tick_ms, counter_ms, counter_ms * 0.1 + 1.0);
  // Ticks are absolute: far past any small elapsed time a stopwatch sets.
  EXPECT_GT(t0, frequency);
}

}  // namespace
