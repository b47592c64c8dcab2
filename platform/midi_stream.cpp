// winmm's MIDI stream interface over the MIDI output (platform/midi_out.h).
//
// The first call that needs the device opens the audio device (once, for the
// process) and renders the stream into its second input: the stream clock is
// the device's frame count since midiStreamRestart. Every period the device
// renders plays the events whose time falls in it, each at its own frame,
// and renders the synthesizer between them. A buffer is done when its last
// event has played; its MOM_DONE goes to the callback thread, which calls the
// application in queue order without any lock of the layer held, so the
// callback may queue, unprepare and close.
//
// Lock order: the device's input lock (held around renderInput), then the
// streams' lock, then the output's and the dispatcher's. So nothing here
// calls into the audio device while holding a lock of the layer.
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "platform/call_trace.h"
#include "platform/midi_out.h"
#include "platform/test_api.h"
#include "platform/win_mmsystem.h"

namespace {

using u128 = unsigned __int128;

constexpr DWORD kDefaultTempo = 500000;  // microseconds per quarter note
constexpr DWORD kDefaultTimeDiv = 96;
constexpr size_t kMaxSysEx = 65536;  // a longer message is dropped

struct Stream {
  bool open = true;
  bool playing = false;
  MIDICALLBACK callback = nullptr;
  DWORD_PTR instance = 0;
  std::deque<MIDIHDR*> queue;
  DWORD offset = 0;  // of the next event in queue.front()
  DWORD tempo = kDefaultTempo;
  DWORD timeDiv = kDefaultTimeDiv;
  // Time of the last event played, in frames times tickScale().den.
  u128 time = 0;
  uint64_t frames = 0;  // played since midiStreamRestart
  BYTE runningStatus = 0;
  bool gathering = false;  // inside a system-exclusive message
  std::vector<BYTE> sysex;
  int pendingCallbacks = 0;  // queued or running; guarded by the dispatcher
};

// One tick lasts num / den frames.
struct TickScale {
  u128 num;
  u128 den;
};

TickScale tickScale(const Stream& s) {
  const u128 rate = static_cast<u128>(plat::detail::kAudioRate);
  if (s.timeDiv & 0x8000) {
    const int fps = -static_cast<int8_t>(s.timeDiv >> 8);
    const u128 perFrame = s.timeDiv & 0xFF;
    if (fps == 29) return {rate * 1001, 30000 * perFrame};  // 29.97 frames per second
    return {rate, static_cast<u128>(fps) * perFrame};
  }
  return {static_cast<u128>(s.tempo) * rate, static_cast<u128>(s.timeDiv) * 1000000};
}

bool validTimeDiv(DWORD timeDiv) {
  if (timeDiv > 0xFFFF) return false;
  if (!(timeDiv & 0x8000)) return timeDiv != 0;
  const int fps = -static_cast<int8_t>(timeDiv >> 8);
  return (fps == 24 || fps == 25 || fps == 29 || fps == 30) && (timeDiv & 0xFF) != 0;
}

// --- the callback thread ---

struct Callback {
  Stream* stream;
  MIDICALLBACK fn;
  UINT message;
  DWORD_PTR instance;
  DWORD_PTR param1;
};

struct Dispatcher {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Callback> queue;
  bool running = false;
  std::thread::id thread;
};

// Lives for the process, as its thread does: a stream may be reset and
// closed during static destruction.
Dispatcher& dispatcher() {
  static Dispatcher* d = [] {
    auto* made = new Dispatcher;
    std::thread worker([made] {
      std::unique_lock<std::mutex> lock(made->mutex);
      for (;;) {
        made->changed.wait(lock, [made] { return !made->queue.empty(); });
        Callback c = made->queue.front();
        made->queue.pop_front();
        made->running = true;
        lock.unlock();
        c.fn(reinterpret_cast<HMIDIOUT>(c.stream), c.message, c.instance, c.param1, 0);
        lock.lock();
        made->running = false;
        --c.stream->pendingCallbacks;
        made->changed.notify_all();
      }
    });
    made->thread = worker.get_id();
    worker.detach();
    return made;
  }();
  return *d;
}

void post(Stream* s, UINT message, DWORD_PTR param1) {
  if (!s->callback) return;
  Dispatcher& d = dispatcher();
  std::lock_guard<std::mutex> lock(d.mutex);
  d.queue.push_back({s, s->callback, message, s->instance, param1});
  ++s->pendingCallbacks;
  d.changed.notify_all();
}

// --- streams ---

// Guards every stream and the frame count; taken before the output's lock and
// the dispatcher's.
std::mutex g_mutex;
std::vector<Stream*>* g_streams = new std::vector<Stream*>;  // every record made; they live for the process
Stream* g_open = nullptr;                                    // the one open stream
uint64_t g_frames = 0;                                       // the device has rendered through the input

Stream* streamOf(const void* handle) {
  for (Stream* s : *g_streams)
    if (s == handle) return s->open ? s : nullptr;
  return nullptr;
}

void sendToChannels(BYTE controller) {
  for (BYTE channel = 0; channel < 16; ++channel)
    plat::midi::shortMessage(static_cast<BYTE>(0xB0 | channel), controller, 0, g_frames);
}

void finishBuffer(Stream* s) {
  MIDIHDR* h = s->queue.front();
  s->queue.pop_front();
  s->offset = 0;
  h->dwFlags = (h->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
  post(s, MOM_DONE, reinterpret_cast<DWORD_PTR>(h));
}

void playShort(Stream* s, DWORD message, uint64_t frame) {
  BYTE status = message & 0xFF, data1 = (message >> 8) & 0x7F, data2 = (message >> 16) & 0x7F;
  if (status < 0x80) {  // running status
    if (!s->runningStatus) return;
    data2 = data1;
    data1 = status;
    status = s->runningStatus;
  } else if (status < 0xF0) {
    s->runningStatus = status;
  } else {
    if (status < 0xF8) s->runningStatus = 0;
    return;  // system messages mean nothing to the synthesizer
  }
  plat::midi::shortMessage(status, data1, data2, frame);
}

// Long messages are gathered from 0xF0 to 0xF7, so a message split over
// several events (or buffers) reaches the output whole.
void playLong(Stream* s, const BYTE* data, DWORD size, uint64_t frame) {
  for (DWORD i = 0; i < size; ++i) {
    const BYTE b = data[i];
    if (b == 0xF0) {
      s->sysex.clear();
      s->gathering = true;
    }
    if (!s->gathering) continue;
    s->sysex.push_back(b);
    if (b == 0xF7) {
      plat::midi::systemExclusive(s->sysex.data(), s->sysex.size(), frame);
      s->gathering = false;
    } else if (s->sysex.size() > kMaxSysEx) {
      s->gathering = false;
    }
    if (!s->gathering) s->sysex.clear();
  }
}

DWORD word(const MIDIHDR* h, DWORD offset) {
  DWORD w;
  std::memcpy(&w, h->lpData + offset, 4);
  return w;
}

// Plays the events of the open stream that fall in the block of count frames
// starting at out, rendering the synthesizer up to each.
void renderStream(Stream* s, int16_t* out, uint32_t count) {
  uint32_t done = 0;
  const uint64_t first = s->frames;
  while (!s->queue.empty()) {
    MIDIHDR* h = s->queue.front();
    const DWORD recorded = h->dwBytesRecorded;
    if (recorded < 12 || s->offset > recorded - 12) {
      finishBuffer(s);  // played out (or a tail too short for an event)
      continue;
    }
    const DWORD delta = word(h, s->offset), event = word(h, s->offset + 8);
    DWORD size = 12;
    if (event & MEVT_F_LONG) size += (MEVT_EVENTPARM(event) + 3) & ~3u;
    if (size > recorded - s->offset) {
      finishBuffer(s);
      continue;
    }
    const TickScale scale = tickScale(*s);
    const u128 at = s->time + static_cast<u128>(delta) * scale.num;
    const u128 frame = at / scale.den;
    if (frame >= first + count) break;
    uint32_t offset = frame > first ? static_cast<uint32_t>(frame - first) : 0;  // late events play at once
    if (offset < done) offset = done;
    plat::midi::renderSynth(out + 2 * static_cast<size_t>(done), offset - done);
    done = offset;
    s->time = at;
    const uint64_t when = g_frames + offset;
    switch (MEVT_EVENTTYPE(event) & ~(MEVT_F_CALLBACK >> 24)) {
      case MEVT_SHORTMSG: playShort(s, MEVT_EVENTPARM(event), when); break;
      case MEVT_TEMPO:
        if (MEVT_EVENTPARM(event)) s->tempo = MEVT_EVENTPARM(event);
        break;
      case MEVT_LONGMSG:
        playLong(s, reinterpret_cast<const BYTE*>(h->lpData) + s->offset + 12, MEVT_EVENTPARM(event), when);
        break;
      default: break;  // MEVT_NOP, MEVT_COMMENT, MEVT_VERSION
    }
    s->offset += size;
  }
  plat::midi::renderSynth(out + 2 * static_cast<size_t>(done), count - done);
  s->frames += count;
}

bool onCallbackThread() {
  Dispatcher& d = dispatcher();
  return std::this_thread::get_id() == d.thread;
}

bool headerOk(const MIDIHDR* h, UINT size) { return h && size >= sizeof(MIDIHDR); }

// A fault injected into the call (plat::test::failNext): *result is its code.
bool fault(const char* op, MMRESULT* result) {
  HRESULT code;
  if (!plat::detail::injected("", op, &code)) return false;
  *result = static_cast<MMRESULT>(code);
  return true;
}

// The audio device's second input: the open stream's events due in the next
// frames, and the synthesizer rendered between them.
void renderInput(void*, int16_t* stereo, int count) {
  const auto frames = static_cast<uint32_t>(count);
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_open && g_open->playing)
    renderStream(g_open, stereo, frames);
  else
    plat::midi::renderSynth(stereo, frames);
  g_frames += frames;
}

// Taken only around the device's opening, never with another lock held.
std::mutex g_deviceMutex;
bool g_deviceTried = false;
bool g_deviceOpen = false;

// The device exists: the output has its synthesizer (or the test sink), and
// the audio device, opened on the first call that gets here, renders the
// stream. The audio device stays open for the process, as the synthesizer
// and the stream records do.
bool deviceReady() {
  if (!plat::midi::deviceAvailable()) return false;
  std::lock_guard<std::mutex> lock(g_deviceMutex);
  if (!g_deviceTried) {
    g_deviceTried = true;
    g_deviceOpen = plat::detail::audioOpen();
    if (g_deviceOpen) {
      plat::detail::setAudioInput(renderInput, nullptr);
      plat::detail::audioStart();
    }
  }
  return g_deviceOpen;
}

}  // namespace

