// Input streams: reads and their state bits, exception masks and failure
// texts, plain files and zip members opened by path (backward seeks inside a
// member included), and the stream headers recognised at open.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

#include "sandbox.h"
#include "stream_fixtures.h"
#include "talvo/Archive.h"
#include "talvo/Registry.h"
#include "talvo/Stream.h"

namespace {

using namespace std::string_literals;
using talvo::AbstractFile;
using talvo::io::IArcStream;
using talvo::io::IFStream;
using talvo::io::IStream;
using talvo::io::Stream;
using talvo_test::byte_at;
using talvo_test::fresh_dir;
using talvo_test::lines_starting;
using talvo_test::MainLogTail;
using talvo_test::numbered;
using talvo_test::temp_file;
using talvo_test::u32;
using talvo_test::write_file;
using talvo_test::write_zip;

constexpr uint32_t kBad = Stream::badbit;
constexpr uint32_t kEof = Stream::eofbit;
constexpr uint32_t kFail = Stream::failbit;
constexpr uint32_t kDefaultMask = kBad | kFail;

std::string failure_of(const std::function<void()>& call) { return talvo_test::thrown<talvo::io::Failure>(call); }

void open_raw(IArcStream& in, const std::string& path, uint32_t mask) {
  in.set_flags(in.flags() | Stream::raw);
  in.open(path.c_str(), AbstractFile::in, mask);
}

// Reads to the end; the mask is dropped so that the end does not throw.
std::string read_rest(IStream& in) {
  in.exceptions(0);
  std::string all;
  char piece[1000];
  for (std::streamsize n; (n = in.read_some(piece, sizeof piece)) > 0;) all.append(piece, static_cast<size_t>(n));
  return all;
}

TEST(IStream, ReadsAndStateBits) {
  const std::string path = temp_file("0123456789");
  enum Op { ReadAll, ReadSome, Read };
  struct Case {
    const char* what;
    uint32_t state_before;  // set with setstate before the read (mask 0)
    int64_t position;
    Op op;
    std::streamsize n;
    std::string landed;
    std::streamsize count;  // result of read_some and read
    uint32_t state;
    int64_t tell;
  } cases[] = {
      {"read_all, all there", 0, 2, ReadAll, 8, "23456789", 0, 0, 10},
      {"read_all, 5 of 8", 0, 5, ReadAll, 8, "56789", 0, kEof | kFail, -1},
      {"read_some, 5 of 8", 0, 5, ReadSome, 8, "56789", 5, kEof, 10},
      {"read_some at the end", 0, 10, ReadSome, 8, "", 0, kEof | kFail, -1},
      {"read after end of file", kEof, 0, Read, 4, "", 0, kEof | kFail, -1},
      {"read, 5 of 8", 0, 5, Read, 8, "56789", 5, kEof, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IArcStream in;
    open_raw(in, path, 0);
    ASSERT_EQ(in.seek(c.position), c.position);
    in.setstate(c.state_before);
    char bytes[16] = {};
    std::streamsize count = 0;
    if (c.op == ReadAll) in.read_all(bytes, c.n);
    if (c.op == ReadSome) count = in.read_some(bytes, c.n);
    if (c.op == Read) count = in.read(bytes, c.n);
    EXPECT_EQ(std::string(bytes), c.landed);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(in.rdstate(), c.state);
    EXPECT_EQ(in.tell(), c.tell);
    // A failed stream does not move; end of file alone does not stop a
    // seek, and a seek does not clear it.
    EXPECT_EQ(in.seek(1), (c.state & kFail) ? -1 : 1);
    EXPECT_EQ(in.rdstate(), c.state);
  }

  // Words are little-endian; a failed word read leaves the value alone.
  IArcStream in;
  open_raw(in, temp_file(u32(0x12345678) + "ab"), 0);
  uint32_t word = 0;
  EXPECT_EQ(in.read_u32(word).rdstate(), 0u);
  EXPECT_EQ(word, 0x12345678u);
  EXPECT_TRUE(in.read_u32(word).fail());
  EXPECT_EQ(word, 0x12345678u);
}

TEST(IStream, ExceptionMasks) {
  const std::string path = temp_file("0123456789");
  struct Case {
    uint32_t mask;
    bool throws_on_end;    // read_some of 8 with 5 left: end of file
    bool throws_on_short;  // read_all of 8 with 5 left: end of file and fail
  } cases[] = {
      {kDefaultMask, false, true}, {0, false, false}, {kEof, true, true},
      {kFail, false, true},        {kBad, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    char bytes[8];
    IArcStream end;
    open_raw(end, path, c.mask);
    end.seek(5);
    EXPECT_EQ(failure_of([&] { end.read_some(bytes, 8); }) != "", c.throws_on_end);
    IArcStream short_read;
    open_raw(short_read, path, c.mask);
    short_read.seek(5);
    EXPECT_EQ(failure_of([&] { short_read.read_all(bytes, 8); }) != "", c.throws_on_short);
    EXPECT_EQ(short_read.rdstate(), kEof | kFail);
  }
}

TEST(IStream, FailureTexts) {
  const std::string path = temp_file("0123456789");
  char bytes[8];
  {
    // Named after the path the archive lookup opened.
    IArcStream in;
    open_raw(in, path, kDefaultMask);
    in.seek(5);
    MainLogTail log;
    EXPECT_EQ(failure_of([&] { in.read_all(bytes, 8); }), "i/o error ('" + path + "')");
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[exception] error: class talvo::io::Failure");
    EXPECT_EQ(lines[1], std::string(23, ' ') +
                            "\\Lib\\talvo\\src\\talvo\\stream.cpp(61) : talvo::io::Stream::throw_failure_ : ");
  }
  {
    // A file stream's buffer has no name.
    IFStream in(path.c_str(), AbstractFile::in, kDefaultMask);
    in.seek(5);
    EXPECT_EQ(failure_of([&] { in.read_all(bytes, 8); }), "i/o error");
  }

  const std::string missing = fresh_dir() + "/missing.bmp";
  const std::string no_such_file = std::strerror(ENOENT);
  EXPECT_EQ(failure_of([&] {
              IArcStream in;
              in.open(missing.c_str(), AbstractFile::in, kDefaultMask);
            }),
            no_such_file + " ('" + missing + "')");
  EXPECT_EQ(failure_of([&] { IFStream in(missing.c_str(), AbstractFile::in, kDefaultMask); }),
            no_such_file + " ('" + missing + "')");
  for (uint32_t mask : {0u, kBad}) {
    IArcStream arc;
    arc.open(missing.c_str(), AbstractFile::in, mask);
    EXPECT_EQ(arc.rdstate(), kFail);
    EXPECT_EQ(arc.tell(), -1);
    IFStream file(missing.c_str(), AbstractFile::in, mask);
    EXPECT_EQ(file.rdstate(), kFail);
  }

  // A stream never opened has no buffer: bad, and its reads fail.
  IArcStream never;
  EXPECT_EQ(never.rdstate(), kBad);
  EXPECT_EQ(failure_of([&] { never.read_all(bytes, 8); }), "i/o error");
  EXPECT_EQ(never.rdstate(), kBad | kEof | kFail);
}

TEST(IStream, ThrowingBufferLeavesBadAndFail) {
  struct Throwing : std::streambuf {
    int_type underflow() override { throw std::runtime_error("buffer broke"); }
  } buffer;
  IStream in(&buffer);
  in.exceptions(0);
  char bytes[4];
  EXPECT_THROW(in.read_all(bytes, 4), std::runtime_error);
  EXPECT_EQ(in.rdstate(), kBad | kFail);
}

TEST(IFStream, ReadsBinaryWhateverTheMode) {
  const std::string path = temp_file("a\r\nb");
  IFStream in;
  in.set_flags(in.flags() | Stream::raw);
  in.open(path.c_str(), AbstractFile::in, kDefaultMask);
  EXPECT_EQ(read_rest(in), "a\r\nb");
}

TEST(IArcStream, ZipMemberSeeksForwardAndBack) {
  // The road of the picture decoders: a member read in pieces, with seeks
  // back to earlier positions, as a plain file would be.
  const std::string dir = fresh_dir();
  const std::string bytes = numbered(20000);
  write_zip(dir + "/pics.zip", {{"a.bmp", bytes, true}, {"b.bmp", bytes, false}});
  talvo::io::ZipFormat zip;
  for (const char* name : {"a.bmp", "b.bmp"}) {
    SCOPED_TRACE(name);
    IArcStream in;
    open_raw(in, dir + "/pics/" + name, kDefaultMask);
    ASSERT_TRUE(in.good());
    char header[54];
    in.read_all(header, sizeof header);
    EXPECT_EQ(std::string(header, 54), bytes.substr(0, 54));
    EXPECT_EQ(in.tell(), 54);
    struct Step {
      int64_t seek;   // -1: none
      size_t length;  // then read this many bytes
    } steps[] = {
        {10000, 3000}, {54, 100}, {19990, 10}, {0, 20000}, {12345, 0}, {4096, 5000},
    };
    for (const Step& s : steps) {
      SCOPED_TRACE(s.seek);
      EXPECT_EQ(in.seek(s.seek), s.seek);
      std::string piece(s.length, '\0');
      in.read_all(piece.data(), static_cast<std::streamsize>(s.length));
      EXPECT_EQ(piece, bytes.substr(static_cast<size_t>(s.seek), s.length));
      EXPECT_EQ(in.tell(), s.seek + static_cast<int64_t>(s.length));
    }
    // Forward moves inside what was read, as the decoders skip row padding.
    ASSERT_EQ(in.seek(100), 100);
    EXPECT_EQ(in.buffer()->pubseekoff(3, std::ios_base::cur, std::ios_base::in), std::streampos(103));
    EXPECT_EQ(in.buffer()->sgetc(), byte_at(103));
  }
}

TEST(IArcStream, MembersThatCannotBeReadFailInsteadOfEnding) {
  // Each member is refused at open or fails its read, with a warning naming
  // it and the reason; none ends as if its data were whole. The good members
  // of the same archive read to their end.
  const std::string dir = fresh_dir();
  talvo_test::write_troubled_zip(dir + "/t.zip");
  const std::string whole = numbered(talvo_test::troubled_size);
  talvo::io::ZipFormat zip;
  enum Outcome { Good, RefusedAtOpen, ReadFails };
  struct Case {
    const char* member;
    Outcome outcome;
    std::string warning;  // after "[talvo.io] warning: ", before the name
  } cases[] = {
      {"stored.bin", Good, ""},
      {"deflated.bin", Good, ""},
      {"bzip2.bin", RefusedAtOpen, "open failed: unsupported compression method"},
      {"encrypted.bin", RefusedAtOpen, "open failed: encrypted member"},
      {"flipped_middle.bin", ReadFails, "reading failed: CRC error (zip status -105)"},
      {"flipped_end.bin", ReadFails, "reading failed: CRC error (zip status -105)"},
      {"cut.bin", ReadFails, "reading failed: buffer error (zip status -5)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.member);
    const std::string path = dir + "/t/" + c.member;
    const std::string name = dir + "/t.zip?" + c.member;
    MainLogTail log;
    IArcStream in;
    open_raw(in, path, 0);
    const uint32_t opened = in.rdstate();
    const std::string delivered = read_rest(in);
    // The plain file's own open failure is logged too; these name the member.
    std::vector<std::string> warnings;
    for (const std::string& line : lines_starting(log, {"[talvo.io] warning: "}))
      if (line.find("('" + name + "')") != std::string::npos) warnings.push_back(line);
    switch (c.outcome) {
      case Good:
        EXPECT_EQ(delivered, whole);
        EXPECT_EQ(in.rdstate(), kEof | kFail);
        EXPECT_TRUE(warnings.empty()) << testing::PrintToString(warnings);
        continue;
      case RefusedAtOpen:
        EXPECT_EQ(opened, kFail);
        EXPECT_EQ(delivered, "");
        break;
      case ReadFails:
        EXPECT_LT(delivered.size(), whole.size());
        EXPECT_EQ(in.rdstate(), kBad | kFail);
        break;
    }
    // Every failed read is logged (read_rest may ask again after the first).
    EXPECT_FALSE(warnings.empty());
    for (const std::string& line : warnings) EXPECT_EQ(line, "[talvo.io] warning: " + c.warning + " ('" + name + "')");

    // With the default mask the failed read throws the member's failure.
    if (c.outcome == ReadFails) {
      IArcStream thrower;
      open_raw(thrower, path, kDefaultMask);
      std::string bytes(whole.size(), '\0');
      const std::string reason = c.warning.substr(c.warning.find(": ") + 2);
      EXPECT_EQ(failure_of([&] { thrower.read_all(bytes.data(), static_cast<std::streamsize>(bytes.size())); }),
                reason + " ('" + name + "')");
      EXPECT_EQ(thrower.rdstate(), kBad | kFail);
    }
  }
}

// Stream headers

std::string legacy_header(const char* magic, uint32_t flags, uint32_t packer, uint32_t packed, uint32_t unpacked) {
  return std::string(magic, 4) + u32(flags) + u32(packer) + u32(0) + u32(packed) + u32(unpacked);
}

std::string registry_kind(const Stream& in) {
  if (!in.registry()) return "none";
  const std::string name = talvo::type_name(typeid(*in.registry()));
  return name.substr(name.rfind(':') + 1);
}

TEST(StreamHeader, Recognised) {
  const std::string payload = "payload bytes";
  const std::string packed = talvo_test::zlib_packed(payload);
  struct Case {
    const char* what;
    std::string bytes;
    uint32_t mask;
    uint32_t flags;
    std::string registry;
    int32_t data_start;
    std::string delivered;  // from the stream's position on
    bool unpacked;          // the stream reads from memory
  } cases[] = {
      {"a picture", "BM\x36\0\0\0"s, kDefaultMask, 0, "Registry1", 0, "BM\x36\0\0\0"s, false},
      {"empty", "", kDefaultMask, 0, "Registry1", 0, "", false},
      {"native", "talvo::io::Stream" + u32(7) + "xyz", kDefaultMask, 6, "none", 21, "xyz", false},
      // With fail in the mask the short option word would throw.
      {"native, option word cut", "talvo::io::Stream\x01\x02", 0, 0, "Registry1", 0, "talvo::io::Stream\x01\x02",
       false},
      {"almost native", "talvo::io::Strean" + u32(0), kDefaultMask, 0, "Registry1", 0, "talvo::io::Strean" + u32(0),
       false},
      {"rw1", legacy_header("rw1", 0, 0, 0, 0) + "data", kDefaultMask, 0, "G1RwRegistry1", 24, "data", false},
      {"rw2 packed", legacy_header("rw2", 1, 1, static_cast<uint32_t>(packed.size()), 100) + packed + "tail",
       kDefaultMask, 0, "G1RwRegistry2", 0, payload, true},
      {"rw1 packed, other flag bits ignored",
       legacy_header("rw1", 5, 1, static_cast<uint32_t>(packed.size()), 13) + packed, kDefaultMask, 0,
       "G1RwRegistry1", 0, payload, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = temp_file(c.bytes);
    MainLogTail log;
    IArcStream in;
    in.open(path.c_str(), AbstractFile::in, c.mask);
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.flags(), c.flags);
    EXPECT_EQ(registry_kind(in), c.registry);
    EXPECT_EQ(in.data_start(), c.data_start);
    EXPECT_EQ(in.base_buffer() == nullptr, c.unpacked);
    EXPECT_EQ(read_rest(in), c.delivered);
    EXPECT_EQ(in.rdstate(), kEof | kFail);
    EXPECT_TRUE(lines_starting(log, {"[talvo.io] error: ", "[talvo.io] warning: "}).empty());
  }
}

TEST(StreamHeader, Refused) {
  const std::string packed = talvo_test::zlib_packed(numbered(5000));
  const auto n = static_cast<uint32_t>(packed.size());
  std::string corrupt = packed;  // its check word no longer fits the data
  corrupt.back() = static_cast<char>(corrupt.back() ^ 0x5A);
  const std::string zlib = "z_uncompress() failed while opening g1rw stream";
  struct Case {
    const char* what;
    std::string bytes;
    std::string logged;     // the error line ("" none)
    std::string text;       // start of the failure's text
    std::string zlib_text;  // the zlib message ending the failure's text ("" none)
  } cases[] = {
      {"header cut short", "rw2\0"s, "reading rw1 header failed", "i/o error", ""},
      {"encrypted", legacy_header("rw1", 3, 1, n, 5000) + packed, "Encrypted g1rw streams are not supported",
       " Encrypted g1rw streams are not supported", ""},
      {"brelox", legacy_header("rw2", 1, 0, n, 5000) + packed, "g1rw streams packed with brelox are not supported",
       " g1rw streams packed with brelox are not supported", ""},
      {"unknown packer", legacy_header("rw2", 1, 9, n, 5000) + packed, "Unknown g1rw stream packer type",
       " Unknown g1rw stream packer type", ""},
      {"corrupt data", legacy_header("rw2", 1, 1, n, 5000) + corrupt, zlib + ": data error.", " " + zlib,
       ": data error"},
      {"unpacked size too small", legacy_header("rw2", 1, 1, n, 4999) + packed, zlib + ": buffer error.", " " + zlib,
       ": buffer error"},
      // Sizes are never trusted.
      {"packed size past the end", legacy_header("rw2", 1, 1, n + 1, 5000) + packed, zlib + ": data error.",
       " " + zlib, ": data error"},
      {"packed size 4 GiB", legacy_header("rw2", 1, 1, 0xFFFFFFFF, 5000) + packed, zlib + ": data error.", " " + zlib,
       ": data error"},
      {"unpacked size 4 GiB", legacy_header("rw2", 1, 1, n, 0xFFFFFFFF) + packed, zlib + ": insufficient memory.",
       " " + zlib, ": insufficient memory"},
      {"unpacked size past the zlib ratio", legacy_header("rw2", 1, 1, n, n * 1032 + 1) + packed,
       zlib + ": insufficient memory.", " " + zlib, ": insufficient memory"},
      {"unknown packer, packed size 4 GiB", legacy_header("rw2", 1, 9, 0xFFFFFFFF, 5000),
       "Unknown g1rw stream packer type", " Unknown g1rw stream packer type", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = temp_file(c.bytes);
    {
      // Mask 0: logged and failed, nothing thrown; the legacy registry stays.
      MainLogTail log;
      IArcStream in;
      in.open(path.c_str(), AbstractFile::in, 0);
      EXPECT_TRUE(in.fail());
      EXPECT_NE(in.registry(), nullptr);
      EXPECT_NE(in.base_buffer(), nullptr);  // no unpacked data
      EXPECT_EQ(lines_starting(log, {"[talvo.io] error: "}), std::vector<std::string>{"[talvo.io] error: " + c.logged});
    }
    // With fail in the mask the refusal throws (a cut header throws from
    // the read before anything is logged).
    MainLogTail log;
    const std::string text = failure_of([&] {
      IArcStream in;
      in.open(path.c_str(), AbstractFile::in, kDefaultMask);
    });
    EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
    const std::string end = c.zlib_text + " ('" + path + "')";
    ASSERT_GE(text.size(), end.size()) << text;
    EXPECT_EQ(text.substr(text.size() - end.size()), end) << text;
    const std::vector<std::string> lines = lines_starting(log, {"[talvo.io] error: ", "[exception] error: "});
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], c.text == "i/o error" ? "[exception] error: class talvo::io::Failure"
                                              : "[talvo.io] error: " + c.logged);
  }
}

TEST(StreamHeader, ZipMembers) {
  const std::string dir = fresh_dir();
  const std::string packed = talvo_test::zlib_packed("inside");
  write_zip(dir + "/d.zip", {{"a.bmp", "BM picture", true},
                             {"p.rw", legacy_header("rw2", 1, 1, static_cast<uint32_t>(packed.size()), 6) + packed},
                             {"e.rw", legacy_header("rw2", 3, 1, 0, 0), false}});
  talvo::io::ZipFormat zip;
  {
    // Without a header the member goes back to its start.
    IArcStream in;
    in.open((dir + "/d/a.bmp").c_str(), AbstractFile::in, kDefaultMask);
    EXPECT_EQ(in.tell(), 0);
    EXPECT_EQ(registry_kind(in), "Registry1");
    EXPECT_EQ(read_rest(in), "BM picture");
  }
  {
    IArcStream in;
    in.open((dir + "/d/p.rw").c_str(), AbstractFile::in, kDefaultMask);
    EXPECT_EQ(read_rest(in), "inside");
  }
  // A refusal names the member file's own state.
  const std::string name = dir + "/d.zip?e.rw";
  EXPECT_EQ(failure_of([&] {
              IArcStream in;
              in.open((dir + "/d/e.rw").c_str(), AbstractFile::in, kDefaultMask);
            }),
            " Encrypted g1rw streams are not supportedno error (zip status 0) ('" + name + "')");
}

TEST(StreamHeader, ReopenGivesUpUnpackedData) {
  const std::string packed = talvo_test::zlib_packed("unpacked");
  const std::string rw = temp_file(legacy_header("rw2", 1, 1, static_cast<uint32_t>(packed.size()), 8) + packed);
  const std::string native = temp_file("talvo::io::Stream" + u32(0) + "native");
  const std::string plain = temp_file("plain");
  IFStream file(rw.c_str(), AbstractFile::in);
  EXPECT_EQ(read_rest(file), "unpacked");
  file.open(native.c_str(), AbstractFile::in, kDefaultMask);
  EXPECT_EQ(file.base_buffer(), file.buffer());
  EXPECT_EQ(file.data_start(), 21);
  EXPECT_EQ(read_rest(file), "native");
  file.set_flags(file.flags() | Stream::raw);
  file.open(plain.c_str(), AbstractFile::in, kDefaultMask);
  EXPECT_EQ(file.data_start(), 0);
  EXPECT_EQ(read_rest(file), "plain");

  IArcStream arc;
  arc.open(rw.c_str(), AbstractFile::in, kDefaultMask);
  EXPECT_EQ(arc.base_buffer(), nullptr);
  arc.open(native.c_str(), AbstractFile::in, kDefaultMask);
  EXPECT_EQ(arc.data_start(), 21);
  arc.set_flags(arc.flags() | Stream::raw);
  arc.open(plain.c_str(), AbstractFile::in, kDefaultMask);
  EXPECT_EQ(arc.data_start(), 0);
  EXPECT_EQ(read_rest(arc), "plain");
}

}  // namespace
