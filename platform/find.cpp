// KERNEL32 directory searches over opendir and stat.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/kernel_object.h"
#include "platform/path.h"
#include "platform/win_file.h"
#include "platform/win_kernel.h"

namespace {

struct FindObject : plat::KernelObject {
  ~FindObject() override {
    if (dir) ::closedir(dir);
  }
  DIR* dir = nullptr;
  std::string directory;  // the host directory, with a trailing '/'
  std::string pattern;
};

FindObject* findOf(HANDLE handle) {
  auto* find = dynamic_cast<FindObject*>(plat::kernelObject(handle));
  if (!find) SetLastError(ERROR_INVALID_HANDLE);
  return find;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// '*' matches any run of characters, '?' one; the rest without case.
bool wildcardMatch(std::string_view pattern, std::string_view name) {
  size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// A name without a dot also matches as if it ended in one.
bool matches(const std::string& pattern, const char* name) {
  if (wildcardMatch(pattern, name)) return true;
  return !std::strchr(name, '.') && wildcardMatch(pattern, std::string(name) + ".");
}

FILETIME fileTime(const timespec& t) {
  // 100-nanosecond intervals from 1601 to 1970.
  constexpr int64_t kUnixEpoch = 116444736000000000;
  const uint64_t v = static_cast<uint64_t>(kUnixEpoch + int64_t{t.tv_sec} * 10000000 + t.tv_nsec / 100);
  return {static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

// The next entry that matches, in *data; false at the end of the directory.
bool nextMatch(FindObject& find, WIN32_FIND_DATAA* data) {
  while (dirent* e = ::readdir(find.dir)) {
    if (!matches(find.pattern, e->d_name) || std::strlen(e->d_name) >= MAX_PATH) continue;
    const std::string path = find.directory + e->d_name;
    struct stat st;
    // A link that leads nowhere is listed as itself; an entry gone meanwhile is not.
    if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) continue;
    *data = WIN32_FIND_DATAA{};
    const bool directory = S_ISDIR(st.st_mode);
    data->dwFileAttributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (plat::readOnlyMode(st.st_mode)) data->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    data->ftCreationTime = fileTime(st.st_ctim);
    data->ftLastAccessTime = fileTime(st.st_atim);
    data->ftLastWriteTime = fileTime(st.st_mtim);
    const uint64_t size = directory ? 0 : static_cast<uint64_t>(st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    std::strcpy(data->cFileName, e->d_name);
    return true;
  }
  return false;
}

}  // namespace

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
  if (!pattern || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string_view whole(pattern);
  const size_t sep = whole.find_last_of("\\/");
  const std::string_view dir = sep == std::string_view::npos ? std::string_view() : whole.substr(0, sep + 1);
  auto* find = new FindObject;
  find->pattern = whole.substr(sep == std::string_view::npos ? 0 : sep + 1);
  find->directory = dir.empty() ? std::string("./") : plat::resolvePath(dir);
  if (find->directory.back() != '/') find->directory += '/';
  find->dir = find->pattern.empty() ? nullptr : ::opendir(find->directory.c_str());
  if (!find->dir || !nextMatch(*find, data)) {
    SetLastError(find->dir || find->pattern.empty() ? ERROR_FILE_NOT_FOUND : static_cast<DWORD>(errno));
    delete find;
    return INVALID_HANDLE_VALUE;
  }
  return static_cast<plat::KernelObject*>(find);
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* data) {
  FindObject* find = findOf(handle);
  if (!find) return FALSE;
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (nextMatch(*find, data)) return TRUE;
  SetLastError(ERROR_NO_MORE_FILES);
  return FALSE;
}

BOOL FindClose(HANDLE handle) {
  FindObject* find = findOf(handle);
  if (!find) return FALSE;
  delete find;
  return TRUE;
}
