// Helpers of the sound source and API tests: little-endian images, a caught
// raise, and RIFF WAVE files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/err.h"

namespace snd_test {

using Bytes = std::vector<uint8_t>;

inline void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void put16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void putId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

// A chunk: id, size and body, padded to an even length.
inline void chunk(Bytes& b, const char* id, const Bytes& body, uint32_t size) {
  putId(b, id);
  put32(b, size);
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() & 1) b.push_back(0);
}
inline void chunk(Bytes& b, const char* id, const Bytes& body) { chunk(b, id, body, uint32_t(body.size())); }

// The 16 bytes of a PCM "fmt " body.
inline Bytes fmtBody(int channels, int rate, int bits) {
  Bytes f;
  put16(f, 1);
  put16(f, uint16_t(channels));
  put32(f, uint32_t(rate));
  put32(f, uint32_t(rate * channels * bits / 8));
  put16(f, uint16_t(channels * bits / 8));
  put16(f, uint16_t(bits));
  return f;
}

// "RIFF", the RIFF size (the chunks' bytes + 4 unless given), "WAVE", chunks.
inline Bytes riff(const Bytes& chunks, int64_t riffSize = -1) {
  Bytes b;
  putId(b, "RIFF");
  put32(b, uint32_t(riffSize < 0 ? int64_t(chunks.size()) + 4 : riffSize));
  putId(b, "WAVE");
  b.insert(b.end(), chunks.begin(), chunks.end());
  return b;
}

inline Bytes wavFile(int channels, int rate, int bits, const Bytes& pcm) {
  Bytes c;
  chunk(c, "fmt ", fmtBody(channels, rate, bits));
  chunk(c, "data", pcm);
  return riff(c);
}

// Runs f inside a TRY frame; the raised code (0 without a raise) and its
// message text.
struct Caught {
  errCode code = 0;
  std::string text;
};
inline Caught catching(const std::function<void()>& f) {
  Caught c;
  ERR_TRY(frame) { f(); }
  ERR_CATCH(frame, code) {
    c.code = code;
    c.text = errGetState()->text ? errGetState()->text : "";
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  return c;
}

}  // namespace snd_test
