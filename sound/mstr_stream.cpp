// The MIDI stream module.
#include "sound/mstr_stream.h"

#include "platform/win_kernel.h"
#include "platform/win_thread.h"
#include "platform/win_user.h"

namespace {

constexpr UINT kHeaderSize = sizeof(MIDIHDR);
constexpr DWORD kStopWaitMs = 2000;

HMIDIOUT out(const mstrState* st) { return reinterpret_cast<HMIDIOUT>(st->stream); }

void pushFree(mstrState* st, MIDIHDR* header) {
  header->lpNext = st->freeList;
  st->freeList = header;
}

void setUpConvHeader(mstrState* st) {
  MIDIHDR* h = st->convHeader;
  h->dwBytesRecorded = 0;
  h->dwFlags = 0;
  h->lpNext = st->freeList;
  h->lpData = reinterpret_cast<LPSTR>(h + 1);
  h->dwBufferLength = st->convSize - kHeaderSize;
  h->dwUser = reinterpret_cast<DWORD_PTR>(st);
}

// Doubles the conversion header, keeping its contents. False when the
// memory cannot be had (the header keeps its size).
bool growConvHeader(mstrState* st) {
  HGLOBAL handle = GlobalHandle(st->convHeader);
  GlobalUnlock(handle);
  HGLOBAL grown = GlobalReAlloc(handle, st->convSize * 2, GMEM_MOVEABLE);
  st->convHeader = static_cast<MIDIHDR*>(GlobalLock(grown ? grown : handle));
  if (!grown) return false;
  st->convSize *= 2;
  st->convHeader->lpData = reinterpret_cast<LPSTR>(st->convHeader + 1);
  st->convHeader->dwBufferLength = st->convSize - kHeaderSize;
  return true;
}

// Waits until every queued buffer has come back and no callback runs on the
// block; bounded, or for as long as it takes.
bool waitDrained(mstrState* st, bool bounded) {
  const DWORD start = GetTickCount();
  while (st->outstanding.load() != 0 || st->busy.load() != 0) {
    if (bounded && GetTickCount() - start > kStopWaitMs) return false;
    Sleep(bounded ? 1 : 0);
  }
  return true;
}

// Takes back every queued buffer of an open stream (state 7 meanwhile).
void reset(mstrState* st, bool bounded, bool* drained) {
  st->state = MSTR_S_RESETTING;
  midiOutReset(out(st));
  *drained = waitDrained(st, bounded);
}

int fail(mstrState* st, int result) {
  st->state = MSTR_S_OPEN;
  return result;
}

}  // namespace

int mstrMapError(int code) {
  switch (code) {
    case MSTR_OK: return 0;
    case MSTR_INVALID:
    case MSTR_CANT_OPEN:
    case 4: return MCIERR_INVALID_FILE;
    case MSTR_NO_MEMORY: return MCIERR_OUT_OF_MEMORY;
    default: return MCIERR_UNSUPPORTED_FUNCTION;
  }
}

int mstrAllocBuffers(mstrState* st) {
  st->state = MSTR_S_CLOSED;
  st->freeList = nullptr;
  st->bufferBlock = nullptr;
  st->file = nullptr;
  const size_t stride = size_t{st->bufferSize} + kHeaderSize;
  st->bufferBlock = static_cast<uint8_t*>(mstrGlobalAlloc(st->bufferCount * stride));
  if (!st->bufferBlock) return MCIERR_OUT_OF_MEMORY;
  for (uint32_t i = 0; i < st->bufferCount; ++i) {
    auto* h = reinterpret_cast<MIDIHDR*>(st->bufferBlock + i * stride);
    *h = MIDIHDR{};
    h->lpData = reinterpret_cast<LPSTR>(h + 1);
    h->dwBufferLength = st->bufferSize;
    h->dwUser = reinterpret_cast<DWORD_PTR>(st);
    pushFree(st, h);
  }
  return 0;
}

