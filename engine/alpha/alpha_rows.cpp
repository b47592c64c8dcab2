// The vector kernel of a cell at the draw's level.
#include "engine/alpha/alpha_rows.h"

#include "img/VectorLevel.h"

namespace alphaRows {

DrawFn pick(int op, int store, int dst) {
  namespace vector = talvo::g::vector_level;
  const vector::Level level = vector::current();
  const Table* table = level >= vector::avx2 ? avx2Table : level == vector::sse2 ? sse2Table : nullptr;
  return table ? (*table)[op][store][dst] : nullptr;
}

}  // namespace alphaRows
