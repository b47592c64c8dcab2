// Vector kernels of the whole-ratio filtered resampler for 8888 pels
// (blue, green, red in bytes 0-2, the fourth byte alpha or unused): the
// block sums of a source row in 16-bit lanes, four a block in byte order,
// and the averages of those sums by a power of two. Each writes the whole
// vectors of its row and returns how many blocks it did; the caller does
// the rest the portable way, which computes the same numbers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvo::g::filter_rows {

struct BlockKernels {
  // Adds the bytes of each block of bx pels of row to its four sums.
  std::size_t (*add_blocks)(const std::uint8_t* row, std::size_t blocks, std::int64_t bx, std::uint16_t* sums);
  // Writes each block's sums >> shift as a pel; the fourth byte 0 unless
  // four is set.
  std::size_t (*average)(const std::uint16_t* sums, std::size_t blocks, int shift, bool four, std::uint8_t* dst);
};

// The kernels of each level; null where the processor family has none.
extern const BlockKernels* const sse2_blocks;
extern const BlockKernels* const avx2_blocks;

// The kernels of the current vector level, or null for the portable code.
const BlockKernels* block_kernels();

}  // namespace talvo::g::filter_rows
