// The copy with conversion: OpAssignStd's implementation over the
// destination's pixel struct.
#pragma once

#include "image_ops/CopyRows.h"
#include "image_ops/Dispatch.h"
#include "img/Op.h"

namespace talvo::g {

// The copy's kernels of the pair (D, S) over the rectangles of the run `op`
// describes, keyed when the source has a colour key. The draw runs them too,
// for every source without alpha and for paletted sources.
template <class D, class S>
void copy_run(const BOp& op) {
  copy_rows_auto<D, S>(*op.image, op.rect->x0, op.rect->y0, *op.source, *op.source_rect);
}

// The first-dispatch slots of an index destination (with a palette, or of
// type 9), shared by the copy and the draw: index images are copied byte for
// byte, no palette consulted; any other source gives nothing.
void copy_index_images(const BOp& op);

// Second dispatch, over the destination struct D: the source's slot runs the
// kernels of the pair (D, source format), or of a paletted source onto D.
// Sources of type 9 without palette, 10 and 11 are refused.
template <class D>
struct OpAssignStdImplementation final
    : FormatSlots<OpAssignStdImplementation<D>, OpAssignStd> {
  explicit OpAssignStdImplementation(const OpAssignStd& op) { static_cast<BOp&>(*this) = op; }

  void on_palette() override { run<Paletted>(); }

  template <class S>
  void run() {
    copy_run<D, S>(*this);
  }
};

}  // namespace talvo::g
