// Error codes, raising, TRY frames, error-text tables and the report box.
//
// Every failure of the base library and the layers over it is a negative
// errCode that is *raised*: the code, its text and an optional file name are
// stored in the process's error state, and then either control goes to the
// innermost open TRY block of the calling thread, or the message hook runs and,
// for errors of error level, the exit hook shows the report box.
//
// A TRY block reads:
//
//   ERR_TRY(frame) {
//     ...                 // a raise in here ends the body
//   } ERR_CATCH(frame, code) {
//     errReportCurrent();                  // optional: report it further out
//     errEndCatch(errGetState(), &frame);  // always: ends the CATCH block
//   } ERR_END_TRY
//
// The transfer to the CATCH path is a C++ exception of a private type that
// only the TRY block catches, so destructors of everything between the raise
// and the TRY block run. Consequences for callers: a raise must not leave a
// destructor or a noexcept function (that ends the process), and a
// `catch (...)` that swallows inside a TRY body swallows the transfer too.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "base/format.h"
#include "platform/win_types.h"

using errCode = int32_t;

// Codes with a fixed meaning beyond the text tables.
#define ERR_NO_MEMORY (-2)
#define ERR_BAD_INDEX (-4)
#define ERR_DATA (-5)
#define ERR_ARRAY_OVERFLOW (-9)
#define ERR_CANT_OPEN (-17)
#define ERR_BAD_ARGUMENT (-63)
#define ERR_NOT_CREATED (-66)
#define ERR_POINTER_NULL (-69)
#define ERR_FORMAT (-72)
#define ERR_END_OF_DATA (-73)
#define ERR_BUFFER_SMALL (-74)
#define ERR_OUTCOME_IGNORE (-93)
#define ERR_OUTCOME_RETRY (-94)
#define ERR_OUTCOME_ABORT (-95)
#define ERR_PRINTF (-97)

// Level bits of a raise and flag bits of a text record.
#define ERR_LEVEL_WARNING 0x02
#define ERR_LEVEL_ERROR 0x04
#define ERR_TEXT_FILE 0x10   // the text shows the file name ("%^s")
#define ERR_TEXT_DRIVE 0x20  // the text shows the drive letter ("%^c")

// Handler flag bits.
#define ERR_SKIP_HANDLER 0x01
#define ERR_SKIP_JUMP 0x02

#define ERR_NO_DRIVE 0xFF
#define ERR_LANGUAGE 0x3803

struct errState;
using errHandler = void (*)();
using errMessageHook = void (*)(errState* state, const char* text);
// Returns the report outcome when it showed the box (the raise itself returns
// the outcome the box stored in the state).
using errExitHook = int (*)(errState* state);

// One record of an error-text table; an array of them ends with code 0.
struct errTextRecord {
  errCode code;
  uint32_t flags;             // ERR_LEVEL_*, ERR_TEXT_FILE, ERR_TEXT_DRIVE
  const char* text;           // a format of the base formatter
  const strArgGetter* args;   // variable holding the getter of the text's "%^" directive, or null
};

// A node of the chain of error-text tables.
struct errTextTable {
  errTextTable* next;
  uint32_t language;  // ERR_LANGUAGE in every table
  uint32_t options;   // none in use
  const errTextRecord* records;
  void* hook;         // unused, null
};

// The process's error state. The TRY chain head is kept per thread beside it
// (errTryHead), so a raise never reaches another thread's TRY block.
struct errState {
  errHandler handler;
  errMessageHook messageHook;
  errExitHook exitHook;
  const char* fileArg;  // what "%^s" shows; set by errRaiseArg only
  errCode code;         // the code being raised, 0 when none
  errTextTable* tables;
  const char* text;     // the message of the raise
  const char* srcFile;  // carried to the report box; null when none
  int32_t line;         // -1 when none
  uint8_t level;        // ERR_LEVEL_* of the raise, then the chosen record's flag byte
  uint8_t handlerFlags; // ERR_SKIP_HANDLER, ERR_SKIP_JUMP
  uint8_t drive;        // drive index for "%^c" (0 = "A"); ERR_NO_DRIVE when none
  int8_t lastOutcome;   // outcome of the box shown for this raise, 0 when none
};

