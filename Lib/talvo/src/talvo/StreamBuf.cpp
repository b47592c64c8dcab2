#include "talvo/StreamBuf.h"

#include <algorithm>
#include <cstdlib>

#include "talvo/ZipFile.h"

namespace talvo {
namespace io {
namespace {

using traits = std::char_traits<char>;

const std::streampos no_position = std::streampos(std::streamoff(-1));

// The default buffer size: the smallest multiple of the page size that is
// not below 4096.
size_t default_buffer_size() {
  const size_t page = AbstractFile::page_size ? AbstractFile::page_size : 4096;
  return (4096 + page - 1) / page * page;
}

}  // namespace

// BasicFileBuf

BasicFileBuf::BasicFileBuf() = default;

BasicFileBuf::~BasicFileBuf() {
  if (owns_internal_) std::free(internal_);
  std::free(external_);
}

void BasicFileBuf::attach(AbstractFile* file, const char* name) {
  file_ = file;
  name_ = name ? name : "";
}

BasicFileBuf* BasicFileBuf::close() {
  if (!is_open()) return nullptr;
  bool ok = true;
  if (output_ && traits::eq_int_type(overflow(traits::eof()), traits::eof())) ok = false;
  reset_areas();
  error_ = false;
  if (!file_->close()) ok = false;
  return ok ? this : nullptr;
}

bool BasicFileBuf::allocate_buffers(char* caller_buffer, size_t n) {
  char* internal = caller_buffer ? caller_buffer : static_cast<char*>(std::malloc(n));
  if (!internal) return false;
  char* external = static_cast<char*>(std::malloc(n));
  if (!external) {
    if (!caller_buffer) std::free(internal);
    return false;
  }
  internal_ = internal;
  internal_end_ = internal + n;
  owns_internal_ = caller_buffer == nullptr;
  external_ = external;
  external_end_ = external + n;
  return true;
}

std::streambuf* BasicFileBuf::setbuf(char_type* buffer, std::streamsize n) {
  if (input_ || output_ || error_ || external_) return this;
  if (!buffer && n == 0) {
    allocate_buffers(nullptr, 1);
  } else if (buffer && n > 0) {
    allocate_buffers(buffer, static_cast<size_t>(n));
  }
  return this;
}

bool BasicFileBuf::enter_input() {
  if (!is_open() || !(file_->mode() & AbstractFile::in) || output_ || error_) return false;
  if (!external_ && !allocate_buffers(nullptr, default_buffer_size())) return false;
  input_ = true;
  setg(external_, external_, external_);
  return true;
}

bool BasicFileBuf::enter_output() {
  if (!is_open() || !(file_->mode() & AbstractFile::out) || input_ || error_) return false;
  if (!external_ && !allocate_buffers(nullptr, default_buffer_size())) return false;
  output_ = true;
  // The last character is kept for the one overflow receives.
  setp(internal_, internal_end_ - 1);
  return true;
}

void BasicFileBuf::restore_get_area() {
  setg(saved_begin_, saved_current_, saved_end_);
  putback_mode_ = false;
}

void BasicFileBuf::reset_areas() {
  input_ = false;
  read_failed_ = false;
  output_ = false;
  putback_mode_ = false;
  setg(external_, external_, external_);
  setp(nullptr, nullptr);
}

void BasicFileBuf::enter_error() {
  input_ = false;
  output_ = false;
  error_ = true;
  setp(nullptr, nullptr);
}

BasicFileBuf::int_type BasicFileBuf::underflow() {
  if (input_ && putback_mode_) {
    restore_get_area();
    if (gptr() < egptr()) return traits::to_int_type(*gptr());
  }
  if (input_ && gptr() < egptr()) return traits::to_int_type(*gptr());
  if (!input_ && !enter_input()) return traits::eof();
  // Without conversion nothing of the last block is left over: the whole
  // external buffer is filled anew and handed out as it is.
  const int32_t n = file_->read(external_, static_cast<int32_t>(external_end_ - external_));
  read_failed_ = n < 0;
  if (n <= 0) {
    // A later read may succeed: no error mode.
    setg(external_, external_, external_);
    return traits::eof();
  }
  setg(external_, external_, external_ + n);
  return traits::to_int_type(*gptr());
}

BasicFileBuf::int_type BasicFileBuf::overflow(int_type c) {
  if (!output_ && !enter_output()) return traits::eof();
  char* end = pptr();
  if (!traits::eq_int_type(c, traits::eof())) *end++ = traits::to_char_type(c);
  const int32_t n = static_cast<int32_t>(end - pbase());
  if (n > 0 && file_->write_text(pbase(), n) != n) {
    enter_error();
    return traits::eof();
  }
  setp(internal_, internal_end_ - 1);
  return traits::not_eof(c);
}

int BasicFileBuf::sync() {
  if (output_ && traits::eq_int_type(overflow(traits::eof()), traits::eof())) return -1;
  return 0;
}

BasicFileBuf::int_type BasicFileBuf::pbackfail(int_type c) {
  if (!input_) return traits::eof();
  const bool no_char = traits::eq_int_type(c, traits::eof());
  if (gptr() > eback()) {
    gbump(-1);
    if (no_char || traits::eq(traits::to_char_type(c), *gptr())) return traits::to_int_type(*gptr());
    *gptr() = traits::to_char_type(c);
    return c;
  }
  if (no_char) return traits::eof();
  if (!putback_mode_) {
    saved_begin_ = eback();
    saved_current_ = gptr();
    saved_end_ = egptr();
    putback_mode_ = true;
    char* last = putback_ + putback_size - 1;
    setg(last, last, last + 1);
  } else {
    if (eback() == putback_) return traits::eof();
    setg(eback() - 1, eback() - 1, egptr());
  }
  *gptr() = traits::to_char_type(c);
  return c;
}

std::streamsize BasicFileBuf::showmanyc() {
  if (!is_open() || output_ || error_) return -1;
  if (putback_mode_) return egptr() - gptr();
  const int64_t size = file_->size();
  const int64_t position = file_->seek(0, AbstractFile::cur);
  return position >= 0 && size > position ? size - position : 0;
}

bool BasicFileBuf::prepare_seek() {
  error_ = false;
  if (output_ && traits::eq_int_type(overflow(traits::eof()), traits::eof())) return false;
  if (putback_mode_) restore_get_area();
  return true;
}

std::streampos BasicFileBuf::seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode) {
  if (!is_open()) return no_position;
  // Character counts and file bytes only agree in binary mode.
  if (offset != 0 && !(file_->mode() & AbstractFile::binary)) return no_position;
  if (!prepare_seek()) return no_position;
  int64_t result;
  if (direction == std::ios_base::beg) {
    result = file_->seek(offset, AbstractFile::beg);
  } else if (direction == std::ios_base::end) {
    result = file_->seek(offset, AbstractFile::end);
  } else if (!input_) {
    result = file_->seek(offset, AbstractFile::cur);
  } else {
    // The file stands after the get area; its unread part still lies ahead.
    const int64_t here = file_->seek(0, AbstractFile::cur);
    if (here < 0) return no_position;
    const int64_t unread = file_->text_length(gptr(), egptr());
    if (offset == 0) return here - unread;
    if (offset >= eback() - gptr() && offset <= egptr() - gptr()) {
      gbump(static_cast<int>(offset));
      return here - unread + offset;
    }
    result = file_->seek(offset - unread, AbstractFile::cur);
  }
  if (result < 0) return no_position;
  reset_areas();
  return result;
}

std::streampos BasicFileBuf::seekpos(pos_type position, std::ios_base::openmode) {
  if (!is_open() || !prepare_seek()) return no_position;
  const off_type target = off_type(position);
  if (target == -1) return no_position;
  if (file_->seek(target, AbstractFile::beg) < 0) return no_position;
  reset_areas();
  return position;
}

// FileBuf

FileBuf::FileBuf() { attach(&file_, nullptr); }

FileBuf::FileBuf(HANDLE handle, uint32_t mode) {
  file_.attach(handle, mode);
  attach(&file_, nullptr);
}

FileBuf::FileBuf(const char* name, uint32_t mode) {
  file_.open(name, mode);
  attach(&file_, name);
}

FileBuf::~FileBuf() { close(); }

FileBuf* FileBuf::open(const char* name, uint32_t mode) { return file_.open(name, mode) ? this : nullptr; }

// ZipFileBuf

ZipFileBuf::ZipFileBuf(ZipFile* file) : zip_file_(file) { attach(file, nullptr); }

ZipFileBuf::~ZipFileBuf() {
  close();
  delete zip_file_;
}

// MemBuf

MemBuf::~MemBuf() { std::free(block_); }

void MemBuf::set_data(char* block, size_t length, size_t capacity) {
  std::free(block_);
  block_ = block;
  setg(block, block, block);
  setp(block + length, block + capacity);
}

MemBuf::int_type MemBuf::underflow() {
  if (gptr() < egptr()) return traits::to_int_type(*gptr());
  if (egptr() >= pptr()) return traits::eof();
  setg(eback(), gptr(), pptr());
  return traits::to_int_type(*gptr());
}

MemBuf::int_type MemBuf::overflow(int_type c) {
  if (traits::eq_int_type(c, traits::eof())) return traits::eof();
  if (pptr() == epptr()) {
    const size_t capacity = static_cast<size_t>(epptr() - block_);
    const size_t grown = std::max<size_t>(capacity * 2, 4096);
    const ptrdiff_t get = gptr() - block_;
    const ptrdiff_t readable = egptr() - block_;
    const ptrdiff_t put = pptr() - block_;
    char* block = static_cast<char*>(std::realloc(block_, grown));
    if (!block) {
      setg(block_, block_, block_);
      setp(block_, block_);
      return traits::eof();
    }
    block_ = block;
    setg(block, block + get, block + readable);
    setp(block + put, block + grown);
  }
  *pptr() = traits::to_char_type(c);
  char* after = pptr() + 1;
  setg(eback(), gptr(), std::max(egptr(), after));
  setp(after, epptr());
  return c;
}

std::streampos MemBuf::seekpos(pos_type position, std::ios_base::openmode which) {
  const off_type target = off_type(position);
  if (target < 0) return no_position;
  // Everything written so far is readable.
  const off_type readable = std::max(egptr(), pptr()) - block_;
  const off_type capacity = epptr() - block_;
  if ((which & std::ios_base::in) && target > readable) return no_position;
  if ((which & std::ios_base::out) && target > capacity) return no_position;
  if (which & std::ios_base::in) setg(block_, block_ + target, block_ + readable);
  if (which & std::ios_base::out) setp(block_ + target, epptr());
  return position;
}

std::streampos MemBuf::seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) {
  switch (direction) {
    case std::ios_base::beg:
      return seekpos(offset, which);
    case std::ios_base::cur:
      if (which & std::ios_base::in) return seekpos((gptr() - block_) + offset, std::ios_base::in);
      if (which & std::ios_base::out) return seekpos((pptr() - block_) + offset, std::ios_base::out);
      return no_position;
    case std::ios_base::end:
      return seekpos((epptr() - block_) + offset, which);
    default:
      return no_position;
  }
}

}  // namespace io
}  // namespace talvo
