// Shared objects over dlopen and dlsym.
#include <dlfcn.h>

#include <string>

#include "platform/path.h"
#include "platform/win_kernel.h"

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (fileName == nullptr || *fileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string path = plat::resolvePath(fileName);
  // dlopen searches the library path for a name without '/': a module name
  // is a file name here, taken from the current directory.
  if (path.find('/') == std::string::npos) path = "./" + path;
  void* handle = plat::pathExists(path, plat::PathKind::File) ? dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
  if (handle == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return static_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (module == nullptr || procName == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  dlerror();
  void* symbol = dlsym(static_cast<void*>(module), procName);
  if (symbol == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
  if (module == nullptr || dlclose(static_cast<void*>(module)) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
