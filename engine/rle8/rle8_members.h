// The RLE8 image's draw families, declared: the run kernels
// rle8Run[Mirror][Key][Z]<Dst,Op>, which draw one packed row, and the row
// loops imgRle8Draw[Mirror][Key][Z]<Dst,Op>, which call the kernel of their
// own name once for every row of a draw; besides them the stretched draws
// imgRle8DrawScaled[Mirror]<Dst> of mode 13. Their bodies are one walk
// (rle8_walk.h) instantiated per destination in kernels_<dst>.cpp; which
// draw reaches which member is rle8_table.h.
//
// Dst is the layout struct of the destination: R8G8B8 (format 1), X8R8G8B8
// (2 and 3), R5G6B5 (4) or X1R5G5B5 (5 and 6). Op is one of imgOp's tags
// (engine/draw/pel_ops.h): Copy, Alpha, Modulate, Modulate2X, Modulate4X,
// Add, AddSigned, AddSigned2X, Subtract, AddSmooth. Every Dst and Op has the
// six variants plain, Key, Z, KeyZ, Mirror and MirrorKey, except that Alpha
// has no depth variants and X1R5G5B5 Copy only the keyed ones (the R5G6B5
// Copy members store any 16-bit entry): 229 pairs of kernel and row loop.
//
// Kernels and loops check nothing and report nothing: the draws hand them a
// rectangle inside the rows and destinations that hold it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/draw/pel_ops.h"
#include "engine/rle8/img_rle8.h"

// The last argument of the keyed Alpha members: the weight out of 256 and
// the key pel in the destination's format (zero-extended).
struct rle8AlphaKey {
  int32_t alpha;
  uint32_t key;
};

// What a row loop or a stretched draw works on.
struct rle8DrawArgs {
  const imgRle8CTy* src;
  // Rows k.y to k.y + k.h - 1 of the source's table, from start pel k.x for
  // k.w pels; the stretched draws take k in destination pels.
  rectCTy k;
  uint8_t* dst;            // the leftmost destination pel of the first row
  int64_t dstPitch;        // bytes from one destination row to the next
  const uint8_t* zSrc;     // Z members: the first row's depths, 32-bit each
  int64_t zSrcPitch;
  uint8_t* zDst;
  int64_t zDstPitch;
  const uint8_t* table;    // the source palette in the destination's format
  // The kernels' last argument: the key pel (keyed members other than
  // Alpha), the weight as an int32_t (Alpha), an rle8AlphaKey (keyed Alpha).
  const void* extra;
  float scaleX, scaleY;    // stretched draws
};

using rle8DrawFn = void (*)(const rle8DrawArgs&);

// --- Run kernels --------------------------------------------------------------------
// One packed row of `end - row` bytes from its pel `start` for `count` pels
// onto consecutive destination pels from d (to the left of d in the
// mirrored members); each index is looked up in the table, whose entries
// have the destination's layout. Z members test the source depth against
// the destination depth first (both rows advancing to the right).

#define RLE8_RUN_ARGS const uint8_t *row, const uint8_t *end, int start, int count, uint8_t *d, \
                      const uint8_t *table, const void *extra
#define RLE8_RUN_Z_ARGS const uint8_t *row, const uint8_t *end, int start, int count, const uint8_t *zSrc, \
                        uint8_t *zDst, uint8_t *d, const uint8_t *table, const void *extra

template <class Dst, class Op>
void rle8Run(RLE8_RUN_ARGS);
template <class Dst, class Op>
void rle8RunKey(RLE8_RUN_ARGS);
template <class Dst, class Op>
void rle8RunZ(RLE8_RUN_Z_ARGS);
template <class Dst, class Op>
void rle8RunKeyZ(RLE8_RUN_Z_ARGS);
template <class Dst, class Op>
void rle8RunMirror(RLE8_RUN_ARGS);
template <class Dst, class Op>
void rle8RunMirrorKey(RLE8_RUN_ARGS);

// --- Row loops ------------------------------------------------------------------------

template <class Dst, class Op>
void imgRle8Draw(const rle8DrawArgs& a);
template <class Dst, class Op>
void imgRle8DrawKey(const rle8DrawArgs& a);
template <class Dst, class Op>
void imgRle8DrawZ(const rle8DrawArgs& a);
template <class Dst, class Op>
void imgRle8DrawKeyZ(const rle8DrawArgs& a);
template <class Dst, class Op>
void imgRle8DrawMirror(const rle8DrawArgs& a);
template <class Dst, class Op>
void imgRle8DrawMirrorKey(const rle8DrawArgs& a);

// --- Stretched draws --------------------------------------------------------------------
// Destination pel (i, j) of k copies the table entry of the source pel at
// row ((k.y + i) * stepY) >> 16, column ((k.x + j) * stepX) >> 16 (step =
// trunc(65536.0 / scale)); pels of skips, and samples past the bounds, leave
// the destination as it is. The mirrored draw writes each row from its
// rightmost pel leftwards. Scales that are not finite and positive, or whose
// step leaves int32, draw nothing. Dst is R8G8B8, X8R8G8B8 or R5G6B5 (any
// 16-bit entry).
template <class Dst>
void imgRle8DrawScaled(const rle8DrawArgs& a);
template <class Dst>
void imgRle8DrawScaledMirror(const rle8DrawArgs& a);

