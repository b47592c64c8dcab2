// Fill: the two dispatches of UOpFillStd.
#include "image_ops/Dispatch.h"
#include "image_ops/FillRect.h"
#include "img/Op.h"

namespace talvo::g {

// Second dispatch over the image's struct: every instance writes by pel size
// only, so the eight share the three fill_rect bodies.
template <class P>
struct UOpFillStdImplementation final : FormatSlots<UOpFillStdImplementation<P>, UOpFillStd> {
  explicit UOpFillStdImplementation(const UOpFillStd& op) { static_cast<UOpFillStd&>(*this) = op; }

  template <class S>
  void run() {
    fill_rect<S::size>(*this->image, *this->rect, this->pel);
  }
};

// First dispatch: an image with a palette or of type 9 to 11 cannot be filled.
TALVO_G_REFUSE_INDEXED(UOpFillStd)
TALVO_G_FIRST_DISPATCH(UOpFillStd, UOpFillStdImplementation, image)

}  // namespace talvo::g
