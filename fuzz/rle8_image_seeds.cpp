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
#include "tests/engine/rle8/rle8_golden.h"
#include "tests/support/hex.h"

namespace {

std::string g_dir;

void save(const char* name, const std::vector<uint8_t>& bytes) {
  const std::string path = g_dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: rle8_image_seeds DIRECTORY\n");
    return 2;
  }
  errInit();
  g_dir = argv[1];
  save("hand_version1", test_support::hex(rle8_golden::kVersion1));
  save("hand_version0", test_support::hex(rle8_golden::kVersion0));
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
