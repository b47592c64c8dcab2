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
  const ogg_int64_t frames = vi ? ov_pcm_total(s->vf, -1) : OV_EINVAL;
  const int64_t total = vi && frames >= 0 ? int64_t(vi->channels) * frames * 2 : -1;
  if (total < 0 || total >= SND_DS_OPEN_TOTAL || vi->channels < 1 || vi->channels > 2) {
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
