// The image base class of the engine layer, with the rectangle and the draw
// parameter record every image class shares.
//
// An image's pels are reachable only while it is locked: Lock sets `data` to
// the first pel of the lock rectangle and `pitch` to the row distance in
// pels; Unlock clears `data`. Locks neither clip nor nest (one Unlock ends
// every earlier Lock), and callers pass rectangles inside the image.
#pragma once

#include <cstdint>

#include "engine/pal.h"
#include "engine/pel.h"
#include "engine/rect.h"
#include "engine/rw.h"

namespace talvo::io {
class IStream;
}

// Class ids.
constexpr int imgClassRow = 1;
constexpr int imgClassRle8 = 2;
constexpr int imgClassAlpha = 3;
constexpr int imgClassSurface = 5;

// Lock modes.
constexpr int img_LOCK_READWRITE = 0;
constexpr int img_LOCK_READ = 1;
constexpr int img_LOCK_WRITE = 2;
constexpr int img_LOCK_WRITE_ALL = 3;  // treated as img_LOCK_WRITE

// Draw modes (imgDrawParams::mode).
constexpr int32_t pel_OP_COPY = 0;
constexpr int32_t pel_OP_ALPHA = 1;
constexpr int32_t pel_OP_NONE = 2;
constexpr int32_t pel_OP_ALPHAMAP = 3;
constexpr int32_t pel_OP_MODULATE = 4;
constexpr int32_t pel_OP_MODULATE2X = 5;
constexpr int32_t pel_OP_MODULATE4X = 6;
constexpr int32_t pel_OP_ADD = 7;
constexpr int32_t pel_OP_ADDSIGNED = 8;
constexpr int32_t pel_OP_ADDSIGNED2X = 9;
constexpr int32_t pel_OP_SUBTRACT = 10;
constexpr int32_t pel_OP_ADDSMOOTH = 11;
constexpr int32_t pel_OP_ALPHAADD = 12;
constexpr int32_t pel_OP_STRETCH = 13;
constexpr int32_t pel_OP_SRCALPHA = 14;
constexpr int32_t pel_OP_SRCALPHAK = 15;

class imgCTy;

// How one image is drawn onto another. The images are borrowed for the call.
// Fillers value-initialise the record (imgDrawParams p{}) and set what they
// use.
struct imgDrawParams {
  int32_t mode;     // pel_OP_*
  int32_t scaled;   // non-zero: draw scaled by scaleX, scaleY
  int32_t alpha;    // the source's weight out of 256
  float scaleX;     // destination pels per source pel
  float scaleY;
  imgCTy* alphaMap; // 8-bit weights aligned with the source
  imgCTy* zSrc;     // pel_FMT_Z32 depths of the source
  imgCTy* zDst;     // pel_FMT_Z32 depths of the destination
};

// A record for a draw in `mode`, not scaled (scales 1.0), the rest zero.
imgDrawParams imgDrawParamsOf(int32_t mode);
// A factor as the source's weight out of 256 (DrawAlpha): factor * 256
// truncated toward zero; NaN gives 0, values past the int range saturate.
int32_t imgDrawWeightOf(float factor);

class imgCTy : public rwObjCTy {
 public:
  imgCTy() = default;
  // Class id, descriptor (with its own palette copy), size and key; the copy
  // is unlocked and has no pels.
  imgCTy(const imgCTy& other);
  imgCTy& operator=(const imgCTy&) = delete;

