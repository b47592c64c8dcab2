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
void UOpFillStd::on_palette() { not_implemented(); }
void UOpFillStd::on_type9(std::uint8_t*) { not_implemented(); }
void UOpFillStd::on_type10(std::uint16_t*) { not_implemented(); }
void UOpFillStd::on_type11(std::uint32_t*) { not_implemented(); }

#define TALVO_G_FIRST(P) \
  void UOpFillStd::on_##P(P*) { run_for_destination<UOpFillStdImplementation, P>(*this, *image); }
TALVO_G_FIRST(Rgbx4444)
TALVO_G_FIRST(Rgba4444)
TALVO_G_FIRST(Rgbx5551)
TALVO_G_FIRST(Rgba5551)
TALVO_G_FIRST(Rgb565)
TALVO_G_FIRST(Rgb888)
TALVO_G_FIRST(Rgba8888)
TALVO_G_FIRST(Rgbx8888)
#undef TALVO_G_FIRST

}  // namespace talvo::g
