// ReadFile on handles opened for reading: runs of small reads, the file
// pointer between them, and writes through other handles of the process.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/win32.h"
#include "support/temp_dir.h"

namespace {

HANDLE open(const std::string& path, DWORD access) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Bytes that differ from their neighbours and from the bytes one block on.
std::string pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

int64_t moveBy(HANDLE h, int64_t distance, DWORD method) {
  LARGE_INTEGER d, at;
  d.QuadPart = distance;
  return SetFilePointerEx(h, d, &at, method) ? at.QuadPart : -1;
}

std::string read(HANDLE h, DWORD count) {
  std::string bytes(count, '\0');
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(h, bytes.data(), count, &got, nullptr));
  bytes.resize(got);
  return bytes;
}

// Small reads, reads larger than any block, and moves of the file pointer
// between them: each read gives the bytes at the pointer, and the pointer is
// where the reads left it, to the end of the file and past it.
TEST(FileRead, PiecesAndMovesFollowTheFilePointer) {
  TempDir dir;
  const std::string path = dir.file("f.bin");
  const std::string bytes = pattern(300000);
  writeBytes(path, bytes);
  HANDLE h = open(path, GENERIC_READ);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  struct Step {
    int64_t move;   // from the current position, before the read
    DWORD count;
  } steps[] = {{0, 54},    {0, 4096}, {0, 4096}, {0, 1},      {-10, 3},     {5000, 4096}, {0, 100000},
               {0, 4096},  {0, 7},    {-90000, 2400}, {0, 2400}, {0, 70000}, {0, 4096}, {0, 2},
               {0, 100000}, {0, 4096}, {0, 4096},  {0, 90000},  {0, 4096},   {0, 1}};
  int64_t at = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "at " << at << " move " << s.move << " read " << s.count);
    if (s.move) {
      at += s.move;
      ASSERT_EQ(moveBy(h, s.move, FILE_CURRENT), at);
    }
    const std::string want = at < int64_t(bytes.size()) ? bytes.substr(size_t(at), s.count) : "";
    EXPECT_EQ(read(h, s.count), want);
    at += int64_t(want.size());
    EXPECT_EQ(moveBy(h, 0, FILE_CURRENT), at);
  }
  EXPECT_EQ(at, int64_t(bytes.size()));
  EXPECT_EQ(moveBy(h, 1000, FILE_BEGIN), 1000);
  EXPECT_EQ(read(h, 4096), bytes.substr(1000, 4096));
  EXPECT_EQ(read(h, 4096), bytes.substr(5096, 4096));
  CloseHandle(h);
}

// Bytes a reader has not yet been given show what another handle of the
// process wrote there meanwhile: through a writer still open, one closed
// again, and a writable view of the file.
TEST(FileRead, WritesThroughOtherHandlesShow) {
  enum class Writer { open, closed, view };
  for (Writer way : {Writer::open, Writer::closed, Writer::view}) {
    SCOPED_TRACE(int(way));
    TempDir dir;
    const std::string path = dir.file("f.bin");
    writeBytes(path, pattern(20000));
    HANDLE reader = open(path, GENERIC_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(read(reader, 100), pattern(100));
    EXPECT_EQ(read(reader, 100), pattern(200).substr(100));

    const std::string fresh(50, 'w');
    HANDLE writer = open(path, way == Writer::view ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    HANDLE mapping = nullptr;
    if (way == Writer::view) {
      mapping = CreateFileMappingA(writer, nullptr, PAGE_READWRITE, 0, 0, nullptr);
      ASSERT_NE(mapping, nullptr);
      CloseHandle(writer);
      writer = nullptr;
      char* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
      ASSERT_NE(view, nullptr);
      std::copy(fresh.begin(), fresh.end(), view + 300);
      UnmapViewOfFile(view);
    } else {
      ASSERT_EQ(moveBy(writer, 300, FILE_BEGIN), 300);
      DWORD wrote = 0;
      ASSERT_TRUE(WriteFile(writer, fresh.data(), DWORD(fresh.size()), &wrote, nullptr));
      if (way == Writer::closed) {
        CloseHandle(writer);
        writer = nullptr;
      }
    }
    std::string want = pattern(20000).substr(200, 400);
    want.replace(100, 50, fresh);
    EXPECT_EQ(read(reader, 400), want);
    if (writer) CloseHandle(writer);
    if (mapping) CloseHandle(mapping);
    CloseHandle(reader);
  }
}

}  // namespace
