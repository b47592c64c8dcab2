// Bitmap fonts and the font cache.
//
// A font is a description file "<name>.fda" (4128 little-endian bytes: a
// magic, the default glyph code, spacing, space width, line height and 256
// glyph rectangles) and a glyph picture "<name>.fnt" or "<name>.bmp" (BMP)
// or "<name>.tga" (an alpha image). At loading the glyphs are repacked into
// an image of their own, black between them, whose top-left pel (the
// default glyph's) becomes its colour key.
//
// Fonts are shared through one cache that holds each name once with a
// reference count: fntGet adds a reference, fntRelease drops one.
#pragma once

#include <cstddef>
#include <cstdint>

class imgCTy;

// A glyph rectangle: top-left corner in the glyph image, width - 1, height.
struct fntGlyph {
  int32_t x, y, w1, h;
};

constexpr uint32_t fnt_MAGIC = 0x01746E66;  // "fnt" and the byte 1
constexpr int32_t fnt_FILE_SIZE = 4128;

// The file's fields, then the two images the file keeps room for (its
// stored words at 24 and 4124 are ignored; pointers do not fit there).
struct fntFont {
  uint32_t magic;
  int32_t defaultGlyph;  // 0 to 255
  int32_t spacing;       // pels between two characters
  int32_t spaceWidth;    // advance of ' '
  int32_t lineHeight;
  int32_t reserved0;
  int32_t reservedImage;  // the file's word for the glyph image
  fntGlyph glyphs[256];
  int32_t reservedBase;  // the file's word for the base glyph image
  imgCTy* image;      // owned
  imgCTy* baseImage;  // owned; the same image after loading
};
static_assert(offsetof(fntFont, glyphs) == 28 && offsetof(fntFont, reservedBase) == 4124);

// Creates the cache once; returns 1.
int fntSystemInit();
// Frees every cached font whatever its count, and the cache; returns 1.
int fntSystemDone();
// The font of the formatted name (at most 255 characters), from the cache
// (names compared without case) or loaded into it; null when it fails to load
// (nothing cached: the next call tries again).
fntFont* fntGet(const char* format, ...);
// One reference less; at 0 the font is freed and leaves the cache. Nothing
// for a font the cache does not hold, or after fntSystemDone.
void fntRelease(fntFont* font);
// Loads and repacks a font; null (reported) when its description or glyph
// picture is missing or refused.
fntFont* fntLoad(const char* name);
// Repacks the glyphs of the loaded picture into the font's glyph image and
// rewrites the glyph rectangles.
void fntBuildGlyphs(fntFont* font, imgCTy* loaded);
// The glyph image's key := its pel at (0, 0).
void fntSetKey(fntFont* font);
void fntFree(fntFont* font);
// The advance without spacing: the space width for ' ', 1 for '\t', else the
// glyph's width cut before the glyph image's last column.
int32_t fntCharWidth(const fntFont* font, char c);
int32_t fntCharHeight(const fntFont* font, char c);
// n advances and n - 1 spacings; 0 for a null font or text.
int32_t fntStrWidth(const fntFont* font, const char* text);
// fntStrWidth + spacing: the width text sprites and their draws give a line
// (one spacing per character).
int32_t fntLineWidth(const fntFont* font, const char* text);
// The pel format TGA glyph images are converted to (0: none).
int* fntConvertFormat();
