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
#include "support/hex.h"
#include "engine/rle8/img_rle8.h"

namespace rle8_test {

using engine_test::Bytes;
using engine_test::ExactStream;
using engine_test::stored;
using test_support::hex;
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



}  // namespace rle8_test
