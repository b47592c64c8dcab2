// Loading 800x600 pictures from files, as the game loads its background and
// mask: a JPEG through JpgDecoder beside libjpeg read with its own stdio
// source and the same output settings, a 24-bit BMP through DibDecoder beside
// SDL_LoadBMP, and a run-length 32-bit TGA through TgaDecoder beside reading
// the file's bytes with stdio (no TGA library is at hand; the bytes are the
// floor). The rate "pixels=...M/s" counts picture pels (Mpixels/s).
//
// Every row checks its output once after its timed loop: the BMP and TGA
// decoders and SDL_LoadBMP give the colours the files hold; ours and libjpeg
// (the same settings, the same decoder underneath) give the same pels of
// the JPEG; stdio reads the whole file.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "bench/picture.h"
#include "img/DibDecoder.h"
#include "img/JpgDecoder.h"
#include "img/TgaDecoder.h"
#include "talvo/Log.h"

using namespace talvo::g;
using bench_picture::H;
using bench_picture::W;

namespace {

// A smooth picture with some noise, B, G, R, top row first.
std::vector<std::uint8_t> picture_bgr() {
  std::vector<std::uint8_t> bgr(std::size_t(W) * H * 3);
  std::mt19937 rng(1);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      std::uint8_t* p = &bgr[(std::size_t(y) * W + x) * 3];
      p[0] = std::uint8_t(x / 4 + (rng() & 7));
      p[1] = std::uint8_t(y / 3);
      p[2] = std::uint8_t((x + y) / 6);
    }
  return bgr;
}

void put16(std::string& s, std::uint32_t v) { s += char(v), s += char(v >> 8); }
void put32(std::string& s, std::uint32_t v) { put16(s, v), put16(s, v >> 16); }

std::string bmp(const std::vector<std::uint8_t>& bgr) {
  std::string s = "BM";
  put32(s, 54 + W * H * 3), put32(s, 0), put32(s, 54);
  put32(s, 40), put32(s, W), put32(s, H), put16(s, 1), put16(s, 24);
  for (int i = 0; i < 6; ++i) put32(s, 0);
  for (int y = H - 1; y >= 0; --y) s.append(reinterpret_cast<const char*>(&bgr[std::size_t(y) * W * 3]), W * 3);
  return s;
}

// The picture with each pel standing for the three after it, as the TGA
// holds it.
std::vector<std::uint8_t> picture_in_runs() {
  std::vector<std::uint8_t> bgr = picture_bgr();
  for (std::size_t i = 0; i < std::size_t(W) * H; ++i) std::memmove(&bgr[i * 3], &bgr[(i & ~std::size_t(3)) * 3], 3);
  return bgr;
}

// 32-bit pels in run-length packets: runs of four equal pels.
std::string tga(const std::vector<std::uint8_t>& bgr) {
  std::string s;
  s += char(0), s += char(0), s += char(10);
  put16(s, 0), put16(s, 0), s += char(0), put16(s, 0), put16(s, 0), put16(s, W), put16(s, H);
  s += char(32), s += char(8);
  for (int y = H - 1; y >= 0; --y)
    for (int x = 0; x < W; x += 4) {
      const std::uint8_t* p = &bgr[(std::size_t(y) * W + x) * 3];
      s += char(0x83), s.append(reinterpret_cast<const char*>(p), 3), s += char(255);
    }
  return s;
}

std::string jpeg(const std::vector<std::uint8_t>& bgr) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = W;
  c.image_height = H;
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&bgr[std::size_t(c.next_scanline) * W * 3]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string s(reinterpret_cast<char*>(out), size);
  free(out);
  return s;
}

struct Files {
  std::string dir, bmp, tga, jpg;
  Files() {
    char pattern[] = "/tmp/bench-decoders-XXXXXX";
    dir = mkdtemp(pattern);
    const auto bgr = picture_bgr();
    const auto write = [&](const char* name, const std::string& bytes) {
      const std::string path = dir + "/" + name;
      std::FILE* f = std::fopen(path.c_str(), "wb");
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
      return path;
    };
    bmp = write("pic.bmp", ::bmp(bgr));
    tga = write("pic.tga", ::tga(bgr));
    jpg = write("pic.jpg", ::jpeg(bgr));
  }
  ~Files() { std::filesystem::remove_all(dir); }
};

