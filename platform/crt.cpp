#include "platform/win_crt.h"

#include <malloc.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

void put(char* out, size_t size, std::string_view part) {
  if (!out) return;
  const size_t n = std::min(part.size(), size - 1);
  if (n > 0) std::memcpy(out, part.data(), n);
  out[n] = '\0';
}

}  // namespace

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
  std::string_view rest = path ? path : "";
  std::string_view drive_part;
  if (rest.size() >= 2 && rest[1] == ':') {
    drive_part = rest.substr(0, 2);
    rest.remove_prefix(2);
  }
  const size_t separator = rest.find_last_of("\\/");
  const size_t name_start = separator == std::string_view::npos ? 0 : separator + 1;
  std::string_view name = rest.substr(name_start);
  const size_t dot = name.find_last_of('.');
  put(drive, _MAX_DRIVE, drive_part);
  put(dir, _MAX_DIR, rest.substr(0, name_start));
  put(fname, _MAX_FNAME, name.substr(0, dot));
  put(ext, _MAX_EXT, dot == std::string_view::npos ? std::string_view() : name.substr(dot));
}

size_t _msize(void* block) { return malloc_usable_size(block); }
