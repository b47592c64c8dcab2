// The vector level the image library's row kernels run at: the portable
// code (the reference every vector kernel matches bit for bit), SSE2, or
// AVX2. The level is the processor's best, read once; force() picks a lower
// one, so that tests (and benchmarks) can run every path.
#pragma once

namespace talvo::g::vector_level {

enum Level : int { portable = 0, sse2 = 1, avx2 = 2 };

// The level the kernels run at now.
Level current();
// The processor's best level.
Level supported();
// Forces a level; one above the processor's is taken down to it, and a
// negative value goes back to the processor's own.
void force(int level);

}  // namespace talvo::g::vector_level
