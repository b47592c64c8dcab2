// Random numbers: a combined linear congruential generator that starts at the
// same state in every run, and a seeded subtract-with-borrow generator.
#pragma once

#include <cstdint>

uint32_t rndNext();
uint32_t rndNext31();
// rndNext31() modulo n; n must be above 0 (0 gives 0).
uint32_t rndRange(uint32_t n);
float rndFloat();    // [0, 1)
double rndDouble();  // [0, 1)

void rnd2Seed(uint32_t seed);
uint32_t rnd2Next();
uint32_t rnd2Next31();
// rnd2Next() modulo n; n must be above 0 (0 gives 0).
uint32_t rnd2Range(uint32_t n);
