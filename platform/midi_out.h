// Where the MIDI stream's messages go: the FluidSynth synthesizer, or the
// test API's recording sink in its place. Internal to the platform layer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat::midi {

// The device exists: the sink records, or the synthesizer has its SoundFont
// (loaded on the first call that needs it).
bool deviceAvailable();

// A channel message (status 0x80-0xEF and its data bytes), applied at the
// frame of the MIDI input given.
void shortMessage(uint8_t status, uint8_t data1, uint8_t data2, uint64_t frame);
// A whole system-exclusive message, 0xF0 ... 0xF7.
void systemExclusive(const uint8_t* message, size_t size, uint64_t frame);
// The synthesizer's next frames at the audio device's rate, as interleaved
// stereo 16-bit samples (silence without a synthesizer, or while the sink
// records).
void renderSynth(int16_t* stereo, uint32_t frames);

}  // namespace plat::midi
