// The MIDI stream's render entry: the audio device's MIDI input. Internal to
// the platform layer.
#pragma once

#include <cstdint>

namespace plat::detail {

// Plays the open stream's events due in the next frames and renders the
// synthesizer into stereo (interleaved 16-bit samples at plat::midi::rate()).
void renderMidi(int16_t* stereo, uint32_t frames);

}  // namespace plat::detail