  // The 39 slots, in this order (GetClassName is rwObjCTy's).
  ~imgCTy() override = 0;
  // WriteHeader, then WriteData.
  void Write(rwStream* stream) override;
  // ReadHeader, then ReadData.
  void Read(rwStream* stream) override;
  // The rectangle, or {0, 0, width, height} for null.
  virtual void ResolveRect(const rectCTy* rect, rectCTy* out, int mode);
  virtual void SetColorKey(uint32_t keyPel);
  virtual void SetColorKeyRGB(uint32_t colour);
  // The base step: unless locked, the lock rectangle and mode are recorded.
  // Derived classes set data and pitch after it.
  virtual void Lock(const rectCTy* rect, int mode);
  virtual void Unlock();
  // The pel (zero-extended), or 0xFFFFFFFF for a format without pels here.
  // One lock of the pel and LockedPelAt.
  virtual uint32_t PelAtXY(int x, int y);
  // The pel as a colour.
  virtual uint32_t PelAtXYRGB(int x, int y);
  // Runs of `length` pels (none for 0 or less) from (x, y) rightwards or
  // downwards, pel i stored where bit (i mod 32) of the pattern is set; a
  // line from (x0, y0) to (x1, y1), `extra` unused. The pel value as it
  // stands (engine/draw/lines.cpp); pels outside the image are skipped.
  virtual void DrawHLine(uint32_t pel, int x, int y, int length, uint32_t pattern);
  virtual void DrawVLine(uint32_t pel, int x, int y, int length, uint32_t pattern);
  virtual void DrawLine(uint32_t pel, int x0, int y0, int x1, int y1, int extra);
  // Every pel of the rectangle (null: the whole image).
  virtual void Fill(uint32_t pel, const rectCTy* rect);
  virtual void LockMulti(imgCTy* a, int unused1, int unused2, int unused3, imgCTy* b, imgCTy* c);
  virtual void Draw(imgCTy* destination, int x, int y, const rectCTy* rect);
  // Mirrored draws: nothing here (only RLE8 images draw mirrored).
  virtual void DrawMirrorH(imgCTy* destination, int x, int y, rectCTy* rect);
  virtual void DrawExMirrorH(imgCTy* destination, int x, int y, rectCTy* rect, const imgDrawParams* params);
  // The software draw of a rectangle of this image (null: GetBounds) with
  // its origin at (x, y) of the destination.
  virtual void DrawEx(imgCTy* destination, int x, int y, const rectCTy* rect, const imgDrawParams* params);
  virtual void DrawAlphaMap(imgCTy* destination, int x, int y, const rectCTy* rect, imgCTy* weights);
  // Alpha = factor * 256, truncated (NaN gives 0, the int range saturates).
  virtual void DrawAlpha(imgCTy* destination, int x, int y, const rectCTy* rect, float factor);
  virtual rectCTy GetBounds();
  virtual imgCTy* Clone() = 0;
  virtual void FreeData() = 0;
  // Stores width and height.
  virtual void SetSize(int w, int h, const pelFmtDesc* descriptor);
  virtual void LoadBmp(const char* fileName);
  virtual void LoadBmpStream(talvo::io::IStream* stream);
  virtual void LoadZText(const char* fileName);
  virtual void LoadTga(const char* fileName);
  virtual void LoadTgaStream(talvo::io::IStream* stream);
  virtual void LoadJpg(const char* fileName);
  virtual void SaveBmp(const char* fileName);
  virtual void ReadInPlace(rwStream* stream);
  // Width, height, key flag, [key colour, key pel], descriptor.
  virtual void WriteHeader(rwStream* stream);
  virtual void WriteData(rwStream* stream);
  // The header; a negative size fails the stream.
  virtual void ReadHeader(rwStream* stream);
  virtual void ReadData(rwStream* stream);
  virtual void ReadDataInPlace(rwStream* stream);

  // The pel (zero-extended) at (x, y) of the current lock's rectangle, or
  // 0xFFFFFFFF for a format without pels here or an unlocked image. Reading
  // many pels under one lock spares the classes that decode their whole
  // image at every lock (alpha, RLE8) a decode per pel.
  uint32_t LockedPelAt(int x, int y) const;
  // A colour (bytes B, G, R, A) in the image's pel format.
  uint32_t ToNative(uint32_t colour) const;
  // DrawHLine and DrawVLine (through their slots) with the colour *colour
  // (bytes B, G, R, A) in the image's pel format; nothing for null.
  void DrawHLineRGB(const uint32_t* colour, int x, int y, int length, uint32_t pattern);
  void DrawVLineRGB(const uint32_t* colour, int x, int y, int length, uint32_t pattern);
  void FillRGB(uint32_t colour, const rectCTy* rect);
  void BuildPalTable(int format);
  const pelFmtDesc& GetPelFmtDesc() const { return desc; }
  // An owned copy of the palette; a key's pel follows its colour.
  void SetPalette(const palCTy* palette);
  // Borrows the palette; a key's pel follows its colour.
  void SharePalette(palCTy* palette);
  int PelFormat() const { return desc.format; }
  int BytesPerPel() const { return pelBytes(desc.format); }

  // The draw's two dispatchers (engine/draw): called by DrawEx on the source
  // once every image taking part is locked.
  void DrawExPaletted(imgCTy* destination, const rectCTy* rect, const imgDrawParams* params);
  void DrawExDirect(imgCTy* destination, const rectCTy* rect, const imgDrawParams* params);

  int classId = 0;
  pelFmtDesc desc;
  int width = 0;
  int height = 0;
  uint8_t* data = nullptr;  // the first pel of the lock rectangle; null: unlocked
  int pitch = 0;            // in pels
  rectCTy lockRect{0, 0, 0, 0};
  int lockMode = 0;
  int keyFlag = 0;
  uint32_t keyColor = 0;  // bytes B, G, R, A
  uint32_t keyPel = 0;    // the key colour in the image's pel format
  int borrowedPels = 0;   // the pels lie in an rw stream's data

 protected:
  // Debug check: the rectangle lies inside the image (empty ones pass).
  bool Inside(const rectCTy& rect) const;
};
