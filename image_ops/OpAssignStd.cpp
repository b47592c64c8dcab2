// Copy with conversion: the two dispatches of OpAssignStd.
#include "image_ops/OpAssignStd.h"

namespace talvo::g {

void copy_index_images(const BOp& op) {
  if (op.source->type() != pel_type::index8) return;
  copy_run<Index8, Index8>(op);
}

void OpAssignStd::on_palette() { copy_index_images(*this); }
void OpAssignStd::on_type9(std::uint8_t*) { copy_index_images(*this); }

// First dispatch: one slot per destination format.
TALVO_G_FIRST_DISPATCH(OpAssignStd, OpAssignStdImplementation, source)

}  // namespace talvo::g
