// The draws of the RLE8 images through their converted runs
// (rle8_converted.h): a Copy or an Alpha of rows k of a draw, span by span,
// the pels of each span already in the destination's layout. Which draw
// serves which case, at each vector level (img/VectorLevel.h):
//
//   Dst        Copy: portable, SSE2   AVX2              Alpha: portable   SSE2        AVX2
//   R8G8B8     copyRows               32-byte moves     the walk's rule   -           -
//   X8R8G8B8   copyRows               32-byte moves     the walk's rule   Alpha8888   Alpha8888
//   R5G6B5     copyRows               32-byte moves     the walk's rule   Alpha565    Alpha565
//   X1R5G5B5   copyRows               32-byte moves     the walk's rule   -           -
//
// copyRows is the draw's short copy (engine/draw/frame_rules.h), already in
// 16-byte moves; the walk's rule is rle8_walk.h's Colour<Dst, Alpha>, per
// pel. The vector draws (rle8_span_vector.h, one template per case
// instantiated in rle8_spans_sse2.cpp and rle8_spans_avx2.cpp, "-": none,
// the portable draw serves) compute exactly what the portable ones
// compute; the tests force each level.
#pragma once

#include <cstdint>

// The destination layouts of the RLE8 draws, in the order of their tables.
enum rle8Dst { rle8R8G8B8, rle8X8R8G8B8, rle8R5G6B5, rle8X1R5G5B5, rle8Dsts };

struct rle8Converted;
struct rle8DrawArgs;

// Draws rows a.k of the runs onto a.dst; keyed draws leave the spans of key
// pels out; `weight` (0 to 256) is Alpha's.
using rle8RunsFn = void (*)(const rle8Converted& runs, const rle8DrawArgs& a, bool keyed, int weight);

struct rle8RunDraws {
  rle8RunsFn copy[rle8Dsts];
  rle8RunsFn alpha[rle8Dsts];
};

// The draws of each level; null: the portable draw serves.
extern const rle8RunDraws rle8RunDrawsPortable;
extern const rle8RunDraws rle8RunDrawsSse2;
extern const rle8RunDraws rle8RunDrawsAvx2;

// The draw of a Dst in Copy or Alpha at the current level.
rle8RunsFn rle8RunDraw(int dst, bool alpha);
