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

namespace {
template <class Span>
Span* new_span(std::uint32_t pel, std::int32_t x, std::int32_t y, std::int32_t length,
               std::uint32_t pattern) {
  Span* op = new Span;
  op->pel = pel;
  op->x = x;
  op->y = y;
  op->length = length;
  op->pattern = pattern;
  return op;
}
}  // namespace

UOpHLineStd* ImageContext::new_hline(std::uint32_t pel, std::int32_t x, std::int32_t y,
                                     std::int32_t length, std::uint32_t pattern) {
  return new_span<UOpHLineStd>(pel, x, y, length, pattern);
}

UOpVLineStd* ImageContext::new_vline(std::uint32_t pel, std::int32_t x, std::int32_t y,
                                     std::int32_t length, std::uint32_t pattern) {
  return new_span<UOpVLineStd>(pel, x, y, length, pattern);
}

UOpLineStd* ImageContext::new_line(std::uint32_t pel, float x0, float y0, float x1, float y1,
                                   std::uint32_t word) {
  UOpLineStd* op = new UOpLineStd;
  op->pel = pel;
  op->x0 = x0;
  op->y0 = y0;
  op->x1 = x1;
  op->y1 = y1;
  op->word = word;
  return op;
}

OpAssignStd* ImageContext::new_assign() { return new OpAssignStd; }

OpDrawStd* ImageContext::new_draw() { return new OpDrawStd; }

BOpAlphaK* ImageContext::new_alpha_k(std::int32_t k) {
  BOpAlphaK* op = new BOpAlphaK;
  op->k = k;
  return op;
}

}  // namespace talvo::g
