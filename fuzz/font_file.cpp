// Fonts loaded from any ".fda" bytes, twice: beside a fixed 16 x 8 glyph
// picture in a 24-bit BMP (a memory glyph image), and beside one in a
// 32-bit TGA whose pels run through every alpha (an alpha glyph image).
// Each load runs inside a TRY frame (a report ends it): every code is
// measured and drawn alone into a 64 x 64 memory image, then all of them in
// one line, and the font is released. The cache is created once.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/err.h"
#include "engine/fnt.h"
#include "engine/img_row.h"
#include "engine/text.h"
#include "input_file.h"

namespace {

void put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += char(v >> (8 * i));
}

// A 24-bit BMP of 16 x 8 pels, each a colour of its own.
std::string glyphBmp() {
  const uint32_t w = 16, h = 8, row = w * 3;
  std::string s = "BM";
  put32(s, 54 + row * h);
  put32(s, 0);
  put32(s, 54);
  put32(s, 40);
  put32(s, w);
  put32(s, h);
  put32(s, 1 | 24 << 16);
  for (int i = 0; i < 6; ++i) put32(s, 0);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) s += {char(x * 16), char(y * 32), char(x + y)};
  return s;
}

// A 32-bit TGA of 16 x 8 pels (top row first), each a colour of its own,
// with alphas 0, 255 and between.
std::string glyphTga() {
  const char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 8, 0, 32, 8 | 0x20};
  std::string s(header, sizeof header);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      const int kind = (x + y) % 4;
      s += {char(x * 16), char(y * 32), char(x + y), char(kind == 0 ? 0 : kind == 1 ? 255 : x * 16 + y)};
    }
  return s;
}

void writeFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Files beside the input that go at exit, before its directory.
std::string g_extra[3];

// The two fonts' names: the input as "font.fda" beside "font.bmp" and as
// "alpha.fda" beside "alpha.tga", in the input file's directory.
struct Names {
  std::string bmp, tga;
};
Names prepare(const uint8_t* data, size_t size) {
  const std::string path = fuzz::writeInput("font.fda", data, size);
  const std::string dir = path.substr(0, path.size() - std::strlen("font.fda"));
  if (g_extra[0].empty()) {
    g_extra[0] = dir + "font.bmp";
    g_extra[1] = dir + "alpha.tga";
    g_extra[2] = dir + "alpha.fda";
    writeFile(g_extra[0], glyphBmp());
    writeFile(g_extra[1], glyphTga());
    std::atexit([] {
      for (const std::string& p : g_extra) std::remove(p.c_str());
    });
  }
  writeFile(g_extra[2], std::string(reinterpret_cast<const char*>(data), size));
  return {dir + "font", dir + "alpha"};
}

void exercise(fntFont* font, imgRowCTy& target) {
  const rectCTy clip{{0, 0, 64, 64}};
  char line[256];
  // Widths and heights may be as large as an int holds: summed in 64 bits.
  volatile int64_t sink = 0;
  for (int c = 0; c < 256; ++c) {
    sink = sink + int64_t(fntCharWidth(font, char(c))) + fntCharHeight(font, char(c));
    const char one[2] = {char(c), 0};
    fontDrawText(font, one, 0, 0, &clip, &target);
    line[c] = char(c + 1);
  }
  line[255] = 0;
  sink = sink + fntStrWidth(font, line);
  fontDrawText(font, line, 0, 0, &clip, &target);
}

void loadAndDraw(const std::string& name) {
  imgRowCTy target;
  pelFmtDesc format;
  format.Set(pel_FMT_X8R8G8B8, nullptr);
  target.SetSize(64, 64, &format);
  ERR_TRY(frame) {
    if (fntFont* font = fntGet("%s", name.c_str())) {
      exercise(font, target);
      fntRelease(font);
    }
  }
  ERR_CATCH(frame, code) {
    (void)code;
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (errInit(), fntSystemInit(), true);
  (void)ready;
  const Names names = prepare(data, size);
  loadAndDraw(names.bmp);
  loadAndDraw(names.tga);
  return 0;
}
