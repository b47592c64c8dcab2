// The C runtime's shared open of a buffered stream. The file is opened with
// CreateFileA, so its path is resolved like every path and its share mode
// holds against the other opens of the process.
#pragma once

#include <cstdio>

#define _SH_DENYRW 0x10  // no sharing
#define _SH_DENYWR 0x20  // others may read
#define _SH_DENYRD 0x30  // others may write
#define _SH_DENYNO 0x40  // others may read and write

// mode: "r", "w" or "a", then "+" for update, "b" or "t" (both binary here).
// Returns a stream that fclose closes, or null with errno set.
FILE* _fsopen(const char* name, const char* mode, int shareFlag);
