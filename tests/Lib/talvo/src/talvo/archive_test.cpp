// Archives: the lookup of archive candidates along a path, members of real
// zip archives opened by path, and the zip member file's seeks and failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sandbox.h"
#include "stream_fixtures.h"
#include "talvo/Archive.h"
#include "talvo/ZipFile.h"

namespace {

using talvo::AbstractFile;
using talvo::ZipFile;
using talvo::io::ArcFormat;
using talvo::io::ArcFormatsManager;
using talvo::io::BasicFileBuf;
using talvo::io::ZipFileBuf;
using talvo::io::ZipFormat;
using talvo_test::byte_at;
using talvo_test::fresh_dir;
using talvo_test::numbered;
using talvo_test::thrown;
using talvo_test::read_file;
using talvo_test::take;
using talvo_test::write_file;
using talvo_test::write_zip;

constexpr uint32_t kReadBinary = AbstractFile::in | AbstractFile::binary;

std::string describe(talvo::ErrorInfo* error) {
  char text[512];
  error->describe(text, sizeof text);
  return text;
}

// Records every candidate it is asked about and accepts one of them.
class Recorder : public ArcFormatsManager::Predicate {
 public:
  explicit Recorder(std::string accept = "") : accept_(std::move(accept)) {}
  bool operator()(ArcFormat&, const std::string& archive, const std::string& member) override {
    calls.push_back(archive + "|" + member);
    return calls.back() == accept_;
  }
  std::vector<std::string> calls;

 private:
  std::string accept_;
};

const char* const kFakeExtensions[] = {"zip", "pak"};

class FakeFormat : public ArcFormat {
 public:
  FakeFormat() : ArcFormat(kFakeExtensions, 2) {}
  bool can_open(const std::string&, const std::string&) override { return false; }
  BasicFileBuf* open(const std::string&, const std::string&) override { return nullptr; }
};

TEST(ArcFormatsManager, CandidatesAlongThePath) {
  struct Case {
    const char* path;
    std::vector<std::string> calls;
  } cases[] = {
      {"data\\pics\\a.bmp",
       {"data\\pics|a.bmp", "data\\pics.zip|a.bmp", "data|pics\\a.bmp", "data.zip|pics\\a.bmp",
        "data\\pics|a.bmp", "data\\pics.pak|a.bmp", "data|pics\\a.bmp", "data.pak|pics\\a.bmp"}},
      {"data/pics/a.bmp",
       {"data/pics|a.bmp", "data/pics.zip|a.bmp", "data|pics/a.bmp", "data.zip|pics/a.bmp",
        "data/pics|a.bmp", "data/pics.pak|a.bmp", "data|pics/a.bmp", "data.pak|pics/a.bmp"}},
      {"C:\\x\\y", {"C:\\x|y", "C:\\x.zip|y", "C:\\x|y", "C:\\x.pak|y"}},
      {"\\data\\a.tar.gz",
       {"\\data|a.tar.gz", "\\data.zip|a.tar.gz", "\\data|a.tar.gz", "\\data.pak|a.tar.gz"}},
      {"a.bmp", {}},
      {"\\a.bmp", {}},
      {"C:\\a.bmp", {}},
  };
  FakeFormat format;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Recorder recorder;
    EXPECT_EQ(ArcFormatsManager::instance().find(c.path, recorder), nullptr);
    EXPECT_EQ(recorder.calls, c.calls);
  }

  // The first accepted candidate ends the search.
  Recorder accepting("data.zip|pics\\a.bmp");
  EXPECT_EQ(ArcFormatsManager::instance().find("data\\pics\\a.bmp", accepting), &format);
  EXPECT_EQ(accepting.calls.size(), 4u);
}

TEST(ArcFormatsManager, DestroyedFormatIsNoLongerAsked) {
  auto format = std::make_unique<FakeFormat>();
  format.reset();
  Recorder recorder;
  EXPECT_EQ(ArcFormatsManager::instance().find("data\\pics\\a.bmp", recorder), nullptr);
  EXPECT_TRUE(recorder.calls.empty());
}

