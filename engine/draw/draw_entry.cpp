// imgCTy::DrawEx: the frame of every software draw. It resolves the
// rectangles, locks the images taking part, hands the draw to a dispatcher
// and unlocks them all again, also when a report jumps to a TRY block.
#include <cassert>

#include "base/err.h"
#include "engine/img.h"
#include "platform/win_kernel.h"

namespace {

// Unlocks, in this order, the destination, the source, the weight image and
// the depth images (the last three when given).
struct Unlocker {
  imgCTy *destination, *source, *alphaMap, *zSrc, *zDst;
  ~Unlocker() {
    destination->Unlock();
    source->Unlock();
    if (alphaMap) alphaMap->Unlock();
    if (zSrc) zSrc->Unlock();
    if (zDst) zDst->Unlock();
  }
};

}  // namespace

void imgCTy::DrawEx(imgCTy* destination, int x, int y, const rectCTy* rect, const imgDrawParams* params) {
  // One image cannot be both: the destination's lock would replace the
  // source's.
  assert(destination != this);
  if (!destination || destination == this || !params) return;
  const rectCTy r = rect ? *rect : GetBounds();
  const rectCTy to{int32_t(int64_t(x) + r.x), int32_t(int64_t(y) + r.y), r.w, r.h};

  Unlocker unlock{destination, this, params->alphaMap, params->zSrc, params->zDst};
  // A lock the caller held on the source or the destination is given up.
  if (data) Unlock();
  const bool whole = params->mode == pel_OP_STRETCH || params->scaled;
  Lock(whole ? nullptr : &r, img_LOCK_READ);
  if (params->zSrc) params->zSrc->Lock(&r, img_LOCK_READ);
  if (params->alphaMap) params->alphaMap->Lock(&r, img_LOCK_READ);
  if (destination->data) destination->Unlock();
  destination->Lock(&to, img_LOCK_READWRITE);
  // A depth buffer aligned with the destination.
  if (params->zDst) params->zDst->Lock(&to, img_LOCK_READWRITE);

  // By the palettes (one waiting to be shared counts as none).
  const bool fromPalette = desc.palette != nullptr, ontoPalette = destination->desc.palette != nullptr;
  if (fromPalette && !ontoPalette) {
    DrawExPaletted(destination, &r, params);
  } else if (fromPalette == ontoPalette) {
    DrawExDirect(destination, &r, params);
  } else if (errPrintf(ERR_LEVEL_ERROR, "imgCTy::Draw: This is not impelmetned yet") == ERR_OUTCOME_RETRY) {
    DebugBreak();
  }
}
