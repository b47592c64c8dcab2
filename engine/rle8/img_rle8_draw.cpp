// The draws of the RLE8 image: the entry points lock the destination (and
// the images DrawEx is given), turn the source rectangle into a kernel
// rectangle of the packed rows, have the palette converted to the
// destination's format and hand the rows to one member of rle8_table.h, or,
// for unmirrored Copy and Alpha without depth, to the converted runs. The
// source itself is never locked.
//
// Kernel rectangle: {r.x - bounds.x, r.y - bounds.y, r.w, r.h}, r.x mirrored
// back first (width - r.w - r.x + 1) for the mirrored draws. Only its part
// inside the rows is walked: pels outside the bounds are transparent. In
// mode 13 it is in destination pels, {trunc(r.x - bounds.x * scaleX),
// trunc(r.y - bounds.y * scaleY), r.w, r.h} with negative offsets made 0
// (mirrored back: trunc(width * scaleX - (r.x + r.w - 1))), and the
// stretched draw leaves the samples that fall past the bounds.
#include <algorithm>
#include <cmath>

#include "base/err.h"
#include "engine/draw/dispatch.h"
#include "engine/rle8/rle8_converted.h"
#include "engine/rle8/rle8_table.h"
#include "platform/win_kernel.h"

namespace {

// Unlocks the images given, in order, also when a report leaves early.
struct Unlocker {
  imgCTy* images[4];
  ~Unlocker() {
    for (imgCTy* image : images)
      if (image) image->Unlock();
  }
};

int32_t saturated(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// trunc(v) into *out; false for NaN and values past the int range.
bool truncated(float v, int32_t* out) {
  if (!(v > -2147483648.0f && v < 2147483648.0f)) return false;
  *out = int32_t(v);
  return true;
}

void reportPaletted(const char* text) {
  if (errPrintf(ERR_LEVEL_ERROR, "%s", text) == ERR_OUTCOME_RETRY) DebugBreak();
}

// The destination locked at r placed at (x, y), the destination rectangle;
// a lock the caller held is given up first.
rectCTy lockDestination(imgCTy* destination, int x, int y, const rectCTy& r) {
  if (destination->data) destination->Unlock();
  const rectCTy to{saturated(int64_t(x) + r.x), saturated(int64_t(y) + r.y), r.w, r.h};
  destination->Lock(&to, img_LOCK_READWRITE);
  return to;
}

// The bounds in scaled pels (null rectangles of mode 13); false for scales
// that give no int rectangle.
bool scaledBounds(const rectCTy& b, const imgDrawParams& p, rectCTy* out) {
  return truncated(float(b.x) * p.scaleX, &out->x) && truncated(float(b.y) * p.scaleY, &out->y) &&
         truncated(float(b.w) * p.scaleX, &out->w) && truncated(float(b.h) * p.scaleY, &out->h);
}

// The kernel rectangle of mode 13 from r (its x already mirrored back for
// the mirrored draw); an empty one for scales that give no int offsets.
rectCTy scaledKernel(const rectCTy& r, int32_t x, const rectCTy& b, const imgDrawParams& p) {
  rectCTy k{0, 0, r.w, r.h};
  if (!truncated(float(x) - float(b.x) * p.scaleX, &k.x) || !truncated(float(r.y) - float(b.y) * p.scaleY, &k.y))
    return {0, 0, 0, 0};
  k.x = std::max(k.x, 0);
  k.y = std::max(k.y, 0);
  return k;
}

// The Dst of the destination, with the palette converted to its format, or
// -1 when nothing is drawn (a format without members, an image without
// palette or rows, a destination without pels).
int prepare(imgRle8CTy& source, imgCTy* destination, rle8DrawArgs* a) {
  const int format = destination->PelFormat();
  source.BuildPalTable(format);
  const int dst = rle8DstOf(format);
  const palCTy* palette = source.GetPelFmtDesc().palette;
  if (dst < 0 || !source.rows || !palette || !palette->table || !destination->data) return -1;
  *a = {};
  a->src = &source;
  a->table = palette->table;
  a->dst = destination->data;
  a->dstPitch = int64_t(destination->pitch) * destination->BytesPerPel();
  return dst;
}

// Depths are 32-bit: an image of another pel size, or without pels, takes
// no part.
bool depthReady(const imgCTy* image) { return image && image->data && image->BytesPerPel() == 4; }

// The part of k inside the rows, and where it lands: the destination pel
// (the leftmost of the span; mirrored spans are walked from the right) and,
// for a depth pair, the first depths. False when nothing of k is inside.
bool clipToRows(const imgRle8CTy& source, const rectCTy& k, bool mirror, int pelBytes, rle8DrawArgs* a,
           const imgCTy* zSrc = nullptr, imgCTy* zDst = nullptr) {
  const int64_t x0 = std::max<int64_t>(k.x, 0), x1 = std::min<int64_t>(int64_t(k.x) + k.w, source.bounds.w);
  const int64_t y0 = std::max<int64_t>(k.y, 0), y1 = std::min<int64_t>(int64_t(k.y) + k.h, source.bounds.h);
  if (x1 <= x0 || y1 <= y0) return false;
  const int64_t dx = mirror ? int64_t(k.w) - (x1 - k.x) : x0 - k.x, dy = y0 - k.y;
  a->k = {int32_t(x0), int32_t(y0), int32_t(x1 - x0), int32_t(y1 - y0)};
  a->dst += dy * a->dstPitch + dx * pelBytes;
  if (zSrc && zDst) {
    a->zSrcPitch = int64_t(zSrc->pitch) * 4;
    a->zDstPitch = int64_t(zDst->pitch) * 4;
    a->zSrc = zSrc->data + dy * a->zSrcPitch + dx * 4;
    a->zDst = zDst->data + dy * a->zDstPitch + dx * 4;
  }
  return true;
}

// The last argument of a member: the key pel in the destination's format,
// the weight (clamped to 0..256), or both.
struct LastArgument {
  uint32_t key;
  int32_t weight;
  rle8AlphaKey alphaKey;
  const void* pointer;
  LastArgument(int op, bool keyed, int format, uint32_t keyColour, int32_t alpha)
      : key(keyed ? imgPalettedKey(format, keyColour) : 0),
        weight(std::clamp(alpha, 0, 256)),
        alphaKey{weight, key},
        pointer(op != rle8OpAlpha ? static_cast<const void*>(&key) : keyed ? static_cast<const void*>(&alphaKey) : &weight) {}
  LastArgument(const LastArgument&) = delete;
  LastArgument& operator=(const LastArgument&) = delete;
};

// Draw, DrawAlpha and DrawMirrorH: one Op, never keyed, no depth.
void drawSimple(imgRle8CTy& source, imgCTy* destination, int x, int y, const rectCTy& r, int32_t kernelX, int op,
                bool mirror, int32_t weight, const char* refusal) {
  Unlocker unlock{{destination, nullptr, nullptr, nullptr}};
  lockDestination(destination, x, y, r);
  if (destination->GetPelFmtDesc().palette) {
    reportPaletted(refusal);
    return;
  }
  rle8DrawArgs a;
  const int dst = prepare(source, destination, &a);
  const rectCTy k{int32_t(int64_t(kernelX) - source.bounds.x), saturated(int64_t(r.y) - source.bounds.y), r.w, r.h};
  if (dst < 0 || !clipToRows(source, k, mirror, destination->BytesPerPel(), &a)) return;
  const LastArgument last(op, false, destination->PelFormat(), 0, weight);
  if (!mirror && rle8DrawConverted(source, destination->PelFormat(), op, false, a, last.weight)) return;
  a.extra = last.pointer;
  const rle8Variants& v = rle8Table::members[dst][op];
  (mirror ? v.mirror : v.plain)(a);
}

// x of a rectangle in mirrored-image pels, mirrored back (or the other way:
// the rule is its own inverse).
int32_t mirroredX(int width, const rectCTy& r) { return saturated(int64_t(width) - r.w - r.x + 1); }

}  // namespace

void imgRle8CTy::Draw(imgCTy* destination, int x, int y, const rectCTy* rect) {
  if (!destination || destination == this) return;
  const rectCTy r = rect ? *rect : bounds;
  drawSimple(*this, destination, x, y, r, r.x, rle8OpCopy, false, 0, "imgRle8CTy::Draw: This is not impelmetned yet");
}

void imgRle8CTy::DrawAlpha(imgCTy* destination, int x, int y, const rectCTy* rect, float factor) {
  if (!destination || destination == this) return;
  const rectCTy r = rect ? *rect : bounds;
  drawSimple(*this, destination, x, y, r, r.x, rle8OpAlpha, false, imgDrawWeightOf(factor),
             "imgRle8CTy::Draw: This is not impelmetned yet");
}

void imgRle8CTy::DrawMirrorH(imgCTy* destination, int x, int y, rectCTy* rect) {
  if (!destination || destination == this) return;
  rectCTy r = rect ? *rect : bounds;
  if (!rect) r.x = mirroredX(width, bounds);
  const int32_t back = mirroredX(width, r);
  // The caller's rectangle takes the x mirrored back.
  if (rect) rect->x = back;
  drawSimple(*this, destination, x, y, r, back, rle8OpCopy, true, 0,
             "imgRle8CTy::DrawMirrorH: This is not impelmetned yet");
}

void imgRle8CTy::DrawAlphaMap(imgCTy* destination, int x, int y, const rectCTy* rect, imgCTy* weights) {
  imgCTy::DrawAlphaMap(destination, x, y, rect, weights);
}

void imgRle8CTy::DrawEx(imgCTy* destination, int x, int y, const rectCTy* rect, const imgDrawParams* params) {
  if (!destination || destination == this || !params) return;
  const bool stretch = params->mode == pel_OP_STRETCH;
  rectCTy r = bounds;
  if (rect) r = *rect;
  else if (stretch && !scaledBounds(bounds, *params, &r)) return;

  Unlocker unlock{{destination, params->alphaMap, params->zSrc, params->zDst}};
  if (params->zSrc) params->zSrc->Lock(&r, img_LOCK_READ);
  if (params->alphaMap) params->alphaMap->Lock(&r, img_LOCK_READ);
  const rectCTy to = lockDestination(destination, x, y, r);
  // Depths aligned with the destination.
  if (params->zDst) params->zDst->Lock(&to, img_LOCK_READWRITE);
  const rectCTy k = stretch ? scaledKernel(r, r.x, bounds, *params)
                            : rectCTy{saturated(int64_t(r.x) - bounds.x), saturated(int64_t(r.y) - bounds.y), r.w, r.h};
  if (destination->GetPelFmtDesc().palette)
    reportPaletted("imgRle8CTy::DrawEx: This is not impelmetned yet");
  else
    DrawExDispatch(destination, x, y, k, params);
}

void imgRle8CTy::DrawExMirrorH(imgCTy* destination, int x, int y, rectCTy* rect, const imgDrawParams* params) {
  if (!destination || destination == this || !params) return;
  const bool stretch = params->mode == pel_OP_STRETCH;
  rectCTy r = bounds;
  int32_t scaledWidth = width;
  if (stretch && !truncated(float(width) * params->scaleX, &scaledWidth)) return;
  if (rect) {
    r = *rect;
  } else {
    if (stretch && !scaledBounds(bounds, *params, &r)) return;
    r.x = saturated(int64_t(scaledWidth) - r.w - r.x + 1);
  }

  Unlocker unlock{{destination, nullptr, nullptr, nullptr}};
  lockDestination(destination, x, y, r);
  int32_t back = mirroredX(width, r);
  if (stretch && !truncated(float(width) * params->scaleX - float(int64_t(r.x) + r.w - 1), &back)) back = INT32_MIN;
  if (rect) rect->x = back;
  const rectCTy k = stretch ? scaledKernel(r, back, bounds, *params)
                            : rectCTy{saturated(int64_t(back) - bounds.x), saturated(int64_t(r.y) - bounds.y), r.w, r.h};
  if (destination->GetPelFmtDesc().palette)
    reportPaletted("imgRle8CTy::DrawExMirrorH: This is not impelmetned yet");
  else
    DrawExMirrorHDispatch(destination, x, y, k, params);
}

void imgRle8CTy::DrawExDispatch(imgCTy* destination, int, int, const rectCTy& k, const imgDrawParams* params) {
  rle8DrawArgs a;
  const int dst = prepare(*this, destination, &a);
  if (dst < 0) return;
  if (params->mode == pel_OP_STRETCH) {
    a.k = k;
    a.scaleX = params->scaleX;
    a.scaleY = params->scaleY;
    rle8Table::scaled[dst](a);
    return;
  }
  const int op = rle8OpOf(params->mode);
  if (op < 0) return;
  const rle8Variants& v = rle8Table::members[dst][op];
  const bool keyed = keyFlag != 0;
  // Depth tests need both depth images; Alpha ignores them.
  const bool depth = op != rle8OpAlpha && params->zSrc && params->zDst;
  if (depth && !(depthReady(params->zSrc) && depthReady(params->zDst))) return;
  if (!clipToRows(*this, k, false, destination->BytesPerPel(), &a, depth ? params->zSrc : nullptr,
             depth ? params->zDst : nullptr))
    return;
  const LastArgument last(op, keyed, destination->PelFormat(), keyColor, params->alpha);
  if (!depth && rle8DrawConverted(*this, destination->PelFormat(), op, keyed, a, last.weight)) return;
  a.extra = last.pointer;
  (depth ? (keyed ? v.keyZ : v.z) : (keyed ? v.key : v.plain))(a);
}

void imgRle8CTy::DrawExMirrorHDispatch(imgCTy* destination, int, int, const rectCTy& k, const imgDrawParams* params) {
  rle8DrawArgs a;
  const int dst = prepare(*this, destination, &a);
  if (dst < 0) return;
  if (params->mode == pel_OP_STRETCH) {
    a.k = k;
    a.scaleX = params->scaleX;
    a.scaleY = params->scaleY;
    rle8Table::scaledMirror[dst](a);
    return;
  }
  const int op = rle8OpOf(params->mode);
  if (op < 0 || !clipToRows(*this, k, true, destination->BytesPerPel(), &a)) return;
  const bool keyed = keyFlag != 0;
  const LastArgument last(op, keyed, destination->PelFormat(), keyColor, params->alpha);
  a.extra = last.pointer;
  const rle8Variants& v = rle8Table::members[dst][op];
  (keyed ? v.mirrorKey : v.mirror)(a);
}