TEST(ArcFormatsManager, OpensPlainFilesAndZipMembers) {
  const std::string dir = fresh_dir();
  const std::string picture = numbered(3000);
  const std::string long_name(300, 'x');
  talvo_test::ZipMember pics_members[] = {
      {"a.bmp", picture, true}, {"sub/b.txt", "stored bytes", false}, {long_name, "long", false}};
  std::filesystem::create_directories(dir + "/data/pics");
  write_zip(dir + "/data/pics.zip", {std::begin(pics_members), std::end(pics_members)});
  write_zip(dir + "/data.zip", {{"pics/d.bmp", "in data.zip", true}});
  write_zip(dir + "/noext", {{"m.bin", "archive without extension", true}});
  write_file(dir + "/data/pics/c.bmp", "plain");

  struct Case {
    std::string path;
    bool member;        // a zip member, else a plain file
    std::string bytes;  // "" with member false: not found
  } cases[] = {
      {"/data/pics/a.bmp", true, picture},
      {"/data\\pics\\a.bmp", true, picture},
      {"/data/pics/A.BMP", true, picture},
      {"/data/pics/sub/b.txt", true, "stored bytes"},
      {"/data/pics/c.bmp", false, "plain"},
      {"/data/pics/d.bmp", true, "in data.zip"},
      {"/noext/m.bin", true, "archive without extension"},
      // Member names keep their separators as written.
      {"/data/pics/sub\\b.txt", false, ""},
      {"/data\\pics\\d.bmp", false, ""},
      // minizip refuses member names of 256 characters or more.
      {"/data/pics/" + long_name, false, ""},
      {"/data/pics/missing.bmp", false, ""},
  };
  ZipFormat zip;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string path = dir + c.path;
    std::unique_ptr<BasicFileBuf> buffer(ArcFormatsManager::instance().open(path.c_str()));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(dynamic_cast<ZipFileBuf*>(buffer.get()) != nullptr, c.member);
    if (c.member || !c.bytes.empty()) {
      ASSERT_TRUE(buffer->is_open());
      EXPECT_EQ(take(*buffer, 10000), c.bytes);
    } else {
      EXPECT_FALSE(buffer->is_open());
      EXPECT_EQ(buffer->name(), path);
      EXPECT_NE(buffer->last_error(), nullptr);
    }
  }
}

TEST(ZipFile, SeeksForwardAndBack) {
  const std::string dir = fresh_dir();
  write_zip(dir + "/z.zip", {{"deflated.bin", numbered(3000), true}, {"stored.bin", numbered(3000), false}});
  struct Step {
    int64_t offset;
    int origin;
    int64_t result;  // -1: refused
    int next;        // the byte read after the step (-1: none read)
  } steps[] = {
      {300, AbstractFile::beg, 300, byte_at(300)},
      {50, AbstractFile::beg, 50, byte_at(50)},
      {51, AbstractFile::beg, 51, -1},  // where it stands
      {0, AbstractFile::cur, 51, -1},
      {-41, AbstractFile::cur, 10, byte_at(10)},
      {100, AbstractFile::cur, 111, byte_at(111)},
      {-1, AbstractFile::beg, -1, -1},
      {-200, AbstractFile::cur, -1, -1},
      {5000, AbstractFile::beg, -1, -1},  // past the member's end
      {7, AbstractFile::beg, 7, byte_at(7)},
      {2999, AbstractFile::beg, 2999, byte_at(2999)},
      {0, 3, -1, -1},  // no such origin
  };
  for (const char* member : {"deflated.bin", "stored.bin"}) {
    SCOPED_TRACE(member);
    ZipFile file;
    const std::string name = dir + "/z.zip?" + member;
    ASSERT_TRUE(file.open(name.c_str(), kReadBinary));
    char bytes[100];
    ASSERT_EQ(file.read(bytes, 100), 100);
    for (const Step& s : steps) {
      SCOPED_TRACE(testing::Message() << s.offset << " from " << s.origin);
      EXPECT_EQ(file.seek(s.offset, s.origin), s.result);
      if (s.next >= 0) {
        unsigned char c = 0;
        ASSERT_EQ(file.read(&c, 1), 1);
        EXPECT_EQ(c, s.next);
      }
    }
    // Seeking from the end needs the member's size.
    EXPECT_EQ(thrown<talvo::Exception>([&] { file.seek(0, AbstractFile::end); }), "NOT IMPLEMENTED");
  }
}

