// The one hook through which the emulated COM interfaces (DirectDraw,
// DirectSound) and their creation functions meet the test API's fault
// injection and call trace (platform/test_api.h: failNext, traceCalls).
//
// An entry point asks first whether a fault was injected into it and, when
// one was, does nothing but return its code; then it records the call with
// its result:
//
//   HRESULT Buffer::SetVolume(LONG volume) {
//     HRESULT hr;
//     if (!detail::injected("IDirectSoundBuffer", "SetVolume", &hr)) hr = setVolume(volume);
//     if (detail::tracing())
//       detail::trace({.op = "SetVolume", .iface = "IDirectSoundBuffer", .object = this,
//                      .result = hr, .values = {volume}});
//     return hr;
//   }
//
// Both are safe from any thread; while nothing is injected and tracing is
// off they cost an atomic load each.
#pragma once

#include "platform/test_api.h"

namespace plat::detail {

// True when a fault is pending for the operation: *result receives its code
// and the fault is used up. iface is the interface's name
// ("IDirectSoundBuffer"), or empty for a free function ("DirectSoundCreate").
bool injected(const char* iface, const char* op, HRESULT* result);

// True while the test API's trace is on.
bool tracing();
// Appends the record to the trace (dropped while tracing is off).
void trace(plat::test::CallRecord record);

}  // namespace plat::detail
