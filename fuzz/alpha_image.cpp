// Alpha images from untrusted bytes: the input is the data of an unpacked rw
// file holding one imgAlpha as Write writes it; the target puts the 24-byte
// rw2 header in front, writes the file and reads it with rwRdOpen (an
// exact-size copy of the data, so a read past it is seen). An accepted
// image is drawn by every kernel that serves its storage form onto guarded
// destinations of its size, through DrawEx in every mode, unscaled and
// scaled (a scale of 0.5 to 3 taken from the input), onto each destination
// format, and locked in modes 1 and 0.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/err.h"
#include "draw_target.h"
#include "engine/alpha/alpha_kernel_list.h"
#include "engine/alpha/img_alpha.h"
#include "engine/img_row.h"
#include "engine/rw.h"
#include "input_file.h"

namespace {

// Images of more pels are read but neither locked nor drawn; DrawEx draws
// those of up to kMaxDrawExPels.
constexpr int64_t kMaxPels = 1 << 16;
constexpr int64_t kMaxDrawExPels = 1 << 12;

// Reports are answered at once: no box, the reading goes on.
int quietExit(errState*) { return ERR_OUTCOME_IGNORE; }

// The pels a read-only lock gives.
std::vector<uint8_t> lockedPels(imgAlpha& image) {
  image.Lock(nullptr, img_LOCK_READ);
  std::vector<uint8_t> pels(size_t(image.width) * size_t(image.height) * 4);
  if (!image.data) std::abort();
  std::memcpy(pels.data(), image.data, pels.size());
  image.Unlock();
  return pels;
}

// Pels of alpha 0 are alike whatever their colour.
bool samePels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  for (size_t i = 0; i < a.size(); i += 4) {
    if (a[i + 3] != b[i + 3]) return false;
    if (a[i + 3] && std::memcmp(&a[i], &b[i], 3) != 0) return false;
  }
  return true;
}

using Target = fuzz::DrawTarget;

template <class Store, class Dst, class Op>
void drawWith(imgAlpha& image, Target& t, const rectCTy& r, const Op& op) {
  if (image.premultiplied) {
    image.imgAlphaDrawPremul<Store, Dst, Op>(t.locked(r), r, op, op);
    image.imgAlphaDrawScaledPremul<Store, Dst, Op>(t.locked(r), r, 1.0f, 1.0f, op, op);
  } else {
    image.imgAlphaDraw<Store, Dst, Op>(t.locked(r), r, op, op);
    image.imgAlphaDrawScaled<Store, Dst, Op>(t.locked(r), r, 1.0f, 1.0f, op, op);
  }
  t.check();
}

template <class Store, class Dst>
void drawOnto(imgAlpha& image, int format) {
  Target t(format, image.width, image.height);
  // The whole image, and its bounds.
  const rectCTy rects[] = {{0, 0, image.width, image.height}, image.GetBounds()};
  for (const rectCTy& r : rects) {
    if (r.w > 0 && r.h > 0 && (int64_t(r.x) + r.w > image.width || int64_t(r.y) + r.h > image.height)) continue;
    drawWith<Store, Dst>(image, t, r, alphaOp::Copy{});
    drawWith<Store, Dst>(image, t, r, alphaOp::SrcAlpha{});
    drawWith<Store, Dst>(image, t, r, alphaOp::Add{});
    drawWith<Store, Dst>(image, t, r, alphaOp::SrcAlphaK{100});
  }
}

template <class Store>
void drawAll(imgAlpha& image) {
  drawOnto<Store, R8G8B8>(image, pel_FMT_R8G8B8);
  drawOnto<Store, X8R8G8B8>(image, pel_FMT_X8R8G8B8);
}

// DrawEx in every mode, unscaled and scaled, onto a guarded destination of
// each format three times the image's size; the rectangles lie inside both.
void drawEverywhere(imgAlpha& image, float scale) {
  const int w = image.width, h = image.height;
  for (int format = pel_FMT_R8G8B8; format <= pel_FMT_A1R5G5B5; ++format) {
    Target t(format, 3 * w, 3 * h);
    for (int scaled = 0; scaled <= 1; ++scaled) {
      const float s = scaled ? scale : 1.0f;
      // Unscaled: the bounds at (w, h). Scaled: the image's scaled size from
      // the destination's origin.
      const rectCTy bounds = image.GetBounds();
      const rectCTy r = scaled ? rectCTy{0, 0, std::min(3 * w, int(float(w) * s)), std::min(3 * h, int(float(h) * s))}
                               : bounds;
      const int x = scaled ? 0 : w, y = scaled ? 0 : h;
      for (int mode = -1; mode <= 16; ++mode) {
        imgDrawParams p{};
        p.mode = mode;
        p.scaled = scaled;
        p.alpha = 200;
        p.scaleX = p.scaleY = s;
        image.DrawEx(&t.image, x, y, &r, &p);
        if (t.image.data) std::abort();
        t.check();
      }
    }
  }
  // Onto an alpha image, as the font loader copies glyphs.
  imgAlpha glyphs;
  glyphs.SetSize(3 * w, 3 * h, nullptr);
  const imgDrawParams copy = imgDrawParamsOf(pel_OP_COPY);
  image.DrawEx(&glyphs, w, h, nullptr, &copy);
  if (glyphs.data || (!glyphs.runs && image.runs)) std::abort();
}

void exercise(imgAlpha& image, float scale) {
  if (!image.runs) return;
  const int64_t pels = int64_t(image.width) * image.height;
  if (pels <= 0 || pels > kMaxPels) return;
  switch (image.storageFormat) {
    case pel_FMT_R8G8B8: drawAll<R8G8B8>(image); break;
    case pel_FMT_X8R8G8B8: drawAll<X8R8G8B8>(image); break;
    case pel_FMT_R5G6B5: drawAll<R5G6B5>(image); break;
    case pel_FMT_X1R5G5B5: drawAll<X1R5G5B5>(image); break;
    default: std::abort();  // ReadData refuses every other form
  }
  if (pels <= kMaxDrawExPels) drawEverywhere(image, scale);
  const bool stable = !image.keyFlag && !image.premultiplied && !image.matte;
  const std::vector<uint8_t> first = lockedPels(image);
  image.Lock(nullptr, img_LOCK_READWRITE);
  image.Unlock();
  if (stable && !samePels(first, lockedPels(image))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (errInit(), errSetExitHook(quietExit), true);
  (void)ready;
  std::vector<uint8_t> file(RW_HEADER_SIZE + size);
  const uint32_t header[6] = {RW_MAGIC_RW2, 0, RW_PACKER_ZLIB, 0, uint32_t(size), uint32_t(size)};
  std::memcpy(file.data(), header, sizeof header);
  if (size) std::memcpy(file.data() + RW_HEADER_SIZE, data, size);
  rwStream* s = rwRdOpen(fuzz::writeInput("input.rw", file.data(), file.size()));
  imgAlpha image;
  image.Read(s);
  rwClose(s);
  exercise(image, 0.5f + 0.5f * float(size % 6));
  return 0;
}
