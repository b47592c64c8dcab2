// The vector kernel of a cell at the draw's level.
#include "engine/alpha/alpha_rows.h"

#include "engine/draw/kernel_simd.h"

namespace alphaRows {

DrawFn pick(int op, int store, int dst) {
  const drawSimd::Level level = drawSimd::level();
  const Table* table = level >= drawSimd::AVX2 ? avx2Table : level == drawSimd::SSE2 ? sse2Table : nullptr;
  return table ? (*table)[op][store][dst] : nullptr;
}

}  // namespace alphaRows
