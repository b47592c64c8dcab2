#include "tools/audio.h"

#include <cmath>
#include <numbers>

#include <algorithm>

namespace {

// A tone whose frequency moves linearly from f0 to f1 over its length, with
// a short attack and an exponential decay.
void addTone(std::vector<int16_t>& out, size_t start, double seconds, double f0, double f1,
             double amplitude, double decay) {
  size_t n = static_cast<size_t>(seconds * kSoundRate);
  if (out.size() < start + n) out.resize(start + n, 0);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / kSoundRate;
    double f = f0 + (f1 - f0) * (static_cast<double>(i) / n);
    phase += 2 * std::numbers::pi * f / kSoundRate;
    double envelope = std::min(1.0, t / 0.005) * std::exp(-t * decay);
    // Fade the last 5 ms out so that no sound ends with a click.
    envelope *= std::min(1.0, (n - i) / (0.005 * kSoundRate));
    double v = out[start + i] + amplitude * envelope * std::sin(phase) * 32767.0;
    out[start + i] = static_cast<int16_t>(std::lround(std::clamp(v, -32767.0, 32767.0)));
  }
}

}  // namespace

std::vector<int16_t> soundClick() {
  std::vector<int16_t> out;
  addTone(out, 0, 0.06, 1200, 900, 0.6, 40);
  return out;
}

std::vector<int16_t> soundStart() {
  std::vector<int16_t> out;
  addTone(out, 0, 0.4, 300, 1200, 0.5, 2);
  return out;
}

std::vector<int16_t> soundWin() {
  std::vector<int16_t> out;
  const double notes[] = {523.25, 659.25, 783.99, 1046.50};  // C5 E5 G5 C6
  for (int i = 0; i < 4; ++i)
    addTone(out, static_cast<size_t>(i * 0.12 * kSoundRate), i == 3 ? 0.5 : 0.14, notes[i], notes[i],
            0.45, i == 3 ? 4 : 8);
  return out;
}

std::vector<int16_t> soundLose() {
  std::vector<int16_t> out;
  addTone(out, 0, 0.7, 600, 150, 0.55, 2.5);
  return out;
}

namespace {

struct Random {
  uint32_t state;
  uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

// One track's events at absolute ticks, written with delta times.
class Track {
 public:
  void event(uint32_t tick, std::initializer_list<uint8_t> bytes) {
    writeDelta(tick);
    data_.insert(data_.end(), bytes);
  }
  void note(uint32_t tick, uint32_t length, uint8_t channel, uint8_t key, uint8_t velocity) {
    notes_.push_back({tick, static_cast<uint8_t>(0x90 | channel), key, velocity});
    notes_.push_back({tick + length, static_cast<uint8_t>(0x80 | channel), key, 0});
  }
  // Writes the collected notes in time order (note-offs first at a tick),
  // then the end of the track; returns the whole "MTrk" chunk.
  std::vector<uint8_t> finish(uint32_t endTick) {
    std::stable_sort(notes_.begin(), notes_.end(), [](const Note& a, const Note& b) {
      return a.tick != b.tick ? a.tick < b.tick : (a.status & 0xF0) < (b.status & 0xF0);
    });
    for (const Note& n : notes_) event(n.tick, {n.status, n.key, n.velocity});
    event(std::max(endTick, last_), {0xFF, 0x2F, 0x00});
    std::vector<uint8_t> chunk{'M', 'T', 'r', 'k'};
    uint32_t n = static_cast<uint32_t>(data_.size());
    chunk.insert(chunk.end(), {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                               static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    chunk.insert(chunk.end(), data_.begin(), data_.end());
    return chunk;
  }

 private:
  struct Note {
    uint32_t tick;
    uint8_t status, key, velocity;
  };
  void writeDelta(uint32_t tick) {
    uint32_t delta = tick - last_;
    last_ = tick;
    uint8_t bytes[5];
    int n = 0;
    bytes[n++] = delta & 0x7F;
    while (delta >>= 7) bytes[n++] = static_cast<uint8_t>(0x80 | (delta & 0x7F));
    while (n) data_.push_back(bytes[--n]);
  }
  std::vector<uint8_t> data_;
  std::vector<Note> notes_;
  uint32_t last_ = 0;
};

}  // namespace

std::vector<uint8_t> musicMidi(uint32_t seed) {
  constexpr uint32_t kQuarter = 480;
  constexpr uint32_t kBar = 4 * kQuarter;
  constexpr int kBars = 15;  // 60 beats at 120 bpm: 30 s
  constexpr uint32_t kEnd = kBars * kBar;
  Random random{seed};

  Track conductor;
  conductor.event(0, {0xFF, 0x58, 0x04, 4, 2, 24, 8});           // 4/4
  conductor.event(0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});      // 500000 us a quarter
  Track melody, bass, drums;
  melody.event(0, {0xC0, 80});  // square lead
  melody.event(0, {0xB0, 7, 96});
  bass.event(0, {0xC1, 33});  // finger bass
  bass.event(0, {0xB1, 7, 110});

  // Am F C G, one chord a bar.
  const uint8_t roots[4] = {57, 53, 48, 55};
  const uint8_t scale[7] = {0, 2, 3, 5, 7, 8, 10};  // A minor from A
  int degree = 7;
  for (int bar = 0; bar < kBars; ++bar) {
    uint32_t t0 = bar * kBar;
    uint8_t root = roots[bar % 4];
    for (int beat = 0; beat < 4; ++beat) {
      uint8_t key = static_cast<uint8_t>(root - 12 + (beat % 2 ? 7 : 0));
      bass.note(t0 + beat * kQuarter, kQuarter - 40, 1, key, 100);
    }
    for (int eighth = 0; eighth < 8; ++eighth) {
      uint32_t t = t0 + eighth * kQuarter / 2;
      if (random.next() % 5 == 0) continue;  // a rest
      degree += static_cast<int>(random.next() % 5) - 2;
      degree = std::clamp(degree, 3, 13);
      uint8_t key = static_cast<uint8_t>(57 + 12 * (degree / 7) + scale[degree % 7]);
      melody.note(t, kQuarter / 2 - 20, 0, key, static_cast<uint8_t>(80 + random.next() % 30));
    }
    for (int eighth = 0; eighth < 8; ++eighth) {
      uint32_t t = t0 + eighth * kQuarter / 2;
      drums.note(t, 60, 9, 42, 70);                                    // closed hi-hat
      if (eighth == 0 || eighth == 4 || eighth == 5) drums.note(t, 60, 9, 36, 110);  // kick
      if (eighth == 2 || eighth == 6) drums.note(t, 60, 9, 38, 100);   // snare
    }
  }
  drums.note(kEnd - kBar, kBar / 2, 9, 49, 110);  // crash on the last bar

  std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 4,
                           static_cast<uint8_t>(kQuarter >> 8), static_cast<uint8_t>(kQuarter & 0xFF)};
  for (Track* track : {&conductor, &melody, &bass, &drums}) {
    std::vector<uint8_t> chunk = track->finish(kEnd);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}
