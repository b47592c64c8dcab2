// Bitmap fonts: loading, repacking, measuring, and the font cache.
#include "engine/fnt.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/arr.h"
#include "base/err.h"
#include "base/format.h"
#include "base/mem.h"
#include "base/str.h"
#include "engine/img_alpha_hook.h"
#include "engine/img_row.h"
#include "platform/win_stdio.h"
#include "talvo/Exception.h"
#include "talvo/File.h"

namespace {

struct fntCacheEntry {
  char* name;  // owned
  fntFont* font;
  int32_t count;
};

bool g_initialised = false;
arrArray* g_cache = nullptr;
int g_convertFormat = 0;

// The widest glyph picture the repacking grows to when the rows do not fit
// four times the width (the first layout may be wider still).
constexpr int32_t kMaxLayoutWidth = 1 << 16;

// Names compared without regard to case.
bool sameName(const char* a, const char* b) {
  for (; *a && chrLower(*a) == chrLower(*b); ++a, ++b) {
  }
  return chrLower(*a) == chrLower(*b);
}

fntCacheEntry* entries() { return static_cast<fntCacheEntry*>(g_cache->data); }

// A report of the font loader: the text is data, never a format.
void report(const char* format, const char* arg) {
  char text[256];
  strFormatN(text, sizeof text, format, arg);
  errPrintf(ERR_LEVEL_ERROR, "%s", text);
}

int32_t le32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

struct FontDeleter {
  void operator()(fntFont* f) const { fntFree(f); }
};
using FontPtr = std::unique_ptr<fntFont, FontDeleter>;

struct ImageDeleter {
  void operator()(imgCTy* image) const { delete image; }
};
using ImagePtr = std::unique_ptr<imgCTy, ImageDeleter>;

// The description file's fields (the run-time words stay null).
void decode(fntFont& f, const uint8_t* b) {
  f.magic = uint32_t(le32(b));
  f.defaultGlyph = le32(b + 4);
  f.spacing = le32(b + 8);
  f.spaceWidth = le32(b + 12);
  f.lineHeight = le32(b + 16);
  f.reserved0 = le32(b + 20);
  for (int c = 0; c < 256; ++c) {
    const uint8_t* g = b + 28 + 16 * c;
    f.glyphs[c] = {le32(g), le32(g + 4), le32(g + 8), le32(g + 12)};
  }
}

// Every glyph rectangle inside the picture: corner at least 0, width and
// height at least 0 and ending inside it.
void clampGlyphs(fntFont& f, int32_t sw, int32_t sh) {
  for (fntGlyph& g : f.glyphs) {
    g.x = std::clamp(g.x, 0, sw - 1);
    g.y = std::clamp(g.y, 0, sh - 1);
    const int64_t w = std::clamp<int64_t>(int64_t(g.w1) + 1, 0, sw - g.x);
    g.w1 = int32_t(w - 1);
    g.h = std::clamp(g.h, 0, sh - g.y);
  }
}

// The glyph picture's file, its format told by the name; false when none
// of the three exists.
enum class Picture { bmp, tga };
bool findPicture(const char* name, char* path, size_t size, Picture* kind) {
  static const struct {
    const char* format;
    Picture kind;
  } kinds[] = {{"%s.fnt", Picture::bmp}, {"%s.bmp", Picture::bmp}, {"%s.tga", Picture::tga}};
  for (const auto& k : kinds) {
    strFormatN(path, size, k.format, name);
    if (talvo::file_exists(path)) {
      *kind = k.kind;
      return true;
    }
  }
  return false;
}

// The glyph picture loaded into `loaded` and an empty glyph image of the
// picture's class; null when the picture is refused (one report).
ImagePtr loadPicture(const char* name, imgRowCTy& loaded) {
  char path[MAX_PATH];
  Picture kind;
  if (!findPicture(name, path, sizeof path, &kind)) {
    report("Font's picture not found : %s", name);
    return nullptr;
  }
  ImagePtr image;
  if (kind == Picture::bmp) {
    // The loader reports what it refuses.
    loaded.LoadBmp(path);
    if (!loaded.buffer || loaded.width <= 0 || loaded.height <= 0) return nullptr;
    image.reset(new imgRowCTy);
  } else {
    try {
      loaded.LoadTga(path);
    } catch (const talvo::Exception&) {
      report("Font's picture refused : %s", path);
      return nullptr;
    }
    if (!loaded.buffer || loaded.width <= 0 || loaded.height <= 0) return nullptr;
    // The alpha images stand above the engine core: made by class name.
    rwObjCTy* object = rwObjCreateByClassName("imgAlpha");
    image.reset(dynamic_cast<imgCTy*>(object));
    if (!image) {
      delete object;
      return nullptr;
    }
    if (g_convertFormat && imgAlphaConvertColorsHook) imgAlphaConvertColorsHook(image.get(), &g_convertFormat);
  }
  return image;
}

// The unclipped and the clipped width of a glyph of the loaded picture.
int32_t widthOf(const fntGlyph& g) { return g.w1 + 1; }
int32_t clippedWidthOf(const fntGlyph& g, int32_t sw) {
  const int32_t w = widthOf(g);
  return int64_t(g.x) + w >= sw - 1 ? sw - 1 - g.x : w;
}

// One layout of the glyphs in rows of width w; the height it needs.
int64_t layout(const fntFont& f, int32_t sw, int64_t w, fntGlyph* out) {
  const int32_t d = f.defaultGlyph;
  const fntGlyph& dg = f.glyphs[d];
  std::memset(out, 0, 256 * sizeof(fntGlyph));
  out[d] = {0, 0, dg.w1, dg.h};
  int64_t penX = widthOf(dg), y = 0, rowHeight = dg.h;
  for (int c = 0; c < 256; ++c) {
    const fntGlyph& g = f.glyphs[c];
    if (c == d || g.x == dg.x) {
      out[c] = out[d];
      continue;
    }
    if (penX + widthOf(g) >= w) {
      y += rowHeight;
      penX = 0;
      rowHeight = 0;
    }
    const int32_t cw = clippedWidthOf(g, sw);
    out[c] = {int32_t(penX), int32_t(y), cw - 1, g.h};
    penX += cw;
    rowHeight = std::max<int64_t>(rowHeight, g.h);
  }
  return y + rowHeight;
}

}  // namespace

