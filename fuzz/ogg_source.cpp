// The Ogg Vorbis source on any file: opened as the sound API opens it, then
// started without a device and filled as the channels fill it: from the
// start in fills of 16384 bytes, each at the position the previous one
// returned, until the announced length (at most kMaxOutput bytes); then at
// other positions (the middle, the start, just before the end, past the
// end), each of which seeks. Every fill returns the position after it or
// the announced length; an opened source announces a format the channels
// take and a length of whole sample frames. The seeds, but for two found here
// (below), are made by fuzz/ogg_source_seeds.sh; two of them have granule
// positions that are not where decoding is, so the open walks their pages
// and their seeks decode on from a page or from the start.
//
// The Ogg pages keep their checksums, so a changed page is refused by the
// page check, as in a file damaged after it was written; what reaches the
// decoder are the seeds' pages, cut, moved, crossed with another seed's and
// with bytes between them, and now and then a changed page whose checksum the
// fuzzer made right from libogg's comparison of it. Two faults of the
// libraries as Debian ships them are reached so, with vorbisfile's own calls
// alone, and the source keeps them off at open:
// - vorbisfile's seek by position hands libogg a page mixed from two pages'
//   bytes where the audio data does not start with the stream's own pages,
//   and libogg 1.3.5 moves a negative size (sndOggAudioStart);
//   another_stream_then_no_page.ogg: another stream's page after the
//   headers, then bytes that are no page up to the last page;
// - libvorbis 1.3.7 gives up setting the decoder up on a setup header with
//   a codebook it cannot build, and a second try decodes with empty books
//   and divides by zero in its residue decoding (the source makes the
//   decoder ready once, at open); codebook_not_built.ogg.
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
