// The Ogg Vorbis source on any file: opened as the sound API opens it, then
// started without a device and filled as the channels fill it: from the
// start in fills of 16384 bytes, each at the position the previous one
// returned, until the announced length (at most kMaxOutput bytes); then at
// other positions (the middle, the start, just before the end, past the
// end), each of which seeks. Every fill returns the position after it or
// the announced length; an opened source announces a format the channels
// take and a length of whole sample frames. The seeds are made by
// fuzz/ogg_source_seeds.sh; two of them have granule positions that are not
// where decoding is, so the open walks their pages and their seeks decode on
// from a page or from the start.
//
// The Ogg pages keep their checksums, so a changed page is refused by the
// page check, as in a file damaged after it was written; what reaches the
// decoder are the seeds' pages, cut, moved and with bytes between them.
// Pages whose checksums were made right after a change reach faults of the
// libraries as Debian ships them (libvorbis 1.3.7 divides by zero in its
// residue decoding after some damaged setup headers; libogg 1.3.5 moves a
// negative size in ogg_stream_pagein when vorbisfile seeks in some damaged
// streams; both with vorbisfile's own calls alone), which the source cannot
// see through vorbisfile's interface. The second one is also reached by the
// seeds' own pages: pages of the multi-page seeds with another stream's pages
// crossed in between (ov_open and one ov_pcm_seek alone show it).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/err.h"
#include "input_file.h"
#include "sound/snd_source.h"

// libvorbisfile loses a small block of its own when it refuses some
// damaged headers (seen with ov_open and fclose alone), and the codec
// setup of a link it gives up on some damaged streams: leaks allocated
// inside the Vorbis libraries (whose stacks end there: they keep no frame
// pointers) are not this target's findings.
extern "C" const char* __lsan_default_suppressions() { return "leak:libvorbisfile.so\nleak:libvorbis.so\n"; }

namespace {

constexpr int32_t kFill = 16384;
constexpr int64_t kMaxOutput = int64_t(1) << 22;

int32_t fill(sndOggSource* s, int32_t position, int32_t n) {
  std::vector<uint8_t> block(static_cast<size_t>(n));  // exact size: a write past it is seen
  const int32_t next = sndOggFill(s, block.data(), position, n, 0);
  if (next != position + n && next != s->format.totalBytes) std::abort();
  return next;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (errInit(), true);
  (void)ready;
  if (size > (1 << 20)) return 0;
  sndOggSource* s = sndOggOpen(fuzz::writeInput("input.ogg", data, size));
  if (!s) return 0;
  const sndDsFormat& f = s->format;
  const int32_t frame = f.channels * 2;
  if (f.channels < 1 || f.channels > 2 || f.bitsPerSample != 16 || f.totalBytes < 0 || f.totalBytes % frame)
    std::abort();
  sndOggPlay(s, 0, 0, 0, 0, 0, 0);  // no device: nothing starts

  int32_t position = 0;
  while (position < f.totalBytes && position < kMaxOutput) position = fill(s, position, kFill);
  const int32_t half = f.totalBytes / 2 / frame * frame;
  for (const int32_t at : {half, 0, f.totalBytes > 4 * frame ? f.totalBytes - 4 * frame : 0, f.totalBytes + frame})
    fill(s, at, 2 * frame + kFill);
  sndOggClose(s);
  return 0;
}
