// Buffered file streams opened by mode flags.
#include <cstring>

#include "base/mf.h"
#include "platform/win32.h"

namespace {

char g_modeText[8];

bool isStandard(FILE* stream) { return stream == stdin || stream == stdout || stream == stderr; }

}  // namespace

const char* fileModeText(uint32_t flags) {
  if ((flags & (FILE_READ | FILE_WRITE)) == (FILE_READ | FILE_WRITE)) {
    flags |= FILE_UPDATE;
  } else if (flags & FILE_WRITE) {
    flags |= FILE_WRITE_MODE;
  }
  char* p = g_modeText;
  *p++ = (flags & FILE_APPEND) ? 'a' : (flags & FILE_WRITE_MODE) ? 'w' : 'r';
  if (flags & FILE_UPDATE) *p++ = '+';
  *p++ = (flags & FILE_BINARY) ? 'b' : 't';
  *p = '\0';
  return g_modeText;
}

FILE* fileOpenCore(const char* name, uint32_t flags) {
  if ((flags & FILE_STDOUT) || name == reinterpret_cast<const char*>(1)) return stdout;
  if ((flags & FILE_STDIN) || name == nullptr) return stdin;
  if ((flags & FILE_STDERR) || name == reinterpret_cast<const char*>(2)) return stderr;
  FILE* stream = _fsopen(name, fileModeText(flags), (flags & FILE_NO_SHARING) ? _SH_DENYRW : _SH_DENYNO);
  return stream ? stream : FILE_NO_STREAM;
}

FILE* fileOpenStream(const char* name, uint32_t flags) {
  FILE* stream = fileOpenCore(name, flags);
  if (stream == FILE_NO_STREAM && errRaiseArg(ERR_CANT_OPEN, name) == ERR_OUTCOME_RETRY) DebugBreak();
  return stream;
}

int fileCloseCore(FILE* stream) {
  if (!stream || reinterpret_cast<intptr_t>(stream) < 0 || isStandard(stream)) return 0;
  return std::fclose(stream);
}

int fileClose(FILE* stream) {
  if (fileCloseCore(stream) == 0) return 0;
  errRaise(-16);
  return -16;
}
