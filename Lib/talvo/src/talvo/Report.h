// Logged throws, the report box and the assertion box.
//
// Every throw site of the library except raise_error and not_implemented
// logs its throw first:
//
//   talvo::throw_logged({"\\Lib\\talvo\\src\\talvo\\stream.cpp", 120,
//                        "talvo::io::Stream::throw_failure_"},
//                       talvo::io::Failure(error));
#pragma once

#include <cstdint>
#include <iosfwd>

#include "platform/win32.h"
#include "talvo/Exception.h"

namespace talvo {

// The site of a throw or a failed assertion; either text may be null.
struct SourceLocation {
  const char* file;
  int32_t line;
  const char* function;
};

// While on, every logged throw asks the user in the assertion box first. Off
// at start; nothing in the system turns it on.
extern bool throw_asserting;

// Writes the throw to the "exception" channel (after the assertion box when
// throw-asserting is on). True when the caller must break into the debugger.
bool log_throw(const SourceLocation& location, const Exception& exception);

// The logged throw: log_throw, a breakpoint when it asks for one, then a
// copy of the exception is thrown.
template <class E>
[[noreturn]] void throw_logged(const SourceLocation& location, const E& exception) {
  if (log_throw(location, exception)) DebugBreak();
  throw exception;
}

// Manipulator: four spaces.
std::ostream& indent(std::ostream& out);
// "file(line) : " and "function : ", each when its text is not empty.
void write_location(std::ostream& out, const SourceLocation& location);

// Outcomes of report_error, and the button requests made of them.
constexpr int report_cancel = 1;  // Cancel or Abort
constexpr int report_retry = 2;   // Retry or Try Again
constexpr int report_ignore = 4;  // Ignore or Continue

// Shows a box with the text, the last lines of the log file and the footer.
// Request 3 gives Retry and Cancel, 7 Abort, Retry and Ignore (Retry the
// default), anything else OK. Returns the outcome (0 for OK and the like, or
// a box that failed). Never throws.
int report_error(const char* text, const char* caption, unsigned buttons, HWND owner, const char* footer);
// report_error with the exception's text, captioned with its type name.
int report_exception(const Exception& exception, unsigned buttons, HWND owner, const char* footer);

// The ring of recent log lines shown in the box.
struct RecentEntry {
  static constexpr size_t text_size = 260;
  char text[text_size];
  RecentEntry* next;
};
constexpr int recent_entries = 10;

// Reads lines into the ring from the given record on, and returns the record
// where reading stopped (its text empty). A line keeps at most its first
// text_size - 2 characters and no "\r" at its end. The stream's position and
// state are restored.
RecentEntry* read_recent_entries(std::istream& in, RecentEntry* first);
// Writes the non-empty texts oldest first, each with "\n".
void write_recent_entries(std::ostream& out, const RecentEntry* end);

// Assertion outcomes.
constexpr int assertion_retry = 0;   // debug
constexpr int assertion_ignore = 1;  // continue
constexpr int assertion_abort = 2;   // stop

// The "Assertion failed!" box with Abort, Retry and Ignore; while one is up,
// a further failed assertion is only logged and ignored.
int show_assertion_message(const SourceLocation& location, const char* message);
// Retry: true (break into the debugger); Ignore: false; anything else raises
// SIGABRT.
bool assertion_choice(int outcome);

}  // namespace talvo
