// imgCTy::DrawEx, the software draw of the image base class. Until the
// kernels land it draws nothing.
#include "engine/img.h"

void imgCTy::DrawEx(imgCTy*, int, int, const rectCTy*, const imgDrawParams*) {}
