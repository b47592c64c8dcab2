// A font loaded from any ".fda" bytes beside a fixed 16 x 8 glyph picture,
// inside a TRY frame (a report ends the load): every code measured and
// drawn alone into a 64 x 64 memory image, then all of them in one line,
// and the font released. The cache is created once.
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
std::string glyphPicture() {
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

// The font's name: the input file's path without ".fda", the picture beside it.
std::string prepare(const uint8_t* data, size_t size) {
  std::string path = fuzz::writeInput("font.fda", data, size);
  std::string name = path.substr(0, path.size() - 4);
  static std::string picture;
  if (picture.empty()) {
    picture = name + ".bmp";
    const std::string bmp = glyphPicture();
    FILE* f = std::fopen(picture.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(bmp.data(), 1, bmp.size(), f);
    std::fclose(f);
    // Runs before the input file's directory goes.
    std::atexit([] { std::remove(picture.c_str()); });
  }
  return name;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (errInit(), fntSystemInit(), true);
  (void)ready;
  const std::string name = prepare(data, size);
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
  return 0;
}
