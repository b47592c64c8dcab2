// The file formats the data tool writes, each made from plain pels or
// samples as bytes (the same bytes for the same input), and the one way they
// reach the disk: a file is written only where it does not already hold
// them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/canvas.h"

using Bytes = std::vector<uint8_t>;

// A 24-bit BMP, 54-byte header, rows bottom-up padded to 4 bytes.
Bytes bmp24(const Canvas& picture);
// A 32-bit uncompressed true-colour TGA, rows top-down, 8 alpha bits.
Bytes tga32(const Canvas& picture);
// A baseline JPEG of three components (libjpeg) at the given quality.
Bytes jpeg(const Canvas& picture, int quality);
// A PCM WAV of 16-bit mono samples.
Bytes wav(const std::vector<int16_t>& samples, int rate);

// What a file held before restoreFile.
enum class FileWas { Same, Missing, Different };
// Makes the file hold exactly these bytes. One that holds them already is
// left untouched (its modification time too); otherwise the bytes go to a
// new file beside it, which then takes its place, so the file is never seen
// half written. Throws std::runtime_error when it cannot be written, leaving
// nothing beside it.
FileWas restoreFile(const std::string& path, const Bytes& bytes);

// Little-endian appends.
void put16(Bytes& out, uint32_t value);
void put32(Bytes& out, uint32_t value);
