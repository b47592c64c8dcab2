// Copy with conversion: the two dispatches of OpAssignStd.
#include "image_ops/OpAssignStd.h"

namespace talvo::g {

namespace {

// Index images onto an index destination: the bytes are copied, no palette is
// consulted. Any other source gives nothing.
void copy_indices(const BOp& op) {
  if (op.source->type() != pel_type::index8) return;
  copy_rows_auto<Index8, Index8>(*op.image, op.rect->x0, op.rect->y0, *op.source,
                                 *op.source_rect);
}

}  // namespace

void OpAssignStd::on_palette() { copy_indices(*this); }
void OpAssignStd::on_type9(std::uint8_t*) { copy_indices(*this); }

// First dispatch: one slot per destination format.
#define TALVO_G_FIRST(P) \
  void OpAssignStd::on_##P(P*) { run_for_destination<OpAssignStdImplementation, P>(*this, *source); }
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