void mstrFreeBuffers(mstrState* st) {
  mstrGlobalFree(st->bufferBlock);
  st->bufferBlock = nullptr;
  st->freeList = nullptr;
}

void mstrFreeConvHeader(mstrState* st) {
  mstrGlobalFree(st->convHeader);
  st->convHeader = nullptr;
  st->convSize = 0;
}

int mstrOpen(mstrState* st) {
  if (st->state != MSTR_S_CLOSED) return MCIERR_UNSUPPORTED_FUNCTION;
  mstrFile* file;
  const int code = mstrReadFile(st->fileName, &file);
  if (code != MSTR_OK) return mstrMapError(code);
  st->file = file;
  mstrFileInfo info;
  mstrGetFileInfo(file, &info);
  st->timeDivision = info.division;
  st->songLength = info.songLength;
  st->state = MSTR_S_OPEN;
  return 0;
}

int mstrClose(mstrState* st) {
  if (st->state != MSTR_S_OPEN) return MCIERR_UNSUPPORTED_FUNCTION;
  mstrFreeFile(st->file);
  st->file = nullptr;
  for (MIDIHDR* h = st->freeList; h; h = h->lpNext) midiOutUnprepareHeader(out(st), h, kHeaderSize);
  if (st->convHeader) midiOutUnprepareHeader(out(st), st->convHeader, kHeaderSize);
  if (st->stream) {
    midiStreamClose(st->stream);
    st->stream = nullptr;
  }
  st->state = MSTR_S_CLOSED;
  return 0;
}

int mstrCue(mstrState* st, const mstrRange* range) {
  const uint32_t state = st->state;
  if (state != MSTR_S_OPEN && state != MSTR_S_READY) return MCIERR_UNSUPPORTED_FUNCTION;
  st->startTick = range->startTick;
  st->endTick = range->endTick;
  if (st->stream) {
    bool drained;
    reset(st, false, &drained);
  }
  st->outstanding = 0;
  st->state = MSTR_S_CUEING;

  if (!st->stream) {
    UINT device = st->device;
    const MMRESULT opened = midiStreamOpen(&st->stream, &device, 1, reinterpret_cast<DWORD_PTR>(mstrCallback), 0,
                                           CALLBACK_FUNCTION);
    if (opened != MMSYSERR_NOERROR) {
      st->stream = nullptr;
      return fail(st, static_cast<int>(opened));
    }
    MIDIPROPTIMEDIV division{sizeof division, st->timeDivision};
    if (midiStreamProperty(st->stream, reinterpret_cast<BYTE*>(&division), MIDIPROP_SET | MIDIPROP_TIMEDIV) !=
        MMSYSERR_NOERROR) {
      midiStreamClose(st->stream);
      st->stream = nullptr;
      return fail(st, MCIERR_DEVICE_NOT_READY);
    }
  }

  if (!st->convHeader) {
    st->convHeader = static_cast<MIDIHDR*>(mstrGlobalAlloc(kMstrConvSize));
    if (!st->convHeader) return fail(st, MCIERR_OUT_OF_MEMORY);
    st->convSize = kMstrConvSize;
  }
  setUpConvHeader(st);

  for (;;) {
    const int code = mstrSeek(st->file, st->startTick, st->convHeader);
    if (code == MSTR_OK) break;
    if (code == MSTR_NO_MEMORY && st->convSize < kMstrConvMaxSize) {
      if (!growConvHeader(st)) return fail(st, MCIERR_OUT_OF_MEMORY);
      continue;
    }
    mstrFreeConvHeader(st);
    return fail(st, mstrMapError(code));
  }
  if (midiOutPrepareHeader(out(st), st->convHeader, kHeaderSize) != MMSYSERR_NOERROR)
    return fail(st, MCIERR_DEVICE_NOT_READY);
  st->outstanding += 1;
  if (midiStreamOut(st->stream, st->convHeader, kHeaderSize) != MMSYSERR_NOERROR) {
    st->outstanding -= 1;
    return fail(st, MCIERR_DEVICE_NOT_READY);
  }
  st->flags &= ~MSTR_SF_END;

  while (st->freeList) {
    MIDIHDR* h = st->freeList;
    st->freeList = h->lpNext;
    const int code = mstrFillBuffer(st->file, h, st->endTick);
    if (code != MSTR_OK && code != MSTR_END) {
      pushFree(st, h);
      return fail(st, mstrMapError(code));
    }
    // A buffer that cannot be queued goes back on the free list, not lost
    // to every later cue.
    MMRESULT sent = midiOutPrepareHeader(out(st), h, kHeaderSize);
    if (sent == MMSYSERR_NOERROR) {
      st->outstanding += 1;
      sent = midiStreamOut(st->stream, h, kHeaderSize);
      if (sent != MMSYSERR_NOERROR) st->outstanding -= 1;
    }
    if (sent != MMSYSERR_NOERROR) {
      pushFree(st, h);
      return fail(st, static_cast<int>(sent));
    }
    if (code == MSTR_END) {
      st->flags |= MSTR_SF_END;
      break;
    }
  }
  st->state = MSTR_S_READY;
  return 0;
}

