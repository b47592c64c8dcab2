// The two dispatchers of imgCTy::DrawEx: each turns one draw into the call
// of one kernel of the table, or of none.
#include "engine/draw/dispatch.h"

#include <algorithm>

#include "engine/draw/frame_rules.h"
#include "engine/draw/kernel_table.h"

namespace {

// The operation and variant of a draw, or none (draws nothing).
struct imgCellChoice {
  bool draws;
  imgKernelOp op;
  imgVariant variant;
};

constexpr imgCellChoice kNone{false, opCopy, vPlain};

imgCellChoice pick(imgKernelOp op, imgVariant plain, imgVariant keyedVariant, bool keyed) {
  return {true, op, keyed ? keyedVariant : plain};
}

// Modes 4 to 11.
constexpr imgKernelOp kModeOps[] = {opModulate, opModulate2X, opModulate4X, opAdd,
                                    opAddSigned, opAddSigned2X, opSubtract, opAddSmooth};

bool isScaled(imgVariant v) { return v == vScaled || v == vScaledKey; }
bool isDepth(imgVariant v) { return v == vZ || v == vKeyZ; }

// A scaled draw samples inside the source, from an origin not negative, with
// steps of 32 bits: one 64-bit test per draw, else nothing is drawn.
bool samplesInside(const imgDrawArgs& a) {
  uint32_t stepX = 0, stepY = 0;
  if (!drawFrame::scaleStep(a.scaleX, &stepX) || !drawFrame::scaleStep(a.scaleY, &stepY)) return false;
  if (a.rect.w <= 0 || a.rect.h <= 0) return true;
  if (a.rect.x < 0 || a.rect.y < 0) return false;
  const uint64_t lastX = (uint64_t(a.rect.x) + uint64_t(a.rect.w) - 1) * stepX;
  const uint64_t lastY = (uint64_t(a.rect.y) + uint64_t(a.rect.h) - 1) * stepY;
  return lastX <= UINT32_MAX && lastY <= UINT32_MAX && int64_t(lastX >> 16) < a.src->width &&
         int64_t(lastY >> 16) < a.src->height;
}

// Runs the cell's kernel when it has one and every image it reads has pels.
inline void run(imgSrcGroup src, imgDstGroup dst, imgCellChoice choice, imgDrawArgs& a) {
  if (!choice.draws) return;
  const imgKernelFn kernel = imgKernelFor(src, dst, choice.op, choice.variant);
  if (!kernel || !a.src->data || !a.dst->data) return;
  if (choice.op == opAlphaMap && !(a.alphaMap && a.alphaMap->data)) return;
  if (isDepth(choice.variant) && !(a.zSrc && a.zSrc->data && a.zDst && a.zDst->data)) return;
  if (isScaled(choice.variant) && !samplesInside(a)) return;
  kernel(a);
}

imgDrawArgs argsOf(imgCTy* src, imgCTy* dst, const rectCTy* rect, const imgDrawParams* p, uint32_t key) {
  imgDrawArgs a{};
  a.src = src;
  a.dst = dst;
  a.rect = *rect;
  // Weights past 0..256 (DrawAlpha factors outside 0..1, records copied
  // whole) are clamped before any kernel sees them.
  a.weight = {std::clamp(p->alpha, 0, 256), key};
  a.scaleX = p->scaleX;
  a.scaleY = p->scaleY;
  a.alphaMap = p->alphaMap;
  a.zSrc = p->zSrc;
  a.zDst = p->zDst;
  return a;
}

uint32_t keyAsR5G6B5(uint32_t colour) { return pelConvert<R8G8B8, R5G6B5>(pelFromRaw<R8G8B8>(colour)).v; }
uint32_t keyAsX1R5G5B5(uint32_t colour) { return pelConvert<R8G8B8, X1R5G5B5>(pelFromRaw<R8G8B8>(colour)).v; }

// The cell of a draw, by mode, the scaled flag, the depth images (both
// needed), the weight image (AlphaMap needs one) and the source's key flag;
// in line in both dispatchers.
inline imgCellChoice selectCell(const imgDrawParams& p, bool keyed) {
  const bool depth = p.zSrc && p.zDst;
  if (p.scaled) {
    switch (p.mode) {
      case pel_OP_COPY:
      case pel_OP_SRCALPHA:
      case pel_OP_STRETCH:
        return pick(opCopy, vScaled, vScaledKey, keyed);
      case pel_OP_ALPHA:
      case pel_OP_SRCALPHAK:
        return pick(opAlpha, vScaled, vScaledKey, keyed);
      case pel_OP_ADD:
        return pick(opAdd, vScaled, vScaledKey, keyed);
      default:
        return kNone;
    }
  }
  switch (p.mode) {
    case pel_OP_COPY:
    case pel_OP_SRCALPHA:
      return depth ? pick(opCopy, vZ, vKeyZ, keyed) : pick(opCopy, vPlain, vKey, keyed);
    case pel_OP_ALPHA:
    case pel_OP_SRCALPHAK:
      return pick(opAlpha, vPlain, vKey, keyed);
    case pel_OP_ALPHAMAP:
      return p.alphaMap ? pick(opAlphaMap, vPlain, vKey, keyed) : kNone;
    case pel_OP_ALPHAADD:
      return pick(opAlphaAdd, vPlain, vKey, keyed);
    case pel_OP_STRETCH:
      return pick(opCopy, vScaled, vScaledKey, keyed);
    default:
      if (p.mode < pel_OP_MODULATE || p.mode > pel_OP_ADDSMOOTH) return kNone;
      const imgKernelOp op = kModeOps[p.mode - pel_OP_MODULATE];
      return depth ? pick(op, vZ, vKeyZ, keyed) : pick(op, vPlain, vKey, keyed);
  }
}

}  // namespace