UINT midiOutGetNumDevs() { return deviceReady() ? 1 : 0; }

MMRESULT midiOutGetDevCapsA(UINT_PTR deviceId, MIDIOUTCAPSA* caps, UINT size) {
  if (MMRESULT injectedResult; fault("midiOutGetDevCapsA", &injectedResult)) return injectedResult;
  if (!caps) return MMSYSERR_INVALPARAM;
  const bool mapper = deviceId == MIDI_MAPPER || deviceId == static_cast<UINT_PTR>(-1);
  if ((deviceId != 0 && !mapper) || !deviceReady()) return MMSYSERR_BADDEVICEID;
  MIDIOUTCAPSA c{};
  c.wMid = 1;
  c.wPid = mapper ? 1 : 2;
  c.vDriverVersion = 0x0100;
  std::strcpy(c.szPname, mapper ? "MIDI Mapper" : "FluidSynth");
  c.wTechnology = mapper ? MOD_MAPPER : MOD_SWSYNTH;
  c.wVoices = 256;
  c.wNotes = 256;
  c.wChannelMask = 0xFFFF;
  c.dwSupport = MIDICAPS_VOLUME | MIDICAPS_LRVOLUME | MIDICAPS_STREAM;
  std::memcpy(caps, &c, size < sizeof c ? size : sizeof c);
  return MMSYSERR_NOERROR;
}

