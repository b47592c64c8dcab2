// The whole-ratio block kernels on SSE2, and the choice of kernels by the
// vector level.
#include "img/ResampleKernels.h"

#include "img/VectorLevel.h"

#if defined(__SSE2__)
#include "img/VectorUnits.h"

namespace talvo::g::filter_rows {
namespace {

struct V128 : simd::V128 {
  // No gathers, and no averages of several pels at once.
  static constexpr std::size_t gather_pels = 0;
  static void mix(const std::uint8_t*, const std::int64_t*, const std::int64_t*, const std::int32_t*,
                  std::int32_t*) {}
  static bool sums(const std::uint8_t*, const std::int64_t*, const std::int64_t*, std::int32_t*) { return false; }
  static constexpr std::size_t average_pels = 0;
  static void average(const std::int32_t*, const std::int8_t*, int, std::uint32_t, std::uint8_t*) {}
};

}  // namespace
}  // namespace talvo::g::filter_rows

#include "img/ResampleVector.h"

namespace talvo::g::filter_rows {
const BlockKernels* const sse2_blocks = &Blocks<V128>::kernels;
const RowKernels* const sse2_rows = &Rows<V128>::kernels;
}  // namespace talvo::g::filter_rows

#else

namespace talvo::g::filter_rows {
const BlockKernels* const sse2_blocks = nullptr;
const RowKernels* const sse2_rows = nullptr;
}  // namespace talvo::g::filter_rows

#endif

namespace talvo::g::filter_rows {

const BlockKernels* block_kernels() {
  switch (vector_level::current()) {
    case vector_level::avx2:
      return avx2_blocks;
    case vector_level::sse2:
      return sse2_blocks;
    default:
      return nullptr;
  }
}

const RowKernels* row_kernels() {
  switch (vector_level::current()) {
    case vector_level::avx2:
      return avx2_rows;
    case vector_level::sse2:
      return sse2_rows;
    default:
      return nullptr;
  }
}

}  // namespace talvo::g::filter_rows
