// winmm services of the engine: timeGetTime, wave formats and MCI
// notifications, mmio file reading and the MIDI stream interface. The
// stream plays through one software synthesizer (FluidSynth) rendered into
// the audio device's MIDI input; there is a device only when a SoundFont is
// found (the environment's TALVO_SOUNDFONT, else Debian's
// /usr/share/sounds/sf2/TimGM6mb.sf2).
#pragma once

#include "platform/win_types.h"

// Milliseconds of the performance counter's clock (the test API's manual
// clock while it runs), wrapping at 2^32.
DWORD timeGetTime();

#define CALLBACK

using MMRESULT = UINT;
using FOURCC = DWORD;
using DWORD_PTR = ULONG_PTR;
using HPSTR = char*;

#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_NOTSUPPORTED 8
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11

// MCI error codes, which the MIDI player reports too.
#define MCIERR_BASE 256
#define MCIERR_OUT_OF_MEMORY (MCIERR_BASE + 8)
#define MCIERR_UNSUPPORTED_FUNCTION (MCIERR_BASE + 18)
#define MCIERR_DEVICE_NOT_READY (MCIERR_BASE + 20)
#define MCIERR_INVALID_FILE (MCIERR_BASE + 40)

// --- mmio: buffered reading of RIFF files over the platform's file layer ---

struct HMMIO__;
using HMMIO = HMMIO__*;

#define mmioFOURCC(a, b, c, d)                                                                     \
  (static_cast<FOURCC>(static_cast<BYTE>(a)) | (static_cast<FOURCC>(static_cast<BYTE>(b)) << 8) | \
   (static_cast<FOURCC>(static_cast<BYTE>(c)) << 16) | (static_cast<FOURCC>(static_cast<BYTE>(d)) << 24))
#define FOURCC_RIFF mmioFOURCC('R', 'I', 'F', 'F')
#define FOURCC_LIST mmioFOURCC('L', 'I', 'S', 'T')

#define MMIO_READ 0x00000000u
#define MMIO_WRITE 0x00000001u
#define MMIO_READWRITE 0x00000002u
#define MMIO_ALLOCBUF 0x00010000u

#define MMIO_FINDCHUNK 0x0010u
#define MMIO_FINDRIFF 0x0020u
#define MMIO_FINDLIST 0x0040u

#define MMIOERR_BASE 256
#define MMIOERR_FILENOTFOUND (MMIOERR_BASE + 1)
#define MMIOERR_OUTOFMEMORY (MMIOERR_BASE + 2)
#define MMIOERR_CANNOTOPEN (MMIOERR_BASE + 3)
#define MMIOERR_CANNOTREAD (MMIOERR_BASE + 5)
#define MMIOERR_CANNOTSEEK (MMIOERR_BASE + 7)
#define MMIOERR_CHUNKNOTFOUND (MMIOERR_BASE + 9)

// The open parameters and status of an mmio file. Only wErrorRet is used:
// it receives the reason of a failed open. The I/O procedure and buffer
// fields are not supported (leave them zero).
struct MMIOINFO {
  DWORD dwFlags;
  FOURCC fccIOProc;
  void* pIOProc;
  UINT wErrorRet;
  HANDLE htask;
  LONG cchBuffer;
  HPSTR pchBuffer;
  HPSTR pchNext;
  HPSTR pchEndRead;
  HPSTR pchEndWrite;
  LONG lBufOffset;
  LONG lDiskOffset;
  DWORD adwInfo[3];
  DWORD dwReserved1;
  DWORD dwReserved2;
  HMMIO hmmio;
};
using LPMMIOINFO = MMIOINFO*;

struct MMCKINFO {
  FOURCC ckid;
  DWORD cksize;
  FOURCC fccType;       // form type of a RIFF or LIST chunk
  DWORD dwDataOffset;   // file offset of the chunk's data (after id and size)
  DWORD dwFlags;
};
using LPMMCKINFO = MMCKINFO*;

