// The file formats the data tool writes, each from plain pels or samples.
// Every writer gives the same bytes for the same input, and throws
// std::runtime_error when the file cannot be written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/canvas.h"

// A 24-bit BMP, 54-byte header, rows bottom-up padded to 4 bytes.
void writeBmp24(const std::string& path, const Canvas& picture);
// A 32-bit uncompressed true-colour TGA, rows top-down, 8 alpha bits.
void writeTga32(const std::string& path, const Canvas& picture);
// A baseline JPEG of three components (libjpeg) at the given quality.
void writeJpeg(const std::string& path, const Canvas& picture, int quality);
// A PCM WAV of 16-bit mono samples.
void writeWav(const std::string& path, const std::vector<int16_t>& samples, int rate);
// Any bytes.
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Little-endian appends.
void put16(std::vector<uint8_t>& out, uint32_t value);
void put32(std::vector<uint8_t>& out, uint32_t value);
