// The RLE8 span draws on AVX2: 32-byte vectors, then 16-byte ones for what
// is shorter than one. The file is compiled for AVX2; its draws are only
// called where the processor has it.
#include "engine/rle8/rle8_spans.h"

#if defined(__AVX2__)
#include "engine/rle8/rle8_span_vector.h"

namespace rle8Vector {
namespace {
using talvo::g::simd::V128;
using talvo::g::simd::V256;
}  // namespace
}  // namespace rle8Vector

const rle8RunDraws rle8RunDrawsAvx2 = {
    {rle8Vector::copyRuns<3, rle8Vector::V256, rle8Vector::V128>,
     rle8Vector::copyRuns<4, rle8Vector::V256, rle8Vector::V128>,
     rle8Vector::copyRuns<2, rle8Vector::V256, rle8Vector::V128>,
     rle8Vector::copyRuns<2, rle8Vector::V256, rle8Vector::V128>},
    {nullptr, rle8Vector::alphaRuns<rle8Vector::Alpha8888, rle8Vector::V256, rle8Vector::V128>,
     rle8Vector::alphaRuns<rle8Vector::Alpha565, rle8Vector::V256, rle8Vector::V128>, nullptr},
};

#else

const rle8RunDraws rle8RunDrawsAvx2 = {};

#endif
