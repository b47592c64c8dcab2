// What the RLE8 image tests share: images packed from indices in one call,
// the indices a read-only lock gives, the stored form, and a palette whose
// entry i encodes i in every destination format.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/images_fixture.h"
#include "engine/rle8/img_rle8.h"

namespace rle8_test {

using engine_test::Bytes;
using Image = std::unique_ptr<imgRle8CTy>;
constexpr int kNoKey = -1;

// Entry i: B = (i & 31) << 3, G = (i >> 5) << 3, R = 0x40 | i >> 2, A = 0x80
// | i: every 16-bit layout keeps i in its blue and green fields, and the
// 3- and 4-byte entries differ in every byte.
inline void indexPalette(palCTy& p) {
  std::vector<uint32_t> colours;
  for (uint32_t i = 0; i < 256; ++i)
    colours.push_back((0x80u | i) << 24 | (0x40u | i >> 2) << 16 | ((i >> 5) << 3) << 8 | (i & 31) << 3);
  engine_test::setColours(p, colours);
}

// A w x h image of the indices (row after row), keyed by index `key` unless
// kNoKey; packed by a lock written whole.
inline Image packed(int w, int h, const Bytes& pels, int key = kNoKey) {
  Image image(new imgRle8CTy);
  palCTy palette;
  indexPalette(palette);
  pelFmtDesc d;
  d.Set(pel_FMT_P8, &palette);
  image->SetSize(w, h, &d);
  d.Set(pel_FMT_P8, nullptr);
  if (key != kNoKey) image->SetColorKey(uint32_t(key));
  image->Lock(nullptr, img_LOCK_READWRITE);
  if (!pels.empty()) std::memcpy(image->data, pels.data(), pels.size());
  image->Unlock();
  return image;
}

// The indices a read-only lock of the whole image gives.
inline Bytes unpacked(imgRle8CTy& image) {
  image.Lock(nullptr, img_LOCK_READ);
  Bytes out(size_t(image.width) * size_t(image.height));
  if (!out.empty()) std::memcpy(out.data(), image.data, out.size());
  image.Unlock();
  return out;
}

// The bytes Write gives.
inline Bytes stored(imgRle8CTy& image) {
  rwMemBlock* block = nullptr;
  rwStream* w = rwWrOpen(nullptr, &block);
  image.Write(w);
  rwClose(w);
  Bytes out(block->data, block->data + block->size);
  memHooks.free(block);
  return out;
}

// A read stream over an exact-size copy of the bytes: a read past them is an
// ASan fault.
struct ExactStream {
  rwStream stream;
  explicit ExactStream(const Bytes& bytes) {
    stream.mode = 1;
    stream.data = static_cast<uint8_t*>(memAlloc(bytes.empty() ? 1 : bytes.size()));
    if (!bytes.empty()) std::memcpy(stream.data, bytes.data(), bytes.size());
    stream.size = stream.length = int32_t(bytes.size());
  }
  ~ExactStream() { memHooks.free(stream.data); }
  ExactStream(const ExactStream&) = delete;
  ExactStream& operator=(const ExactStream&) = delete;
};

// Bytes from hex digits; spaces separate nothing.
inline Bytes hex(const char* text) {
  Bytes out;
  int digits = 0, v = 0;
  for (const char* c = text; *c; ++c) {
    if (*c == ' ') continue;
    v = v * 16 + (*c <= '9' ? *c - '0' : (*c | 0x20) - 'a' + 10);
    if (++digits == 2) {
      out.push_back(uint8_t(v));
      digits = v = 0;
    }
  }
  return out;
}

}  // namespace rle8_test
