// Every test program runs headless: SDL's dummy drivers unless its
// environment names others (a test that wants SDL's disk audio sets it).
// Set before main, so that a program run by hand, or a test that ctest's
// list of variables did not reach, behaves as under `make test`.
#include <cstdlib>

namespace {

const bool kEnvironmentSet = [] {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  return true;
}();

}  // namespace
