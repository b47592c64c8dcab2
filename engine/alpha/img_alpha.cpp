// The alpha image: construction and registration, locks, keys, sizes and the
// conversion of the stored colours.
#include "engine/alpha/img_alpha.h"

#include <algorithm>
#include <cassert>
#include <new>

#include "base/err.h"
#include "base/mem.h"
#include "engine/alpha/alpha_coded.h"
#include "engine/alpha/alpha_store.h"
#include "engine/img_alpha_hook.h"
#include "platform/win_kernel.h"

namespace {

void convertColours(imgCTy* image, const int* format) {
  if (auto* alpha = dynamic_cast<imgAlpha*>(image)) alpha->ConvertColors(format);
}

void reportUnless(bool ok, const char* text) {
  if (!ok && errPrintf(ERR_LEVEL_ERROR, "%s", text) == ERR_OUTCOME_RETRY) DebugBreak();
}

// A premultiplied channel made straight again, rounding up (capped at 255),
// so that coding it again (c * a >> 8) gives back the stored channel.
int unpremultiplyUp(int c, int a) { return std::min(255, (c * 256 + a - 1) / a); }

template <class S>
void decode(const imgAlpha& image, A8R8G8B8* out) {
  using Store = alphaStore::Of<S>;
  const int64_t total = alphaCoded::pelCount(image);
  const A8R8G8B8 transparent{uint8_t(image.keyColor), uint8_t(image.keyColor >> 8), uint8_t(image.keyColor >> 16), 0};
  const uint8_t* alpha = image.alphas;
  const uint8_t* colour = image.colors;
  int64_t at = 0;
  for (int i = 0; i < image.runCount && at < total; ++i) {
    const int64_t end = std::min<int64_t>(total, at + alphaCoded::length(image.runs[i]));
    const int kind = alphaCoded::kind(image.runs[i]);
    for (; at < end; ++at) {
      if (kind == imgAlphaTransparent) {
        out[at] = transparent;
        continue;
      }
      alphaStore::Rgb c = Store::wide(colour);
      colour += Store::bytes;
      int a = 255;
      if (kind == imgAlphaTranslucent) {
        a = *alpha++;
        if (image.premultiplied) {
          a = 255 - a;
          assert(a > 0);  // ReadData refuses the byte 255, Encode never stores it
          if (a > 0) c = {unpremultiplyUp(c.b, a), unpremultiplyUp(c.g, a), unpremultiplyUp(c.r, a)};
        }
      }
      out[at] = {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r), uint8_t(a)};
    }
  }
}

[[maybe_unused]] bool registered() {
  imgAlphaConvertColorsHook = convertColours;
  return rwRegisterClass("imgAlpha", imgAlpha::Create);
}

}  // namespace

// Before the entry point runs: the class by name, and the engine's hook.
// Programs link this file whether or not they name the class: the library
// asks the linker for this symbol (engine/alpha/CMakeLists.txt).
extern "C" {
extern const bool imgAlphaClassRegistered;
const bool imgAlphaClassRegistered = registered();
}

imgAlpha::imgAlpha() {
  classId = imgClassAlpha;
  desc.Set(pel_FMT_A8R8G8B8, nullptr);
  keyColor = 0xFF000000;  // B, G, R 0 and A 255; the key stays off
}

imgAlpha::~imgAlpha() {
  FreeCoded();
  memHooks.free(lockBuffer);
}

rwObjCTy* imgAlpha::Create() { return new (std::nothrow) imgAlpha; }

const char* imgAlpha::GetClassName() const { return "imgAlpha"; }

void imgAlpha::ResolveRect(const rectCTy*, rectCTy* out, int) { *out = {0, 0, width, height}; }

void imgAlpha::SetColorKeyRGB(uint32_t colour) {
  if (keyFlag && keyColor == colour) return;
  keyFlag = 1;
  keyColor = colour;
  if (runs) {
    Lock(nullptr, img_LOCK_READWRITE);
    Unlock();
  }
}

