// imgsCTy::LoadImgs on any bytes as the data of an unpacked rw file (the
// target writes the 24-byte header), inside a TRY frame (a report ends the
// load); every image loaded is drawn onto a 16 x 16 memory image of its
// kind (paletted onto a copy of its palette), then the set is cleared.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/err.h"
#include "engine/img_row.h"
#include "engine/imgs.h"
#include "input_file.h"

namespace {

void put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

void drawAll(imgsCTy& set) {
  for (uint32_t i = 0; i < set.count; ++i) {
    imgCTy* image = set.Get(i);
    const int format = image->PelFormat();
    if (format == pel_FMT_Z32 || format == pel_FMT_UNKNOWN) continue;
    imgRowCTy target;
    pelFmtDesc d;
    d.Set(image->desc.palette ? pel_FMT_X8R8G8B8 : format, nullptr);
    target.SetSize(16, 16, &d);
    // The pels the image has, inside the target.
    const rectCTy area{{0, 0, std::min(image->width, 16), std::min(image->height, 16)}};
    const rectCTy bounds = image->GetBounds();
    rectCTy r;
    if (!r.Intersect(&bounds, &area)) continue;
    imgDrawParams p{};
    p.mode = pel_OP_COPY;
    p.scaleX = p.scaleY = 1.0f;
    image->DrawEx(&target, 0, 0, &r, &p);
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
