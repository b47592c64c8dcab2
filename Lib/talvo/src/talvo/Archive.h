// Archive formats: a path that names no plain file may name a member of an
// archive standing in one of its directories. data\pics\a.bmp can be the
// member a.bmp of data\pics.zip or of a file data\pics, or the member
// pics\a.bmp of data.zip or of a file data.
//
// Formats register with the manager while they exist; the program keeps one
// ZipFormat for its whole run:
//
//   talvo::io::ZipFormat zip_format;
//   std::unique_ptr<talvo::io::BasicFileBuf> buffer(
//       talvo::io::ArcFormatsManager::instance().open("data\\pics\\a.bmp"));
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "talvo/StreamBuf.h"

namespace talvo {
namespace io {

class ArcFormat {
 public:
  // The extensions (without the dot) are a static table of the derived
  // class. Registers the format.
  ArcFormat(const char* const* extensions, size_t count);
  ArcFormat(const ArcFormat&) = delete;
  ArcFormat& operator=(const ArcFormat&) = delete;
  // Unregisters the format.
  virtual ~ArcFormat();

  virtual bool can_open(const std::string& archive, const std::string& member) = 0;
  // A new buffer over the member, owned by the caller, or null.
  virtual BasicFileBuf* open(const std::string& archive, const std::string& member) = 0;

  const char* const* extensions() const { return extensions_; }
  size_t count() const { return count_; }

 private:
  const char* const* extensions_;
  size_t count_;
};

class ZipFormat : public ArcFormat {
 public:
  ZipFormat();
  bool can_open(const std::string& archive, const std::string& member) override;
  BasicFileBuf* open(const std::string& archive, const std::string& member) override;
};

// The process-wide list of registered formats, in registration order.
class ArcFormatsManager {
 public:
  // Asked for each (format, archive, member) candidate of a path.
  class Predicate {
   public:
    virtual ~Predicate() = default;
    virtual bool operator()(ArcFormat& format, const std::string& archive, const std::string& member) = 0;
  };

  // Accepts a candidate that the format opens, and keeps its buffer.
  class Open : public Predicate {
   public:
    bool operator()(ArcFormat& format, const std::string& archive, const std::string& member) override;
    // The buffer of the last successful call; the caller owns it.
    BasicFileBuf* take() { return buffer_.release(); }

   private:
    std::unique_ptr<BasicFileBuf> buffer_;
  };

  static ArcFormatsManager& instance();

  void add(ArcFormat* format);
  // Removes every entry of the format.
  void remove(ArcFormat* format);

  // The format whose candidate the predicate accepted, or null. For each
  // format, for each of its extensions, the directories of the path are
  // tried as archives from the longest to the shortest, each as written and
  // then with the extension; the root and a path without directory are
  // never archives.
  ArcFormat* find(const char* path, Predicate& predicate);

  // A buffer for the path, never null, owned by the caller: the plain file
  // opened read-binary, else the first archive member found, else the
  // unopened file buffer (its name and last_error tell why).
  BasicFileBuf* open(const char* path);

 private:
  ArcFormatsManager() = default;
  std::vector<ArcFormat*> formats_;
};

}  // namespace io
}  // namespace talvo
