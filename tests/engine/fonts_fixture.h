// What the font and text tests share: the font fixtures written by
// make_font.py into a fresh directory, a fresh font cache, and the strip's
// geometry as the writer lays it out, from which the expected text pels are
// computed independently of the repacking.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/fnt.h"
#include "engine/text.h"
#include "images_fixture.h"
#include "sprites_fixture.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace engine_test {

class FontTest : public ImagesTest {
 protected:
  void SetUp() override {
    ImagesTest::SetUp();
    ASSERT_EQ(runPython({MAKE_FONT_SCRIPT, dir.path.string()}), 0);
    fntSystemInit();
  }
  void TearDown() override {
    fntSystemDone();
    ImagesTest::TearDown();
  }
  std::string name(const char* font = "font") const { return dir.file(font); }

  TempDir dir;
};

// The strip's pel at (x, y) as R, G, B.
inline uint32_t stripPel(int x, int y) {
  if (x == 0 && y == 0) return 0xFF00FF;
  return uint32_t(8 * x + 5) << 16 | uint32_t(20 * y + 7) << 8 | 100;
}

// A glyph of the strip: x, width (cut before the strip's last column), height.
struct StripGlyph {
  int x, w, h;
};
inline StripGlyph stripGlyph(char c) {
  switch (c) {
    case 'A': return {4, 5, 8};
    case 'B': return {9, 6, 7};
    case 'C': return {15, 3, 8};
    case 'D': return {26, 3, 8};  // 4 wide in the file, touching the last column
    default: return {0, 4, 8};    // '?' and every missing code
  }
}
constexpr int kSpacing = 1, kSpaceWidth = 3, kLineHeight = 9;

// The colour expected at text coordinates (px, py) of the text drawn with the
// clip, or `background` where nothing draws (the key included).
inline uint32_t expectedTextPel(const std::string& text, const rectCTy& clip, int px, int py, uint32_t background) {
  if (px < clip.x || px >= clip.x + clip.w || py < clip.y || py >= clip.y + clip.h) return background;
  int pen = 0;
  for (char c : text) {
    const int advance = c == ' ' ? kSpaceWidth : c == '\t' ? 1 : stripGlyph(c).w;
    if (c != ' ' && c != '\t' && px >= pen && px < pen + advance) {
      const StripGlyph g = stripGlyph(c);
      if (py >= g.h) return background;
      const uint32_t pel = stripPel(g.x + px - pen, py);
      return pel == 0xFF00FF ? background : pel;
    }
    pen += advance + kSpacing;
  }
  return background;
}

}  // namespace engine_test
