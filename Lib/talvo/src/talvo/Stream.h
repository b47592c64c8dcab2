// Streams of the io layer. A stream reads through one stream buffer, keeps
// the state bits 1 bad, 2 end of file and 4 fail, and throws
// talvo::io::Failure when a bit it sets meets its exception mask (bad and
// fail by default; end of file alone never throws then).
//
// Opening reads the stream header unless the raw flag is set: a native
// header ("talvo::io::Stream" and an option word) or a legacy "rw1"/"rw2"
// header, whose zlib-packed data is unpacked into memory. Data without a
// header is read from its start.
//
//   talvo::io::IArcStream in;            // a plain file or a zip member
//   in.set_flags(in.flags() | talvo::io::Stream::raw);
//   in.open("data\\pics\\a.bmp", talvo::AbstractFile::in, talvo::io::Stream::badbit | talvo::io::Stream::failbit);
//   in.read_all(header, 54);             // throws on a short read
#pragma once

#include <cstdint>
#include <streambuf>

#include "talvo/Exception.h"
#include "talvo/File.h"
#include "talvo/StreamBuf.h"

namespace talvo {
namespace io {

class Registry;

class Stream {
 public:
  // State bits.
  static constexpr uint32_t badbit = 1;
  static constexpr uint32_t eofbit = 2;
  static constexpr uint32_t failbit = 4;
  // Flags: the data is in the native format (cleared for every other
  // header); the data is raw (no header is looked for at open).
  static constexpr uint32_t native_format = 2;
  static constexpr uint32_t raw = 4;

  // The description of a stream header failure: the code's text, the base
  // buffer's own error description, then the cause.
  class Error : public ErrorInfo {
   public:
    Error(int32_t code, const Stream* stream, const ErrorInfo* cause = nullptr)
        : ErrorInfo(nullptr, cause), code(code), stream(stream) {}
    size_t describe(char* buffer, size_t size) const override;

    int32_t code;  // 0 none, 1 to 5
    const Stream* stream;
  };

  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  virtual const char* type() const { return ""; }
  virtual ~Stream() = default;

  uint32_t rdstate() const { return state_; }
  bool good() const { return (state_ & (badbit | eofbit | failbit)) == 0; }
  bool bad() const { return (state_ & badbit) != 0; }
  bool eof() const { return (state_ & eofbit) != 0; }
  // The fail bit alone.
  bool fail() const { return (state_ & failbit) != 0; }

  // State 0 (bad without a buffer), then the throw check.
  void clear();
  void setstate(uint32_t bits);
  // As setstate; a throw carries the description.
  void setstate(uint32_t bits, const ErrorInfo* description);
  // Fail, plus bad without a buffer; a throw carries the description.
  void set_failed(const ErrorInfo* description = nullptr);
  uint32_t exceptions() const { return mask_; }
  // Stores the mask (bad is set without a buffer), then the throw check.
  void exceptions(uint32_t mask);

  uint32_t flags() const { return flags_; }
  void set_flags(uint32_t flags) { flags_ = flags; }

  std::streambuf* buffer() const { return buffer_; }
  // The buffer that describes failures; null when the buffer is none.
  StreamBufEx* base_buffer() const { return base_; }
  // Installs the buffer (and as base buffer when it is one); returns the
  // previous buffer.
  std::streambuf* set_buffer(std::streambuf* buffer);

  Registry* registry() const { return registry_; }
  void set_registry(Registry* registry) { registry_ = registry; }

  // Throws the talvo::io::Failure of every stream failure, logged: from the
  // description, or "i/o error" without one; named after the base buffer
  // (or the buffer's type) when the description has no name.
  [[noreturn]] void throw_failure_(const ErrorInfo* description) const;

 protected:
  Stream() = default;
  // The buffer (not owned) and the registry; state bad without a buffer,
  // mask bad and fail, flags native.
  void init(std::streambuf* buffer, Registry* registry);

  uint32_t state_ = 0;
  uint32_t mask_ = 0;
  uint32_t flags_ = 0;

 private:
  std::streambuf* buffer_ = nullptr;
  StreamBufEx* base_ = nullptr;
  Registry* registry_ = nullptr;
};

// An input stream. Reads either deliver what was asked or leave the stream
// failed (and throw when the mask has fail). A read that stops at the end of
// the data sets end of file; one that stops because the buffer's read failed
// (a damaged zip member) sets bad instead.
class IStream : public virtual Stream {
 public:
  // Over a buffer of the caller's (not owned), without a header.
  explicit IStream(std::streambuf* buffer);
  ~IStream() override;

