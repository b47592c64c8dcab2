// Stream buffers: buffered reads and writes over a file, positions in
// binary and text mode, put-back, buffer sizes, error mode, and the memory
// buffer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <istream>
#include <string>
#include <vector>

#include "sandbox.h"
#include "stream_fixtures.h"
#include "talvo/File.h"
#include "talvo/StreamBuf.h"

namespace {

using talvo::AbstractFile;
using talvo::io::BasicFileBuf;
using talvo::io::FileBuf;
using talvo::io::MemBuf;
using talvo_test::byte_at;
using talvo_test::fresh_dir;
using talvo_test::memory;
using talvo_test::numbered;
using talvo_test::read_file;
using talvo_test::take;
using talvo_test::temp_file;
using talvo_test::write_file;

constexpr uint32_t kReadBinary = AbstractFile::in | AbstractFile::binary;
const std::streampos kNoPosition = std::streampos(std::streamoff(-1));

// A file in memory whose writes can be made to fail, to reach the buffer's
// error mode.
class MemoryFile : public AbstractFile {
 public:
  std::string data;
  int64_t position = 0;
  bool refuse_writes = false;

  int64_t size() override { return static_cast<int64_t>(data.size()); }
  bool flush() override { return true; }
  int32_t read(void* buffer, int32_t count) override {
    const int64_t n = std::min<int64_t>(count, size() - position);
    if (n <= 0) return 0;
    std::memcpy(buffer, data.data() + position, static_cast<size_t>(n));
    position += n;
    return static_cast<int32_t>(n);
  }
  int32_t write(const void* bytes, int32_t count) override {
    if (refuse_writes) return 0;
    data.replace(static_cast<size_t>(position), static_cast<size_t>(count), static_cast<const char*>(bytes),
                 static_cast<size_t>(count));
    position += count;
    return count;
  }
  int64_t seek(int64_t offset, int origin) override {
    const int64_t base = origin == beg ? 0 : origin == cur ? position : size();
    if (base + offset < 0) return -1;
    return position = base + offset;
  }
  talvo::ErrorInfo* last_error() override { return nullptr; }

 protected:
  bool do_open(const char*, uint32_t) override { return true; }
  bool do_close() override { return true; }
};

TEST(FileBuf, PositionsWhileReadingBinary) {
  const std::string path = temp_file(numbered(10));
  FileBuf buffer(path.c_str(), kReadBinary);
  ASSERT_TRUE(buffer.is_open());
  EXPECT_STREQ(buffer.name(), path.c_str());
  EXPECT_EQ(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in), std::streampos(0));
  EXPECT_EQ(take(buffer, 3), numbered(3));
  EXPECT_EQ(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in), std::streampos(3));
  // The whole file went into the buffer at the first read.
  EXPECT_EQ(buffer.file()->seek(0, AbstractFile::cur), 10);
  EXPECT_EQ(take(buffer, 100), numbered(10).substr(3));
  EXPECT_EQ(buffer.sgetc(), std::char_traits<char>::eof());
}

