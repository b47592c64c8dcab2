// KERNEL32 memory probing.
#pragma once

#include "platform/win_types.h"

// Non-zero when some byte of [p, p + size) cannot be read by the process; a
// null pointer is bad, a size of 0 is not. The bytes are read by the kernel,
// so probing an unmapped address never faults.
BOOL IsBadReadPtr(const void* p, UINT_PTR size);
