// The memory image.
#include "engine/img_row.h"

#include <cstdint>
#include <cstring>

#include "base/mem.h"

imgRowCTy::imgRowCTy() { classId = imgClassRow; }

imgRowCTy::imgRowCTy(const imgRowCTy& other) : imgCTy(other) {
  classId = imgClassRow;
  if (!other.buffer) return;
  const int64_t bytes = BufferBytes();
  buffer = static_cast<uint8_t*>(memAlloc(size_t(bytes)));
  if (!buffer) return;
  if (bytes) std::memcpy(buffer, other.buffer, size_t(bytes));
  ownsBuffer = 1;
  rowLength = width;
  bounds = {0, 0, width, height};
}

imgRowCTy::~imgRowCTy() { ReleaseBuffer(); }

const char* imgRowCTy::GetClassName() const { return "imgRowCTy"; }

rwObjCTy* imgRowCTy::Create() { return new imgRowCTy; }

int64_t imgRowCTy::BufferBytes() const {
  if (width <= 0 || height <= 0) return 0;
  // Up to 2^62 pels: their bytes may pass the 64-bit range, and then no
  // stream holds them and no allocation gets them.
  const int64_t pels = int64_t(width) * height;
  return pels > INT64_MAX / 4 ? INT64_MAX : pels * BytesPerPel();
}

void imgRowCTy::ReleaseBuffer() {
  if (ownsBuffer && !borrowedPels) memHooks.free(buffer);
  buffer = nullptr;
  ownsBuffer = 0;
}

void imgRowCTy::Lock(const rectCTy* rect, int mode) {
  imgCTy::Lock(rect, mode);
  if (!buffer) return;
  pitch = rowLength;
  data = buffer + (int64_t(lockRect.y) * rowLength + lockRect.x) * BytesPerPel();
}

void imgRowCTy::Unlock() { data = nullptr; }

imgCTy* imgRowCTy::Clone() { return new imgRowCTy(*this); }

void imgRowCTy::FreeData() { ReleaseBuffer(); }

void imgRowCTy::SetSize(int w, int h, const pelFmtDesc* descriptor) {
  imgCTy::SetSize(w, h, descriptor);
  if (descriptor) {
    desc = *descriptor;
    if (keyFlag) SetColorKeyRGB(keyColor);
  }
  // Pels borrowed from a stream are let go, never freed: the new buffer is
  // the image's own.
  ReleaseBuffer();
  borrowedPels = 0;
  buffer = static_cast<uint8_t*>(memAlloc(size_t(BufferBytes())));
  rowLength = w;
  bounds = {0, 0, w, h};
  ownsBuffer = buffer ? 1 : 0;
}

void imgRowCTy::ReadInPlace(rwStream* stream) {
  ReadHeader(stream);
  ReadDataInPlace(stream);
}

void imgRowCTy::WriteHeader(rwStream* stream) {
  imgCTy::WriteHeader(stream);
  const int32_t b[4] = {bounds.x, bounds.y, bounds.w, bounds.h};
  for (int32_t v : b) rwWriteInt(stream, v);
}

void imgRowCTy::WriteData(rwStream* stream) {
  const int64_t bytes = BufferBytes();
  if (buffer) {
    rwWrite(stream, buffer, int32_t(bytes));
    return;
  }
  // An image without pels writes zero pels, so the stream stays readable.
  const uint8_t zeros[256] = {};
  for (int64_t left = bytes; left > 0; left -= int64_t(sizeof zeros))
    rwWrite(stream, zeros, int32_t(left < int64_t(sizeof zeros) ? left : sizeof zeros));
}

void imgRowCTy::ReadHeader(rwStream* stream) {
  imgCTy::ReadHeader(stream);
  int32_t b[4];
  for (int32_t& v : b) v = rwReadInt(stream);
  bounds = {b[0], b[1], b[2], b[3]};
  rowLength = width;
}

namespace {

// The stream holds the image's pels at its position; otherwise it fails.
bool pelsInStream(rwStream* stream, int64_t bytes) {
  if (stream->failed) return false;
  if (stream->position < 0 || bytes > int64_t(stream->length) - stream->position || !stream->data) {
    stream->failed = 1;
    return false;
  }
  return true;
}

}  // namespace

void imgRowCTy::ReadData(rwStream* stream) {
  ReleaseBuffer();
  borrowedPels = 0;
  const int64_t bytes = BufferBytes();
  if (!pelsInStream(stream, bytes)) return;
  buffer = static_cast<uint8_t*>(memAlloc(size_t(bytes)));
  if (!buffer) return;
  ownsBuffer = 1;
  rwRead(stream, buffer, int32_t(bytes));
}

void imgRowCTy::ReadDataInPlace(rwStream* stream) {
  ReleaseBuffer();
  borrowedPels = 0;
  if (!pelsInStream(stream, BufferBytes())) return;
  borrowedPels = 1;
  buffer = stream->data + stream->position;
  ownsBuffer = 1;
}
