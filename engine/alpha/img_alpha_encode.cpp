// The coder of the alpha image: A8R8G8B8 pels to runs, alpha bytes and
// stored colours, and the bounds of the visible pels.
#include <algorithm>
#include <cstdint>

#include "base/mem.h"
#include "engine/alpha/alpha_coded.h"
#include "engine/alpha/alpha_store.h"

namespace {

// Kind of a pel: transparent when keyed (B, G, R equal the key's; the A
// bytes are not compared) or of alpha 0, opaque at alpha 255, else
// translucent.
struct Kinds {
  bool keyed;
  uint32_t key;  // B, G, R of the key
  int operator()(const A8R8G8B8& p) const {
    if (p.a == 0 || (keyed && (uint32_t(p.b) | uint32_t(p.g) << 8 | uint32_t(p.r) << 16) == key))
      return imgAlphaTransparent;
    return p.a == 255 ? imgAlphaOpaque : imgAlphaTranslucent;
  }
};

// Calls emit(length, kind) for every run of the pels: runs of one kind
// break at imgAlphaRunMax pels (16383 and not 16384).
template <class Emit>
void forEachRun(const A8R8G8B8* pels, int64_t count, const Kinds& kindOf, Emit&& emit) {
  if (count <= 0) return;
  int open = kindOf(pels[0]);
  uint32_t length = 0;
  for (int64_t i = 0; i < count; ++i) {
    const int kind = kindOf(pels[i]);
    if (length == imgAlphaRunMax || kind != open) {
      emit(length, open);
      open = kind;
      length = 0;
    }
    ++length;
  }
  emit(length, open);
}

// A block from the allocation hook, without raising; none for 0 bytes. A
// failure clears `ok`.
template <class T>
T* quietAlloc(int64_t bytes, bool& ok) {
  if (bytes == 0) return nullptr;
  void* block = memHooks.alloc(size_t(bytes));
  ok = ok && block;
  return static_cast<T*>(block);
}

// A translucent pel's channel made straight from the matte m (the colour it
// was composited over): (c * 255 - m * (255 - a)) / a, clamped.
int unmatte(int c, int m, int a) { return std::clamp((c * 255 - m * (255 - a)) / a, 0, 255); }

template <class S>
bool encodeAs(imgAlpha& image, const uint8_t* bytes) {
  using Store = alphaStore::Of<S>;
  const auto* pels = reinterpret_cast<const A8R8G8B8*>(bytes);
  const int64_t count = alphaCoded::pelCount(image);
  const Kinds kindOf{image.keyFlag != 0, image.keyColor & 0xFFFFFF};

  // Counting pass: runs, translucent and visible pels, the matte colour.
  int64_t runs = 0, translucent = 0, visible = 0;
  forEachRun(pels, count, kindOf, [&](uint32_t length, int kind) {
    ++runs;
    if (kind == imgAlphaTranslucent) translucent += length;
    if (kind != imgAlphaTransparent) visible += length;
  });
  A8R8G8B8 matte{0, 0, 0, 0};  // black when no pel is transparent
  if (image.matte) {
    for (int64_t i = 0; i < count; ++i)
      if (kindOf(pels[i]) == imgAlphaTransparent) {
        matte = pels[i];
        break;
      }
  }
  // Counts and colour bytes are 32-bit in the stored form.
  if (visible * Store::bytes > INT32_MAX || runs * 2 > INT32_MAX) return false;

  bool ok = true;
  auto* newRuns = quietAlloc<imgAlphaRun>(runs * 2, ok);
  auto* newAlphas = quietAlloc<uint8_t>(translucent, ok);
  auto* newColours = quietAlloc<uint8_t>(visible * Store::bytes, ok);
  if (!ok) {
    memHooks.free(newRuns);
    memHooks.free(newAlphas);
    memHooks.free(newColours);
    return false;
  }

  // Filling pass.
  imgAlphaRun* run = newRuns;
  uint8_t* alpha = newAlphas;
  uint8_t* colour = newColours;
  int64_t at = 0;
  forEachRun(pels, count, kindOf, [&](uint32_t length, int kind) {
    *run++ = alphaCoded::code(length, kind);
    for (const int64_t end = at + length; at < end; ++at) {
      A8R8G8B8 p = pels[at];
      if (kind == imgAlphaTransparent) continue;
      if (kind == imgAlphaTranslucent) {
        const int a = p.a;
        if (image.matte) p = {uint8_t(unmatte(p.b, matte.b, a)), uint8_t(unmatte(p.g, matte.g, a)),
                              uint8_t(unmatte(p.r, matte.r, a)), p.a};
        if (image.premultiplied) {
          p = {uint8_t(p.b * a >> 8), uint8_t(p.g * a >> 8), uint8_t(p.r * a >> 8), p.a};
          *alpha++ = uint8_t(255 - a);
        } else {
          *alpha++ = uint8_t(a);
        }
      }
      Store::put(colour, p);
      colour += Store::bytes;
    }
  });

  memHooks.free(image.runs);
  memHooks.free(image.alphas);
  memHooks.free(image.colors);
  image.runs = newRuns;
  image.runCount = int(runs);
  image.alphas = newAlphas;
  image.alphaCount = int(translucent);
  image.colors = newColours;
  image.colorCount = int(visible);
  image.matte = 0;  // the stored colours are straight now
  image.bounds = alphaCoded::bounds(image);
  return true;
}

}  // namespace

namespace alphaCoded {

bool encode(imgAlpha& image, const uint8_t* pels) {
  bool ok = false;
  const bool known = alphaStore::visit(image.storageFormat, [&](auto* store) {
    ok = encodeAs<std::remove_pointer_t<decltype(store)>>(image, pels);
  });
  // A storage format no stream brings (ReadData refuses it) and no setter
  // makes: the image keeps its coded pels.
  return ok || !known;
}

rectCTy bounds(const imgAlpha& image) {
  const int64_t w = image.width, total = pelCount(image);
  int64_t minX = image.width, minY = image.height, maxX = 0, maxY = 0;
  int64_t at = 0;
  for (int i = 0; i < image.runCount && at < total; ++i) {
    const int64_t end = std::min<int64_t>(total, at + length(image.runs[i]));
    if (kind(image.runs[i]) != imgAlphaTransparent && end > at) {
      const int64_t y0 = at / w, y1 = (end - 1) / w;
      const int64_t x0 = at % w, x1 = (end - 1) % w;
      minY = std::min(minY, y0);
      maxY = std::max(maxY, y1);
      // A run across a row's end covers the first and the last column.
      minX = std::min(minX, y1 > y0 ? 0 : x0);
      maxX = std::max(maxX, y1 > y0 ? w - 1 : x1);
    }
    at = end;
  }
  if (minY > maxY || minX > maxX) return {0, 0, 1, 1};
  return {int(minX), int(minY), int(maxX - minX + 1), int(maxY - minY + 1)};
}

}  // namespace alphaCoded
