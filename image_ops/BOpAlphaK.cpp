// Constant-weight blend: the two dispatches of BOpAlphaK.
#include "image_ops/BlendRows.h"
#include "image_ops/Dispatch.h"
#include "img/Op.h"

namespace talvo::g {

// Second dispatch, over the destination struct D: the source's slot runs the
// blend kernels of the pair (D, source format), or of a paletted source onto
// D. Sources of type 9 without palette, 10 and 11 are refused.
template <class D>
struct BOpAlphaKImplementation final : FormatSlots<BOpAlphaKImplementation<D>, BOpAlphaK> {
  explicit BOpAlphaKImplementation(const BOpAlphaK& op) { static_cast<BOpAlphaK&>(*this) = op; }

  void on_palette() override { run<Paletted>(); }

  template <class S>
  void run() {
    if (this->source->has_color_key())
      blend_rows_k_keyed<D, S>(*this->image, this->rect->x0, this->rect->y0, *this->source,
                               *this->source_rect, this->k);
    else
      blend_rows_k<D, S>(*this->image, this->rect->x0, this->rect->y0, *this->source, *this->source_rect,
                         this->k);
  }
};

// First dispatch: indexed destinations and types 9 to 11 cannot be blended
// into.
TALVO_G_REFUSE_INDEXED(BOpAlphaK)
TALVO_G_FIRST_DISPATCH(BOpAlphaK, BOpAlphaKImplementation, source)

}  // namespace talvo::g
