// Share modes between the opens of the process, file mappings and views, and
// shared stream opens.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/win32.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD R = GENERIC_READ, W = GENERIC_WRITE, RW = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE, SRW = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE open(const std::string& path, DWORD access, DWORD share, DWORD creation = OPEN_EXISTING) {
  return CreateFileA(path.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int64_t sizeOf(HANDLE h) {
  LARGE_INTEGER size;
  return GetFileSizeEx(h, &size) ? size.QuadPart : -1;
}

TEST(ShareModes, SecondOpenMeetsTheFirst) {
  struct Case {
    DWORD access1, share1, access2, share2;
    bool allowed;
  } cases[] = {
      {R, SR, R, SR, true},     // two readers
      {R, SR, RW, SRW, false},  // the reader does not share writing
      {RW, 0, R, SRW, false},   // no sharing at all
      {W, SR, R, SRW, true},    // a log file being read while written
      {W, SR, W, SR, false},    // two writers
      {R, SRW, W, SW, false},   // the writer must share the reader's reading
      {R, SRW, W, SRW, true},
      {0, 0, RW, SRW, true},    // an open without access claims nothing
  };
  TempDir dir;
  const std::string path = dir.file("f.dat");
  writeBytes(path, "contents");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.access1 << " " << c.share1 << " / " << c.access2 << " "
                                    << c.share2);
    HANDLE first = open(path, c.access1, c.share1);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    HANDLE second = open(path, c.access2, c.share2);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.allowed);
    if (second != INVALID_HANDLE_VALUE) {
      CloseHandle(second);
    } else {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    CloseHandle(first);
    // Closed, the claim is gone.
    HANDLE again = open(path, RW, 0);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
  }
}

TEST(ShareModes, RefusedCreateLeavesTheFileIntact) {
  TempDir dir;
  const std::string path = dir.file("keep.wav");
  writeBytes(path, "RIFF....");
  HANDLE reader = open(path, R, SR);
  for (DWORD creation : {DWORD{CREATE_ALWAYS}, DWORD{TRUNCATE_EXISTING}}) {
    EXPECT_EQ(open(path, RW, 0, creation), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  EXPECT_EQ(readBytes(path), "RIFF....");
  CloseHandle(reader);
  HANDLE writer = open(path, RW, 0, CREATE_ALWAYS);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(sizeOf(writer), 0);
  CloseHandle(writer);
}

TEST(Mapping, ReadOnlyViewShowsTheFileAndOutlivesItsHandles) {
  TempDir dir;
  const std::string path = dir.file("r.dat");
  writeBytes(path, "mapped bytes");
  HANDLE file = open(path, R, SR);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0), nullptr);  // a read-only mapping
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 4096, 4), nullptr);  // not at a granule
  CloseHandle(mapping);
  CloseHandle(file);
  EXPECT_EQ(std::string(view, 12), "mapped bytes");
  // The view still holds the file's share mode.
  EXPECT_EQ(open(path, RW, SRW), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
  HANDLE writer = open(path, RW, 0);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE);
  CloseHandle(writer);
}

TEST(Mapping, WritableMappingGrowsTheFileFirst) {
  TempDir dir;
  const std::string path = dir.file("w.dat");
  HANDLE file = open(path, RW, 0, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const DWORD size = 3 * 4096 + 5;
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, size, nullptr);
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(sizeOf(file), size);
  auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  CloseHandle(mapping);
  view[0] = 'a';
  view[size - 1] = 'z';  // the last byte is backed by the file
  // The file cannot be cut or emptied while it is mapped.
  LARGE_INTEGER at;
  at.QuadPart = 1;
  ASSERT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN));
  EXPECT_FALSE(SetEndOfFile(file));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_USER_MAPPED_FILE));
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_TRUE(SetEndOfFile(file));
  CloseHandle(file);
  EXPECT_EQ(readBytes(path), "a");
}

TEST(Mapping, SharedMappedFileIsNotEmptied) {
  TempDir dir;
  const std::string path = dir.file("s.dat");
  writeBytes(path, "shared");
  HANDLE file = open(path, R, SRW);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(open(path, RW, SRW, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_USER_MAPPED_FILE));
  CloseHandle(mapping);
  CloseHandle(file);
  EXPECT_EQ(readBytes(path), "shared");
}

TEST(Mapping, RefusedMappings) {
  TempDir dir;
  const std::string empty = dir.file("empty.dat");
  const std::string full = dir.file("full.dat");
  writeBytes(empty, "");
  writeBytes(full, "0123456789");
  HANDLE e = open(empty, R, SR);
  HANDLE f = open(full, R, SR);
  struct Case {
    HANDLE file;
    DWORD protect, size, error;
  } cases[] = {
      {e, PAGE_READONLY, 0, ERROR_INVALID_PARAMETER},   // an empty file has nothing to map
      {f, PAGE_READONLY, 11, ERROR_ACCESS_DENIED},      // past the end of a read-only file
      {f, PAGE_READWRITE, 0, ERROR_ACCESS_DENIED},      // the file is open for reading only
      {INVALID_HANDLE_VALUE, PAGE_READONLY, 16, ERROR_INVALID_HANDLE},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CreateFileMappingA(c.file, nullptr, c.protect, 0, c.size, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
  }
  CloseHandle(e);
  CloseHandle(f);
  EXPECT_EQ(readBytes(full), "0123456789");
}

TEST(SharedStreams, ShareFlagsAndModes) {
  TempDir dir;
  const std::string path = dir.file("s.txt");
  FILE* out = _fsopen(path.c_str(), "wb", _SH_DENYRW);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(_fsopen(path.c_str(), "rb", _SH_DENYNO), nullptr);
  EXPECT_EQ(errno, ERROR_SHARING_VIOLATION);
  std::fputs("hello", out);
  EXPECT_EQ(std::fclose(out), 0);

  FILE* append = _fsopen(path.c_str(), "ab", _SH_DENYNO);
  ASSERT_NE(append, nullptr);
  std::fputs(" world", append);
  std::fclose(append);

  FILE* in = _fsopen(path.c_str(), "rt", _SH_DENYWR);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(std::fseek(in, 0, SEEK_END), 0);
  EXPECT_EQ(std::ftell(in), 11);
  std::rewind(in);
  char text[16] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text, in), 11u);
  EXPECT_STREQ(text, "hello world");
  // Reading is shared, writing is not.
  FILE* second = _fsopen(path.c_str(), "rb", _SH_DENYNO);
  EXPECT_NE(second, nullptr);
  if (second) std::fclose(second);
  EXPECT_EQ(_fsopen(path.c_str(), "r+b", _SH_DENYNO), nullptr);
  std::fclose(in);

  EXPECT_EQ(_fsopen(dir.file("missing").c_str(), "rb", _SH_DENYNO), nullptr);
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
