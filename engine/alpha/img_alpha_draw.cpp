// The alpha image's draw entry points and the table of its kernels.
#include <algorithm>
#include <cassert>
#include <type_traits>

#include "base/err.h"
#include "engine/alpha/alpha_kernel_list.h"
#include "engine/alpha/alpha_walk.h"
#include "platform/win_kernel.h"

namespace {

// The operation object of an Op, holding K where the Op has one.
template <class Op>
Op operation(int K) {
  Op op{};
  if constexpr (std::is_same_v<Op, alphaOp::SrcAlphaK>) op.K = K;
  return op;
}

template <class Store, class Dst, class Op, bool Premul, bool Scaled>
void call(imgAlpha& source, imgCTy* destination, const rectCTy& r, const imgDrawParams& p, int K) {
  const Op op = operation<Op>(K);
  if constexpr (Scaled && Premul)
    source.imgAlphaDrawScaledPremul<Store, Dst, Op>(destination, r, p.scaleX, p.scaleY, op, op);
  else if constexpr (Scaled)
    source.imgAlphaDrawScaled<Store, Dst, Op>(destination, r, p.scaleX, p.scaleY, op, op);
  else if constexpr (Premul)
    source.imgAlphaDrawPremul<Store, Dst, Op>(destination, r, op, op);
  else
    source.imgAlphaDraw<Store, Dst, Op>(destination, r, op, op);
}

// The kernel that serves a cell: its own, except the straight Copy of
// X1R5G5B5 storage onto X1R5G5B5, served by the word copy of R5G6B5 onto
// R5G6B5 (both write the stored 16-bit words whole).
template <class Store, class Dst, class Op, bool Premul, bool Scaled>
constexpr imgAlphaDrawFn kServed = call<Store, Dst, Op, Premul, Scaled>;
template <bool Scaled>
constexpr imgAlphaDrawFn kServed<X1R5G5B5, X1R5G5B5, alphaOp::Copy, false, Scaled> =
    call<R5G6B5, R5G6B5, alphaOp::Copy, false, Scaled>;

// The table, [destination][premultiplied][path][Op][Store]: destinations in
// the order of their format codes 1 to 6, straight before premultiplied,
// unscaled before scaled, Op in the order Copy, SrcAlpha, Add, SrcAlphaK,
// Store in the order of the storage codes 1, 2, 4, 5.
#define ALPHA_STORES(Dst, Op, P, S)                                                                          \
  {                                                                                                          \
    kServed<R8G8B8, Dst, alphaOp::Op, P, S>, kServed<X8R8G8B8, Dst, alphaOp::Op, P, S>,                      \
        kServed<R5G6B5, Dst, alphaOp::Op, P, S>, kServed<X1R5G5B5, Dst, alphaOp::Op, P, S>                   \
  }
#define ALPHA_OPS(Dst, P, S) \
  { ALPHA_STORES(Dst, Copy, P, S), ALPHA_STORES(Dst, SrcAlpha, P, S), ALPHA_STORES(Dst, Add, P, S), ALPHA_STORES(Dst, SrcAlphaK, P, S) }
#define ALPHA_PATHS(Dst, P) \
  { ALPHA_OPS(Dst, P, false), ALPHA_OPS(Dst, P, true) }
#define ALPHA_DESTINATION(Dst) \
  { ALPHA_PATHS(Dst, false), ALPHA_PATHS(Dst, true) }

constexpr imgAlphaDrawFn kKernels[6][2][2][4][4] = {
    ALPHA_DESTINATION(R8G8B8),   ALPHA_DESTINATION(X8R8G8B8), ALPHA_DESTINATION(A8R8G8B8),
    ALPHA_DESTINATION(R5G6B5),   ALPHA_DESTINATION(X1R5G5B5), ALPHA_DESTINATION(A1R5G5B5),
};

// The Op of a mode (-1: none): 0 Copy, 1 SrcAlpha, 2 Add, 3 SrcAlphaK.
int opOf(int mode) {
  switch (mode) {
    case pel_OP_COPY: return 0;
    case pel_OP_STRETCH:
    case pel_OP_SRCALPHA: return 1;
    case pel_OP_ADD: return 2;
    case pel_OP_SRCALPHAK: return 3;
    default: return -1;
  }
}

// The storage codes 1, 2, 4, 5 as the table's index (-1: none).
int storeIndexOf(int storage) {
  switch (storage) {
    case pel_FMT_R8G8B8: return 0;
    case pel_FMT_X8R8G8B8: return 1;
    case pel_FMT_R5G6B5: return 2;
    case pel_FMT_X1R5G5B5: return 3;
    default: return -1;
  }
}

}  // namespace

bool imgAlpha::SamplesInside(const rectCTy& r, const imgDrawParams& params) const {
  int32_t stepX, stepY;
  if (!alphaWalk::Step(params.scaleX, &stepX) || !alphaWalk::Step(params.scaleY, &stepY)) return true;  // nothing drawn
  return r.x >= 0 && r.y >= 0 && ((int64_t(r.x) + r.w - 1) * stepX >> 16) < width &&
         ((int64_t(r.y) + r.h - 1) * stepY >> 16) < height;
}

imgAlphaDrawFn imgAlphaKernelOf(int destinationFormat, bool premultiplied, bool scaled, int op, int storageFormat) {
  const int store = storeIndexOf(storageFormat);
  if (destinationFormat < pel_FMT_R8G8B8 || destinationFormat > pel_FMT_A1R5G5B5 || op < 0 || op > 3 || store < 0)
    return nullptr;
  return kKernels[destinationFormat - 1][premultiplied][scaled][op][store];
}

void imgAlpha::Draw(imgCTy* destination, int x, int y, const rectCTy* rect) {
  const imgDrawParams p = imgDrawParamsOf(pel_OP_SRCALPHA);
  DrawEx(destination, x, y, rect, &p);
}

void imgAlpha::DrawAlpha(imgCTy* destination, int x, int y, const rectCTy* rect, float factor) {
  imgDrawParams p = imgDrawParamsOf(pel_OP_SRCALPHAK);
  p.alpha = imgDrawWeightOf(factor);
  DrawEx(destination, x, y, rect, &p);
}

void imgAlpha::DrawEx(imgCTy* destination, int x, int y, const rectCTy* rect, const imgDrawParams* params) {
  if (!destination || !params) return;
  const rectCTy r = rect ? *rect : GetBounds();
  const rectCTy to{x + r.x, y + r.y, r.w, r.h};
  const bool scaled = params->scaled || params->mode == pel_OP_STRETCH;
  // Callers keep what is sampled inside this image (the destination's lock
  // checks its own rectangle).
  assert(!runs || r.w <= 0 || r.h <= 0 || (scaled ? SamplesInside(r, *params) : Inside(r)));
  if (destination->data) destination->Unlock();
  destination->Lock(&to, img_LOCK_READWRITE);
  if (destination->desc.palette) {
    destination->Unlock();
    if (errPrintf(ERR_LEVEL_ERROR, "imgCTy::Draw: This is not impelmetned yet") == ERR_OUTCOME_RETRY) DebugBreak();
    return;
  }
  // An image without coded pels draws nothing; K outside 0 to 255 would
  // weigh the destination by a negative weight.
  const imgAlphaDrawFn kernel =
      runs ? imgAlphaKernelOf(destination->PelFormat(), premultiplied != 0, scaled, opOf(params->mode), storageFormat)
           : nullptr;
  if (kernel) kernel(*this, destination, r, *params, std::clamp(params->alpha, 0, 255));
  destination->Unlock();
}
