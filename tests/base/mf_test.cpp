// Mapped files and buffered file streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/mem.h"
#include "base/mf.h"
#include "err_fixture.h"
#include "platform/win32.h"
#include "support/temp_dir.h"

namespace {

class MfTest : public ErrTest {
 protected:
  void TearDown() override {
    mfCloseAll();
    ErrTest::TearDown();
  }
  std::string lastText() const { return hookCalls().empty() ? "" : hookCalls().back().text; }
  TempDir dir_;
};

std::string viewOf(const mfFile* f) { return std::string(reinterpret_cast<const char*>(f->view), f->dataSize); }

TEST_F(MfTest, CreateGrowCloseAndReopen) {
  const std::string path = dir_.file("out.bin");
  mfFile* f = mfCreate(nullptr, path.c_str(), 4, 16);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(mfOpenFiles(), f);
  EXPECT_EQ(f->flags, static_cast<uint32_t>(MF_ALLOCATED | MF_WRITABLE));
  EXPECT_EQ(f->mappedSize, 4u);
  // Two writes of 10 bytes grow the view once, by the growth minimum.
  EXPECT_EQ(mfWrite(f, -1, "0123456789", 10), 0);
  EXPECT_EQ(f->mappedSize, 20u);
  EXPECT_EQ(mfWrite(f, -1, "abcdefghij", 10), 0);
  EXPECT_EQ(f->mappedSize, 20u);
  EXPECT_EQ(f->writePos, 20u);
  // An earlier position overwrites; the data size keeps the highest end.
  EXPECT_EQ(mfWrite(f, 2, "XY", 2), 0);
  EXPECT_EQ(f->writePos, 4u);
  EXPECT_EQ(f->dataSize, 20u);
  mfClose(f, 0);
  EXPECT_EQ(mfOpenFiles(), nullptr);
  EXPECT_EQ(readBytes(path), "01XY456789abcdefghij");

  mfFile* r = mfOpenRead(nullptr, path.c_str());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(viewOf(r), "01XY456789abcdefghij");
  EXPECT_EQ(mfWrite(r, -1, "zz", 2), 0);  // a read descriptor ignores writes
  EXPECT_EQ(viewOf(r), "01XY456789abcdefghij");
  EXPECT_TRUE(hookCalls().empty());
  // A read view cannot grow past its file; it stays as it was.
  EXPECT_EQ(mfRemap(r, 100), static_cast<errCode>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(r->mappedSize, 20u);
  EXPECT_EQ(viewOf(r), "01XY456789abcdefghij");
  mfClose(r, 0);
  EXPECT_EQ(readBytes(path), "01XY456789abcdefghij");
}

TEST_F(MfTest, CloseCutsToTheGivenOrWrittenSize) {
  struct Case {
    uint32_t closeSize;
    std::string left;
  } cases[] = {{0, "payload"}, {3, "pay"}, {9, std::string("payload\0\0", 9)}};
  for (const Case& c : cases) {
    const std::string path = dir_.file("cut.bin");
    mfFile* f = mfCreate(nullptr, path.c_str(), 4096, 4096);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(mfWrite(f, -1, "payload", 7), 0);
    mfCloseSized(f, c.closeSize);
    EXPECT_EQ(readBytes(path), c.left) << c.closeSize;
  }
}

TEST_F(MfTest, ReserveAndWritePastTheEnd) {
  const std::string path = dir_.file("gap.bin");
  mfFile* f = mfCreate(nullptr, path.c_str(), 8, 1);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(mfWrite(f, -1, nullptr, 3), 0);  // reserved, stays zero
  EXPECT_EQ(mfWrite(f, 100000, "end", 3), 0);
  EXPECT_EQ(f->mappedSize, 100003u);
  EXPECT_EQ(f->dataSize, 100003u);
  mfClose(f, 0);
  const std::string bytes = readBytes(path);
  ASSERT_EQ(bytes.size(), 100003u);
  EXPECT_EQ(bytes.substr(0, 100000), std::string(100000, '\0'));
  EXPECT_EQ(bytes.substr(100000), "end");
}

TEST_F(MfTest, EmptyFileOpensWithoutView) {
  const std::string path = dir_.file("empty.bin");
  writeBytes(path, "");
  mfFile* f = mfOpenRead(nullptr, path.c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->view, nullptr);
  EXPECT_EQ(f->dataSize, 0u);
  EXPECT_EQ(mfWriteCore(f, -1, "x", 1), ERR_NOT_CREATED);
  mfClose(f, 0);
  EXPECT_EQ(readBytes(path), "");
}

TEST_F(MfTest, FailuresRaiseWithTheFileName) {
  const std::string missing = dir_.file("missing.bin");
  EXPECT_EQ(mfOpenReadCore(nullptr, missing.c_str()), nullptr);
  EXPECT_EQ(errGetState()->code, ERR_CANT_OPEN);
  EXPECT_TRUE(hookCalls().empty());
  EXPECT_EQ(mfOpenRead(nullptr, missing.c_str()), nullptr);
  EXPECT_EQ(lastText(), "Can't open file '" + missing + "'");
  EXPECT_EQ(mfCreate(nullptr, dir_.file("no/such/dir.bin").c_str(), 16, 16), nullptr);
  EXPECT_EQ(lastText(), "Can't create file '" + dir_.file("no/such/dir.bin") + "'");
  EXPECT_EQ(mfOpenFiles(), nullptr);

  // Out of memory for the descriptor or for the name.
  memHookTable saved = memHooks;
  memHooks.alloc = [](size_t) -> void* { return nullptr; };
  EXPECT_EQ(mfOpenRead(nullptr, missing.c_str()), nullptr);
  EXPECT_EQ(hookCalls().back().code, ERR_NO_MEMORY);
  mfFile own;
  EXPECT_EQ(mfCreate(&own, dir_.file("x.bin").c_str(), 16, 16), nullptr);
  EXPECT_EQ(hookCalls().back().code, ERR_NO_MEMORY);
  memHooks = saved;
}

TEST_F(MfTest, CallerDescriptorAndLastError) {
  const std::string path = dir_.file("own.bin");
  writeBytes(path, "abc");
  mfFile own;
  std::memset(&own, 0x5A, sizeof own);
  ASSERT_EQ(mfOpenRead(&own, path.c_str()), &own);
  EXPECT_EQ(own.flags, 0u);
  EXPECT_EQ(own.next, nullptr);
  EXPECT_STREQ(own.name, path.c_str());
  SetLastError(1234);
  mfClose(&own, 0);  // not freed: ASan would report the stack block
  EXPECT_EQ(GetLastError(), 1234u);
  mfClose(nullptr, 0);
}

TEST_F(MfTest, BadPositionsAndGrowthPastTwoGigabytes) {
  const std::string path = dir_.file("big.bin");
  mfFile* f = mfCreate(nullptr, path.c_str(), 16, 16);
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(mfWrite(f, -1, "kept", 4), 0);
  EXPECT_EQ(mfWrite(f, -2, "x", 1), ERR_BAD_ARGUMENT);
  EXPECT_EQ(mfWrite(f, 0x7FFFFFFF, nullptr, 1), ERROR_FILE_TOO_LARGE);
  EXPECT_EQ(mfWrite(f, 16, nullptr, 0xFFFFFFFFu), ERROR_FILE_TOO_LARGE);
  EXPECT_EQ(lastText(), "Error 27");
  // The descriptor keeps its view and goes on.
  EXPECT_EQ(f->mappedSize, 16u);
  EXPECT_EQ(mfWrite(f, -1, "!", 1), 0);
  mfClose(f, 0);
  EXPECT_EQ(readBytes(path), "kept!");
}

TEST_F(MfTest, UnsharedFileIsNotCreatedOver) {
  const std::string path = dir_.file("sound.wav");
  // Being written: neither read nor created over.
  mfFile* w = mfCreate(nullptr, path.c_str(), 64, 64);
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(mfWrite(w, -1, "RIFF", 4), 0);
  EXPECT_EQ(mfOpenRead(nullptr, path.c_str()), nullptr);
  EXPECT_EQ(mfCreate(nullptr, path.c_str(), 64, 64), nullptr);
  mfClose(w, 0);
  EXPECT_EQ(readBytes(path), "RIFF");
  // Mapped for reading: read again, but not created over.
  mfFile* r = mfOpenRead(nullptr, path.c_str());
  ASSERT_NE(r, nullptr);
  mfFile* r2 = mfOpenRead(nullptr, path.c_str());
  EXPECT_NE(r2, nullptr);
  EXPECT_EQ(mfCreate(nullptr, path.c_str(), 64, 64), nullptr);
  EXPECT_EQ(lastText(), "Can't create file '" + path + "'");
  EXPECT_EQ(viewOf(r), "RIFF");
  mfClose(r2, 0);
  mfClose(r, 0);
  EXPECT_EQ(readBytes(path), "RIFF");
}

TEST_F(MfTest, CloseAllClosesTheListAndRunsAtExit) {
  const std::string a = dir_.file("a.bin"), b = dir_.file("b.bin");
  mfFile* fa = mfCreate(nullptr, a.c_str(), 100, 100);
  mfFile* fb = mfCreate(nullptr, b.c_str(), 100, 100);
  ASSERT_TRUE(fa && fb);
  EXPECT_EQ(mfOpenFiles(), fb);
  EXPECT_EQ(fb->next, fa);
  mfWrite(fa, -1, "A", 1);
  mfCloseAll();
  EXPECT_EQ(mfOpenFiles(), nullptr);
  EXPECT_EQ(readBytes(a), "A");
  EXPECT_EQ(readBytes(b), "");

  // A file left open when the process exits is closed, and cut, then.
  const std::string c = dir_.file("c.bin");
  EXPECT_EXIT(
      {
        mfFile* f = mfCreate(nullptr, c.c_str(), 4096, 4096);
        if (f) mfWrite(f, -1, "at exit", 7);
        std::exit(0);
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(readBytes(c), "at exit");
}

TEST_F(MfTest, StreamModesAndStandardStreams) {
  struct Case {
    uint32_t flags;
    const char* mode;
  } cases[] = {
      {FILE_READ | FILE_BINARY, "rb"},
      {FILE_READ, "rt"},
      {FILE_WRITE, "wt"},
      {FILE_WRITE | FILE_BINARY, "wb"},
      {FILE_READ | FILE_WRITE, "r+t"},
      {FILE_READ | FILE_WRITE | FILE_BINARY | FILE_NO_SHARING, "r+b"},
      {FILE_WRITE | FILE_APPEND | FILE_BINARY, "ab"},
      {FILE_READ | FILE_WRITE | FILE_APPEND, "a+t"},
      {FILE_WRITE_MODE | FILE_UPDATE | FILE_BINARY, "w+b"},
  };
  for (const Case& c : cases) EXPECT_STREQ(fileModeText(c.flags), c.mode) << std::hex << c.flags;

  EXPECT_EQ(fileOpenStream("ignored", FILE_STDOUT), stdout);
  EXPECT_EQ(fileOpenStream(reinterpret_cast<const char*>(1), 0), stdout);
  EXPECT_EQ(fileOpenStream(nullptr, FILE_READ), stdin);
  EXPECT_EQ(fileOpenStream(nullptr, FILE_STDOUT), stdout);  // standard output is tested first
  EXPECT_EQ(fileOpenStream(reinterpret_cast<const char*>(2), 0), stderr);
  for (FILE* s : {stdin, stdout, stderr, FILE_NO_STREAM, static_cast<FILE*>(nullptr)}) EXPECT_EQ(fileClose(s), 0);
  EXPECT_NE(std::fflush(stdout), EOF);  // still open
  EXPECT_TRUE(hookCalls().empty());
}

TEST_F(MfTest, StreamsOpenByFlags) {
  const std::string path = dir_.file("stream.bin");
  FILE* out = fileOpenStream(path.c_str(), FILE_WRITE | FILE_BINARY | FILE_NO_SHARING);
  ASSERT_NE(out, FILE_NO_STREAM);
  std::fputs("streamed", out);
  // Opened without sharing: not even mapped for reading meanwhile.
  EXPECT_EQ(mfOpenReadCore(nullptr, path.c_str()), nullptr);
  EXPECT_EQ(fileClose(out), 0);

  FILE* in = fileOpenStream(path.c_str(), FILE_READ | FILE_BINARY);
  ASSERT_NE(in, FILE_NO_STREAM);
  mfFile* mapped = mfOpenRead(nullptr, path.c_str());  // shared
  EXPECT_NE(mapped, nullptr);
  mfClose(mapped, 0);
  std::fseek(in, 0, SEEK_END);
  EXPECT_EQ(std::ftell(in), 8);
  EXPECT_EQ(fileClose(in), 0);

  const std::string missing = dir_.file("missing.txt");
  EXPECT_EQ(fileOpenStream(missing.c_str(), FILE_READ), FILE_NO_STREAM);
  EXPECT_EQ(lastText(), "Can't open file '" + missing + "'");
}

}  // namespace
