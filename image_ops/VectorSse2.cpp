// The row kernels on SSE2: 16-byte vectors.
#include "image_ops/VectorRows.h"

#if defined(__SSE2__)
#include "img/VectorUnits.h"

namespace talvo::g::vec {
namespace {
using simd::V128;
}  // namespace
}  // namespace talvo::g::vec

#include "image_ops/VectorKernels.h"

namespace talvo::g::vec {
const RowFn* const sse2_rows = rows_of<V128>;
}  // namespace talvo::g::vec

#else

namespace talvo::g::vec {
const RowFn* const sse2_rows = nullptr;
}  // namespace talvo::g::vec

#endif
