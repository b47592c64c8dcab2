#include "talvo/Log.h"

#include <atomic>

namespace talvo {
namespace {

int level_index(unsigned levels) {
  if (levels & log_error_level) return 0;
  if (levels & log_warning_level) return 1;
  return 2;
}

// True until the first entry request of the process has read the settings.
std::atomic<bool> settings_pending{true};

}  // namespace

constinit LogSettings log_switch;
constinit LogSettings log_defaults;

void LogSettings::raise_threshold(unsigned levels, int32_t n) {
  for (int i = 0; i < 3; ++i) {
    if ((levels & (1u << i)) && threshold[i] < n) {
      threshold[i] = n;
      is_default = 0;
    }
  }
}

int32_t LogSettings::lower_threshold(unsigned levels, int32_t n) {
  int32_t m = n - 1;
  for (int i = 0; i < 3; ++i) {
    if ((levels & (1u << i)) && m < threshold[i]) {
      threshold[i] = m;
      is_default = 0;
    }
  }
  return m;
}

std::map<std::string, LogSettings>& log_settings_map() {
  static std::map<std::string, LogSettings> map;
  return map;
}

LogSettings* find_log_settings(const std::string& name) {
  if (name == "!") return &log_switch;
  if (name == "*") return &log_defaults;
  auto& map = log_settings_map();
  auto it = map.find(name);
  return it == map.end() ? nullptr : &it->second;
}

LogSettings* log_settings_for(const std::string& name) {
  if (LogSettings* found = find_log_settings(name)) return found;
  return &log_settings_map().emplace(name, log_defaults).first->second;
}

void apply_log_settings_to_all(const LogSettings& settings, bool all) {
  for (auto& [name, record] : log_settings_map()) {
    if (all || record.is_default) record = settings;
  }
}

std::recursive_mutex& log_lock() {
  static std::recursive_mutex lock;
  return lock;
}

LogStream* default_log_stream() {
  std::lock_guard<std::recursive_mutex> hold(log_lock());
  static LogFileBuf buffer;
  static LogStream stream(&buffer, log_file_path().c_str(), AbstractFile::out | AbstractFile::trunc);
  return &stream;
}

const char* log_file_name() {
  LogStream* stream = info_log.stream();
  return stream ? stream->buffer()->file_name().c_str() : nullptr;
}

LogEntry::LogEntry(LogStream* stream)
    : stream_(stream), sentry_(stream ? new LogStream::Sentry(*stream) : nullptr) {}

LogChannel::LogChannel(const char* name, unsigned levels, int32_t verbosity)
    : sink_(default_log_stream),
      name_(name ? name : ""),
      settings_(log_settings_for(name_)),
      level_(level_index(levels)),
      verbosity_(verbosity) {}

LogChannel::LogChannel(LogStream* stream, unsigned levels, int32_t verbosity)
    : stream_(stream), level_(level_index(levels)), verbosity_(verbosity) {}

LogChannel::LogChannel(Sink sink, unsigned levels, int32_t verbosity)
    : sink_(sink), level_(level_index(levels)), verbosity_(verbosity) {}

LogEntry LogChannel::entry(int32_t verbosity) {
  if (settings_pending.exchange(false)) load_log_config();
  if (log_switch.disable > 0 || log_switch.threshold[level_] < verbosity) return LogEntry();
  const LogSettings& own = settings_ ? *settings_ : log_defaults;
  if (own.disable >= 1 || own.threshold[level_] < verbosity) return LogEntry();
  return begin_entry(name_.c_str(), level_, verbosity);
}

LogEntry LogChannel::begin_entry(const char* name, int level, int32_t verbosity) {
  std::lock_guard<std::recursive_mutex> hold(log_lock());
  if (!stream_ && sink_) stream_ = sink_();
  if (!stream_) return LogEntry();
  LogEntry entry(stream_);
  stream_->buffer()->begin_entry(name, level, verbosity);
  return entry;
}

// The library's channels, in the order they are built.
LogChannel error_log(default_log_stream, log_error_level, 0);
LogChannel warning_log(default_log_stream, log_warning_level, 0);
LogChannel info_log(default_log_stream, log_info_level, 0);
namespace io {
LogChannel info_log("talvo.io", log_info_level, 0);
LogChannel warning_log("talvo.io", log_warning_level, 0);
LogChannel error_log("talvo.io", log_error_level, 0);
}  // namespace io
LogChannel exception_log("exception", log_error_level, 0);
LogChannel assertion_error_log("assertion", log_error_level, 0);
LogChannel assertion_info_log("assertion", log_info_level, 0);

}  // namespace talvo
