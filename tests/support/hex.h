// Bytes written as hex digits, for fixtures spelled out byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

// Two digits a byte, either case; spaces separate nothing.
inline std::vector<uint8_t> hex(const std::string& text) {
  std::vector<uint8_t> out;
  int digits = 0, v = 0;
  for (char c : text) {
    if (c == ' ') continue;
    v = v * 16 + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    if (++digits == 2) {
      out.push_back(uint8_t(v));
      digits = v = 0;
    }
  }
  return out;
}

}  // namespace test_support
