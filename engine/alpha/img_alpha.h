// The alpha image: a picture with a per-pel alpha channel, kept coded.
//
// Its pels are a run-length stream of pel kinds (imgAlphaRun: transparent,
// translucent, opaque) running on across the ends of rows, one alpha byte per
// translucent pel and one colour per visible pel in a storage format chosen
// per image (pel_FMT_R8G8B8, X8R8G8B8, R5G6B5 or X1R5G5B5), straight or
// premultiplied:
//   straight       a translucent pel stores its alpha a (1 to 254) and its
//                  colour;
//   premultiplied  it stores 255 - a and each channel c as c * a >> 8.
// Opaque pels store their colour in both forms; transparent pels nothing.
//
// Two ways lead to the pels. The draw kernels walk the coded stream and never
// lock the image. Everything else locks it: Lock decodes the whole image into
// a buffer of pel_FMT_A8R8G8B8 pels (whatever rectangle is asked, the lock
// covers the image; the data pointer is put at the asked rectangle's first
// pel), and Unlock codes the buffer again unless it was locked read-only.
#pragma once

#include <cstdint>

#include "engine/img.h"

// One run code: the length in pels (1 to imgAlphaRunMax) in bits 2-15, the
// kind in bits 0-1.
using imgAlphaRun = uint16_t;
constexpr int imgAlphaTransparent = 0;
constexpr int imgAlphaTranslucent = 1;
constexpr int imgAlphaOpaque = 2;
constexpr uint32_t imgAlphaRunMax = 16383;

// The operations of the draw kernels, one object type each; the type names
// the kernel's Op (imgAlphaDraw<Store,Dst,alphaOp::Copy>) and the object is
// what the kernel hands its pels to. Only SrcAlphaK's holds something: K,
// the source's weight out of 256 (0 to 255 when drawn through DrawEx).
namespace alphaOp {
struct Copy {};
struct SrcAlpha {};
struct Add {};
struct SrcAlphaK {
  int K = 0;
};
}  // namespace alphaOp

class imgAlpha : public imgCTy {
 public:
  imgAlpha();
  ~imgAlpha() override;
  imgAlpha(const imgAlpha&) = delete;
  imgAlpha& operator=(const imgAlpha&) = delete;

  const char* GetClassName() const override;
  // Always {0, 0, width, height}: every lock covers the whole image.
  void ResolveRect(const rectCTy* rect, rectCTy* out, int mode) override;
  // Sets the key (bytes B, G, R, A) and codes the pels again: pels of the
  // key's B, G, R become transparent. Nothing happens when the key is set
  // to these four bytes already.
  void SetColorKeyRGB(uint32_t colour) override;
  // Decodes every pel into a new buffer of width * height A8R8G8B8 pels
  // (modes 0, 1 and 2; mode 3 starts from zeros, transparent black). A lock
  // of a locked image does nothing.
  void Lock(const rectCTy* rect, int mode) override;
  // Codes the buffer again (unless locked in mode 1) and frees it.
  void Unlock() override;
  // DrawEx with pel_OP_SRCALPHA, unscaled.
  void Draw(imgCTy* destination, int x, int y, const rectCTy* rect) override;
  // Draws the rectangle (null: GetBounds) with its origin at (x, y) of the
  // destination, by the kernel the table in img_alpha_draw.cpp gives for
  // the destination's format, the premultiplied flag, the path (scaled, or
  // mode pel_OP_STRETCH), the mode's Op and the storage format; other cells
  // draw nothing. The destination is locked at the destination rectangle
  // for the call (a lock it held is given up) and ends unlocked; one with a
  // palette is reported. Nothing is clipped.
  void DrawEx(imgCTy* destination, int x, int y, const rectCTy* rect, const imgDrawParams* params) override;
  // DrawEx with pel_OP_SRCALPHAK at the weight factor * 256 (clamped to 0 to
  // 255 by DrawEx), unscaled.
  void DrawAlpha(imgCTy* destination, int x, int y, const rectCTy* rect, float factor) override;
  // The rectangle around the visible pels; {0, 0, 1, 1} when none is.
  rectCTy GetBounds() override;
  // Null: an alpha image makes no copy of itself.
  imgCTy* Clone() override;
  // Drops the coded pels; size, flags, storage format and bounds stay.
  void FreeData() override;
  // Stores width and height and nothing else; a descriptor of a format
  // other than pel_FMT_R8G8B8 or pel_FMT_A8R8G8B8 is reported.
  void SetSize(int w, int h, const pelFmtDesc* descriptor) override;
  // Opens the file (talvo::io::Failure when it cannot be read) and loads it
  // with LoadTgaStream.
  void LoadTga(const char* fileName) override;
  // Decodes a TGA picture and codes it with the key the image has.
  // Failures of the stream and the decoder pass through as talvo
  // exceptions.
  void LoadTgaStream(talvo::io::IStream* stream) override;
  // Read in place: nothing for an alpha image.
  void ReadInPlace(rwStream* stream) override;
  void ReadDataInPlace(rwStream* stream) override;
  // matte, premultiplied, storageFormat, the three counted arrays, bounds.
  void WriteData(rwStream* stream) override;
  // Reads what WriteData writes and checks it (ReadData's comment in
  // img_alpha_rw.cpp); a failure raises -5 "Data error" and leaves the
  // image without coded pels.
  void ReadData(rwStream* stream) override;

