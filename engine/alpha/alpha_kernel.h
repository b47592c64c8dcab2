// The draw kernels of the alpha image, imgAlphaDraw[Scaled][Premul]<Store,
// Dst,Op>: one walk (alpha_walk.h) over one per-pel policy per Op and
// storage form. Included by the files that instantiate the kernels
// (alpha_kernel_list.h lists them); everyone else calls the instances.
//
// What each cell applies, for every Store and Dst:
//
//   Op         storage    opaque pels          translucent pels
//   Copy       straight   CopyOpaque           CopyStraight
//   Copy       premul     CopyOpaque           CopyUnpremul
//   SrcAlpha   straight   CopyOpaque           alphaPelSrcAlpha
//   SrcAlpha   premul     CopyOpaque           alphaPelSrcAlphaPremul
//   Add        straight   AddOpaque            alphaPelAdd
//   Add        premul     AddOpaque            alphaPelAddPremul
//   SrcAlphaK  straight   alphaPelAlphaK       alphaPelSrcAlphaK
//   SrcAlphaK  premul     alphaPelAlphaK       alphaPelSrcAlphaKPremul
//
// The copies write the colour unblended and mark the destination's alpha:
// CopyOpaque with 255, CopyStraight with the alpha byte (a translucent pel
// copied as if it were opaque), CopyUnpremul with α after alphaPelUnpremul
// (A8R8G8B8 takes the value, A1R5G5B5 bit 15 its top bit); onto X8R8G8B8 the
// fourth byte becomes 255 under every copied pel. A colour stored in the
// destination's own 16-bit layout is copied as the whole word, bit 15 of
// X1R5G5B5 included. AddOpaque is the software draw's pelAdd for R8G8B8,
// R5G6B5 and X1R5G5B5 storage, alphaPelAddOpaque for X8R8G8B8 storage.
//
// The straight 8-bit storages onto R5G6B5 and X8R8G8B8 are drawn unscaled
// by vector kernels over the joined walk where the draw's level has them
// (alpha_rows.h, alpha_vector.h), bit-exact to these operations.
#pragma once

#include <cstring>
#include <type_traits>

#include "engine/alpha/alpha_pel.h"
#include "engine/alpha/alpha_rows.h"
#include "engine/alpha/alpha_walk.h"
#include "engine/alpha/img_alpha.h"
#include "engine/draw/pel_ops.h"

namespace alphaKernel {

// The layout word the software draw's per-pel operations take for a
// destination: R8G8B8 for every 3- and 4-byte pel.
template <class Dst>
using DrawLayout = std::conditional_t<sizeof(Dst) == 2, Dst, R8G8B8>;

// The destination's alpha marked for a copied pel of alpha v.
template <class Dst>
void MarkCopied(uint8_t* d, int v) {
  if constexpr (std::is_same_v<Dst, X8R8G8B8>)
    d[3] = 255;
  else
    alphaDst::Of<Dst>::set(d, v);
}

template <class Store, class Dst>
constexpr bool kWholeWord = std::is_same_v<Store, Dst> && sizeof(Dst) == 2;

template <class Store, class Dst>
struct CopyOpaque {
  void operator()(uint8_t* d, const uint8_t* colour) const {
    if constexpr (kWholeWord<Store, Dst>) {
      std::memcpy(d, colour, 2);
    } else {
      alphaDst::Of<Dst>::store(d, alphaDst::source<Store, Dst>(colour));
      MarkCopied<Dst>(d, 255);
    }
  }
};

template <class Store, class Dst>
struct CopyStraight {
  void operator()(uint8_t* d, const uint8_t* colour, int a) const {
    if constexpr (kWholeWord<Store, Dst>) {
      std::memcpy(d, colour, 2);
    } else {
      alphaDst::Of<Dst>::store(d, alphaDst::source<Store, Dst>(colour));
      MarkCopied<Dst>(d, a);
    }
  }
};

template <class Store, class Dst>
struct CopyUnpremul {
  void operator()(uint8_t* d, const uint8_t* colour, int a) const {
    alphaPelUnpremul<Store, Dst>{}(d, colour, a);
    MarkCopied<Dst>(d, 255 - a);
  }
};

template <class Store, class Dst>
struct AddOpaque {
  void operator()(uint8_t* d, const uint8_t* colour) const {
    if constexpr (std::is_same_v<Store, X8R8G8B8>)
      alphaPelAddOpaque<Store, Dst>{}(d, colour);
    else
      pelAdd<Store, DrawLayout<Dst>>{}(d, colour);
  }
};

// The two operations of a cell, made from the kernel's operation objects.
template <class Op, bool Premul, class Store, class Dst>
struct Cell;

template <bool Premul, class Store, class Dst>
struct Cell<alphaOp::Copy, Premul, Store, Dst> {
  using Op = alphaOp::Copy;
  CopyOpaque<Store, Dst> opaque;
  std::conditional_t<Premul, CopyUnpremul<Store, Dst>, CopyStraight<Store, Dst>> translucent;
  Cell(const Op&, const Op&) {}
};

template <bool Premul, class Store, class Dst>
struct Cell<alphaOp::SrcAlpha, Premul, Store, Dst> {
  using Op = alphaOp::SrcAlpha;
  CopyOpaque<Store, Dst> opaque;
  std::conditional_t<Premul, alphaPelSrcAlphaPremul<Store, Dst>, alphaPelSrcAlpha<Store, Dst>> translucent;
  Cell(const Op&, const Op&) {}
};

template <bool Premul, class Store, class Dst>
struct Cell<alphaOp::Add, Premul, Store, Dst> {
  using Op = alphaOp::Add;
  AddOpaque<Store, Dst> opaque;
  std::conditional_t<Premul, alphaPelAddPremul<Store, Dst>, alphaPelAdd<Store, Dst>> translucent;
  Cell(const Op&, const Op&) {}
};

template <bool Premul, class Store, class Dst>
struct Cell<alphaOp::SrcAlphaK, Premul, Store, Dst> {
  using Op = alphaOp::SrcAlphaK;
  alphaPelAlphaK<Store, Dst> opaque;
  std::conditional_t<Premul, alphaPelSrcAlphaKPremul<Store, Dst>, alphaPelSrcAlphaK<Store, Dst>> translucent;
  Cell(const Op& o, const Op& t) : opaque{o.K}, translucent{t.K} {}
};

// A cell as the walk's policy: single pels and spans of them.
template <class Op, bool Premul, class Store, class Dst>
struct Policy : Cell<Op, Premul, Store, Dst> {
  static constexpr int dstBytes = alphaDst::Of<Dst>::bytes;
  static constexpr int colourBytes = alphaStore::Of<Store>::bytes;

