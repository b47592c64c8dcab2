// The image context: the one factory of the operations on images.
#include "img/Op.h"

namespace talvo::g {

ImageContext& ImageContext::instance() {
  static ImageContext context;
  return context;
}

std::uint32_t ImageContext::pass_through(std::uint32_t value) { return value; }

void ImageContext::reserved(std::uint32_t, std::uint32_t) {}

UOpFillStd* ImageContext::new_fill(std::uint32_t pel) {
  UOpFillStd* op = new UOpFillStd;
  op->pel = pel;
  return op;
}

OpAssignStd* ImageContext::new_assign() { return new OpAssignStd; }

}  // namespace talvo::g
