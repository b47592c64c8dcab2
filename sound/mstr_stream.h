// The MIDI stream module: a state block with its stream buffers and parsed
// file, cued into the buffers and played through winmm's stream interface.
// Buffers that winmm hands back are refilled on its callback thread; when the
// song has played out the callback closes the stream and posts
// MSTR_MSG_DONE (wParam the state block, lParam 1) to the owner window.
// Raises nothing and shows nothing; results are 0, MCIERR_OUT_OF_MEMORY (264),
// MCIERR_UNSUPPORTED_FUNCTION (274, also a cue with nothing to play),
// MCIERR_DEVICE_NOT_READY (276), MCIERR_INVALID_FILE (296) or the MMRESULT
// of the winmm call that failed.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/win_mmsystem.h"
#include "platform/win_types.h"
#include "sound/mstr_file.h"

#define MSTR_MSG_DONE 1044  // WM_USER + 20

// mstrState::state
enum : uint32_t {
  MSTR_S_CLOSED = 0,     // no file
  MSTR_S_OPEN = 1,       // file parsed, stream not playing
  MSTR_S_CUEING = 2,
  MSTR_S_READY = 3,      // buffers queued, stream paused
  MSTR_S_PLAYING = 4,
  MSTR_S_ERROR = 6,      // a refill or a send failed
  MSTR_S_RESETTING = 7,
};
// mstrState::flags
#define MSTR_SF_END 0x00000001u  // the converter reached the end of the range

// The conversion header's first size and its limit; every data length is a
// multiple of 4, so long-event pieces end inside their buffer.
constexpr uint32_t kMstrConvSize = 4096;
constexpr uint32_t kMstrConvMaxSize = 32768;
static_assert((kMstrConvSize - sizeof(MIDIHDR)) % 4 == 0, "conversion data in 4-byte steps");

// The state block. The window thread and the callback thread share it
// without a lock: the count of queued buffers, the state and the flags are
// atomic, and busy counts callbacks running on it, so that a stop can wait
// until none touches the block.
struct mstrState {
  uint32_t bufferCount;  // 4
  uint32_t bufferSize;   // data bytes per buffer, 1024
  const char* fileName;
  UINT device;  // MIDI_MAPPER, or 0
  HWND owner;
  std::atomic<uint32_t> state;
  uint32_t songLength;
  mstrFile* file;
  HMIDISTRM stream;
  uint32_t timeDivision;
  uint8_t* bufferBlock;
  MIDIHDR* freeList;  // chained through lpNext, newest first
  MIDIHDR* convHeader;
  uint32_t convSize;  // header included
  std::atomic<int32_t> outstanding;
  uint32_t startTick;
  uint32_t endTick;  // exclusive
  std::atomic<uint32_t> flags;
  std::atomic<int32_t> busy;
};

struct mstrRange {
  uint32_t startTick;
  uint32_t endTick;
};

int mstrAllocBuffers(mstrState* state);
void mstrFreeBuffers(mstrState* state);
int mstrOpen(mstrState* state);
int mstrClose(mstrState* state);
int mstrCue(mstrState* state, const mstrRange* range);
int mstrRestart(mstrState* state);
void CALLBACK mstrCallback(HMIDIOUT stream, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
int mstrMapError(int code);
// Stops and closes an open stream: every queued buffer comes back, no
// callback runs on the block afterwards. False when winmm still holds
// buffers after a bounded wait (the block must then not be freed).
bool mstrStop(mstrState* state);
// Releases the conversion header (the state block then holds none).
void mstrFreeConvHeader(mstrState* state);
