// talvo::File: open modes, text-mode reads and writes, seeks, failures and
// the lines they log on the "talvo.io" channels.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "sandbox.h"
#include "talvo/File.h"

namespace {

using talvo::AbstractFile;
using talvo::File;
using talvo_test::fresh_dir;
using talvo_test::MainLogTail;
using talvo_test::read_file;
using talvo_test::write_file;

constexpr uint32_t kIn = AbstractFile::in;
constexpr uint32_t kOut = AbstractFile::out;
constexpr uint32_t kTrunc = AbstractFile::trunc;
constexpr uint32_t kApp = AbstractFile::app;
constexpr uint32_t kAte = AbstractFile::ate;
constexpr uint32_t kBinary = AbstractFile::binary;

TEST(File, OpenModes) {
  const std::string missingText = std::strerror(ENOENT);
  struct Case {
    const char* what;
    bool exists;      // the file holds "hello" before the open
    uint32_t mode;
    bool opens;
    std::string after;  // content after writing "XY" (when the mode writes)
    std::string logged;  // the open's log line after the quoted path ("" none)
  } cases[] = {
      {"read existing", true, kIn, true, "hello", " file opened."},
      {"read missing", false, kIn, false, "", " open failed: " + missingText},
      {"write creates", false, kOut, true, "XY", " file opened."},
      {"write keeps", true, kOut, true, "XYllo", " file opened."},
      {"append each write", true, kOut | kApp, true, "helloXY", " file opened."},
      {"append at open", true, kOut | kAte, true, "helloXY", " file opened."},
      {"read-write existing", true, kIn | kOut, true, "XYllo", " file opened."},
      {"read-write missing", false, kIn | kOut, false, "", " open failed: " + missingText},
      {"truncate", true, kOut | kTrunc, true, "XY", " file opened."},
      {"read-write truncate existing", true, kIn | kOut | kTrunc, true, "XY", " file opened."},
      {"read-write truncate missing", false, kIn | kOut | kTrunc, true, "XY", " file opened."},
      {"binary write", true, kOut | kTrunc | kBinary, true, "XY", " file opened."},
      {"append with read", true, kIn | kOut | kApp, false, "hello", ""},
      {"append with truncate", true, kOut | kTrunc | kApp, false, "hello", ""},
      {"neither read nor write", true, kBinary, false, "hello", ""},
      {"truncate alone", true, kTrunc, false, "hello", ""},
      {"closed", true, 0, false, "hello", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = fresh_dir() + "/f.txt";
    if (c.exists) write_file(path, "hello");
    MainLogTail log;
    File file;
    ASSERT_EQ(file.open(path.c_str(), c.mode), c.opens);
    EXPECT_EQ(file.mode(), c.opens ? c.mode : 0u);
    if (c.opens && (c.mode & kOut)) {
      EXPECT_EQ(file.write("XY", 2), 2);
    }
    EXPECT_TRUE(file.close() == c.opens);
    if (c.opens || c.exists) {
      EXPECT_EQ(read_file(path), c.after);
    }
    std::vector<std::string> lines = log.lines();
    if (c.logged.empty()) {
      EXPECT_TRUE(lines.empty());
    } else {
      // A failed read-mode open is a warning, a successful open info.
      std::string prefix = c.opens ? "[talvo.io] " : "[talvo.io] warning: ";
      EXPECT_EQ(lines, std::vector<std::string>{prefix + "'" + path + "'" + c.logged});
    }
  }
}

TEST(File, FailedWriteOpenIsAnErrorAndDirectoriesAreRefused) {
  const std::string dir = fresh_dir();
  MainLogTail log;
  File file;
  EXPECT_FALSE(file.open((dir + "/no/such/dir/f.txt").c_str(), kOut));
  EXPECT_FALSE(file.open(dir.c_str(), kIn));
  EXPECT_FALSE(file.open(dir.c_str(), kOut));
  EXPECT_EQ(file.mode(), 0u);
  const std::string isDir = std::strerror(EISDIR);
  EXPECT_EQ(log.lines(), (std::vector<std::string>{
                             "[talvo.io] error: '" + dir + "/no/such/dir/f.txt' open failed: " +
                                 std::strerror(ENOENT),
                             "[talvo.io] warning: '" + dir + "' open failed: " + isDir,
                             "[talvo.io] error: '" + dir + "' open failed: " + isDir,
                         }));
  char description[256];
  file.last_error()->describe(description, sizeof description);
  EXPECT_EQ(std::string(description), isDir);
}

TEST(File, OpensWithoutCaseAndBackslashes) {
  const std::string dir = fresh_dir();
  std::filesystem::create_directory(dir + "/DATA");
  write_file(dir + "/DATA/Mask.BMP", "BM");
  File file;
  ASSERT_TRUE(file.open((dir + "\\data\\mask.bmp").c_str(), kIn | kBinary));
  char buffer[4] = {};
  EXPECT_EQ(file.read(buffer, 4), 2);
  EXPECT_STREQ(buffer, "BM");
  EXPECT_TRUE(talvo::file_exists((dir + "\\data\\MASK.bmp").c_str()));
  EXPECT_TRUE(talvo::file_exists((dir + "/data").c_str()));  // a directory counts
  EXPECT_FALSE(talvo::file_exists((dir + "/data/other.bmp").c_str()));
}

TEST(File, SecondOpenIsRefusedAndCloseTwiceFails) {
  const std::string path = fresh_dir() + "/f.txt";
  File file;
  ASSERT_TRUE(file.open(path.c_str(), kOut));
  MainLogTail log;
  EXPECT_FALSE(file.open(path.c_str(), kIn));
  EXPECT_EQ(file.mode(), kOut);
  EXPECT_TRUE(log.lines().empty());
  EXPECT_TRUE(file.close());
  EXPECT_FALSE(file.close());
  EXPECT_FALSE(file.flush());
}

// Each case reads the whole file in text mode with the given buffer size and
// lists what every read delivered, up to the first empty read.
TEST(File, TextModeReads) {
  struct Case {
    const char* what;
    std::string bytes;
    int32_t buffer;
    std::vector<std::string> reads;
  } cases[] = {
      {"CR LF and Ctrl-Z", std::string("a\r\nb\x1A" "c"), 100, {"a\nb"}},
      {"one-byte buffer over CR LF", "\r\n", 1, {"\n"}},
      {"one-byte buffer, two lines", "a\r\nb\r\n", 1, {"a", "\n", "b", "\n"}},
      {"lone CR at the end", "x\r", 100, {"x\r"}},
      {"lone CR at the end, one byte", "x\r", 1, {"x", "\r"}},
      {"CR before another byte", "a\rb", 100, {"a\rb"}},
      {"CR CR LF, two-byte buffer", "\r\r\n", 2, {"\r", "\n"}},
      {"CR at the buffer's end before LF", "ab\r\ncd", 3, {"ab", "\ncd"}},
      {"CR before Ctrl-Z", std::string("\r\x1A" "z"), 1, {"\r"}},
      {"Ctrl-Z first", std::string("\x1A" "abc"), 10, {}},
      {"Ctrl-Z after bytes, one byte", std::string("ab\x1A"), 1, {"a", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = fresh_dir() + "/t.txt";
    write_file(path, c.bytes);
    File file;
    ASSERT_TRUE(file.open(path.c_str(), kIn));
    std::vector<std::string> reads;
    std::vector<char> buffer(static_cast<size_t>(c.buffer));
    for (int guard = 0; guard < 100; ++guard) {
      int32_t n = file.read(buffer.data(), c.buffer);
      ASSERT_GE(n, 0);
      if (n == 0) break;
      reads.emplace_back(buffer.data(), static_cast<size_t>(n));
    }
    EXPECT_EQ(reads, c.reads);
    // The end stays the end.
    EXPECT_EQ(file.read(buffer.data(), c.buffer), 0);
  }
}

TEST(File, BinaryReadsDeliverTheBytes) {
  const std::string path = fresh_dir() + "/b.bin";
  const std::string bytes("a\r\nb\x1A" "c\r", 7);
  write_file(path, bytes);
  File file;
  ASSERT_TRUE(file.open(path.c_str(), kIn | kBinary));
  char buffer[16];
  ASSERT_EQ(file.read(buffer, sizeof buffer), 7);
  EXPECT_EQ(std::string(buffer, 7), bytes);
  EXPECT_EQ(file.read(buffer, sizeof buffer), 0);
}

TEST(File, TextWritesAndLengths) {
  struct Case {
    uint32_t mode;
    std::string text;
    std::string stored;
  } cases[] = {
      {kOut | kTrunc, "x\n", "x\r\n"},
      {kOut | kTrunc | kBinary, "x\n", "x\n"},
      {kOut | kTrunc, "", ""},
      {kOut | kTrunc, "\n\n\n\n\n\n\n\n\n\n", "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"},
      {kOut | kTrunc, "line one\nline two is longer\nend", "line one\r\nline two is longer\r\nend"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string path = fresh_dir() + "/w.txt";
    File file;
    ASSERT_TRUE(file.open(path.c_str(), c.mode));
    const char* data = c.text.data();
    EXPECT_EQ(file.text_length(data, data + c.text.size()), static_cast<int64_t>(c.stored.size()));
    EXPECT_EQ(file.write_text(data, static_cast<int32_t>(c.text.size())), static_cast<int32_t>(c.text.size()));
    file.close();
    EXPECT_EQ(read_file(path), c.stored);
  }
}

TEST(File, Seeks) {
  const std::string path = fresh_dir() + "/s.bin";
  write_file(path, "01234");
  struct Case {
    int64_t offset;
    int origin;
    int64_t result;
    char next;  // the byte read next ('-' for none)
  } cases[] = {
      {2, AbstractFile::beg, 2, '2'},
      {-1, AbstractFile::beg, -1, '1'},   // refused; the position stays at 1
      {-10, AbstractFile::end, -1, '1'},  // before the start
      {-5, AbstractFile::end, 0, '0'},
      {0, AbstractFile::end, 5, '-'},
      {-2, AbstractFile::end, 3, '3'},
      {1, AbstractFile::cur, 1, '1'},     // from 0, the position before the read
      {-3, AbstractFile::cur, -1, '0'},   // before the start
      {1, 3, -1, '1'},                    // no such origin
      {1, 0, -1, '1'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << " from " << c.origin);
    File file;
    ASSERT_TRUE(file.open(path.c_str(), kIn | kBinary));
    if (c.origin != AbstractFile::cur) {
      ASSERT_EQ(file.seek(1, AbstractFile::beg), 1);
    }
    EXPECT_EQ(file.seek(c.offset, c.origin), c.result);
    char next = '-';
    file.read(&next, 1);
    EXPECT_EQ(next, c.next);
  }
  File file;
  ASSERT_TRUE(file.open(path.c_str(), kIn));
  EXPECT_EQ(file.size(), 5);
}

TEST(File, PositionsAndSizesPastFourGiB) {
  const std::string path = fresh_dir() + "/big.bin";
  const int64_t far = (int64_t{5} << 30) + 3;
  File file;
  ASSERT_TRUE(file.open(path.c_str(), kIn | kOut | kTrunc | kBinary));
  ASSERT_EQ(file.seek(far, AbstractFile::beg), far);
  ASSERT_EQ(file.write("z", 1), 1);
  EXPECT_EQ(file.size(), far + 1);
  EXPECT_EQ(file.seek(-1, AbstractFile::end), far);
  char c = 0;
  EXPECT_EQ(file.read(&c, 1), 1);
  EXPECT_EQ(c, 'z');
}

TEST(File, FailedReadsAndWritesAreLoggedOnce) {
  const std::string dir = fresh_dir();
  write_file(dir + "/r.txt", "data");
  const std::string badHandle = std::strerror(EBADF);
  File readOnly;
  File writeOnly;
  ASSERT_TRUE(readOnly.open((dir + "/r.txt").c_str(), kIn));
  ASSERT_TRUE(writeOnly.open((dir + "/w.txt").c_str(), kOut));
  MainLogTail log;
  EXPECT_EQ(readOnly.write("abc", 3), 0);
  char buffer[8];
  EXPECT_EQ(writeOnly.read(buffer, sizeof buffer), 0);
  EXPECT_EQ(log.lines(), (std::vector<std::string>{
                             "[talvo.io] error: writing failed: " + badHandle,
                             "[talvo.io] error: reading failed: " + badHandle,
                         }));
  EXPECT_EQ(read_file(dir + "/r.txt"), "data");
}

TEST(File, AttachedHandlesStayTheCallers) {
  const std::string path = fresh_dir() + "/a.txt";
  write_file(path, "abcdef");
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  {
    File file;
    EXPECT_FALSE(file.attach(INVALID_HANDLE_VALUE, kIn));
    ASSERT_TRUE(file.attach(handle, kIn | kBinary));
    EXPECT_EQ(file.mode(), kIn | kBinary);
    EXPECT_FALSE(file.attach(handle, kIn));  // already open
    char buffer[3];
    EXPECT_EQ(file.read(buffer, 3), 3);
    EXPECT_TRUE(file.close());
  }
  // The handle is still open and where the file left it.
  char rest[8] = {};
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(handle, rest, sizeof rest, &got, nullptr));
  EXPECT_EQ(std::string(rest, got), "def");
  EXPECT_TRUE(CloseHandle(handle));
}

}  // namespace
