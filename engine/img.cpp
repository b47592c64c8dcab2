// The image base class: locks, single pels, fills, colour keys, the draw
// wrappers and the rw header. The draw and line slots are the software
// draw's (engine/draw), the picture slots the picture files'.
#include "engine/img.h"

#include <cassert>
#include <cmath>
#include <cstring>

#include "base/err.h"

namespace {

// Bytes of a pel that PelAtXY and Fill reach: formats 1 to 6, 9 and 10; 0
// for the rest.
int reachableBytes(int format) {
  switch (format) {
    case pel_FMT_X4R4G4B4:
    case pel_FMT_A4R4G4B4:
    case pel_FMT_UNKNOWN:
      return 0;
    default:
      return pelBytes(format);
  }
}

[[maybe_unused]] bool sameRect(const rectCTy& a, const rectCTy& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }


}  // namespace

int32_t imgDrawWeightOf(float factor) {
  const float v = factor * 256.0f;
  if (std::isnan(v)) return 0;
  if (v >= 2147483648.0f) return INT32_MAX;
  if (v <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(v);
}

imgDrawParams imgDrawParamsOf(int32_t mode) {
  imgDrawParams p{};
  p.mode = mode;
  p.scaleX = 1.0f;
  p.scaleY = 1.0f;
  return p;
}

imgCTy::imgCTy(const imgCTy& other)
    : rwObjCTy(other),
      classId(other.classId),
      desc(other.desc),
      width(other.width),
      height(other.height),
      keyFlag(other.keyFlag),
      keyColor(other.keyColor),
      keyPel(other.keyPel) {}

imgCTy::~imgCTy() {}

bool imgCTy::Inside(const rectCTy& r) const {
  if (r.w <= 0 || r.h <= 0) return true;
  return r.x >= 0 && r.y >= 0 && int64_t(r.x) + r.w <= width && int64_t(r.y) + r.h <= height;
}

void imgCTy::Write(rwStream* stream) {
  WriteHeader(stream);
  WriteData(stream);
}

void imgCTy::Read(rwStream* stream) {
  ReadHeader(stream);
  ReadData(stream);
}

void imgCTy::ResolveRect(const rectCTy* rect, rectCTy* out, int) { *out = rect ? *rect : rectCTy{0, 0, width, height}; }

void imgCTy::SetColorKey(uint32_t pel) {
  keyPel = pel;
  keyFlag = 1;
  keyColor = desc.ToRGB(pel, pel_FMT_X8R8G8B8);
}

void imgCTy::SetColorKeyRGB(uint32_t colour) {
  keyColor = colour;
  keyFlag = 1;
  keyPel = desc.ToNative(colour, pel_FMT_X8R8G8B8);
}

void imgCTy::Lock(const rectCTy* rect, int mode) {
  rectCTy r;
  if (data) {
    // Locks do not nest: a second lock must ask for what the first holds.
    assert((ResolveRect(rect, &r, mode), sameRect(r, lockRect)));
    return;
  }
  ResolveRect(rect, &r, mode);
  assert(Inside(r));
  lockRect = r;
  lockMode = mode;
}

void imgCTy::Unlock() { data = nullptr; }

uint32_t imgCTy::PelAtXY(int x, int y) {
  assert(x >= 0 && y >= 0 && x < width && y < height);
  const rectCTy r{x, y, 1, 1};
  Lock(&r, img_LOCK_READ);
  const uint32_t pel = LockedPelAt(0, 0);
  Unlock();
  if (!reachableBytes(desc.format)) errPrintf(ERR_LEVEL_ERROR, "imgCTy::PelAtXY : this is not implemented yet");
  return pel;
}

uint32_t imgCTy::LockedPelAt(int x, int y) const {
  const int size = reachableBytes(desc.format);
  if (!size || !data) return 0xFFFFFFFF;
  uint32_t pel = 0;
  std::memcpy(&pel, data + (int64_t(y) * pitch + x) * size, size_t(size));
  return pel;
}

uint32_t imgCTy::PelAtXYRGB(int x, int y) { return desc.ToRGB(PelAtXY(x, y), pel_FMT_X8R8G8B8); }

void imgCTy::Fill(uint32_t pel, const rectCTy* rect) {
  const rectCTy r = rect ? *rect : rectCTy{0, 0, width, height};
  const int size = reachableBytes(desc.format);
  Lock(&r, img_LOCK_READWRITE);
  if (size && data) {
    for (int row = 0; row < r.h; ++row) {
      uint8_t* p = data + int64_t(row) * pitch * size;
      for (int col = 0; col < r.w; ++col, p += size) std::memcpy(p, &pel, size_t(size));
    }
  }
  Unlock();
  if (!size) errPrintf(ERR_LEVEL_ERROR, "imgCTy::Fill: This is not impelmetned yet");
}

void imgCTy::LockMulti(imgCTy* a, int, int, int, imgCTy* b, imgCTy* c) {
  imgCTy* const order[] = {this, c, a, b, b, a, c, this};
  for (imgCTy* image : order)
    if (image) image->Lock(nullptr, img_LOCK_READWRITE);
}

void imgCTy::Draw(imgCTy* destination, int x, int y, const rectCTy* rect) {
  const imgDrawParams p = imgDrawParamsOf(pel_OP_COPY);
  DrawEx(destination, x, y, rect, &p);
}

void imgCTy::DrawMirrorH(imgCTy*, int, int, rectCTy*) {}

void imgCTy::DrawExMirrorH(imgCTy*, int, int, rectCTy*, const imgDrawParams*) {}

void imgCTy::DrawAlphaMap(imgCTy* destination, int x, int y, const rectCTy* rect, imgCTy* weights) {
  imgDrawParams p = imgDrawParamsOf(pel_OP_ALPHAMAP);
  p.alphaMap = weights;
  DrawEx(destination, x, y, rect, &p);
}

void imgCTy::DrawAlpha(imgCTy* destination, int x, int y, const rectCTy* rect, float factor) {
  imgDrawParams p = imgDrawParamsOf(pel_OP_ALPHA);
  p.alpha = imgDrawWeightOf(factor);
  DrawEx(destination, x, y, rect, &p);
}

rectCTy imgCTy::GetBounds() { return {0, 0, width, height}; }

void imgCTy::SetSize(int w, int h, const pelFmtDesc*) {
  width = w;
  height = h;
}

void imgCTy::ReadInPlace(rwStream*) {}

void imgCTy::WriteHeader(rwStream* stream) {
  rwWriteInt(stream, width);
  rwWriteInt(stream, height);
  rwWriteInt(stream, keyFlag);
  if (keyFlag) {
    rwWriteInt(stream, int32_t(keyColor));
    rwWriteInt(stream, int32_t(keyPel));
  }
  desc.Write(stream);
}

void imgCTy::WriteData(rwStream*) {}

void imgCTy::ReadHeader(rwStream* stream) {
  const int32_t w = rwReadInt(stream), h = rwReadInt(stream);
  if (w < 0 || h < 0) {
    stream->failed = 1;
    return;
  }
  width = w;
  height = h;
  keyFlag = rwReadInt(stream);
  if (keyFlag) {
    keyColor = uint32_t(rwReadInt(stream));
    keyPel = uint32_t(rwReadInt(stream));
  }
  desc.Read(stream);
}

void imgCTy::ReadData(rwStream*) {}

void imgCTy::ReadDataInPlace(rwStream*) {}

uint32_t imgCTy::ToNative(uint32_t colour) const { return desc.ToNative(colour, pel_FMT_X8R8G8B8); }

void imgCTy::FillRGB(uint32_t colour, const rectCTy* rect) { Fill(ToNative(colour), rect); }

void imgCTy::BuildPalTable(int format) { desc.BuildTbl(format); }

void imgCTy::SetPalette(const palCTy* palette) {
  desc.SetPaletteCopy(palette);
  if (keyFlag) keyPel = desc.ToNative(keyColor, pel_FMT_X8R8G8B8);
}

void imgCTy::SharePalette(palCTy* palette) {
  desc.SharePalette(palette);
  if (keyFlag) keyPel = desc.ToNative(keyColor, pel_FMT_X8R8G8B8);
}
