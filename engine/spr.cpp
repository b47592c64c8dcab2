// Sprites and image sprites.
#include "engine/spr.h"

#include <algorithm>
#include <cmath>

#include "engine/sprs.h"

namespace {

bool isScaled(const imgDrawParams& p) { return p.mode == pel_OP_STRETCH || p.scaled; }

// A product of extended precision truncated toward zero; NaN gives 0 and
// values past the int range saturate.
int32_t truncated(long double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0L) return INT32_MAX;
  if (v <= -2147483648.0L) return INT32_MIN;
  return static_cast<int32_t>(v);
}

int32_t clamped(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// A rectangle of the image in the coordinates of the image scaled by the
// parameters.
rectCTy scaledRect(const rectCTy& r, const imgDrawParams& p) {
  const long double sx = p.scaleX, sy = p.scaleY;
  rectCTy out;
  out.x = truncated(r.x * sx);
  out.y = truncated(r.y * sy);
  out.w = truncated(r.w * sx);
  out.h = truncated(r.h * sy);
  return out;
}

// The image's bounds with the x of a horizontally mirrored draw.
rectCTy mirroredBounds(imgCTy* image) {
  rectCTy b = image->GetBounds();
  b.x = image->width - b.w - b.x + 1;
  return b;
}

}  // namespace

sprCTy::~sprCTy() {
  if (owner) owner->Forget(this);
}

void sprCTy::Detach() {
  if (owner) owner->Remove(this);
  // A sprite added to no entry still points at its owner.
  owner = nullptr;
}

void sprCTy::SetZ(int32_t newDepth) {
  if (newDepth == depth || !owner) return;
  owner->Place(this, newDepth);
  depth = newDepth;
  Invalidate();
}

void sprCTy::Invalidate() {
  if (!owner) return;
  rectCTy r;
  GetRect(&r);
  if (relative) {
    r.x -= owner->originX;
    r.y -= owner->originY;
  }
  rectCTy limit = owner->area;
  if (clip && !limit.Intersect(&owner->area, clip)) return;
  owner->MarkDirty(&r, &limit, 3);
}

void sprCTy::SetPos(int32_t newX, int32_t newY) {
  if (newX == x && newY == y) return;
  Invalidate();
  x = newX;
  y = newY;
  Invalidate();
}

void sprCTy::Show() {
  if (shown) return;
  shown = 1;
  Invalidate();
}

void sprCTy::Hide() {
  if (!shown || !owner) return;
  shown = 0;
  Invalidate();
}

void sprCTy::SetList(sprsCTy* list) {
  owner = list;
  inList = 0;
}

void sprCTy::SetTarget(imgCTy* newTarget, int32_t offsetX, int32_t offsetY, const rectCTy* newClip) {
  target = newTarget;
  targetX = offsetX;
  targetY = offsetY;
  drawClip = *newClip;
}

void sprCTy::DrawImage(imgCTy* image, const imgDrawParams* params) {
  rectCTy r = image->GetBounds();
  if (isScaled(*params)) r = scaledRect(r, *params);
  rectCTy c;
  if (!c.Intersect(&drawClip, &r)) return;
  image->DrawEx(target, targetX, targetY, &c, params);
}

void sprCTy::DrawImageMirrorH(imgCTy* image) {
  const rectCTy r = mirroredBounds(image);
  rectCTy c;
  if (!c.Intersect(&drawClip, &r)) return;
  image->DrawMirrorH(target, targetX, targetY, &c);
}

void sprCTy::DrawImageExMirrorH(imgCTy* image, const imgDrawParams* params) {
  rectCTy r = mirroredBounds(image);
  if (isScaled(*params)) r = scaledRect(r, *params);
  rectCTy c;
  if (!c.Intersect(&drawClip, &r)) return;
  image->DrawExMirrorH(target, targetX, targetY, &c, params);
}

sprImgCTy::sprImgCTy() {
  drawParams.mode = pel_OP_COPY;
  drawParams.scaleX = 1.0f;
  drawParams.scaleY = 1.0f;
}

sprImgCTy::~sprImgCTy() { Detach(); }

void sprImgCTy::Draw() {
  if (!image) return;
  if (!mirror)
    DrawImage(image, &drawParams);
  else if (drawParams.mode == pel_OP_COPY)
    DrawImageMirrorH(image);
  else
    DrawImageExMirrorH(image, &drawParams);
}

void sprImgCTy::GetRect(rectCTy* out) {
  if (!image) {
    *out = rectCTy{};
    return;
  }
  const rectCTy b = mirror ? mirroredBounds(image) : image->GetBounds();
  if (!isScaled(drawParams)) {
    *out = b;
    out->x = clamped(int64_t(x) + b.x);
    out->y = clamped(int64_t(y) + b.y);
    return;
  }
  const long double sx = drawParams.scaleX, sy = drawParams.scaleY;
  out->x = truncated(b.x * sx + x);
  out->y = truncated(b.y * sy + y);
  out->w = truncated(b.w * sx);
  out->h = truncated(b.h * sy);
}

void sprImgCTy::SetImage(imgCTy* newImage) {
  if (newImage == image) return;
  Invalidate();
  image = newImage;
  Invalidate();
}

void sprImgCTy::SetDrawParams(const imgDrawParams* params) {
  Invalidate();
  drawParams = *params;
  Invalidate();
}
