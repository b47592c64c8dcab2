// The Ogg Vorbis source: decoded on demand through vorbisfile, seeking when a
// fill asks for another position than the last one left.
#include <vorbis/vorbisfile.h>

#include <cstdint>
#include <cstring>

#include "base/mem.h"
#include "platform/win_stdio.h"
#include "sound/snd_ds.h"
#include "sound/snd_ogg_private.h"
#include "sound/snd_source.h"

namespace {

// ov_read's holes (negative results) are skipped; this many in a row without
// any data end the stream, so a damaged file cannot hold the channel lock.
constexpr int kMaxHoles = 64;

void freeSource(sndOggSource* s, bool opened) {
  if (opened) {
    ov_clear(s->vf);  // closes the file too
  } else if (s->file) {
    fclose(s->file);
  }
  memHooks.free(s->vf);
  memHooks.free(s);
}

// Sample frames from the decoder's position to the end of the data, or to
// `limit` frames, read and dropped.
int64_t readFrames(OggVorbis_File* vf, int channels, int64_t limit = INT64_MAX) {
  char buf[4096];
  int bitstream = 0, holes = 0;
  const int64_t frame = 2 * channels;
  int64_t bytes = 0;
  while (bytes / frame < limit) {
    const int64_t left = limit - bytes / frame;
    const int want = left < int64_t(sizeof buf) / frame ? int(left * frame) : int(sizeof buf);
    const long r = ov_read(vf, buf, want, 0, 2, 1, &bitstream);
    if (r > 0) {
      bytes += r;
      holes = 0;
    } else if (r == 0 || ++holes >= kMaxHoles) {
      break;
    }
  }
  return bytes / frame;
}

// Puts the decoder at sample frame `frame` of what decoding in sequence
// yields; false when the data ends before. A file whose granule positions are
// where decoding is seeks by vorbisfile's position. In another one
// vorbisfile's own seek is not sure: it decodes on to the target by positions
// it takes from each page's granule position as it passes it, and those run
// ahead. There the seek finds the page before position frame + lead, where
// that lead holds (from `trusted` on), and decodes on to the frame itself;
// before `trusted` it decodes from the start. Positions up to `seekAbove`
// (within the first two audio pages, where those are long) are not sought by
// position either: the decoder goes back to the start of the audio data as
// the open left it, and decodes on from there.
bool seekTo(sndOggSource* s, int64_t frame) {
  const int channels = s->format.channels;
  if (!s->walked) {
    if (frame > s->seekAbove && ov_pcm_seek(s->vf, frame) == 0) return true;
  } else if (frame >= s->trusted && frame + s->lead > s->seekAbove && ov_pcm_seek_page(s->vf, frame + s->lead) == 0) {
    const int64_t at = ov_pcm_tell(s->vf) - s->lead;
    if (at >= 0 && at <= frame) return readFrames(s->vf, channels, frame - at) == frame - at;
  }
  return ov_raw_seek(s->vf, s->vf->dataoffsets[0]) == 0 && readFrames(s->vf, channels, frame) == frame;
}

// The length in sample frames that sequential decoding yields, with the
// decoder put back at the start; -1 when it cannot be. The data should end
// at `estimate` (the last granule position, or the frames the packets make):
// the second before it is decoded to see where the data ends, and when the
// data ends before that second (or no seek gets there), the whole file is.
int64_t decodedLength(sndOggSource* s, int64_t estimate, long rate) {
  const int channels = s->format.channels;
  const int64_t from = estimate > rate ? estimate - rate : 0;
  int64_t length = seekTo(s, from) ? from + readFrames(s->vf, channels) : -1;
  if (length <= from && from > 0) length = seekTo(s, 0) ? readFrames(s->vf, channels) : -1;
  return length >= 0 && seekTo(s, 0) ? length : -1;
}

// Makes the decoder ready, here and once: the open left vorbisfile at the
// first audio page, so the first read sets the decoder up. libvorbis 1.3.7
// gives that up on a setup header with a codebook it cannot build, but keeps
// the books it built and empty ones for the rest, and a later try takes them
// as built: decoding with them divides by zero. False when it gave up.
bool decoderReady(OggVorbis_File* vf) {
  char buf[4096];
  int bitstream = 0;
  return ov_read(vf, buf, sizeof buf, 0, 2, 1, &bitstream) != OV_EBADLINK;
}

// Walks the file where its granule positions may not be where decoding is
// (sndOggGranules), keeping in the source where its seeks are sure. The
// length to look for: the frames the packets make for a walked file, else the
// announced one. The file is put back where vorbisfile left it.
int64_t checkGranules(sndOggSource* s, vorbis_info* vi, int64_t announced) {
  const long at = std::ftell(s->file);
  if (at < 0 || std::fseek(s->file, 0, SEEK_SET) != 0) return -1;
  const sndOggGranules g = sndOggWalkGranules(s->file, vi, int(ov_serialnumber(s->vf, -1)));
  if (std::fseek(s->file, at, SEEK_SET) != 0) return -1;
  s->walked = g.walked;
  s->lead = g.lead;
  s->trusted = g.trusted;
  return g.walked ? g.frames : announced;
}

}  // namespace

