// The configuration table and its file.
#include "engine/cfg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/err.h"
#include "base/mem.h"
#include "base/str.h"
#include "platform/win32.h"

namespace {

constexpr size_t kLineSize = 1024;

struct MemFree {
  void operator()(void* p) const { memHooks.free(p); }
};

struct FileClose {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileClose>;

bool isBlank(char c) {
  auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

bool sameName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
    if (x == 0) return true;
  }
}

void copyText(char* out, const char* from, size_t length) {
  std::memcpy(out, from, length);
  out[length] = '\0';
}

}  // namespace

int cfgParseLine(FILE* file, char* name, char* value, const char** error) {
  if (!file) return 0;
  char line[kLineSize];
  while (std::fgets(line, sizeof line, file)) {
    enum { BeforeName, InName, AfterEquals, InValue } state = BeforeName;
    const char* nameStart = nullptr;
    size_t nameLength = 0;
    const char* valueStart = nullptr;
    const char* p = line;
    const char* bad = nullptr;
    for (; *p && !(p[0] == '-' && p[1] == '-') && !bad; ++p) {
      switch (state) {
        case BeforeName:
          if (isBlank(*p)) break;
          if (*p == '=') {
            bad = "Empty variable name";
            break;
          }
          nameStart = p;
          state = InName;
          break;
        case InName:
          if (*p != '=') break;
          nameLength = static_cast<size_t>(p - nameStart);
          while (nameLength > 0 && isBlank(nameStart[nameLength - 1])) --nameLength;
          state = AfterEquals;
          break;
        case AfterEquals:
          if (isBlank(*p)) break;
          valueStart = p;
          state = InValue;
          break;
        case InValue:
          break;
      }
    }
    if (!bad && state == InName) bad = "Invalid line";
    if (bad) {
      // The rest of the file is still read; the caller reports the first.
      if (error && !*error) *error = bad;
      continue;
    }
    if (state == BeforeName) continue;
    copyText(name, nameStart, nameLength);
    size_t valueLength = 0;
    if (state == InValue) {
      valueLength = static_cast<size_t>(p - valueStart);
      while (valueLength > 0 && isBlank(valueStart[valueLength - 1])) --valueLength;
    }
    copyText(value, valueStart ? valueStart : "", valueLength);
    return 1;
  }
  return 0;
}

cfgCTy::cfgCTy() : count(0), entries(nullptr) {}

cfgCTy::~cfgCTy() {
  for (uint32_t i = 0; i < count; ++i) {
    memHooks.free(entries[i]->name);
    memHooks.free(entries[i]->value);
    memHooks.free(entries[i]);
  }
  memHooks.free(entries);
}

cfgEntry* cfgCTy::Find(const char* name) {
  if (!name) return nullptr;
  for (uint32_t i = 0; i < count; ++i)
    if (sameName(entries[i]->name, name)) return entries[i];
  return nullptr;
}

cfgEntry* cfgCTy::Add(const char* name) {
  if (cfgEntry* e = Find(name)) return e;
  if (!name) return nullptr;
  // Each step either completes or leaves the table as it was.
  auto grown = static_cast<cfgEntry**>(memRealloc(entries, (count + 1) * sizeof(cfgEntry*)));
  if (!grown) return nullptr;
  entries = grown;
  std::unique_ptr<char, MemFree> copy(strDup(name));
  if (!copy) return nullptr;
  auto* e = static_cast<cfgEntry*>(memAlloc(sizeof(cfgEntry)));
  if (!e) return nullptr;
  e->name = copy.release();
  e->value = nullptr;
  entries[count++] = e;
  return e;
}

cfgEntry* cfgCTy::SetStr(const char* name, const char* text) {
  cfgEntry* e = Add(name);
  if (!e) return nullptr;
  char* copy = strDup(text ? text : "");
  if (!copy) return e;  // out of memory: the old value stays
  memHooks.free(e->value);
  e->value = copy;
  return e;
}

cfgEntry* cfgCTy::SetInt(const char* name, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return SetStr(name, text);
}

void cfgCTy::UpdateInt(const char* name, int value) {
  if (Find(name)) SetInt(name, value);
}

const char* cfgCTy::GetStr(const char* name) {
  cfgEntry* e = Find(name);
  return e && e->value ? e->value : "";
}

int cfgCTy::GetInt(const char* name) { return std::atoi(GetStr(name)); }

void cfgCTy::Load(const char* fileName) {
  if (!fileName) return;
  FilePtr file(_fsopen(fileName, "rt", _SH_DENYNO));
  if (!file) return;
  char name[kLineSize], value[kLineSize];
  const char* error = nullptr;
  while (cfgParseLine(file.get(), name, value, &error)) SetStr(name, value);
  file.reset();
  if (error && errPrintf(ERR_LEVEL_ERROR, error) == ERR_OUTCOME_RETRY) DebugBreak();
}

// The table goes to a new file beside the old one, which it replaces only
// once it is whole and on disk: a save that fails leaves the old file as it
// was, and the replaced file keeps its attributes.
bool cfgCTy::Save(const char* fileName) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const DWORD attributes = GetFileAttributesA(fileName);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_DIRECTORY_NOT_SUPPORTED);
    return false;
  }
  std::string temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    temp = std::string(fileName) + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  std::string line;
  for (uint32_t i = 0; ok && i < count; ++i) {
    line.assign(entries[i]->name).append(" = ").append(entries[i]->value ? entries[i]->value : "").append("\n");
    DWORD done = 0;
    ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &done, nullptr) && done == line.size();
  }
  ok = ok && FlushFileBuffers(file);
  DWORD why = ok ? ERROR_SUCCESS : GetLastError();
  if (!CloseHandle(file) && ok) {
    ok = false;
    why = GetLastError();
  }
  ok = ok && (ReplaceFileA(fileName, temp.c_str(), nullptr, 0, nullptr, nullptr) ||
              (GetLastError() == ERROR_FILE_NOT_FOUND &&
               MoveFileExA(temp.c_str(), fileName, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)));
  if (ok) return true;
  if (why == ERROR_SUCCESS) why = GetLastError();
  DeleteFileA(temp.c_str());
  SetLastError(why);
  return false;
}

std::string cfgSaveFailure(const char* fileName, uint32_t lastError) {
  const std::string name = std::string("'") + (fileName ? fileName : "") + "'";
  if (lastError == ERROR_DIRECTORY_NOT_SUPPORTED) return name + " is not a file but a directory";
  char text[256];
  if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, lastError, 0, text, sizeof text, nullptr))
    std::snprintf(text, sizeof text, "error %u", static_cast<unsigned>(lastError));
  return name + " could not be written: " + text;
}
