// Standard MIDI Files made byte by byte, parsed from memory, and converted
// into stream buffers that are read back as (tick, bytes).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32.h"
#include "sound/mstr_file.h"
#include "support/midi_events.h"

inline std::string bytes(std::initializer_list<int> list) {
  std::string out;
  for (int b : list) out += static_cast<char>(b);
  return out;
}

inline std::string be32(uint32_t v) { return bytes({int(v >> 24 & 0xFF), int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)}); }
inline std::string be16(uint32_t v) { return bytes({int(v >> 8 & 0xFF), int(v & 0xFF)}); }

inline const std::string kEndOfTrack = bytes({0x00, 0xFF, 0x2F, 0x00});

inline std::string mtrk(const std::string& events) { return "MTrk" + be32(events.size()) + events; }

// A file of the tracks given (event bytes, each ending with its own
// end-of-track event when the case wants one).
inline std::string smf(std::vector<std::string> tracks, uint32_t division = 96, uint32_t format = 1) {
  std::string out = "MThd" + be32(6) + be16(format) + be16(tracks.size()) + be16(division);
  for (const auto& t : tracks) out += mtrk(t);
  return out;
}

// A parsed file, or the parser's code.
struct ParsedFile {
  int code = -1;
  mstrFile* file = nullptr;
  explicit ParsedFile(const std::string& image) {
    file = static_cast<mstrFile*>(LocalAlloc(LMEM_ZEROINIT, sizeof(mstrFile)));
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, image.size());
    file->image = static_cast<uint8_t*>(GlobalLock(block));
    file->imageSize = static_cast<uint32_t>(image.size());
    std::copy(image.begin(), image.end(), file->image);
    code = mstrParseFile(file);
    if (code != MSTR_OK) {
      mstrFreeFile(file);
      file = nullptr;
    }
  }
  ~ParsedFile() { mstrFreeFile(file); }
  ParsedFile(const ParsedFile&) = delete;
};

// One message of a converted stream at its absolute tick: a channel message,
// a tempo as FF 51 and its three bytes, or a long message.
using TickEvent = std::pair<uint32_t, std::vector<uint8_t>>;

inline std::vector<uint8_t> messageOf(const DecodedEvent& e) {
  const uint32_t w = e.word;
  if (w & MEVT_F_LONG) return e.data;
  if (MEVT_EVENTTYPE(w) == MEVT_TEMPO)
    return {0xFF, 0x51, uint8_t(w >> 16 & 0xFF), uint8_t(w >> 8 & 0xFF), uint8_t(w & 0xFF)};
  const uint8_t status = w & 0xFF;
  if ((status & 0xE0) == 0xC0) return {status, uint8_t(w >> 8 & 0xFF)};
  return {status, uint8_t(w >> 8 & 0xFF), uint8_t(w >> 16 & 0xFF)};
}

// The buffers of a whole conversion: the seek's, then fills of bufferBytes
// until the converter reports the end (at most a bounded number).
struct Conversion {
  int seekCode = -1;
  int lastFill = -1;
  std::vector<std::vector<DecodedEvent>> buffers;  // the seek's first
};

inline Conversion convert(mstrFile* file, uint32_t bufferBytes, uint32_t startTick, uint32_t endTick,
                          uint32_t seekBytes = 4096) {
  Conversion c;
  StreamBuffer seek(seekBytes);
  c.seekCode = mstrSeek(file, startTick, &seek.header);
  if (c.seekCode != MSTR_OK) return c;
  c.buffers.push_back(decodeStream(seek.header));
  for (int guard = 0; guard < 100000; ++guard) {
    StreamBuffer b(bufferBytes);
    c.lastFill = mstrFillBuffer(file, &b.header, endTick);
    if (b.header.dwBytesRecorded) c.buffers.push_back(decodeStream(b.header));
    if (c.lastFill != MSTR_OK) break;
  }
  return c;
}

// The messages at their absolute ticks; the pieces of a long message split
// over buffers are joined.
inline std::vector<TickEvent> ticksOf(const Conversion& c) {
  std::vector<TickEvent> out;
  uint32_t tick = 0;
  bool joining = false;
  for (const auto& buffer : c.buffers) {
    for (const auto& e : buffer) {
      tick += e.delta;
      std::vector<uint8_t> m = messageOf(e);
      if (joining && (e.word & MEVT_F_LONG)) {
        out.back().second.insert(out.back().second.end(), m.begin(), m.end());
      } else {
        out.emplace_back(tick, m);
      }
      joining = (e.word & MEVT_F_LONG) && !out.back().second.empty() && out.back().second.back() != 0xF7;
    }
  }
  return out;
}
