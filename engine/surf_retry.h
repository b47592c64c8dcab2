// The retry rule of the surface image, one row per operation: what a call on
// an existing DirectDraw surface does when it answers "still drawing", "lost"
// or anything else. Lost surfaces and still-drawing answers get a few turns
// at most; any other failure is reported once (errRaise with the HRESULT)
// and the operation given up, so a failure that persists never loops
// (headless report boxes answer Ignore).
#pragma once

#include "base/err.h"
#include "platform/win_ddraw.h"

class gSurfDxdCTy;

enum class surfOp { Lock, Flip, Fill, Blt, BltStretch, GetDC, ReleaseDC, GetBackBuffer, Unlock, SetColorKey };

struct surfRule {
  enum Still { Repeat, ReportRepeat, Report, AsOther } still;  // DDERR_WASSTILLDRAWING
  enum Lost { Restore, RestoreBoth, Ignore, End } lost;        // DDERR_SURFACELOST
  bool dcAsLost;     // DDERR_CANTCREATEDC is taken as a lost surface, unreported
  bool stretchBack;  // E_NOTIMPL and DDERR_NOSTRETCHHW go back to the caller unreported
};

inline constexpr surfRule kSurfRules[] = {
    /* Lock          */ {surfRule::Repeat, surfRule::Restore, false, false},
    /* Flip          */ {surfRule::Repeat, surfRule::Restore, false, false},
    /* Fill          */ {surfRule::Repeat, surfRule::Restore, false, false},
    /* Blt           */ {surfRule::Repeat, surfRule::RestoreBoth, false, false},
    /* BltStretch    */ {surfRule::Repeat, surfRule::RestoreBoth, false, true},
    /* GetDC         */ {surfRule::AsOther, surfRule::Restore, true, false},
    /* ReleaseDC     */ {surfRule::AsOther, surfRule::Restore, false, false},
    /* GetBackBuffer */ {surfRule::AsOther, surfRule::Restore, false, false},
    /* Unlock        */ {surfRule::Report, surfRule::Ignore, false, false},
    /* SetColorKey   */ {surfRule::ReportRepeat, surfRule::End, false, false},
};

// Calls per operation at most while the surface is lost or still drawing.
inline constexpr int kSurfTurns = 4;

// Restores for the rule (surf_restore.cpp).
int surfRestore(gSurfDxdCTy* surface);

// Runs call() under the operation's rule. `self` is restored when lost;
// `other` (the destination of a blit) after it. Returns the last result.
template <class Call>
HRESULT surfRetry(surfOp op, gSurfDxdCTy* self, gSurfDxdCTy* other, Call call) {
  const surfRule& rule = kSurfRules[static_cast<int>(op)];
  for (int turn = 1;; ++turn) {
    const HRESULT hr = call();
    if (SUCCEEDED(hr)) return hr;
    if (rule.stretchBack && (hr == DDERR_UNSUPPORTED || hr == DDERR_NOSTRETCHHW)) return hr;
    if (hr == DDERR_WASSTILLDRAWING && rule.still != surfRule::AsOther) {
      if (rule.still == surfRule::Report || (rule.still == surfRule::ReportRepeat && turn == 1)) errRaise(hr);
      if (rule.still == surfRule::Report || turn >= kSurfTurns) return hr;
      continue;
    }
    if (hr == DDERR_SURFACELOST || (rule.dcAsLost && hr == DDERR_CANTCREATEDC)) {
      if (rule.lost == surfRule::Ignore || rule.lost == surfRule::End || turn >= kSurfTurns) return hr;
      if (!surfRestore(self)) return hr;
      if (rule.lost == surfRule::RestoreBoth && other && !surfRestore(other)) return hr;
      continue;
    }
    errRaise(hr);
    return hr;
  }
}
