// Deleting, moving and replacing files, and directory searches.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "platform/win32.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> search(const std::string& pattern) {
  std::set<std::string> names;
  WIN32_FIND_DATAA d;
  HANDLE find = FindFirstFileA(pattern.c_str(), &d);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.insert(d.cFileName);
  while (FindNextFileA(find, &d));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(find));
  return names;
}

TEST(DirectorySearch, PatternsMatchWithoutCaseInAResolvedDirectory) {
  TempDir tmp;
  fs::create_directories(tmp.path / "Data" / "Sub");
  for (const char* name : {"A.txt", "b.TXT", "c.bin", "noext", "ab.bin.txt"}) writeBytes(tmp.file("Data/") + name, "x");
  const std::string dir = tmp.path.string() + "\\DATA\\";
  const std::set<std::string> all = {".", "..", "A.txt", "b.TXT", "c.bin", "noext", "ab.bin.txt", "Sub"};
  struct {
    const char* pattern;
    std::set<std::string> names;
  } cases[] = {
      {"*.*", all},
      {"*", all},
      {"*.TXT", {"A.txt", "b.TXT", "ab.bin.txt"}},
      {"?.bin", {"c.bin"}},
      {"a*", {"A.txt", "ab.bin.txt"}},
      {"*.", {".", "..", "noext", "Sub"}},  // a name without a dot ends in one
      {"NOEXT", {"noext"}},
      {"*.wav", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(search(dir + c.pattern), c.names) << c.pattern;

  // Nothing matching, no directory, a file as directory, no pattern.
  for (const std::string& pattern : {dir + "*.wav", dir + "missing\\*.*", dir + "c.bin\\*.*", dir}) {
    WIN32_FIND_DATAA d;
    SetLastError(0);
    EXPECT_EQ(FindFirstFileA(pattern.c_str(), &d), INVALID_HANDLE_VALUE) << pattern;
    EXPECT_NE(GetLastError(), 0u) << pattern;
  }
  WIN32_FIND_DATAA d;
  EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &d));
  EXPECT_FALSE(FindClose(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(DirectorySearch, EntriesCarryAttributesSizeAndTimes) {
  TempDir tmp;
  fs::create_directory(tmp.path / "dir");
  writeBytes(tmp.file("big"), std::string(5000, 'b'));
  writeBytes(tmp.file("locked"), "r");
  fs::permissions(tmp.file("locked"), fs::perms::owner_read);
  struct {
    const char* name;
    DWORD attributes;
    DWORD size;
  } cases[] = {
      {"dir", FILE_ATTRIBUTE_DIRECTORY, 0},
      {"big", FILE_ATTRIBUTE_ARCHIVE, 5000},
      {"locked", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 1},
  };
  for (const auto& c : cases) {
    WIN32_FIND_DATAA d;
    HANDLE find = FindFirstFileA(tmp.file(c.name).c_str(), &d);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << c.name;
    EXPECT_STREQ(d.cFileName, c.name);
    EXPECT_EQ(d.dwFileAttributes, c.attributes) << c.name;
    EXPECT_EQ(d.nFileSizeLow, c.size) << c.name;
    EXPECT_EQ(d.nFileSizeHigh, 0u);
    struct stat st;
    ASSERT_EQ(stat(tmp.file(c.name).c_str(), &st), 0);
    const uint64_t write = (uint64_t{d.ftLastWriteTime.dwHighDateTime} << 32) | d.ftLastWriteTime.dwLowDateTime;
    EXPECT_EQ(write, 116444736000000000u + uint64_t(st.st_mtim.tv_sec) * 10000000u + uint64_t(st.st_mtim.tv_nsec) / 100)
        << c.name;
    EXPECT_FALSE(FindNextFileA(find, &d));
    FindClose(find);
  }
}

TEST(FileNames, MoveReplaceAndDelete) {
  TempDir tmp;
  fs::create_directory(tmp.path / "Dir");
  const std::string a = tmp.file("a"), b = tmp.file("Dir/b");
  auto reset = [&] {
    writeBytes(a, "new");
    writeBytes(b, "old");
    chmod(b.c_str(), 0640);
  };

  // Without MOVEFILE_REPLACE_EXISTING an existing name is kept.
  reset();
  EXPECT_FALSE(MoveFileExA(a.c_str(), (tmp.path.string() + "\\dir\\B").c_str(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(readBytes(a), "new");
  EXPECT_EQ(readBytes(b), "old");
  // With it, the name is replaced; the directory and name resolve without case.
  EXPECT_TRUE(MoveFileExA(a.c_str(), (tmp.path.string() + "\\dir\\B").c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  EXPECT_FALSE(fs::exists(a));
  EXPECT_EQ(readBytes(b), "new");
  // A new name.
  EXPECT_TRUE(MoveFileExA(b.c_str(), a.c_str(), 0));
  EXPECT_EQ(readBytes(a), "new");
  EXPECT_FALSE(MoveFileExA(b.c_str(), a.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // The replacement takes the replaced file's place and permission bits.
  reset();
  chmod(a.c_str(), 0600);
  EXPECT_TRUE(ReplaceFileA(b.c_str(), a.c_str(), nullptr, 0, nullptr, nullptr));
  EXPECT_FALSE(fs::exists(a));
  EXPECT_EQ(readBytes(b), "new");
  struct stat st;
  ASSERT_EQ(stat(b.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // Nothing to replace: the replacement stays where it is.
  writeBytes(a, "new");
  EXPECT_FALSE(ReplaceFileA(tmp.file("none").c_str(), a.c_str(), nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(readBytes(a), "new");
  EXPECT_FALSE(ReplaceFileA(tmp.file("Dir").c_str(), a.c_str(), nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(ReplaceFileA(b.c_str(), a.c_str(), tmp.file("backup").c_str(), 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(readBytes(b), "new");

  // A target its owner may not write is read-only: neither call replaces it
  // (also for root, who could write it), and the other file stays.
  struct Case {
    mode_t mode;
    bool replaced;
  } cases[] = {{0444, false}, {0464, false}, {0400, false}, {0200, true}, {0600, true}};
  for (const Case& c : cases) {
    for (bool move : {false, true}) {
      reset();
      chmod(b.c_str(), c.mode);
      const BOOL ok = move ? MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING)
                           : ReplaceFileA(b.c_str(), a.c_str(), nullptr, 0, nullptr, nullptr);
      char what[32];
      std::snprintf(what, sizeof what, "%s, mode %o", move ? "move" : "replace", unsigned(c.mode));
      EXPECT_EQ(ok != FALSE, c.replaced) << what;
      if (!c.replaced) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << what;
      }
      chmod(b.c_str(), 0600);
      EXPECT_EQ(readBytes(b), c.replaced ? "new" : "old") << what;
      EXPECT_EQ(fs::exists(a), !c.replaced) << what;
    }
  }
  reset();

  // Files are deleted, directories are not.
  EXPECT_TRUE(DeleteFileA((tmp.path.string() + "\\A").c_str()));
  EXPECT_FALSE(fs::exists(a));
  EXPECT_FALSE(DeleteFileA(a.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(DeleteFileA(tmp.file("Dir").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(fs::is_directory(tmp.path / "Dir"));
}

}  // namespace
