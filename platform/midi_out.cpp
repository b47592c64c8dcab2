// The MIDI output: one FluidSynth synthesizer without an audio driver of its
// own (the MIDI stream renders it at the device's rate into the audio
// device's second input), or the test API's recording sink.
#include "platform/midi_out.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/path.h"
#include "platform/test_api.h"

namespace {

constexpr const char* kDebianSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
// The synthesizer's master gain. FluidSynth's own default (0.2) plays General
// MIDI music about 10 dB below a desktop General MIDI synthesizer; at 0.6
// the game's music (velocities 70 to 110, channel volumes 96 to 110) peaks
// near -6 dBFS with room left for the sound effects.
constexpr double kGain = 0.6;

struct Synth {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  std::string font;  // the SoundFont it was made for
};

std::mutex g_mutex;
// The synthesizer lives for the process: the stream plays on through static
// destruction.
Synth* g_synth = nullptr;
bool g_tried = false;  // a load was tried for the current SoundFont choice
bool g_record = false;
std::vector<plat::test::MidiRecord>* g_records = new std::vector<plat::test::MidiRecord>;
bool g_fontOverride = false;
std::string* g_fontPath = new std::string;

// The SoundFonts to try, in order: the test's choice alone, else
// TALVO_SOUNDFONT (when set) and then Debian's.
std::vector<std::string> soundFontPaths() {
  if (g_fontOverride) return {*g_fontPath};
  std::vector<std::string> out;
  if (const char* env = std::getenv("TALVO_SOUNDFONT"); env && *env) out.push_back(env);
  out.push_back(kDebianSoundFont);
  return out;
}

void dropSynth() {
  if (!g_synth) return;
  delete_fluid_synth(g_synth->synth);
  delete_fluid_settings(g_synth->settings);
  delete g_synth;
  g_synth = nullptr;
}

// A synthesizer with the SoundFont at path; null when it does not load.
Synth* makeSynth(const std::string& font) {
  if (font.empty() || !plat::pathExists(font, plat::PathKind::File)) return nullptr;
  for (int level : {FLUID_WARN, FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, nullptr, nullptr);
  auto* s = new Synth;
  s->settings = new_fluid_settings();
  if (s->settings) {
    fluid_settings_setnum(s->settings, "synth.sample-rate", plat::detail::kAudioRate);
    fluid_settings_setnum(s->settings, "synth.gain", kGain);
  }
  s->synth = s->settings ? new_fluid_synth(s->settings) : nullptr;
  if (!s->synth || fluid_synth_sfload(s->synth, plat::resolvePath(font).c_str(), 1) == FLUID_FAILED) {
    if (s->synth) delete_fluid_synth(s->synth);
    if (s->settings) delete_fluid_settings(s->settings);
    delete s;
    return nullptr;
  }
  s->font = font;
  return s;
}

// The synthesizer with the first SoundFont that loads, made on first use;
// null without one.
fluid_synth_t* synth() {
  if (g_synth) return g_synth->synth;
  if (g_tried) return nullptr;
  g_tried = true;
  for (const std::string& font : soundFontPaths())
    if ((g_synth = makeSynth(font))) return g_synth->synth;
  return nullptr;
}

void record(uint64_t frame, const uint8_t* bytes, size_t size) {
  g_records->push_back({frame, std::vector<uint8_t>(bytes, bytes + size)});
}

}  // namespace

namespace plat::midi {

bool deviceAvailable() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_record || synth() != nullptr;
}

void shortMessage(uint8_t status, uint8_t data1, uint8_t data2, uint64_t frame) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const int hi = status & 0xF0, channel = status & 0x0F;
  if (g_record) {
    const uint8_t bytes[3] = {status, data1, data2};
    record(frame, bytes, hi == 0xC0 || hi == 0xD0 ? 2 : 3);
    return;
  }
  fluid_synth_t* s = synth();
  if (!s) return;
  switch (hi) {
    case 0x80: fluid_synth_noteoff(s, channel, data1); break;
    case 0x90: fluid_synth_noteon(s, channel, data1, data2); break;
    case 0xA0: fluid_synth_key_pressure(s, channel, data1, data2); break;
    case 0xB0: fluid_synth_cc(s, channel, data1, data2); break;
    case 0xC0: fluid_synth_program_change(s, channel, data1); break;
    case 0xD0: fluid_synth_channel_pressure(s, channel, data1); break;
    case 0xE0: fluid_synth_pitch_bend(s, channel, data1 | data2 << 7); break;
    default: break;
  }
}

void systemExclusive(const uint8_t* message, size_t size, uint64_t frame) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_record) {
    record(frame, message, size);
    return;
  }
  fluid_synth_t* s = synth();
  // The synthesizer takes the message without its framing bytes.
  if (s && size >= 2)
    fluid_synth_sysex(s, reinterpret_cast<const char*>(message) + 1, static_cast<int>(size - 2), nullptr,
                      nullptr, nullptr, 0);
}

void renderSynth(int16_t* stereo, uint32_t frames) {
  std::lock_guard<std::mutex> lock(g_mutex);
  fluid_synth_t* s = g_record ? nullptr : g_synth ? g_synth->synth : nullptr;
  if (!s || frames == 0) {
    std::fill(stereo, stereo + 2 * static_cast<size_t>(frames), int16_t{0});
    return;
  }
  thread_local std::vector<float> mix;
  mix.resize(2 * static_cast<size_t>(frames));
  fluid_synth_write_float(s, static_cast<int>(frames), mix.data(), 0, 2, mix.data(), 1, 2);
  for (size_t i = 0; i < mix.size(); ++i)
    stereo[i] = static_cast<int16_t>(std::lround(std::clamp(mix[i], -1.0f, 1.0f) * 32767.0f));
}

}  // namespace plat::midi

namespace plat::test {

void recordMidi(bool on) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_record = on;
  g_records->clear();
}

std::vector<MidiRecord> takeMidiRecords() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<MidiRecord> out;
  out.swap(*g_records);
  return out;
}

void setMidiSoundFont(const char* path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_fontOverride = path != nullptr;
  *g_fontPath = path ? path : "";
  dropSynth();
  g_tried = false;
}

}  // namespace plat::test
