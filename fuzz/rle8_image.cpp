// RLE8 images from untrusted bytes: the input is the data of an unpacked rw
// file holding one imgRle8CTy as Write writes it; the target puts the
// 24-byte rw2 header in front, writes the file and reads it with rwRdOpen
// (an exact-size copy of the data, so a read past it is seen), once copied
// and once in place. Both reads accept or refuse alike; an accepted image
// locks to the same pels both ways, is drawn through DrawEx (Copy, Alpha,
// Add, stretched at 2.0 and 0.5) and DrawExMirrorH onto guarded R5G6B5 and
// X8R8G8B8 destinations that hold every draw, and is written and read back
// equal.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/err.h"
#include "base/mem.h"
#include "draw_target.h"
#include "engine/img_row.h"
#include "engine/rle8/img_rle8.h"
#include "engine/rw.h"
#include "input_file.h"

namespace {

// Images of more pels are read but neither locked nor drawn.
constexpr int64_t kMaxPels = 1 << 14;

int quietExit(errState*) { return ERR_OUTCOME_IGNORE; }

std::vector<uint8_t> lockedPels(imgRle8CTy& image) {
  image.Lock(nullptr, img_LOCK_READ);
  std::vector<uint8_t> pels(size_t(image.width) * size_t(image.height));
  if (!image.data && !pels.empty()) std::abort();
  if (!pels.empty()) std::memcpy(pels.data(), image.data, pels.size());
  image.Unlock();
  return pels;
}

using Target = fuzz::DrawTarget;

void drawOnto(imgRle8CTy& image, int format) {
  // Room for the stretch at 2.0 and the mirrored draws, one pel to the right.
  Target t(format, 2 * image.width + 2, 2 * image.height + 1);
  struct Draw {
    int32_t mode;
    float scale;
  } draws[] = {{pel_OP_COPY, 1}, {pel_OP_ALPHA, 1}, {pel_OP_ADD, 1}, {pel_OP_STRETCH, 2}, {pel_OP_STRETCH, 0.5f}};
  for (const Draw& d : draws) {
    imgDrawParams p{};
    p.mode = d.mode;
    p.alpha = 100;
    p.scaleX = p.scaleY = d.scale;
    image.DrawEx(&t.image, 0, 0, nullptr, &p);
    t.check();
    image.DrawExMirrorH(&t.image, 0, 0, nullptr, &p);
    t.check();
    if (t.image.data || image.data) std::abort();
  }
  image.Draw(&t.image, 0, 0, nullptr);
  image.DrawMirrorH(&t.image, 0, 0, nullptr);
  image.DrawAlpha(&t.image, 0, 0, nullptr, 0.5f);
  t.check();
}

rwStream* openInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(RW_HEADER_SIZE + size);
  const uint32_t header[6] = {RW_MAGIC_RW2, 0, RW_PACKER_ZLIB, 0, uint32_t(size), uint32_t(size)};
  std::memcpy(file.data(), header, sizeof header);
  if (size) std::memcpy(file.data() + RW_HEADER_SIZE, data, size);
  return rwRdOpen(fuzz::writeInput("input.rw", file.data(), file.size()));
}

bool accepted(const imgRle8CTy& image, const rwStream* s) { return s && !s->failed && (image.rows || image.bounds.h == 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (errInit(), errSetExitHook(quietExit), true);
  (void)ready;
  rwStream* s = openInput(data, size);
  imgRle8CTy copied;
  if (s) copied.Read(s);
  const bool copiedOk = accepted(copied, s);
  rwClose(s);

  rwStream* t = openInput(data, size);
  imgRle8CTy inPlace;
  if (t) inPlace.ReadInPlace(t);
  const bool inPlaceOk = accepted(inPlace, t);
  if (t && copiedOk != inPlaceOk) std::abort();
  const int64_t pels = int64_t(copied.width) * copied.height;
  if (copiedOk && inPlaceOk && pels <= kMaxPels && copied.width <= 4096 && copied.height <= 4096) {
    const std::vector<uint8_t> first = lockedPels(copied);
    if (lockedPels(inPlace) != first) std::abort();
    drawOnto(inPlace, pel_FMT_R5G6B5);
    drawOnto(inPlace, pel_FMT_X8R8G8B8);

    // Written and read back: the same pels.
    rwMemBlock* block = nullptr;
    rwStream* w = rwWrOpen(nullptr, &block);
    copied.Write(w);
    rwClose(w);
    rwStream back{};
    back.mode = 1;
    back.data = static_cast<uint8_t*>(memAlloc(block->size ? block->size : 1));
    std::memcpy(back.data, block->data, block->size);
    back.size = back.length = int32_t(block->size);
    memHooks.free(block);
    imgRle8CTy again;
    again.Read(&back);
    if (back.failed || lockedPels(again) != first) std::abort();
    memHooks.free(back.data);
  }
  inPlace.FreeData();  // before the stream's data goes
  rwClose(t);
  return 0;
}
