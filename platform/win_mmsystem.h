// winmm services of the engine.
#pragma once

#include "platform/win_types.h"

// Milliseconds of the performance counter's clock (the test API's manual
// clock while it runs), wrapping at 2^32.
DWORD timeGetTime();