// Opens a file for reading (MMIO_READ, with or without MMIO_ALLOCBUF; the
// path resolves as every path does). Null on failure, with info->wErrorRet
// set when info is given: MMIOERR_FILENOTFOUND, MMIOERR_CANNOTOPEN, or
// MMSYSERR_INVALFLAG for writing modes.
HMMIO mmioOpenA(LPSTR fileName, LPMMIOINFO info, DWORD flags);
// 0, or MMIOERR_CANNOTREAD... never fails for an open handle.
MMRESULT mmioClose(HMMIO mmio, UINT flags);
// Bytes read (0 at the end of the file), or -1.
LONG mmioRead(HMMIO mmio, HPSTR buffer, LONG count);
// The new position, or -1 (also for a position past 2^31 - 1 or before 0).
LONG mmioSeek(HMMIO mmio, LONG offset, int origin);
// Reads the chunk header at the current position and, with MMIO_FINDCHUNK
// (ckid), MMIO_FINDRIFF or MMIO_FINDLIST (a form type of 0 matches any),
// skips chunks until one matches, inside parent when given. On success the
// position is the chunk's data, after the form type of a RIFF or LIST chunk;
// otherwise MMIOERR_CHUNKNOTFOUND.
MMRESULT mmioDescend(HMMIO mmio, LPMMCKINFO chunk, const MMCKINFO* parent, UINT flags);

// --- the MIDI stream interface ---

struct HMIDIOUT__;
struct HMIDISTRM__;
using HMIDIOUT = HMIDIOUT__*;
using HMIDISTRM = HMIDISTRM__*;

#define MIDI_MAPPER (static_cast<UINT>(-1))

#define MIDIERR_BASE 64
#define MIDIERR_UNPREPARED (MIDIERR_BASE + 0)
#define MIDIERR_STILLPLAYING (MIDIERR_BASE + 1)

#define CALLBACK_NULL 0x00000000u
#define CALLBACK_FUNCTION 0x00030000u
#define CALLBACK_TYPEMASK 0x00070000u

#define MOM_OPEN 0x3C7
#define MOM_CLOSE 0x3C8
#define MOM_DONE 0x3C9

// A stream buffer. The application owns lpNext and the reserved fields: the
// layer never touches them.
struct MIDIHDR {
  LPSTR lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  MIDIHDR* lpNext;
  DWORD_PTR reserved;
  DWORD dwOffset;
  DWORD_PTR dwReserved[8];
};
using LPMIDIHDR = MIDIHDR*;

#define MHDR_DONE 0x00000001u
#define MHDR_PREPARED 0x00000002u
#define MHDR_INQUEUE 0x00000004u
#define MHDR_ISSTRM 0x00000008u

// A stream event in a buffer: three words, then for long events the data,
// padded to a multiple of 4 bytes.
struct MIDIEVENT {
  DWORD dwDeltaTime;
  DWORD dwStreamID;
  DWORD dwEvent;
  DWORD dwParms[1];
};

#define MEVT_F_SHORT 0x00000000u
#define MEVT_F_LONG 0x80000000u
#define MEVT_F_CALLBACK 0x40000000u
#define MEVT_EVENTTYPE(x) (static_cast<BYTE>(((x) >> 24) & 0xFF))
#define MEVT_EVENTPARM(x) (static_cast<DWORD>((x) & 0x00FFFFFFu))
#define MEVT_SHORTMSG 0x00
#define MEVT_TEMPO 0x01
#define MEVT_NOP 0x02
#define MEVT_LONGMSG 0x80
#define MEVT_COMMENT 0x82
#define MEVT_VERSION 0x84

#define MIDIPROP_SET 0x80000000u
#define MIDIPROP_GET 0x40000000u
#define MIDIPROP_TIMEDIV 0x00000001u
#define MIDIPROP_TEMPO 0x00000002u

struct MIDIPROPTIMEDIV {
  DWORD cbStruct;
  DWORD dwTimeDiv;
};

