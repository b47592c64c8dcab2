// Text drawn glyph by glyph from a bitmap font (engine/fnt.h), and the text
// sprite that shows one line of formatted text.
//
// Text coordinates: x from 0 at the left edge of the first character, y from
// 0 at the top of the line. ' ' and '\t' only advance (by the space width and
// by 1, each plus the spacing); every other byte draws its glyph.
#pragma once

#include <cstdint>

#include "engine/fnt.h"
#include "engine/img.h"
#include "engine/spr.h"

// Draws the part of the text inside the clip (text coordinates) with text
// (0, 0) at (x, y) of the target. The clip's pels must lie inside the target.
// Nothing for a null font or text.
void fontDrawTextEx(const fntFont* font, const char* text, int32_t x, int32_t y, const rectCTy* clip,
                    imgCTy* target, const imgDrawParams* params);
// fontDrawTextEx in the text mode pel_OP_SRCALPHA, unscaled.
void fontDrawText(const fntFont* font, const char* text, int32_t x, int32_t y, const rectCTy* clip,
                  imgCTy* target);

constexpr int32_t spr_ALIGN_LEFT = 0;
constexpr int32_t spr_ALIGN_CENTRE = 1;
constexpr int32_t spr_ALIGN_RIGHT = 2;

// A sprite showing one line of text in the first of its fonts, anchored at
// its position left, centred or right. Every font it adds holds a reference
// in the font cache until the sprite is destroyed.
class sprDfStrCTy : public sprCTy {
 public:
  // Hidden, centred, no fonts, no text.
  sprDfStrCTy();
  // Out of its list (marking its rectangle), then its fonts released.
  ~sprDfStrCTy() override;
  sprDfStrCTy(const sprDfStrCTy&) = delete;
  sprDfStrCTy& operator=(const sprDfStrCTy&) = delete;

  void Draw() override;
  // {x - anchor x, y - anchor y, text width, text height}.
  void GetRect(rectCTy* out) override;

  // The font of that name from the cache (null when it fails to load); its
  // index. Nothing is measured or marked.
  int32_t AddFont(const char* name);
  // The text (cut to 255 characters), measured; the rectangle is marked
  // before and after.
  void Printf(const char* format, ...);
  // spr_ALIGN_*; measured, marked before and after.
  void SetAlign(int32_t newAlign);
  // Width (one spacing per character), height and anchor of the text in the
  // current font; width 0 without text or font.
  void Measure();

  int32_t align = spr_ALIGN_CENTRE;
  uint32_t fontCount = 0;
  int32_t currentFont = 0;
  int32_t textWidth = 0, textHeight = 0;
  int32_t anchorX = 0, anchorY = 0;
  char* text = nullptr;           // owned
  fntFont** fonts = nullptr;      // owned array; one cache reference each
  char** fontNames = nullptr;     // owned array of owned names

 private:
  const fntFont* CurrentFont() const;
};
