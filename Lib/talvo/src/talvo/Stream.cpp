#include "talvo/Stream.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "talvo/Archive.h"
#include "talvo/Log.h"
#include "talvo/Registry.h"
#include "talvo/Report.h"

namespace talvo {
namespace io {
namespace {

constexpr char native_magic[] = "talvo::io::Stream";  // 17 characters, stored without terminator
constexpr size_t native_magic_size = sizeof native_magic - 1;

// A header word as stored: little-endian.
constexpr uint32_t stored_word(const char* bytes) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[0])) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[3])) << 24;
}

constexpr uint32_t rw1_magic = stored_word("rw1");  // with its terminator
constexpr uint32_t rw2_magic = stored_word("rw2");
constexpr uint32_t native_start = stored_word(native_magic);

// Legacy header flags and packers.
constexpr uint32_t legacy_packed = 1;
constexpr uint32_t legacy_encrypted = 2;
constexpr uint32_t packer_brelox = 0;
constexpr uint32_t packer_zlib = 1;

// Sizes a legacy header may give for its unpacked data: zlib never packs
// better than 1032 to 1, and nothing the program reads comes near 256 MiB.
constexpr uint64_t max_unpack_ratio = 1032;
constexpr uint64_t max_unpacked_size = 256u << 20;

const char* const error_texts[] = {
    nullptr,
    "reading rw1 header failed",
    "g1rw streams packed with brelox are not supported",
    "Encrypted g1rw streams are not supported",
    "Unknown g1rw stream packer type",
    "z_uncompress() failed while opening g1rw stream",
};

struct FreeBlock {
  void operator()(char* block) const { std::free(block); }
};
using Block = std::unique_ptr<char, FreeBlock>;

// Sets a mask for a while; the old one comes back however the scope ends.
class MaskScope {
 public:
  MaskScope(uint32_t& mask, uint32_t temporary) : mask_(mask), saved_(mask) { mask = temporary; }
  ~MaskScope() { mask_ = saved_; }

 private:
  uint32_t& mask_;
  uint32_t saved_;
};

}  // namespace

// Stream

void Stream::init(std::streambuf* buffer, Registry* registry) {
  set_buffer(buffer);
  registry_ = registry;
  state_ = buffer ? 0 : badbit;
  mask_ = badbit | failbit;
  flags_ = native_format;
}

std::streambuf* Stream::set_buffer(std::streambuf* buffer) {
  std::streambuf* previous = buffer_;
  buffer_ = buffer;
  base_ = dynamic_cast<StreamBufEx*>(buffer);
  return previous;
}

void Stream::clear() {
  state_ = buffer_ ? 0 : badbit;
  setstate(0);
}

void Stream::setstate(uint32_t bits) { setstate(bits, nullptr); }

void Stream::setstate(uint32_t bits, const ErrorInfo* description) {
  state_ |= bits;
  if (state_ & mask_) throw_failure_(description);
}

void Stream::set_failed(const ErrorInfo* description) {
  setstate(buffer_ ? failbit : failbit | badbit, description);
}

void Stream::exceptions(uint32_t mask) {
  mask_ = mask;
  if (!buffer_) state_ |= badbit;
  setstate(0);
}

void Stream::throw_failure_(const ErrorInfo* description) const {
  const TextualErrorInfo io_error("i/o error");
  if (!description) description = &io_error;
  std::string buffer_type;
  const char* name = nullptr;
  if (!description->name || !*description->name) {
    if (base_) {
      name = base_->name();
    } else if (buffer_) {
      buffer_type = type_name(typeid(*buffer_));
      name = buffer_type.c_str();
    }
  }
  const ErrorInfo outer(name, description);
  throw_logged({"\\Lib\\talvo\\src\\talvo\\stream.cpp", 61, "talvo::io::Stream::throw_failure_"}, Failure(outer));
}

size_t Stream::Error::describe(char* buffer, size_t size) const {
  if (!buffer || size == 0) return 0;
  buffer[0] = '\0';
  size_t n = 0;
  if (code >= 1 && code <= 5) n = format_bounded(buffer, size, " %s", error_texts[code]);
  StreamBufEx* base = stream ? stream->base_buffer() : nullptr;
  if (const ErrorInfo* own = base ? base->last_error() : nullptr) {
    n += own->describe(buffer + n, size - n);
    if (n >= size) n = size - 1;
  }
  return n + ErrorInfo::describe(buffer + n, size - n);
}

size_t ZipError::describe(char* buffer, size_t size) const {
  if (!buffer || size == 0) return 0;
  const size_t n = format_bounded(buffer, size, ": %s", zError(code));
  return n + ErrorInfo::describe(buffer + n, size - n);
}

