// The configuration table: named texts with names compared without case,
// kept in the order they were first added, read from a "name = value" text
// file and written back to it whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct cfgEntry {
  char* name;   // spelling of the first addition
  char* value;  // null only until the first value is set
};

class cfgCTy {
 public:
  cfgCTy();
  virtual ~cfgCTy();
  cfgCTy(const cfgCTy&) = delete;
  cfgCTy& operator=(const cfgCTy&) = delete;

  // The entry of that name (ASCII letters compared without case), or null.
  cfgEntry* Find(const char* name);
  // The entry of that name, or a new one without value appended at the end;
  // null when memory runs out.
  cfgEntry* Add(const char* name);
  cfgEntry* SetStr(const char* name, const char* text);
  cfgEntry* SetInt(const char* name, int value);
  // Sets the value only when the entry exists.
  void UpdateInt(const char* name, int value);
  // The value, valid until that entry is next set; "" when missing.
  const char* GetStr(const char* name);
  // atoi of the value; 0 when missing.
  int GetInt(const char* name);

  // Sets every pair of the file; a file that cannot be opened reads as empty.
  // Malformed lines are skipped, and the first one is raised once the file is
  // read to its end ("Empty variable name" or "Invalid line", error level).
  void Load(const char* fileName);
  // Writes every entry as "name = value" in table order: to a new file beside
  // the old one, which then replaces it, so a failed save leaves the old file
  // as it was. A read-only file is kept; a symbolic link stays and its file
  // is replaced. True once the file holds the table; false when it was kept,
  // nothing left beside it and the system's reason as the last error
  // (ERROR_DIRECTORY_NOT_SUPPORTED for a directory of that name). Nothing is
  // reported: callers say so (cfgSaveFailure).
  bool Save(const char* fileName);

  uint32_t count;
  cfgEntry** entries;
};

// The next pair of an open configuration file, into two 1024-byte buffers: 1
// with a pair, 0 at the end of the file or for a null file. Lines are read
// 1023 bytes at a time; "--" starts a comment; bytes 1 to 32 are blanks. A
// malformed line is skipped and, when *error is still null, its error text is
// stored there.
int cfgParseLine(FILE* file, char* name, char* value, const char** error);

// What a failed Save leaves to say, from its last error: "'<file>' is not a
// file but a directory" or "'<file>' could not be written: <the system's
// text>".
std::string cfgSaveFailure(const char* fileName, uint32_t lastError);
