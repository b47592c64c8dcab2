// The report box: the base library's one dialogue with the user.
#include <cstdio>
#include <cstring>

#include "base/err.h"
#include "platform/win32.h"

namespace {

errBoxHooks g_hooks = {nullptr, nullptr, nullptr, nullptr, nullptr};
bool g_boxOpen = false;

constexpr size_t kUserSize = 512;
constexpr size_t kReportSize = 1024;
constexpr size_t kCaptionSize = 16;
constexpr size_t kShownPath = 64;

const char kTooLong[] = "User message too long";

// Appends to a bounded text; whatever does not fit is dropped.
struct Text {
  char* buf;
  size_t size;
  size_t len = 0;
  void add(const char* s) {
    while (*s && len + 1 < size) buf[len++] = *s++;
    buf[len] = '\0';
  }
  // A path or file name: its last 64 characters, the first three shown as "...".
  void addPath(const char* s) {
    size_t n = std::strlen(s);
    if (n > kShownPath) {
      add("...");
      s += n - (kShownPath - 3);
    }
    add(s);
  }
};

}  // namespace

void errSetBoxHooks(const errBoxHooks* hooks) {
  g_hooks = hooks ? *hooks : errBoxHooks{nullptr, nullptr, nullptr, nullptr, nullptr};
}

int errMessageBox(const char* text, const char* caption, UINT style) {
  HWND owner = g_hooks.owner ? g_hooks.owner() : nullptr;
  while (ShowCursor(TRUE) < 0) {
  }
  BOOL wasVisible = owner ? ShowWindow(owner, SW_HIDE) : FALSE;
  if (!(style & (MB_SYSTEMMODAL | MB_TASKMODAL))) style |= MB_SYSTEMMODAL;
  if (!(style & MB_ICONMASK)) style |= MB_ICONHAND;
  style |= MB_SETFOREGROUND;
  int result;
  if (g_boxOpen) {
    style = (style & ~(MB_TASKMODAL | (MB_ICONMASK & ~MB_ICONHAND))) | MB_SYSTEMMODAL | MB_ICONHAND;
    result = MessageBoxA(owner, text, "Debug Message - SECOND CALL", style);
  } else {
    g_boxOpen = true;
    if (g_hooks.beforeBox) g_hooks.beforeBox();
    result = MessageBoxA(owner, text, caption, style);
    if (g_hooks.afterBox) g_hooks.afterBox();
    g_boxOpen = false;
  }
  // The owner was hidden only for the box: show it again when it was visible.
  if (wasVisible) ShowWindow(owner, SW_SHOW);
  return result;
}

int errReportV(const char* format, const char* srcFile, int line, errCode code, va_list args) {
  errState* state = errGetState();
  char user[kUserSize];
  user[0] = '\0';
  if (format) {
    int n = std::vsnprintf(user, sizeof user, format, args);
    if (n >= static_cast<int>(sizeof user)) std::memcpy(user + sizeof user - sizeof kTooLong, kTooLong, sizeof kTooLong);
  }

  char report[kReportSize];
  Text t{report, sizeof report};
  t.add("Program     : ");
  char module[MAX_PATH];
  if (GetModuleFileNameA(nullptr, module, sizeof module) != 0) {
    module[sizeof module - 1] = '\0';
    t.addPath(module);
  } else {
    t.add("unknown");
  }
  t.add("\n");
  if (srcFile) {
    t.add("File        : ");
    t.addPath(srcFile);
    t.add("\n");
    if (line > 0) {
      char lineText[32];
      std::snprintf(lineText, sizeof lineText, "Line        : %d", line);
      t.add(lineText);
    }
    t.add("\n");
  }
  state->srcFile = nullptr;
  if (code != 0) {
    // The code as the 32-bit value it is, and its low 16 bits as a signed number.
    char codeText[48];
    std::snprintf(codeText, sizeof codeText, "Error Code  : 0x%08X (%d)", static_cast<uint32_t>(code),
                  static_cast<int>(static_cast<int16_t>(code & 0xFFFF)));
    t.add(codeText);
  }
  t.add("\n");
  if (user[0]) {
    t.add("\n");
    t.add(user);
    t.add("\n");
  }
  t.add("\nPress Retry to debug the application");

  char caption[kCaptionSize];
  const char* captionText = (state->level & ERR_LEVEL_ERROR)     ? "Error Message"
                            : (state->level & ERR_LEVEL_WARNING) ? "Warning Message"
                                                                 : "Message";
  std::snprintf(caption, sizeof caption, "%s", captionText);

  if (g_hooks.beforeReport) g_hooks.beforeReport();
  int result = errMessageBox(report, caption, MB_ABORTRETRYIGNORE);
  if (g_hooks.afterReport) g_hooks.afterReport(result);
  int outcome = result == IDRETRY ? ERR_OUTCOME_RETRY : result == IDABORT ? ERR_OUTCOME_ABORT : ERR_OUTCOME_IGNORE;
  state->lastOutcome = static_cast<int8_t>(outcome);
  if (outcome == ERR_OUTCOME_ABORT) ExitProcess(static_cast<UINT>(state->code));
  return outcome;
}

int errReportAt(const char* srcFile, int line, errCode code, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  int outcome = errReportV(format, srcFile, line, code, ap);
  va_end(ap);
  return outcome;
}
