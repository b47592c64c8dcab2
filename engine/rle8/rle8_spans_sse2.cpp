// The RLE8 span draws on SSE2: 16-byte vectors.
#include "engine/rle8/rle8_spans.h"

#if defined(__SSE2__)
#include "engine/rle8/rle8_span_vector.h"

namespace rle8Vector {
namespace {
using talvo::g::simd::V128;
}  // namespace
}  // namespace rle8Vector

const rle8RunDraws rle8RunDrawsSse2 = {
    {},
    {nullptr, rle8Vector::alphaRuns<rle8Vector::Alpha8888, rle8Vector::V128>,
     rle8Vector::alphaRuns<rle8Vector::Alpha565, rle8Vector::V128>, nullptr},
};

#else

const rle8RunDraws rle8RunDrawsSse2 = {};

#endif
