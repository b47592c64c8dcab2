// Tables of layers I and II: the allocation tables of ISO/IEC 11172-3 Annex B
// (B.2a to B.2d) and ISO/IEC 13818-3 (B.1), and which one serves which
// bitrate and mode.
#include <cstdint>
#include <cstring>

#include "sound/mpa_private.h"

namespace {

// Classes: 0 none, 1 to 17 the levels 3, 5, 7, 9, 15, 31, ... 65535.
constexpr uint8_t kHighGroup0[16] = {0, 1, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
constexpr uint8_t kHighGroup1[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 17};
constexpr uint8_t kHighGroup2[16] = {0, 1, 2, 3, 4, 5, 6, 17};
constexpr uint8_t kHighGroup3[16] = {0, 1, 2, 17};
constexpr uint8_t kLowGroup0[16] = {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
constexpr uint8_t kLowGroup2[16] = {0, 1, 2, 4, 5, 6, 7, 8};
constexpr uint8_t kLsfGroup0[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr uint8_t kLsfGroup3[16] = {0, 1, 2, 4};
constexpr uint8_t kNone[16] = {};

// Per table: subbands in the four allocation groups (allocation codes of 4,
// 4, 3 and 2 bits), and per group the quantisation class of each code.
struct TableSource {
  int8_t groups[4];
  const uint8_t* classes[4];
};

constexpr TableSource kTables[5] = {
    {{3, 8, 12, 4}, {kHighGroup0, kHighGroup1, kHighGroup2, kHighGroup3}},  // B.2a
    {{3, 8, 12, 7}, {kHighGroup0, kHighGroup1, kHighGroup2, kHighGroup3}},  // B.2b
    {{2, 0, 6, 0}, {kLowGroup0, kNone, kLowGroup2, kNone}},                 // B.2c
    {{2, 0, 10, 0}, {kLowGroup0, kNone, kLowGroup2, kNone}},                // B.2d
    {{4, 0, 7, 19}, {kLsfGroup0, kNone, kLowGroup2, kLsfGroup3}},           // 13818-3 B.1
};

// MPEG-1 table choice by bitrate index: the bitrate per channel decides. L is
// the table of the low rates (B.2c, B.2d at 32000 Hz), H of the high rates
// (B.2b, B.2a at 48000 Hz); free format takes H's table at 44100 and 32000 Hz
// and B.2a at 48000 Hz.
constexpr int8_t L = -2, H = -3, X = -1;
constexpr int8_t kTwoChannels[16] = {H, X, X, X, L, X, L, 0, 0, 0, H, H, H, H, H, X};
constexpr int8_t kOneChannel[16] = {H, L, L, 0, 0, 0, H, H, H, H, H, X, X, X, X, X};

}  // namespace

int mpaL2TableChoice(int mode, int rateIndex, int bitrateIndex) {
  int8_t t = (mode == 3 ? kOneChannel : kTwoChannels)[bitrateIndex & 15];
  if (t == L) return rateIndex == 2 ? 3 : 2;
  if (t == H) return rateIndex == 1 ? 0 : 1;
  return t;
}

// Copies allocation table `table` into the decoder.
void mpaL2CopyTable(mpaDecoder* dec, int table) {
  const TableSource& src = kTables[table];
  for (int g = 0; g < 4; ++g) {
    dec->l2Groups[g] = src.groups[g];
    std::memcpy(dec->l2Classes[g], src.classes[g], 16);
  }
}