int fntSystemInit() {
  if (g_initialised) return 1;
  g_cache = arrCreate(nullptr, 10, sizeof(fntCacheEntry), 10);
  g_initialised = g_cache != nullptr;
  return 1;
}

int fntSystemDone() {
  if (!g_initialised) return 1;
  for (int32_t i = 0; i < g_cache->count; ++i) {
    fntFree(entries()[i].font);
    memHooks.free(entries()[i].name);
  }
  arrFree(g_cache);
  g_cache = nullptr;
  g_initialised = false;
  return 1;
}

fntFont* fntGet(const char* format, ...) {
  // Fonts live in the cache only: none before fntSystemInit or after
  // fntSystemDone.
  if (!g_initialised) return nullptr;
  char name[256];
  va_list args;
  va_start(args, format);
  strFormatVN(name, sizeof name, format, args);
  va_end(args);
  for (int32_t i = 0; i < g_cache->count; ++i) {
    fntCacheEntry& e = entries()[i];
    if (sameName(e.name, name)) {
      ++e.count;
      return e.font;
    }
  }
  FontPtr font(fntLoad(name));
  if (!font) return nullptr;
  fntCacheEntry e{strDup(name), font.get(), 1};
  if (!e.name || arrAppend(g_cache, &e) < 0) {
    memHooks.free(e.name);
    return nullptr;
  }
  return font.release();
}

void fntRelease(fntFont* font) {
  if (!g_initialised || !font) return;
  for (int32_t i = 0; i < g_cache->count; ++i) {
    fntCacheEntry& e = entries()[i];
    if (e.font != font) continue;
    if (--e.count == 0) {
      fntFree(e.font);
      e.font = nullptr;
      memHooks.free(e.name);
      arrRemove(g_cache, i);
    }
    return;
  }
}

