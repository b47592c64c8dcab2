// Reading helpers the decoders share. Each reads only from a stream that is
// good and has a buffer; otherwise it sets fail (plus bad without a buffer),
// which throws when the stream's exception mask holds the bit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvo::io {
class IStream;
}

namespace talvo::g {

// Reads n bytes and returns how many came; fewer than n leave the stream
// failed.
std::size_t read_exact(io::IStream& stream, void* bytes, std::size_t n);
// Moves n bytes forward from the current position, while the stream has a
// buffer and is not failed.
void skip_forward(io::IStream& stream, std::int64_t n);

// A little-endian field of a header held in memory.
inline std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
inline std::uint32_t le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

}  // namespace talvo::g
