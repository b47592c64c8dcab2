#include "talvo/File.h"

#include <algorithm>

#include "platform/win32.h"
#include "talvo/Log.h"

namespace talvo {

uint32_t AbstractFile::page_size = 4096;

AbstractFile::AbstractFile() {
  // Nothing else writes the unit, so it keeps its first value.
  if (page_size == 0) page_size = 4096;
}

bool AbstractFile::open(const char* name, uint32_t mode) {
  if (!do_open(name, mode)) return false;
  mode_ = mode;
  return true;
}

bool AbstractFile::close() {
  if (mode_ == 0 || !do_close()) return false;
  mode_ = 0;
  return true;
}

int32_t AbstractFile::write_text(const char* data, int32_t count) {
  if (mode_ & binary) return write(data, count);
  // Pieces of at most 8 input bytes; each LF goes out as CR LF.
  int32_t done = 0;
  char piece[9];
  while (done < count) {
    int32_t used = 0;
    int32_t filled = 0;
    while (done + used < count && used < 8 && filled < 8) {
      char c = data[done + used++];
      if (c == '\n') piece[filled++] = '\r';
      piece[filled++] = c;
    }
    if (write(piece, filled) != filled) break;
    done += used;
  }
  return done;
}

int64_t AbstractFile::text_length(const char* first, const char* last) const {
  int64_t n = last - first;
  if (!(mode_ & binary)) n += std::count(first, last, '\n');
  return n;
}

File::File() : handle_(INVALID_HANDLE_VALUE) {}

File::~File() { close(); }

bool File::do_open(const char* name, uint32_t mode) {
  return open_with_attributes(name, mode, FILE_ATTRIBUTE_NORMAL);
}

bool File::open_with_attributes(const char* name, uint32_t mode, DWORD attributes) {
  if (handle_ != INVALID_HANDLE_VALUE) return false;
  DWORD access = GENERIC_WRITE;
  DWORD share = FILE_SHARE_READ;
  DWORD creation;
  bool truncate = false;
  switch (mode & ~(ate | binary)) {
    case in:
      access = GENERIC_READ;
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      creation = OPEN_EXISTING;
      attributes = 0;
      break;
    case out:
    case out | app:
      creation = OPEN_ALWAYS;
      break;
    case in | out:
      access = GENERIC_READ | GENERIC_WRITE;
      creation = OPEN_EXISTING;
      break;
    case out | trunc:
      creation = CREATE_ALWAYS;
      truncate = true;
      break;
    case in | out | trunc:
      access = GENERIC_READ | GENERIC_WRITE;
      creation = OPEN_ALWAYS;
      truncate = true;
      break;
    default:
      return false;
  }
  HANDLE h = CreateFileA(name, access, share, nullptr, creation, attributes, nullptr);
  bool ok = h != INVALID_HANDLE_VALUE && h != nullptr;
  if (ok && truncate && !SetEndOfFile(h)) ok = false;
  if (ok && (mode & ate)) {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(h, zero, nullptr, FILE_END)) ok = false;
  }
  const char* shown = name ? name : "";
  if (!ok) {
    error_.set(0);
    if (h != INVALID_HANDLE_VALUE && h != nullptr) CloseHandle(h);
    if (mode & in) {
      io::warning_log.entry(1) << "'" << shown << "' open failed: " << error_ << std::endl;
    } else {
      io::error_log << "'" << shown << "' open failed: " << error_ << std::endl;
    }
    return false;
  }
  handle_ = h;
  owns_handle_ = true;
  io::info_log.entry(5) << "'" << shown << "' file opened." << std::endl;
  return true;
}

bool File::attach(HANDLE handle, uint32_t mode) {
  if (is_open() || handle_ != INVALID_HANDLE_VALUE || handle == INVALID_HANDLE_VALUE) return false;
  handle_ = handle;
  owns_handle_ = false;
  mode_ = mode;
  return true;
}

bool File::do_close() {
  if (!is_open()) return false;
  bool ok = true;
  if (owns_handle_) ok = handle_ != INVALID_HANDLE_VALUE && CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  owns_handle_ = false;
  return ok;
}

int64_t File::size() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle_, &size)) return 0;
  return size.QuadPart;
}

bool File::flush() {
  if (!is_open()) return false;
  if (FlushFileBuffers(handle_)) return true;
  fail("flush failed: ");
  return false;
}

int32_t File::read(void* buffer, int32_t count) {
  if (count < 0) count = 0;
  char* data = static_cast<char*>(buffer);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(handle_, data, static_cast<DWORD>(count), &got, nullptr)) {
      fail("reading failed: ");
      return static_cast<int32_t>(got);
    }
    if ((mode_ & binary) || got == 0) return static_cast<int32_t>(got);

    // Text mode, in place: CR LF gives LF, Ctrl-Z ends the data.
    DWORD delivered = 0;
    bool ended = false;
    for (DWORD i = 0; i < got; ++i) {
      char c = data[i];
      if (c == 0x1A) {
        // Leave the Ctrl-Z as the next byte of the file, so every later read
        // ends here too.
        move_pointer(-static_cast<int64_t>(got - i), FILE_CURRENT);
        ended = true;
        break;
      }
      if (c == '\r') {
        char next = 0;
        bool have_next = false;
        if (i + 1 < got) {
          next = data[i + 1];
          have_next = true;
        } else {
          DWORD peeked = 0;
          if (ReadFile(handle_, &next, 1, &peeked, nullptr) && peeked == 1) {
            have_next = true;
            move_pointer(-1, FILE_CURRENT);
          }
        }
        if (have_next && next == '\n') continue;
      }
      data[delivered++] = c;
    }
    // A CR dropped before the LF that comes next is no end of the file: read
    // on for that LF.
    if (delivered > 0 || ended) return static_cast<int32_t>(delivered);
  }
}

int32_t File::write(const void* data, int32_t count) {
  const char* bytes = static_cast<const char*>(data);
  int32_t done = 0;
  while (done < count) {
    if (mode_ & app) move_pointer(0, FILE_END);
    DWORD n = 0;
    BOOL ok = WriteFile(handle_, bytes + done, static_cast<DWORD>(count - done), &n, nullptr);
    done += static_cast<int32_t>(n);
    if (!ok || n == 0) {
      fail("writing failed: ");
      break;
    }
  }
  return done;
}

int64_t File::seek(int64_t offset, int origin) {
  switch (origin) {
    case beg:
      if (offset < 0) return -1;
      return move_pointer(offset, FILE_BEGIN);
    case cur:
      return move_pointer(offset, FILE_CURRENT);
    case end:
      if (offset < -size()) return -1;  // before the start
      return move_pointer(offset, FILE_END);
    default:
      return -1;
  }
}

int64_t File::move_pointer(int64_t offset, DWORD method) {
  LARGE_INTEGER distance;
  LARGE_INTEGER position;
  distance.QuadPart = offset;
  if (!SetFilePointerEx(handle_, distance, &position, method)) return -1;
  return position.QuadPart;
}

void File::fail(const char* what) {
  error_.set(0);
  io::error_log << what << error_ << std::endl;
}

bool file_exists(const char* name) { return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES; }

}  // namespace talvo
