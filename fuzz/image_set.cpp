// imgsCTy::LoadImgs on any bytes as the data of an unpacked rw file (the
// target writes the 24-byte header), inside a TRY frame (a report ends the
// load). The memory, RLE8 and alpha image classes are all linked, so a set
// may create any of them by name (the game's ball is a set of RLE8 images
// sharing the set's palette). Every image loaded of at most kMaxSide pels a
// side is drawn, through DrawEx and DrawExMirrorH in every mode, unscaled
// (its bounds inside it) and scaled at 2 and at 0.5 (the whole image), onto
// guarded X8R8G8B8 and R5G6B5 images
// (and a paletted one onto a P8 image) that hold every such draw; then the
// set is cleared.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/err.h"
#include "draw_target.h"
#include "engine/img_row.h"
#include "engine/imgs.h"
#include "input_file.h"

namespace {

constexpr int kMaxSide = 48;
constexpr int kMaxImages = 8;

void put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

void drawOnto(imgCTy* image, const rectCTy& r, int format) {
  fuzz::DrawTarget t(format, 2 * image->width + 2, 2 * image->height + 1);
  for (int mode = -1; mode <= pel_OP_SRCALPHAK + 1; ++mode) {
    for (const float scale : {1.0f, 2.0f, 0.5f}) {
      imgDrawParams p{};
      p.mode = mode;
      p.scaled = scale != 1.0f;
      p.alpha = 100;
      p.scaleX = p.scaleY = scale;
      // Unscaled: the pels the image has; scaled: the whole image in
      // destination pels (what a scaled draw samples lies inside it).
      rectCTy rect =
          p.scaled ? rectCTy{{0, 0, int(float(image->width) * scale), int(float(image->height) * scale)}} : r;
      image->DrawEx(&t.image, 0, 0, &rect, &p);
      t.check();
      image->DrawExMirrorH(&t.image, 0, 0, &rect, &p);
      t.check();
      if (t.image.data || image->data) std::abort();
    }
  }
}

void drawAll(imgsCTy& set) {
  for (uint32_t i = 0; i < set.count && i < kMaxImages; ++i) {
    imgCTy* image = set.Get(i);
    const int format = image->PelFormat();
    if (format == pel_FMT_Z32 || format == pel_FMT_UNKNOWN) continue;
    if (image->width <= 0 || image->height <= 0 || image->width > kMaxSide || image->height > kMaxSide) continue;
    // The pels the image has.
    const rectCTy area{{0, 0, image->width, image->height}};
    const rectCTy bounds = image->GetBounds();
    rectCTy r;
    if (!r.Intersect(&bounds, &area)) continue;
    drawOnto(image, r, pel_FMT_X8R8G8B8);
    drawOnto(image, r, pel_FMT_R5G6B5);
    if (format == pel_FMT_P8) drawOnto(image, r, pel_FMT_P8);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (errInit(), true);
  (void)ready;
  if (size > (1u << 20)) return 0;
  std::vector<uint8_t> file;
  put32(file, 0x00327772);  // "rw2"
  put32(file, 0);           // plain
  put32(file, 1);           // zlib
  put32(file, 0);
  put32(file, uint32_t(size));
  put32(file, uint32_t(size));
  file.insert(file.end(), data, data + size);
  const char* path = fuzz::writeInput("set.imgs", file.data(), file.size());
  imgsCTy set;
  ERR_TRY(frame) {
    set.LoadImgs(path);
    drawAll(set);
  }
  ERR_CATCH(frame, code) {
    (void)code;
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  set.Clear();
  return 0;
}
