// A member of a zip archive read as a file, over minizip.
//
// The name is "<archive path>?<member path>"; members are found without
// regard to case and delivered as stored (binary and text mode alike). A
// member is read forward; a backward seek opens the member again and skips
// to the position. The CRC of everything delivered is checked when the
// member's end is reached: a mismatch fails that read. Only stored and
// deflated members without encryption are opened: minizip would deliver
// the others' bytes still packed or encrypted.
#pragma once

#include <cstdint>
#include <string>

#include "talvo/Exception.h"
#include "talvo/File.h"

namespace talvo {

class ZipFile : public AbstractFile {
 public:
  // The access to one archive member.
  class Handle {
   public:
    virtual ~Handle() = default;
    virtual bool open(const char* archive, const char* member) = 0;
    virtual bool close() = 0;
    // The count delivered, 0 at the member's end, negative on error.
    virtual int32_t read(void* buffer, int32_t count) = 0;
    // Bytes of the member delivered so far.
    virtual int64_t tell() = 0;
    virtual bool is_open() const = 0;
    // Back to the member's first byte.
    virtual bool rewind() = 0;

    // The last minizip status (UNZ_OK, UNZ_CRCERROR, a zlib error...), or
    // one of the refusals below.
    int status = 0;
  };

  // Statuses of members that are there but cannot be read.
  static constexpr int unsupported_method = -1000;  // neither stored nor deflated
  static constexpr int encrypted_member = -1001;

  // One minizip archive handle with one member open for reading.
  class ReadHandle : public Handle {
   public:
    ~ReadHandle() override;
    bool open(const char* archive, const char* member) override;
    bool close() override;
    int32_t read(void* buffer, int32_t count) override;
    int64_t tell() override;
    bool is_open() const override { return zip_ != nullptr; }
    bool rewind() override;

   private:
    void* zip_ = nullptr;  // unzFile
    unsigned long crc_ = 0;
    unsigned long expected_crc_ = 0;
  };

  // The last minizip status of the member as text.
  class StatusError : public ErrorInfo {
   public:
    size_t describe(char* buffer, size_t size) const override;
    int status = 0;
  };

  ZipFile();
  ~ZipFile() override;

  int32_t read(void* buffer, int32_t count) override;
  int64_t seek(int64_t offset, int origin) override;
  ErrorInfo* last_error() override;
  // A member's size, flushing and writing are not supported: they raise
  // "NOT IMPLEMENTED".
  int64_t size() override;
  bool flush() override;
  int32_t write(const void* data, int32_t count) override;

 protected:
  // A name without "?" and a mode with the write bit raise
  // "NOT IMPLEMENTED".
  bool do_open(const char* name, uint32_t mode) override;
  bool do_close() override;

 private:
  // From the member position to the target, backwards by opening the member
  // again; the target or -1.
  int64_t move_to(int64_t position, int64_t target);
  // Logs the handle's failure on the "talvo.io" warning channel.
  void failed(const char* what);

  Handle* handle_ = nullptr;
  std::string name_;
  StatusError error_;
};

}  // namespace talvo
