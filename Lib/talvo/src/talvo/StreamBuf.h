// Stream buffers of the io layer: a buffered file stream buffer over any
// talvo::AbstractFile, the one that contains its own talvo::File, and a
// buffer over one growable memory block.
//
// Characters are delivered as the file delivers them: the buffers do no
// character conversion of their own (a text-mode file turns CR LF into LF
// itself), whatever locale they are given.
#pragma once

#include <cstdint>
#include <streambuf>
#include <string>

#include "platform/win_types.h"
#include "talvo/Exception.h"
#include "talvo/File.h"

namespace talvo {

class ZipFile;

namespace io {

// A stream buffer that can describe the failure of what lies under it.
class StreamBufEx : public std::streambuf {
 public:
  // The description of the last failure of the underlying file, or null.
  virtual ErrorInfo* last_error() = 0;
  // The name the buffer was given ("" when none).
  virtual const char* name() const = 0;
  // True when the last refill of the get area failed: the end-of-file it
  // returned is a failed read, not the end of the data.
  virtual bool read_failed() const = 0;
};

// A buffered stream buffer over a talvo::AbstractFile (not owned). It is in
// at most one of input, output and error mode: the first read enters input
// mode, the first write output mode, a failed write error mode; a successful
// seek or a close returns to none. Reading while writing (or the other way
// round) fails until a seek.
class BasicFileBuf : public StreamBufEx {
 public:
  static constexpr size_t putback_size = 8;

  BasicFileBuf();
  BasicFileBuf(const BasicFileBuf&) = delete;
  BasicFileBuf& operator=(const BasicFileBuf&) = delete;
  // Frees the buffers; neither flushes nor closes (derived classes close).
  ~BasicFileBuf() override;

  // Stores the file and a copy of the name (null: "").
  void attach(AbstractFile* file, const char* name);
  bool is_open() const { return file_ && file_->mode() != 0; }
  // Writes out pending characters, leaves every mode and closes the file (in
  // any case). Null when the buffer was not open, the final write failed or
  // the file's close failed.
  BasicFileBuf* close();
  AbstractFile* file() const { return file_; }

  ErrorInfo* last_error() override { return file_ ? file_->last_error() : nullptr; }
  const char* name() const override { return name_.c_str(); }
  // A file read of 0 bytes is the end of the data; a negative one (a zip
  // member's CRC or unpacking error) is a failure. Either way the buffer
  // stays usable.
  bool read_failed() const override { return read_failed_; }

 protected:
  std::streambuf* setbuf(char_type* buffer, std::streamsize n) override;
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override;
  int sync() override;
  std::streamsize showmanyc() override;
  int_type underflow() override;
  int_type pbackfail(int_type c) override;
  int_type overflow(int_type c) override;

 private:
  // Allocates both buffers of n characters; the internal one is the
  // caller's when given. False (and nothing allocated) on failure.
  bool allocate_buffers(char* caller_buffer, size_t n);
  bool enter_input();
  bool enter_output();
  // Leaves put-back mode, giving back the saved get area.
  void restore_get_area();
  // Before a seek: leaves error mode, writes out pending characters and
  // leaves put-back mode. False when the write failed.
  bool prepare_seek();
  // After a seek that produced a position: no mode, both areas empty.
  void reset_areas();
  // A failed write: error mode, the put area emptied.
  void enter_error();

  AbstractFile* file_ = nullptr;
  bool owns_internal_ = false;
  bool input_ = false;
  bool output_ = false;
  bool error_ = false;
  bool putback_mode_ = false;
  bool read_failed_ = false;
  // Output goes through the internal buffer; input is read into the
  // external buffer, which is handed out as the get area.
  char* internal_ = nullptr;
  char* internal_end_ = nullptr;
  char* external_ = nullptr;
  char* external_end_ = nullptr;
  // The get area saved while in put-back mode.
  char* saved_begin_ = nullptr;
  char* saved_current_ = nullptr;
  char* saved_end_ = nullptr;
  char putback_[putback_size] = {};
  std::string name_;
};

// A BasicFileBuf over a talvo::File of its own.
class FileBuf : public BasicFileBuf {
 public:
  // Not open, no name.
  FileBuf();
  // Over a handle the caller opened and keeps owning.
  FileBuf(HANDLE handle, uint32_t mode);
  // Opens the file; the name stays even when the open failed.
  FileBuf(const char* name, uint32_t mode);
  ~FileBuf() override;

  // Opens the contained file; the buffer's name is not changed.
  FileBuf* open(const char* name, uint32_t mode);

 private:
  File file_;
};

// A BasicFileBuf over a zip archive member, made by the zip archive format.
class ZipFileBuf : public BasicFileBuf {
 public:
  // Takes ownership of the file.
  explicit ZipFileBuf(ZipFile* file);
  ~ZipFileBuf() override;

 private:
  ZipFile* zip_file_;
};

// A stream buffer over one block allocated with malloc (owned). The block
// starts at the get area's beginning and the put area ends at its capacity;
// what is written becomes readable behind what was there.
class MemBuf : public std::streambuf {
 public:
  MemBuf() = default;
  MemBuf(const MemBuf&) = delete;
  MemBuf& operator=(const MemBuf&) = delete;
  ~MemBuf() override;

  // Takes the block (from malloc) and frees the one held before. Reading
  // starts at the block's start; writing continues at the length, up to the
  // capacity.
  void set_data(char* block, size_t length, size_t capacity);

 protected:
  pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override;
  // A position past what is readable (for reading) or past the capacity
  // (for writing) is refused with -1.
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override;
  int_type underflow() override;
  int_type overflow(int_type c) override;

 private:
  char* block_ = nullptr;
};

}  // namespace io
}  // namespace talvo