// IStream

IStream::IStream(std::streambuf* buffer) { init(buffer, nullptr); }

IStream::~IStream() {
  delete unpacked_;
  delete owned_registry_;
}

std::streamsize IStream::get(void* buffer, std::streamsize n) {
  try {
    return Stream::buffer()->sgetn(static_cast<char*>(buffer), n);
  } catch (...) {
    state_ |= badbit | failbit;
    throw;
  }
}

bool IStream::failed_read() {
  StreamBufEx* base = base_buffer();
  if (!base || !base->read_failed()) return false;
  setstate(badbit | failbit, base->last_error());
  return true;
}

void IStream::read_all(void* buffer, std::streamsize n) {
  if (!Stream::buffer()) {
    setstate(badbit | eofbit | failbit);
    return;
  }
  if (get(buffer, n) < n && !failed_read()) setstate(eofbit | failbit);
}

std::streamsize IStream::read_some(void* buffer, std::streamsize n) {
  if (!Stream::buffer()) {
    setstate(badbit | eofbit | failbit);
    return 0;
  }
  const std::streamsize got = get(buffer, n);
  if (got < n && !failed_read()) setstate(got == 0 ? eofbit | failbit : eofbit);
  return got;
}

bool IStream::ready() {
  if (good() && Stream::buffer()) return true;
  set_failed();
  return false;
}

std::streamsize IStream::read(void* buffer, std::streamsize n) { return ready() ? read_some(buffer, n) : 0; }

IStream& IStream::read_u32(uint32_t& value) {
  char bytes[4];
  if (!ready()) return *this;
  read_all(bytes, 4);
  if (!fail()) value = stored_word(bytes);
  return *this;
}

IStream& IStream::read_u16(uint16_t& value) {
  unsigned char bytes[2];
  if (!ready()) return *this;
  read_all(bytes, 2);
  if (!fail()) value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  return *this;
}

int64_t IStream::tell() {
  if (!Stream::buffer() || fail()) return -1;
  return Stream::buffer()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
}

int64_t IStream::seek(int64_t position) {
  if (!Stream::buffer() || fail() || position == -1) return -1;
  return Stream::buffer()->pubseekpos(position, std::ios_base::in);
}

void IStream::set_registry(Registry* registry) {
  Registry* old = owned_registry_;
  Stream::set_registry(registry);
  owned_registry_ = registry;
  if (old != registry) delete old;
}

void IStream::reset() {
  if (Registry* current = registry()) current->reset();
  if (unpacked_) {
    // The file's own buffer again, which also describes its failures.
    set_buffer(replaced_);
    delete unpacked_;
    unpacked_ = nullptr;
    replaced_ = nullptr;
  }
  data_start_ = 0;
}

void IStream::read_header() {
  const int64_t start = tell();
  if (start == -1) flags_ &= ~native_format;
  set_registry(nullptr);

  // The magic, tentatively: a short read leaves no trace, and only bad
  // throws.
  const uint32_t saved_state = state_;
  uint32_t magic = 0;
  bool have_magic;
  {
    MaskScope only_bad(mask_, badbit);
    read_u32(magic);
    have_magic = !fail();
  }
  state_ = saved_state;

  if (have_magic && (magic == rw1_magic || magic == rw2_magic)) {
    read_legacy(magic == rw2_magic);
    return;
  }
  if (have_magic && magic == native_start) {
    char rest[native_magic_size - 4];
    const bool whole = read(rest, sizeof rest) == static_cast<std::streamsize>(sizeof rest);
    if (whole && std::memcmp(rest, native_magic + 4, sizeof rest) == 0) {
      uint32_t options = 0;
      read_u32(options);
      if (!fail()) {
        flags_ |= options & ~1u;
        data_start_ = static_cast<int32_t>(static_cast<uint32_t>(tell()) - static_cast<uint32_t>(start));
        return;
      }
    }
  }

  // No header: the data is read from its start.
  clear();
  set_registry(new Registry1);
  flags_ &= ~native_format;
  if (seek(start) == -1) {
    const TextualErrorInfo error("Failed to open legacy stream.");
    set_failed(&error);
  }
}

void IStream::refuse(int32_t code, const ErrorInfo* cause) {
  const Error error(code, this, cause);
  set_failed(&error);
}

