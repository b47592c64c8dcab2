// What a text-mode read of a file delivers, worked out from the file's
// bytes: everything before the first Ctrl-Z, each CR that stands right
// before an LF dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

inline std::string textModeBytes(const uint8_t* data, size_t size) {
  std::string text;
  for (size_t i = 0; i < size && data[i] != 0x1A; ++i)
    if (!(data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')) text.push_back(static_cast<char>(data[i]));
  return text;
}

}  // namespace fuzz
