#include "img/DecoderStream.h"

#include "talvo/Stream.h"

namespace talvo::g {

std::size_t read_exact(io::IStream& stream, void* bytes, std::size_t n) {
  const std::size_t got = std::size_t(stream.read(bytes, std::streamsize(n)));
  if (got < n) stream.setstate(io::Stream::failbit);
  return got;
}

void skip_forward(io::IStream& stream, std::int64_t n) {
  std::streambuf* buffer = stream.buffer();
  if (n == 0 || !buffer || stream.fail()) return;
  // Rows read after a move that did not happen would be the wrong ones.
  if (buffer->pubseekoff(n, std::ios_base::cur, std::ios_base::in) == std::streampos(-1))
    stream.setstate(io::Stream::failbit);
}

}  // namespace talvo::g
