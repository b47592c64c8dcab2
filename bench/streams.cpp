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

void count_bytes(benchmark::State& state) { state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize)); }

void read_rows(talvo::io::IArcStream& in, char* row) {
  for (size_t y = 0; y < kRows; ++y) in.read_all(row, kRow);
}

void Ours_IArcStream(benchmark::State& state, const std::string& path, bool seek_back) {
  std::vector<char> row(kRow);
  for (auto _ : state) {
    talvo::io::IArcStream in;
    in.set_flags(in.flags() | talvo::io::Stream::raw);
    in.open(path.c_str(), talvo::AbstractFile::in, talvo::io::Stream::badbit | talvo::io::Stream::failbit);
    in.read_all(row.data(), kHeader);
    if (seek_back) {
      // The decoders read the header, then seek from the start to the rows.
      in.seek(0);
      in.read_all(row.data(), kHeader);
    }
    read_rows(in, row.data());
    benchmark::DoNotOptimize(row.data());
  }
  count_bytes(state);
}

void Std_Ifstream(benchmark::State& state) {
  std::vector<char> row(kRow);
  for (auto _ : state) {
    std::ifstream in(files().plain, std::ios::binary);
    in.read(row.data(), kHeader);
    for (size_t y = 0; y < kRows; ++y) in.read(row.data(), kRow);
    benchmark::DoNotOptimize(row.data());
  }
  count_bytes(state);
}

void Stdio_Fread(benchmark::State& state) {
  std::vector<char> row(kRow);
  for (auto _ : state) {
    FILE* f = std::fopen(files().plain.c_str(), "rb");
    size_t got = std::fread(row.data(), 1, kHeader, f);
    for (size_t y = 0; y < kRows; ++y) got += std::fread(row.data(), 1, kRow, f);
    std::fclose(f);
    benchmark::DoNotOptimize(got);
  }
  count_bytes(state);
}

void Minizip_Direct(benchmark::State& state) {
  std::vector<char> row(kRow);
  for (auto _ : state) {
    unzFile zip = unzOpen64(files().archive.c_str());
    unzLocateFile(zip, "pic.bmp", 2);
    unzOpenCurrentFile(zip);
    unzReadCurrentFile(zip, row.data(), kHeader);
    for (size_t y = 0; y < kRows; ++y) unzReadCurrentFile(zip, row.data(), kRow);
    unzCloseCurrentFile(zip);
    unzClose(zip);
    benchmark::DoNotOptimize(row.data());
  }
  count_bytes(state);
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
