// Fixtures of the stream tests, made at test time with Debian's Python
// (its zipfile and zlib modules) and Debian's zip in fresh directories of
// the sandbox.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

#include "sandbox.h"
#include "talvo/StreamBuf.h"

namespace talvo_test {

struct ZipMember {
  std::string name;
  std::string bytes;
  bool deflated = true;  // else stored
};

// Writes a zip archive holding the members, in order.
void write_zip(const std::string& path, const std::vector<ZipMember>& members);

// Writes an archive of members as other programs write them, each holding
// numbered(troubled_size) bytes:
//   stored.bin, deflated.bin               good (Python's zipfile)
//   bzip2.bin                              packed by zip -Z bzip2
//   encrypted.bin                          encrypted by zip -P
//   flipped_middle.bin, flipped_end.bin    stored, the middle byte (or the
//                                          tenth from the end) changed
//   cut.bin                                deflated, its packed size cut to
//                                          half in both headers
void write_troubled_zip(const std::string& path);
constexpr size_t troubled_size = 10000;

// The bytes as zlib's compress writes them.
std::string zlib_packed(const std::string& bytes);

// n bytes whose value tells their position (mod 251).
std::string numbered(size_t n);
inline int byte_at(size_t position) { return static_cast<int>(position % 251); }

// A file holding the bytes, in a fresh directory.
std::string temp_file(const std::string& bytes);
// A memory buffer holding the bytes.
std::unique_ptr<talvo::io::MemBuf> memory(const std::string& bytes);
// Up to n characters from the buffer.
std::string take(std::streambuf& buffer, std::streamsize n);

// The text of the E the call throws; "" when it throws nothing.
template <class E>
std::string thrown(const std::function<void()>& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  return "";
}

// The lines the main log gained that start with one of the prefixes.
std::vector<std::string> lines_starting(const MainLogTail& log, const std::vector<std::string>& prefixes);

// Little-endian words as stored.
std::string u32(uint32_t value);
std::string u16(uint16_t value);

}  // namespace talvo_test