TEST(FileBuf, Seeks) {
  // Larger than two buffers, so seeks both inside and outside the get area.
  const size_t kSize = 10000;
  const std::string path = temp_file(numbered(kSize));
  struct Case {
    const char* what;
    std::streamoff read_first;  // characters read before the seek
    std::streamoff offset;
    std::ios_base::seekdir direction;
    std::streamoff result;      // -1: refused
    std::streamoff next;        // position of the next byte read (-1: end)
  } cases[] = {
      {"current, forward inside the buffer", 100, 50, std::ios_base::cur, 150, 150},
      {"current, back inside the buffer", 100, -100, std::ios_base::cur, 0, 0},
      {"current, to the end of the buffer", 100, 3996, std::ios_base::cur, 4096, 4096},
      {"current, past the buffer", 100, 5000, std::ios_base::cur, 5100, 5100},
      {"current, before the start", 100, -101, std::ios_base::cur, -1, 100},
      {"current, before reading", 0, 7000, std::ios_base::cur, 7000, 7000},
      {"from the beginning", 5000, 42, std::ios_base::beg, 42, 42},
      {"from the beginning, negative", 10, -1, std::ios_base::beg, -1, 10},
      {"from the end", 10, -10, std::ios_base::end, kSize - 10, kSize - 10},
      {"to the end", 10, 0, std::ios_base::end, kSize, -1},
      {"second buffer, back into the first", 4100, -200, std::ios_base::cur, 3900, 3900},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FileBuf buffer(path.c_str(), kReadBinary);
    ASSERT_EQ(take(buffer, c.read_first).size(), static_cast<size_t>(c.read_first));
    EXPECT_EQ(buffer.pubseekoff(c.offset, c.direction, std::ios_base::in), std::streampos(c.result));
    EXPECT_EQ(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in),
              std::streampos(c.next < 0 ? kSize : c.next));
    EXPECT_EQ(buffer.sbumpc(), c.next < 0 ? std::char_traits<char>::eof() : byte_at(c.next));
  }

  FileBuf buffer(path.c_str(), kReadBinary);
  take(buffer, 9000);
  EXPECT_EQ(buffer.pubseekpos(17, std::ios_base::in), std::streampos(17));
  EXPECT_EQ(buffer.sbumpc(), byte_at(17));
  EXPECT_EQ(buffer.pubseekpos(kNoPosition, std::ios_base::in), kNoPosition);
}

TEST(FileBuf, TextModePositions) {
  const std::string path = temp_file("a\r\nb");
  FileBuf buffer(path.c_str(), AbstractFile::in);
  EXPECT_EQ(buffer.sbumpc(), 'a');
  EXPECT_EQ(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in), std::streampos(1));
  EXPECT_EQ(buffer.sbumpc(), '\n');
  EXPECT_EQ(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in), std::streampos(3));
  // Only the position can be asked for: characters and bytes differ.
  EXPECT_EQ(buffer.pubseekoff(5, std::ios_base::cur, std::ios_base::in), kNoPosition);
  EXPECT_EQ(buffer.sbumpc(), 'b');
  EXPECT_EQ(buffer.sbumpc(), std::char_traits<char>::eof());
}

TEST(FileBuf, PutBackEightCharacters) {
  const std::string path = temp_file("0123456789");
  FileBuf buffer(path.c_str(), kReadBinary);
  ASSERT_EQ(buffer.sgetc(), '0');  // a freshly filled get area
  const std::string pushed = "abcdefgh";
  for (char c : pushed) EXPECT_EQ(buffer.sputbackc(c), c);
  EXPECT_EQ(buffer.sputbackc('z'), std::char_traits<char>::eof());
  EXPECT_EQ(take(buffer, 8), "hgfedcba");
  EXPECT_EQ(take(buffer, 10), "0123456789");

  // Inside the get area a put-back steps back; a different character
  // replaces the one there.
  FileBuf again(path.c_str(), kReadBinary);
  EXPECT_EQ(take(again, 2), "01");
  EXPECT_EQ(again.sputbackc('1'), '1');
  EXPECT_EQ(again.sputbackc('x'), 'x');
  EXPECT_EQ(take(again, 3), "x12");
}

TEST(FileBuf, BufferSizes) {
  const std::string path = temp_file(numbered(5000));
  {
    // Unbuffered: every read asks the file for one character.
    FileBuf buffer(path.c_str(), kReadBinary);
    buffer.pubsetbuf(nullptr, 0);
    EXPECT_EQ(buffer.sbumpc(), 0);
    EXPECT_EQ(buffer.file()->seek(0, AbstractFile::cur), 1);
    EXPECT_EQ(take(buffer, 4999), numbered(5000).substr(1));
  }
  {
    // After the first read the size is fixed.
    FileBuf buffer(path.c_str(), kReadBinary);
    EXPECT_EQ(buffer.sbumpc(), 0);
    buffer.pubsetbuf(nullptr, 0);
    EXPECT_EQ(buffer.file()->seek(0, AbstractFile::cur), 4096);
  }
  {
    // A caller's buffer of 16 takes the writes: the first character goes
    // out with the switch to writing, then 15 characters fill the buffer
    // and the 16th goes out with them.
    const std::string out = fresh_dir() + "/out.bin";
    FileBuf buffer(out.c_str(), AbstractFile::out | AbstractFile::binary);
    char own[16];
    buffer.pubsetbuf(own, sizeof own);
    EXPECT_EQ(buffer.sputn("0123456789", 10), 10);
    EXPECT_EQ(read_file(out), "0");
    EXPECT_EQ(std::string(own, 9), "123456789");
    EXPECT_EQ(buffer.sputn("abcdefghij", 10), 10);
    EXPECT_EQ(read_file(out), "0123456789abcdefg");
    EXPECT_EQ(buffer.pubsync(), 0);
    EXPECT_EQ(read_file(out), "0123456789abcdefghij");
  }
}

