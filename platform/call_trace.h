// The one hook through which the emulated COM interfaces (DirectDraw,
// DirectSound) and their creation functions meet the test API's fault
// injection and call trace (platform/test_api.h: failNext, traceCalls).
//
// An entry point asks first whether a fault was injected into it and, when
// one was, does nothing but return its code; then it records the call with
// its result:
//
//   HRESULT Buffer::SetVolume(LONG volume) {
//     return detail::tracedCall("IDirectSoundBuffer", "SetVolume", this, {.values = {volume}},
//                               [&](CallRecord&) { return setVolume(volume); });
//   }
//
// tracedCall does both around a body. Both are safe from any thread; while
// nothing is injected and tracing is off they cost an atomic load each.
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

// One entry point: an injected fault's code, or what body(record) returns.
// The record comes with the call's arguments (flags, rectangles, values,
// text), kept also when a fault is injected; the body may add what the call
// gives out. It is traced with the operation's names, the object and the
// result.
template <class Body>
HRESULT tracedCall(const char* iface, const char* op, const void* object, plat::test::CallRecord record,
                   Body&& body) {
  HRESULT result;
  if (!injected(iface, op, &result)) result = body(record);
  if (tracing()) {
    record.op = op;
    record.iface = iface;
    if (!record.object) record.object = object;
    record.result = result;
    trace(std::move(record));
  }
  return result;
}

}  // namespace plat::detail
