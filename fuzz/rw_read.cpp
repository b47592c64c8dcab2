// rw files from untrusted bytes: the input is written to a file, opened with
// rwRdOpen (plain, LZ or zlib, rw1 or rw2 headers), and read as its own data
// directs (rw_read_script.h) until the stream fails: integers, strings,
// palettes and their tables, descriptors, and objects created by class name
// (memory, RLE8 and alpha images, all linked) and read whole or in place.
// Every pel of every image read of at most kMaxPels pels is visited through
// a lock, then all is deleted and the stream closed.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/err.h"
#include "base/mem.h"
#include "engine/img_row.h"
#include "engine/rw.h"
#include "input_file.h"
#include "rw_read_script.h"

namespace {

using namespace fuzz::rw_script;

// Reports are answered at once: no box, the reading goes on.
int quietExit(errState*) { return ERR_OUTCOME_IGNORE; }

// Images of more pels are read but not locked (an RLE8 or alpha image
// decodes all its pels at a lock).
constexpr int64_t kMaxPels = 1 << 16;

void visitPels(imgCTy* image) {
  const int64_t w = image->width, h = image->height;
  if (w <= 0 || h <= 0 || w * h > kMaxPels) return;
  volatile uint32_t sink = 0;
  image->Lock(nullptr, img_LOCK_READ);
  const bool pels = image->data != nullptr;
  const int64_t rowBytes = w * image->BytesPerPel(), pitchBytes = int64_t(image->pitch) * image->BytesPerPel();
  if (pels)
    for (int64_t y = 0; y < h; ++y)
      for (int64_t i = 0; i < rowBytes; ++i) sink = sink + image->data[y * pitchBytes + i];
  image->Unlock();
  if (pels) sink = sink + image->PelAtXYRGB(image->width - 1, image->height - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (errInit(), errSetExitHook(quietExit), true);
  (void)ready;
  rwStream* s = rwRdOpen(fuzz::writeInput("input.rw", data, size));
  std::vector<std::unique_ptr<rwObjCTy>> objects;
  std::vector<std::unique_ptr<palCTy>> palettes;
  std::vector<uint8_t> scratch;
  for (int step = 0; step < 4096 && !s->failed; ++step) {
    const int32_t code = rwReadInt(s);
    switch (code & 0xFF) {
      case opInt:
        rwReadInt(s);
        break;
      case opString:
        memHooks.free(rwReadString(s));
        break;
      case opPalette:
        palettes.emplace_back(new palCTy);
        palettes.back()->Read(s);
        palettes.back()->BuildTbl(code >> 8 & 0xF);
        break;
      case opDescriptor: {
        pelFmtDesc d;
        d.Read(s);
        if (d.waitsShared && !palettes.empty()) d.SharePalette(palettes.back().get());
        (void)d.ToRGB(1, pel_FMT_X8R8G8B8);
        break;
      }
      case opObject:
      case opInPlace: {
        char* name = rwReadString(s);
        if (!name) break;
        objects.emplace_back(rwObjCreateByClassName(name));
        memHooks.free(name);
        rwObjCTy* object = objects.back().get();
        if (!object) break;
        auto* image = dynamic_cast<imgCTy*>(object);
        auto* row = dynamic_cast<imgRowCTy*>(object);
        if ((code & 0xFF) == opInPlace && image) {
          // The pels stay in the stream; the script goes on after a memory
          // image's.
          image->ReadInPlace(s);
          if (row && row->buffer) rwSetPos(s, int32_t(s->position + row->BufferBytes()));
        } else {
          object->Read(s);
        }
        if (!image) break;
        if (image->desc.waitsShared && !palettes.empty()) image->SharePalette(palettes.back().get());
        visitPels(image);
        break;
      }
      case opSeek:
        rwSetPos(s, rwReadInt(s));
        break;
      case opBytes:
      default:
        scratch.resize(size_t(code >> 8 & 0xFFFF));
        rwRead(s, scratch.data(), int32_t(scratch.size()));
        break;
    }
  }
  // Images read in place point into the stream: they go first.
  objects.clear();
  palettes.clear();
  rwClose(s);
  return 0;
}