// One TRY frame. In place of a jump buffer it receives the code the raise
// delivered. A frame still at the head of its thread's chain when it goes out
// of scope (a return out of the body, a foreign exception) is unlinked then.
struct errTryFrame {
  errTryFrame* prev = nullptr;
  errCode code = 0;     // the raised code, on the CATCH path
  bool caught = false;  // the CATCH path was taken
  errTryFrame() = default;
  errTryFrame(const errTryFrame&) = delete;
  errTryFrame& operator=(const errTryFrame&) = delete;
  ~errTryFrame();
};

errState* errGetState();
// The innermost open TRY frame of the calling thread, null when none.
errTryFrame* errTryHead();
void errSetTryHead(errTryFrame* frame);
// Opens a frame: its previous frame is the chain head, and it becomes the head.
void errTryPush(errTryFrame* frame);

void errInit();
void errSetup();
void errDone();
void errSetExitHook(errExitHook hook);
void errPushTable(errTextTable* table);

errCode errRaise(errCode code);
errCode errRaiseArg(errCode code, const char* fileName);
// level: ERR_LEVEL_ERROR or ERR_LEVEL_WARNING; the format is one of the base
// formatter's and the message is kept within its 512-byte buffer.
errCode errPrintf(int level, const char* format, ...);
errCode errReportCurrent();
int errEndCatch(errState* state, errTryFrame* frame);
errCode errRaiseEx(int level, errCode code, const char* fileArg, const char* text, const char* srcFile,
                   int line);

void errDefaultHandler();
int errDefaultExit(errState* state);
// The text of a code from the table chain; sets the state's level to the
// chosen record's flag byte. selector: ERR_TEXT_FILE and/or ERR_TEXT_DRIVE.
const char* errLookupText(errCode code, unsigned selector);

// The getters of "%^s", "%^c" and "%^d" in the tables' texts.
const char* errFileArg();
int errDriveArg();
int errCurrentCode();

// The base library's two tables.
extern errTextTable errGeneralTable;
extern errTextTable errFileTable;

// The report box.
struct errBoxHooks {
  HWND (*owner)();                 // window that owns the box, or null
  void (*beforeBox)();
  void (*afterBox)();
  void (*beforeReport)();
  void (*afterReport)(int result);  // the MessageBoxA result
};
void errSetBoxHooks(const errBoxHooks* hooks);
int errMessageBox(const char* text, const char* caption, UINT style);
// Shows the report and returns ERR_OUTCOME_ABORT/RETRY/IGNORE; Abort ends the
// process with the error state's code. format may be null; it is a standard
// printf format.
int errReportV(const char* format, const char* srcFile, int line, errCode code, va_list args);
int errReportAt(const char* srcFile, int line, errCode code, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

namespace errDetail {
// The transfer from a raise to its TRY block. Only the TRY macros name it.
struct TryJump {
  errTryFrame* target;
  errCode code;
};
// Binds the getters of the base library's tables (errSetup does).
void bindTableGetters();
}  // namespace errDetail

#define ERR_TRY(frame)  \
  {                     \
    errTryFrame frame;  \
    errTryPush(&frame); \
    try

#define ERR_CATCH(frame, caughtCode)                            \
  catch (const ::errDetail::TryJump& errJump_) {                \
    if (errJump_.target != &frame) throw;                       \
    frame.caught = true;                                        \
    frame.code = errJump_.code;                                 \
  }                                                             \
  errSetTryHead(frame.prev);                                    \
  if ([[maybe_unused]] const errCode caughtCode = frame.code; frame.caught)

#define ERR_END_TRY }
