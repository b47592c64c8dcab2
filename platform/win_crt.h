// C run-time helpers of the Windows tool chain that the engine calls.
#pragma once

#include <cstddef>

#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

// Splits a path into drive ("C:"), directory (with its trailing "\" or "/"),
// file name and extension (with its dot). Each output may be null; each is
// cut to its _MAX_ size less the terminator.
void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);

// The usable size of a block of the runtime's heap (malloc, calloc, realloc);
// at least the size asked for.
size_t _msize(void* block);
