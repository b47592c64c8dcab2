// MPEG audio frame headers: parsing, frame sizes, the frame search and the
// measurement of free-format frames.
#include <cstdint>

#include "sound/mpa.h"
#include "sound/mpa_private.h"

// Bitrates of ISO/IEC 11172-3 (id 1) and ISO/IEC 13818-3 (id 0), in kbit/s,
// by layer code (0 reserved, 1 layer III, 2 layer II, 3 layer I).
const int16_t mpaBitrateTable[2][4][16] = {
    {
        {0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    },
    {
        {0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    },
};

const int16_t mpaRate50[2][3] = {{441, 480, 320}, {882, 960, 640}};
const int32_t mpaRateHz[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};

namespace {

constexpr int kMeasureCap = 10000;  // bytes looked at to measure free format
constexpr int kFreeSearchEnd = 2000;

int capLength(int len) { return len > kMeasureCap ? kMeasureCap : len; }

bool isSync(const uint8_t* p) { return p[0] == 0xFF && (p[1] & 0xE0) == 0xE0; }

int syncKind(const uint8_t* p) {
  if (p[0] != 0xFF) return 0;
  if ((p[1] & 0xF0) == 0xF0) return 1;
  if ((p[1] & 0xF0) == 0xE0) return 2;
  return 0;
}

// MPEG-2 proper (not 2.5) among the lower sampling frequencies.
bool isMpeg2(const mpaHeader* hdr) { return hdr->id == 0 && hdr->sync == 1; }

}  // namespace

int mpaCountFrames(int limit, const uint8_t* buf, int slot, int size) {
  if (size <= 0) return 0;
  int pos = size + ((buf[2] >> 1) & 1) * slot;
  int count = 0;
  while (pos < limit) {
    const uint8_t* p = buf + pos;
    if (p[0] != buf[0] || p[1] != buf[1]) return -count;
    ++count;
    pos += size + ((p[2] >> 1) & 1) * slot;
  }
  return count;
}

int mpaFreeFormatSize(const uint8_t* buf, int len) {
  len = capLength(len);
  if (len < 4) return 0;
  int slot = (buf[1] & 0x06) == 0x06 ? 4 : 1;
  int pad = ((buf[2] >> 1) & 1) * slot;
  int limit = len - 3;
  int p = 24;
  for (;;) {
    while (p < limit && (buf[p] != buf[0] || buf[p + 1] != buf[1])) ++p;
    if (p >= limit) return 0;
    int candidate = p - pad;
    if (candidate <= 0) return 0;
    if (mpaCountFrames(limit, buf, slot, candidate) > 0) return candidate;
    if (p + 1 >= kFreeSearchEnd) return 0;
    ++p;
  }
}

int mpaParseHeader(const uint8_t* buf, int len, mpaHeader* hdr) {
  hdr->sync = 0;
  if (len < 4) return 0;
  len = capLength(len);
  int sync = syncKind(buf);
  if (sync == 0) return 0;
  hdr->sync = sync;
  hdr->id = (buf[1] >> 3) & 1;
  hdr->layer = (buf[1] >> 1) & 3;
  hdr->protection = buf[1] & 1;
  hdr->bitrateIndex = buf[2] >> 4;
  hdr->rateIndex = (buf[2] >> 2) & 3;
  hdr->padding = (buf[2] >> 1) & 1;
  hdr->privateBit = buf[2] & 1;
  hdr->mode = buf[3] >> 6;
  hdr->modeExt = (buf[3] >> 4) & 3;
  hdr->copyBit = (buf[3] >> 3) & 1;
  hdr->homeBit = (buf[3] >> 2) & 1;
  hdr->emphasis = buf[3] & 3;
  if (hdr->layer == 0 || hdr->rateIndex == 3) return 0;
  if (hdr->bitrateIndex == 0) return mpaFreeFormatSize(buf, len);
  int br = mpaBitrateTable[hdr->id][hdr->layer][hdr->bitrateIndex];
  int r50 = mpaRate50[hdr->id][hdr->rateIndex];
  switch (hdr->layer) {
    case 3: return (br * 240 / r50) * 4;
    case 2: return br * 2880 / r50;
    default: return br * (isMpeg2(hdr) ? 1440 : 2880) / r50;
  }
}

int mpaParseHeaderBitrate(const uint8_t* buf, int len, mpaHeader* hdr, int* bitrate) {
  int size = mpaParseHeader(buf, len, hdr);
  *bitrate = 0;
  if (size == 0) return 0;
  if (hdr->bitrateIndex > 0) {
    *bitrate = mpaBitrateTable[hdr->id][hdr->layer][hdr->bitrateIndex] * 1000;
    return size;
  }
  // Free format: the bitrate follows from the measured size.
  int64_t r50 = mpaRate50[hdr->id][hdr->rateIndex];
  int64_t s = size;
  int64_t b;
  if (hdr->layer == 3)
    b = r50 * s * 1000 / 960;
  else if (hdr->layer == 2 || hdr->id == 1)
    b = r50 * s * 1000 / 2880;
  else if (isMpeg2(hdr))
    b = r50 * s * 1000 / 1440;
  else
    b = r50 * s * 500 / 1440;
  *bitrate = int(b);
  return size;
}

int mpaFindFrame(const uint8_t* buf, int len, mpaHeader* hdr, int* bitrate, int* skip) {
  for (int i = 0; i + 4 <= len; ++i) {
    if (!isSync(buf + i)) continue;
    *skip = i;
    return mpaParseHeaderBitrate(buf + i, len - i, hdr, bitrate);
  }
  return 0;
}

bool mpaHeaderFieldsValid(const mpaHeader* hdr) {
  return hdr->id >= 0 && hdr->id <= 1 && hdr->layer >= 0 && hdr->layer <= 3 &&
         hdr->bitrateIndex >= 0 && hdr->bitrateIndex <= 15 && hdr->rateIndex >= 0 &&
         hdr->rateIndex <= 3 && hdr->mode >= 0 && hdr->mode <= 3 && hdr->modeExt >= 0 &&
         hdr->modeExt <= 3;
}

int mpaStreamRate(const mpaHeader* hdr) {
  int rate = mpaRateHz[hdr->id][hdr->rateIndex];
  return hdr->sync == 2 ? rate / 2 : rate;
}
