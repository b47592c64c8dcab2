// The file a fuzz target hands its input to, for readers that take a file
// name: in a directory of its own that goes at exit, in memory when /dev/shm
// can be had (every input is written and read once).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline const char* inputPath(const char* name) {
  static char dir[4096];
  static char file[4200];
  if (!file[0]) {
    std::snprintf(dir, sizeof dir, "/dev/shm/talvo-fuzz-XXXXXX");
    if (!mkdtemp(dir)) {
      const char* tmp = std::getenv("TMPDIR");
      std::snprintf(dir, sizeof dir, "%s/talvo-fuzz-XXXXXX", tmp && *tmp ? tmp : "/tmp");
      if (!mkdtemp(dir)) std::abort();
    }
    std::snprintf(file, sizeof file, "%s/%s", dir, name);
    std::atexit([] {
      std::remove(file);
      rmdir(dir);
    });
  }
  return file;
}

// Writes the bytes to the input file; its path.
inline const char* writeInput(const char* name, const unsigned char* data, size_t size) {
  const char* path = inputPath(name);
  FILE* f = std::fopen(path, "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  return path;
}

}  // namespace fuzz
