#include "talvo/Report.h"

#include <csignal>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "platform/path.h"
#include "talvo/Log.h"

namespace talvo {
namespace {

// -1 while no assertion box is up, 0 while one is.
int assertion_nesting = -1;

void strip_cr(char* text) {
  size_t n = std::char_traits<char>::length(text);
  if (n > 0 && text[n - 1] == '\r') text[n - 1] = '\0';
}

}  // namespace

bool throw_asserting = false;

std::ostream& indent(std::ostream& out) { return out << "    "; }

void write_location(std::ostream& out, const SourceLocation& location) {
  if (location.file && *location.file) out << location.file << "(" << location.line << ") : ";
  if (location.function && *location.function) out << location.function << " : ";
}

bool log_throw(const SourceLocation& location, const Exception& exception) {
  int outcome = assertion_ignore;
  if (throw_asserting) outcome = show_assertion_message(location, exception.what());
  if (LogEntry entry = exception_log.default_entry()) {
    std::ostream& out = *entry.stream();
    out << type_name(typeid(exception)) << "\n" << indent;
    write_location(out, location);
    out << "\n" << indent << exception.what() << std::endl;
  }
  return assertion_choice(outcome);
}

RecentEntry* read_recent_entries(std::istream& in, RecentEntry* first) {
  const std::streampos start = in.tellg();
  RecentEntry* record = first;
  for (;;) {
    in.getline(record->text, RecentEntry::text_size - 1);
    if (in.fail()) {
      const bool overlong = !in.eof() && !in.bad() && in.gcount() == RecentEntry::text_size - 2;
      if (!overlong) {
        record->text[0] = '\0';
        break;
      }
      // Keep the start of an overlong line and go on after its end.
      in.clear();
      in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    strip_cr(record->text);
    record = record->next;
  }
  in.clear();
  in.seekg(start);
  return record;
}

void write_recent_entries(std::ostream& out, const RecentEntry* end) {
  const RecentEntry* record = end;
  do {
    record = record->next;
    if (record->text[0]) out << record->text << "\n";
  } while (record != end);
}

int report_error(const char* text, const char* caption, unsigned buttons, HWND owner, const char* footer) {
  try {
    if (!(buttons & report_retry) && !(buttons & report_ignore)) buttons &= ~static_cast<unsigned>(report_cancel);
    UINT style = MB_OK;
    if (buttons == 3) style = MB_RETRYCANCEL;
    if (buttons == 7) style = MB_ABORTRETRYIGNORE | MB_DEFBUTTON2;

    std::ostringstream box;
    if (text) box << text << "\n\n";
    const char* log = log_file_name();
    if (log && *log) {
      std::ifstream file(plat::resolvePath(log), std::ios::in | std::ios::binary);
      box << "Recent log entries (\"" << log << "\"):\n";
      if (file) {
        RecentEntry ring[recent_entries];
        for (int i = 0; i < recent_entries; ++i) {
          ring[i].text[0] = '\0';
          ring[i].next = &ring[(i + 1) % recent_entries];
        }
        write_recent_entries(box, read_recent_entries(file, ring));
      }
      box << "\n";
    }
    if (footer) box << footer;

    switch (MessageBoxA(owner, box.str().c_str(), caption, style | MB_ICONHAND | MB_SETFOREGROUND | MB_TOPMOST)) {
      case IDCANCEL:
      case IDABORT:
        return report_cancel;
      case IDRETRY:
      case IDTRYAGAIN:
        return report_retry;
      case IDIGNORE:
      case IDCONTINUE:
        return report_ignore;
      default:
        return 0;
    }
  } catch (const std::exception& e) {
    error_log << "t::report_error() failed with std::exception: " << e.what() << std::endl;
    return report_cancel;
  } catch (...) {
    error_log << "t::report_error() failed" << std::endl;
    return report_cancel;
  }
}

int report_exception(const Exception& exception, unsigned buttons, HWND owner, const char* footer) {
  return report_error(exception.what(), type_name(typeid(exception)).c_str(), buttons, owner, footer);
}

int show_assertion_message(const SourceLocation& location, const char* message) {
  if (++assertion_nesting > 0) {
    --assertion_nesting;
    if (LogEntry entry = assertion_error_log.default_entry()) {
      std::ostream& out = *entry.stream();
      out << "Nested failed assertion: \n" << indent;
      write_location(out, location);
      out << (message ? message : "") << std::endl;
    }
    return assertion_ignore;
  }
  try {
    HWND owner = GetActiveWindow();
    if (owner) {
      if (HWND popup = GetLastActivePopup(owner)) owner = popup;
    }
    // The box runs its own message loop: a pending WM_QUIT would end it at
    // once, so it waits aside until the box is closed.
    MSG quit{};
    const bool had_quit = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;

    std::ostringstream footer;
    if (location.file && *location.file) footer << "File:     " << location.file << "\n";
    if (location.line != 0) footer << "Line:     " << location.line << "\n";
    if (location.function) footer << "Function: " << location.function << "\n";
    footer << "\nPress 'Abort'  to stop program execution\n"
              "Press 'Retry'  to debug program\n"
              "Press 'Ignore' to continue program execution\n";

    int r = report_error(message, "Assertion failed!", 7, owner, footer.str().c_str());
    if (had_quit) PostQuitMessage(static_cast<int>(quit.wParam));
    --assertion_nesting;
    if (r == report_ignore) return assertion_ignore;
    if (r == report_retry) return assertion_retry;
    return assertion_abort;
  } catch (...) {
    if (LogEntry entry = assertion_error_log.default_entry()) {
      std::ostream& out = *entry.stream();
      out << "\n" << indent;
      write_location(out, location);
      out << std::endl << indent << "Unexpected exception within t::show_assertion_message()" << std::endl;
    }
    --assertion_nesting;
    return assertion_abort;
  }
}

bool assertion_choice(int outcome) {
  if (outcome == assertion_retry) return true;
  if (outcome == assertion_ignore) return false;
  std::raise(SIGABRT);
  return true;
}

}  // namespace talvo
