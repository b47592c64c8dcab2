// Zip archive members through talvo::io::IArcStream: the input is written as
// the archive arc.zip in a directory of its own, and the paths arc/a.bin,
// arc/sub/b.bin and arc/data.rw are opened as the engine opens its files
// (the plain file is missing, the archive's member is found). Each member
// is read three ways:
//  - raw, whole, in pieces of 4096 bytes (at most kMaxBytes);
//  - raw, along a fixed plan of short reads, seeks forward, seeks back (the
//    member is opened again) and seeks past its end: every byte read must be
//    the whole read's byte at that position, and the position the one the
//    plan reached, while neither read failed;
//  - with the stream header check (rw1/rw2 data is unpacked, a native header
//    skipped) and the exception mask set, read to its end.
// The seeds are made by fuzz/zip_member_seeds.py.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "input_file.h"
#include "talvo/Archive.h"
#include "talvo/Exception.h"
#include "talvo/Log.h"
#include "talvo/Stream.h"

namespace {

using talvo::AbstractFile;
using talvo::io::IArcStream;
using talvo::io::Stream;

constexpr size_t kMaxBytes = 1 << 18;
constexpr std::streamsize kPiece = 4096;

struct Whole {
  bool opened = false;
  bool clean = false;  // ended at the end of the data or at kMaxBytes, not on a failed read
  std::vector<char> bytes;
};

void openRaw(IArcStream& in, const std::string& path) {
  in.set_flags(in.flags() | Stream::raw);
  in.open(path.c_str(), AbstractFile::in, 0);
}

Whole readWhole(const std::string& path) {
  Whole w;
  IArcStream in;
  openRaw(in, path);
  if (in.fail()) return w;
  w.opened = true;
  char piece[kPiece];
  while (w.bytes.size() < kMaxBytes) {
    const std::streamsize got = in.read_some(piece, kPiece);
    if (got < 0 || got > kPiece) std::abort();
    w.bytes.insert(w.bytes.end(), piece, piece + got);
    if (got < kPiece) break;
  }
  w.clean = !in.bad();
  return w;
}

// One step of the plan: a read of `value` bytes, or a seek to position
// `value`.
struct Step {
  enum { read, seek } kind;
  int64_t value;
};
constexpr Step kPlan[] = {{Step::read, 1},       {Step::read, 7},   {Step::seek, 100},  {Step::read, 600},
                          {Step::seek, 5},       {Step::read, 513}, {Step::seek, 2000}, {Step::read, 4096},
                          {Step::seek, 1999},    {Step::read, 3},   {Step::seek, 0},    {Step::read, 10},
                          {Step::seek, 1 << 20}, {Step::read, 8}};

void readAlongPlan(const std::string& path, const Whole& whole) {
  IArcStream in;
  openRaw(in, path);
  if (in.fail() == whole.opened) std::abort();  // the same archive opens alike
  if (in.fail()) return;
  int64_t at = 0;
  std::vector<char> piece;
  for (const Step& step : kPlan) {
    if (step.kind == Step::seek) {
      in.clear();
      const int64_t to = in.seek(step.value);
      if (to == -1) return;  // past the end, or a failed read: the position is gone
      if (to != step.value) std::abort();
      at = to;
      continue;
    }
    piece.resize(size_t(step.value));
    const std::streamsize got = in.read_some(piece.data(), step.value);
    if (got < 0 || got > step.value) std::abort();
    if (in.bad() || !whole.clean) return;
    const int64_t known = std::min<int64_t>(got, int64_t(whole.bytes.size()) - at);
    if (known > 0 && std::memcmp(piece.data(), whole.bytes.data() + at, size_t(known))) std::abort();
    // Short of what the whole read had there: only at the end of the data.
    if (got < step.value && whole.bytes.size() < kMaxBytes && at + got != int64_t(whole.bytes.size())) std::abort();
    at += got;
    if (!in.fail() && in.tell() != at) std::abort();
  }
}

void readWithHeader(const std::string& path) {
  try {
    IArcStream in;
    in.open(path.c_str(), AbstractFile::in, Stream::badbit | Stream::failbit);
    char piece[kPiece];
    size_t total = 0;
    while (total < kMaxBytes && in.read_some(piece, kPiece) == kPiece) total += kPiece;
  } catch (const talvo::Exception&) {
    // A refused header, a failed read or an operation members lack.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Failures log; the log is not what is tested here.
  talvo::log_switch.disable = 1;
  static talvo::io::ZipFormat zip;
  if (size > 1 << 20) return 0;
  std::string dir = fuzz::writeInput("arc.zip", data, size);
  dir.resize(dir.size() - std::strlen("arc.zip"));
  for (const char* member : {"arc/a.bin", "arc/sub/b.bin", "arc/data.rw"}) {
    const std::string path = dir + member;
    const Whole whole = readWhole(path);
    readAlongPlan(path, whole);
    readWithHeader(path);
  }
  return 0;
}
