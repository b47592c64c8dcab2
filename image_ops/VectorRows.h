// The vector row kernels of the operations that run the most, and the one
// table saying which kernel serves which operation and pair of formats.
//
// A row kernel writes pels [0, n) of a row of w pels in whole vectors and
// returns n; the operation's per-pel step (the reference, which the kernels
// match bit for bit) writes the rest of the row. Each kernel is one template
// over the vector width (VectorKernels.h), instantiated for SSE2
// (VectorSse2.cpp) and AVX2 (VectorAvx2.cpp, compiled for that processor
// and only called where it has it); the level in img/VectorLevel.h picks
// the instance. Keyed runs have no vector kernel.
#pragma once

#include <cstdint>

#include "img/Pixel.h"
#include "img/VectorLevel.h"

namespace talvo::g::vec {

// d and s are the first pels of the destination and source rows; `arg` is
// the blend's weight, or the key pel of a keyed copy (other kernels ignore
// it). A weight outside 0 to 256 gets no vector pels: the kernel returns 0.
using RowFn = int (*)(std::uint8_t* d, const std::uint8_t* s, int w, std::uint32_t arg);

enum class Kernel : int {
  none = -1,
  rgb565_from_8888,        // colours of Rgbx8888 or Rgba8888 to Rgb565
  rgbx8888_from_565,       // Rgb565 to Rgbx8888, the x byte kept
  rgba8888_from_565,       // Rgb565 to Rgba8888, alpha 255
  draw_8888_on_8888,       // Rgba8888 by its alpha over an 8888 destination
  draw_8888_on_565,        // Rgba8888 by its alpha over Rgb565
  blend_8888_weighed,      // the weighed mix of 8888 colours, the fourth byte kept
  blend_565_difference,    // the difference form on Rgb565
  keyed_16,                // 16-bit pels copied whole unless all 16 bits match the key
  keyed_32_colours,        // 32-bit pels copied whole unless bytes 0-2 match the key
  keyed_32,                // 32-bit pels copied whole unless all 32 bits match the key
  count
};

enum class Operation { copy, copy_keyed, draw, blend };

struct Case {
  Operation op;
  PelType dst, src;
  Kernel kernel;
};

// Which kernel serves which case. The blend's weighed kernel serves an
// Rgba8888 source too only past the rule's shortcuts (k = 0 and 255), where
// the rule weighs as it does for an Rgbx8888 source.
inline constexpr Case cases[] = {
    // operation         destination          source               kernel
    {Operation::copy,  pel_type::rgb565,   pel_type::rgbx8888, Kernel::rgb565_from_8888},
    {Operation::copy,  pel_type::rgb565,   pel_type::rgba8888, Kernel::rgb565_from_8888},
    {Operation::copy,  pel_type::rgbx8888, pel_type::rgb565,   Kernel::rgbx8888_from_565},
    {Operation::copy,  pel_type::rgba8888, pel_type::rgb565,   Kernel::rgba8888_from_565},
    {Operation::copy_keyed, pel_type::rgb565, pel_type::rgb565, Kernel::keyed_16},
    {Operation::copy_keyed, pel_type::rgbx8888, pel_type::rgbx8888, Kernel::keyed_32_colours},
    {Operation::copy_keyed, pel_type::rgba8888, pel_type::rgba8888, Kernel::keyed_32},
    {Operation::copy_keyed, pel_type::rgbx8888, pel_type::rgba8888, Kernel::keyed_32},
    {Operation::draw,  pel_type::rgbx8888, pel_type::rgba8888, Kernel::draw_8888_on_8888},
    {Operation::draw,  pel_type::rgba8888, pel_type::rgba8888, Kernel::draw_8888_on_8888},
    {Operation::draw,  pel_type::rgb565,   pel_type::rgba8888, Kernel::draw_8888_on_565},
    {Operation::blend, pel_type::rgbx8888, pel_type::rgbx8888, Kernel::blend_8888_weighed},
    {Operation::blend, pel_type::rgbx8888, pel_type::rgba8888, Kernel::blend_8888_weighed},
    {Operation::blend, pel_type::rgb565,   pel_type::rgb565,   Kernel::blend_565_difference},
};

// The kernel of a case, or none.
constexpr Kernel kernel_for(Operation op, PelType dst, PelType src) {
  for (const Case& c : cases)
    if (c.op == op && c.dst == dst && c.src == src) return c.kernel;
  return Kernel::none;
}

// The instances of each level, in the order of Kernel; null where the
// processor the library was built for has no such level.
extern const RowFn* const sse2_rows;
extern const RowFn* const avx2_rows;

// The row kernel at the current level, or null.
inline RowFn row_kernel(Kernel k) {
  if (k == Kernel::none) return nullptr;
  const vector_level::Level level = vector_level::current();
  const RowFn* rows = level == vector_level::avx2 ? avx2_rows : level == vector_level::sse2 ? sse2_rows : nullptr;
  return rows ? rows[int(k)] : nullptr;
}

}  // namespace talvo::g::vec

namespace talvo::g::vec {

// The kernel of a run of `op` for the destination struct D and the source
// struct S (none for paletted sources and index images).
template <class D, class S>
constexpr Kernel kernel_of(Operation op) {
  if constexpr (format_index<D> < 0 || format_index<S> < 0)
    return Kernel::none;
  else
    return kernel_for(op, D::type, S::type);
}

}  // namespace talvo::g::vec
