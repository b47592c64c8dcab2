// Writes the seed corpus of the rw_read fuzz target into a directory: rw
// files (rw2 and rw1, plain, LZ and zlib) whose data is a reading script
// (rw_read_script.h) over integers, strings, palettes, descriptors and
// memory images with and without palette and key, RLE8 and alpha images
// read whole and in place, plus a few broken files.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "base/err.h"
#include "base/mem.h"
#include "engine/alpha/img_alpha.h"
#include "engine/img_row.h"
#include "engine/rle8/img_rle8.h"
#include "engine/rw.h"
#include "rw_read_script.h"

namespace {

using namespace fuzz::rw_script;

std::string g_dir;

void writeString(rwStream* s, const char* text) {
  if (!text) {
    rwWriteInt(s, -1);
    return;
  }
  rwWriteInt(s, int32_t(std::strlen(text)));
  rwWrite(s, text, int32_t(std::strlen(text)));
}

void palette(palCTy& p, int n) {
  uint8_t quads[4 * 256];
  for (int i = 0; i < 4 * n; ++i) quads[i] = uint8_t(i * 37);
  p.Set(quads, uint32_t(n));
}

// A memory image with pels 0, 1, 2...
void image(imgRowCTy& image, int w, int h, int format, palCTy* pal, bool keyed) {
  pelFmtDesc d;
  d.Set(format, nullptr);
  image.SetSize(w, h, &d);
  if (pal) image.SetPalette(pal);
  for (int64_t i = 0; i < image.BufferBytes(); ++i) image.buffer[i] = uint8_t(i);
  if (keyed) image.SetColorKeyRGB(0x00102030);
}

void object(rwStream* s, Op kind, const char* className, rwObjCTy* o) {
  rwWriteInt(s, op(kind));
  writeString(s, className);
  if (o) o->Write(s);
}

void everything(rwStream* s) {
  palCTy pal;
  palette(pal, 5);
  rwWriteInt(s, op(opInt));
  rwWriteInt(s, 7);
  rwWriteInt(s, op(opString));
  writeString(s, "hello");
  rwWriteInt(s, op(opString));
  writeString(s, nullptr);
  rwWriteInt(s, op(opPalette, pel_FMT_R5G6B5));
  pal.Write(s);
  pelFmtDesc owned, shared;
  owned.Set(pel_FMT_P8, nullptr);
  owned.SetPaletteCopy(&pal);
  shared.Set(pel_FMT_P8, &pal);
  rwWriteInt(s, op(opDescriptor));
  owned.Write(s);
  rwWriteInt(s, op(opDescriptor));
  shared.Write(s);
  imgRowCTy p8, wide, plain;
  image(p8, 3, 2, pel_FMT_P8, &pal, true);
  image(wide, 5, 3, pel_FMT_R5G6B5, nullptr, true);
  image(plain, 4, 3, pel_FMT_X8R8G8B8, nullptr, false);
  object(s, opObject, "imgRowCTy", &p8);
  object(s, opInPlace, "imgRowCTy", &wide);
  object(s, opObject, "imgRowCTy", &plain);
  rwObjCTy base;
  object(s, opObject, "rwObjCTy", &base);
  object(s, opObject, "noSuchClass", nullptr);
  rwWriteInt(s, op(opBytes, 3));
  rwWrite(s, "xyz", 3);
  rwWriteInt(s, op(opSeek));
  rwWriteInt(s, 8);  // back to the string "hello"'s op
}

void oneImage(rwStream* s, int format, bool withPalette, bool keyed, Op kind) {
  palCTy pal;
  palette(pal, 16);
  imgRowCTy img;
  image(img, 7, 3, format, withPalette ? &pal : nullptr, keyed);
  object(s, kind, "imgRowCTy", &img);
}

// An RLE8 image keyed on index 0, and an alpha image of every pel kind,
// each read whole and in place.
void otherImages(rwStream* s) {
  palCTy pal;
  palette(pal, 6);
  pelFmtDesc d;
  d.Set(pel_FMT_P8, &pal);
  imgRle8CTy rle8;
  rle8.SetSize(9, 4, &d);
  rle8.SetColorKey(0);
  rle8.Lock(nullptr, img_LOCK_WRITE);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 9; ++x) rle8.data[y * rle8.pitch + x] = uint8_t((x / 3 + y) % 6);
  rle8.Unlock();
  imgAlpha alpha;
  alpha.SetSize(5, 3, nullptr);
  uint8_t pels[5 * 3 * 4];
  for (int i = 0; i < 15; ++i) {
    const uint8_t a = i % 3 == 0 ? 0 : i % 3 == 1 ? 255 : uint8_t(20 * i);
    const uint8_t p[4] = {uint8_t(i * 11), uint8_t(i * 7), uint8_t(i * 3), a};
    std::memcpy(pels + 4 * i, p, 4);
  }
  alpha.Encode(pels);
  object(s, opObject, "imgRle8CTy", &rle8);
  object(s, opInPlace, "imgRle8CTy", &rle8);
  object(s, opObject, "imgAlpha", &alpha);
  object(s, opInPlace, "imgAlpha", &alpha);
}

