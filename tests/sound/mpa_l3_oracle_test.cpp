// Layer III beside libmpg123 on lame's fixtures (MPEG-1, MPEG-2 and
// MPEG-2.5), with the coding paths the fixtures reached printed: lame writes
// no intensity stereo and no mixed blocks, which the unit tests cover.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "mpeg_support.h"

using namespace mpeg_test;

namespace {

// What the side information of a group's frames used.
struct Paths {
  long blocks[4] = {}, mixed = 0, granules = 0, frames = 0, ms = 0, intensity = 0, scfsi = 0, count1[2] = {};
  std::set<int> tables;
};

void collect(const Bytes& data, Paths& p) {
  Decoder dec;
  mpaHeader hdr{};
  int size = mpaParseHeader(data.data(), int(data.size()), &hdr);
  ASSERT_EQ(mpaDecodeInit(dec.get(), &hdr, size, 0, 0, 0, 24000), 1);
  const mpaL3State& L = dec->l3;
  Bytes out(4608);
  for (size_t at = 0; at + 4 <= data.size();) {
    mpaHeader h{};
    int n = mpaParseHeader(data.data() + at, int(data.size() - at), &h);
    if (!n || at + size_t(n + h.padding) > data.size()) break;
    mpaInOut r = mpaDecode(dec.get(), data.data() + at, out.data());
    ASSERT_GT(r.inBytes, 0);
    at += size_t(r.inBytes);
    ++p.frames;
    p.ms += L.msStereo;
    p.intensity += L.intensityStereo;
    const int granules = L.id ? 2 : 1;
    for (int g = 0; g < granules; ++g) {
      const int gr = L.id ? g : L.granule ^ 1;
      for (int ch = 0; ch < L.channels; ++ch) {
        const mpaL3Side& s = L.side[gr][ch];
        ++p.granules;
        ++p.blocks[s.blockType & 3];
        p.mixed += s.mixedBlock;
        ++p.count1[s.count1Table];
        if (L.id && gr == 1 && s.blockType != 2 && L.scfsi[ch]) ++p.scfsi;
        // The big-value regions that hold lines.
        int b = 2 * s.bigValues, r1 = L.longEnd[s.region0Count];
        int i2 = s.region0Count + s.region1Count + 1, r2 = i2 < 22 ? L.longEnd[i2] : 576;
        r1 = r1 < b ? r1 : b;
        r2 = r2 < b ? r2 : b;
        if (r1 > 0) p.tables.insert(s.tableSelect[0]);
        if (r2 > r1) p.tables.insert(s.tableSelect[1]);
        if (b > r2) p.tables.insert(s.tableSelect[2]);
      }
    }
  }
}

void checkLayer3Group(const char* group) {
  oracleCheckGroup(group);
  Paths p;
  for (const std::string& f : fixtures(group)) collect(readFile(f), p);
  std::string tables;
  for (int t : p.tables) tables += " " + std::to_string(t);
  std::printf(
      "[mpeg-l3] %s paths: %ld frames, %ld granule channels: long %ld, start %ld, short %ld, stop %ld, mixed %ld; "
      "mid/side frames %ld, intensity frames %ld, scfsi reuse %ld; count1 A %ld, B %ld; big-value tables%s\n",
      group, p.frames, p.granules, p.blocks[0], p.blocks[1], p.blocks[2], p.blocks[3], p.mixed, p.ms, p.intensity,
      p.scfsi, p.count1[0], p.count1[1], tables.c_str());
}

TEST(MpegL3Oracle, Mpeg1) { checkLayer3Group("layer3-mpeg1"); }

TEST(MpegL3Oracle, Mpeg2) { checkLayer3Group("layer3-mpeg2"); }

TEST(MpegL3Oracle, Mpeg25) { checkLayer3Group("layer3-mpeg25"); }

}  // namespace
