// Strings, paths ("\", "/" and ":" separate), directory probes, rectangles.
#pragma once

#include <cstdint>
#include <ctime>

#include "platform/win_types.h"

// A copy from the first further alloc entry of memHooks (free it with the free
// entry); null for a null string, and null with -2 raised when it fails.
char* strDup(const char* s);
// Lower case: "A" to "Z", and the capitals of code page 866 (0x80 to 0x8F
// become 0xA0 to 0xAF, 0x90 to 0x9F become 0xE0 to 0xEF).
char chrLower(char c);
char* strLower(char* s);
// The last character of s that is in set, or null.
const char* strFindLastOf(const char* s, const char* set);
// Copies src (null: an empty string); returns the end of dest, null for a null dest.
char* strCopyOrEmpty(char* dest, const char* src);

// Paths. Outputs are buffers of MAX_PATH bytes; longer results are cut to
// MAX_PATH - 1 characters.
// Copies dir and appends "\" unless it is empty or already ends in a separator.
char* pathAddSeparator(char* dest, const char* dir);
// The part after the last separator, or the whole path; null for null.
const char* pathFileName(const char* path);
// Splits into directory (with its trailing separator), name and extension
// (with its dot); each output may be null.
void pathSplit(const char* path, char* dir, char* name, char* ext);

// A directory scan: the first entry is loaded by dirOpen.
#define DIR_ATTR_READONLY 0x01
#define DIR_ATTR_SUBDIR 0x10
#define DIR_ATTR_ARCHIVE 0x20
struct dirFindData {
  uint32_t attrib;
  int64_t timeCreate;  // the status change time on this platform
  int64_t timeAccess;
  int64_t timeWrite;
  uint64_t size;
  char name[MAX_PATH];
};
struct dirScan {
  dirFindData data;
  uint8_t opened;
  uint8_t loaded;
  void* handle;
};
// Starts a scan of every entry of the directory (its path resolved like every
// file path); null when it cannot be scanned (nothing raised).
dirScan* dirOpen(const char* dirName);
void dirClose(dirScan* scan);

struct baseRect {
  int32_t x, y, w, h;
};
// 1 and the overlap when it has a positive width and height, else 0. The
// result may be a or b.
int rectIntersect(baseRect* result, const baseRect* a, const baseRect* b);
