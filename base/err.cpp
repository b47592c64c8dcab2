// Raising, the default handler, the text lookup and the TRY chain.
#include "base/err.h"

#include <cstdlib>

namespace {

void emptyMessageHook(errState*, const char*) {}

errState g_state = {
    nullptr,       // handler: none before errSetup
    nullptr,       // message hook
    nullptr,       // exit hook
    nullptr,       // file-name argument
    0,             // code
    nullptr,       // tables
    nullptr,       // text
    nullptr,       // source file
    -1,            // line
    0,             // level
    0,             // handler flags
    ERR_NO_DRIVE,  // drive
    0,             // last box outcome
};

// The code the handler is working on ("%^d" shows it).
errCode g_handledCode = 0;
bool g_initialised = false;  // errInit ran (once per process)
bool g_setUp = false;        // errSetup ran and errDone has not
bool g_doneRegistered = false;

thread_local errTryFrame* t_tryHead = nullptr;

bool inChain(const errTextTable* table) {
  for (const errTextTable* t = g_state.tables; t; t = t->next)
    if (t == table) return true;
  return false;
}

[[noreturn]] void jumpToTry(errCode code) { throw errDetail::TryJump{t_tryHead, code}; }

}  // namespace

errTryFrame::~errTryFrame() {
  if (t_tryHead == this) t_tryHead = prev;
}

errState* errGetState() { return &g_state; }
errTryFrame* errTryHead() { return t_tryHead; }
void errSetTryHead(errTryFrame* frame) { t_tryHead = frame; }

void errTryPush(errTryFrame* frame) {
  frame->prev = t_tryHead;
  frame->code = 0;
  frame->caught = false;
  t_tryHead = frame;
}

void errSetup() {
  if (g_setUp) return;
  g_setUp = true;
  errDetail::bindTableGetters();
  // Appended at the end of the chain, unless a previous set-up left it there.
  if (!inChain(&errGeneralTable)) {
    errGeneralTable.next = nullptr;
    errTextTable** link = &g_state.tables;
    while (*link) link = &(*link)->next;
    *link = &errGeneralTable;
  }
  g_state.handler = errDefaultHandler;
  g_state.messageHook = emptyMessageHook;
  g_state.exitHook = errDefaultExit;
  if (!g_doneRegistered) {
    g_doneRegistered = true;
    std::atexit(errDone);
  }
}

void errInit() {
  if (g_initialised) return;
  g_initialised = true;
  errSetup();
  errPushTable(&errFileTable);
  g_state.exitHook = errDefaultExit;
}

void errDone() { g_setUp = false; }

void errSetExitHook(errExitHook hook) { g_state.exitHook = hook; }

void errPushTable(errTextTable* table) {
  // A table already in the chain is not linked again (that would close a loop).
  if (!table || inChain(table)) return;
  table->next = g_state.tables;
  g_state.tables = table;
}

errCode errRaiseEx(int level, errCode code, const char* fileArg, const char* text, const char* srcFile,
                   int line) {
  g_state.level = static_cast<uint8_t>(level);
  g_state.code = code;
  g_state.fileArg = fileArg;
  g_state.text = text;
  g_state.srcFile = srcFile;
  g_state.line = line;
  g_state.lastOutcome = 0;
  if (!(g_state.handlerFlags & ERR_SKIP_HANDLER) && g_state.handler) {
    g_state.handler();
  } else if (!(g_state.handlerFlags & ERR_SKIP_JUMP) && t_tryHead) {
    jumpToTry(code);
  }
  return g_state.lastOutcome != 0 ? g_state.lastOutcome : code;
}

errCode errRaise(errCode code) {
  if (code == 0) return 0;
  return errRaiseEx(0, code, nullptr, nullptr, nullptr, -1);
}

errCode errRaiseArg(errCode code, const char* fileName) {
  if (code == 0) return 0;
  return errRaiseEx(0, code, fileName, nullptr, nullptr, -1);
}

errCode errPrintf(int level, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  strFormatV(nullptr, format, ap);
  va_end(ap);
  return errRaiseEx(level, ERR_PRINTF, nullptr, strFormatBuffer(), nullptr, -1);
}

errCode errReportCurrent() {
  if (g_state.code == 0) return 0;
  return errRaiseEx(g_state.level, g_state.code, g_state.fileArg, g_state.text, g_state.srcFile, g_state.line);
}

int errEndCatch(errState* state, errTryFrame* frame) {
  t_tryHead = frame->prev;
  state->fileArg = nullptr;
  state->code = 0;
  state->drive = ERR_NO_DRIVE;
  return 0;
}

void errDefaultHandler() {
  uint8_t savedFlags = g_state.handlerFlags;
  g_state.handlerFlags |= ERR_SKIP_HANDLER | ERR_SKIP_JUMP;
  g_handledCode = g_state.code;
  if (!g_state.text) {
    unsigned selector = (g_state.fileArg ? ERR_TEXT_FILE : 0u) | (g_state.drive != ERR_NO_DRIVE ? ERR_TEXT_DRIVE : 0u);
    g_state.text = errLookupText(g_state.code, selector);
    if (!*g_state.text) g_state.level = ERR_LEVEL_ERROR;
  }
  if (g_state.code != 0 && t_tryHead) {
    g_state.handlerFlags = savedFlags;
    jumpToTry(g_state.code);
  }
  if (g_state.messageHook) g_state.messageHook(&g_state, g_state.text);
  if ((g_state.level & ERR_LEVEL_ERROR) && g_state.exitHook) g_state.exitHook(&g_state);
  g_state.handlerFlags = savedFlags;
}

const char* errLookupText(errCode code, unsigned selector) {
  auto effective = [](const errTextRecord* r) -> unsigned {
    return (g_state.level & 0x0F) ? g_state.level : r->flags;
  };
  const errTextRecord* chosen = nullptr;
  const errTextRecord* fallback = nullptr;
  for (const errTextTable* t = g_state.tables; t && !chosen; t = t->next) {
    if (!t->records) continue;
    for (const errTextRecord* r = t->records;; ++r) {
      if (r->code == 0) {
        if (!fallback && r->text) fallback = r;
        break;
      }
      if (r->code != code) continue;
      unsigned needs = effective(r) & (ERR_TEXT_FILE | ERR_TEXT_DRIVE);
      unsigned given = selector & (ERR_TEXT_FILE | ERR_TEXT_DRIVE);
      if (needs == 0 || needs == given || (needs == ERR_TEXT_DRIVE && (given & ERR_TEXT_DRIVE)) ||
          (needs == ERR_TEXT_FILE && (given & ERR_TEXT_FILE))) {
        chosen = r;
        break;
      }
    }
  }
  if (!chosen) chosen = fallback;
  if (!chosen) return "";
  const char* text = chosen->text ? chosen->text : "";
  if (chosen->args) {
    errCode saved = g_state.code;
    g_state.code = 0;
    strFormat(nullptr, text, *chosen->args);
    text = strFormatBuffer();
    g_state.code = saved;
  }
  g_state.level = static_cast<uint8_t>(effective(chosen));
  return text;
}

int errDefaultExit(errState* state) {
  if (state->code == -1) std::exit(-1);
  if (!(state->level & ERR_LEVEL_ERROR)) return 0;
  return errReportAt(state->srcFile, state->line, state->code, "%s", state->text ? state->text : "");
}

const char* errFileArg() { return g_state.fileArg; }
int errDriveArg() { return 'A' + g_state.drive; }
int errCurrentCode() { return g_handledCode; }