int imgDirectSrcGroup(int format) {
  switch (format) {
    case pel_FMT_R8G8B8: return srcR8G8B8;
    case pel_FMT_X8R8G8B8:
    case pel_FMT_A8R8G8B8: return srcX8R8G8B8;
    case pel_FMT_R5G6B5: return srcR5G6B5;
    case pel_FMT_X1R5G5B5: return srcX1R5G5B5;
    case pel_FMT_A1R5G5B5: return srcA1R5G5B5;
    case pel_FMT_P8: return srcP8;
    default: return -1;
  }
}

int imgDirectDstGroup(int format) {
  switch (format) {
    case pel_FMT_R8G8B8: return dstR8G8B8;
    case pel_FMT_X8R8G8B8:
    case pel_FMT_A8R8G8B8: return dstX8R8G8B8;
    case pel_FMT_R5G6B5: return dstR5G6B5;
    case pel_FMT_X1R5G5B5: return dstX1R5G5B5;
    case pel_FMT_A1R5G5B5: return dstA1R5G5B5;
    case pel_FMT_P8: return dstP8;
    default: return -1;
  }
}

int imgPalettedDstGroup(int format) {
  if (format == pel_FMT_A1R5G5B5) return dstX1R5G5B5;
  return format == pel_FMT_P8 ? -1 : imgDirectDstGroup(format);
}

uint32_t imgDirectKey(int srcFormat, uint32_t colour) {
  switch (srcFormat) {
    case pel_FMT_R8G8B8: return colour & 0x00FFFFFF;
    case pel_FMT_R5G6B5: return keyAsR5G6B5(colour);
    case pel_FMT_X1R5G5B5: return keyAsX1R5G5B5(colour);
    case pel_FMT_A1R5G5B5: return pelConvert<X8R8G8B8, A1R5G5B5>(pelFromRaw<X8R8G8B8>(colour)).v;
    default: return colour;
  }
}

uint32_t imgPalettedKey(int dstFormat, uint32_t colour) {
  switch (dstFormat) {
    case pel_FMT_R8G8B8: return colour & 0x00FFFFFF;
    case pel_FMT_R5G6B5: return keyAsR5G6B5(colour);
    case pel_FMT_X1R5G5B5:
    case pel_FMT_A1R5G5B5: return keyAsX1R5G5B5(colour);
    default: return colour;
  }
}

void imgCTy::DrawExPaletted(imgCTy* destination, const rectCTy* rect, const imgDrawParams* params) {
  const int format = destination->PelFormat();
  BuildPalTable(format);
  const int dst = imgPalettedDstGroup(format);
  if (dst < 0 || !desc.palette || !desc.palette->table) return;
  imgDrawArgs a = argsOf(this, destination, rect, params, keyFlag ? imgPalettedKey(format, keyColor) : 0);
  a.table = desc.palette->table;
  run(srcP8, imgDstGroup(dst), selectCell(*params, keyFlag != 0), a);
}

void imgCTy::DrawExDirect(imgCTy* destination, const rectCTy* rect, const imgDrawParams* params) {
  const int src = imgDirectSrcGroup(PelFormat());
  const int dst = imgDirectDstGroup(destination->PelFormat());
  if (src < 0 || dst < 0 || (src == srcP8) != (dst == dstP8)) return;
  imgDrawArgs a = argsOf(this, destination, rect, params, keyFlag ? imgDirectKey(PelFormat(), keyColor) : 0);
  if (src == srcP8) {
    // Indices copied, whatever the mode (none included) and the key.
    const bool scaled = params->scaled || params->mode == pel_OP_STRETCH;
    run(srcP8, dstP8, {true, opCopy, scaled ? vScaled : vPlain}, a);
    return;
  }
  run(imgSrcGroup(src), imgDstGroup(dst), selectCell(*params, keyFlag != 0), a);
}
