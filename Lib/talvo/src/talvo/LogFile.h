// The stream buffer behind the log: it collects the text of log entries,
// prefixes the first line of each entry with the channel and level, indents
// continuation lines under the text, and writes each flushed block to the
// debugger (errors and warnings) and to the log file, which it creates at the
// first flush. Also the names and search rules of the log and settings files.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "talvo/File.h"

namespace talvo {

class LogFileBuf : public std::streambuf {
 public:
  LogFileBuf();
  ~LogFileBuf() override;

  // A non-empty name is kept with the mode; a null or empty one clears the
  // name and sets the mode to 0 (the buffer then refuses all text).
  void set_file(const char* name, uint32_t mode);
  // The name to create, or once created, the path of the open log file.
  const std::string& file_name() const { return file_name_; }

  // An entry of the channel (never null; "" for a channel without a name),
  // level index (0 error, 1 warning, 2 info) and verbosity begins. Text still
  // pending for another channel or level is flushed first.
  void begin_entry(const char* channel, int level, int32_t verbosity);

 protected:
  int sync() override;
  int_type overflow(int_type c) override;

 private:
  // "[channel] " then "error: " or "warning: ".
  std::string line_prefix() const;
  // Writes the pending text (and c) out; c (0 for EOF) or -1 when it went
  // nowhere.
  int_type flush_lines(int_type c);

  bool debugger_;
  File file_;
  uint32_t file_mode_ = 0;
  std::string file_name_;
  std::unique_ptr<char[]> line_;
  size_t line_size_ = 0;
  const char* channel_ = nullptr;
  int level_ = 2;
  int32_t verbosity_ = 0;
  std::string prefix_;
  bool prefix_pending_ = true;
  bool line_start_ = false;
};

// An output stream over a LogFileBuf, left-adjusting padded values.
class LogStream : public std::ostream {
 public:
  using Sentry = std::ostream::sentry;

  // The buffer writes the named file; the write bit is added to the mode.
  LogStream(LogFileBuf* buffer, const char* file_name, uint32_t mode);
  // The buffer keeps no file and refuses all text.
  explicit LogStream(LogFileBuf* buffer);

  LogFileBuf* buffer() const { return buffer_; }

 private:
  LogFileBuf* buffer_;
};

// "<module base name>.log" and "<module base name>.log.ini", fixed for the
// process. The base name is the executable's file name without directory and
// extension, or "_talvo" when it is unknown.
const std::string& log_file_path();
const std::string& log_config_path();

// Opens a file in one directory: (file, directory, name, extension, mode,
// where to store the path that was opened or null).
using OpenInDirectory = bool (*)(File& file, const std::string& directory, const std::string& name,
                                 const std::string& extension, uint32_t mode, std::string* opened);

// Tries the path's own directory, then the program's directory (for a read,
// the first of them that is tried is the only one), then the temporary
// directory, then the current one.
bool open_in_search_dirs(File& file, const std::string& path, uint32_t mode, OpenInDirectory open,
                         std::string* opened = nullptr);
// Opens directory + name + extension. A write first keeps an existing file as
// name + ".prev" + extension; when the file cannot be created, a write falls
// back to create_unique_file with name + "_".
bool open_rotating(File& file, const std::string& directory, const std::string& name,
                   const std::string& extension, uint32_t mode, std::string* opened = nullptr);
// Tries base + 1, 2, ... 9, a, ... z, 10 ... (base 36) + extension, at most
// 101 names.
bool create_unique_file(File& file, const std::string& directory, const std::string& base,
                        const std::string& extension, uint32_t mode, std::string* opened = nullptr);
// open_in_search_dirs with open_rotating.
bool open_log_file(File& file, const std::string& name, uint32_t mode, std::string* opened = nullptr);

}  // namespace talvo