void seed(const char* name, uint32_t flags, int32_t packer, uint32_t magic, const std::function<void(rwStream*)>& body) {
  rwStream* s = rwWrOpen((g_dir + "/" + name).c_str());
  s->flags = flags;
  s->packer = packer;
  s->magic = magic;
  body(s);
  rwClose(s);
}

void rawSeed(const char* name, const std::string& bytes) {
  FILE* f = std::fopen((g_dir + "/" + name).c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
    return 2;
  }
  errInit();
  g_dir = argv[1];
  seed("script_rw2_plain", 0, RW_PACKER_ZLIB, RW_MAGIC_RW2, everything);
  seed("script_rw1_plain", 0, RW_PACKER_ZLIB, RW_MAGIC_RW1, everything);
  seed("script_lz", RW_FLAG_PACKED, RW_PACKER_LZ, RW_MAGIC_RW2, everything);
  seed("script_zlib", RW_FLAG_PACKED, RW_PACKER_ZLIB, RW_MAGIC_RW2, everything);
  seed("image_p8_palette_key", 0, RW_PACKER_ZLIB, RW_MAGIC_RW2,
       [](rwStream* s) { oneImage(s, pel_FMT_P8, true, true, opObject); });
  seed("image_p8_in_place_lz", RW_FLAG_PACKED, RW_PACKER_LZ, RW_MAGIC_RW2,
       [](rwStream* s) { oneImage(s, pel_FMT_P8, true, false, opInPlace); });
  seed("image_565_key_zlib", RW_FLAG_PACKED, RW_PACKER_ZLIB, RW_MAGIC_RW2,
       [](rwStream* s) { oneImage(s, pel_FMT_R5G6B5, false, true, opObject); });
  seed("image_888_plain", 0, RW_PACKER_ZLIB, RW_MAGIC_RW2,
       [](rwStream* s) { oneImage(s, pel_FMT_R8G8B8, false, false, opInPlace); });
  seed("image_1555_no_key", 0, RW_PACKER_ZLIB, RW_MAGIC_RW2,
       [](rwStream* s) { oneImage(s, pel_FMT_A1R5G5B5, false, false, opObject); });
  seed("images_rle8_alpha", 0, RW_PACKER_ZLIB, RW_MAGIC_RW2, otherImages);
  seed("images_rle8_alpha_lz", RW_FLAG_PACKED, RW_PACKER_LZ, RW_MAGIC_RW2, otherImages);
  rawSeed("bad_magic", std::string("rwX\0\0\0\0\0\1\0\0\0\0\0\0\0\4\0\0\0\0\0\0\0\0\0\0\0", 28));
  rawSeed("short_header", std::string("rw2\0\1\0\0\0", 8));
  return 0;
}
