// Writes the RLE8 and alpha seeds of the image_set fuzz target into a
// directory (the fuzz input is an rw file's data, without its header): the
// game's ball as the data tool writes it, a set of two alpha images, and
// sets mixing an RLE8 image, an alpha image and a paletted memory image
// that share the set's palette, in both set versions.
#include <cstdio>
#include <string>
#include <vector>

#include "base/err.h"
#include "engine/alpha/img_alpha.h"
#include "engine/img_row.h"
#include "engine/pal.h"
#include "engine/rle8/img_rle8.h"
#include "engine/rw.h"
#include "tools/ball_set.h"

namespace {

constexpr uint32_t kVersion1 = 0xFFFF0001;

std::string g_dir;

// Drops the file's rw header: the fuzz target writes its own.
void stripHeader(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return;
  std::vector<char> bytes;
  char piece[4096];
  for (size_t n; (n = std::fread(piece, 1, sizeof piece, f)) > 0;) bytes.insert(bytes.end(), piece, piece + n);
  std::fclose(f);
  f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  if (bytes.size() > size_t(RW_HEADER_SIZE))
    std::fwrite(bytes.data() + RW_HEADER_SIZE, 1, bytes.size() - RW_HEADER_SIZE, f);
  std::fclose(f);
}

void writeString(rwStream* s, const char* text) {
  rwWriteInt(s, int32_t(std::string(text).size()));
  rwWrite(s, text, int32_t(std::string(text).size()));
}

struct Member {
  imgCTy* image;
  int32_t classIndex;
  uint16_t palette;  // 0xFFFF: none
};

// A set of one shared palette (or none) in either version.
void writeSet(const char* name, bool version1, palCTy* palette, const std::vector<const char*>& classes,
              const std::vector<Member>& members) {
  const std::string path = g_dir + "/" + name;
  rwStream* s = rwWrOpen(path.c_str());
  const int32_t n = int32_t(members.size());
  if (version1) rwWriteInt(s, int32_t(kVersion1));
  rwWriteInt(s, n);
  rwWriteInt(s, palette ? 1 : 0);
  if (palette) {
    palette->Write(s);
    for (const Member& m : members) rwWrite(s, &m.palette, 2);
  }
  const int32_t offsetsAt = s->position;
  for (int32_t i = 0; i < n; ++i) rwWriteInt(s, 0);
  for (const char* c : classes) writeString(s, c);
  rwWriteInt(s, -1);
  std::vector<int32_t> offsets;
  if (version1) {
    for (const Member& m : members) {
      rwWriteInt(s, m.classIndex);
      m.image->WriteHeader(s);
    }
    for (const Member& m : members) {
      offsets.push_back(s->position);
      m.image->WriteData(s);
    }
  } else {
    for (const Member& m : members) {
      offsets.push_back(s->position);
      rwWriteInt(s, m.classIndex);
      m.image->Write(s);
    }
  }
  const int32_t end = s->position;
  rwSetPos(s, offsetsAt);
  for (int32_t offset : offsets) rwWriteInt(s, offset);
  rwSetPos(s, end);
  rwClose(s);
  stripHeader(path);
}

// Pels of every alpha kind, B, G, R, A.
std::vector<uint8_t> alphaPels(int count) {
  std::vector<uint8_t> out;
  for (int i = 0; i < count; ++i) {
    const int kind = (i / 3) % 3;
    out.insert(out.end(), {uint8_t(i * 9), uint8_t(i * 5), uint8_t(200 - i),
                           uint8_t(kind == 0   ? 0
                                   : kind == 1 ? 255
                                               : 40 + i)});
  }
  return out;
}

void alpha(imgAlpha& image, int w, int h, int storage, bool premultiplied) {
  image.SetSize(w, h, nullptr);
  image.storageFormat = storage;
  image.premultiplied = premultiplied;
  image.Encode(alphaPels(w * h).data());
}

// Indices 0 (the key) to 4 in short runs.
template <class Image>
void paletted(Image& image, int w, int h, palCTy& palette, bool keyed) {
  pelFmtDesc desc;
  desc.Set(pel_FMT_P8, &palette);
  image.SetSize(w, h, &desc);
  if (keyed) image.SetColorKey(0);
  image.Lock(nullptr, img_LOCK_WRITE);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.data[y * image.pitch + x] = uint8_t((x / 2 + y) % 5);
  image.Unlock();
  image.SharePalette(&palette);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: image_set_seeds DIRECTORY\n");
    return 2;
  }
  errInit();
  g_dir = argv[1];
  restoreFile(g_dir + "/ball", ballSet(paintBall()));
  stripHeader(g_dir + "/ball");

  imgAlpha a1, a2;
  alpha(a1, 7, 5, pel_FMT_R8G8B8, false);
  alpha(a2, 6, 6, pel_FMT_X1R5G5B5, true);
  writeSet("alpha_v1", true, nullptr, {"imgAlpha"}, {{&a1, 0, 0xFFFF}, {&a2, 0, 0xFFFF}});

  const uint8_t quads[] = {0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 90, 90, 90, 0};
  palCTy palette;
  palette.Set(quads, 5);
  imgRle8CTy rle8;
  paletted(rle8, 9, 4, palette, true);
  imgRowCTy row;
  paletted(row, 5, 3, palette, false);
  imgAlpha a3;
  alpha(a3, 4, 4, pel_FMT_R5G6B5, false);
  const std::vector<const char*> classes = {"imgRle8CTy", "imgAlpha", "imgRowCTy"};
  const std::vector<Member> members = {{&rle8, 0, 0}, {&a3, 1, 0xFFFF}, {&row, 2, 0}};
  writeSet("mixed_v1", true, &palette, classes, members);
  writeSet("mixed_v0", false, &palette, classes, members);
  return 0;
}
