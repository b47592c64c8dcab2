#include "talvo/ZipFile.h"

#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/win_stdio.h"
#include "talvo/Log.h"

namespace talvo {
namespace {

// minizip's file access, through the runtime's shared open: the archive path
// is resolved like every other file the engine opens, and its share mode
// holds against the other opens of the process. The opaque word receives
// errno of a failed open.
voidpf ZCALLBACK open_shared(voidpf opaque, const void* filename, int) {
  FILE* file = _fsopen(static_cast<const char*>(filename), "rb", _SH_DENYNO);
  if (!file) *static_cast<int*>(opaque) = errno;
  return file;
}

const char* status_text(int status) {
  switch (status) {
    case UNZ_OK:
      return "no error";
    case UNZ_ERRNO:
      return "the archive cannot be read";
    case UNZ_END_OF_LIST_OF_FILE:
      return "no such member";
    case UNZ_PARAMERROR:
      return "invalid parameter";
    case UNZ_BADZIPFILE:
      return "bad zip archive";
    case UNZ_INTERNALERROR:
      return "internal error";
    case UNZ_CRCERROR:
      return "CRC error";
    case ZipFile::unsupported_method:
      return "unsupported compression method";
    case ZipFile::encrypted_member:
      return "encrypted member";
    default:
      return zError(status);  // the zlib errors of unpacking
  }
}

bool own_status(int status) { return status == ZipFile::unsupported_method || status == ZipFile::encrypted_member; }

// Why a member that is there cannot be read (UNZ_OK when it can).
int refusal(const unz_file_info64& info) {
  if (info.flag & 1) return ZipFile::encrypted_member;
  if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) return ZipFile::unsupported_method;
  return UNZ_OK;
}

}  // namespace

// ReadHandle

ZipFile::ReadHandle::~ReadHandle() { close(); }

bool ZipFile::ReadHandle::open(const char* archive, const char* member) {
  if (zip_) return false;
  zlib_filefunc64_def access;
  fill_fopen64_filefunc(&access);
  int open_errno = 0;
  access.zopen64_file = open_shared;
  access.opaque = &open_errno;
  unzFile zip = unzOpen2_64(archive, &access);
  if (!zip) {
    status = open_errno != 0 ? UNZ_ERRNO : UNZ_BADZIPFILE;
    return false;
  }
  // Names are compared without regard to case (2); separators as written.
  unz_file_info64 info;
  status = unzLocateFile(zip, member, 2);
  if (status == UNZ_OK) status = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
  if (status == UNZ_OK) status = refusal(info);
  if (status == UNZ_OK) status = unzOpenCurrentFile(zip);
  if (status != UNZ_OK) {
    unzClose(zip);
    return false;
  }
  zip_ = zip;
  crc_ = crc32(0, nullptr, 0);
  expected_crc_ = info.crc;
  return true;
}

bool ZipFile::ReadHandle::close() {
  if (!zip_) return false;
  unzFile zip = zip_;
  zip_ = nullptr;
  unzCloseCurrentFile(zip);
  status = unzClose(zip);
  return status == UNZ_OK;
}

int32_t ZipFile::ReadHandle::read(void* buffer, int32_t count) {
  if (!zip_) return status = UNZ_PARAMERROR;
  if (count <= 0) return 0;
  const int n = unzReadCurrentFile(zip_, buffer, static_cast<unsigned>(count));
  if (n < 0) return status = n;
  crc_ = crc32(crc_, static_cast<const Bytef*>(buffer), static_cast<uInt>(n));
  // At the member's end (or where its data ends early) everything delivered
  // must match the stored CRC.
  if ((n == 0 || unzeof(zip_) == 1) && crc_ != expected_crc_) return status = UNZ_CRCERROR;
  return n;
}

int64_t ZipFile::ReadHandle::tell() { return zip_ ? static_cast<int64_t>(unztell64(zip_)) : -1; }

bool ZipFile::ReadHandle::rewind() {
  if (!zip_) return false;
  unzCloseCurrentFile(zip_);
  crc_ = crc32(0, nullptr, 0);
  status = unzOpenCurrentFile(zip_);
  return status == UNZ_OK;
}

// StatusError

size_t ZipFile::StatusError::describe(char* buffer, size_t size) const {
  if (!buffer || size == 0) return 0;
  const size_t n = own_status(status) ? format_bounded(buffer, size, "%s", status_text(status))
                                      : format_bounded(buffer, size, "%s (zip status %d)", status_text(status), status);
  return n + ErrorInfo::describe(buffer + n, size - n);
}

// ZipFile

ZipFile::ZipFile() = default;

ZipFile::~ZipFile() {
  close();
  delete handle_;
}

bool ZipFile::do_open(const char* name, uint32_t mode) {
  if (is_open()) return false;
  const char* separator = name ? std::strchr(name, '?') : nullptr;
  if (!separator || (mode & out)) not_implemented();
  name_ = name;
  error_.name = name_.c_str();
  const std::string archive(name, separator);
  delete handle_;
  handle_ = new ReadHandle;
  if (handle_->open(archive.c_str(), separator + 1)) return true;
  // A missing member is no news; one that is there and cannot be read is.
  if (own_status(handle_->status)) failed("open failed: ");
  return false;
}

bool ZipFile::do_close() {
  if (!handle_ || !handle_->is_open()) return false;
  const bool ok = handle_->close();
  error_.status = handle_->status;
  delete handle_;
  handle_ = nullptr;
  return ok;
}

int32_t ZipFile::read(void* buffer, int32_t count) {
  if (!handle_) return -1;
  const int32_t n = handle_->read(buffer, count);
  if (n < 0) failed("reading failed: ");
  return n;
}

int64_t ZipFile::move_to(int64_t position, int64_t target) {
  if (target < position) {
    if (!handle_->rewind()) {
      failed("opening again failed: ");
      return -1;
    }
    position = 0;
  }
  char piece[512];
  for (int64_t left = target - position; left > 0;) {
    const int32_t n = read(piece, static_cast<int32_t>(std::min<int64_t>(left, sizeof piece)));
    if (n <= 0) return -1;
    left -= n;
  }
  return target;
}

int64_t ZipFile::seek(int64_t offset, int origin) {
  if (!handle_ || !handle_->is_open()) return -1;
  const int64_t position = handle_->tell();
  switch (origin) {
    case beg:
      if (offset < 0) return -1;
      return move_to(position, offset);
    case cur:
      if (offset == 0) return position;
      if (position + offset < 0) return -1;
      return move_to(position, position + offset);
    case end:
      not_implemented();  // it needs the member's size
    default:
      return -1;
  }
}

ErrorInfo* ZipFile::last_error() {
  if (handle_) error_.status = handle_->status;
  return &error_;
}

void ZipFile::failed(const char* what) {
  io::warning_log << what << *last_error() << std::endl;
}

int64_t ZipFile::size() { not_implemented(); }

bool ZipFile::flush() { not_implemented(); }

int32_t ZipFile::write(const void*, int32_t) { not_implemented(); }

}  // namespace talvo
