// The music player.
#include "sound/midi_player.h"

#include <new>

namespace {

constexpr uint32_t kBufferCount = 4;
constexpr uint32_t kBufferSize = 1024;
static_assert(kBufferSize % 4 == 0, "stream buffers in 4-byte steps");

}  // namespace

MidiPlayer::MidiPlayer(HWND owner) : m_owner(owner) {
  m_state = new (std::nothrow) mstrState{};
  if (m_state) {
    m_state->bufferCount = kBufferCount;
    m_state->bufferSize = kBufferSize;
    if (mstrAllocBuffers(m_state) != 0) {
      delete m_state;
      m_state = nullptr;
    }
  }
  MIDIOUTCAPSA caps;
  if (midiOutGetNumDevs() > 0 && midiOutGetDevCapsA(MIDI_MAPPER, &caps, sizeof caps) == MMSYSERR_NOERROR)
    m_device = MIDI_MAPPER;
  if (m_state) m_state->owner = m_owner;
}

MidiPlayer::~MidiPlayer() {
  if (!m_state) return;
  // Stop the stream before anything it uses is freed; if winmm still held
  // buffers after the wait, leaving them is safer than freeing them under it.
  if (!mstrStop(m_state)) return;
  mstrClose(m_state);
  mstrFreeConvHeader(m_state);
  mstrFreeBuffers(m_state);
  delete m_state;
}

int MidiPlayer::Play(const char* fileName) {
  if (!m_state) return MCIERR_OUT_OF_MEMORY;
  if (m_state->state != MSTR_S_CLOSED) return MCIERR_UNSUPPORTED_FUNCTION;
  m_name = fileName ? fileName : "";
  m_state->fileName = m_name.c_str();
  const int opened = mstrOpen(m_state);
  if (opened != 0) return opened;
  const int cued = CueSong();
  return cued == 0 ? mstrRestart(m_state) : cued;
}

int MidiPlayer::CueSong() {
  m_state->device = m_device;
  const mstrRange range{0, m_state->songLength + 1};
  return mstrCue(m_state, &range);
}

bool MidiPlayer::Cue() { return m_state && CueSong() == 0; }

void MidiPlayer::OnMessage(UINT message) {
  if (message != MSTR_MSG_DONE || !m_state) return;
  if (Cue()) mstrRestart(m_state);
}
