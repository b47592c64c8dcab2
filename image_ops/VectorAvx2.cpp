// The row kernels on AVX2: 32-byte vectors. The file is compiled for AVX2;
// its kernels are only called where the processor has it.
#include "image_ops/VectorRows.h"

#if defined(__AVX2__)
#include "img/VectorUnits.h"

namespace talvo::g::vec {
namespace {
using simd::V256;
}  // namespace
}  // namespace talvo::g::vec

#include "image_ops/VectorKernels.h"

namespace talvo::g::vec {
const RowFn* const avx2_rows = rows_of<V256>;
}  // namespace talvo::g::vec

#else

namespace talvo::g::vec {
const RowFn* const avx2_rows = nullptr;
}  // namespace talvo::g::vec

#endif
