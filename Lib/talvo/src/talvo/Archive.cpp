#include "talvo/Archive.h"

#include <algorithm>

#include "platform/win_crt.h"
#include "talvo/ZipFile.h"

namespace talvo {
namespace io {
namespace {

const char* const zip_extensions[] = {"zip"};

}  // namespace

ArcFormat::ArcFormat(const char* const* extensions, size_t count) : extensions_(extensions), count_(count) {
  ArcFormatsManager::instance().add(this);
}

ArcFormat::~ArcFormat() { ArcFormatsManager::instance().remove(this); }

ZipFormat::ZipFormat() : ArcFormat(zip_extensions, 1) {}

BasicFileBuf* ZipFormat::open(const std::string& archive, const std::string& member) {
  const std::string name = archive + "?" + member;
  auto* file = new ZipFile;
  if (!file->open(name.c_str(), AbstractFile::in | AbstractFile::binary)) {
    delete file;
    return nullptr;
  }
  return new ZipFileBuf(file);
}

bool ZipFormat::can_open(const std::string& archive, const std::string& member) {
  std::unique_ptr<BasicFileBuf> buffer(open(archive, member));
  return buffer != nullptr;
}

bool ArcFormatsManager::Open::operator()(ArcFormat& format, const std::string& archive, const std::string& member) {
  buffer_.reset(format.open(archive, member));
  return buffer_ != nullptr;
}

ArcFormatsManager& ArcFormatsManager::instance() {
  static ArcFormatsManager manager;
  return manager;
}

void ArcFormatsManager::add(ArcFormat* format) { formats_.push_back(format); }

void ArcFormatsManager::remove(ArcFormat* format) {
  formats_.erase(std::remove(formats_.begin(), formats_.end(), format), formats_.end());
}

ArcFormat* ArcFormatsManager::find(const char* path, Predicate& predicate) {
  char drive[_MAX_DRIVE];
  char dir[_MAX_DIR];
  char fname[_MAX_FNAME];
  char ext[_MAX_EXT];
  _splitpath(path, drive, dir, fname, ext);
  const std::string directory = dir;
  if (directory.empty()) return nullptr;
  const std::string file_name = std::string(fname) + ext;
  const size_t last = directory.find_last_of("\\/");
  for (ArcFormat* format : formats_) {
    if (last == std::string::npos || last == 0) continue;
    for (size_t e = 0; e < format->count(); ++e) {
      for (size_t p = last;;) {
        const std::string archive = drive + directory.substr(0, p);
        const std::string member = directory.substr(p + 1) + file_name;
        if (predicate(*format, archive, member)) return format;
        if (predicate(*format, archive + "." + format->extensions()[e], member)) return format;
        p = directory.find_last_of("\\/", p - 1);
        if (p == std::string::npos || p == 0) break;
      }
    }
  }
  return nullptr;
}

BasicFileBuf* ArcFormatsManager::open(const char* path) {
  std::unique_ptr<FileBuf> file(new FileBuf(path, AbstractFile::in | AbstractFile::binary));
  if (file->is_open()) return file.release();
  Open member;
  if (find(path, member)) return member.take();
  return file.release();
}

}  // namespace io
}  // namespace talvo
