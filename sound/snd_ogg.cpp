// The Ogg Vorbis source: decoded on demand through vorbisfile, seeking when a
// fill asks for another position than the last one left.
#include <vorbis/vorbisfile.h>

#include <cstring>

#include "base/mem.h"
#include "platform/win_stdio.h"
#include "sound/snd_ds.h"
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

// Sample frames from the decoder's position to the end of the data.
int64_t framesToEnd(OggVorbis_File* vf, int channels) {
  char buf[4096];
  int bitstream = 0, holes = 0;
  int64_t bytes = 0;
  for (;;) {
    const long r = ov_read(vf, buf, sizeof buf, 0, 2, 1, &bitstream);
    if (r > 0) {
      bytes += r;
      holes = 0;
    } else if (r == 0 || ++holes >= kMaxHoles) {
      return bytes / (2 * channels);
    }
  }
}

// The length in sample frames that sequential decoding yields, with the
// decoder put back at the start; -1 when it cannot be. The announced length
// is the last granule position, which a file may set past its data: the
// second before it is decoded to see where the data ends, and when the data
// ends before that second (or no seek gets there), the whole file is.
int64_t decodedLength(OggVorbis_File* vf, int64_t announced, int channels, long rate) {
  const int64_t from = announced > rate ? announced - rate : 0;
  int64_t length = ov_pcm_seek(vf, from) == 0 ? from + framesToEnd(vf, channels) : -1;
  if (length <= from && from > 0) length = ov_pcm_seek(vf, 0) == 0 ? framesToEnd(vf, channels) : -1;
  return length >= 0 && ov_pcm_seek(vf, 0) == 0 ? length : -1;
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
  const vorbis_info* vi = ov_streams(s->vf) == 1 ? ov_info(s->vf, -1) : nullptr;
  const bool usable = vi && vi->channels >= 1 && vi->channels <= 2 && vi->rate > 0;
  const ogg_int64_t frames = usable ? ov_pcm_total(s->vf, -1) : OV_EINVAL;
  const int64_t decoded = frames >= 0 ? decodedLength(s->vf, frames, vi->channels, vi->rate) : -1;
  const int64_t total = decoded >= 0 ? int64_t(vi->channels) * decoded * 2 : -1;
  if (total < 0 || total >= SND_DS_OPEN_TOTAL) {
    freeSource(s, true);
    return nullptr;
  }
  s->format.channels = vi->channels;
  s->format.samplesPerSec = int32_t(vi->rate);
  s->format.bitsPerSample = 16;
  s->format.totalBytes = int32_t(total);
  s->format.requestedBytes = 32768;
  s->position = 0;
  return s;
}

int32_t sndOggFill(void* source, uint8_t* dst, int32_t position, int32_t n, int32_t) {
  auto* s = static_cast<sndOggSource*>(source);
  if (position != s->position) {
    ov_pcm_seek(s->vf, position / (s->format.channels * 2));
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
