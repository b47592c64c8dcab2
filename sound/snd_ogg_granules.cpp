// The walk of an Ogg Vorbis stream's pages beside the sample frames that
// decoding it in sequence yields.
//
// Decoding yields nothing for the first audio packet and (previous block size
// + this block size) / 4 sample frames for each one after it. Where the first
// page's granule position lies below that count the beginning is cut; where it
// lies above, vorbisfile takes the stream as starting there. So vorbisfile's
// position at the end of a page is the count plus (granule - count) -
// (first granule - first count), and that difference is the page's lead.
// A seek by position bisects the granule positions for the last page before
// the target: that page's lead is the lead of the target's frame where that
// page, the page before it and all after them have one lead, and every page
// before them has a lower position.
#include <ogg/ogg.h>

#include <algorithm>
#include <cstdint>

#include "sound/snd_ogg_private.h"

namespace {

constexpr long kChunk = 16384;

// Granule positions past this are taken as damage: they are not positions.
constexpr int64_t kMaxGranule = int64_t(1) << 62;

// The pages of one logical stream, read in order from the file.
class PageReader {
 public:
  PageReader(FILE* file, int serial) : file_(file) {
    ogg_sync_init(&sync_);
    ogg_stream_init(&stream_, serial);
  }
  ~PageReader() {
    ogg_stream_clear(&stream_);
    ogg_sync_clear(&sync_);
  }
  PageReader(const PageReader&) = delete;
  PageReader& operator=(const PageReader&) = delete;

  // The next page of the stream, its packets handed to the stream; false at
  // the end of the file.
  bool next(ogg_page* page) {
    for (;;) {
      const int r = ogg_sync_pageout(&sync_, page);
      if (r > 0 && ogg_page_serialno(page) == stream_.serialno) return ogg_stream_pagein(&stream_, page) == 0;
      if (r != 0) continue;  // another stream's page, or bytes skipped
      char* buf = ogg_sync_buffer(&sync_, kChunk);
      const size_t n = buf ? std::fread(buf, 1, kChunk, file_) : 0;
      if (n == 0 || ogg_sync_wrote(&sync_, long(n)) != 0) return false;
    }
  }
  // The next whole packet of the stream (holes are passed over).
  bool packet(ogg_packet* p) {
    for (;;) {
      const int r = ogg_stream_packetout(&stream_, p);
      if (r >= 0) return r > 0;
    }
  }

 private:
  FILE* file_;
  ogg_sync_state sync_;
  ogg_stream_state stream_;
};

}  // namespace

sndOggGranules sndOggWalkGranules(FILE* file, vorbis_info* vi, int serial) {
  sndOggGranules g{false, 0, 0, 0};
  PageReader reader(file, serial);
  ogg_page page;
  ogg_packet packet;
  int headers = 0;
  bool headerGranule = false;  // the last header page has a granule position
  int64_t count = 0;           // sample frames the packets make so far
  long lastBlock = -1;
  bool first = true;
  int64_t base = 0;     // the first page's granule position - its count
  int64_t cut = 0;      // frames cut at the beginning
  int64_t highest = INT64_MIN;  // the highest position of the pages so far
  int64_t below = 0;    // the highest position before the current lead began
  int pages = 1;        // of the current lead from the first above `below` on (-1: none yet)
  while (reader.next(&page)) {
    const bool headerPage = headers < 3;
    while (reader.packet(&packet)) {
      if (headers < 3) {
        ++headers;
        continue;
      }
      const long block = vorbis_packet_blocksize(vi, &packet);
      if (block < 0) continue;
      if (lastBlock >= 0) count += (lastBlock + block) >> 2;
      lastBlock = block;
    }
    const int64_t granule = ogg_page_granulepos(&page);
    if (headerPage) {
      headerGranule = headers == 3 && granule != 0;
      continue;
    }
    if (granule == -1) continue;
    const bool sane = granule >= 0 && granule < kMaxGranule;
    if (first) {
      first = false;
      // A stream of one audio page is cut at its end: vorbisfile's own case.
      if (ogg_page_eos(&page) || (sane && !headerGranule && granule == count)) return g;
      g.walked = true;
      base = sane ? granule - count : 0;
      cut = std::max<int64_t>(-base, 0);
    }
    // The last page's granule position cuts the end; it is no position.
    if (ogg_page_eos(&page)) continue;
    if (!sane) {
      // Nothing after it can be trusted to bisect past it.
      g.lead = INT64_MIN;
      g.trusted = INT64_MAX;
      pages = -1;
      highest = INT64_MAX;
      continue;
    }
    const int64_t frame = count - cut, lead = granule - count - base, position = frame + lead;
    if (lead != g.lead) {
      g.lead = lead;
      g.trusted = INT64_MAX;
      below = highest;
      pages = -1;
    }
    if (pages == 0 || (pages < 0 && position > below)) {
      // The second such page: a seek past it finds a page of this lead.
      if (++pages == 1) g.trusted = frame + 1;
    }
    highest = std::max(highest, position);
  }
  g.frames = count - cut;
  if (g.lead == INT64_MIN) g.lead = 0;
  return g;
}