MMRESULT midiStreamOpen(HMIDISTRM* stream, UINT* deviceId, DWORD count, DWORD_PTR callback, DWORD_PTR instance,
                        DWORD flags) {
  if (MMRESULT injectedResult; fault("midiStreamOpen", &injectedResult)) return injectedResult;
  if (!stream || !deviceId || count != 1) return MMSYSERR_INVALPARAM;
  *stream = nullptr;
  const DWORD kind = flags & CALLBACK_TYPEMASK;
  if ((kind != CALLBACK_FUNCTION && kind != CALLBACK_NULL) || (kind == CALLBACK_FUNCTION && !callback))
    return MMSYSERR_INVALFLAG;
  if ((*deviceId != 0 && *deviceId != MIDI_MAPPER) || !deviceReady()) return MMSYSERR_BADDEVICEID;
  dispatcher();  // the callback thread is up before the first buffer can be done
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_open) return MMSYSERR_ALLOCATED;
  auto* s = new Stream;
  if (kind == CALLBACK_FUNCTION) s->callback = reinterpret_cast<MIDICALLBACK>(callback);
  s->instance = instance;
  g_streams->push_back(s);
  g_open = s;
  *stream = reinterpret_cast<HMIDISTRM>(s);
  return MMSYSERR_NOERROR;
}

