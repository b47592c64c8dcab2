// The MIDI file reader and stream-event converter: reads a Standard MIDI File
// (plain or in a RIFF "RMID" file) into memory, indexes its tracks and
// converts its events, merged over all tracks in time order, into the stream
// events of winmm's stream buffers. Raises nothing: every function returns a
// converter code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_mmsystem.h"

// Converter codes.
enum : int {
  MSTR_OK = 0,
  MSTR_INVALID = 1,      // invalid or truncated file
  MSTR_NO_MEMORY = 2,    // out of memory, or the seek buffer too small
  MSTR_CANT_OPEN = 3,    // the file cannot be opened
  MSTR_END = 11,         // every track ended, or the end tick was reached
  MSTR_AT_LIMIT = 12,    // the next event lies at or past the tick limit
};

// mstrFile::flags
#define MSTR_F_END 0x00000001u     // end of data
#define MSTR_F_F0_DUE 0x00000002u  // the pending long event's 0xF0 is still to write
// mstrTrack::flags
#define MSTR_TF_ENDED 0x00000001u

struct mstrFile;

struct mstrTrack {
  mstrFile* owner;
  uint32_t dataOffset;  // of the first data byte, from the start of the image
  uint32_t time;        // absolute tick of the last event consumed
  uint32_t bytesLeft;
  const uint8_t* readPtr;
  uint8_t runningStatus;  // 0: none
  uint32_t flags;
  uint32_t length;
};

// One allocation (LocalAlloc): the record, then trackCount mstrTrack records.
struct mstrFile {
  char name[128];
  uint8_t* image;  // global memory (GlobalAlloc, locked)
  uint32_t imageSize;
  uint32_t clock;       // absolute tick of the last event returned
  uint32_t songLength;  // absolute tick of the file's last event
  uint32_t format;
  uint32_t trackCount;
  uint32_t division;
  uint32_t flags;
  uint32_t pendingEvent;  // 0x80000000 while a long event is pending
  uint32_t pendingLeft;   // its bytes still to write
  const uint8_t* pendingData;
  uint32_t carry;  // delta of events passed over, due with the next event written
};

inline mstrTrack* mstrTracks(mstrFile* file) { return reinterpret_cast<mstrTrack*>(file + 1); }

struct mstrEvent {
  uint32_t delta;  // ticks since the previous event returned
  uint8_t status;  // 0x80-0xEF, 0xF0, 0xF7 or 0xFF
  uint8_t data1;   // first data byte, or the meta type
  uint8_t data2;
  uint32_t length;  // of the data of a system-exclusive or meta event
  const uint8_t* data;
};

struct mstrFileInfo {
  uint32_t trackCount;
  uint32_t format;
  uint32_t division;
  uint32_t songLength;
};

// The seek tables, one set for the process (0xFF: not seen). Only meaningful
// inside one mstrSeek call.
extern uint8_t mstrSeekTempo[3];
extern uint8_t mstrSeekProgram[16];
extern uint8_t mstrSeekControl[16 * 120];

// Global memory of the MIDI code: a moveable block, locked; null when it
// cannot be had. Freed by its locked address.
void* mstrGlobalAlloc(size_t bytes);
void mstrGlobalFree(void* address);

// Reads and parses a file; on success *file is the caller's, on failure
// nothing stays allocated. 0, 1, 2 or 3.
int mstrReadFile(const char* fileName, mstrFile** file);
// Checks the header, indexes the tracks and measures the song length. The
// record's image and imageSize are set; the record may move when it grows.
// 0, 1 or 2 (or 12 for an event at tick 0xFFFFFFFF).
int mstrParseFile(mstrFile*& file);
int mstrFreeFile(mstrFile* file);
int mstrGetFileInfo(const mstrFile* file, mstrFileInfo* info);
// Bytes used, or 0 when the quantity does not end within count bytes.
uint32_t mstrReadVarLen(const uint8_t* bytes, uint32_t count, uint32_t* value);
// 0 (an event), 1, 11 or 12.
int mstrNextEvent(mstrFile* file, mstrEvent* event, uint32_t tickLimit);
// Rewinds, replays up to startTick and writes the state collected into
// buffer. 0, 1, 2 or 11.
int mstrSeek(mstrFile* file, uint32_t startTick, MIDIHDR* buffer);
// Writes the next events before endTick into buffer. 0, 1 or 11.
int mstrFillBuffer(mstrFile* file, MIDIHDR* buffer, uint32_t endTick);
// Writes the next piece of the pending long event; the buffer has at least
// 16 free bytes. 0.
int mstrPutLongEvent(uint32_t delta, mstrFile* file, MIDIHDR* buffer);
