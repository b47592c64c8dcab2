// Runs a step of a fuzz target inside a TRY frame, as the engine runs its
// loads: a raise ends the step and lands here, with no report box.
#pragma once

#include "base/err.h"

namespace fuzz {

// True when the step returned, false when it raised.
template <class Step>
bool runInFrame(Step&& step) {
  bool returned = true;
  ERR_TRY(frame) { step(); }
  ERR_CATCH(frame, code) {
    (void)code;
    returned = false;
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  return returned;
}

}  // namespace fuzz
