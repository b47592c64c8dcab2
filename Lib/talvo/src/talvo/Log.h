// Log channels, entries and the per-channel settings.
//
// A channel has a name (or none), one level and a default verbosity; asking
// it for an entry checks the settings and, when they pass, gives an entry
// through which text goes to the channel's stream. Writers end every entry
// with std::endl (or flush): entries never flush on their own.
//
//   talvo::io::error_log << "'" << name << "' open failed: " << error << std::endl;
#pragma once

#include <climits>
#include <cstdint>
#include <map>
#include <mutex>
#include <ostream>
#include <string>

#include "talvo/LogFile.h"
#include "talvo/Ptr.h"

namespace talvo {

// Level flags as channels take them; channels keep a level index (0 error,
// 1 warning, 2 info).
constexpr unsigned log_error_level = 1;
constexpr unsigned log_warning_level = 2;
constexpr unsigned log_info_level = 4;
constexpr unsigned log_all_levels = 7;

// Per-channel thresholds: an entry at verbosity v passes a level whose
// threshold t is at least v (0 is the most important; -1 switches the level
// off). A disable count of 1 or more refuses everything.
struct LogSettings {
  constexpr LogSettings() = default;
  // A copy made for another channel is again an unchanged default copy.
  LogSettings(const LogSettings& other) { *this = other; }
  LogSettings& operator=(const LogSettings& other) {
    disable = other.disable;
    is_default = 1;
    for (int i = 0; i < 3; ++i) threshold[i] = other.threshold[i];
    return *this;
  }

  // For each level in the flags: a threshold below n becomes n.
  void raise_threshold(unsigned levels, int32_t n);
  // For each level in the flags: a threshold above n - 1 becomes n - 1.
  // Returns n - 1.
  int32_t lower_threshold(unsigned levels, int32_t n);

  int32_t disable = 0;
  uint8_t is_default = 1;
  int32_t threshold[3] = {INT_MAX, INT_MAX, INT_MAX};  // error, warning, info
};

// The global switch "!" caps every channel; the defaults "*" are the
// settings of channels without a name and the model new named channels copy.
// Both are constant-initialised, so channels of every source file see them.
extern LogSettings log_switch;
extern LogSettings log_defaults;

// Raises the global switch's disable count while the log works on its own
// files, so it never logs into itself.
class LogSwitchOff {
 public:
  LogSwitchOff() { ++log_switch.disable; }
  ~LogSwitchOff() { --log_switch.disable; }
  LogSwitchOff(const LogSwitchOff&) = delete;
  LogSwitchOff& operator=(const LogSwitchOff&) = delete;
};

// Channel name -> settings; built on first use. Records never move.
std::map<std::string, LogSettings>& log_settings_map();
// "!" and "*" give the switch and the defaults, other names their map
// record; null when absent.
LogSettings* find_log_settings(const std::string& name);
// As find_log_settings, adding a copy of the defaults for a new name.
LogSettings* log_settings_for(const std::string& name);
// Every record (all) or every unchanged default copy becomes a copy of the
// settings.
void apply_log_settings_to_all(const LogSettings& settings, bool all);

// Reads the settings file "<program>.log.ini" (talvo/LogConfig.h); the first
// entry request of the process calls it.
void load_log_config();

// Taken while an entry begins and while the main log stream is built; the
// same thread may take it again.
std::recursive_mutex& log_lock();

// The main log stream ("<module>.log", created at its first flush), built on
// first use.
LogStream* default_log_stream();
// The log file name held by the stream of the unnamed info channel; null
// before that channel has its stream. Once the file is open, it is the path
// that was opened.
const char* log_file_name();

// One message being written. Copies share the stream's output sentry; an
// empty entry (refused by the settings) ignores everything written to it.
class LogEntry {
 public:
  LogEntry() = default;
  explicit LogEntry(LogStream* stream);

  explicit operator bool() const { return stream_ != nullptr; }
  LogStream* stream() const { return stream_; }
  const Ptr<LogStream::Sentry>& sentry() const { return sentry_; }

  template <class T>
  LogEntry& operator<<(const T& value) {
    if (stream_) *stream_ << value;
    return *this;
  }
  LogEntry& operator<<(std::ostream& (*manipulator)(std::ostream&)) {
    if (stream_) manipulator(*stream_);
    return *this;
  }

 private:
  LogStream* stream_ = nullptr;
  Ptr<LogStream::Sentry> sentry_;
};

class LogChannel {
 public:
  using Sink = LogStream* (*)();

  // A named channel over the main log stream, with the settings of its name.
  LogChannel(const char* name, unsigned levels, int32_t verbosity);
  // A channel without a name over the given stream.
  LogChannel(LogStream* stream, unsigned levels, int32_t verbosity);
  // A channel without a name whose stream the sink gives when first needed.
  LogChannel(Sink sink, unsigned levels, int32_t verbosity);
  LogChannel(const LogChannel&) = delete;
  LogChannel& operator=(const LogChannel&) = delete;

  // An entry at verbosity v, or an empty one when the settings refuse it.
  LogEntry entry(int32_t verbosity);
  LogEntry default_entry() { return entry(verbosity_); }

  const std::string& name() const { return name_; }
  int level() const { return level_; }
  int32_t verbosity() const { return verbosity_; }
  LogStream* stream() const { return stream_; }

 private:
  LogEntry begin_entry(const char* name, int level, int32_t verbosity);

  LogStream* stream_ = nullptr;
  Sink sink_ = nullptr;
  std::string name_;
  LogSettings* settings_ = nullptr;
  int level_;
  int32_t verbosity_;
};

// channel << value opens the channel's default entry and writes to it.
template <class T>
LogEntry operator<<(LogChannel& channel, const T& value) {
  LogEntry entry = channel.default_entry();
  entry << value;
  return entry;
}
inline LogEntry operator<<(LogChannel& channel, std::ostream& (*manipulator)(std::ostream&)) {
  LogEntry entry = channel.default_entry();
  entry << manipulator;
  return entry;
}

// The channels of the library, all at verbosity 0.
extern LogChannel error_log;            // unnamed
extern LogChannel warning_log;          // unnamed
extern LogChannel info_log;             // unnamed
extern LogChannel exception_log;        // "exception", error
extern LogChannel assertion_error_log;  // "assertion", error
extern LogChannel assertion_info_log;   // "assertion", info

namespace io {
extern LogChannel info_log;     // "talvo.io"
extern LogChannel warning_log;  // "talvo.io"
extern LogChannel error_log;    // "talvo.io"
}  // namespace io

}  // namespace talvo
