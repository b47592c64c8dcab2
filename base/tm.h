// The millisecond clock over the performance counter.
#pragma once

#include <cstdint>

// Once per process (until tmDone): ticks per millisecond from the counter's
// frequency; registers tmDone to run at exit.
void tmCalibrate();
// Milliseconds of the performance counter (calibrating first when needed);
// callers that keep 32-bit times use the low 32 bits.
uint64_t tmMilliseconds();
void tmDone();
