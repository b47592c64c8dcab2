#include "talvo/LogFile.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/path.h"
#include "platform/win32.h"
#include "talvo/Log.h"

namespace talvo {
namespace {

// The executable's path, or "" when it cannot be had.
std::string module_file_name() {
  HMODULE module = GetModuleHandleA(nullptr);
  if (!module) return std::string();
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD n = GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size() && GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string temp_directory() {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n == 0) return std::string();
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(n + 1);
  }
}

size_t last_separator(const std::string& path) { return path.find_last_of("\\/"); }

std::string module_base_name() {
  std::string path = module_file_name();
  if (path.empty()) return "_talvo";
  size_t sep = last_separator(path);
  std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

std::string base36(unsigned n) {
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[n % 36]);
    n /= 36;
  } while (n != 0);
  return digits;
}

bool open_path(File& file, const std::string& path, uint32_t mode, std::string* opened) {
  if (!file.open(path.c_str(), mode)) return false;
  if (opened) *opened = path;
  return true;
}

}  // namespace

LogFileBuf::LogFileBuf() : debugger_(IsDebuggerPresent() != FALSE) {}

LogFileBuf::~LogFileBuf() = default;

void LogFileBuf::set_file(const char* name, uint32_t mode) {
  if (name && *name) {
    file_name_ = name;
    file_mode_ = mode;
  } else {
    file_name_.clear();
    file_mode_ = 0;
  }
}

std::string LogFileBuf::line_prefix() const {
  std::string prefix;
  if (channel_) {
    prefix += '[';
    prefix += channel_;
    prefix += "] ";
  }
  if (level_ == 0) prefix += "error: ";
  if (level_ == 1) prefix += "warning: ";
  return prefix;
}

void LogFileBuf::begin_entry(const char* channel, int level, int32_t verbosity) {
  if (pptr() > pbase()) {
    const char* now = channel_ ? channel_ : "";
    const char* next = channel ? channel : "";
    if (level != level_ || std::strcmp(now, next) != 0) flush_lines(traits_type::eof());
  }
  channel_ = channel;
  level_ = level;
  verbosity_ = verbosity;
  prefix_ = line_prefix();
  prefix_pending_ = true;
  line_start_ = false;
}

LogFileBuf::int_type LogFileBuf::overflow(int_type c) {
  if (!(file_mode_ & AbstractFile::out)) return traits_type::eof();
  if (!line_) {
    line_size_ = AbstractFile::page_size;
    line_.reset(new char[line_size_]);
    // The last two bytes take the character that triggers a flush and the
    // terminating NUL.
    setp(line_.get(), line_.get() + line_size_ - 2);
    if (traits_type::eq_int_type(c, traits_type::eof())) return 0;
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }
  return flush_lines(c);
}

int LogFileBuf::sync() { return flush_lines(traits_type::eof()) == -1 ? -1 : 0; }

LogFileBuf::int_type LogFileBuf::flush_lines(int_type c) {
  const bool is_eof = traits_type::eq_int_type(c, traits_type::eof());
  char* end = pptr();
  if (!is_eof) *end++ = traits_type::to_char_type(c);
  const char* text = pbase();
  if (end == text) return is_eof ? 0 : c;
  *end = '\0';

  if (!file_.is_open() && !file_name_.empty()) {
    LogSwitchOff off;
    std::string opened;
    if (open_log_file(file_, file_name_, file_mode_, &opened)) {
      file_name_ = opened;
    } else {
      file_name_.clear();  // no later flush tries again
    }
  }

  const size_t width = prefix_.size();
  std::string out;
  out.reserve(static_cast<size_t>(end - text) + width + 16);
  if (prefix_pending_) {
    out = prefix_;
    prefix_pending_ = false;
  } else if (line_start_) {
    out.assign(width, ' ');
    line_start_ = false;
  }
  for (const char* p = text; p < end; ++p) {
    out += *p;
    if (*p == '\n' && p + 1 < end) out.append(width, ' ');
  }
  if (end[-1] == '\n') line_start_ = true;

  bool written = false;
  if (debugger_) {
    if (level_ == 0 || level_ == 1) OutputDebugStringA(out.c_str());
    written = true;
  }
  if (file_.is_open()) {
    // A failing write reports itself on a channel that may be this very
    // buffer; the log stays silent meanwhile.
    LogSwitchOff off;
    if (file_.write_text(out.data(), static_cast<int32_t>(out.size())) > 0) written = true;
  }
  setp(line_.get(), line_.get() + line_size_ - 2);
  if (!written) return -1;
  return is_eof ? 0 : c;
}

LogStream::LogStream(LogFileBuf* buffer, const char* file_name, uint32_t mode)
    : std::ostream(buffer), buffer_(buffer) {
  buffer->set_file(file_name, mode | AbstractFile::out);
  setf(std::ios_base::left, std::ios_base::adjustfield);
}

LogStream::LogStream(LogFileBuf* buffer) : std::ostream(buffer), buffer_(buffer) {
  setf(std::ios_base::left, std::ios_base::adjustfield);
}

const std::string& log_file_path() {
  static const std::string path = module_base_name() + ".log";
  return path;
}

const std::string& log_config_path() {
  static const std::string path = module_base_name() + ".log.ini";
  return path;
}

bool open_in_search_dirs(File& file, const std::string& path, uint32_t mode, OpenInDirectory open,
                         std::string* opened) {
  if (file.is_open()) return false;
  const bool reading = (mode & AbstractFile::in) != 0;
  size_t sep = last_separator(path);
  std::string directory = sep == std::string::npos ? std::string() : path.substr(0, sep);
  std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
  std::string extension;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) {
    extension = name.substr(dot);
    name.erase(dot);
  }

  if (!directory.empty()) {
    if (open(file, directory, name, extension, mode, opened)) return true;
    if (reading) return false;
  }
  std::string program = module_file_name();
  size_t program_sep = last_separator(program);
  if (program_sep != std::string::npos) {
    if (open(file, program.substr(0, program_sep + 1), name, extension, mode, opened)) return true;
    if (reading) return false;
  }
  std::string temp = temp_directory();
  if (!temp.empty() && open(file, temp, name, extension, mode, opened)) return true;
  return open(file, ".\\", name, extension, mode, opened);
}

bool open_rotating(File& file, const std::string& directory, const std::string& name,
                   const std::string& extension, uint32_t mode, std::string* opened) {
  std::string dir = directory;
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  std::string path = dir + name + extension;
  if ((mode & (AbstractFile::out | AbstractFile::trunc)) && file_exists(path.c_str())) {
    std::string previous = plat::resolvePath(dir + name + ".prev" + extension);
    std::remove(previous.c_str());
    std::rename(plat::resolvePath(path).c_str(), previous.c_str());
  }
  if (open_path(file, path, mode, opened)) return true;
  if (mode & AbstractFile::in) return false;
  return create_unique_file(file, dir, name + "_", extension, mode, opened);
}

bool create_unique_file(File& file, const std::string& directory, const std::string& base,
                        const std::string& extension, uint32_t mode, std::string* opened) {
  for (unsigned counter = 1; counter <= 101; ++counter) {
    if (counter > 1) info_log << "can't create unique file, trying again" << std::endl;
    if (open_path(file, directory + base + base36(counter) + extension, mode, opened)) return true;
  }
  return file.is_open();
}

bool open_log_file(File& file, const std::string& name, uint32_t mode, std::string* opened) {
  return open_in_search_dirs(file, name, mode, open_rotating, opened);
}

}  // namespace talvo
