// What the alpha image tests share: images coded from pels in one call,
// their pels as a read-only lock gives them, their stored form, and
// destinations with guard bytes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <type_traits>
#include <vector>

#include "engine/alpha/img_alpha.h"
#include "engine/images_fixture.h"

namespace alpha_test {

using engine_test::Bytes;
using engine_test::ExactStream;
using engine_test::stored;
using Pels = std::vector<A8R8G8B8>;
using Image = std::unique_ptr<imgAlpha>;

// The format code of a layout struct.
template <class P>
constexpr int pelFormatOf() {
  if constexpr (std::is_same_v<P, R8G8B8>) return pel_FMT_R8G8B8;
  else if constexpr (std::is_same_v<P, X8R8G8B8>) return pel_FMT_X8R8G8B8;
  else if constexpr (std::is_same_v<P, A8R8G8B8>) return pel_FMT_A8R8G8B8;
  else if constexpr (std::is_same_v<P, R5G6B5>) return pel_FMT_R5G6B5;
  else if constexpr (std::is_same_v<P, X1R5G5B5>) return pel_FMT_X1R5G5B5;
  else return pel_FMT_A1R5G5B5;
}

struct Coding {
  int storage = pel_FMT_R8G8B8;
  bool premultiplied = false;
  bool matte = false;
  bool keyed = false;
  uint32_t key = 0;  // B, G, R, A
};

// An alpha image of w x h pels coded from `pels` (row after row).
inline Image coded(int w, int h, const Pels& pels, const Coding& how = {}) {
  Image image(new imgAlpha);
  image->SetSize(w, h, nullptr);
  image->storageFormat = how.storage;
  image->premultiplied = how.premultiplied;
  image->matte = how.matte;
  if (how.keyed) image->SetColorKeyRGB(how.key);
  image->Encode(reinterpret_cast<const uint8_t*>(pels.data()));
  return image;
}

// The pels a read-only lock of the whole image gives.
inline Pels decoded(imgAlpha& image) {
  image.Lock(nullptr, img_LOCK_READ);
  Pels out(size_t(image.width) * size_t(image.height));
  if (!out.empty()) std::memcpy(out.data(), image.data, out.size() * 4);
  image.Unlock();
  return out;
}



// An image read from stored bytes.
inline Image readBack(const Bytes& bytes) {
  ExactStream s(bytes);
  Image image(new imgAlpha);
  image->Read(&s.stream);
  return image;
}

// Pels of every kind: about a third each of transparent, translucent (alpha
// 1 to 254) and opaque, in runs of 1 to 8.
inline Pels randomPels(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  Pels out;
  while (out.size() < count) {
    const int kind = int(rng() % 3), length = int(rng() % 8) + 1;
    for (int i = 0; i < length && out.size() < count; ++i) {
      const uint32_t v = rng();
      const uint8_t a = kind == 0 ? 0 : kind == 2 ? 255 : uint8_t(1 + rng() % 254);
      out.push_back({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), a});
    }
  }
  return out;
}

// A locked destination of w x h pels of a format in an image whose rows are
// `pitch` pels apart, with guard bytes before and after; every byte starts
// as `fill`.
class Destination {
 public:
  Destination(int format, int w, int h, int pitch, uint8_t fill = 0xA5)
      : pelSize_(size_t(pelBytes(format))), pitch_(pitch), bytes_(kGuard * 2 + size_t(pitch) * h * pelSize_, fill) {
    pelFmtDesc d;
    d.Set(format, nullptr);
    image_.SetSize(w, h, &d);
    memHooks.free(image_.buffer);
    image_.buffer = bytes_.data() + kGuard;
    image_.rowLength = pitch;
    image_.ownsBuffer = 0;
  }
  ~Destination() {
    image_.Unlock();
    image_.buffer = nullptr;
  }
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;

  // Locked at the rectangle, as a draw locks its destination.
  imgRowCTy* at(const rectCTy& r) {
    image_.Unlock();
    image_.Lock(&r, img_LOCK_READWRITE);
    return &image_;
  }
  uint8_t* pel(int x, int y) { return bytes_.data() + kGuard + (size_t(y) * pitch_ + x) * pelSize_; }
  const Bytes& bytes() const { return bytes_; }
  bool guardsIntact(uint8_t fill = 0xA5) const {
    for (size_t i = 0; i < kGuard; ++i)
      if (bytes_[i] != fill || bytes_[bytes_.size() - 1 - i] != fill) return false;
    return true;
  }

 private:
  static constexpr size_t kGuard = 16;
  size_t pelSize_;
  int pitch_;
  Bytes bytes_;
  imgRowCTy image_;
};

// The storage forms and the Op numbers of the kernel table.
constexpr int kStorages[] = {pel_FMT_R8G8B8, pel_FMT_X8R8G8B8, pel_FMT_R5G6B5, pel_FMT_X1R5G5B5};
enum { cellCopy, cellSrcAlpha, cellAdd, cellSrcAlphaK };

// Every kernel the table has onto the format, for every storage form, Op
// and premultiplied flag: at scale 1.0 the scaled kernel draws what the
// unscaled one does; pels under transparent source pels keep every byte,
// the others change.
inline void expectScaleOneIsUnscaled(int format) {
  const Pels pels = randomPels(23 * 9, 12);
  const rectCTy r{3, 2, 17, 6};
  const size_t size = size_t(pelBytes(format));
  imgDrawParams params{};
  params.scaleX = params.scaleY = 1.0f;
  for (int storage : kStorages) {
    for (bool premultiplied : {false, true}) {
      Image image = coded(23, 9, pels, {.storage = storage, .premultiplied = premultiplied});
      for (int op = cellCopy; op <= cellSrcAlphaK; ++op) {
        SCOPED_TRACE(::testing::Message() << "storage " << storage << " onto " << format << " op " << op
                                          << (premultiplied ? " premultiplied" : ""));
        Destination plain(format, r.w, r.h, r.w + 2), scaled(format, r.w, r.h, r.w + 2);
        imgAlphaKernelOf(format, premultiplied, false, op, storage)(*image, plain.at({0, 0, r.w, r.h}), r, params, 77);
        imgAlphaKernelOf(format, premultiplied, true, op, storage)(*image, scaled.at({0, 0, r.w, r.h}), r, params, 77);
        EXPECT_EQ(plain.bytes(), scaled.bytes());
        int changed = 0, touchedUnderTransparent = 0;
        for (int i = 0; i < r.h; ++i)
          for (int j = 0; j < r.w; ++j) {
            const uint8_t* p = plain.pel(j, i);
            const bool untouched = std::all_of(p, p + size, [](uint8_t v) { return v == 0xA5; });
            if (pels[size_t((r.y + i) * 23 + r.x + j)].a == 0)
              touchedUnderTransparent += !untouched;
            else
              changed += !untouched;
          }
        EXPECT_EQ(touchedUnderTransparent, 0);
        EXPECT_GT(changed, 0);
        EXPECT_TRUE(plain.guardsIntact());
      }
    }
  }
}

}  // namespace alpha_test