  using Cell<Op, Premul, Store, Dst>::Cell;

  void Opaque(uint8_t* d, const uint8_t* colour) const { this->opaque(d, colour); }
  void Translucent(uint8_t* d, const uint8_t* colour, int a) const { this->translucent(d, colour, a); }
  void OpaqueSpan(uint8_t* d, const uint8_t* colours, int n) const {
    for (int i = 0; i < n; ++i, d += dstBytes, colours += colourBytes) this->opaque(d, colours);
  }
  void TranslucentSpan(uint8_t* d, const uint8_t* colours, const uint8_t* alphas, int n) const {
    for (int i = 0; i < n; ++i, d += dstBytes, colours += colourBytes) this->translucent(d, colours, alphas[i]);
  }
};

// The cell's vector kernel at the draw's level, or null (alpha_rows.h).
template <class Op, bool Premul, class Store, class Dst>
alphaRows::DrawFn VectorKernel() {
  constexpr bool eightBit = std::is_same_v<Store, R8G8B8> || std::is_same_v<Store, X8R8G8B8>;
  constexpr bool onto = std::is_same_v<Dst, R5G6B5> || std::is_same_v<Dst, X8R8G8B8>;
  if constexpr (Premul || !eightBit || !onto) {
    return nullptr;
  } else {
    constexpr int op = std::is_same_v<Op, alphaOp::Copy>       ? 0
                       : std::is_same_v<Op, alphaOp::SrcAlpha> ? 1
                       : std::is_same_v<Op, alphaOp::Add>      ? 2
                                                               : 3;
    return alphaRows::pick(op, std::is_same_v<Store, X8R8G8B8>, std::is_same_v<Dst, X8R8G8B8>);
  }
}

// K of an operation object; 0 for the operations without one.
template <class Op>
int KOf(const Op& op) {
  if constexpr (std::is_same_v<Op, alphaOp::SrcAlphaK>)
    return op.K;
  else
    return 0;
}

// The unscaled walk of a cell: joined for its vector kernel where the cell
// and the level have one (and K lies in 0 to 255, as the draw passes it).
template <class Op, bool Premul, class Store, class Dst>
void DrawUnscaled(const imgAlpha& source, imgCTy* destination, const rectCTy& r, const Op& opaque,
                  const Op& translucent) {
  using Cell = Policy<Op, Premul, Store, Dst>;
  const int K = KOf(opaque);
  if (const alphaRows::DrawFn vector = VectorKernel<Op, Premul, Store, Dst>();
      vector && KOf(translucent) == K && K >= 0 && K <= 255) {
    alphaWalk::UnscaledJoined<Cell::colourBytes, Cell::dstBytes>(source, destination, r, vector, K);
    return;
  }
  alphaWalk::Unscaled(source, destination, r, Cell(opaque, translucent));
}

}  // namespace alphaKernel

template <class Store, class Dst, class Op>
void imgAlpha::imgAlphaDraw(imgCTy* destination, const rectCTy& r, const Op& opaque, const Op& translucent) {
  alphaKernel::DrawUnscaled<Op, false, Store, Dst>(*this, destination, r, opaque, translucent);
}

template <class Store, class Dst, class Op>
void imgAlpha::imgAlphaDrawPremul(imgCTy* destination, const rectCTy& r, const Op& opaque, const Op& translucent) {
  alphaKernel::DrawUnscaled<Op, true, Store, Dst>(*this, destination, r, opaque, translucent);
}

template <class Store, class Dst, class Op>
void imgAlpha::imgAlphaDrawScaled(imgCTy* destination, const rectCTy& r, float scaleX, float scaleY,
                                  const Op& opaque, const Op& translucent) {
  alphaWalk::Scaled(*this, destination, r, scaleX, scaleY,
                    alphaKernel::Policy<Op, false, Store, Dst>(opaque, translucent));
}

template <class Store, class Dst, class Op>
void imgAlpha::imgAlphaDrawScaledPremul(imgCTy* destination, const rectCTy& r, float scaleX, float scaleY,
                                        const Op& opaque, const Op& translucent) {
  alphaWalk::Scaled(*this, destination, r, scaleX, scaleY,
                    alphaKernel::Policy<Op, true, Store, Dst>(opaque, translucent));
}
