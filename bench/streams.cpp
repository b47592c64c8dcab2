// Reading a 24-bit 800x600 picture's bytes row by row, as the picture
// decoders do: from a plain file through IArcStream beside std::ifstream and
// stdio, and from a deflated zip member through IArcStream (also with the
// decoders' one seek back to the rows) beside minizip read directly. Every
// row reports "bytes_per_second".
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unzip.h>
#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "talvo/Archive.h"
#include "talvo/Log.h"
#include "talvo/Stream.h"

namespace {

constexpr size_t kRow = 800 * 3;
constexpr size_t kRows = 600;
constexpr size_t kHeader = 54;
constexpr size_t kSize = kHeader + kRow * kRows;

// The picture's bytes: noise over smooth runs, so that deflate has work on
// both sides.
std::string picture() {
  std::string bytes(kSize, '\0');
  std::mt19937 rng(1);
  for (size_t i = 0; i < kSize; ++i) bytes[i] = static_cast<char>((i / 7 % 64) + (rng() & 15));
  return bytes;
}

struct Files {
  std::string dir;
  std::string plain;   // dir/pic.bmp
  std::string member;  // dir/pics/pic.bmp, in dir/pics.zip
  std::string archive;

  Files() {
    char pattern[] = "/tmp/bench-streams-XXXXXX";
    dir = mkdtemp(pattern);
    plain = dir + "/pic.bmp";
    member = dir + "/pics/pic.bmp";
    archive = dir + "/pics.zip";
    const std::string bytes = picture();
    std::ofstream(plain, std::ios::binary) << bytes;
    zipFile zip = zipOpen64(archive.c_str(), 0);
    zipOpenNewFileInZip(zip, "pic.bmp", nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION);
    zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size()));
    zipCloseFileInZip(zip);
    zipClose(zip, nullptr);
  }
  ~Files() { std::filesystem::remove_all(dir); }
};

Files& files() {
  static Files f;
  return f;
}

talvo::io::ZipFormat zip_format;

// Where a read puts the header and row y: in the timed loop every row into
// one row's buffer, as the decoders do; in the check after it, each into its
// own place of a whole copy.
struct Target {
  char* base;
  bool whole;
  char* header() const { return base; }
  char* row(size_t y) const { return whole ? base + kHeader + y * kRow : base; }
};

// Runs `read` once into a whole copy, outside the timed loop, and fails the
// row unless the copy holds the picture's bytes.
template <class Read>
void check_bytes(benchmark::State& state, Read read) {
  std::string got(kSize, '\0');
  read(Target{got.data(), true});
  if (got != picture()) state.SkipWithError("the bytes read differ from the picture");
}

// Times `read` on one row's buffer, then checks it once.
template <class Read>
void time_reads(benchmark::State& state, Read read) {
  talvo::log_switch.disable = 1;  // as the decoder rows have it
  std::vector<char> row(kRow);
  for (auto _ : state) {
    read(Target{row.data(), false});
    benchmark::DoNotOptimize(row.data());
  }
  check_bytes(state, read);
  talvo::log_switch.disable = 0;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void Ours_IArcStream(benchmark::State& state, const std::string& path, bool seek_back) {
  time_reads(state, [&](Target t) {
    talvo::io::IArcStream in;
    in.set_flags(in.flags() | talvo::io::Stream::raw);
    in.open(path.c_str(), talvo::AbstractFile::in, talvo::io::Stream::badbit | talvo::io::Stream::failbit);
    in.read_all(t.header(), kHeader);
    if (seek_back) {
      // The decoders read the header, then seek from the start to the rows.
      in.seek(0);
      in.read_all(t.header(), kHeader);
    }
    for (size_t y = 0; y < kRows; ++y) in.read_all(t.row(y), kRow);
  });
}

void Std_Ifstream(benchmark::State& state) {
  time_reads(state, [](Target t) {
    std::ifstream in(files().plain, std::ios::binary);
    in.read(t.header(), kHeader);
    for (size_t y = 0; y < kRows; ++y) in.read(t.row(y), kRow);
  });
}

void Stdio_Fread(benchmark::State& state) {
  time_reads(state, [](Target t) {
    FILE* f = std::fopen(files().plain.c_str(), "rb");
    size_t got = std::fread(t.header(), 1, kHeader, f);
    for (size_t y = 0; y < kRows; ++y) got += std::fread(t.row(y), 1, kRow, f);
    std::fclose(f);
    benchmark::DoNotOptimize(got);
  });
}

void Minizip_Direct(benchmark::State& state) {
  time_reads(state, [](Target t) {
    unzFile zip = unzOpen64(files().archive.c_str());
    unzLocateFile(zip, "pic.bmp", 2);
    unzOpenCurrentFile(zip);
    unzReadCurrentFile(zip, t.header(), kHeader);
    for (size_t y = 0; y < kRows; ++y) unzReadCurrentFile(zip, t.row(y), kRow);
    unzCloseCurrentFile(zip);
    unzClose(zip);
  });
}

void Ours_PlainFile(benchmark::State& state) { Ours_IArcStream(state, files().plain, false); }
void Ours_ZipMember(benchmark::State& state) { Ours_IArcStream(state, files().member, false); }
void Ours_ZipMemberSeekBack(benchmark::State& state) { Ours_IArcStream(state, files().member, true); }

BENCHMARK(Ours_PlainFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(Std_Ifstream)->Unit(benchmark::kMicrosecond);
BENCHMARK(Stdio_Fread)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ours_ZipMember)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ours_ZipMemberSeekBack)->Unit(benchmark::kMicrosecond);
BENCHMARK(Minizip_Direct)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