MMRESULT midiStreamProperty(HMIDISTRM stream, BYTE* data, DWORD property) {
  if (MMRESULT injectedResult; fault("midiStreamProperty", &injectedResult)) return injectedResult;
  std::lock_guard<std::mutex> lock(g_mutex);
  Stream* s = streamOf(stream);
  if (!s) return MMSYSERR_INVALHANDLE;
  const DWORD action = property & (MIDIPROP_SET | MIDIPROP_GET);
  if (!data || (action != MIDIPROP_SET && action != MIDIPROP_GET)) return MMSYSERR_INVALPARAM;
  if ((property & ~(MIDIPROP_SET | MIDIPROP_GET)) != MIDIPROP_TIMEDIV) return MMSYSERR_INVALPARAM;
  auto* div = reinterpret_cast<MIDIPROPTIMEDIV*>(data);
  if (div->cbStruct < sizeof(MIDIPROPTIMEDIV)) return MMSYSERR_INVALPARAM;
  if (action == MIDIPROP_GET) {
    div->dwTimeDiv = s->timeDiv;
    return MMSYSERR_NOERROR;
  }
  if (!validTimeDiv(div->dwTimeDiv)) return MMSYSERR_INVALPARAM;
  // The time already played keeps its frame.
  const u128 oldDen = tickScale(*s).den;
  s->timeDiv = div->dwTimeDiv;
  s->time = s->time * tickScale(*s).den / oldDen;
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutPrepareHeader(HMIDIOUT stream, MIDIHDR* header, UINT size) {
  if (MMRESULT injectedResult; fault("midiOutPrepareHeader", &injectedResult)) return injectedResult;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!streamOf(stream)) return MMSYSERR_INVALHANDLE;
  if (!headerOk(header, size) || !header->lpData) return MMSYSERR_INVALPARAM;
  header->dwFlags |= MHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutUnprepareHeader(HMIDIOUT stream, MIDIHDR* header, UINT size) {
  if (MMRESULT injectedResult; fault("midiOutUnprepareHeader", &injectedResult)) return injectedResult;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!streamOf(stream)) return MMSYSERR_INVALHANDLE;
  if (!headerOk(header, size)) return MMSYSERR_INVALPARAM;
  if (header->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
  header->dwFlags &= ~MHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT midiStreamOut(HMIDISTRM stream, MIDIHDR* header, UINT size) {
  if (MMRESULT injectedResult; fault("midiStreamOut", &injectedResult)) return injectedResult;
  std::lock_guard<std::mutex> lock(g_mutex);
  Stream* s = streamOf(stream);
  if (!s) return MMSYSERR_INVALHANDLE;
  if (!headerOk(header, size)) return MMSYSERR_INVALPARAM;
  if (!(header->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
  if (header->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
  if (header->dwBytesRecorded > header->dwBufferLength || (header->dwBytesRecorded && !header->lpData))
    return MMSYSERR_INVALPARAM;
  header->dwFlags = (header->dwFlags & ~MHDR_DONE) | MHDR_INQUEUE;
  s->queue.push_back(header);
  return MMSYSERR_NOERROR;
}

MMRESULT midiStreamRestart(HMIDISTRM stream) {
  if (MMRESULT injectedResult; fault("midiStreamRestart", &injectedResult)) return injectedResult;
  std::lock_guard<std::mutex> lock(g_mutex);
  Stream* s = streamOf(stream);
  if (!s) return MMSYSERR_INVALHANDLE;
  s->playing = true;
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutReset(HMIDIOUT stream) {
  if (MMRESULT injectedResult; fault("midiOutReset", &injectedResult)) return injectedResult;
  std::lock_guard<std::mutex> lock(g_mutex);
  Stream* s = streamOf(stream);
  if (!s) return MMSYSERR_INVALHANDLE;
  sendToChannels(120);  // all sound off
  while (!s->queue.empty()) finishBuffer(s);
  s->playing = false;
  s->frames = 0;
  s->time = 0;
  s->tempo = kDefaultTempo;
  s->runningStatus = 0;
  s->gathering = false;
  s->sysex.clear();
  return MMSYSERR_NOERROR;
}

MMRESULT midiStreamClose(HMIDISTRM stream) {
  if (MMRESULT injectedResult; fault("midiStreamClose", &injectedResult)) return injectedResult;
  Stream* s;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    s = streamOf(stream);
    if (!s) return MMSYSERR_INVALHANDLE;
    if (!s->queue.empty()) return MIDIERR_STILLPLAYING;
    sendToChannels(123);  // all notes off: nothing hangs once the stream is gone
    s->open = false;
    if (g_open == s) g_open = nullptr;
  }
  // Callbacks due before the close still run; another thread's close returns
  // after them. The callback thread cannot wait for itself.
  if (!onCallbackThread()) {
    Dispatcher& d = dispatcher();
    std::unique_lock<std::mutex> lock(d.mutex);
    d.changed.wait(lock, [s] { return s->pendingCallbacks == 0; });
  }
  return MMSYSERR_NOERROR;
}

namespace plat::test {

uint64_t midiFrames() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_frames;
}

void waitMidiCallbacks() {
  Dispatcher& d = dispatcher();
  std::unique_lock<std::mutex> lock(d.mutex);
  d.changed.wait(lock, [&d] { return d.queue.empty() && !d.running; });
}

}  // namespace plat::test
