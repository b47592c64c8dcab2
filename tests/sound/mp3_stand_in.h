// A stand-in MPEG audio decoder for the MP3 source's tests, installed with
// sndMp3SetCodec. Its frames are 8 bytes: "SF", the frame number, a flag
// byte (kStandInRefused: the decoder refuses the frame), four more bytes.
// Frame f decodes to 4608 bytes, the 1152 little-endian words (f << 16 | k):
// 44100 Hz stereo, k on the left and f on the right.
#pragma once

#include <cstdint>
#include <cstring>

#include "snd_support.h"
#include "sound/snd_source.h"

constexpr int kFrameIn = 8;
constexpr int kFrameOut = 4608;
constexpr uint8_t kStandInRefused = 0xEE;

// How many decoders the stand-in has released.
inline int standInReleases = 0;

inline int standInFind(const uint8_t* buf, int len, mpaHeader* hdr, int* bitrate, int* skip) {
  for (int i = 0; i + 1 < len; ++i) {
    if (buf[i] == 'S' && buf[i + 1] == 'F') {
      *hdr = mpaHeader{};
      hdr->sync = 1;
      hdr->layer = 2;
      hdr->bitrateIndex = 1;
      *bitrate = 128000;
      *skip = i;
      return kFrameIn;
    }
  }
  return 0;
}
inline void standInInit(mpaDecoder*, int) {}
inline int standInDecodeInit(mpaDecoder*, const mpaHeader*, int size, int, int, int, int) { return size == kFrameIn; }
inline void standInGetInfo(const mpaDecoder*, mpaInfo* info) { *info = mpaInfo{2, 2304, 44100, 16, kFrameIn, 0}; }
inline mpaInOut standInDecode(mpaDecoder*, const uint8_t* frame, uint8_t* out) {
  if (frame[3] == kStandInRefused) return {0, 0};
  for (uint32_t k = 0; k < kFrameOut / 4; ++k) {
    const uint32_t w = uint32_t(frame[2]) << 16 | k;
    std::memcpy(out + 4 * k, &w, 4);
  }
  return {kFrameIn, kFrameOut};
}
inline void standInRelease(mpaDecoder*) { ++standInReleases; }
inline const sndMp3Codec kStandIn = {standInFind,   standInInit,   standInDecodeInit,
                                     standInGetInfo, standInDecode, standInRelease};

inline snd_test::Bytes standInFrame(int number, uint8_t flag = 0) {
  return {'S', 'F', uint8_t(number), flag, 0, 0, 0, 0};
}
inline snd_test::Bytes standInFrames(int count) {
  snd_test::Bytes b;
  for (int f = 0; f < count; ++f) {
    const snd_test::Bytes one = standInFrame(f);
    b.insert(b.end(), one.begin(), one.end());
  }
  return b;
}
