// Writes the seed corpus of the alpha_image fuzz target into a directory:
// small alpha images as Write writes them (the fuzz input is an rw file's
// data, without its header), in each storage form, straight, premultiplied,
// with the matte flag, keyed, without pels and without coded pels.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/err.h"
#include "base/mem.h"
#include "engine/alpha/img_alpha.h"
#include "engine/rw.h"

namespace {

std::string g_dir;

// Pels of every kind in short runs, from a fixed sequence.
std::vector<A8R8G8B8> pels(int count) {
  std::vector<A8R8G8B8> out;
  uint32_t v = 12345;
  for (int i = 0; i < count; ++i) {
    v = v * 1103515245 + 12345;
    const int kind = int(v >> 16) % 3;
    out.push_back({uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24), uint8_t(kind == 0 ? 0 : kind == 2 ? 255 : 1 + (v >> 3) % 254)});
  }
  return out;
}

void seed(const char* name, const std::function<void(imgAlpha&)>& make) {
  imgAlpha image;
  make(image);
  rwMemBlock* block = nullptr;
  rwStream* w = rwWrOpen(nullptr, &block);
  image.Write(w);
  rwClose(w);
  const std::string path = g_dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    std::fwrite(block->data, 1, block->size, f);
    std::fclose(f);
  }
  memHooks.free(block);
}

void coded(imgAlpha& image, int w, int h, int storage, bool premultiplied) {
  image.SetSize(w, h, nullptr);
  image.storageFormat = storage;
  image.premultiplied = premultiplied;
  const std::vector<A8R8G8B8> p = pels(w * h);
  image.Encode(reinterpret_cast<const uint8_t*>(p.data()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: alpha_image_seeds DIRECTORY\n");
    return 2;
  }
  errInit();
  g_dir = argv[1];
  seed("r8g8b8", [](imgAlpha& i) { coded(i, 7, 5, pel_FMT_R8G8B8, false); });
  seed("x8r8g8b8", [](imgAlpha& i) { coded(i, 7, 5, pel_FMT_X8R8G8B8, false); });
  seed("r5g6b5", [](imgAlpha& i) { coded(i, 7, 5, pel_FMT_R5G6B5, false); });
  seed("x1r5g5b5", [](imgAlpha& i) { coded(i, 7, 5, pel_FMT_X1R5G5B5, false); });
  seed("premultiplied_r8g8b8", [](imgAlpha& i) { coded(i, 6, 6, pel_FMT_R8G8B8, true); });
  seed("premultiplied_x1r5g5b5", [](imgAlpha& i) { coded(i, 6, 6, pel_FMT_X1R5G5B5, true); });
  seed("matte", [](imgAlpha& i) {
    coded(i, 5, 4, pel_FMT_R8G8B8, false);
    i.matte = 1;
  });
  seed("keyed", [](imgAlpha& i) {
    i.SetColorKeyRGB(0xFF00FF00);
    coded(i, 5, 4, pel_FMT_X8R8G8B8, false);
  });
  seed("no_pels", [](imgAlpha& i) { coded(i, 0, 3, pel_FMT_R8G8B8, false); });
  seed("no_coded_pels", [](imgAlpha& i) { i.SetSize(3, 2, nullptr); });
  seed("transparent", [](imgAlpha& i) {
    i.SetSize(4, 4, nullptr);
    const std::vector<A8R8G8B8> p(16, A8R8G8B8{1, 2, 3, 0});
    i.Encode(reinterpret_cast<const uint8_t*>(p.data()));
  });
  seed("runs_across_rows", [](imgAlpha& i) {
    i.SetSize(9, 4, nullptr);
    std::vector<A8R8G8B8> p(36, A8R8G8B8{9, 8, 7, 255});
    for (int k = 13; k < 24; ++k) p[size_t(k)].a = 90;
    for (int k = 24; k < 30; ++k) p[size_t(k)].a = 0;
    i.Encode(reinterpret_cast<const uint8_t*>(p.data()));
  });
  return 0;
}