// --- The instances ------------------------------------------------------------------------
// KIND is `extern` for the declarations below and empty in kernels_<dst>.cpp.
#define RLE8_PAIR(KIND, Loop, Run, Dst, Op)                            \
  KIND template void Loop<Dst, imgOp::Op>(const rle8DrawArgs&);       \
  KIND template void Run<Dst, imgOp::Op>(RLE8_RUN_ARGS);
#define RLE8_PAIR_Z(KIND, Loop, Run, Dst, Op)                          \
  KIND template void Loop<Dst, imgOp::Op>(const rle8DrawArgs&);       \
  KIND template void Run<Dst, imgOp::Op>(RLE8_RUN_Z_ARGS);

#define RLE8_PLAIN(KIND, Dst, Op) RLE8_PAIR(KIND, imgRle8Draw, rle8Run, Dst, Op)
#define RLE8_KEY(KIND, Dst, Op) RLE8_PAIR(KIND, imgRle8DrawKey, rle8RunKey, Dst, Op)
#define RLE8_Z(KIND, Dst, Op) RLE8_PAIR_Z(KIND, imgRle8DrawZ, rle8RunZ, Dst, Op)
#define RLE8_KEYZ(KIND, Dst, Op) RLE8_PAIR_Z(KIND, imgRle8DrawKeyZ, rle8RunKeyZ, Dst, Op)
#define RLE8_MIRROR(KIND, Dst, Op) RLE8_PAIR(KIND, imgRle8DrawMirror, rle8RunMirror, Dst, Op)
#define RLE8_MIRRORKEY(KIND, Dst, Op) RLE8_PAIR(KIND, imgRle8DrawMirrorKey, rle8RunMirrorKey, Dst, Op)

#define RLE8_SIX(KIND, Dst, Op)                                                                    \
  RLE8_PLAIN(KIND, Dst, Op) RLE8_KEY(KIND, Dst, Op) RLE8_Z(KIND, Dst, Op) RLE8_KEYZ(KIND, Dst, Op) \
  RLE8_MIRROR(KIND, Dst, Op) RLE8_MIRRORKEY(KIND, Dst, Op)
#define RLE8_NO_DEPTH(KIND, Dst, Op) \
  RLE8_PLAIN(KIND, Dst, Op) RLE8_KEY(KIND, Dst, Op) RLE8_MIRROR(KIND, Dst, Op) RLE8_MIRRORKEY(KIND, Dst, Op)
#define RLE8_KEYED_ONLY(KIND, Dst, Op) \
  RLE8_KEY(KIND, Dst, Op) RLE8_KEYZ(KIND, Dst, Op) RLE8_MIRRORKEY(KIND, Dst, Op)

// Modes 4 to 11.
#define RLE8_MODES(KIND, Dst)                                                       \
  RLE8_SIX(KIND, Dst, Modulate) RLE8_SIX(KIND, Dst, Modulate2X)                     \
  RLE8_SIX(KIND, Dst, Modulate4X) RLE8_SIX(KIND, Dst, Add)                           \
  RLE8_SIX(KIND, Dst, AddSigned) RLE8_SIX(KIND, Dst, AddSigned2X)                   \
  RLE8_SIX(KIND, Dst, Subtract) RLE8_SIX(KIND, Dst, AddSmooth)

// The members of one destination, with its stretched draws where it has
// them.
#define RLE8_SCALED(KIND, Dst)                                   \
  KIND template void imgRle8DrawScaled<Dst>(const rle8DrawArgs&); \
  KIND template void imgRle8DrawScaledMirror<Dst>(const rle8DrawArgs&);
#define RLE8_MEMBERS_R8G8B8(KIND) \
  RLE8_SIX(KIND, R8G8B8, Copy) RLE8_NO_DEPTH(KIND, R8G8B8, Alpha) RLE8_MODES(KIND, R8G8B8) RLE8_SCALED(KIND, R8G8B8)
#define RLE8_MEMBERS_X8R8G8B8(KIND)                                                                   \
  RLE8_SIX(KIND, X8R8G8B8, Copy) RLE8_NO_DEPTH(KIND, X8R8G8B8, Alpha) RLE8_MODES(KIND, X8R8G8B8) \
  RLE8_SCALED(KIND, X8R8G8B8)
#define RLE8_MEMBERS_R5G6B5(KIND) \
  RLE8_SIX(KIND, R5G6B5, Copy) RLE8_NO_DEPTH(KIND, R5G6B5, Alpha) RLE8_MODES(KIND, R5G6B5) RLE8_SCALED(KIND, R5G6B5)
#define RLE8_MEMBERS_X1R5G5B5(KIND) \
  RLE8_KEYED_ONLY(KIND, X1R5G5B5, Copy) RLE8_NO_DEPTH(KIND, X1R5G5B5, Alpha) RLE8_MODES(KIND, X1R5G5B5)

RLE8_MEMBERS_R8G8B8(extern)
RLE8_MEMBERS_X8R8G8B8(extern)
RLE8_MEMBERS_R5G6B5(extern)
RLE8_MEMBERS_X1R5G5B5(extern)
