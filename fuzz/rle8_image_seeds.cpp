// Writes the seed corpus of the rle8_image fuzz target into a directory:
// RLE8 images as Write writes them (the fuzz input is an rw file's data,
// without its header), keyed and not, with null rows, all key, with runs
// and skips past one code's reach; and two hand-made streams, versions 1
// and 0, of one 9 x 3 image.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/err.h"
#include "base/mem.h"
#include "engine/rle8/img_rle8.h"
#include "engine/rw.h"

namespace {

std::string g_dir;

void save(const char* name, const std::vector<uint8_t>& bytes) {
  const std::string path = g_dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::vector<uint8_t> hex(const char* text) {
  std::vector<uint8_t> out;
  int digits = 0, v = 0;
  for (const char* c = text; *c; ++c) {
    if (*c == ' ') continue;
    v = v * 16 + (*c <= '9' ? *c - '0' : (*c | 0x20) - 'a' + 10);
    if (++digits == 2) {
      out.push_back(uint8_t(v));
      digits = v = 0;
    }
  }
  return out;
}

// An image of w x h packed from pels(x, y), keyed by index `key` (-1: none),
// with a palette of 16 entries.
void packed(const char* name, int w, int h, int key, const std::function<uint8_t(int, int)>& pels) {
  palCTy palette;
  std::vector<uint8_t> quads;
  for (int i = 0; i < 16; ++i)
    for (uint8_t b : {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 5), uint8_t(0)}) quads.push_back(b);
  palette.Set(quads.data(), 16);
  pelFmtDesc d;
  d.Set(pel_FMT_P8, &palette);
  imgRle8CTy image;
  image.SetSize(w, h, &d);
  d.Set(pel_FMT_P8, nullptr);
  if (key >= 0) image.SetColorKey(uint32_t(key));
  image.Lock(nullptr, img_LOCK_READWRITE);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.data[y * w + x] = pels(x, y);
  image.Unlock();
  rwMemBlock* block = nullptr;
  rwStream* s = rwWrOpen(nullptr, &block);
  image.Write(s);
  rwClose(s);
  save(name, std::vector<uint8_t>(block->data, block->data + block->size));
  memHooks.free(block);
}

// 9 x 3, key index 0, palette of 8 greys; the middle row all key.
constexpr const char* kHeader =
    "09000000 03000000 01000000 000000FF 00000000"
    "09000000 01000000 08000000"
    "000000 111111 222222 333333 444444 555555 666666 777777"
    "01000000 00000000 06000000 03000000";
constexpr const char* kRows = "82 0505 C3 07 81 03  02 84 01020304";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: rle8_image_seeds DIRECTORY\n");
    return 2;
  }
  errInit();
  g_dir = argv[1];
  save("hand_version1", hex((std::string("01000000") + kHeader + "4C000000 53000000 53000000 59000000" + kRows).c_str()));
  save("hand_version0", hex((std::string("00000000") + kHeader + "5C000000 63000000 63000000 69000000" + kRows).c_str()));
  packed("keyed_null_rows", 12, 6, 0, [](int x, int y) { return uint8_t(y % 2 ? 0 : (x * 7 + y) % 5); });
  packed("keyless", 10, 4, -1, [](int x, int y) { return uint8_t(x < 4 ? 3 : (x + y) % 16); });
  packed("all_key", 5, 3, 2, [](int, int) { return uint8_t(2); });
  packed("long_runs", 300, 3, 0, [](int x, int y) {
    if (x < 130) return uint8_t(0);
    if (x < 200) return uint8_t(7 + y);
    return uint8_t(x < 264 ? 1 + x % 15 : 0);
  });
  return 0;
}
