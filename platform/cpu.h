// The processor instructions the engine issues, under the names of the
// Windows compiler's intrinsics, and the probes it once ran under structured
// exception handling, as they come out on the processors we build for.
//
// On x86-64 every probe yields what any x86-64 processor yields, except the
// unmasked SIMD divide by zero, which is never executed: on this platform it
// would end the process with SIGFPE. On other processors there is no CPUID
// and no time-stamp counter: the probes say so and the instructions give 0.
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>  // __rdtsc
#else
inline unsigned long long __rdtsc() { return 0; }
#endif

// CPUID of a leaf with sub-leaf 0: EAX, EBX, ECX, EDX in that order.
void __cpuid(int cpuInfo[4], int function);

namespace plat::cpu {

// Whether user code can toggle the EFLAGS bit (0x40000 alignment check,
// 0x200000 ID: CPUID is available).
bool eflagsBitToggles(uint32_t bit);
// The low byte of the flags after clearing the arithmetic flags and dividing
// 5 by 2 with the 8-bit unsigned division.
uint8_t flagsAfterByteDivide();
// FNINIT, then the status word and the control word; false when there is no
// floating-point unit.
bool fpuInit(uint16_t* status, uint16_t* control);
// Whether an ADDPS executes.
bool addpsExecutes();
// Whether dividing by zero with the zero-divide exception unmasked completes
// without an exception.
bool unmaskedDivideCompletes();
// Whether RDTSC executes in user mode.
bool rdtscExecutes();

}  // namespace plat::cpu
