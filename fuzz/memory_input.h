// Untrusted bytes as a memory stream buffer or an input stream over a copy
// of them (the buffer owns its block), for the readers that take streams.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "talvo/Stream.h"
#include "talvo/StreamBuf.h"

namespace fuzz {

// The buffer reads a copy of the bytes.
inline void setBytes(talvo::io::MemBuf& buffer, const uint8_t* data, size_t size) {
  auto* block = static_cast<char*>(std::malloc(size + 1));
  if (!block) std::abort();
  if (size) std::memcpy(block, data, size);
  buffer.set_data(block, size, size);
}

// An input stream over a copy of the bytes, with the exception mask.
struct MemoryInput {
  talvo::io::MemBuf buffer;
  talvo::io::IStream stream{&buffer};
  MemoryInput(const uint8_t* data, size_t size, uint32_t mask) {
    setBytes(buffer, data, size);
    stream.exceptions(mask);
  }
};

}  // namespace fuzz