void imgAlpha::Lock(const rectCTy* rect, int mode) {
  imgCTy::Lock(rect, mode);
  if (data) return;  // locked already: one lock at a time
  assert(!rect || Inside(*rect));
  const int64_t pels = alphaCoded::pelCount(*this);
  lockBuffer = static_cast<uint8_t*>(memCalloc(size_t(pels > INT64_MAX / 4 ? INT64_MAX : pels * 4)));
  if (!lockBuffer) return;
  pitch = width;
  data = lockBuffer + (rect ? (int64_t(rect->y) * width + rect->x) * 4 : 0);
  if (!runs || mode == img_LOCK_WRITE_ALL) return;
  auto* pels4 = reinterpret_cast<A8R8G8B8*>(lockBuffer);
  alphaStore::visit(storageFormat, [&](auto* store) { decode<std::remove_pointer_t<decltype(store)>>(*this, pels4); });
}

void imgAlpha::Unlock() {
  uint8_t* buffer = lockBuffer;
  const bool code = data && lockMode != img_LOCK_READ;
  lockBuffer = nullptr;
  imgCTy::Unlock();
  // The buffer is freed before a failed coding raises.
  const bool coded = !code || alphaCoded::encode(*this, buffer);
  memHooks.free(buffer);
  if (!coded) errRaise(ERR_NO_MEMORY);
}

void imgAlpha::Encode(const uint8_t* pels) {
  if (!alphaCoded::encode(*this, pels)) errRaise(ERR_NO_MEMORY);
}

rectCTy imgAlpha::GetBounds() { return bounds; }

imgCTy* imgAlpha::Clone() { return nullptr; }

void imgAlpha::FreeData() { FreeCoded(); }

void imgAlpha::FreeCoded() {
  memHooks.free(runs);
  memHooks.free(alphas);
  memHooks.free(colors);
  runs = nullptr;
  alphas = nullptr;
  colors = nullptr;
  runCount = alphaCount = colorCount = 0;
}

void imgAlpha::SetSize(int w, int h, const pelFmtDesc* descriptor) {
  imgCTy::SetSize(w, h, descriptor);
  reportUnless(!descriptor || descriptor->format == pel_FMT_R8G8B8 || descriptor->format == pel_FMT_A8R8G8B8,
               "imgAlpha::SetSize: Only pel_FMT_R8G8B8, pel_FMT_A8R8G8B8 available");
}

void imgAlpha::ReadInPlace(rwStream*) {}

void imgAlpha::ReadDataInPlace(rwStream*) {}

void imgAlpha::ConvertColors(const int* format) {
  if (!format) return;
  const int to = *format;
  if (!imgAlphaColourBytes(to)) {
    reportUnless(false, "imgAlpha::ConvertColors: This is not impelmetned yet");
    return;
  }
  if (to == storageFormat || !colors || colorCount <= 0) {
    storageFormat = to;
    return;
  }
  auto* fresh = static_cast<uint8_t*>(memAlloc(size_t(colorCount) * size_t(imgAlphaColourBytes(to))));
  if (!fresh) return;
  alphaStore::visit(storageFormat, [&](auto* from) {
    using From = alphaStore::Of<std::remove_pointer_t<decltype(from)>>;
    alphaStore::visit(to, [&](auto* into) {
      using Into = alphaStore::Of<std::remove_pointer_t<decltype(into)>>;
      for (int i = 0; i < colorCount; ++i) {
        const alphaStore::Rgb c = From::wide(colors + int64_t(i) * From::bytes);
        // The fourth byte of an X8R8G8B8 colour: 255.
        Into::put(fresh + int64_t(i) * Into::bytes, {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r), 255});
      }
    });
  });
  memHooks.free(colors);
  colors = fresh;
  storageFormat = to;
}

int imgAlphaColourBytes(int storageFormat) {
  int bytes = 0;
  alphaStore::visit(storageFormat, [&](auto* store) { bytes = alphaStore::Of<std::remove_pointer_t<decltype(store)>>::bytes; });
  return bytes;
}
