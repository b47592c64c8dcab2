// Strings, paths, directory probes and rectangles.
#include "base/str.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "base/mem.h"
#include "platform/win32.h"

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// Copies text into a MAX_PATH buffer, cut to fit.
void copyPath(char* dest, std::string_view text) {
  if (!dest) return;
  size_t n = std::min(text.size(), static_cast<size_t>(MAX_PATH - 1));
  std::memcpy(dest, text.data(), n);
  dest[n] = '\0';
}

// Seconds since 1970 of a file time (100-nanosecond intervals since 1601).
int64_t unixTime(const FILETIME& t) {
  const int64_t v = static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  const int64_t fromUnixEpoch = v - 116444736000000000;
  return fromUnixEpoch >= 0 ? fromUnixEpoch / 10000000 : -((-fromUnixEpoch + 9999999) / 10000000);
}

std::string withSeparator(const char* dir) {
  std::string s = dir ? dir : "";
  if (!s.empty() && !isSeparator(s.back())) s += '\\';
  return s;
}

}  // namespace

char* strDup(const char* s) {
  if (!s) return nullptr;
  size_t n = std::strlen(s) + 1;
  // The checked allocation takes the first further alloc entry and raises -2.
  auto* copy = static_cast<char*>(memAllocChecked(n));
  if (copy) std::memcpy(copy, s, n);
  return copy;
}

char chrLower(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') u = static_cast<unsigned char>(u + 0x20);
  else if (u >= 0x80 && u <= 0x8F) u = static_cast<unsigned char>(u + 0x20);
  else if (u >= 0x90 && u <= 0x9F) u = static_cast<unsigned char>(u + 0x50);
  return static_cast<char>(u);
}

char* strLower(char* s) {
  for (char* p = s; p && *p; ++p) *p = chrLower(*p);
  return s;
}

const char* strFindLastOf(const char* s, const char* set) {
  if (!s || !set) return nullptr;
  const char* last = nullptr;
  for (const char* p = s; *p; ++p)
    if (std::strchr(set, *p)) last = p;
  return last;
}

char* strCopyOrEmpty(char* dest, const char* src) {
  if (!dest) return nullptr;
  size_t n = src ? std::strlen(src) : 0;
  std::memcpy(dest, src ? src : "", n);
  dest[n] = '\0';
  return dest + n;
}

char* pathAddSeparator(char* dest, const char* dir) {
  copyPath(dest, withSeparator(dir));
  return dest;
}

const char* pathFileName(const char* path) {
  if (!path) return nullptr;
  const char* last = strFindLastOf(path, "\\/:");
  return last ? last + 1 : path;
}

void pathSplit(const char* path, char* dir, char* name, char* ext) {
  for (char* out : {dir, name, ext})
    if (out) out[0] = '\0';
  if (!path) return;
  std::string_view rest(path);
  size_t mark = rest.find_last_of("\\/:.");
  char after = mark + 1 < rest.size() ? rest[mark + 1] : '\0';
  if (mark != std::string_view::npos && rest[mark] == '.' && after != '/' && after != '\\' && after != '.') {
    copyPath(ext, rest.substr(mark));
    rest = rest.substr(0, mark);
  }
  size_t sep = rest.find_last_of("\\/:");
  if (sep == std::string_view::npos) {
    copyPath(name, rest);
    return;
  }
  copyPath(name, rest.substr(sep + 1));
  copyPath(dir, rest.substr(0, sep + 1));
}

static_assert(DIR_ATTR_READONLY == FILE_ATTRIBUTE_READONLY && DIR_ATTR_SUBDIR == FILE_ATTRIBUTE_DIRECTORY &&
              DIR_ATTR_ARCHIVE == FILE_ATTRIBUTE_ARCHIVE);

dirScan* dirOpen(const char* dirName) {
  // The pattern "<dir>\*.*" names every entry: the directory is searched whole.
  const std::string pattern = withSeparator(dirName) + "*.*";
  auto* scan = static_cast<dirScan*>(memHooks.alloc2(sizeof(dirScan)));
  if (!scan) return nullptr;
  std::memset(scan, 0, sizeof *scan);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) {
    memHooks.free(scan);
    return nullptr;
  }
  dirFindData& f = scan->data;
  f.attrib = found.dwFileAttributes & (DIR_ATTR_READONLY | DIR_ATTR_SUBDIR | DIR_ATTR_ARCHIVE);
  f.timeCreate = unixTime(found.ftCreationTime);
  f.timeAccess = unixTime(found.ftLastAccessTime);
  f.timeWrite = unixTime(found.ftLastWriteTime);
  f.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  copyPath(f.name, found.cFileName);
  scan->opened = 1;
  scan->loaded = 1;
  scan->handle = find;
  return scan;
}

void dirClose(dirScan* scan) {
  if (!scan) return;
  if (scan->handle) FindClose(scan->handle);
  memHooks.free(scan);
}

int rectIntersect(baseRect* result, const baseRect* a, const baseRect* b) {
  int64_t x0 = std::max(a->x, b->x);
  int64_t y0 = std::max(a->y, b->y);
  int64_t x1 = std::min(static_cast<int64_t>(a->x) + a->w, static_cast<int64_t>(b->x) + b->w);
  int64_t y1 = std::min(static_cast<int64_t>(a->y) + a->h, static_cast<int64_t>(b->y) + b->h);
  // Computed before the result is written, so the result may be a or b.
  *result = {static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(std::max<int64_t>(x1 - x0, 0)),
             static_cast<int32_t>(std::max<int64_t>(y1 - y0, 0))};
  return x1 > x0 && y1 > y0;
}
