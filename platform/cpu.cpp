// Processor instructions and probes.
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <sys/prctl.h>
#include <xmmintrin.h>
// <cpuid.h> defines a five-argument macro of this name; the function below is
// the two-argument one of the Windows compiler.
#undef __cpuid
#define TALVO_X86 1
#endif

#include "platform/cpu.h"

#ifdef TALVO_X86

void __cpuid(int cpuInfo[4], int function) {
  unsigned a, b, c, d;
  __cpuid_count(static_cast<unsigned>(function), 0u, a, b, c, d);
  const unsigned regs[4] = {a, b, c, d};
  std::memcpy(cpuInfo, regs, sizeof regs);
}

namespace plat::cpu {

bool eflagsBitToggles(uint32_t bit) {
  // Every x86-64 processor lets user code toggle both bits; toggling the
  // alignment-check bit for real would make any unaligned access meanwhile
  // fault, since the kernel enables alignment checking.
  return bit == 0x40000 || bit == 0x200000;
}

uint8_t flagsAfterByteDivide() {
  uint8_t flags;
  // 1 + 0 clears carry, parity, adjust, zero and sign; LAHF copies the low
  // flag byte into AH after the division.
  asm volatile(
      "movb $1, %%al\n\t"
      "addb $0, %%al\n\t"
      "movw $5, %%ax\n\t"
      "movb $2, %%cl\n\t"
      "divb %%cl\n\t"
      "lahf\n\t"
      "movb %%ah, %0"
      : "=r"(flags)
      :
      : "rax", "rcx", "cc");
  return flags;
}

bool fpuInit(uint16_t* status, uint16_t* control) {
  uint16_t sw, cw;
  asm volatile("fninit\n\tfnstsw %0\n\tfnstcw %1" : "=m"(sw), "=m"(cw));
  *status = sw;
  *control = cw;
  return true;
}

bool addpsExecutes() {
  volatile float in[4] = {1, 2, 3, 4};
  __m128 a = _mm_set_ps(in[3], in[2], in[1], in[0]);
  float out[4];
  _mm_storeu_ps(out, _mm_add_ps(a, a));
  return out[0] == 2 && out[3] == 8;
}

bool unmaskedDivideCompletes() { return false; }

bool rdtscExecutes() {
  // Linux can make RDTSC fault for a process (PR_SET_TSC).
  int mode = 0;
  return !(prctl(PR_GET_TSC, &mode, 0, 0, 0) == 0 && mode == PR_TSC_SIGSEGV);
}

}  // namespace plat::cpu

#else

void __cpuid(int cpuInfo[4], int) { std::memset(cpuInfo, 0, 4 * sizeof(int)); }

namespace plat::cpu {
bool eflagsBitToggles(uint32_t) { return false; }
uint8_t flagsAfterByteDivide() { return 0; }
bool fpuInit(uint16_t*, uint16_t*) { return false; }
bool addpsExecutes() { return false; }
bool unmaskedDivideCompletes() { return false; }
bool rdtscExecutes() { return false; }
}  // namespace plat::cpu

#endif