sndOggSource* sndOggOpen(const char* name) {
  auto* s = static_cast<sndOggSource*>(memCalloc(sizeof(sndOggSource)));
  if (!s) return nullptr;
  s->vf = static_cast<OggVorbis_File*>(memCalloc(sizeof(OggVorbis_File)));
  if (!s->vf) {
    memHooks.free(s);
    return nullptr;
  }
  s->file = _fsopen(name, "rb", _SH_DENYNO);
  if (!s->file || ov_open(s->file, s->vf, nullptr, 0) != 0) {
    freeSource(s, false);
    return nullptr;
  }
  // A file whose audio data does not start as encoders write it could make
  // vorbisfile's seeks by position break libogg: it is refused before any
  // seek (sndOggAudioStart), and so is one whose decoder cannot be set up.
  vorbis_info* vi = ov_streams(s->vf) == 1 && ov_seekable(s->vf) ? ov_info(s->vf, -1) : nullptr;
  const int serial = int(ov_serialnumber(s->vf, -1));
  const sndOggAudioStart start =
      vi ? sndOggReadAudioStart(s->file, s->vf->dataoffsets[0], serial) : sndOggAudioStart{false, -1};
  const bool usable =
      vi && vi->channels >= 1 && vi->channels <= 2 && vi->rate > 0 && start.sure && decoderReady(s->vf);
  // vorbisfile's targets are positions plus its start, pcmlengths[0] (at
  // least 0, at most the first audio page's granule position).
  s->seekAbove = usable && start.unsureTo >= 0 ? start.unsureTo - s->vf->pcmlengths[0] : -1;
  const ogg_int64_t announced = usable ? ov_pcm_total(s->vf, -1) : OV_EINVAL;
  const int64_t estimate = announced >= 0 ? checkGranules(s, vi, announced) : -1;
  if (usable) s->format.channels = vi->channels;
  const int64_t decoded = estimate >= 0 ? decodedLength(s, estimate, vi->rate) : -1;
  const int64_t total = decoded >= 0 ? int64_t(vi->channels) * decoded * 2 : -1;
  if (total < 0 || total >= SND_DS_OPEN_TOTAL) {
    freeSource(s, true);
    return nullptr;
  }
  s->format.samplesPerSec = int32_t(vi->rate);
  s->format.bitsPerSample = 16;
  s->format.totalBytes = int32_t(total);
  s->format.requestedBytes = 32768;
  s->position = 0;
  return s;
}

int32_t sndOggFill(void* source, uint8_t* dst, int32_t position, int32_t n, int32_t) {
  auto* s = static_cast<sndOggSource*>(source);
  if (position >= s->format.totalBytes) {
    // Past the end: nothing to read, and no seek to make.
    std::memset(dst, 0, size_t(n));
    s->position = s->format.totalBytes;
    return s->position;
  }
  if (position != s->position) {
    seekTo(s, position / (s->format.channels * 2));
    s->position = position;
  }
  int32_t done = 0;
  int holes = 0;
  while (done < n) {
    const long r = ov_read(s->vf, reinterpret_cast<char*>(dst + done), n - done, 0, 2, 1, &s->bitstream);
    if (r > 0) {
      done += int32_t(r);
      holes = 0;
    } else if (r < 0 && ++holes < kMaxHoles) {
      continue;
    } else {
      // The end of the data: the rest of the request plays as silence.
      std::memset(dst + done, 0, size_t(n - done));
      s->position = s->format.totalBytes;
      return s->position;
    }
  }
  s->position = position + n;
  return s->position;
}

int32_t sndOggPlay(sndOggSource* s, uint8_t priority, uint32_t playFlags, int32_t volume, int32_t pan,
                   int32_t first, int32_t last) {
  const sndDsFillFn fill = [](void* user, void* dest, int32_t position, int32_t n, int32_t channel) {
    return sndOggFill(user, static_cast<uint8_t*>(dest), position, n, channel);
  };
  s->channel = sndDsStart(&s->format, priority, playFlags, volume, pan, first, last, fill, s);
  return s->channel;
}

void sndOggClose(sndOggSource* s) {
  if (s) freeSource(s, true);
}