fntFont* fntLoad(const char* name) {
  char fda[256];
  strFormatN(fda, sizeof fda, "%s.fda", name);
  std::unique_ptr<FILE, int (*)(FILE*)> file(_fsopen(fda, "rb", _SH_DENYNO), std::fclose);
  if (!file) {
    report("Font's file not found : %s", fda);
    return nullptr;
  }
  FontPtr font(static_cast<fntFont*>(memCalloc(sizeof(fntFont))));
  if (!font) return nullptr;
  uint8_t bytes[fnt_FILE_SIZE] = {};
  (void)std::fread(bytes, 1, sizeof bytes, file.get());
  file.reset();
  decode(*font, bytes);
  if (font->magic != fnt_MAGIC || font->defaultGlyph < 0 || font->defaultGlyph > 255) {
    report("Wrong font's version : %s", name);
    return nullptr;
  }
  imgRowCTy loaded;
  ImagePtr image = loadPicture(name, loaded);
  if (!image) return nullptr;
  font->image = image.release();
  fntBuildGlyphs(font.get(), &loaded);
  font->baseImage = font->image;
  fntSetKey(font.get());
  return font.release();
}

void fntBuildGlyphs(fntFont* font, imgCTy* loaded) {
  const int32_t sw = loaded->width, sh = loaded->height;
  clampGlyphs(*font, sw, sh);
  int32_t widest = 0;
  for (const fntGlyph& g : font->glyphs) widest = std::max(widest, g.w1);
  int64_t w = 32;
  while (w < widest) w *= 2;
  fntGlyph packed[256];
  int64_t h;
  do {
    w *= 2;
    h = layout(*font, sw, w, packed);
  } while (h > 4 * w && w < kMaxLayoutWidth);
  // An image of at least one pel: the key is read at (0, 0).
  h = std::max<int64_t>(h, 1);

  imgCTy* image = font->image;
  image->SetSize(int32_t(w), int32_t(h), &loaded->GetPelFmtDesc());
  image->FillRGB(0, nullptr);
  imgDrawParams copy{};
  copy.mode = pel_OP_COPY;
  copy.scaleX = copy.scaleY = 1.0f;
  const int32_t d = font->defaultGlyph;
  for (int c = 0; c < 256; ++c) {
    const fntGlyph& g = font->glyphs[c];
    if (c != d && g.x == font->glyphs[d].x) continue;
    const fntGlyph& to = packed[c];
    rectCTy from{{g.x, g.y, clippedWidthOf(g, sw), g.h}};
    if (from.w <= 0 || from.h <= 0) continue;
    loaded->DrawEx(image, to.x - g.x, to.y - g.y, &from, &copy);
  }
  std::memcpy(font->glyphs, packed, sizeof packed);
}

void fntSetKey(fntFont* font) {
  if (!font) return;
  font->image->SetColorKey(font->image->PelAtXY(0, 0));
}

void fntFree(fntFont* font) {
  if (!font) return;
  if (font->image && font->image != font->baseImage) delete font->image;
  delete font->baseImage;
  memHooks.free(font);
}

int32_t fntCharWidth(const fntFont* font, char c) {
  const uint8_t code = uint8_t(c);
  if (code == ' ') return font->spaceWidth;
  if (code == '\t') return 1;
  const fntGlyph& g = font->glyphs[code];
  return std::min(g.w1 + 1, font->image->width - 1 - g.x);
}

int32_t fntCharHeight(const fntFont* font, char c) { return font->glyphs[uint8_t(c)].h; }

namespace {

// n advances and n - 1 spacings, and `extra` spacings more, within the int
// range.
int32_t sumWidths(const fntFont* font, const char* text, int64_t extra) {
  if (!font || !text) return 0;
  int64_t width = 0;
  for (const char* p = text; *p; ++p) width += int64_t(fntCharWidth(font, *p)) + font->spacing;
  if (*text) width -= font->spacing;
  width += extra * font->spacing;
  return int32_t(std::clamp<int64_t>(width, INT32_MIN, INT32_MAX));
}

}  // namespace

int32_t fntStrWidth(const fntFont* font, const char* text) { return sumWidths(font, text, 0); }

int32_t fntLineWidth(const fntFont* font, const char* text) { return sumWidths(font, text, 1); }

int* fntConvertFormat() { return &g_convertFormat; }
