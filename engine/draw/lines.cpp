// The line slots of the image base class. Until the line primitives are
// drawn here, each slot leaves the image as it is.
#include "engine/img.h"

void imgCTy::DrawHLine(uint32_t, int, int, int, uint32_t) {}
void imgCTy::DrawVLine(uint32_t, int, int, int, uint32_t) {}
void imgCTy::DrawLine(uint32_t, int, int, int, int, int) {}
