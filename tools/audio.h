// The game's sounds and music, synthesised: four short effects as 16-bit
// mono samples, and a Standard MIDI File of General MIDI music with drums.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kSoundRate = 22050;

// A short blip (the button click).
std::vector<int16_t> soundClick();
// A rising sweep (a run starts).
std::vector<int16_t> soundStart();
// An arpeggio up a major chord (a win).
std::vector<int16_t> soundWin();
// A falling tone (a loss).
std::vector<int16_t> soundLose();

// SMF type 1, 480 ticks a quarter, 120 bpm, about 30 s: a conductor track,
// melody, bass and drums. Every event carries its status byte (no running
// status); every track ends with FF 2F 00.
std::vector<uint8_t> musicMidi(uint32_t seed);