  // Exactly n bytes, or end of file and fail (bad and fail when the read
  // failed).
  void read_all(void* buffer, std::streamsize n);
  // Up to n bytes; fewer set end of file, none also fail (a failed read:
  // bad and fail).
  std::streamsize read_some(void* buffer, std::streamsize n);
  // read_some on a good stream; otherwise fail and 0.
  std::streamsize read(void* buffer, std::streamsize n);
  // A little-endian word on a good stream; otherwise fail, and the value is
  // untouched (also after a short read).
  IStream& read_u32(uint32_t& value);
  IStream& read_u16(uint16_t& value);
  // The position, or -1 without a buffer or with the fail bit set.
  int64_t tell();
  // The new position, or -1 (no state bit changes either way).
  int64_t seek(int64_t position);

  // The registry the stream owns (and uses); the old one is deleted.
  void set_registry(Registry* registry);
  // Resets the registry, gives up unpacked data, and the data start is 0.
  void reset();
  // Where the data begins after the header that was read.
  int32_t data_start() const { return data_start_; }

 protected:
  IStream() = default;
  // Recognises the header at the current position (see the file comment).
  void read_header();

 private:
  // True for a good stream with a buffer; otherwise fail is set.
  bool ready();
  // sgetn; a throwing buffer leaves bad and fail behind it.
  std::streamsize get(void* buffer, std::streamsize n);
  // After get delivered less than asked: when the buffer's read failed
  // (rather than met the end of the data), sets bad and fail with the
  // buffer's description and returns true.
  bool failed_read();
  void read_legacy(bool rw2);
  // Unpacks zlib data into a memory buffer that replaces the buffer; a
  // shortfall (a zlib status) of reading the packed data refuses it.
  void unpack(const char* packed, uint32_t packed_size, uint32_t unpacked_size, int shortfall);
  // The header is refused: fail, and a throw when the mask asks.
  void refuse(int32_t code, const ErrorInfo* cause = nullptr);

  MemBuf* unpacked_ = nullptr;
  std::streambuf* replaced_ = nullptr;
  Registry* owned_registry_ = nullptr;
  int32_t data_start_ = 0;
};

// A stream over a FileBuf of its own.
template <class S>
class FStreamMixin : public S {
 public:
  // Opens the file (read and binary are always added) after closing the
  // one open before; unless raw, reads the header.
  void open(const char* name, uint32_t mode, uint32_t mask);

 protected:
  FStreamMixin() { this->init(&buffer_, nullptr); }

 private:
  FileBuf buffer_;
};

// A stream over the buffer the archive formats manager gives for a path.
template <class S>
class ArcStreamMixin : public S {
 public:
  ~ArcStreamMixin() override { delete buffer_; }
  // The plain file or the zip member of the name, read binary whatever the
  // mode; unless raw, reads the header.
  void open(const char* name, uint32_t mode, uint32_t mask);

 protected:
  ArcStreamMixin() { this->init(nullptr, nullptr); }

 private:
  BasicFileBuf* buffer_ = nullptr;
};

class IFStream : public FStreamMixin<IStream> {
 public:
  IFStream() = default;
  IFStream(const char* name, uint32_t mode, uint32_t mask = Stream::badbit | Stream::failbit) {
    open(name, mode, mask);
  }
};

// Starts bad until opened.
class IArcStream : public ArcStreamMixin<IStream> {
 public:
  IArcStream() = default;
};

// The least output stream: 4-byte and byte-range writes through a buffer.
// Writes happen only while the stream is good; a short write sets end of
// file and fail.
class OStream : public virtual Stream {
 public:
  explicit OStream(std::streambuf* buffer) { init(buffer, nullptr); }
  OStream& write_u32(uint32_t value);
  OStream& write(const void* data, std::streamsize n);
};

// A zlib status: ": " and zlib's text for it.
class ZipError : public ErrorInfo {
 public:
  explicit ZipError(int32_t code) : code(code) {}
  size_t describe(char* buffer, size_t size) const override;

  int32_t code;
};

extern template class FStreamMixin<IStream>;
extern template class ArcStreamMixin<IStream>;

}  // namespace io
}  // namespace talvo
