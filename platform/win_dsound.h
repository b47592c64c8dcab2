// DirectSound, over one SDL audio device per process.
//
// The device plays 44100 Hz stereo 16-bit. DirectSoundCreate opens it, paused;
// the primary buffer's Play starts it; it closes when the last DirectSound
// object is released (a buffer holds a reference on the object that made
// it). The mixer adds every playing secondary buffer to the output: 8-bit
// unsigned or 16-bit signed PCM, mono or stereo, 100 to 100000 Hz resampled
// linearly; gain 10^(volume/2000), the pan attenuating the other side alike;
// the sum clipped to 16 bits.
//
// A buffer's play cursor follows the frames mixed, in steps of at most one
// device period (512 frames), and wraps while the buffer loops; the write
// cursor stands a period ahead of it. A non-looping buffer stops at its end
// (its cursor back at 0) and reports not playing; Play on a playing buffer
// changes only the looping flag; Stop keeps the position. Lock gives one
// region, or two when it wraps past the end; what is written there becomes
// audible at Unlock, never half-written. DSBCAPS_GLOBALFOCUS, DSBCAPS_STATIC
// and the location flags change nothing; the primary buffer's SetFormat is
// recorded only.
//
// Every method and DirectSoundCreate is traced and takes injected faults
// (platform/test_api.h); beyond object, flags and result a record holds:
//   DirectSoundCreate: object = the new IDirectSound
//   SetCooperativeLevel: flags = the level
//   CreateSoundBuffer: object = the new buffer, flags = its flags,
//                      values = {bytes, channels, rate, bits} (bytes only without a format)
//   Lock: values = {offset, bytes}    Unlock: values = {bytes1, bytes2}
//   Play: flags     GetStatus: values = {status}
//   GetCurrentPosition: values = {play, write}
//   SetVolume: values = {volume}      SetPan: values = {pan}
//   SetFormat: values = {channels, rate, bits}
//   Release: values = {references left}
#pragma once

#include "platform/win_com.h"
#include "platform/win_mmsystem.h"
#include "platform/win_types.h"

#define DS_FACILITY 0x878
#define MAKE_DSHRESULT(code) MAKE_HRESULT(1, DS_FACILITY, code)

#define DS_OK S_OK
#define DSERR_ALLOCATED MAKE_DSHRESULT(10)
#define DSERR_CONTROLUNAVAIL MAKE_DSHRESULT(30)
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_INVALIDCALL MAKE_DSHRESULT(50)
#define DSERR_GENERIC E_FAIL
#define DSERR_PRIOLEVELNEEDED MAKE_DSHRESULT(70)
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_BADFORMAT MAKE_DSHRESULT(100)
#define DSERR_UNSUPPORTED E_NOTIMPL
#define DSERR_NODRIVER MAKE_DSHRESULT(120)
#define DSERR_ALREADYINITIALIZED MAKE_DSHRESULT(130)
#define DSERR_NOAGGREGATION CLASS_E_NOAGGREGATION
#define DSERR_BUFFERLOST MAKE_DSHRESULT(150)
#define DSERR_OTHERAPPHASPRIO MAKE_DSHRESULT(160)
#define DSERR_UNINITIALIZED MAKE_DSHRESULT(170)

#define DSSCL_NORMAL 0x00000001
#define DSSCL_PRIORITY 0x00000002
#define DSSCL_EXCLUSIVE 0x00000003
#define DSSCL_WRITEPRIMARY 0x00000004

#define DSCAPS_PRIMARYMONO 0x00000001
#define DSCAPS_PRIMARYSTEREO 0x00000002
#define DSCAPS_PRIMARY8BIT 0x00000004
#define DSCAPS_PRIMARY16BIT 0x00000008