  // The stored colours become pels of *format (1, 2, 4 or 5). Without
  // colours only the storage format changes (the form the next Encode
  // stores).
  void ConvertColors(const int* format);
  // Replaces the coded pels by those of width * height A8R8G8B8 pels, row
  // after row without gaps. With `matte` set, translucent pels are first
  // un-composited from the colour of the first transparent pel, and matte
  // is cleared: the stored colours are straight from then on.
  void Encode(const uint8_t* pels);

  // The rw create function.
  static rwObjCTy* Create();

  // --- Draw kernels -----------------------------------------------------------
  // imgAlphaDraw[Scaled][Premul]<Store,Dst,Op>: the coded pels of rectangle
  // r drawn onto the destination, which comes locked at the destination
  // rectangle. Store is the storage format, Dst the destination's format
  // (layout structs of engine/pel.h), Op an alphaOp type. Opaque pels go to
  // the first operation object, translucent pels to the second. The
  // unscaled rectangle is in source pels; the scaled one in destination
  // pels, pel (i, j) sampling the source at row ((r.y + i) * stepY) >> 16,
  // column ((r.x + j) * stepX) >> 16, with step = 65536.0 / scale. Nothing
  // is clipped: callers keep the rectangle inside both images. The kernels
  // and the table of what each applies are in alpha_kernel.h.
  template <class Store, class Dst, class Op>
  void imgAlphaDraw(imgCTy* destination, const rectCTy& r, const Op& opaque, const Op& translucent);
  template <class Store, class Dst, class Op>
  void imgAlphaDrawPremul(imgCTy* destination, const rectCTy& r, const Op& opaque, const Op& translucent);
  template <class Store, class Dst, class Op>
  void imgAlphaDrawScaled(imgCTy* destination, const rectCTy& r, float scaleX, float scaleY, const Op& opaque,
                          const Op& translucent);
  template <class Store, class Dst, class Op>
  void imgAlphaDrawScaledPremul(imgCTy* destination, const rectCTy& r, float scaleX, float scaleY,
                                const Op& opaque, const Op& translucent);

  int matte = 0;                        // Encode un-composites translucent pels
  int storageFormat = pel_FMT_R8G8B8;   // of the stored colours: 1, 2, 4 or 5
  int runCount = 0;
  imgAlphaRun* runs = nullptr;          // runCount codes
  int alphaCount = 0;
  uint8_t* alphas = nullptr;            // one per translucent pel, in pel order
  int colorCount = 0;
  uint8_t* colors = nullptr;            // one per visible pel, in pel order
  rectCTy bounds{0, 0, 0, 0};
  uint8_t* lockBuffer = nullptr;        // the current lock's pels
  int premultiplied = 0;

 private:
  void FreeCoded();
  // Debug check of a scaled draw: every pel it samples lies inside the image.
  bool SamplesInside(const rectCTy& r, const imgDrawParams& params) const;
};

// Bytes of a stored colour of a storage format: 3, 4, 2, 2 for 1, 2, 4, 5; 0
// for any other code.
int imgAlphaColourBytes(int storageFormat);

// A kernel as DrawEx's table holds it: the operation objects are made from
// K, the weight of pel_OP_SRCALPHAK.
using imgAlphaDrawFn = void (*)(imgAlpha& source, imgCTy* destination, const rectCTy& r,
                                const imgDrawParams& params, int K);
// The table's cell: destination format (1 to 6), premultiplied storage, the
// scaled path, Op (0 Copy, 1 SrcAlpha, 2 Add, 3 SrcAlphaK) and storage
// format (1, 2, 4, 5); null outside the table.
imgAlphaDrawFn imgAlphaKernelOf(int destinationFormat, bool premultiplied, bool scaled, int op, int storageFormat);
