// Fixtures of the stream tests, made at test time with Debian's Python
// (its zipfile and zlib modules) in fresh directories of the sandbox.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvo_test {

struct ZipMember {
  std::string name;
  std::string bytes;
  bool deflated = true;  // else stored
};

// Writes a zip archive holding the members, in order.
void write_zip(const std::string& path, const std::vector<ZipMember>& members);

// The bytes as zlib's compress writes them.
std::string zlib_packed(const std::string& bytes);

// n bytes whose value tells their position (mod 251).
std::string numbered(size_t n);
inline int byte_at(size_t position) { return static_cast<int>(position % 251); }

// Little-endian words as stored.
std::string u32(uint32_t value);
std::string u16(uint16_t value);

}  // namespace talvo_test
