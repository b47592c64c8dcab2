// Which RLE8 row loop serves which draw: the destination's format picks the
// row of Dst, the draw mode the Op, the variant (key flag, depth images,
// mirrored entry) the column.
//
//   format  1 R8G8B8   2, 3 X8R8G8B8   4 R5G6B5   5, 6 X1R5G5B5
//   mode    0 Copy   1 Alpha   4 Modulate   5 Modulate2X   6 Modulate4X
//           7 Add    8 AddSigned   9 AddSigned2X   10 Subtract   11 AddSmooth
//           13 the stretched draw of the Dst (formats 4 to 6: R5G6B5's)
//           2, 3, 12, 14 and above: nothing
//
// Alpha has no depth variants (a depth image is ignored: the plain or Key
// column serves). The X1R5G5B5 Copy members without a key test are
// R5G6B5's: a copy stores the 16-bit entry whatever its layout.
//
// Copy and Alpha in the plain and Key columns draw through the image's
// converted runs instead (rle8_converted.h, with the span draws of
// rle8_spans.h), drawing what these members draw; the members serve when
// the runs cannot be had.
#pragma once

#include "engine/rle8/rle8_members.h"
#include "engine/rle8/rle8_spans.h"

struct rle8Variants {
  rle8DrawFn plain, key, z, keyZ, mirror, mirrorKey;
};

constexpr int rle8Ops = 10;
constexpr int rle8OpCopy = 0, rle8OpAlpha = 1;

namespace rle8Table {
using namespace imgOp;

#define RLE8_ALL(Dst, Op)                                                                              \
  {imgRle8Draw<Dst, Op>, imgRle8DrawKey<Dst, Op>, imgRle8DrawZ<Dst, Op>, imgRle8DrawKeyZ<Dst, Op>, \
   imgRle8DrawMirror<Dst, Op>, imgRle8DrawMirrorKey<Dst, Op>}
#define RLE8_NO_Z(Dst, Op) \
  {imgRle8Draw<Dst, Op>, imgRle8DrawKey<Dst, Op>, nullptr, nullptr, imgRle8DrawMirror<Dst, Op>, imgRle8DrawMirrorKey<Dst, Op>}
#define RLE8_MODE_ROWS(Dst)                                                                              \
  RLE8_ALL(Dst, Modulate), RLE8_ALL(Dst, Modulate2X), RLE8_ALL(Dst, Modulate4X), RLE8_ALL(Dst, Add), \
      RLE8_ALL(Dst, AddSigned), RLE8_ALL(Dst, AddSigned2X), RLE8_ALL(Dst, Subtract), RLE8_ALL(Dst, AddSmooth)

// [Dst][Op], Op in the order of the modes above.
inline constexpr rle8Variants members[rle8Dsts][rle8Ops] = {
    {RLE8_ALL(R8G8B8, Copy), RLE8_NO_Z(R8G8B8, Alpha), RLE8_MODE_ROWS(R8G8B8)},
    {RLE8_ALL(X8R8G8B8, Copy), RLE8_NO_Z(X8R8G8B8, Alpha), RLE8_MODE_ROWS(X8R8G8B8)},
    {RLE8_ALL(R5G6B5, Copy), RLE8_NO_Z(R5G6B5, Alpha), RLE8_MODE_ROWS(R5G6B5)},
    {{imgRle8Draw<R5G6B5, Copy>, imgRle8DrawKey<X1R5G5B5, Copy>, imgRle8DrawZ<R5G6B5, Copy>,
      imgRle8DrawKeyZ<X1R5G5B5, Copy>, imgRle8DrawMirror<R5G6B5, Copy>, imgRle8DrawMirrorKey<X1R5G5B5, Copy>},
     RLE8_NO_Z(X1R5G5B5, Alpha), RLE8_MODE_ROWS(X1R5G5B5)},
};

inline constexpr rle8DrawFn scaled[rle8Dsts] = {imgRle8DrawScaled<R8G8B8>, imgRle8DrawScaled<X8R8G8B8>,
                                               imgRle8DrawScaled<R5G6B5>, imgRle8DrawScaled<R5G6B5>};
inline constexpr rle8DrawFn scaledMirror[rle8Dsts] = {imgRle8DrawScaledMirror<R8G8B8>, imgRle8DrawScaledMirror<X8R8G8B8>,
                                                     imgRle8DrawScaledMirror<R5G6B5>, imgRle8DrawScaledMirror<R5G6B5>};

#undef RLE8_ALL
#undef RLE8_NO_Z
#undef RLE8_MODE_ROWS

}  // namespace rle8Table

// The Dst of a destination format, or -1 (formats other than 1 to 6).
constexpr int rle8DstOf(int format) {
  switch (format) {
    case pel_FMT_R8G8B8: return rle8R8G8B8;
    case pel_FMT_X8R8G8B8:
    case pel_FMT_A8R8G8B8: return rle8X8R8G8B8;
    case pel_FMT_R5G6B5: return rle8R5G6B5;
    case pel_FMT_X1R5G5B5:
    case pel_FMT_A1R5G5B5: return rle8X1R5G5B5;
    default: return -1;
  }
}

// The Op of a mode drawn by the row loops, or -1 (13 and the modes that
// draw nothing).
constexpr int rle8OpOf(int mode) {
  if (mode == pel_OP_COPY || mode == pel_OP_ALPHA) return mode;
  if (mode >= pel_OP_MODULATE && mode <= pel_OP_ADDSMOOTH) return mode - pel_OP_MODULATE + 2;
  return -1;
}
