// The rectangle of the engine layer.
#include "engine/rect.h"

int rectCTy::Intersect(const rectCTy* a, const rectCTy* b) {
  if (rectIntersect(this, a, b)) return 1;
  w = 0;
  h = 0;
  return 0;
}