void IStream::read_legacy(bool rw2) {
  if (rw2) {
    set_registry(new G1RwRegistry2);
  } else {
    set_registry(new G1RwRegistry1);
  }
  flags_ &= ~native_format;

  uint32_t flags = 0, packer = 0, reserved = 0, packed_size = 0, unpacked_size = 0;
  for (uint32_t* word : {&flags, &packer, &reserved, &packed_size, &unpacked_size}) {
    read_u32(*word);
    if (fail()) {
      error_log << error_texts[1] << std::endl;
      refuse(1);
      return;
    }
  }
  if (flags & legacy_encrypted) {
    error_log << error_texts[3] << std::endl;
    refuse(3);
    return;
  }
  if (!(flags & legacy_packed)) {
    data_start_ = static_cast<int32_t>(static_cast<uint32_t>(tell()));
    return;
  }

  // The packed data, in a block that grows as the data comes: a packed
  // size that lies costs no more memory than the stream holds.
  Block packed;
  size_t have = 0;
  size_t room = 0;
  int shortfall = Z_OK;
  while (have < packed_size) {
    const size_t want = std::min<size_t>(packed_size, std::max<size_t>(room * 2, 64 * 1024));
    char* grown = static_cast<char*>(std::realloc(packed.get(), want));
    if (!grown) {
      shortfall = Z_MEM_ERROR;
      break;
    }
    packed.release();
    packed.reset(grown);
    room = want;
    have += static_cast<size_t>(get(packed.get() + have, static_cast<std::streamsize>(room - have)));
    if (have < room) {
      if (!failed_read()) state_ |= eofbit;
      shortfall = Z_DATA_ERROR;  // the data ends before the packed size
      break;
    }
  }

  switch (packer) {
    case packer_brelox:
      error_log << error_texts[2] << std::endl;
      refuse(2);
      return;
    case packer_zlib:
      unpack(packed.get(), packed_size, unpacked_size, shortfall);
      return;
    default:
      error_log << error_texts[4] << std::endl;
      refuse(4);
      return;
  }
}

void IStream::unpack(const char* packed, uint32_t packed_size, uint32_t unpacked_size, int shortfall) {
  int status = shortfall;
  Block unpacked;
  uLongf produced = unpacked_size;
  if (status == Z_OK && (unpacked_size > max_unpacked_size || unpacked_size > max_unpack_ratio * packed_size)) {
    status = Z_MEM_ERROR;  // no room is reserved for a size no packed data gives
  }
  if (status == Z_OK) {
    unpacked.reset(static_cast<char*>(std::malloc(std::max<size_t>(unpacked_size, 1))));
    status = unpacked ? uncompress(reinterpret_cast<Bytef*>(unpacked.get()), &produced,
                                   reinterpret_cast<const Bytef*>(packed), packed_size)
                      : Z_MEM_ERROR;
  }
  if (status != Z_OK) {
    error_log << "z_uncompress() failed while opening g1rw stream: " << zError(status) << "." << std::endl;
    const ZipError cause(status);
    refuse(5, &cause);
    return;
  }
  if (!unpacked_) unpacked_ = new MemBuf;
  unpacked_->set_data(unpacked.release(), produced, produced);
  replaced_ = set_buffer(unpacked_);
}

// The mixins

template <class S>
void FStreamMixin<S>::open(const char* name, uint32_t mode, uint32_t mask) {
  if (buffer_.is_open()) {
    buffer_.close();
    this->reset();
  }
  this->clear();
  this->exceptions(mask);
  if (!buffer_.open(name, mode | AbstractFile::in | AbstractFile::binary)) {
    const ErrorInfo error(name, buffer_.last_error());
    this->set_failed(&error);
    return;
  }
  if (!(this->flags() & Stream::raw)) this->read_header();
}

template <class S>
void ArcStreamMixin<S>::open(const char* name, uint32_t, uint32_t mask) {
  // Unpacked data and the data start of an earlier open end with it.
  if (buffer_) this->reset();
  BasicFileBuf* buffer = ArcFormatsManager::instance().open(name);
  if (buffer != buffer_) {
    delete buffer_;
    buffer_ = buffer;
  }
  this->set_buffer(buffer);
  this->clear();
  this->exceptions(mask);
  if (!buffer->is_open()) {
    this->set_failed(buffer->last_error());
    return;
  }
  if (!(this->flags() & Stream::raw)) this->read_header();
}

template class FStreamMixin<IStream>;
template class ArcStreamMixin<IStream>;

// OStream

OStream& OStream::write(const void* data, std::streamsize n) {
  if (!buffer()) {
    setstate(badbit | failbit);
  } else if (good() && buffer()->sputn(static_cast<const char*>(data), n) < n) {
    setstate(eofbit | failbit);
  }
  return *this;
}

OStream& OStream::write_u32(uint32_t value) {
  const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 24)};
  return write(bytes, 4);
}

}  // namespace io
}  // namespace talvo
