#include "tools/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include <jpeglib.h>

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Whether the file holds exactly these bytes; false when it cannot be read.
bool holds(const std::filesystem::path& path, const Bytes& bytes) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) || std::filesystem::file_size(path, error) != bytes.size())
    return false;
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  Bytes old(bytes.size() + 1);
  return std::fread(old.data(), 1, old.size(), f.get()) == bytes.size() &&
         std::equal(bytes.begin(), bytes.end(), old.begin());
}

}  // namespace

void put16(Bytes& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(Bytes& out, uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

FileWas restoreFile(const std::string& path, const Bytes& bytes) {
  const std::filesystem::path file(path);
  if (holds(file, bytes)) return FileWas::Same;
  std::error_code error;
  const bool existed = std::filesystem::exists(std::filesystem::symlink_status(file, error));
  const std::string fresh = path + ".new";
  FilePtr f(std::fopen(fresh.c_str(), "wb"));
  bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
  std::string why = ok ? "" : std::strerror(errno);
  if (f && std::fclose(f.release()) != 0 && ok) {
    ok = false;
    why = std::strerror(errno);
  }
  if (ok) std::filesystem::rename(fresh, file, error);
  if (!ok || error) {
    if (ok) why = error.message();
    std::filesystem::remove(fresh, error);
    throw std::runtime_error("cannot write " + path + ": " + why);
  }
  return existed ? FileWas::Different : FileWas::Missing;
}

Bytes bmp24(const Canvas& picture) {
  const int w = picture.width(), h = picture.height();
  const uint32_t stride = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
  Bytes out;
  out.push_back('B');
  out.push_back('M');
  put32(out, 54 + stride * h);
  put32(out, 0);
  put32(out, 54);
  put32(out, 40);
  put32(out, w);
  put32(out, h);
  put16(out, 1);
  put16(out, 24);
  put32(out, 0);  // BI_RGB
  put32(out, stride * h);
  put32(out, 2835);  // 72 dpi
  put32(out, 2835);
  put32(out, 0);
  put32(out, 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const Rgba& p = picture.at(x, y);
      out.push_back(p.b);
      out.push_back(p.g);
      out.push_back(p.r);
    }
    for (uint32_t pad = w * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

Bytes tga32(const Canvas& picture) {
  Bytes out;
  out.push_back(0);  // no image id
  out.push_back(0);  // no colour map
  out.push_back(2);  // uncompressed true colour
  for (int i = 0; i < 5; ++i) out.push_back(0);
  put16(out, 0);
  put16(out, 0);
  put16(out, picture.width());
  put16(out, picture.height());
  out.push_back(32);
  out.push_back(0x28);  // top-down rows, 8 alpha bits
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const Rgba& p = picture.at(x, y);
      out.insert(out.end(), {p.b, p.g, p.r, p.a});
    }
  return out;
}

Bytes jpeg(const Canvas& picture, int quality) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(picture.width());
  cinfo.image_height = static_cast<JDIMENSION>(picture.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  Bytes row(static_cast<size_t>(picture.width()) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < picture.width(); ++x) {
      const Rgba& p = picture.at(x, y);
      row[x * 3] = p.r;
      row[x * 3 + 1] = p.g;
      row[x * 3 + 2] = p.b;
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

Bytes wav(const std::vector<int16_t>& samples, int rate) {
  const uint32_t bytes = static_cast<uint32_t>(samples.size()) * 2;
  Bytes out;
  for (char c : std::string("RIFF")) out.push_back(static_cast<uint8_t>(c));
  put32(out, 36 + bytes);
  for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
  put32(out, 16);
  put16(out, 1);  // PCM
  put16(out, 1);  // mono
  put32(out, rate);
  put32(out, rate * 2);
  put16(out, 2);
  put16(out, 16);
  for (char c : std::string("data")) out.push_back(static_cast<uint8_t>(c));
  put32(out, bytes);
  for (int16_t s : samples) put16(out, static_cast<uint16_t>(s));
  return out;
}
