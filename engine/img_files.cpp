// The picture slots of the image base class beside BMP (engine/img_bmp.cpp):
// TGA and JPEG through the image library's decoders, and depth text files.
//
// TGA and JPEG pictures decode into a talvo::g::ImageRow of the file's own
// pel format (its type codes 1 to 9 are the engine's format codes), which is
// copied into the image; an 8-bit TGA keeps its palette. The decoders'
// failures pass to the caller as their exceptions, with the image unchanged.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/err.h"
#include "engine/img.h"
#include "img/Image.h"
#include "img/JpgDecoder.h"
#include "img/TgaDecoder.h"
#include "platform/win_stdio.h"
#include "talvo/Stream.h"

namespace {

// The decoded picture copied into the image: its size, format and pels.
void copyPicture(imgCTy& image, talvo::g::ImageRow& row) {
  talvo::g::Image::Lock from(row, nullptr, talvo::g::Image::Lock::read);
  palCTy palette;
  if (const talvo::g::Palette* p = row.palette()) {
    const uint32_t count = p->count() < palCTy::kTableEntries ? p->count() : palCTy::kTableEntries;
    uint8_t quads[4 * palCTy::kTableEntries];
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t c = p->entry(i, talvo::g::pel_type::rgba8888);
      std::memcpy(quads + 4 * i, &c, 4);
    }
    palette.Set(quads, count);
    for (uint32_t i = 0; i < palette.count; ++i) palette.entries[i].a = quads[4 * i + 3];
  }
  pelFmtDesc d;
  d.Set(row.type(), row.palette() ? &palette : nullptr);
  image.SetSize(row.width(), row.height(), &d);
  image.Lock(nullptr, img_LOCK_READWRITE);
  const bool took = image.data && image.width == row.width() && image.height == row.height() &&
                    image.PelFormat() == row.type();
  if (took) {
    const size_t rowBytes = size_t(row.width()) * size_t(image.BytesPerPel());
    for (int32_t y = 0; y < row.height(); ++y)
      std::memcpy(image.data + int64_t(y) * image.pitch * image.BytesPerPel(), from.row(y), rowBytes);
  }
  image.Unlock();
  if (!took) errRaiseArg(ERR_DATA, "");
}

template <class Decoder, class Source>
void loadPicture(imgCTy& image, Source& source) {
  Decoder decoder;
  talvo::g::ImageRow row;
  decoder.load(source, row);
  copyPicture(image, row);
}

// f * 65536 truncated toward zero, saturated to the int range; 0 (no depth
// under 1/65536, and NaN) reads as -30000.0.
constexpr int32_t kNoDepth = int32_t(0x8AD00000);
int32_t depthOf(float f) {
  const double v = double(f) * 65536.0;
  if (std::isnan(v)) return kNoDepth;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  const int32_t d = int32_t(v);
  return d ? d : kNoDepth;
}

}  // namespace

void imgCTy::LoadTga(const char* fileName) { loadPicture<talvo::g::TgaDecoder>(*this, fileName); }

void imgCTy::LoadTgaStream(talvo::io::IStream* stream) { loadPicture<talvo::g::TgaDecoder>(*this, *stream); }

void imgCTy::LoadJpg(const char* fileName) { loadPicture<talvo::g::JpgDecoder>(*this, fileName); }

void imgCTy::LoadZText(const char* fileName) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(_fsopen(fileName, "r", _SH_DENYNO), std::fclose);
  if (!f) {
    errRaiseArg(ERR_CANT_OPEN, fileName);
    return;
  }
  int w = 0, h = 0;
  if (std::fscanf(f.get(), "%d\n", &w) != 1 || std::fscanf(f.get(), "%d\n", &h) != 1 || w <= 0 || h <= 0 ||
      int64_t(w) * h > INT32_MAX / 4) {
    errRaiseArg(ERR_DATA, fileName);
    return;
  }
  pelFmtDesc d;
  d.Set(pel_FMT_Z32, nullptr);
  SetSize(w, h, &d);
  Lock(nullptr, img_LOCK_READWRITE);
  if (!data || width != w || height != h || PelFormat() != pel_FMT_Z32) {
    Unlock();
    errRaiseArg(ERR_DATA, fileName);
    return;
  }
  bool complete = true;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = data + int64_t(y) * pitch * 4;
    for (int x = 0; x < w; ++x) {
      float v = 0;
      complete = complete && std::fscanf(f.get(), "%f\n", &v) == 1;
      const int32_t depth = complete ? depthOf(v) : kNoDepth;
      std::memcpy(row + 4 * x, &depth, 4);
    }
  }
  Unlock();
  if (!complete) errRaiseArg(ERR_DATA, fileName);
}
