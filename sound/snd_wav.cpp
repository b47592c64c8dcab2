// The WAV source: the whole file mapped, a RIFF walk to its PCM, and a
// 50-byte silent WAV made for a file that does not exist.
#include <cstring>

#include "base/err.h"
#include "base/mem.h"
#include "platform/win_file.h"
#include "sound/snd_ds.h"
#include "sound/snd_source.h"

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// The RIFF WAVE walk; false when the image holds no usable "data" chunk.
bool parseInto(sndWavInfo* info, const uint8_t* image, uint32_t size) {
  if (!image || size < 12 || std::memcmp(image, "RIFF", 4) || std::memcmp(image + 8, "WAVE", 4)) return false;
  uint64_t end = 8 + uint64_t(le32(image + 4));
  if (end > size) end = size;
  uint64_t pos = 12;
  while (pos < end) {
    if (pos + 8 > end) return false;  // a chunk header that does not fit
    const uint8_t* chunk = image + pos;
    const uint32_t chunkSize = le32(chunk + 4);
    const uint64_t body = pos + 8;
    if (!std::memcmp(chunk, "data", 4)) {
      info->data = image + body;
      info->dataBytes = uint32_t(chunkSize < size - body ? chunkSize : size - body);
      return true;
    }
    if (!std::memcmp(chunk, "fmt ", 4)) {
      if (chunkSize < 16 || body + 16 > size) return false;
      const uint8_t* f = image + body;
      info->formatTag = le16(f);
      info->channels = le16(f + 2);
      info->samplesPerSec = le32(f + 4);
      info->avgBytesPerSec = le32(f + 8);
      info->blockAlign = le16(f + 12);
      info->bitsPerSample = le16(f + 14);
    }
    pos = body + chunkSize + (chunkSize & 1);
  }
  return false;
}

const uint8_t* viewOf(const mfFile* f) { return f ? f->view : nullptr; }
uint32_t sizeOf(const mfFile* f) { return f && f->view ? f->dataSize : 0; }

}  // namespace

sndWavInfo* sndDsParseWav(sndWavInfo* info, const uint8_t* image, uint32_t size) {
  const bool allocated = !info;
  if (allocated) {
    info = static_cast<sndWavInfo*>(memCalloc(sizeof(sndWavInfo)));
    if (!info) return nullptr;
  } else {
    *info = sndWavInfo{};
  }
  if (parseInto(info, image, size)) return info;
  if (allocated) memHooks.free(info);
  errRaise(ERR_DATA);
  return nullptr;
}

mfFile* sndWavMakeSilent(const char* name) {
  mfFile* f = mfCreate(nullptr, name, 50, 50);
  if (!f) return nullptr;
  auto put32 = [f](int32_t at, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    mfWrite(f, at, b, 4);
  };
  auto put16 = [f](int32_t at, uint16_t v) {
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    mfWrite(f, at, b, 2);
  };
  mfWrite(f, 0, "RIFF", 4);
  mfWrite(f, 8, "WAVE", 4);
  mfWrite(f, 12, "fmt ", 4);
  put32(16, 18);
  put16(20, 1);      // PCM
  put16(22, 1);      // mono
  put32(24, 22050);  // samples per second
  put32(28, 44100);  // average bytes per second
  put16(32, 2);      // block align
  put16(34, 16);     // bits per sample
  put16(36, 18);     // extra size, as the files made so far hold it
  mfWrite(f, 38, "data", 4);
  put32(42, 4);
  put32(46, 0);
  put32(4, 42);  // the RIFF size last
  return f;
}

sndWavSource* sndWavOpen(const char* name) {
  auto* s = static_cast<sndWavSource*>(memCalloc(sizeof(sndWavSource)));
  if (!s) return nullptr;
  // Only a file that does not exist is replaced by the silent one: an
  // existing file that cannot be opened, mapped or parsed fails the load and
  // stays as it is. A raise (also from making the silent file) frees what
  // was taken and goes on to the caller's frame.
  const bool exists = GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
  ERR_TRY(frame) {
    s->image = exists ? mfOpenRead(nullptr, name) : sndWavMakeSilent(name);
    if (s->image) sndDsParseWav(&s->info, viewOf(s->image), sizeOf(s->image));
  }
  ERR_CATCH(frame, code) {
    if (s->image) mfCloseSized(s->image, 0);
    memHooks.free(s);
    errReportCurrent();
    errEndCatch(errGetState(), &frame);
    return nullptr;
  }
  ERR_END_TRY
  if (!s->image) {
    memHooks.free(s);
    return nullptr;
  }
  s->flags = SND_WAV_OWNS_IMAGE;
  s->channel = -1;
  return s;
}

int32_t sndWavPlay(sndWavSource* s, uint8_t priority, uint32_t playFlags, int32_t volume, int32_t pan,
                   int32_t first, int32_t last) {
  s->channel = sndDsPlayMemory(&s->info, priority, playFlags, volume, pan, first, last);
  return s->channel;
}

void sndWavClose(sndWavSource* s) {
  if (!s) return;
  if (s->flags & SND_WAV_OWNS_IMAGE) mfCloseSized(s->image, 0);
  memHooks.free(s);
}
