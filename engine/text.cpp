// Text drawing and the text sprite.
#include "engine/text.h"

#include <algorithm>
#include <cstdarg>

#include "base/format.h"
#include "base/mem.h"
#include "base/str.h"

void fontDrawTextEx(const fntFont* font, const char* text, int32_t x, int32_t y, const rectCTy* clip,
                    imgCTy* target, const imgDrawParams* params) {
  if (!font || !text || !font->image) return;
  const int64_t left = clip->x, right = int64_t(clip->x) + clip->w;
  const int64_t top = clip->y, bottom = int64_t(clip->y) + clip->h;
  int64_t pen = 0;
  const char* p = text;
  // Characters left of the clip cost one width each.
  while (*p && pen + fntCharWidth(font, *p) < left) pen += int64_t(fntCharWidth(font, *p++)) + font->spacing;
  for (; *p && pen < right; ++p) {
    const int32_t advance = fntCharWidth(font, *p);
    if (*p != ' ' && *p != '\t') {
      // The glyph's cell {pen, 0, advance, height} cut to the clip.
      const int64_t x0 = std::max(pen, left), x1 = std::min(pen + advance, right);
      const int64_t y0 = std::max<int64_t>(0, top), y1 = std::min<int64_t>(fntCharHeight(font, *p), bottom);
      if (x1 > x0 && y1 > y0) {
        const fntGlyph& g = font->glyphs[uint8_t(*p)];
        const rectCTy from{{int32_t(g.x + x0 - pen), int32_t(g.y + y0), int32_t(x1 - x0), int32_t(y1 - y0)}};
        font->image->DrawEx(target, int32_t(x + pen - g.x), y - g.y, &from, params);
      }
    }
    pen += int64_t(advance) + font->spacing;
  }
}

void fontDrawText(const fntFont* font, const char* text, int32_t x, int32_t y, const rectCTy* clip,
                  imgCTy* target) {
  imgDrawParams p{};
  p.mode = pel_OP_SRCALPHA;
  p.scaleX = p.scaleY = 1.0f;
  fontDrawTextEx(font, text, x, y, clip, target, &p);
}

void sprCTy::DrawText(const fntFont* font, const char* text, int32_t offsetX, int32_t offsetY) {
  if (!font || !text) return;
  const rectCTy r{{offsetX, offsetY, fntLineWidth(font, text), font->lineHeight}};
  rectCTy c;
  if (!c.Intersect(&drawClip, &r)) return;
  c.x -= offsetX;
  c.y -= offsetY;
  fontDrawText(font, text, targetX + offsetX, targetY + offsetY, &c, target);
}

sprDfStrCTy::sprDfStrCTy() = default;

sprDfStrCTy::~sprDfStrCTy() {
  Detach();
  for (uint32_t i = 0; i < fontCount; ++i) {
    fntRelease(fonts[i]);
    memHooks.free(fontNames[i]);
  }
  memHooks.free(fonts);
  memHooks.free(text);
  memHooks.free(fontNames);
}

const fntFont* sprDfStrCTy::CurrentFont() const {
  return currentFont >= 0 && uint32_t(currentFont) < fontCount ? fonts[currentFont] : nullptr;
}

void sprDfStrCTy::Draw() { DrawText(CurrentFont(), text, -anchorX, -anchorY); }

void sprDfStrCTy::GetRect(rectCTy* out) { *out = rectCTy{{x - anchorX, y - anchorY, textWidth, textHeight}}; }

int32_t sprDfStrCTy::AddFont(const char* name) {
  auto* moreFonts = static_cast<fntFont**>(memRealloc(fonts, (fontCount + 1) * sizeof(fntFont*)));
  if (!moreFonts) return -1;
  fonts = moreFonts;
  auto* moreNames = static_cast<char**>(memRealloc(fontNames, (fontCount + 1) * sizeof(char*)));
  if (!moreNames) return -1;
  fontNames = moreNames;
  fontNames[fontCount] = strDup(name);
  fonts[fontCount] = fntGet("%s", name);
  return int32_t(fontCount++);
}

void sprDfStrCTy::Printf(const char* format, ...) {
  Invalidate();
  char buffer[256];
  va_list args;
  va_start(args, format);
  strFormatVN(buffer, sizeof buffer, format, args);
  va_end(args);
  memHooks.free(text);
  text = strDup(buffer);
  Measure();
  Invalidate();
}

void sprDfStrCTy::SetAlign(int32_t newAlign) {
  Invalidate();
  align = newAlign;
  Measure();
  Invalidate();
}

void sprDfStrCTy::Measure() {
  const fntFont* font = CurrentFont();
  if (!text || !font) {
    textWidth = 0;
    return;
  }
  textWidth = fntLineWidth(font, text);
  textHeight = font->lineHeight;
  if (align == spr_ALIGN_LEFT)
    anchorX = 0;
  else if (align == spr_ALIGN_CENTRE)
    anchorX = textWidth / 2;
  else if (align == spr_ALIGN_RIGHT)
    anchorX = textWidth;
}