TEST(ZipFile, OpenFailuresAndMissingOperations) {
  const std::string dir = fresh_dir();
  write_zip(dir + "/z.zip", {{"m.bin", "member", true}});
  write_file(dir + "/text.zip", "not a zip archive");
  struct Case {
    std::string name;
    bool opens;
    std::string error;
  } cases[] = {
      {dir + "/z.zip?m.bin", true, "no error (zip status 0)"},
      {dir + "/z.zip?M.BIN", true, "no error (zip status 0)"},
      {dir + "/z.zip?other.bin", false, "no such member (zip status -100)"},
      {dir + "/none.zip?m.bin", false, "the archive cannot be read (zip status -1)"},
      {dir + "/text.zip?m.bin", false, "bad zip archive (zip status -103)"},
      {dir + "?m.bin", false, "the archive cannot be read (zip status -1)"},  // a directory
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ZipFile file;
    EXPECT_EQ(file.open(c.name.c_str(), kReadBinary), c.opens);
    EXPECT_EQ(describe(file.last_error()), c.error + " ('" + c.name + "')");
    EXPECT_EQ(file.close(), c.opens);
  }

  auto not_implemented = [](const std::function<void()>& operation) {
    return thrown<talvo::Exception>(operation) == "NOT IMPLEMENTED";
  };
  ZipFile file;
  const std::string plain = dir + "/z.zip";
  EXPECT_TRUE(not_implemented([&] { file.open(plain.c_str(), kReadBinary); }));  // no "?"
  const std::string name = plain + "?m.bin";
  EXPECT_TRUE(not_implemented([&] { file.open(name.c_str(), AbstractFile::out); }));
  ASSERT_TRUE(file.open(name.c_str(), kReadBinary));
  EXPECT_FALSE(file.open(name.c_str(), kReadBinary));  // already open
  EXPECT_TRUE(not_implemented([&] { file.size(); }));
  EXPECT_TRUE(not_implemented([&] { file.flush(); }));
  EXPECT_TRUE(not_implemented([&] { file.write("x", 1); }));
}

TEST(ZipFile, DamagedMemberFailsItsRead) {
  const std::string dir = fresh_dir();
  std::string text;
  for (int i = 0; i < 100; ++i) text += "0123456789";
  struct Case {
    const char* what;
    bool deflated;
    std::string error;  // start of the warning's text after "reading failed: "
  } cases[] = {
      {"stored", false, "CRC error (zip status -105)"},
      {"deflated", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string archive = fresh_dir() + "/z.zip";
    write_zip(archive, {{"m.txt", text, c.deflated}});
    // Change one byte of the member's data: the middle of the stored text,
    // or a byte inside the deflated data.
    std::string bytes = read_file(archive);
    const size_t data = bytes.find("m.txt") + 5;
    const size_t at = c.deflated ? data + 4 : bytes.find("0123456789", data) + 505;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
    write_file(archive, bytes);

    talvo_test::MainLogTail log;
    auto* file = new ZipFile;
    const std::string name = archive + "?m.txt";
    ASSERT_TRUE(file->open(name.c_str(), kReadBinary));
    ZipFileBuf buffer(file);
    EXPECT_LT(take(buffer, 2000).size(), text.size());
    const std::vector<std::string> lines = log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("[talvo.io] warning: reading failed: " + c.error, 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("('" + name + "')"), std::string::npos) << lines[0];
  }
}

}  // namespace
