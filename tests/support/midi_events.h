// Stream buffers as winmm plays them: a builder for tests that queue their
// own events, and a decoder for tests that check what a converter wrote.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win_mmsystem.h"

// One stream buffer: a MIDIHDR over its own 4-byte aligned data.
struct StreamBuffer {
  MIDIHDR header{};
  std::vector<uint32_t> words;

  explicit StreamBuffer(uint32_t bytes = 1024) : words(bytes / 4) {
    header.lpData = reinterpret_cast<LPSTR>(words.data());
    header.dwBufferLength = bytes;
  }
  StreamBuffer(const StreamBuffer&) = delete;

  void put(uint32_t word) {
    std::memcpy(header.lpData + header.dwBytesRecorded, &word, 4);
    header.dwBytesRecorded += 4;
  }
  StreamBuffer& shortMsg(uint32_t delta, uint32_t message) {
    put(delta), put(0), put(message);
    return *this;
  }
  StreamBuffer& tempo(uint32_t delta, uint32_t microseconds) {
    put(delta), put(0), put(uint32_t{MEVT_TEMPO} << 24 | microseconds);
    return *this;
  }
  StreamBuffer& event(uint32_t delta, uint32_t word) {
    put(delta), put(0), put(word);
    return *this;
  }
  StreamBuffer& longMsg(uint32_t delta, const std::vector<uint8_t>& bytes) {
    put(delta), put(0), put(uint32_t{MEVT_LONGMSG} << 24 | static_cast<uint32_t>(bytes.size()));
    std::memcpy(header.lpData + header.dwBytesRecorded, bytes.data(), bytes.size());
    header.dwBytesRecorded += (static_cast<uint32_t>(bytes.size()) + 3) & ~3u;
    return *this;
  }
};

// A stream event read back: its delta, its event word and, for a long event,
// its data.
struct DecodedEvent {
  uint32_t delta;
  uint32_t word;
  std::vector<uint8_t> data;
  bool operator==(const DecodedEvent&) const = default;
};

// The events of a buffer's recorded bytes; stops at a malformed tail.
inline std::vector<DecodedEvent> decodeStream(const MIDIHDR& h) {
  std::vector<DecodedEvent> out;
  uint32_t at = 0;
  while (at + 12 <= h.dwBytesRecorded) {
    uint32_t w[3];
    std::memcpy(w, h.lpData + at, 12);
    DecodedEvent e{w[0], w[2], {}};
    at += 12;
    if (w[2] & MEVT_F_LONG) {
      const uint32_t n = MEVT_EVENTPARM(w[2]);
      if (at + n > h.dwBytesRecorded) break;
      e.data.assign(reinterpret_cast<const uint8_t*>(h.lpData) + at, reinterpret_cast<const uint8_t*>(h.lpData) + at + n);
      at += (n + 3) & ~3u;
    }
    out.push_back(std::move(e));
  }
  return out;
}
