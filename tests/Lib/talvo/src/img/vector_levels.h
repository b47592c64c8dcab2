// The image code's tests run their cases at each vector level the processor
// has (the test switch of img/VectorLevel.h).
#pragma once

#include <gtest/gtest.h>

#include "img/VectorLevel.h"

namespace vector_levels {

// Runs `body` once at every vector level the processor has, the portable
// code first, with the level forced; the processor's own level after.
template <class Body>
void at_every_level(Body body) {
  namespace level = talvo::g::vector_level;
  for (int l = level::portable; l <= level::supported(); ++l) {
    level::force(l);
    SCOPED_TRACE(l == level::portable ? "portable" : l == level::sse2 ? "SSE2" : "AVX2");
    body();
  }
  level::force(-1);
}

}  // namespace vector_levels