TEST(FileBuf, WritesAndModes) {
  const std::string dir = fresh_dir();
  {
    // Text mode writes LF as CR LF; close writes out what is pending.
    const std::string path = dir + "/text.txt";
    FileBuf buffer(path.c_str(), AbstractFile::out | AbstractFile::trunc);
    EXPECT_EQ(buffer.sputn("a\nb\n", 4), 4);
    EXPECT_EQ(buffer.close(), &buffer);
    EXPECT_EQ(read_file(path), "a\r\nb\r\n");
    EXPECT_EQ(buffer.close(), nullptr);  // not open any more
  }
  {
    // A file opened for reading only takes no write.
    const std::string path = temp_file("abc");
    FileBuf buffer(path.c_str(), kReadBinary);
    EXPECT_EQ(buffer.sputc('x'), std::char_traits<char>::eof());
    EXPECT_EQ(buffer.sbumpc(), 'a');
  }
  {
    // Reading and writing do not mix without a seek between them.
    const std::string path = temp_file("abcdef");
    FileBuf buffer(path.c_str(), AbstractFile::in | AbstractFile::out | AbstractFile::binary);
    EXPECT_EQ(buffer.sbumpc(), 'a');
    EXPECT_EQ(buffer.sputc('X'), std::char_traits<char>::eof());
    EXPECT_EQ(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::out), std::streampos(1));
    EXPECT_EQ(buffer.pubseekpos(2, std::ios_base::out), std::streampos(2));
    EXPECT_EQ(buffer.sputc('X'), 'X');
    EXPECT_EQ(buffer.sbumpc(), std::char_traits<char>::eof());
    EXPECT_EQ(buffer.pubseekpos(0, std::ios_base::in), std::streampos(0));
    EXPECT_EQ(take(buffer, 10), "abXdef");
  }
}

TEST(FileBuf, FailedWriteHoldsErrorModeUntilSeek) {
  MemoryFile file;
  ASSERT_TRUE(file.open("memory", AbstractFile::in | AbstractFile::out | AbstractFile::binary));
  file.data = "0123456789";
  BasicFileBuf buffer;
  buffer.attach(&file, "memory");
  // The switch to writing writes "a" at once; "bc" wait in the buffer.
  EXPECT_EQ(buffer.sputn("abc", 3), 3);
  EXPECT_EQ(file.data, "a123456789");
  file.refuse_writes = true;
  EXPECT_EQ(buffer.pubsync(), -1);
  EXPECT_EQ(buffer.sputc('d'), std::char_traits<char>::eof());
  EXPECT_EQ(buffer.sgetc(), std::char_traits<char>::eof());
  EXPECT_EQ(buffer.in_avail(), -1);
  file.refuse_writes = false;
  EXPECT_EQ(buffer.pubseekpos(2, std::ios_base::in), std::streampos(2));
  EXPECT_EQ(buffer.in_avail(), 8);
  EXPECT_EQ(take(buffer, 3), "234");
  EXPECT_EQ(file.data, "a123456789");
  // A failed write at close: the file is closed all the same.
  EXPECT_EQ(buffer.pubseekpos(0, std::ios_base::out), std::streampos(0));
  EXPECT_EQ(buffer.sputn("xy", 2), 2);
  file.refuse_writes = true;
  EXPECT_EQ(buffer.close(), nullptr);
  EXPECT_FALSE(file.is_open());
}