#define MOD_MAPPER 5
#define MOD_SWSYNTH 7
#define MIDICAPS_VOLUME 0x0001u
#define MIDICAPS_LRVOLUME 0x0002u
#define MIDICAPS_STREAM 0x0008u

struct MIDIOUTCAPSA {
  WORD wMid;
  WORD wPid;
  UINT vDriverVersion;
  CHAR szPname[32];
  WORD wTechnology;
  WORD wVoices;
  WORD wNotes;
  WORD wChannelMask;
  DWORD dwSupport;
};
static_assert(sizeof(MIDIOUTCAPSA) == 52, "the capabilities keep their Windows size");

using MIDICALLBACK = void (*)(HMIDIOUT stream, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                              DWORD_PTR param2);

// 1 when the synthesizer has a SoundFont (or the test API's recording sink
// stands in for it), else 0. Device 0 is the synthesizer; MIDI_MAPPER maps
// onto it.
UINT midiOutGetNumDevs();
// Copies min(size, sizeof(MIDIOUTCAPSA)) bytes of the capabilities of device
// 0 or the mapper; MMSYSERR_BADDEVICEID for any other id or without a device.
MMRESULT midiOutGetDevCapsA(UINT_PTR deviceId, MIDIOUTCAPSA* caps, UINT size);

// Opens the one stream (a second open while one is open: MMSYSERR_ALLOCATED).
// count must be 1; flags CALLBACK_FUNCTION (callback is a MIDICALLBACK) or
// CALLBACK_NULL. The stream opens paused at position 0, 96 ticks per quarter
// note, 500000 microseconds per quarter note.
MMRESULT midiStreamOpen(HMIDISTRM* stream, UINT* deviceId, DWORD count, DWORD_PTR callback,
                        DWORD_PTR instance, DWORD flags);
// MIDIPROP_SET or MIDIPROP_GET with MIDIPROP_TIMEDIV (a MIDIPROPTIMEDIV;
// quarter-note divisions, or SMPTE ones when bit 15 is set: the high byte the
// negative frame rate -24, -25, -29 or -30, the low byte ticks per frame).
MMRESULT midiStreamProperty(HMIDISTRM stream, BYTE* data, DWORD property);
// A header must be at least sizeof(MIDIHDR); preparing twice is allowed.
MMRESULT midiOutPrepareHeader(HMIDIOUT stream, MIDIHDR* header, UINT size);
// MIDIERR_STILLPLAYING while the header is queued.
MMRESULT midiOutUnprepareHeader(HMIDIOUT stream, MIDIHDR* header, UINT size);
// Queues a prepared buffer behind the others (MIDIERR_UNPREPARED,
// MIDIERR_STILLPLAYING when already queued, MMSYSERR_INVALPARAM when
// dwBytesRecorded exceeds dwBufferLength).
MMRESULT midiStreamOut(HMIDISTRM stream, MIDIHDR* header, UINT size);
// Starts (or resumes) the stream clock.
MMRESULT midiStreamRestart(HMIDISTRM stream);
// Turns off every sounding note, returns every queued buffer through MOM_DONE,
// pauses the stream and resets its position and tempo.
MMRESULT midiOutReset(HMIDIOUT stream);
// MIDIERR_STILLPLAYING while buffers are queued. From any thread but the
// callback thread it returns once the callbacks already due for the stream
// have run.
MMRESULT midiStreamClose(HMIDISTRM stream);

// The notification message of MCI devices; the sound code posts it when a
// sound has ended.
#define MM_MCINOTIFY 0x3B9
#define MCI_NOTIFY_SUCCESSFUL 0x0001
#define MCI_NOTIFY_SUPERSEDED 0x0002
#define MCI_NOTIFY_ABORTED 0x0004
#define MCI_NOTIFY_FAILURE 0x0008

#define WAVE_FORMAT_PCM 1

struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
using LPWAVEFORMATEX = WAVEFORMATEX*;
using LPCWAVEFORMATEX = const WAVEFORMATEX*;
