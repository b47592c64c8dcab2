// The music player: plays one MIDI file through the stream module and, on
// MSTR_MSG_DONE, plays it again from its start.
#pragma once

#include <string>

#include "platform/win_types.h"
#include "sound/mstr_stream.h"

class MidiPlayer {
 public:
  explicit MidiPlayer(HWND owner);
  ~MidiPlayer();
  MidiPlayer(const MidiPlayer&) = delete;
  MidiPlayer& operator=(const MidiPlayer&) = delete;

  // 0 when the music started; otherwise the failing step's result (264
  // without a state block, 274 while a file is open, 296 for a missing or
  // invalid file, a winmm result when there is no MIDI device).
  int Play(const char* fileName);
  // Cues the song from its start, the stream paused; true on success.
  bool Cue();
  // Acts on MSTR_MSG_DONE only: cues and restarts the song.
  void OnMessage(UINT message);

 private:
  int CueSong();

  mstrState* m_state = nullptr;  // null when its buffers could not be had
  UINT m_device = 0;             // MIDI_MAPPER when a device answers
  HWND m_owner;
  std::string m_name;
};