TEST(FileBuf, OverCallersHandleInTextMode) {
  const std::string path = temp_file("[talvo.io]\r\ninfo -*\r\n");
  talvo::File file;
  ASSERT_TRUE(file.open(path.c_str(), AbstractFile::in));
  {
    FileBuf buffer(file.handle(), AbstractFile::in);
    ASSERT_TRUE(buffer.is_open());
    EXPECT_STREQ(buffer.name(), "");
    std::istream in(&buffer);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line)) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"[talvo.io]", "info -*"}));
  }
  // The handle stays the caller's: still open and usable.
  EXPECT_EQ(file.seek(0, AbstractFile::beg), 0);
  char c = 0;
  EXPECT_EQ(file.read(&c, 1), 1);
  EXPECT_EQ(c, '[');
}

TEST(FileBuf, MissingFile) {
  const std::string path = fresh_dir() + "/missing.bin";
  FileBuf buffer(path.c_str(), kReadBinary);
  EXPECT_FALSE(buffer.is_open());
  EXPECT_STREQ(buffer.name(), path.c_str());
  ASSERT_NE(buffer.last_error(), nullptr);
  EXPECT_EQ(buffer.sgetc(), std::char_traits<char>::eof());
  EXPECT_EQ(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in), kNoPosition);
  EXPECT_EQ(buffer.close(), nullptr);
  // Opening later keeps the name given at construction.
  const std::string other = temp_file("xyz");
  EXPECT_EQ(buffer.open(other.c_str(), kReadBinary), &buffer);
  EXPECT_STREQ(buffer.name(), path.c_str());
  EXPECT_EQ(take(buffer, 5), "xyz");
}

TEST(MemBuf, ReadsAndSeeks) {
  std::unique_ptr<MemBuf> buffer = memory("0123456789");
  EXPECT_EQ(take(*buffer, 20), "0123456789");
  EXPECT_EQ(buffer->sgetc(), std::char_traits<char>::eof());
  EXPECT_EQ(buffer->pubseekpos(4, std::ios_base::in), std::streampos(4));
  EXPECT_EQ(take(*buffer, 20), "456789");

  struct Case {
    const char* what;
    std::streamoff offset;
    std::ios_base::seekdir direction;
    std::streamoff result;  // -1: refused, the position stays at 2
  } cases[] = {
      {"from the beginning", 7, std::ios_base::beg, 7},
      {"from the current position", 3, std::ios_base::cur, 5},
      {"back from the current position", -2, std::ios_base::cur, 0},
      {"from the end", -1, std::ios_base::end, 9},
      {"to the end", 0, std::ios_base::end, 10},
      {"past the readable end", 11, std::ios_base::beg, -1},
      {"past the end", 1, std::ios_base::end, -1},
      {"before the start", -3, std::ios_base::cur, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<MemBuf> mem = memory("0123456789");
    ASSERT_EQ(mem->pubseekpos(2, std::ios_base::in), std::streampos(2));
    EXPECT_EQ(mem->pubseekoff(c.offset, c.direction, std::ios_base::in), std::streampos(c.result));
    const std::streamoff at = c.result < 0 ? 2 : c.result;
    EXPECT_EQ(take(*mem, 20), std::string("0123456789").substr(static_cast<size_t>(at)));
  }
}

TEST(MemBuf, WritesBecomeReadable) {
  MemBuf buffer;
  EXPECT_EQ(buffer.sgetc(), std::char_traits<char>::eof());
  const std::string big = numbered(5000);  // grows the block twice
  EXPECT_EQ(buffer.sputn(big.data(), 5000), 5000);
  EXPECT_EQ(take(buffer, 6000), big);
  EXPECT_EQ(buffer.sputn("tail", 4), 4);
  EXPECT_EQ(take(buffer, 10), "tail");
  // Writing again from a position inside the block.
  EXPECT_EQ(buffer.pubseekpos(2, std::ios_base::out), std::streampos(2));
  EXPECT_EQ(buffer.sputn("AB", 2), 2);
  EXPECT_EQ(buffer.pubseekpos(0, std::ios_base::in), std::streampos(0));
  EXPECT_EQ(take(buffer, 5), std::string("\0\1AB\4", 5));
  EXPECT_EQ(buffer.pubseekpos(std::streampos(1 << 20), std::ios_base::out), kNoPosition);
}

}  // namespace
