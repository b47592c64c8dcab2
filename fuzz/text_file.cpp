// Text-mode reads of files: any bytes as a file that talvo::File reads in
// text mode, as the log settings file is read. The file is read to its end
// in pieces of one byte, of a few, of a page and of sizes taken from the
// input, and through the io layer's buffered file buffer with buffers of a
// character, a few and a page. Each reading must deliver the bytes before
// the first Ctrl-Z, every CR that stands right before an LF dropped, and no
// read more than it was asked for. Once a read has delivered nothing the
// next one delivers nothing too, and the file stands at the Ctrl-Z (or at
// its end). The seeds are made by fuzz/text_file_seeds.py.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <iterator>
#include <memory>
#include <string>

#include "input_file.h"
#include "talvo/File.h"
#include "talvo/StreamBuf.h"
#include "text_mode.h"

namespace {

using talvo::AbstractFile;

// Reads the file to its end, each read asking for the count next() gives.
template <class Counts>
void readInPieces(const char* path, const std::string& expected, int64_t end, Counts next) {
  talvo::File file;
  if (!file.open(path, AbstractFile::in)) std::abort();
  std::string got;
  for (;;) {
    const int32_t count = next();
    // Exactly the size asked for, so that a write past it is seen.
    std::unique_ptr<char[]> piece(new char[static_cast<size_t>(count)]);
    const int32_t n = file.read(piece.get(), count);
    if (n < 0 || n > count) std::abort();
    if (n == 0) break;
    got.append(piece.get(), static_cast<size_t>(n));
    if (got.size() > expected.size()) std::abort();
  }
  if (got != expected) std::abort();
  char byte;
  if (file.read(&byte, 1) != 0 || file.seek(0, AbstractFile::cur) != end) std::abort();
}

// Reads the file through the buffered file buffer with a buffer of n
// characters (0: the default).
void readBuffered(const char* path, const std::string& expected, int64_t end, size_t n) {
  talvo::io::FileBuf buffer(path, AbstractFile::in);
  if (!buffer.is_open()) std::abort();
  std::unique_ptr<char[]> own;
  if (n == 1) {
    buffer.pubsetbuf(nullptr, 0);  // one character at a time
  } else if (n) {
    own.reset(new char[n]);
    buffer.pubsetbuf(own.get(), static_cast<std::streamsize>(n));
  }
  std::istream in(&buffer);
  const std::string got{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (got != expected) std::abort();
  // Nothing is left unread: the position is the file's.
  if (buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in) != std::streampos(end)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  const char* path = fuzz::writeInput("input.txt", data, size);
  const std::string expected = fuzz::textModeBytes(data, size);
  const void* stop = size ? std::memchr(data, 0x1A, size) : nullptr;
  const int64_t end = stop ? static_cast<const uint8_t*>(stop) - data : static_cast<int64_t>(size);

  for (int32_t count : {1, 2, 3, 4096})
    readInPieces(path, expected, end, [count] { return count; });
  size_t k = 0;
  readInPieces(path, expected, end, [&] { return size ? 1 + data[k++ % size] % 23 : 1; });

  for (size_t n : {1, 2, 5, 0}) readBuffered(path, expected, end, n);
  return 0;
}