int mstrRestart(mstrState* st) {
  if (st->state != MSTR_S_READY) return MCIERR_UNSUPPORTED_FUNCTION;
  st->state = MSTR_S_PLAYING;
  return static_cast<int>(midiStreamRestart(st->stream));
}

void CALLBACK mstrCallback(HMIDIOUT, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
  if (message != MOM_DONE) return;
  auto* h = reinterpret_cast<MIDIHDR*>(param1);
  auto* st = reinterpret_cast<mstrState*>(h->dwUser);
  st->busy += 1;
  const uint32_t state = st->state;
  if (state == MSTR_S_RESETTING) {
    // Back on the free list before the count falls: the waiting cue takes
    // the list as soon as it reads 0.
    if (h != st->convHeader) pushFree(st, h);
    st->outstanding -= 1;
  } else if (state == MSTR_S_ERROR || (st->flags & MSTR_SF_END)) {
    if (h != st->convHeader) pushFree(st, h);
    midiOutUnprepareHeader(out(st), h, kHeaderSize);
    if (st->outstanding.fetch_sub(1) == 1) {
      midiStreamClose(st->stream);
      st->stream = nullptr;
      st->state = MSTR_S_OPEN;
      PostMessageA(st->owner, MSTR_MSG_DONE, reinterpret_cast<WPARAM>(st), 1);
    }
  } else {
    st->outstanding -= 1;
    int code = mstrFillBuffer(st->file, h, st->endTick);
    if (code == MSTR_END) {
      st->flags |= MSTR_SF_END;
      code = MSTR_OK;
    }
    MMRESULT sent = MMSYSERR_ERROR;
    if (code == MSTR_OK) {
      st->outstanding += 1;
      sent = midiStreamOut(st->stream, h, kHeaderSize);
      if (sent != MMSYSERR_NOERROR) st->outstanding -= 1;
    }
    if (sent != MMSYSERR_NOERROR) {
      // The buffer is retired like the ones that come back after it.
      st->state = MSTR_S_ERROR;
      if (h != st->convHeader) pushFree(st, h);
      midiOutUnprepareHeader(out(st), h, kHeaderSize);
    }
  }
  st->busy -= 1;
}

bool mstrStop(mstrState* st) {
  // A callback that read the state before the change may still write it:
  // once none runs, the state set again stays.
  st->state = MSTR_S_RESETTING;
  const DWORD start = GetTickCount();
  while (st->busy.load() != 0) {
    if (GetTickCount() - start > kStopWaitMs) return false;
    Sleep(1);
  }
  st->state = MSTR_S_RESETTING;
  if (st->stream) {
    bool drained;
    reset(st, true, &drained);
    if (!drained) return false;
    midiStreamClose(st->stream);
    st->stream = nullptr;
  }
  st->state = st->file ? MSTR_S_OPEN : MSTR_S_CLOSED;
  return true;
}
