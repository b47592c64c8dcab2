// The checks the MIDI fuzz targets run on a file that parsed: its events
// converted without a malformed event. Seeks at tick 0, in the middle and
// at the end, each followed by fills into small buffers until the end of
// data, never return 1, never write past a buffer and always make progress.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/win32.h"
#include "sound/mstr_file.h"

namespace fuzz {

struct MidiBuffer {
  MIDIHDR header{};
  std::vector<uint32_t> words;
  explicit MidiBuffer(uint32_t bytes) : words(bytes / 4) {
    header.lpData = reinterpret_cast<LPSTR>(words.data());
    header.dwBufferLength = bytes;
  }
};

// Walks the events a converter wrote; they must lie inside the recorded bytes.
inline void checkMidiEvents(const MIDIHDR& h) {
  if (h.dwBytesRecorded > h.dwBufferLength || h.dwBytesRecorded % 4) std::abort();
  uint32_t at = 0;
  while (at < h.dwBytesRecorded) {
    if (h.dwBytesRecorded - at < 12) std::abort();
    uint32_t event;
    std::memcpy(&event, h.lpData + at + 8, 4);
    at += 12;
    if (event & MEVT_F_LONG) at += (MEVT_EVENTPARM(event) + 3) & ~3u;
  }
  if (at != h.dwBytesRecorded) std::abort();
}

inline void convertMidi(mstrFile* file, uint32_t start, uint32_t fillBytes) {
  MidiBuffer seek(4096 - sizeof(MIDIHDR));
  const int code = mstrSeek(file, start, &seek.header);
  if (code == 1) std::abort();
  if (code != 0) return;
  checkMidiEvents(seek.header);
  const uint64_t bound = uint64_t{file->imageSize} * 2 + 16;
  for (uint64_t i = 0;; ++i) {
    if (i > bound) std::abort();
    MidiBuffer b(fillBytes);
    const int fill = mstrFillBuffer(file, &b.header, file->songLength + 1);
    if (fill == 1) std::abort();
    checkMidiEvents(b.header);
    if (fill == 11) break;
    if (fill != 0 || b.header.dwBytesRecorded == 0) std::abort();
  }
}

// The three conversions, in buffers of 16 to 76 bytes (from `choice`) and
// of 1024 bytes.
inline void convertMidiEverywhere(mstrFile* file, uint8_t choice) {
  const uint32_t fillBytes = 16 + 4 * (choice % 16);
  convertMidi(file, 0, fillBytes);
  convertMidi(file, file->songLength / 2, fillBytes);
  convertMidi(file, file->songLength, 1024);
}

}  // namespace fuzz
