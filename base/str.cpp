// Strings, paths, directory probes and rectangles.
#include "base/str.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "base/mem.h"
#include "platform/path.h"
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

dirScan* dirOpen(const char* dirName) {
  // The scan pattern "<dir>\*.*" names every entry: the directory is scanned whole.
  std::string dir = withSeparator(dirName);
  std::string host = dir.empty() ? std::string(".") : plat::resolvePath(dir);
  auto* scan = static_cast<dirScan*>(memHooks.alloc2(sizeof(dirScan)));
  if (!scan) return nullptr;
  std::memset(scan, 0, sizeof *scan);
  DIR* d = opendir(host.c_str());
  dirent* e = d ? readdir(d) : nullptr;
  if (!e) {
    if (d) closedir(d);
    memHooks.free(scan);
    return nullptr;
  }
  dirFindData& f = scan->data;
  copyPath(f.name, e->d_name);
  struct stat st;
  if (fstatat(dirfd(d), e->d_name, &st, 0) == 0) {
    f.attrib = S_ISDIR(st.st_mode) ? DIR_ATTR_SUBDIR : DIR_ATTR_ARCHIVE;
    if (!(st.st_mode & S_IWUSR)) f.attrib |= DIR_ATTR_READONLY;
    f.timeCreate = st.st_ctime;
    f.timeAccess = st.st_atime;
    f.timeWrite = st.st_mtime;
    f.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  }
  scan->opened = 1;
  scan->loaded = 1;
  scan->handle = d;
  return scan;
}

void dirClose(dirScan* scan) {
  if (!scan) return;
  if (scan->handle) closedir(static_cast<DIR*>(scan->handle));
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
