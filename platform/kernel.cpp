// KERNEL32 services over POSIX.
#include "platform/win_kernel.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <unistd.h>

#include "platform/test_api.h"

namespace {

thread_local DWORD t_lastError = 0;

std::mutex g_mutex;
bool g_moduleOverride = false;
std::string g_moduleName;
bool g_captureDebug = false;
std::vector<std::string> g_debugOutput;

// A fixed marker handle for the executable's module.
HINSTANCE__* const kMainModule = reinterpret_cast<HINSTANCE__*>(static_cast<uintptr_t>(0x400000));

std::string moduleFileName() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_moduleOverride) return g_moduleName;
  }
  std::string path(4096, '\0');
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < path.size()) {
      path.resize(static_cast<size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// Copies text into a Windows-style output buffer. Returns the length, or size
// with a truncated, terminated copy and ERROR_INSUFFICIENT_BUFFER.
DWORD copyOut(const std::string& text, LPSTR buffer, DWORD size) {
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (text.size() < size) {
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
  }
  std::memcpy(buffer, text.data(), size - 1);
  buffer[size - 1] = '\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

}  // namespace

void ExitProcess(UINT exitCode) {
  std::fflush(nullptr);
  _exit(static_cast<int>(exitCode));
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  if (moduleName == nullptr) return kMainModule;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

DWORD GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
  std::string name = moduleFileName();
  if (name.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  return copyOut(name, buffer, size);
}

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir && *dir) ? dir : "/tmp";
  if (path.back() != '/') path += '/';
  if (!buffer || path.size() >= size) return static_cast<DWORD>(path.size() + 1);
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list*) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  char work[512];
  // The GNU strerror_r returns the text (possibly not in work).
  const char* text = strerror_r(static_cast<int>(messageId), work, sizeof work);
  if (!text || std::strncmp(text, "Unknown error", 13) == 0) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  std::string message(text);
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    size_t bytes = message.size() + 1;
    if (bytes < size) bytes = size;
    char* block = static_cast<char*>(LocalAlloc(LMEM_ZEROINIT, bytes));
    if (!block) {
      SetLastError(ENOMEM);
      return 0;
    }
    std::memcpy(block, message.c_str(), message.size() + 1);
    *reinterpret_cast<LPSTR*>(buffer) = block;
    return static_cast<DWORD>(message.size());
  }
  if (!buffer || message.size() >= size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, message.c_str(), message.size() + 1);
  return static_cast<DWORD>(message.size());
}

BOOL IsDebuggerPresent() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("TracerPid:", 0) == 0) return std::atoi(line.c_str() + 10) != 0;
  }
  return FALSE;
}

void OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_captureDebug) g_debugOutput.emplace_back(text);
  }
  if (IsDebuggerPresent()) std::fputs(text, stderr);
}

void DebugBreak() {
  if (IsDebuggerPresent()) std::raise(SIGTRAP);
}

namespace plat::test {

void setModuleFileName(const char* path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_moduleOverride = path != nullptr;
  g_moduleName = path ? path : "";
}

void captureDebugOutput(bool on) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_captureDebug = on;
  if (!on) g_debugOutput.clear();
}

std::vector<std::string> takeDebugOutput() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<std::string> out;
  out.swap(g_debugOutput);
  return out;
}

}  // namespace plat::test
