// Vector kernels of the filtered resampler for 8888 pels (blue, green, red
// in bytes 0-2, the fourth byte alpha or unused), where every per-pel
// number is kept in four lanes, one a byte, in byte order.
//
// Whole ratios: the block sums of a source row in 16-bit lanes and the
// averages of those sums by a power of two. Each writes the whole vectors
// of its row and returns how many blocks it did; the caller does the rest
// the portable way, which computes the same numbers.
//
// Other ratios, where a pel's samples sum below 2^31 (ResampleRows.h): a
// source row's horizontal mixes and inner sums, and a destination row's
// vertical step and averages, in 32-bit lanes, exactly as the portable
// formulas.
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

struct RowKernels {
  // mix[4j + b] = a * 65536 + (c - a) * fraction[j], a and c byte b of the
  // pels corner[j] and neighbour[j] of line.
  void (*mix)(const std::uint8_t* line, const std::int64_t* corner, const std::int64_t* neighbour,
              const std::int32_t* fraction, std::size_t width, std::int32_t* mix);
  // sum[4j + b] = the sum of byte b of the pels first[j]..last[j] of line.
  void (*sums)(const std::uint8_t* line, const std::int64_t* first, const std::int64_t* last, std::size_t width,
               std::int32_t* sum);
  // out = (t + (d >> 16) * f + ((d & 0xFFFF) * f >> 16) + ts * 65536 +
  // (bs - ts) * f + in) >> 16 lane by lane, t the top mix, d the bottom mix
  // less t, ts and bs the top and bottom sums; returns the lanes done.
  std::size_t (*combine)(const std::int32_t* tm, const std::int32_t* bm, const std::int32_t* ts,
                         const std::int32_t* bs, const std::int32_t* in, std::int32_t f, std::size_t n,
                         std::int32_t* out);
  // Pel j from the four wholes of j, each >> (shift[j] + row_shift); the
  // fourth byte 0 unless four is set. Pels whose shift is negative are
  // left for the caller.
  void (*average)(const std::int32_t* wholes, const std::int8_t* shift, int row_shift, std::size_t width,
                  bool four, std::uint8_t* dst);
};

// The kernels of each level; null where the processor family has none.
extern const BlockKernels* const sse2_blocks;
extern const BlockKernels* const avx2_blocks;
extern const RowKernels* const sse2_rows;
extern const RowKernels* const avx2_rows;

// The kernels of the current vector level, or null for the portable code.
const BlockKernels* block_kernels();
const RowKernels* row_kernels();

}  // namespace talvo::g::filter_rows