#define DSBCAPS_PRIMARYBUFFER 0x00000001
#define DSBCAPS_STATIC 0x00000002
#define DSBCAPS_LOCHARDWARE 0x00000004
#define DSBCAPS_LOCSOFTWARE 0x00000008
#define DSBCAPS_CTRLFREQUENCY 0x00000020
#define DSBCAPS_CTRLPAN 0x00000040
#define DSBCAPS_CTRLVOLUME 0x00000080
#define DSBCAPS_GLOBALFOCUS 0x00008000
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000

#define DSBPLAY_LOOPING 0x00000001

#define DSBSTATUS_PLAYING 0x00000001
#define DSBSTATUS_BUFFERLOST 0x00000002
#define DSBSTATUS_LOOPING 0x00000004

#define DSBLOCK_FROMWRITECURSOR 0x00000001
#define DSBLOCK_ENTIREBUFFER 0x00000002

#define DSBVOLUME_MIN (-10000)
#define DSBVOLUME_MAX 0
#define DSBPAN_LEFT (-10000)
#define DSBPAN_CENTER 0
#define DSBPAN_RIGHT 10000
#define DSBFREQUENCY_MIN 100
#define DSBFREQUENCY_MAX 100000
#define DSBSIZE_MIN 4
#define DSBSIZE_MAX 0x0FFFFFFF

struct DSCAPS {
  DWORD dwSize;  // sizeof(DSCAPS)
  DWORD dwFlags;
  DWORD dwMinSecondarySampleRate;
  DWORD dwMaxSecondarySampleRate;
  DWORD dwPrimaryBuffers;
  DWORD dwMaxHwMixingAllBuffers;
  DWORD dwMaxHwMixingStaticBuffers;
  DWORD dwMaxHwMixingStreamingBuffers;
  DWORD dwFreeHwMixingAllBuffers;
  DWORD dwFreeHwMixingStaticBuffers;
  DWORD dwFreeHwMixingStreamingBuffers;
  DWORD dwMaxHw3DAllBuffers;
  DWORD dwMaxHw3DStaticBuffers;
  DWORD dwMaxHw3DStreamingBuffers;
  DWORD dwFreeHw3DAllBuffers;
  DWORD dwFreeHw3DStaticBuffers;
  DWORD dwFreeHw3DStreamingBuffers;
  DWORD dwTotalHwMemBytes;
  DWORD dwFreeHwMemBytes;
  DWORD dwMaxContigFreeHwMemBytes;
  DWORD dwUnlockTransferRateHwBuffers;
  DWORD dwPlayCpuOverheadSwBuffers;
  DWORD dwReserved1;
  DWORD dwReserved2;
};
using LPDSCAPS = DSCAPS*;

struct DSBUFFERDESC {
  DWORD dwSize;  // sizeof(DSBUFFERDESC)
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwReserved;
  LPWAVEFORMATEX lpwfxFormat;
  GUID guid3DAlgorithm;
};
using LPCDSBUFFERDESC = const DSBUFFERDESC*;

struct IDirectSoundBuffer {
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
  virtual HRESULT GetCurrentPosition(DWORD* play, DWORD* write) = 0;
  virtual HRESULT GetStatus(DWORD* status) = 0;
  virtual HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* ptr1, DWORD* bytes1, LPVOID* ptr2, DWORD* bytes2,
                       DWORD flags) = 0;
  virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
  virtual HRESULT SetFormat(LPCWAVEFORMATEX format) = 0;
  virtual HRESULT SetVolume(LONG volume) = 0;
  virtual HRESULT SetPan(LONG pan) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) = 0;

 protected:
  ~IDirectSoundBuffer() = default;
};
using LPDIRECTSOUNDBUFFER = IDirectSoundBuffer*;

struct IDirectSound {
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
  virtual HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, void* outer) = 0;
  virtual HRESULT GetCaps(LPDSCAPS caps) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;

 protected:
  ~IDirectSound() = default;
};
using LPDIRECTSOUND = IDirectSound*;

// device: null for the default device (the only one). DSERR_NODRIVER when
// the audio device cannot be opened (no driver, or SDL_AUDIODRIVER names
// none that works).
HRESULT DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* sound, void* outer);