Files& files() {
  static Files f;
  return f;
}

using Colours = std::vector<std::uint8_t>;  // B, G, R a pel, top row first

// The colours of W x H pels of `size` bytes (B, G, R first) from rows
// `pitch` bytes apart.
Colours coloursOf(const std::uint8_t* top, std::ptrdiff_t pitch, int size) {
  Colours c(std::size_t(W) * H * 3);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      std::memcpy(&c[(std::size_t(y) * W + x) * 3], top + y * pitch + std::ptrdiff_t(x) * size, 3);
  return c;
}

template <class Decoder>
Colours decoded(const std::string& name) {
  ImageRow row;
  Decoder().load(name.c_str(), row);
  if (row.width() != W || row.height() != H || bytes_per_pel(row.type()) < 3) return {};
  return coloursOf(row.pels(), row.pitch(), bytes_per_pel(row.type()));
}

void check(benchmark::State& state, const Colours& got, const Colours& want) {
  if (got != want) state.SkipWithError("the colours differ from what the file holds");
}

// The JPEG decoded by libjpeg with our decoder's settings.
Colours libjpeg() {
  std::FILE* f = std::fopen(files().jpg.c_str(), "rb");
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_stdio_src(&d, f);
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_EXT_BGR;
  d.dct_method = JDCT_IFAST;
  d.dither_mode = JDITHER_NONE;
  jpeg_start_decompress(&d);
  Colours pels(std::size_t(d.output_width) * d.output_height * 3);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = &pels[std::size_t(d.output_scanline) * d.output_width * 3];
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  std::fclose(f);
  return pels;
}

template <class Decoder>
void Ours(benchmark::State& state, const std::string& name, Colours (*want)()) {
  talvo::log_switch.disable = 1;
  for (auto _ : state) {
    ImageRow row;
    Decoder().load(name.c_str(), row);
    benchmark::DoNotOptimize(row.pels());
  }
  check(state, decoded<Decoder>(name), want());
  bench_picture::count_pixels(state);
}

void JpgDecoderLoad(benchmark::State& state) { Ours<JpgDecoder>(state, files().jpg, libjpeg); }
void DibDecoderLoad(benchmark::State& state) { Ours<DibDecoder>(state, files().bmp, picture_bgr); }
void TgaDecoderLoadRle32(benchmark::State& state) { Ours<TgaDecoder>(state, files().tga, picture_in_runs); }

void LibjpegStdio(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(libjpeg().data());
  check(state, libjpeg(), decoded<JpgDecoder>(files().jpg));
  bench_picture::count_pixels(state);
}

void SdlLoadBmp(benchmark::State& state) {
  for (auto _ : state) {
    SDL_Surface* s = SDL_LoadBMP(files().bmp.c_str());
    benchmark::DoNotOptimize(s->pixels);
    SDL_FreeSurface(s);
  }
  SDL_Surface* s = SDL_LoadBMP(files().bmp.c_str());
  check(state, coloursOf(static_cast<const std::uint8_t*>(s->pixels), s->pitch, s->format->BytesPerPixel),
        picture_bgr());
  SDL_FreeSurface(s);
  bench_picture::count_pixels(state);
}

// The file's bytes read with stdio; the size read.
std::size_t stdioBytes(std::vector<char>& bytes) {
  std::FILE* f = std::fopen(files().tga.c_str(), "rb");
  bytes.resize(std::filesystem::file_size(files().tga));
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return got;
}

void StdioBytes(benchmark::State& state) {
  std::vector<char> bytes;
  for (auto _ : state) benchmark::DoNotOptimize(stdioBytes(bytes));
  if (stdioBytes(bytes) != bytes.size() || bytes.empty()) state.SkipWithError("the file was not read whole");
  bench_picture::count_pixels(state);
}

}  // namespace

BENCHMARK(JpgDecoderLoad);
BENCHMARK(LibjpegStdio);
BENCHMARK(DibDecoderLoad);
BENCHMARK(SdlLoadBmp);
BENCHMARK(TgaDecoderLoadRle32);
BENCHMARK(StdioBytes);

BENCHMARK_MAIN();
