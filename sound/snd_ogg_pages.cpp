// The pages that start an Ogg Vorbis file's audio data, as vorbisfile's seek
// by position finds them.
//
// That seek (ov_pcm_seek_page of libvorbisfile 1.3.7) bisects the file for
// the last page of the stream whose granule position lies below the target.
// When its search ends without one, it hands the stream the page it read
// last, held by pointers into its read buffer, although later reads may have
// moved other bytes there since: after a page of another stream or one
// without a granule position, bytes that are no page up to the end of its
// search are read and the page is gone; a round that finds no page at all
// leaves one of an earlier round. libogg 1.3.5 takes such a mixture of two
// pages' bytes and moves a negative size.
//
// Every round that can end the search without such a page starts at the
// first byte of the audio data or at the one after it, and decides on the
// first page of the stream with a granule position that it reads. Where, as
// the Ogg framing finds pages, the first page from the start of the audio
// data on starts there, the first one from the byte after starts where that
// page ends, and both are the stream's own with granule positions, those
// rounds decide on one of these two pages, just read; only a round from the
// byte after can still read no page at all, when the end of the search has
// come down to the second page's start. The end comes there only when a
// round that began at least the search's chunk (64 KiB) before the old end
// found the second page, at or above the target, the last one before that
// end: not where the two pages take 64 KiB or less, nor for targets above
// the second page's granule position. Files as encoders write them start
// so; nothing after these two pages is read.
#include <ogg/ogg.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "sound/snd_ogg_private.h"

namespace {

constexpr long kChunk = 4096;

// The chunk of vorbisfile's bisection (its CHUNKSIZE).
constexpr int64_t kBisectChunk = 65536;

struct FoundPage {
  bool failed;      // a read failed, or bytes were skipped where none may be
  int64_t start;    // -1: no page up to the end of the file
  int64_t end;
  int serial;
  int64_t granule;
};

// The first page the framing finds from byte `from` on; with `here`, a page
// that does not start at `from` fails.
FoundPage firstPage(FILE* file, int64_t from, bool here) {
  FoundPage found{false, -1, -1, 0, -1};
  if (std::fseek(file, long(from), SEEK_SET) != 0) {
    found.failed = true;
    return found;
  }
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  for (int64_t at = from;;) {
    ogg_page page;
    const long r = ogg_sync_pageseek(&sync, &page);
    if (r > 0) {
      found = {false, at, at + r, ogg_page_serialno(&page), ogg_page_granulepos(&page)};
      break;
    }
    if (r < 0) {
      if (here) {
        found.failed = true;
        break;
      }
      at -= r;
      continue;
    }
    char* buf = ogg_sync_buffer(&sync, kChunk);
    const size_t n = buf ? std::fread(buf, 1, kChunk, file) : 0;
    if (n == 0 || ogg_sync_wrote(&sync, long(n)) != 0) {
      found.failed = !buf || std::ferror(file);
      break;
    }
  }
  ogg_sync_clear(&sync);
  return found;
}

bool streamsOwn(const FoundPage& p, int serial) { return p.serial == serial && p.granule != -1; }

}  // namespace

sndOggAudioStart sndOggReadAudioStart(FILE* file, int64_t dataOffset, int serial) {
  sndOggAudioStart start{false, -1};
  const long at = std::ftell(file);
  if (at < 0) return start;
  const FoundPage first = firstPage(file, dataOffset, true);
  const FoundPage second = first.failed ? first : firstPage(file, dataOffset + 1, false);
  bool sure = !first.failed && !second.failed;
  if (first.start < 0) {
    sure = sure && second.start < 0;  // no page of audio data at all
  } else {
    sure = sure && streamsOwn(first, serial) &&
           (second.start < 0 || (second.start == first.end && streamsOwn(second, serial)));
  }
  if (second.start >= 0 && second.end - dataOffset > kBisectChunk)
    start.unsureTo = std::max<int64_t>(second.granule, -1);
  start.sure = std::fseek(file, at, SEEK_SET) == 0 && sure;
  return start;
}
