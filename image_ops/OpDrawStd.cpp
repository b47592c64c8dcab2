// Draw with source alpha: the two dispatches of OpDrawStd.
#include "image_ops/CopyRows.h"
#include "image_ops/Dispatch.h"
#include "image_ops/DrawRows.h"
#include "image_ops/OpAssignStd.h"
#include "img/Op.h"

namespace talvo::g {

// Second dispatch, over the destination struct D: a source with alpha is
// blended over D by its alpha; every other source, paletted ones included,
// runs the copy's kernels of the same pair. Sources of type 9 without
// palette, 10 and 11 are refused.
template <class D>
struct OpDrawStdImplementation final : FormatSlots<OpDrawStdImplementation<D>, OpDrawStd> {
  explicit OpDrawStdImplementation(const OpDrawStd& op) { static_cast<BOp&>(*this) = op; }

  void on_palette() override { copy_run<D, Paletted>(*this); }

  template <class S>
  void run() {
    if constexpr (!has_alpha<S>)
      copy_run<D, S>(*this);
    else if (this->source->has_color_key())
      draw_rows_keyed<D, S>(*this->image, this->rect->x0, this->rect->y0, *this->source, *this->source_rect);
    else
      draw_rows<D, S>(*this->image, this->rect->x0, this->rect->y0, *this->source, *this->source_rect);
  }
};

// First dispatch: an index destination takes the copy's index copy.
void OpDrawStd::on_palette() { copy_index_images(*this); }
void OpDrawStd::on_type9(std::uint8_t*) { copy_index_images(*this); }

TALVO_G_FIRST_DISPATCH(OpDrawStd, OpDrawStdImplementation, source)

}  // namespace talvo::g
