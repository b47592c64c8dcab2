// The file interface under the stream buffers and the log, and its
// implementation over a Win32 file handle.
#pragma once

#include <cstdint>

#include "platform/win_types.h"
#include "talvo/Exception.h"

namespace talvo {

class AbstractFile {
 public:
  // Open mode bits (fixed numbers, whatever the standard library uses).
  static constexpr uint32_t app = 1;      // every write goes to the end
  static constexpr uint32_t ate = 2;      // the position goes to the end at open
  static constexpr uint32_t binary = 4;   // no line-end or end-of-data handling
  static constexpr uint32_t in = 8;       // read
  static constexpr uint32_t out = 16;     // write
  static constexpr uint32_t trunc = 32;   // truncate
  // Seek origins.
  static constexpr int beg = 1;
  static constexpr int cur = 2;
  static constexpr int end = 4;

  // The unit of the stream buffer and log line buffer sizes.
  static uint32_t page_size;

  AbstractFile();
  AbstractFile(const AbstractFile&) = delete;
  AbstractFile& operator=(const AbstractFile&) = delete;
  virtual ~AbstractFile() = default;

  // On success the mode is kept; a failed open leaves it as it was.
  bool open(const char* name, uint32_t mode);
  // False when the file was not open or could not be closed (it then stays
  // open).
  bool close();
  uint32_t mode() const { return mode_; }
  bool is_open() const { return mode_ != 0; }

  // Writes count input bytes; in text mode each LF goes to the file as CR LF.
  // Returns the number of input bytes written.
  int32_t write_text(const char* data, int32_t count);
  // The bytes [first, last) take in the file: one more per LF in text mode.
  int64_t text_length(const char* first, const char* last) const;

  virtual int64_t size() = 0;
  virtual bool flush() = 0;
  // Counts delivered or written; a failure is logged and described by
  // last_error.
  virtual int32_t read(void* buffer, int32_t count) = 0;
  virtual int32_t write(const void* data, int32_t count) = 0;
  // The new position, or -1.
  virtual int64_t seek(int64_t offset, int origin) = 0;
  // The description of the last failure, owned by the file.
  virtual ErrorInfo* last_error() = 0;

 protected:
  virtual bool do_open(const char* name, uint32_t mode) = 0;
  virtual bool do_close() = 0;

  uint32_t mode_ = 0;
};

class File : public AbstractFile {
 public:
  File();
  ~File() override;

  bool open_with_attributes(const char* name, uint32_t mode, DWORD attributes);
  // Adopts a handle the caller opened and keeps owning; refused when the
  // file is open or the handle is INVALID_HANDLE_VALUE.
  bool attach(HANDLE handle, uint32_t mode);
  HANDLE handle() const { return handle_; }

  int64_t size() override;
  bool flush() override;
  int32_t read(void* buffer, int32_t count) override;
  int32_t write(const void* data, int32_t count) override;
  int64_t seek(int64_t offset, int origin) override;
  ErrorInfo* last_error() override { return &error_; }

 protected:
  bool do_open(const char* name, uint32_t mode) override;
  bool do_close() override;

 private:
  // Takes the thread's last error into error_ and logs what failed.
  void fail(const char* what);
  // Moves the file pointer; the new position or -1.
  int64_t move_pointer(int64_t offset, DWORD method);

  HANDLE handle_;
  bool owns_handle_ = false;
  SystemErrorInfo error_;
};

// True when the path names an existing file or directory.
bool file_exists(const char* name);

}  // namespace talvo
